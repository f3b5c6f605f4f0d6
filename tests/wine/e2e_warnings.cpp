// End-to-end checks of the typo warnings: each editor shows the check-digit
// hint as soon as the field is complete and clears it when corrected, and a
// number that fails still saves with no extra question; "Ellenőrzés..." lists
// a row's warnings after its fault and counts both.
#include "../../resources/resource.h"
#include "e2e_shared.h"

namespace e2e {
namespace {

const wchar_t kInstitutionCaption[] = L"C\u00E9gnyilv\u00E1ntart\u00E1s szerkeszt\u00E9se (P\u00E9nzint\u00E9zeti alapadatok)";
const wchar_t kAccountCaption[] = L"Banktechnikai sz\u00E1mlasz\u00E1mv\u00E1ltoz\u00E1s szerkeszt\u00E9se";
const std::wstring kDigit = L"Figyelmeztet\u00E9s: hib\u00E1s ellen\u0151rz\u0151 sz\u00E1mjegy ";

std::wstring hint(HWND d) { return App::text(d, IDT_CHECK_HINT); }

HWND open(App& app, int view, const wchar_t* caption) {
    app.command(view);
    app.command(IDM_NEW);
    return app.waitDialog(caption);
}

void registerHint(App& app) {
    HWND d = open(app, IDM_VIEW_REGISTER, kRegisterCaption);
    results.check(d != nullptr, "the register editor opens");
    if (!d) return;
    App::setText(d, IDE_REG_TAX, L"1234567");
    results.check(hint(d).empty(), "an incomplete tax number gives no hint");
    App::setText(d, IDE_REG_TAX, L"12345678");
    results.check(hint(d) == kDigit + L"a t\u00F6rzssz\u00E1mban", "a mistyped tax number: \"" + narrow(hint(d)) + "\"");
    App::setText(d, IDE_REG_TAX, L"12345676");
    results.check(hint(d).empty(), "the corrected tax number clears the hint");
    App::setText(d, IDE_REG_AREA_CODE, L"01");
    App::setText(d, IDE_REG_FORM_CODE, L"09");
    App::setText(d, IDE_REG_SERIAL, L"123456");
    App::setText(d, IDE_REG_ACCOUNT1, L"11773016");
    App::setText(d, IDE_REG_ACCOUNT2, L"00001234");
    App::setText(d, IDE_REG_ACCOUNT3, L"00000000");
    App::setText(d, IDE_REG_OPEN_YEAR, L"2006");
    App::setText(d, IDE_REG_OPEN_MONTH, L"07");
    App::setText(d, IDE_REG_OPEN_DAY, L"15");
    SendDlgItemMessageW(d, IDL_REG_CODE, LB_SETCURSEL, 0, 0);
    results.check(hint(d) == kDigit + L"a sz\u00E1mlasz\u00E1mban", "a mistyped account number: \"" + narrow(hint(d)) + "\"");
    Sleep(200);
    shot(L"warning-hint");
    App::press(d, IDB_REG_SAVE);
    results.check(waitFor([&] { return !IsWindow(d); }, 5000) && app.noDialog() && app.rowCount(0) == 1 &&
                      app.cell(0, 0, 2) == L"117730160000123400000000",
                  "Mentés saves the row as typed, with no question");
}

void institutionAndAccountChangeHints(App& app) {
    HWND d = open(app, IDM_VIEW_INSTITUTION, kInstitutionCaption);
    if (d) {
        App::setText(d, IDE_INST_TAX, L"10537914");
        App::setText(d, IDE_INST_BANK_CODE, L"11773017");
        results.check(hint(d) == kDigit + L"a sz\u00E1mjelben", "a mistyped bank code: \"" + narrow(hint(d)) + "\"");
        App::press(d, IDCANCEL);
        waitFor([&] { return !IsWindow(d); }, 5000);
    }
    d = open(app, IDM_VIEW_ACCOUNT_CHANGE, kAccountCaption);
    if (d) {
        App::setText(d, IDE_ACC_NEW_ACCOUNT1, L"11773016");
        App::setText(d, IDE_ACC_NEW_ACCOUNT2, L"00001234");
        App::setText(d, IDE_ACC_NEW_ACCOUNT3, L"00000000");
        results.check(hint(d) == kDigit + L"az \u00FAj sz\u00E1mlasz\u00E1mban", "a mistyped new account: \"" + narrow(hint(d)) + "\"");
        App::setText(d, IDE_ACC_NEW_ACCOUNT2, L"00001238");
        results.check(hint(d).empty(), "the corrected account clears the hint");
        App::press(d, IDCANCEL);
        waitFor([&] { return !IsWindow(d); }, 5000);
    }
}

void checkList(App& app) {
    app.command(IDM_VIEW_REGISTER);
    app.command(IDM_CHECK_ROWS);
    HWND d = app.waitDialog(L"Ellen\u0151rz\u00E9s");
    results.check(d != nullptr, "a warning alone opens the list");
    if (!d) return;
    HWND list = GetDlgItem(d, IDC_FAULT_LIST);
    results.check(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0) == 2 &&
                      App::text(d, IDT_FAULT_COUNT) == L"Hib\u00E1s sorok sz\u00E1ma: 0, figyelmeztet\u00E9sek sz\u00E1ma: 2",
                  "the count line says both: \"" + narrow(App::text(d, IDT_FAULT_COUNT)) + "\"");
    // The row typed with an opening of 2006-07-15 is long past the 8 days.
    const std::wstring late = app.itemText(list, 1, 3);
    results.check(late.rfind(L"Figyelmeztet\u00E9s: hat\u00E1rid\u0151n t\u00FAl: a nyit\u00E1s \u00F3ta ", 0) == 0 &&
                      late.find(L" nap telt el (hat\u00E1rid\u0151: 8 nap)") != std::wstring::npos,
                  "the late row's warning follows: \"" + narrow(late) + "\"");
    // The focused line's text whole below the list, and a wider dialog gives
    // the message column the room.
    PostMessageW(list, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageW(list, WM_KEYUP, VK_DOWN, 0);
    results.check(waitFor([&] { return App::text(d, IDE_FAULT_TEXT).find(L"(hat\u00E1rid\u0151: 8 nap)") !=
                                       std::wstring::npos; }, 5000),
                  "the whole warning stands below the list: \"" + narrow(App::text(d, IDE_FAULT_TEXT)) + "\"");
    const LRESULT narrowWidth = SendMessageW(list, LVM_GETCOLUMNWIDTH, 3, 0);
    RECT r{};
    GetWindowRect(d, &r);
    SetWindowPos(d, nullptr, 0, 0, r.right - r.left + 300, r.bottom - r.top + 100, SWP_NOMOVE | SWP_NOZORDER);
    results.check(waitFor([&] { return SendMessageW(list, LVM_GETCOLUMNWIDTH, 3, 0) >= narrowWidth + 250; }, 5000),
                  "the message column follows the resized dialog");
    RECT dlg{}, ok{};
    GetClientRect(d, &dlg);
    GetWindowRect(GetDlgItem(d, IDOK), &ok);
    MapWindowPoints(nullptr, d, reinterpret_cast<POINT*>(&ok), 2);
    results.check(ok.right <= dlg.right && ok.bottom <= dlg.bottom && ok.right > dlg.right - 200 &&
                      ok.bottom > dlg.bottom - 60 && IsWindowVisible(GetDlgItem(d, IDOK)),
                  "\"Ugr\u00E1s\" stays in the resized dialog's corner (" + std::to_string(ok.left) + "," +
                      std::to_string(ok.top) + " in " + std::to_string(dlg.right) + "x" + std::to_string(dlg.bottom) + ")");
    shot(L"warning-list");
    App::press(d, IDCANCEL);
    waitFor([&] { return !IsWindow(d); }, 5000);
}

}  // namespace

void typoWarnings() {
    const std::wstring dir = freshFolder(L"warnings", true);
    App app;
    if (!app.start(exe, dir)) return;
    registerHint(app);
    institutionAndAccountChangeHints(app);
    checkList(app);
    app.kill();
}

}  // namespace e2e
