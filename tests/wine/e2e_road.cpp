// End-to-end check of the report's road in the window, in two runs with the
// other officer between them (scripts/wine-road-test.sh): with the release
// on, a saved report awaits approval and its own officer is refused it;
// once another account approved it, it is marked sent at a time typed three
// days ago, the next start-up says it is late, and the registry's receipt,
// proposed for the report it names, is attached as accepting it.
#include <ctime>

#include "../../resources/resource.h"
#include "e2e_shared.h"

namespace e2e {
namespace {

constexpr wchar_t kListCaption[] = L"Kor\u00E1bbi jelent\u00E9sek";

std::wstring roadFolder() { return path(work, L"road"); }

// The saved report's SHA-256, from its line of the archive's log.
std::wstring reportSha(const std::wstring& dir) {
    const std::string log = readBytes(path(path(dir, L"Archivum"), L"naplo.csv"));
    std::size_t at = log.find('\n');
    for (int field = 0; field < 6 && at != std::string::npos; ++field) at = log.find(';', at + 1);
    if (at == std::string::npos || at + 65 > log.size()) return {};
    return std::wstring(log.begin() + static_cast<std::ptrdiff_t>(at + 1), log.begin() + static_cast<std::ptrdiff_t>(at + 65));
}

// "Korábbi jelentések" opened with its newest line selected.
HWND openList(App& app, HWND& list) {
    app.command(IDM_EARLIER_REPORTS);
    HWND d = app.waitDialog(kListCaption);
    results.check(d != nullptr, "\"Korábbi jelentések...\" opens");
    if (!d) return nullptr;
    list = GetDlgItem(d, IDC_ARCHIVE_LIST);
    waitFor([&] { return SendMessageW(list, LVM_GETITEMCOUNT, 0, 0) == 1; }, 5000);
    app.selectItem(list, 0);
    return d;
}

bool enabled(HWND d, int id) { return IsWindowEnabled(GetDlgItem(d, id)) != FALSE; }

void press(HWND d, int id) {
    App::press(d, id);
    waitFor([&] { return !IsWindow(d); }, 5000);
}

// The same by the keyboard alone: a mnemonic, Enter.
void keys(HWND d, std::initializer_list<WORD> down) {
    pressKeys(d, down);
    waitFor([&] { return !IsWindow(d); }, 5000);
}

}  // namespace

void roadSaveForApproval() {
    const std::wstring dir = freshFolder(L"road", true);
    std::string ini = readBytes(path(dir, L"Kovirant.ini"));
    ini.insert(ini.find("[GENERAL]\r\n") + 11, "jovahagyas=1\r\n");
    writeBytes(path(dir, L"Kovirant.ini"), ini);
    App app;
    if (!app.start(exe, dir)) return;
    saveExampleReport(app, path(dir, L"december.xml"));
    answer(app,
           L"A jelent\u00E9st archiv\u00E1ltam, \u00E1llapota: \"j\u00F3v\u00E1hagy\u00E1sra v\u00E1r\"; m\u00E1sik "
           L"\u00FCgyint\u00E9z\u0151 hagyhatja j\u00F3v\u00E1.",
           IDOK, "with the release on the report awaits approval");
    HWND list = nullptr;
    HWND d = openList(app, list);
    if (!d) return;
    results.check(app.itemText(list, 0, 7) == L"j\u00F3v\u00E1hagy\u00E1sra v\u00E1r", "its state: \"" +
                                                                                        narrow(app.itemText(list, 0, 7)) + "\"");
    results.check(enabled(d, IDB_ARCHIVE_APPROVE) && !enabled(d, IDB_ARCHIVE_SENT) && !enabled(d, IDB_ARCHIVE_RECEIPT),
                  "only \"Jóváhagyás...\" is offered for it");
    SendMessageW(list, LVM_SCROLL, 600, 0);  // the state in the picture
    Sleep(300);
    shot(L"road-awaiting");
    press(d, IDB_ARCHIVE_APPROVE);
    answer(app, L"A jelent\u00E9st \u00D6n k\u00E9sz\u00EDtette; j\u00F3v\u00E1hagy\u00E1s\u00E1t m\u00E1sik \u00FCgyint\u00E9z\u0151 "
                L"adhatja meg.",
           IDOK, "its own officer is refused the approval");
    d = app.waitDialog(kListCaption);
    if (d) press(d, IDCANCEL);
    app.kill();
}

void roadSendAndReceipt() {
    const std::wstring dir = roadFolder();
    const std::wstring sha = reportSha(dir);
    results.check(GetFileAttributesW(path(path(dir, L"Kimeno"), L"december.xml").c_str()) != INVALID_FILE_ATTRIBUTES,
                  "the other officer's approval put the file to sign into the outbox");
    App app;
    if (!app.start(exe, dir)) return;
    HWND list = nullptr;
    HWND d = openList(app, list);
    if (!d) return;
    results.check(app.itemText(list, 0, 7) == L"j\u00F3v\u00E1hagyva" && !enabled(d, IDB_ARCHIVE_APPROVE) &&
                      enabled(d, IDB_ARCHIVE_SENT),
                  "approved by the other officer, it may be marked sent: \"" + narrow(app.itemText(list, 0, 7)) + "\"");
    keys(d, {VK_MENU, 'E'});  // "&Elküldve"
    HWND when = app.waitDialog(L"Elk\u00FCldve");
    results.check(when != nullptr, "\"Elküldve\" asks the time, the present minute offered");
    if (!when) return;
    const std::time_t before = std::time(nullptr) - 3 * 86400;
    wchar_t typed[32] = {};
    std::wcsftime(typed, 32, L"%Y-%m-%d %H:%M", std::localtime(&before));
    App::setText(when, IDE_SENT_TIME, typed);
    Sleep(300);
    shot(L"road-sent-time");
    keys(when, {VK_RETURN});
    answer(app, L"A jelent\u00E9s (" + sha.substr(0, 12) + L") \u00E1llapota: elk\u00FCldve.", IDOK,
           "sent three days ago");
    d = app.waitDialog(kListCaption);
    if (d) press(d, IDCANCEL);
    app.kill();

    App again;
    if (!again.start(exe, dir)) return;
    const std::wstring late = L"1 jelent\u00E9s k\u00E9sik: l\u00E1sd Kor\u00E1bbi jelent\u00E9sek";
    results.check(waitFor([&] { return again.statusText(0) == late; }, 5000),
                  "start-up says it is late: \"" + narrow(again.statusText(0)) + "\"");
    shot(L"road-overdue");
    const std::wstring receipt = path(dir, L"tertiveveny.eml");
    writeBytes(receipt, "Subject: december.xml\r\n\r\nA bejelentes befogadva.\r\n");
    d = openList(again, list);
    if (!d) return;
    keys(d, {VK_MENU, 'V'});  // "Térti&vevény..."
    openFile(again, L"A regisztr\u00E1ci\u00F3 t\u00E9rtivev\u00E9nye", receipt, "the receipt chosen");
    HWND r = again.waitDialog(L"T\u00E9rtivev\u00E9ny");
    results.check(r != nullptr, "\"Tértivevény\" asks whose it is and what it says");
    if (!r) return;
    const LRESULT chosen = SendDlgItemMessageW(r, IDL_RECEIPT_REPORT, CB_GETCURSEL, 0, 0);
    results.check(chosen == 0 && IsDlgButtonChecked(r, IDR_RECEIPT_ACCEPTED) == BST_CHECKED,
                  "the report it names is proposed, as accepted");
    Sleep(300);
    shot(L"road-receipt");
    keys(r, {VK_RETURN});
    answer(again, L"A jelent\u00E9s (" + sha.substr(0, 12) + L") \u00E1llapota: elfogadva.", IDOK, "the receipt attached");
    d = again.waitDialog(kListCaption);
    if (!d) return;
    list = GetDlgItem(d, IDC_ARCHIVE_LIST);
    again.selectItem(list, 0);
    results.check(waitFor([&] { return again.itemText(list, 0, 7) == L"elfogadva" && enabled(d, IDB_ARCHIVE_OPEN_RECEIPT); }, 5000),
                  "the list shows it accepted and opens its receipt: \"" + narrow(again.itemText(list, 0, 7)) + "\"");
    SendMessageW(list, LVM_SCROLL, 600, 0);
    Sleep(300);
    shot(L"road-accepted");
    press(d, IDCANCEL);
    again.kill();
}

}  // namespace e2e
