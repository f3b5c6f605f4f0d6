// A line into the system's own log, which a user who edits the archive's
// folder cannot rewrite: the Windows Application event log (source
// "Kovirant"), syslog elsewhere. Nothing is said when it cannot be written.
#pragma once

#include <string_view>

namespace kovirant {

void writeSystemLog(std::string_view utf8);

}  // namespace kovirant
