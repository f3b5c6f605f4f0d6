// End-to-end check of the archive in the window: a saved report is archived,
// "Korábbi jelentések..." lists it, "Felvétel..." adds an earlier report and
// "Betöltés" loads a copy; "Számlatörténet..." finds an account's rows;
// "Egyeztetés a cégjegyzékkel..." compares a registry list with the archive.
#include <filesystem>

#include "../../resources/resource.h"
#include "e2e_shared.h"

namespace e2e {

void archiveAndHistory() {
    const std::wstring dir = freshFolder(L"archive", true);
    App app;
    if (!app.start(exe, dir)) return;
    saveExampleReport(app, path(dir, L"december.xml"));
    const std::wstring log = path(path(dir, L"Archivum"), L"naplo.csv");
    results.check(waitFor([&] { return GetFileAttributesW(log.c_str()) != INVALID_FILE_ATTRIBUTES; }),
                  "the save writes the archive's log beside the settings");

    const wchar_t caption[] = L"Kor\u00E1bbi jelent\u00E9sek";
    app.command(IDM_EARLIER_REPORTS);
    HWND d = app.waitDialog(caption);
    results.check(d != nullptr && GetWindow(d, GW_OWNER) == app.main(), "\"Korábbi jelentések...\" opens its window");
    if (!d) return;
    HWND list = GetDlgItem(d, IDC_ARCHIVE_LIST);
    results.check(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0) == 1, "it lists the one report saved");
    App::press(d, IDB_ARCHIVE_ADD);
    waitFor([&] { return !IsWindow(d); }, 5000);
    openFile(app, L"Kor\u00E1bbi jelent\u00E9sek felv\u00E9tele az arch\u00EDvumba", path(examples, L"report.xml"),
             "an earlier report chosen");
    answer(app, L"Az arch\u00EDvumba felvettem: 1 jelent\u00E9st.", IDOK, "the earlier report added");
    d = app.waitDialog(caption);
    results.check(d != nullptr, "the window opens again with the report added");
    if (!d) return;
    list = GetDlgItem(d, IDC_ARCHIVE_LIST);
    results.check(waitFor([&] { return SendMessageW(list, LVM_GETITEMCOUNT, 0, 0) == 2; }), "it lists both reports");
    Sleep(300);  // the list drawn before the picture
    shot(L"archive-list");
    app.selectItem(list, 0);  // the newest: the one saved today
    App::press(d, IDOK);      // "Betöltés"
    waitFor([&] { return !IsWindow(d); }, 5000);
    answer(app, L"Hozz\u00E1f\u0171zz\u00FCk az \u00FAj \u00E1llom\u00E1nyt a megl\u00E9v\u0151 adatokhoz?", IDNO,
           "the append question, answered No");
    results.check(waitFor([&] { return app.rowCount(0) == 36 && app.rowCount(1) == 1 && app.rowCount(2) == 2; }),
                  "\"Betöltés\" loads the copy in place of the rows: 36 + 1 + 2");

    app.command(IDM_ACCOUNT_HISTORY);
    HWND h = app.waitDialog(L"Sz\u00E1mlat\u00F6rt\u00E9net");
    results.check(h != nullptr, "\"Számlatörténet...\" opens its window");
    if (!h) return;
    const std::wstring account = app.cell(0, 0, 2);
    App::setText(h, IDE_HISTORY_NUMBER, account);
    App::press(h, IDB_HISTORY_FIND);
    HWND rows = GetDlgItem(h, IDC_HISTORY_LIST);
    const bool both = waitFor([&] { return SendMessageW(rows, LVM_GETITEMCOUNT, 0, 0) == 2; });
    results.check(both &&
                      App::text(h, IDT_HISTORY_COUNT).find(L"2 sora tartalmazza") != std::wstring::npos,
                  "the first row's account is in both archived reports: \"" + narrow(App::text(h, IDT_HISTORY_COUNT)) +
                      "\" (" + narrow(account) + ")");
    Sleep(300);
    shot(L"account-history");
    App::setText(h, IDE_HISTORY_NUMBER, L"9999-9999");
    App::press(h, IDB_HISTORY_FIND);
    const bool none = waitFor([&] { return SendMessageW(rows, LVM_GETITEMCOUNT, 0, 0) == 0; });
    results.check(none &&
                      App::text(h, IDT_HISTORY_COUNT).find(L"egyike sem") != std::wstring::npos,
                  "a number no report holds: \"" + narrow(App::text(h, IDT_HISTORY_COUNT)) + "\"");
    App::press(h, IDCANCEL);
    waitFor([&] { return !IsWindow(h); }, 5000);
    reconcileInWindow(app, dir);
    app.kill();
}

}  // namespace e2e
