// End-to-end checks of the mended faults: type-ahead in the owner-data
// tables, the Delete key in a table, the selection modes, message-box icons,
// non-digits arriving without a paste message, the data sheet's tab order and
// the column widths on a 144-dpi screen.
#include <string>

#include "../../resources/resource.h"
#include "e2e_shared.h"

namespace e2e {
namespace {

int nextItem(HWND list, int flags) { return static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), flags)); }
int selectedCount(HWND list) { return static_cast<int>(SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0)); }
// A typed character; the list view ignores one without key data.
void typeChar(HWND list, wchar_t c) { SendMessageW(list, WM_CHAR, c, 1); }

bool loadExampleReport(App& app, const std::wstring& dir) {
    if (!app.start(exe, dir)) {
        results.check(false, "the program starts");
        return false;
    }
    app.command(IDM_LOAD_REPORT);
    openFile(app, L"Kovirant forr\u00E1s file megnyit\u00E1sa", path(examples, L"report.xml"), "report load");
    return waitFor([&] { return app.rowCount(0) == 36 && app.rowCount(2) == 2; });
}

// Presses keys with real input, so that the keyboard state (Shift) is right.
void pressKeys(std::initializer_list<std::pair<WORD, bool>> keys) {
    for (const auto& [key, down] : keys) {
        INPUT in{};
        in.type = INPUT_KEYBOARD;
        in.ki.wVk = key;
        in.ki.dwFlags = (down ? 0 : KEYEVENTF_KEYUP) | (key == VK_INSERT ? KEYEVENTF_EXTENDEDKEY : 0);
        SendInput(1, &in, sizeof in);
        Sleep(20);
    }
}

bool putOnClipboard(const std::wstring& text) {
    if (!OpenClipboard(nullptr)) return false;
    EmptyClipboard();
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
    if (auto* p = static_cast<wchar_t*>(GlobalLock(mem))) {
        text.copy(p, text.size());
        p[text.size()] = L'\0';
        GlobalUnlock(mem);
    }
    const bool ok = SetClipboardData(CF_UNICODETEXT, mem) != nullptr;
    CloseClipboard();
    return ok;
}

void typeAheadSelectionAndDeleteKey() {
    const std::wstring dir = freshFolder(L"mended-tables", true);
    App app;
    if (!loadExampleReport(app, dir)) return;
    HWND reg = app.list(0), acc = app.list(2);

    // The register table takes one selected row, the others several.
    results.check((GetWindowLongW(reg, GWL_STYLE) & LVS_SINGLESEL) != 0 &&
                      (GetWindowLongW(app.list(1), GWL_STYLE) & LVS_SINGLESEL) == 0 &&
                      (GetWindowLongW(acc, GWL_STYLE) & LVS_SINGLESEL) == 0,
                  "only the register table is single-selection");
    app.selectRow(0, 1);
    app.selectRow(0, 2);
    results.check(selectedCount(reg) == 1 && nextItem(reg, LVNI_SELECTED) == 2,
                  "a second selected register row replaces the first");

    // Type-ahead: the next row whose company number starts with the typed
    // text; without a match the selection stays.
    app.selectRow(0, 5);
    typeChar(reg, L'1');
    results.check(nextItem(reg, LVNI_FOCUSED) == 9 && nextItem(reg, LVNI_SELECTED) == 9 && selectedCount(reg) == 1,
                  "typing 1 after row 6 moves to row 10, the first company number starting with 1 (focused " +
                      std::to_string(nextItem(reg, LVNI_FOCUSED)) + ")");
    Sleep(1100);  // the list view starts a new search after a pause
    typeChar(reg, L'x');
    results.check(nextItem(reg, LVNI_SELECTED) == 9 && selectedCount(reg) == 1,
                  "a letter no row starts with leaves the selection (selected " +
                      std::to_string(nextItem(reg, LVNI_SELECTED)) + ")");

    app.command(IDM_VIEW_ACCOUNT_CHANGE);
    waitFor([&] { return IsWindowVisible(acc) != FALSE; });
    app.selectRow(2, 0);
    app.selectRow(2, 1);
    results.check(selectedCount(acc) == 2, "two account-change rows selected at once");
    typeChar(acc, L'x');
    results.check(selectedCount(acc) == 2, "a letter no row starts with keeps both selected rows (" +
                                               std::to_string(selectedCount(acc)) + " selected)");

    // The Delete key pressed in the table asks and deletes the selected row.
    app.command(IDM_VIEW_REGISTER);
    waitFor([&] { return IsWindowVisible(reg) != FALSE; });
    const std::wstring next = app.cell(0, 10, 0);
    app.selectRow(0, 9);
    PostMessageW(reg, WM_KEYDOWN, VK_DELETE, 0);
    HWND box = app.waitDialog(L"Kovirant");
    results.check(box && SendDlgItemMessageW(box, 0x440, STM_GETICON, 0, 0) != 0,
                  "the Delete question shows an icon");
    answer(app, L"Biztosan t\u00F6rli a sort?", IDYES, "the Delete key in the table asks");
    results.check(waitFor([&] { return app.rowCount(0) == 35; }) && app.cell(0, 9, 0) == next,
                  "the selected row is deleted");
    app.kill();
}

void digitsAndTabOrder() {
    const std::wstring dir = freshFolder(L"mended-dialogs", true);
    App app;
    if (!app.start(exe, dir)) return;
    const wchar_t caption[] =
        L"C\u00E9gjegyz\u00E9k szerkeszt\u00E9se (C\u00E9g sz\u00E1mlasz\u00E1m\u00E1nak nyit\u00E1si/z\u00E1r\u00E1si adatai)";
    app.command(IDM_NEW);
    HWND editor = app.waitDialog(caption);
    results.check(editor != nullptr, "the register editor opens");
    if (!editor) shot(L"mended-no-editor");
    results.check(putOnClipboard(L"1a"), "\"1a\" is on the clipboard");
    if (editor) {
        SetForegroundWindow(editor);
        waitFor([&] { return GetForegroundWindow() == editor; }, 3000);
        Sleep(200);
        pressKeys({{VK_SHIFT, true}, {VK_INSERT, true}, {VK_INSERT, false}, {VK_SHIFT, false}});
        HWND box = app.waitMessage(
            [](const std::wstring& t) { return t == L"Ebbe a mez\u0151be csak sz\u00E1mjegyek \u00EDrhat\u00F3k!"; }, 5000);
        results.check(box != nullptr, "Shift+Insert of \"1a\" into a digits-only field is refused");
        if (box) App::press(box, IDOK);
        waitFor([&] { return box == nullptr || !IsWindow(box); }, 5000);
        results.check(App::text(editor, IDE_REG_AREA_CODE).empty(), "the field stays as it was: \"" +
                                                                        narrow(App::text(editor, IDE_REG_AREA_CODE)) + "\"");
        App::press(editor, IDCANCEL);
        waitFor([&] { return !IsWindow(editor); }, 5000);
    }

    app.command(IDM_DATA_SHEET);
    HWND sheet = app.waitDialog(L"Adatlap");
    if (sheet) {
        // Reading order: the row of Jelleg, Házszám and Szint, then Épület below.
        HWND area = GetDlgItem(sheet, IDE_DS_TERULET);
        HWND type = GetNextDlgTabItem(sheet, area, FALSE);
        HWND house = GetNextDlgTabItem(sheet, type, FALSE);
        HWND floor = GetNextDlgTabItem(sheet, house, FALSE);
        HWND building = GetNextDlgTabItem(sheet, floor, FALSE);
        results.check(GetDlgCtrlID(type) == IDL_DS_JELLEG && GetDlgCtrlID(house) == IDE_DS_HAZSZAM &&
                          GetDlgCtrlID(floor) == IDL_DS_SZINT && GetDlgCtrlID(building) == IDE_DS_EPULET,
                      "the data sheet's tab order: Terület, Jelleg, Házszám, Szint, Épület");
        App::press(sheet, IDCANCEL);
    }
    app.kill();
}

// A prefix whose screen has 144 dpi shows every column 1.5 times as wide.
void highDpi() {
    HKEY desktop = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, KEY_SET_VALUE, &desktop) != ERROR_SUCCESS) {
        results.check(false, "the desktop settings of the prefix open");
        return;
    }
    const DWORD dpi = 144;
    RegSetValueExW(desktop, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof dpi);
    const std::wstring dir = freshFolder(L"mended-dpi", true);
    App app;
    if (loadExampleReport(app, dir)) {
        const int width = static_cast<int>(SendMessageW(app.list(0), LVM_GETCOLUMNWIDTH, 0, 0));
        const int last = static_cast<int>(SendMessageW(app.list(0), LVM_GETCOLUMNWIDTH, 5, 0));
        results.check(width == 120 && last == 150, "at 144 dpi the register columns are 120 and 150 pixels wide, got " +
                                                        std::to_string(width) + " and " + std::to_string(last));
        shot(L"main-window-144dpi");
    }
    app.kill();
    RegDeleteValueW(desktop, L"LogPixels");
    RegCloseKey(desktop);
}

}  // namespace

void mendedFaults() {
    typeAheadSelectionAndDeleteKey();
    digitsAndTabOrder();
    highDpi();
}

}  // namespace e2e
