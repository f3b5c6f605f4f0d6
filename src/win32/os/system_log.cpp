#include "util/system_log.h"

#include <windows.h>

#include <string>

namespace kovirant {

void writeSystemLog(std::string_view utf8) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring text(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text.data(), n);
    HANDLE source = RegisterEventSourceW(nullptr, L"Kovirant");
    if (source == nullptr) return;
    const wchar_t* strings[] = {text.c_str()};
    ReportEventW(source, EVENTLOG_INFORMATION_TYPE, 0, 1, nullptr, 1, 0, strings, nullptr);
    DeregisterEventSource(source);
}

}  // namespace kovirant
