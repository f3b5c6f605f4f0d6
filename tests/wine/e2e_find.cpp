// End-to-end checks of "Ellenőrzés..." and "Keresés...": a hand-made report
// with faulty rows in all three tables lists each, "Ugrás" brings the officer
// to the row and Modify opens it; the search finds forward, wraps and says
// when nothing is found; the shortcuts work.
#include <filesystem>
#include <fstream>
#include <vector>

#include "../../resources/resource.h"
#include "e2e_shared.h"

namespace e2e {
namespace {

// A report as someone might make it by hand: a register row with an
// impossible date, an institution with a company form the editor refuses,
// an account change with a 7-digit tax number.
void writeHandMadeReport(const std::wstring& file) {
    std::ofstream out(std::filesystem::path(file), std::ios::binary);
    out << "<?xml version=\"1.0\" encoding=\"ISO-8859-2\"?>\r\n<P\xE9nzint\xE9zetiJelent\xE9s>\r\n"
           "\t<V\xE1ltoz\xE1sBejegyz\xE9s>\r\n"
           "\t\t<C\xE9gnyilv\xE1ntart\xE1s>\r\n\t\t\t<T\xF6rzsadatok>\r\n"
           "\t\t\t\t<P\xE9nzint\xE9zet C\xE9gsz\xE1m=\"0199000001\" T\xF6rzssz\xE1m=\"12345676\" k\xF3" "d=\"Bejegyz\xE9s\">\r\n"
           "\t\t\t\t\t<Sz\xE1mjel>11111111</Sz\xE1mjel>\r\n\t\t\t\t\t<N\xE9v>Pr\xF3" "ba Bank</N\xE9v>\r\n"
           "\t\t\t\t</P\xE9nzint\xE9zet>\r\n\t\t\t</T\xF6rzsadatok>\r\n\t\t</C\xE9gnyilv\xE1ntart\xE1s>\r\n"
           "\t\t<C\xE9gjegyz\xE9k>\r\n";
    for (int i = 0; i < 3; ++i) {
        const char* date = i == 1 ? "2005-02-30" : "2005-03-01";
        // Tax and account numbers whose check digits pass: no warnings among the faults.
        const std::string digits(8, static_cast<char>('1' + i));
        out << "\t\t\t<C\xE9gMutat\xF3 C\xE9gsz\xE1m=\"010900000" << i << "\" T\xF6rzssz\xE1m=\"" << digits
            << "\">\r\n\t\t\t\t<Sz\xE1mlasz\xE1m k\xF3" "d=\"Bejegyz\xE9s\">\r\n"
               "\t\t\t\t\t<Jelz\xF5sz\xE1m>1177301600000000" << digits << "</Jelz\xF5sz\xE1m>\r\n"
               "\t\t\t\t\t<Nyit\xE1s>" << date << "</Nyit\xE1s>\r\n\t\t\t\t</Sz\xE1mlasz\xE1m>\r\n\t\t\t</C\xE9gMutat\xF3>\r\n";
    }
    out << "\t\t</C\xE9gjegyz\xE9k>\r\n\t\t<Sz\xE1mlasz\xE1mV\xE1ltoz\xE1s>\r\n"
           "\t\t\t<Tulajdonos T\xF6rzssz\xE1m=\"1234567\">\r\n\t\t\t\t<EredetiSz\xE1mla>\r\n"
           "\t\t\t\t\t<Jelz\xF5sz\xE1m>111111112222222233333333</Jelz\xF5sz\xE1m>\r\n"
           "\t\t\t\t\t<Nyit\xE1s>2001-01-01</Nyit\xE1s>\r\n\t\t\t\t\t<Z\xE1r\xE1s>2005-01-01</Z\xE1r\xE1s>\r\n"
           "\t\t\t\t</EredetiSz\xE1mla>\r\n\t\t\t\t<\xDAjSz\xE1mla>\r\n"
           "\t\t\t\t\t<Jelz\xF5sz\xE1m>111111112222222244444444</Jelz\xF5sz\xE1m>\r\n"
           "\t\t\t\t\t<Nyit\xE1s>2005-01-02</Nyit\xE1s>\r\n\t\t\t\t</\xDAjSz\xE1mla>\r\n\t\t\t</Tulajdonos>\r\n"
           "\t\t</Sz\xE1mlasz\xE1mV\xE1ltoz\xE1s>\r\n\t</V\xE1ltoz\xE1sBejegyz\xE9s>\r\n</P\xE9nzint\xE9zetiJelent\xE9s>\r\n";
}

int selected(HWND list) { return static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED)); }

void search(App& app, const std::wstring& text, bool byKeys) {
    if (byKeys) pressKeys(app, {VK_CONTROL, 'F'});
    else app.command(IDM_SEARCH);
    HWND d = app.waitDialog(L"Keres\u00E9s");
    results.check(d != nullptr, std::string("the \"Keresés\" dialog opens") + (byKeys ? " with Ctrl+F" : ""));
    if (!d) return;
    App::setText(d, IDE_SEARCH_TEXT, text);
    if (byKeys) {
        Sleep(300);  // the typed text drawn before the picture
        shot(L"search-dialog");
    }
    App::press(d, IDOK);
    waitFor([&] { return !IsWindow(d); }, 5000);
}

}  // namespace

void checkAndSearch() {
    const std::wstring dir = freshFolder(L"find", true);
    const std::wstring report = path(dir, L"kezzel.xml");
    writeHandMadeReport(report);
    App app;
    if (!app.start(exe, dir)) return;
    app.command(IDM_LOAD_REPORT);
    openFile(app, L"Kovirant forr\u00E1s file megnyit\u00E1sa", report, "hand-made report load");
    results.check(waitFor([&] { return app.rowCount(0) == 3 && app.rowCount(1) == 1 && app.rowCount(2) == 1; }),
                  "the hand-made report loads 3 + 1 + 1 rows");

    app.command(IDM_CHECK_ROWS);
    HWND d = app.waitDialog(L"Ellen\u0151rz\u00E9s");
    results.check(d != nullptr && GetWindow(d, GW_OWNER) == app.main(), "the \"Ellenőrzés\" dialog opens");
    if (!d) return;
    HWND list = GetDlgItem(d, IDC_FAULT_LIST);
    // Each dated row of 2005 is also past the reporting deadline: a warning.
    results.check(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0) == 6 &&
                      App::text(d, IDT_FAULT_COUNT) == L"Hib\u00E1s sorok sz\u00E1ma: 3, figyelmeztet\u00E9sek sz\u00E1ma: 3",
                  "three faulty rows, one in each table: \"" + narrow(App::text(d, IDT_FAULT_COUNT)) + "\"");
    shot(L"fault-list");
    app.selectItem(list, 3);  // the fourth line: the institution
    App::press(d, IDOK);  // "Ugrás"
    waitFor([&] { return !IsWindow(d); }, 5000);
    results.check(waitFor([&] { return IsWindowVisible(app.list(1)) != FALSE; }) && app.menuChecked(IDM_VIEW_INSTITUTION) &&
                      selected(app.list(1)) == 0 && app.menuEnabled(IDM_MODIFY) && app.menuEnabled(IDM_DELETE),
                  "\"Ugrás\" shows the institution table with the row selected, Modify and Delete enabled");
    app.command(IDM_MODIFY);
    HWND editor = app.waitDialog(L"C\u00E9gnyilv\u00E1ntart\u00E1s szerkeszt\u00E9se (P\u00E9nzint\u00E9zeti alapadatok)");
    results.check(editor && App::text(editor, IDE_INST_FORM_CODE) == L"99", "Modify opens the faulty institution row");
    if (editor) App::press(editor, IDCANCEL);
    waitFor([&] { return editor == nullptr || !IsWindow(editor); }, 5000);

    // Search in the register table: forward from the focused row, wrapping.
    app.command(IDM_VIEW_REGISTER);
    waitFor([&] { return IsWindowVisible(app.list(0)) != FALSE; });
    app.selectRow(0, 0);
    search(app, L"1177-3016", true);
    results.check(waitFor([&] { return selected(app.list(0)) == 1; }), "Ctrl+F finds the next row from the focused one");
    pressKeys(app, {VK_F3});
    results.check(waitFor([&] { return selected(app.list(0)) == 2; }), "F3 finds the next one");
    pressKeys(app, {VK_F3});
    results.check(waitFor([&] { return selected(app.list(0)) == 0; }), "F3 wraps around to the first row");
    search(app, L"nincs ilyen", false);
    answer(app, L"Nincs tal\u00E1lat.", IDOK, "a text no row holds");
    results.check(selected(app.list(0)) == 0, "the selection stays");
    const wchar_t registerCaption[] =
        L"C\u00E9gjegyz\u00E9k szerkeszt\u00E9se (C\u00E9g sz\u00E1mlasz\u00E1m\u00E1nak nyit\u00E1si/z\u00E1r\u00E1si adatai)";
    pressKeys(app, {VK_INSERT});
    HWND fresh = app.waitDialog(registerCaption);
    results.check(fresh && App::text(fresh, IDE_REG_TAX).empty(), "Insert opens the editor for a new row");
    if (fresh) App::press(fresh, IDB_REG_DISCARD);
    waitFor([&] { return fresh == nullptr || !IsWindow(fresh); }, 5000);
    app.selectRow(0, 2);
    PostMessageW(app.list(0), WM_KEYDOWN, VK_RETURN, 1);
    HWND modify = app.waitDialog(registerCaption);
    results.check(modify && App::text(modify, IDE_REG_TAX) == L"33333333", "Enter on a row opens it as a double click does");
    if (modify) App::press(modify, IDB_REG_DISCARD);
    app.kill();
}

}  // namespace e2e
