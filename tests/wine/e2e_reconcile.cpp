// End-to-end check of "Egyeztetés a cégjegyzékkel..." over the archive the
// archive scenario made: a registry list whose one line differs in its
// opening date, one the bank does not know and one unreadable; the window
// lists them with the counts, "Mentés..." writes the CSV, the chosen line's
// proposal goes into the register table and Ctrl+Z takes it back; Esc closes.
#include "../../resources/resource.h"
#include "e2e_shared.h"

namespace e2e {
namespace {

constexpr wchar_t kCaption[] = L"Egyeztet\u00E9s a c\u00E9gjegyz\u00E9kkel";

// The first line of the list whose column `column` reads `text`, or -1.
int lineWith(const App& app, HWND list, int column, const std::wstring& text) {
    const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i)
        if (app.itemText(list, i, column) == text) return i;
    return -1;
}

}  // namespace

void reconcileInWindow(App& app, const std::wstring& dir) {
    // An open account of the archived report, its opening moved in the list.
    int row = -1;
    for (int i = 0; i < app.rowCount(0) && row < 0; ++i)
        if (app.cell(0, i, 4).empty() && app.cell(0, i, 3).size() == 10 && app.cell(0, i, 0).size() == 10) row = i;
    results.check(row >= 0, "the archived report has an open account with a company number");
    if (row < 0) return;
    const std::wstring company = app.cell(0, row, 0), tax = app.cell(0, row, 1), account = app.cell(0, row, 2),
                       opening = app.cell(0, row, 3);
    const std::wstring list = path(dir, L"cegjegyzek.txt");
    writeBytes(list, "Cg. " + narrow(company) + " " + narrow(tax) + " " + narrow(account) + " 2001-02-03 - 2001-02-05 -\r\n" +
                         kOneAccountList + "nem sz\xE1mla\r\n");
    const int before = app.rowCount(0);

    app.command(IDM_RECONCILE);
    openFile(app, kRegistryListTitle, list, "the registry's list");
    HWND d = app.waitDialog(kCaption);
    results.check(d != nullptr && GetWindow(d, GW_OWNER) == app.main(), "\"Egyeztetés a cégjegyzékkel...\" opens its window");
    if (!d) return;
    HWND lines = GetDlgItem(d, IDC_RECON_LIST);
    results.check(waitFor([&] { return SendMessageW(lines, LVM_GETITEMCOUNT, 0, 0) > 2; }) &&
                      App::text(d, IDT_RECON_COUNT).find(L"3 sor, 2 sz\u00E1mla, 1 olvashatatlan sor") != std::wstring::npos,
                  "the counts: \"" + narrow(App::text(d, IDT_RECON_COUNT)) + "\"");
    results.check(focusOf(d) == GetDlgItem(d, IDL_RECON_KIND), "the window opens with the focus on the category");
    const int dated = lineWith(app, lines, 0, L"elt\u00E9r\u0151 d\u00E1tum");
    results.check(dated >= 0 && app.itemText(lines, dated, 2) == account && app.itemText(lines, dated, 5) == L"2001-02-03" &&
                      app.itemText(lines, dated, 11) == opening && app.itemText(lines, dated, 13) == L"Egyeztet\u00E9s",
                  "the moved opening is a date difference with its proposal");
    const int unknown = lineWith(app, lines, 0, L"n\u00E1lunk ismeretlen");
    results.check(unknown >= 0 && app.itemText(lines, unknown, 13).empty(), "the account the bank lacks: no proposal");
    const int unread = lineWith(app, lines, 0, L"olvashatatlan sor");
    results.check(unread >= 0 && app.itemText(lines, unread, 1) == L"3" && !app.itemText(lines, unread, 14).empty(),
                  "the unreadable line with its number and why");
    Sleep(300);  // the list drawn before the picture
    shot(L"reconciliation");
    RECT was{}, listed{}, dlg{}, close{};
    GetWindowRect(d, &was);
    GetWindowRect(lines, &listed);
    SetWindowPos(d, nullptr, 0, 0, was.right - was.left + 200, was.bottom - was.top + 120, SWP_NOMOVE | SWP_NOZORDER);
    results.check(waitFor([&] {
                      RECT now{};
                      GetWindowRect(lines, &now);
                      return now.right - now.left >= listed.right - listed.left + 200 &&
                             now.bottom - now.top >= listed.bottom - listed.top + 120;
                  }, 5000),
                  "the list follows the resized window");
    GetClientRect(d, &dlg);
    GetWindowRect(GetDlgItem(d, IDCANCEL), &close);
    MapWindowPoints(nullptr, d, reinterpret_cast<POINT*>(&close), 2);
    results.check(close.right <= dlg.right && close.bottom <= dlg.bottom && close.bottom > dlg.bottom - 60,
                  "\"Bez\u00E1r\" keeps to the resized window's corner");
    SetWindowPos(d, nullptr, 0, 0, was.right - was.left, was.bottom - was.top, SWP_NOMOVE | SWP_NOZORDER);

    // "Mentés...": the whole list as the auditor gets it.
    const std::wstring csv = path(dir, L"elteresek.csv");
    App::press(d, IDB_RECON_SAVE);
    openFile(app, L"Az elt\u00E9r\u00E9sek list\u00E1j\u00E1nak ment\u00E9se", csv, "the difference list saved");
    HWND saved = app.waitMessage([](const std::wstring& t) { return t.rfind(L"Az elt\u00E9r\u00E9sek list\u00E1j\u00E1t elmentettem", 0) == 0; });
    results.check(saved != nullptr && readBytes(csv).rfind("\xEF\xBB\xBF" "Elt\xC3\xA9r\xC3\xA9s;", 0) == 0,
                  "\"Mentés...\" writes the CSV with its mark and header");
    if (saved) App::press(saved, IDOK);
    waitFor([&] { return saved == nullptr || !IsWindow(saved); }, 5000);

    app.selectItem(lines, dated);
    App::press(d, IDB_RECON_APPEND);
    waitFor([&] { return !IsWindow(d); }, 5000);
    answer(app, L"A c\u00E9gjegyz\u00E9k t\u00E1bl\u00E1ba felvettem 1 javasolt sort. A jelent\u00E9s el\u0151tt "
                L"ellen\u0151rizze \u0151ket (Ellen\u0151rz\u00E9s...).",
           IDOK, "the proposal appended");
    results.check(waitFor([&] { return app.rowCount(0) == before + 1; }) && app.cell(0, before, 2) == account &&
                      app.cell(0, before, 3) == opening && app.cell(0, before, 5) == L"Egyeztet\u00E9s",
                  "the register table gained the chosen proposal");
    results.check(app.menuText(IDM_UNDO) == L"&Visszavon\u00E1s: javasolt sorok felv\u00E9tele\tCtrl+Z",
                  "one step to undo: \"" + narrow(app.menuText(IDM_UNDO)) + "\"");
    pressKeys(app, {VK_CONTROL, 'Z'});
    results.check(waitFor([&] { return app.rowCount(0) == before; }), "Ctrl+Z takes the proposal back");

    app.command(IDM_RECONCILE);
    openFile(app, kRegistryListTitle, list, "the registry's list again");
    d = app.waitDialog(kCaption);
    if (d) pressKeys(d, {VK_ESCAPE});
    results.check(d != nullptr && waitFor([&] { return !IsWindow(d); }, 5000) && app.rowCount(0) == before,
                  "Esc closes the window and adds nothing");
}

}  // namespace e2e
