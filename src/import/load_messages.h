// What a load of a protocol or a report tells the officer when it did not
// read a whole file: the same words in the window's boxes and in the console
// program's findings.
#pragma once

#include <string>
#include <string_view>

#include "import/apeh_import.h"
#include "import/report_reload.h"

namespace kovirant {

inline constexpr std::string_view kMsgEmptyFile = "az állomány üres";
inline constexpr std::string_view kMsgReadFailed = "Rendszerhiba (file olvasása)";

// "Rendszerhiba (file olvasása) a(z) N. sor után": a read that failed after N lines.
std::string readFault(long long lines);

// The fault of a reload that is not Completed (nothing for one that is):
// "nem jelentés ..." or "hiányos ...".
std::string reloadFault(const ReloadOutcome& outcome);

}  // namespace kovirant
