#include "win32/window_layout.h"

#include <string>
#include <vector>

#include "win32/dpi.h"
#include "win32/main_window.h"

namespace kovirant::win32 {
namespace {

constexpr wchar_t kKey[] = L"Software\\Kovirant";
constexpr wchar_t kPlaceValue[] = L"Ablak";
constexpr int kLeastSide = 200;  // a kept size below this is no window an officer meant

std::wstring widthsValue(int kind) { return L"Oszlopszelessegek" + std::to_wstring(kind); }

template <class T>
bool readBinary(const wchar_t* name, std::vector<T>& out, std::size_t count) {
    out.assign(count, T{});
    DWORD bytes = static_cast<DWORD>(count * sizeof(T));
    return RegGetValueW(HKEY_CURRENT_USER, kKey, name, RRF_RT_REG_BINARY, nullptr, out.data(), &bytes) == ERROR_SUCCESS &&
           bytes == count * sizeof(T);
}

// The window's place: its normal rectangle, whether it was maximised, and
// the DPI the rectangle was measured at.
struct Place {
    RECT normal;
    int maximized;
    int dpi;
};

int columnCount(HWND list) {
    HWND header = ListView_GetHeader(list);
    return header != nullptr ? Header_GetItemCount(header) : 0;
}

}  // namespace

KeptLayout restoreWindowPlace(HWND window) {
    std::vector<Place> kept;
    if (!readBinary(kPlaceValue, kept, 1)) return {};
    const Place& p = kept[0];
    RECT r = p.normal;
    // Kept on a screen of another DPI: the same size in the new one's pixels.
    const int now = dpiOf(window);
    if (p.dpi > 0 && p.dpi != now) {
        r.right = r.left + MulDiv(r.right - r.left, now, p.dpi);
        r.bottom = r.top + MulDiv(r.bottom - r.top, now, p.dpi);
    }
    if (r.right - r.left < kLeastSide || r.bottom - r.top < kLeastSide) return {};
    // On none of this machine's screens now (a monitor gone): the first-run place.
    if (MonitorFromRect(&r, MONITOR_DEFAULTTONULL) == nullptr) return {};
    WINDOWPLACEMENT wp{};
    wp.length = sizeof wp;
    wp.showCmd = SW_HIDE;
    wp.rcNormalPosition = r;
    if (!SetWindowPlacement(window, &wp)) return {};
    return {true, p.maximized != 0};
}

void restoreColumnWidths(MainWindow& window, int dpi) {
    for (int k = 0; k < kViewKindCount; ++k) {
        HWND list = window.lists[static_cast<std::size_t>(k)].hwnd();
        const int columns = columnCount(list);
        std::vector<int> widths;
        // Measured at 96 DPI; another column count is another program's layout.
        if (columns == 0 || !readBinary(widthsValue(k).c_str(), widths, static_cast<std::size_t>(columns))) continue;
        for (int c = 0; c < columns; ++c)
            if (widths[static_cast<std::size_t>(c)] > 0 && widths[static_cast<std::size_t>(c)] < 4000)
                ListView_SetColumnWidth(list, c, MulDiv(widths[static_cast<std::size_t>(c)], dpi, 96));
    }
}

void saveLayout(const MainWindow& window) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;  // nothing is lost but the layout: the next run opens as a first one
    WINDOWPLACEMENT wp{};
    wp.length = sizeof wp;
    if (GetWindowPlacement(window.hwnd, &wp)) {
        const Place p{wp.rcNormalPosition, wp.showCmd == SW_SHOWMAXIMIZED || IsZoomed(window.hwnd) ? 1 : 0, window.dpi};
        RegSetValueExW(key, kPlaceValue, 0, REG_BINARY, reinterpret_cast<const BYTE*>(&p), sizeof p);
    }
    for (int k = 0; k < kViewKindCount; ++k) {
        HWND list = window.lists[static_cast<std::size_t>(k)].hwnd();
        std::vector<int> widths(static_cast<std::size_t>(columnCount(list)));
        for (std::size_t c = 0; c < widths.size(); ++c)
            widths[c] = MulDiv(ListView_GetColumnWidth(list, static_cast<int>(c)), 96, window.dpi);
        if (!widths.empty())
            RegSetValueExW(key, widthsValue(k).c_str(), 0, REG_BINARY, reinterpret_cast<const BYTE*>(widths.data()),
                           static_cast<DWORD>(widths.size() * sizeof(int)));
    }
    RegCloseKey(key);
}

}  // namespace kovirant::win32
