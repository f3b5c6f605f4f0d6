#include "win32/dialog_support.h"

#include <vector>

namespace kovirant::win32 {

std::string getText(HWND dialog, int id) { return narrow(windowText(GetDlgItem(dialog, id))); }

void setText(HWND dialog, int id, std::string_view cp1250) { SetDlgItemTextW(dialog, id, wide(cp1250).c_str()); }

void limitText(HWND dialog, int id, int characters) {
    SendDlgItemMessageW(dialog, id, EM_LIMITTEXT, static_cast<WPARAM>(characters), 0);
}

void fillList(HWND dialog, int id, std::span<const std::string_view> entries) {
    for (std::string_view e : entries)
        SendDlgItemMessageW(dialog, id, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide(e).c_str()));
}

std::optional<int> selectedIndex(HWND dialog, int id) {
    const LRESULT i = SendDlgItemMessageW(dialog, id, LB_GETCURSEL, 0, 0);
    if (i == LB_ERR) return std::nullopt;
    return static_cast<int>(i);
}

namespace {
std::string entryText(HWND dialog, int id, int index) {
    const LRESULT n = SendDlgItemMessageW(dialog, id, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
    if (n == LB_ERR) return {};
    std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
    SendDlgItemMessageW(dialog, id, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(n));
    return narrow(text);
}
}  // namespace

std::optional<std::string> selectedText(HWND dialog, int id) {
    const auto i = selectedIndex(dialog, id);
    if (!i) return std::nullopt;
    return entryText(dialog, id, *i);
}

void selectEqualEntries(HWND dialog, int id, std::string_view text) {
    const LRESULT count = SendDlgItemMessageW(dialog, id, LB_GETCOUNT, 0, 0);
    for (int i = 0; i < count; ++i)
        if (entryText(dialog, id, i) == text) SendDlgItemMessageW(dialog, id, LB_SETCURSEL, static_cast<WPARAM>(i), 0);
}

void selectIndex(HWND dialog, int id, std::optional<int> index) {
    SendDlgItemMessageW(dialog, id, LB_SETCURSEL, index ? static_cast<WPARAM>(*index) : static_cast<WPARAM>(-1), 0);
}

void showWarning(HWND dialog, const EditorMessage& message) {
    MessageBoxW(dialog, wide(message.text).c_str(), wide(message.caption).c_str(), MB_ICONWARNING | MB_OK);
}

BOOL saveOrDiscard(HWND dialog, WORD id, WORD saveId, WORD discardId,
                   const std::function<std::optional<EditorMessage>()>& save) {
    if (id == saveId) {
        if (auto message = save()) showWarning(dialog, *message);
        else EndDialog(dialog, 0);
        return TRUE;
    }
    if (id == discardId) {
        EndDialog(dialog, 0);
        return TRUE;
    }
    return FALSE;
}

namespace {

std::size_t nonDigits(std::wstring_view text) {
    std::size_t n = 0;
    for (wchar_t c : text)
        if (c < L'0' || c > L'9') ++n;
    return n;
}

void refuseNonDigits(HWND edit) {
    MessageBoxW(GetParent(edit), L"Ebbe a mez\u0151be csak sz\u00E1mjegyek \u00EDrhat\u00F3k!", L"Hiba",
                MB_ICONWARNING | MB_OK);
}

// The field's last accepted text lives in `ref` (a std::wstring). A paste is
// checked before it happens; any other way text arrives (Shift+Insert, drag
// and drop, an input method) is checked after the message and undone when it
// brought a non-digit. The program's own WM_SETTEXT (a stored value shown in
// Modify mode) is taken as it is.
LRESULT CALLBACK digitFieldProc(HWND edit, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR ref) {
    auto* good = reinterpret_cast<std::wstring*>(ref);
    if (msg == WM_NCDESTROY) {
        RemoveWindowSubclass(edit, digitFieldProc, 1);
        delete good;
        return DefSubclassProc(edit, msg, wParam, lParam);
    }
    if (msg == WM_PASTE && OpenClipboard(edit)) {
        std::wstring text;
        if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
            if (const auto* p = static_cast<const wchar_t*>(GlobalLock(data))) {
                text = p;
                GlobalUnlock(data);
            }
        }
        CloseClipboard();
        if (nonDigits(text) > 0) {
            refuseNonDigits(edit);
            return 0;
        }
    }
    const LRESULT result = DefSubclassProc(edit, msg, wParam, lParam);
    // The check reads and may set the text: the messages it sends itself
    // are not checked again.
    static thread_local bool checking = false;
    if (checking) return result;
    checking = true;
    struct Done {
        ~Done() { checking = false; }
    } done;
    const std::wstring now = windowText(edit);
    if (now == *good) return result;
    if (msg == WM_SETTEXT || nonDigits(now) <= nonDigits(*good)) {
        *good = now;
    } else {
        DWORD start = 0, end = 0;
        SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
        const std::wstring before = *good;
        SetWindowTextW(edit, before.c_str());
        const auto caret = static_cast<LPARAM>(std::min<std::size_t>(start, before.size()));
        SendMessageW(edit, EM_SETSEL, static_cast<WPARAM>(caret), caret);
        refuseNonDigits(edit);
    }
    return result;
}

}  // namespace

void guardDigitFields(HWND dialog, std::initializer_list<int> ids) {
    for (int id : ids) {
        HWND edit = GetDlgItem(dialog, id);
        SetWindowSubclass(edit, digitFieldProc, 1, reinterpret_cast<DWORD_PTR>(new std::wstring(windowText(edit))));
    }
}

}  // namespace kovirant::win32
