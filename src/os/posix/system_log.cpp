#include "util/system_log.h"

#include <syslog.h>

#include <string>

namespace kovirant {

void writeSystemLog(std::string_view utf8) {
    const std::string text(utf8);
    openlog("kovirant", LOG_PID, LOG_USER);
    syslog(LOG_INFO, "%s", text.c_str());
    closelog();
}

}  // namespace kovirant
