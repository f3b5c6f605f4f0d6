// End-to-end tests of the four dialogs, typed into as a user would.
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "../../resources/resource.h"
#include "driver.h"
#include "e2e_shared.h"

namespace e2e {
namespace {

struct OwnedSearch {
    HWND owner;
    HWND found;
};
BOOL CALLBACK findOwned(HWND w, LPARAM p) {
    auto* s = reinterpret_cast<OwnedSearch*>(p);
    if (IsWindowVisible(w) && GetWindow(w, GW_OWNER) == s->owner) {
        s->found = w;
        return FALSE;
    }
    return TRUE;
}

HWND ownedBy(HWND owner) {
    OwnedSearch s{owner, nullptr};
    EnumWindows(findOwned, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

// Presses the save button; gives the message shown (the box is closed with
// OK and the dialog checked to be still open), or "" when the dialog closed.
std::wstring save(App& app, HWND dialog, int button, const std::wstring& shotName = L"") {
    App::press(dialog, button);
    HWND box = nullptr;
    waitFor([&] {
        if (!IsWindow(dialog)) return true;
        box = ownedBy(dialog);
        return box != nullptr;
    });
    if (box == nullptr) return L"";
    const std::wstring text = App::messageText(box);
    results.check(!IsWindowEnabled(app.main()), "the main window stays disabled under the message");
    if (!shotName.empty()) shot(shotName);
    App::press(box, IDOK);
    waitFor([&] { return !IsWindow(box); }, 5000);
    results.check(IsWindow(dialog) && IsWindowVisible(dialog), "the dialog stays open after the message");
    return text;
}

void expectMessages(App& app, HWND dialog, int button,
                    const std::vector<std::pair<std::function<void()>, std::wstring>>& steps,
                    const std::string& editor) {
    for (const auto& [change, expected] : steps) {
        change();
        const std::wstring shown = save(app, dialog, button);
        results.check(shown == expected, editor + ": \"" + narrow(shown) + "\"");
    }
}

void selectListEntry(HWND dialog, int id, const std::wstring& text) {
    HWND list = GetDlgItem(dialog, id);
    const LRESULT i = SendMessageW(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text.c_str()));
    SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(i), 0);
}

std::wstring selectedEntry(HWND dialog, int id) {
    HWND list = GetDlgItem(dialog, id);
    const LRESULT i = SendMessageW(list, LB_GETCURSEL, 0, 0);
    if (i == LB_ERR) return L"<none>";
    wchar_t buf[256] = {};
    SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buf));
    return buf;
}

HWND open(App& app, int command, const std::wstring& caption) {
    app.command(command);
    HWND d = app.waitDialog(caption);
    results.check(d != nullptr, "the dialog \"" + narrow(caption) + "\" opens");
    return d;
}

const wchar_t kInstitutionCaption[] = L"C\u00E9gnyilv\u00E1ntart\u00E1s szerkeszt\u00E9se (P\u00E9nzint\u00E9zeti alapadatok)";
const wchar_t kAccountCaption[] = L"Banktechnikai sz\u00E1mlasz\u00E1mv\u00E1ltoz\u00E1s szerkeszt\u00E9se";

void registerEditor(App& app) {
    HWND d = open(app, IDM_NEW, kRegisterCaption);
    if (!d) return;
    expectMessages(app, d, IDB_REG_SAVE,
                   {
                       {[] {}, L"Hib\u00E1s c\u00E9gsz\u00E1m (ter\u00FCleti k\u00F3d)"},
                       {[&] { App::setText(d, IDE_REG_AREA_CODE, L"01"); }, L"Hib\u00E1s c\u00E9gsz\u00E1m (c\u00E9gforma k\u00F3d)"},
                       {[&] { App::setText(d, IDE_REG_FORM_CODE, L"09"); }, L"K\u00E9rem, v\u00E1lasszon sz\u00E1mlasz\u00E1m k\u00F3dot!"},
                       {[&] { selectListEntry(d, IDL_REG_CODE, L"Bejegyz\u00E9s"); }, L"Hib\u00E1s nyit\u00E1s d\u00E1tum"},
                   },
                   "register editor");
    results.check(App::text(d, IDE_REG_AREA_CODE) == L"01" && App::text(d, IDE_REG_FORM_CODE) == L"09",
                  "the fields keep what was typed");
    // Pasting text with a non-digit into a digit field is refused.
    if (OpenClipboard(nullptr)) {
        EmptyClipboard();
        const wchar_t pasted[] = L"12a4";
        HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, sizeof pasted);
        std::memcpy(GlobalLock(mem), pasted, sizeof pasted);
        GlobalUnlock(mem);
        SetClipboardData(CF_UNICODETEXT, mem);
        CloseClipboard();
        PostMessageW(GetDlgItem(d, IDE_REG_SERIAL), WM_PASTE, 0, 0);
        HWND box = nullptr;
        waitFor([&] { return (box = ownedBy(d)) != nullptr; }, 5000);
        results.check(box && App::messageText(box) == L"Ebbe a mez\u0151be csak sz\u00E1mjegyek \u00EDrhat\u00F3k!",
                      "pasting \"12a4\" into a digit field is refused with a message");
        if (box) App::press(box, IDOK);
        waitFor([&] { return box == nullptr || !IsWindow(box); }, 5000);
        results.check(App::text(d, IDE_REG_SERIAL).empty(), "nothing was pasted");
    }
    SendMessageW(d, WM_COMMAND, IDCANCEL, 0);  // Escape, handled when this returns
    app.settle();  // a dialog ended would be gone by now
    results.check(IsWindow(d), "Escape does not close the register entry dialog");
    App::setText(d, IDE_REG_SERIAL, L"123456");
    App::setText(d, IDE_REG_TAX, L"12345678");
    App::setText(d, IDE_REG_ACCOUNT1, L"11773016");
    App::setText(d, IDE_REG_ACCOUNT2, L"00001234");
    App::setText(d, IDE_REG_ACCOUNT3, L"00000000");
    App::setText(d, IDE_REG_OPEN_YEAR, L"2005");
    App::setText(d, IDE_REG_OPEN_MONTH, L"03");
    App::setText(d, IDE_REG_OPEN_DAY, L"01");
    shot(L"dialog-register-entry");
    const int before = app.rowCount(0);
    results.check(save(app, d, IDB_REG_SAVE).empty(), "a valid register entry closes the dialog");
    waitFor([&] { return app.rowCount(0) == before + 1; }, 5000);
    results.check(app.rowCount(0) == before + 1 && app.cell(0, before, 0) == L"0109123456" &&
                      app.cell(0, before, 2) == L"117730160000123400000000" && app.cell(0, before, 3) == L"2005-03-01" &&
                      app.cell(0, before, 5) == L"Bejegyz\u00E9s",
                  "the new register row has the typed cells");
    results.check(app.menuEnabled(IDM_SAVE_REPORT), "a saved entry enables \"Jelentés mentése...\"");

    // Discarding changes nothing.
    d = open(app, IDM_NEW, kRegisterCaption);
    if (d) {
        App::setText(d, IDE_REG_AREA_CODE, L"02");
        App::press(d, IDB_REG_DISCARD);
        waitFor([&] { return !IsWindow(d); }, 5000);
        results.check(!IsWindow(d) && app.rowCount(0) == before + 1, "\"Eldobás\" closes without a row");
    }
}

void institutionEditor(App& app) {
    app.command(IDM_VIEW_INSTITUTION);
    HWND d = open(app, IDM_NEW, kInstitutionCaption);
    if (!d) return;
    expectMessages(
        app, d, IDOK,
        {
            {[] {}, L"Hib\u00E1s c\u00E9gsz\u00E1m (ter\u00FCleti k\u00F3d)!"},
            {[&] { App::setText(d, IDE_INST_AREA_CODE, L"01"); App::setText(d, IDE_INST_FORM_CODE, L"18"); },
             L"A c\u00E9gforma (harmadik \u00E9s negyedik sz\u00E1mjegy) csak 02 (sz\u00F6vetkezet), 10 "
             L"(r\u00E9szv\u00E9nyt\u00E1rsas\u00E1g), 17 (k\u00FClf\u00F6ldi v\u00E1llalkoz\u00E1s "
             L"magyarorsz\u00E1gi fi\u00F3ktelepe), vagy 20 (eur\u00F3pai r\u00E9szv\u00E9nyt\u00E1rsas\u00E1g) lehet!"},
            {[&] { App::setText(d, IDE_INST_FORM_CODE, L"10"); }, L"K\u00E9rem, v\u00E1lasszon m\u0171veleti k\u00F3dot!"},
            {[&] { selectListEntry(d, IDL_INST_CODE, L"Bejegyz\u00E9s"); }, L"Hib\u00E1s c\u00E9gsz\u00E1m!"},
        },
        "institution editor");
    App::setText(d, IDE_INST_SERIAL, L"041234");
    App::setText(d, IDE_INST_TAX, L"10537914");
    App::setText(d, IDE_INST_BANK_CODE, L"1177301");
    const std::wstring bankCodeMessage = save(app, d, IDOK);
    results.check(bankCodeMessage == L"Hib\u00E1s sz\u00E1mjel!", "a 7-digit bank code: \"" + narrow(bankCodeMessage) + "\"");
    App::setText(d, IDE_INST_BANK_CODE, L"11773016");
    App::setText(d, IDE_INST_NAME, L"Pr\u00F3ba & T\u00E1rsa \u201EBank\u201D <Zrt.>");
    App::setText(d, IDE_INST_POSTAL_CODE, L"1051");
    App::setText(d, IDE_INST_PLACE, L"Budapest");
    App::setText(d, IDE_INST_AREA, L"N\u00E1dor");
    App::setText(d, IDE_INST_HOUSE, L"16");
    selectListEntry(d, IDL_INST_AREA_TYPE, L"utca");
    shot(L"dialog-institution");
    results.check(save(app, d, IDOK).empty(), "a valid institution closes the dialog");
    waitFor([&] { return app.rowCount(1) == 1; }, 5000);
    results.check(app.cell(1, 0, 0) == L"Pr\u00F3ba & T\u00E1rsa \u201EBank\u201D <Zrt.>" && app.cell(1, 0, 6) == L"utca" &&
                      app.cell(1, 0, 1) == L"0110041234",
                  "the institution row holds the typed name, type and company number");

    // Modify: the sorted type list shows the stored type selected.
    app.selectRow(1, 0);
    d = open(app, IDM_MODIFY, kInstitutionCaption);
    if (d) {
        results.check(selectedEntry(d, IDL_INST_AREA_TYPE) == L"utca", "Modify selects the stored street type");
        results.check(App::text(d, IDE_INST_NAME) == L"Pr\u00F3ba & T\u00E1rsa \u201EBank\u201D <Zrt.>",
                      "Modify shows the name");
        HWND list = GetDlgItem(d, IDL_INST_AREA_TYPE);
        wchar_t first[64] = {}, second[64] = {};
        SendMessageW(list, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(first));
        SendMessageW(list, LB_GETTEXT, 1, reinterpret_cast<LPARAM>(second));
        results.check(first[0] == 0 && std::wstring(second) == L"akna", "the type list is sorted, the empty entry first");
        App::press(d, IDCANCEL);
        waitFor([&] { return !IsWindow(d); }, 5000);
    }
    app.command(IDM_VIEW_REGISTER);
}

void accountChangeEditor(App& app) {
    app.command(IDM_VIEW_ACCOUNT_CHANGE);
    HWND d = open(app, IDM_NEW, kAccountCaption);
    if (!d) return;
    expectMessages(app, d, IDOK,
                   {
                       {[] {}, L"Hib\u00E1s t\u00F6rzssz\u00E1m"},
                       {[&] { App::setText(d, IDE_ACC_SERIAL, L"12345"); }, L"Hib\u00E1s c\u00E9gsz\u00E1m (ter\u00FCleti k\u00F3d)!"},
                       {[&] { App::setText(d, IDE_ACC_SERIAL, L""); App::setText(d, IDE_ACC_TAX, L"12345678"); },
                        L"Hib\u00E1s r\u00E9gi nyit\u00E1s d\u00E1tum"},
                   },
                   "account-change editor");
    const std::pair<int, const wchar_t*> fields[] = {
        {IDE_ACC_ORIG_ACCOUNT1, L"11773016"}, {IDE_ACC_ORIG_ACCOUNT2, L"00001234"}, {IDE_ACC_ORIG_ACCOUNT3, L"00000000"},
        {IDE_ACC_ORIG_OPEN_YEAR, L"2001"},    {IDE_ACC_ORIG_OPEN_MONTH, L"05"},     {IDE_ACC_ORIG_OPEN_DAY, L"02"},
        {IDE_ACC_ORIG_CLOSE_YEAR, L"2005"},   {IDE_ACC_ORIG_CLOSE_MONTH, L"06"},    {IDE_ACC_ORIG_CLOSE_DAY, L"30"},
        {IDE_ACC_NEW_ACCOUNT1, L"10700024"},  {IDE_ACC_NEW_ACCOUNT2, L"00005678"},  {IDE_ACC_NEW_ACCOUNT3, L"00000000"},
        {IDE_ACC_NEW_OPEN_YEAR, L"2005"},     {IDE_ACC_NEW_OPEN_MONTH, L"07"},      {IDE_ACC_NEW_OPEN_DAY, L"01"},
    };
    for (const auto& [id, text] : fields) App::setText(d, id, text);
    shot(L"dialog-account-change");
    results.check(save(app, d, IDOK).empty(), "a valid account change closes the dialog");
    waitFor([&] { return app.rowCount(2) == 1; }, 5000);
    results.check(app.cell(2, 0, 0) == L"12345678" && app.cell(2, 0, 1).empty() && app.cell(2, 0, 7).empty() &&
                      app.cell(2, 0, 5) == L"107000240000567800000000",
                  "the account-change row: no company number, no new closing date");
    app.command(IDM_VIEW_REGISTER);
}

void dataSheet(App& app, const std::wstring& dir) {
    HWND d = open(app, IDM_DATA_SHEET, L"Adatlap");
    if (!d) return;
    results.check(App::text(d, IDE_DS_CIM) == L"P\u00E9nzint\u00E9zeti jelent\u00E9s" &&
                      App::text(d, IDE_DS_TARGY) == L"C\u00E9gek p\u00E9nzforgalmi sz\u00E1mlasz\u00E1m v\u00E1ltoz\u00E1sainak jelent\u00E9se" &&
                      App::text(d, IDE_DS_KATEGORIA) == L"K\u00F6telezetts\u00E9g" && App::text(d, IDE_DS_CNEV).empty(),
                  "the data sheet opens with its defaults");
    results.check(selectedEntry(d, IDL_DS_JELLEG) == L"<none>" && selectedEntry(d, IDL_DS_SZINT) == L"<none>",
                  "neither list has a selection");
    const std::wstring first = save(app, d, IDOK, L"dialog-data-sheet-message");
    results.check(first == L"Hib\u00E1s c\u00E9gsz\u00E1m (ter\u00FCleti k\u00F3d)", "empty data sheet: \"" + narrow(first) + "\"");
    const std::pair<int, const wchar_t*> fields[] = {
        {IDE_DS_UNEV, L"Kov\u00E1cs Erzs\u00E9bet"}, {IDE_DS_UEMAIL, L"kovacs@bank.example"},
        {IDE_DS_CJSZ1, L"1"}, {IDE_DS_CJSZ2, L"10"}, {IDE_DS_CJSZ3, L"41234"}, {IDE_DS_ADOSZAM, L"10537914"},
        {IDE_DS_CNEV, L"Pr\u00F3ba Bank Zrt."}, {IDE_DS_IRSZ, L"1051"}, {IDE_DS_HELY, L"Budapest"},
        {IDE_DS_TERULET, L"N\u00E1dor"}, {IDE_DS_HAZSZAM, L"16"},
    };
    for (const auto& [id, text] : fields) App::setText(d, id, text);
    selectListEntry(d, IDL_DS_JELLEG, L"\u00FAtf\u00E9l");
    selectListEntry(d, IDL_DS_SZINT, L"fszt.");
    shot(L"dialog-data-sheet");
    results.check(save(app, d, IDOK).empty(), "a full data sheet saves and closes");
    const std::string ini = readBytes(path(dir, L"Kovirant.ini"));
    std::vector<std::string> keys;
    std::istringstream lines(ini);
    for (std::string line; std::getline(lines, line);) keys.push_back(line.substr(0, line.find('=')));
    const std::vector<std::string> expected = {"[ADATLAP]\r", "cim", "targy", "Unev", "Uemail", "Utelefon", "Utelefax",
                                               "SZnev", "SZemail", "cjsz1", "cjsz2", "cjsz3", "adoszam", "Cnev", "irsz",
                                               "hely", "terulet", "hazszam", "epulet", "ajto", "kategoria", "targyszo",
                                               "jelleg", "szint"};
    results.check(keys == expected, "Kovirant.ini holds ADATLAP and its 23 keys in order");
    results.check(ini.find("cjsz1=01\r\n") != std::string::npos && ini.find("cjsz3=041234\r\n") != std::string::npos,
                  "the number keys are stored zero-padded");
    d = open(app, IDM_DATA_SHEET, L"Adatlap");
    if (d) {
        results.check(App::text(d, IDE_DS_CNEV) == L"Pr\u00F3ba Bank Zrt." && App::text(d, IDE_DS_CJSZ1) == L"01",
                      "reopened, the data sheet shows the saved values");
        const int index = static_cast<int>(SendDlgItemMessageW(d, IDL_DS_JELLEG, LB_GETCURSEL, 0, 0));
        results.check(index == 85 && selectedEntry(d, IDL_DS_SZINT) == L"fszt.",
                      "reopened: the later \"útfél\" and the floor are selected");
        App::press(d, IDCANCEL);
        waitFor([&] { return !IsWindow(d); }, 5000);
    }
}

// The officer's road: import, complete every company number, save, reload.
void officersRoad(App& app, const std::wstring& dir) {
    app.command(IDM_LOAD_APEH);
    HWND file = app.waitDialog(L"APEH protokoll forr\u00E1s file megnyit\u00E1sa");
    if (!file) return;
    App::chooseFile(file, path(examples, L"apeh-protocol.txt"));
    HWND q = app.waitDialog(path(examples, L"apeh-protocol.txt"));
    if (q) App::press(q, IDYES);
    HWND warning = app.waitDialog(L"Kovirant");
    if (warning) App::press(warning, IDOK);
    waitFor([&] { return app.noDialog(); }, 5000);
    const int rows = app.rowCount(0);
    int completed = 0;
    // The first row is opened with a double click, as an officer would.
    const std::string click = app.clickRow(0, 1, false);
    const bool enabled = waitFor([&] { return app.menuEnabled(IDM_MODIFY) && app.menuEnabled(IDM_DELETE); }, 5000);
    results.check(enabled, std::string("a click on a row enables \"Módosítás...\" and \"Törlés\"") +
                               (enabled ? "" : " (" + click + ")"));
    app.clickRow(0, 1, true);
    HWND first = app.waitDialog(kRegisterCaption, 5000);
    results.check(first != nullptr && App::text(first, IDE_REG_TAX) == app.cell(0, 1, 1),
                  "a double click opens the Modify editor for that row");
    if (first) {
        App::press(first, IDB_REG_DISCARD);
        waitFor([&] { return !IsWindow(first); }, 5000);
    }
    for (int r = 0; r < rows; ++r) {
        if (!app.cell(0, r, 0).empty()) continue;
        app.selectRow(0, r);
        app.command(IDM_MODIFY);
        HWND d = app.waitDialog(kRegisterCaption);
        if (!d) break;
        wchar_t serial[16];
        swprintf(serial, 16, L"%06d", 500 + r);
        App::setText(d, IDE_REG_AREA_CODE, L"13");
        App::setText(d, IDE_REG_FORM_CODE, L"09");
        App::setText(d, IDE_REG_SERIAL, serial);
        if (App::text(d, IDE_REG_OPEN_YEAR).empty()) {  // an imported closing has no opening date
            App::setText(d, IDE_REG_OPEN_YEAR, L"2001");
            App::setText(d, IDE_REG_OPEN_MONTH, L"01");
            App::setText(d, IDE_REG_OPEN_DAY, L"01");
        }
        const std::wstring message = save(app, d, IDB_REG_SAVE);
        if (!message.empty()) {
            results.check(false, "completing row " + std::to_string(r) + ": " + narrow(message));
            App::press(d, IDB_REG_DISCARD);
            break;
        }
        ++completed;
    }
    results.check(completed == 36, "every imported company number completed by Modify (" + std::to_string(completed) + ")");
    const std::wstring before[3] = {app.tableText(0), app.tableText(1), app.tableText(2)};

    app.command(IDM_SAVE_REPORT);
    HWND saveDialog = app.waitDialog(L"Sz\u00E1mla ment\u00E9s file megad\u00E1sa");
    if (!saveDialog) return;
    App::chooseFile(saveDialog, path(dir, L"road.xml"));
    HWND done = app.waitDialog(L"Kovirant");
    results.check(done && App::messageText(done) == L"A jelent\u00E9s sikeresen elk\u00E9sz\u00FClt", "the road's report is written");
    if (done) App::press(done, IDOK);
    waitFor([&] { return app.noDialog(); }, 5000);

    app.command(IDM_LOAD_REPORT);
    file = app.waitDialog(L"Kovirant forr\u00E1s file megnyit\u00E1sa");
    if (!file) return;
    App::chooseFile(file, path(dir, L"road.xml"));
    q = app.waitDialog(path(dir, L"road.xml"));
    if (q) App::press(q, IDNO);  // replace: the report was written, so nothing more is asked
    waitFor([&] { return app.noDialog() && app.rowCount(0) == rows; }, 15000);
    bool same = true;
    for (int k = 0; k < 3; ++k) same = same && app.tableText(k) == before[k];
    results.check(same, "the reloaded report gives back every cell of all three tables");
}

}  // namespace

void editorsAndRoad() {
    const std::wstring dir = freshFolder(L"editors", false);
    App app;
    if (!app.start(exe, dir)) {
        results.check(false, "the program starts for the dialogs");
        return;
    }
    registerEditor(app);
    institutionEditor(app);
    accountChangeEditor(app);
    dataSheet(app, dir);
    officersRoad(app, dir);
    app.kill();
}

}  // namespace e2e
