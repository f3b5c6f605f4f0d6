// End-to-end checks of what the window shows and what the keyboard does: a
// row stays marked while the delete question is open and the question names
// it, a double click on any cell of a row opens its editor, the menus and
// every dialog have mnemonics, open with the focus in their first field and
// tab in reading order, the shortcuts work, Enter on the exit question
// answers No, the open dialog refuses a missing name, the About box and the
// manifest carry the version, and a second start restores the window.
#include <set>
#include <vector>

#include "../../resources/resource.h"
#include "e2e_shared.h"
#include "version.h"

namespace e2e {
namespace {

std::wstring classOf(HWND w) {
    wchar_t name[64] = {};
    GetClassNameW(w, name, 64);
    return name;
}

std::wstring textOf(HWND w) {
    wchar_t buf[512] = {};
    SendMessageW(w, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(buf));
    return buf;
}

wchar_t lower(wchar_t c) {
    CharLowerBuffW(&c, 1);
    return c;
}

bool isField(HWND w) {
    const std::wstring c = classOf(w);
    return (c == L"Edit" || c == L"ListBox" || c == L"SysListView32") && IsWindowEnabled(w);
}

bool isPushButton(HWND w) {
    const LONG type = GetWindowLongW(w, GWL_STYLE) & BS_TYPEMASK;
    return classOf(w) == L"Button" && (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON);
}

// Every label (a static just before an enabled field) and every button has
// one '&' before a letter, and no letter twice; group boxes may have one.
// Empty: all is well; else what is wrong.
std::string mnemonicFaults(HWND dialog) {
    std::string faults;
    std::set<wchar_t> letters;
    for (HWND w = GetWindow(dialog, GW_CHILD); w != nullptr; w = GetWindow(w, GW_HWNDNEXT)) {
        const std::wstring text = textOf(w);
        const LONG style = GetWindowLongW(w, GWL_STYLE);
        const bool label = classOf(w) == L"Static" && (style & SS_NOPREFIX) == 0 && !text.empty() && text != L"-" &&
                           GetWindow(w, GW_HWNDNEXT) != nullptr && isField(GetWindow(w, GW_HWNDNEXT));
        const bool group = classOf(w) == L"Button" && (style & BS_TYPEMASK) == BS_GROUPBOX;
        if (!label && !isPushButton(w) && !(group && text.find(L'&') != std::wstring::npos)) continue;
        const std::size_t at = text.find(L'&');
        if (at == std::wstring::npos || at + 1 >= text.size() || text.find(L'&', at + 1) != std::wstring::npos ||
            !IsCharAlphaW(text[at + 1])) {
            faults += " \"" + narrow(text) + "\" has no single mnemonic;";
            continue;
        }
        if (!letters.insert(lower(text[at + 1])).second)
            faults += " \"" + narrow(text) + "\" repeats its letter;";
    }
    return faults;
}

// The controls the Tab key visits from the first, by id.
std::vector<int> tabOrder(HWND dialog) {
    std::vector<int> ids;
    HWND first = GetNextDlgTabItem(dialog, nullptr, FALSE);
    for (HWND w = first; w != nullptr && ids.size() < 100;) {
        ids.push_back(GetDlgCtrlID(w));
        w = GetNextDlgTabItem(dialog, w, FALSE);
        if (w == first) break;
    }
    return ids;
}

struct DialogCase {
    const char* name;
    int view;     // the view shown first, or 0
    int command;  // the menu command that opens it, or 0 for F7
    std::wstring caption;
    int firstField;
    int close;
    std::vector<int> tabs;  // the whole tab order, when checked
    std::wstring registryList = {};  // the file the command asks for before its window
};

void checkDialogs(App& app) {
    const std::wstring registryList = path(work, L"window-cegjegyzek.txt");
    writeBytes(registryList, kOneAccountList);
    const std::vector<DialogCase> cases = {
        {"register editor", IDM_VIEW_REGISTER, IDM_NEW, kRegisterCaption, IDE_REG_AREA_CODE, IDB_REG_DISCARD, {}},
        {"institution editor", IDM_VIEW_INSTITUTION, IDM_NEW,
         L"C\u00E9gnyilv\u00E1ntart\u00E1s szerkeszt\u00E9se (P\u00E9nzint\u00E9zeti alapadatok)", IDE_INST_AREA_CODE,
         IDCANCEL,
         {IDE_INST_AREA_CODE, IDE_INST_FORM_CODE, IDE_INST_SERIAL, IDE_INST_TAX, IDE_INST_BANK_CODE, IDE_INST_NAME,
          IDE_INST_POSTAL_CODE, IDE_INST_PLACE, IDE_INST_AREA, IDL_INST_AREA_TYPE, IDE_INST_HOUSE, IDE_INST_BUILDING,
          IDE_INST_DOOR, IDL_INST_CODE, IDOK, IDCANCEL}},
        {"account-change editor", IDM_VIEW_ACCOUNT_CHANGE, IDM_NEW,
         L"Banktechnikai sz\u00E1mlasz\u00E1mv\u00E1ltoz\u00E1s szerkeszt\u00E9se", IDE_ACC_AREA_CODE, IDCANCEL, {}},
        {"data sheet", IDM_VIEW_REGISTER, IDM_DATA_SHEET, L"Adatlap", IDE_DS_CIM, IDCANCEL,
         {IDE_DS_CIM, IDE_DS_TARGY, IDE_DS_UNEV, IDE_DS_UEMAIL, IDE_DS_UTELEFON, IDE_DS_UTELEFAX, IDE_DS_SZNEV,
          IDE_DS_SZEMAIL, IDE_DS_KATEGORIA, IDE_DS_TARGYSZO, IDE_DS_CJSZ1, IDE_DS_CJSZ2, IDE_DS_CJSZ3, IDE_DS_ADOSZAM,
          IDE_DS_CNEV, IDE_DS_IRSZ, IDE_DS_HELY, IDE_DS_TERULET, IDL_DS_JELLEG, IDE_DS_HAZSZAM, IDL_DS_SZINT,
          IDE_DS_EPULET, IDE_DS_AJTO, IDOK, IDCANCEL}},
        {"search", 0, IDM_SEARCH, L"Keres\u00E9s", IDE_SEARCH_TEXT, IDCANCEL, {}},
        {"check list (F7)", 0, 0, L"Ellen\u0151rz\u00E9s", IDC_FAULT_LIST, IDCANCEL, {}},
        {"account history", 0, IDM_ACCOUNT_HISTORY, L"Sz\u00E1mlat\u00F6rt\u00E9net", IDE_HISTORY_NUMBER, IDCANCEL, {}},
        {"reconciliation", 0, IDM_RECONCILE, L"Egyeztet\u00E9s a c\u00E9gjegyz\u00E9kkel", IDL_RECON_KIND, IDCANCEL,
         {IDL_RECON_KIND, IDC_RECON_LIST, IDB_RECON_REGISTRY, IDB_RECON_BANK, IDB_RECON_APPEND, IDB_RECON_SAVE, IDCANCEL},
         registryList},
        {"About box", 0, IDM_ABOUT, L"Tervaly Kft.", IDOK, IDCANCEL, {}},
    };
    for (const DialogCase& c : cases) {
        const std::string name = c.name;
        if (c.view != 0) app.command(c.view);
        if (c.command != 0) app.command(c.command);
        else pressKeys(app, {VK_F7});
        if (!c.registryList.empty())
            openFile(app, kRegistryListTitle, c.registryList,
                     name + "'s list");
        HWND d = app.waitDialog(c.caption);
        results.check(d != nullptr, name + " opens");
        if (d == nullptr) continue;
        app.settle();
        const HWND focus = focusOf(d);
        results.check(focus == GetDlgItem(d, c.firstField),
                      name + ": the focus is in the first field (control " + std::to_string(GetDlgCtrlID(focus)) + ")");
        const std::string faults = mnemonicFaults(d);
        results.check(faults.empty(), name + ": every label and button has its own mnemonic" + faults);
        if (!c.tabs.empty()) results.check(tabOrder(d) == c.tabs, name + ": Tab follows the layout");
        if (c.command == IDM_ABOUT)
            results.check(App::text(d, IDT_ABOUT_VERSION) == std::wstring(L"v ") + KOVIRANT_VERSION_WIDE,
                          "the About box shows the version: \"" + narrow(App::text(d, IDT_ABOUT_VERSION)) + "\"");
        if (c.command == IDM_NEW && c.view == IDM_VIEW_REGISTER) {
            // Alt and a label's letter go to its field.
            pressKeys(d, {VK_MENU, 'T'});
            results.check(waitFor([&] { return focusOf(d) == GetDlgItem(d, IDE_REG_TAX); }, 3000),
                          "Alt+T in the register editor goes to \"Törzsszám\"");
        }
        App::press(d, c.close);
        results.check(waitFor([&] { return !IsWindow(d); }, 5000), name + " closes");
    }
    app.command(IDM_VIEW_REGISTER);
}

void checkMenus(App& app) {
    // The texts with their mnemonics and shortcuts, menu by menu.
    const std::vector<std::vector<std::pair<int, std::wstring>>> menus = {
        {{IDM_LOAD_REPORT, L"&XML \u00E1llom\u00E1ny bet\u00F6lt\u00E9se...\tCtrl+O"},
         {IDM_LOAD_APEH, L"&APEH \u00E1llom\u00E1ny bet\u00F6lt\u00E9se...\tCtrl+I"},
         {IDM_SAVE_REPORT, L"&Jelent\u00E9s ment\u00E9se...\tCtrl+S"},
         {IDM_EARLIER_REPORTS, L"Ko&r\u00E1bbi jelent\u00E9sek..."},
         {IDM_RECONCILE, L"&Egyeztet\u00E9s a c\u00E9gjegyz\u00E9kkel..."},
         {IDM_EXIT, L"&Kil\u00E9p\u00E9s"}},
        {{IDM_VIEW_REGISTER, L"&C\u00E9gjegyz\u00E9k (Sz\u00E1mlasz\u00E1m nyit\u00E1s/z\u00E1r\u00E1s)"},
         {IDM_VIEW_INSTITUTION, L"C\u00E9g&nyilv\u00E1ntart\u00E1s (P\u00E9nzint\u00E9zeti alapadatok)"},
         {IDM_VIEW_ACCOUNT_CHANGE, L"&Banktechnikai sz\u00E1mlasz\u00E1mv\u00E1ltoz\u00E1s"}},
        {{IDM_NEW, L"\u00DAj &adatok...\tIns"},
         {IDM_MODIFY, L"&M\u00F3dos\u00EDt\u00E1s...\tEnter"},
         {IDM_DELETE, L"&T\u00F6rl\u00E9s\tDel"},
         {IDM_FILL_FROM_DIRECTORY, L"&C\u00E9gsz\u00E1mok kit\u00F6lt\u00E9se a c\u00E9gt\u00E1rb\u00F3l"},
         {IDM_CHECK_ROWS, L"&Ellen\u0151rz\u00E9s...\tF7"},
         {IDM_SEARCH, L"&Keres\u00E9s...\tCtrl+F"},
         {IDM_SEARCH_NEXT, L"K\u00F6vetke&z\u0151 tal\u00E1lat\tF3"},
         {IDM_ACCOUNT_HISTORY, L"&Sz\u00E1mlat\u00F6rt\u00E9net..."},
         {IDM_UNDO, L"&Visszavon\u00E1s: APEH \u00E1llom\u00E1ny bet\u00F6lt\u00E9se\tCtrl+Z"},
         {IDM_REDO, L"&Ism\u00E9tl\u00E9s\tCtrl+Y"}},
        {{IDM_DATA_SHEET, L"&Adatlap"}, {IDM_ABOUT, L"N\u00E9&vjegy"}},
    };
    for (const auto& menu : menus) {
        std::set<wchar_t> letters;
        for (const auto& [id, text] : menu) {
            const std::wstring shown = app.menuText(id);
            results.check(shown == text, "menu item \"" + narrow(shown) + "\"");
            const std::size_t at = shown.find(L'&');
            results.check(at != std::wstring::npos && letters.insert(lower(shown[at + 1])).second,
                          "its mnemonic is its menu's only one with that letter");
        }
    }

    // The shortcuts: each opens its command's dialog.
    const struct {
        WORD key;  // with Ctrl
        std::wstring caption;
    } shortcuts[] = {
        // Saving first: a load greys "Jelentés mentése..." until it loads something.
        {'S', L"Sz\u00E1mla ment\u00E9s file megad\u00E1sa"},
        {'O', L"Kovirant forr\u00E1s file megnyit\u00E1sa"},
        {'I', L"APEH protokoll forr\u00E1s file megnyit\u00E1sa"},
    };
    for (const auto& s : shortcuts) {
        pressKeys(app, {VK_CONTROL, s.key});
        HWND d = app.waitDialog(s.caption, 10000);
        results.check(d != nullptr, "a shortcut opens \"" + narrow(s.caption) + "\"");
        if (d == nullptr) continue;
        if (s.key == 'I') {
            // A name that does not exist: the dialog itself says so and stays.
            App::chooseFile(d, path(work, L"nincs-ilyen.txt"));
            HWND complaint = app.waitMessage([](const std::wstring&) { return true; }, 5000);
            const bool systemError = app.waitMessage([](const std::wstring& t) { return t.find(L"Rendszerhiba") == 0; }, 500);
            results.check(complaint != nullptr && IsWindow(d) && !systemError,
                          "the open dialog refuses a missing file itself, no \"Rendszerhiba (file megnyitása)\"");
            if (complaint) {
                App::press(complaint, IDOK);
                waitFor([&] { return !IsWindow(complaint); }, 5000);
            }
        }
        App::press(d, IDCANCEL);
        waitFor([&] { return !IsWindow(d); }, 5000);
        app.settle();
    }
}

// The row's second cell, where an imported row shows its first text: the
// selection's colour there while the question is open, against an unselected row's.
bool rowLooksSelected(const App& app, int row, int other) {
    const RECT a = app.cellRect(0, row, 3), b = app.cellRect(0, other, 3);
    HDC screen = GetDC(nullptr);
    const COLORREF marked = GetPixel(screen, a.right - 4, (a.top + a.bottom) / 2);
    const COLORREF plain = GetPixel(screen, b.right - 4, (b.top + b.bottom) / 2);
    ReleaseDC(nullptr, screen);
    return marked != plain;
}

// A first run's columns have their listed widths for the screen's DPI; the
// widths, place and size the officer sets come back at the next run.
void layoutKeptBetweenRuns(App& app, const std::wstring& dir) {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    HWND list = app.list(0);
    results.check(SendMessageW(list, LVM_GETCOLUMNWIDTH, 2, 0) == MulDiv(100, dpi, 96),
                  "a first run's \"Jelz\u0151sz\u00E1m\" column is 100 pixels at 96 DPI, scaled for " + std::to_string(dpi));
    SendMessageW(list, LVM_SETCOLUMNWIDTH, 2, 230);
    SetWindowPos(app.main(), nullptr, 40, 30, 900, 600, SWP_NOZORDER);
    app.settle();
    RECT set{};
    GetWindowRect(app.main(), &set);
    app.command(IDM_EXIT);
    if (HWND box = app.waitMessage([](const std::wstring& t) { return t.find(L"M\u00E9gis kil\u00E9p?") != std::wstring::npos; }, 5000))
        App::press(box, IDYES);
    results.check(app.waitExit(), "the program ends on \"Igen\"");
    App next;
    if (!next.start(exe, dir, true)) {
        results.check(false, "the program starts again");
        return;
    }
    next.settle();
    if (HWND offer = next.waitDialog(L"", 2000)) App::press(offer, IDNO);  // an offer of the unsaved rows
    RECT again{};
    GetWindowRect(next.main(), &again);
    results.check(EqualRect(&set, &again) != FALSE, "the next run opens where and as large as the window was left");
    results.check(SendMessageW(next.list(0), LVM_GETCOLUMNWIDTH, 2, 0) == 230, "and with the column as wide as it was set");
    next.kill();
}

}  // namespace

void windowAndKeyboard() {
    const std::wstring dir = freshFolder(L"window", true);
    writeProtocol(path(dir, L"protocol.txt"), 5);
    App app;
    if (!startAndImport(app, exe, dir)) {
        results.check(false, "the program starts and imports the protocol");
        return;
    }
    app.settle();

    // Delete: the row stays marked while the question names it.
    app.selectOnlyRow(0, 1);
    PostMessageW(app.list(0), WM_KEYDOWN, VK_DELETE, 0);
    HWND box = app.waitMessage([](const std::wstring& t) { return t.rfind(kDeleteQuestion, 0) == 0; });
    const std::wstring named = std::wstring(kDeleteQuestion) + L"\nT\u00F6rzssz\u00E1m: " + app.cell(0, 1, 1) +
                               L", jelz\u0151sz\u00E1m: " + app.cell(0, 1, 2);
    results.check(box != nullptr && App::messageText(box) == named,
                  "the delete question names the row: \"" + narrow(box ? App::messageText(box) : L"") + "\"");
    results.check(waitFor([&] { return rowLooksSelected(app, 1, 2); }, 3000),
                  "the row to delete is shown marked across the row while the question is open");
    if (box) {
        App::press(box, IDNO);
        waitFor([&] { return !IsWindow(box); }, 5000);
    }

    // A double click on a cell right of the first opens the row's editor.
    const std::string where = app.clickRow(0, 2, true, 3);
    HWND editor = app.waitDialog(kRegisterCaption, 5000);
    results.check(editor != nullptr && App::text(editor, IDE_REG_TAX) == app.cell(0, 2, 1),
                  "a double click on the row's \"Nyitás\" cell opens its editor (" + where + ")");
    if (editor) {
        App::press(editor, IDB_REG_DISCARD);
        waitFor([&] { return !IsWindow(editor); }, 5000);
    }

    checkMenus(app);
    checkDialogs(app);

    // The exit question's default is "Nem": Enter keeps the window.
    app.command(IDM_EXIT);
    box = app.waitMessage([](const std::wstring& t) { return t.find(L"M\u00E9gis kil\u00E9p?") != std::wstring::npos; });
    results.check(box != nullptr && (GetWindowLongW(GetDlgItem(box, IDNO), GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON,
                  "the exit question has \"Nem\" as its default");
    if (box) {
        pressKeys(box, {VK_RETURN});
        results.check(waitFor([&] { return !IsWindow(box); }, 5000) && app.running(), "Enter answers No: the program stays");
    }

    // The manifest carries the version of the file VERSION.
    if (HMODULE image = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)) {
        std::string manifest;
        if (HRSRC r = FindResourceW(image, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24)))
            if (HGLOBAL g = LoadResource(image, r))
                manifest.assign(static_cast<const char*>(LockResource(g)), SizeofResource(image, r));
        FreeLibrary(image);
        const std::string version = "version=\"" + std::to_string(KOVIRANT_VERSION_MAJOR) + "." +
                                    std::to_string(KOVIRANT_VERSION_MINOR) + "." +
                                    std::to_string(KOVIRANT_VERSION_PATCH) + ".0\"";
        results.check(manifest.find("name=\"Kovirant\" " + version) != std::string::npos,
                      "the manifest names the version " + version);
    } else {
        results.check(false, "the program's resources can be read");
    }

    // A second start restores the minimised window and ends with 0.
    ShowWindow(app.main(), SW_MINIMIZE);
    results.check(waitFor([&] { return IsIconic(app.main()) != FALSE; }, 5000), "the window is minimised");
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::wstring cmd = L"\"" + exe + L"\"";
    DWORD code = 99;
    if (CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &si, &pi)) {
        WaitForSingleObject(pi.hProcess, 15000);
        GetExitCodeProcess(pi.hProcess, &code);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    results.check(code == 0, "the second start ends with 0");
    results.check(waitFor([&] { return !IsIconic(app.main()) && IsWindowVisible(app.main()); }, 5000),
                  "the second start restores the running window");
    layoutKeptBetweenRuns(app, dir);
}

}  // namespace e2e
