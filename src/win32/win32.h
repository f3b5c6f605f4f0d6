// The one header through which the Win32 shell includes Windows.
#pragma once

#ifndef UNICODE
#define UNICODE
#endif
#ifndef _UNICODE
#define _UNICODE
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif

#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <windowsx.h>

#include <string>
#include <string_view>

#include "text/cp1250.h"

namespace kovirant::win32 {

// Windows-1250 text of the core <-> the W functions' UTF-16.
inline std::wstring wide(std::string_view cp1250) {
    std::u16string u = cp1250ToUtf16(cp1250);
    return std::wstring(u.begin(), u.end());
}
inline std::wstring wide(const std::u16string& u) { return std::wstring(u.begin(), u.end()); }
inline std::string narrow(std::wstring_view w) {
    return utf16ToCp1250(std::u16string_view(reinterpret_cast<const char16_t*>(w.data()), w.size()));
}

// The text of a window or control, whole.
inline std::wstring windowText(HWND hwnd) {
    const int n = GetWindowTextLengthW(hwnd);
    std::wstring s(static_cast<std::size_t>(n) + 1, L'\0');
    const int got = GetWindowTextW(hwnd, s.data(), n + 1);
    s.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return s;
}

// Places a dialog centred over its owner, kept inside the work area.
void centerOverOwner(HWND dialog, HWND owner);

}  // namespace kovirant::win32
