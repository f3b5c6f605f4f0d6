// What every dialog procedure shares: moving Windows-1250 text between
// controls and forms, list boxes, the warning box, digit-only fields, and
// the routing of messages to a dialog object.
#pragma once

#include <functional>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "editing/editor_result.h"
#include "win32/win32.h"

namespace kovirant::win32 {

std::string getText(HWND dialog, int id);
void setText(HWND dialog, int id, std::string_view cp1250);
void limitText(HWND dialog, int id, int characters);
void fillList(HWND dialog, int id, std::span<const std::string_view> entries);
std::optional<int> selectedIndex(HWND dialog, int id);
std::optional<std::string> selectedText(HWND dialog, int id);
// Selects each entry whose text equals `text` byte for byte, so of several
// equal entries the last one stays selected.
void selectEqualEntries(HWND dialog, int id, std::string_view text);
void selectIndex(HWND dialog, int id, std::optional<int> index);

// A validation message, owned by the dialog so that the main window stays
// disabled while the dialog is open.
void showWarning(HWND dialog, const EditorMessage& message);

// The save and discard buttons of an editing dialog: `save` gives the
// message to show (the dialog stays open as typed) or nothing (the dialog
// ends). Other commands are not handled.
BOOL saveOrDiscard(HWND dialog, WORD id, WORD saveId, WORD discardId,
                   const std::function<std::optional<EditorMessage>()>& save);

// Digit-only fields refuse typed non-digits by their style; pasted text with
// anything but digits is refused with a message.
void guardDigitFields(HWND dialog, std::initializer_list<int> ids);

// Routes WM_INITDIALOG, WM_COMMAND and (where it has onNotify) WM_NOTIFY to an object given as the dialog's
// parameter, and any other message to its onMessage where it has one (an
// answer, or nothing for the default); no exception crosses the procedure.
template <class Dialog>
INT_PTR CALLBACK dialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    try {
        if (msg == WM_INITDIALOG) {
            SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
            auto* d = reinterpret_cast<Dialog*>(lParam);
            d->hwnd = hwnd;
            return d->onInit();
        }
        auto* d = reinterpret_cast<Dialog*>(GetWindowLongPtrW(hwnd, DWLP_USER));
        if (d != nullptr && msg == WM_COMMAND) return d->onCommand(LOWORD(wParam), HIWORD(wParam));
        if constexpr (requires(Dialog& x, UINT m, WPARAM w, LPARAM l) { x.onMessage(m, w, l); }) {
            if (d != nullptr) {
                if (const std::optional<INT_PTR> answer = d->onMessage(msg, wParam, lParam)) return *answer;
            }
        }
        if constexpr (requires(Dialog& x, HDC dc, HWND c) { x.onColorStatic(dc, c); }) {
            if (d != nullptr && msg == WM_CTLCOLORSTATIC)
                return d->onColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
        }
        if constexpr (requires(Dialog& x, const NMHDR& h) { x.onNotify(h); }) {
            if (d != nullptr && msg == WM_NOTIFY) {
                SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, d->onNotify(*reinterpret_cast<const NMHDR*>(lParam)));
                return TRUE;
            }
        }
    } catch (...) {
        MessageBoxW(hwnd, L"Rendszerhiba", L"Kovirant", MB_ICONERROR);
    }
    return FALSE;
}

}  // namespace kovirant::win32
