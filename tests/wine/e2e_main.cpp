// End-to-end tests of Kovirant.exe under Wine: the program is started and
// used through its menu, dialogs and message boxes, and what it shows is
// checked. Arguments: Kovirant.exe, the examples folder, a work folder, a
// folder for screenshots (all as Windows paths).
#include <filesystem>
#include <fstream>
#include <sstream>

#include "../../resources/resource.h"
#include "driver.h"
#include "e2e_shared.h"
#include "import/report_reload.h"
#include "records/memory_table.h"
#include "report/report_writer.h"
#include "text/cp1250.h"

using namespace e2e;

namespace {

void startupAndMenu() {
    const std::wstring dir = freshFolder(L"startup", false);
    App app;
    results.check(app.start(exe, dir), "the program starts and shows its window");
    wchar_t title[64];
    GetWindowTextW(app.main(), title, 64);
    results.check(std::wstring(title) == L"Kovirant", "the window title is Kovirant");
    results.check(!app.menuEnabled(IDM_SAVE_REPORT), "\"Jelentés mentése...\" starts greyed");
    results.check(!app.menuEnabled(IDM_MODIFY) && !app.menuEnabled(IDM_DELETE),
                  "\"Módosítás...\" and \"Törlés\" start greyed");
    results.check(app.menuEnabled(IDM_NEW) && app.menuEnabled(IDM_LOAD_APEH), "\"Új adatok...\" and the loads are enabled");
    results.check(app.menuChecked(IDM_VIEW_REGISTER) && !app.menuChecked(IDM_VIEW_INSTITUTION) &&
                      !app.menuChecked(IDM_VIEW_ACCOUNT_CHANGE),
                  "the register view is checked, the other two are not");
    results.check(app.menuEnabled(IDM_DATA_SHEET) && app.menuEnabled(IDM_ABOUT) && app.menuEnabled(IDM_VIEW_ACCOUNT_CHANGE),
                  "\"Adatlap\", \"Névjegy\" and the account-change view start enabled");
    results.check(IsWindowVisible(app.list(0)) && !IsWindowVisible(app.list(1)) && !IsWindowVisible(app.list(2)),
                  "only the register table is shown");
    results.check(app.rowCount(0) == 0, "the register table is empty");

    // A second start ends at once with 0 and leaves the first window alone.
    App second;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::wstring cmd = L"\"" + exe + L"\"";
    RECT before{}, after{};
    GetWindowRect(app.main(), &before);
    const bool started = CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &si, &pi);
    DWORD code = 99;
    if (started) {
        WaitForSingleObject(pi.hProcess, 15000);
        GetExitCodeProcess(pi.hProcess, &code);
    }
    GetWindowRect(app.main(), &after);
    results.check(started && code == 0, "a second instance ends with exit code 0");
    results.check(EqualRect(&before, &after) && app.noDialog(), "the second instance shows nothing");

    app.command(IDM_VIEW_INSTITUTION);
    waitFor([&] { return IsWindowVisible(app.list(1)); });
    results.check(app.menuChecked(IDM_VIEW_INSTITUTION) && !app.menuChecked(IDM_VIEW_REGISTER) &&
                      !IsWindowVisible(app.list(0)),
                  "\"Cégnyilvántartás\" view: checked and shown");
    app.command(IDM_VIEW_ACCOUNT_CHANGE);
    waitFor([&] { return IsWindowVisible(app.list(2)); });
    results.check(app.menuChecked(IDM_VIEW_ACCOUNT_CHANGE) && !app.menuChecked(IDM_VIEW_INSTITUTION),
                  "account-change view: checked and shown");
    app.command(IDM_VIEW_REGISTER);
    waitFor([&] { return IsWindowVisible(app.list(0)); });

    app.command(IDM_ABOUT);
    HWND about = app.waitDialog(L"Tervaly Kft.");
    results.check(about != nullptr, "the About box opens");
    shot(L"about");
    if (about) {
        App::press(about, IDOK);  // Enter
        results.check(waitFor([&] { return !IsWindow(about); }, 5000), "the About box closes with Enter");
    }
    app.command(IDM_ABOUT);
    about = app.waitDialog(L"Tervaly Kft.");
    if (about) {
        PostMessageW(about, WM_COMMAND, IDCANCEL, 0);  // Escape
        results.check(waitFor([&] { return !IsWindow(about); }, 5000), "the About box closes with Escape");
    }
    app.command(IDM_ABOUT);
    about = app.waitDialog(L"Tervaly Kft.");
    if (about) {
        results.check(App::text(about, IDOK) == L"&Bez\u00E1r", "the About box's button is \"Bezár\", B underlined");
        PostMessageW(GetDlgItem(about, IDOK), BM_CLICK, 0, 0);
        results.check(waitFor([&] { return !IsWindow(about); }, 5000), "the About box closes with \"Bezár\"");
    }
    app.command(IDM_EXIT);
    results.check(app.waitExit() && app.exitCode() == 0, "exit with nothing pending asks nothing and ends with 0");
    if (app.running()) app.kill();
}

void apehImportAndReport() {
    const std::wstring dir = freshFolder(L"apeh", true);
    App app;
    if (!app.start(exe, dir)) {
        results.check(false, "the program starts for the APEH import");
        return;
    }
    app.command(IDM_LOAD_APEH);
    openFile(app, L"APEH protokoll forr\u00E1s file megnyit\u00E1sa", path(examples, L"apeh-protocol.txt"), "APEH load");
    answer(app, L"A jelent\u00E9s k\u00E9sz\u00EDt\u00E9se el\u0151tt ne felejtse el a c\u00E9gsz\u00E1mokat megadni!",
           IDOK, "after the import the company-number warning", L"apeh-warning");
    results.check(app.rowCount(0) == 36, "36 rows imported, got " + std::to_string(app.rowCount(0)));
    results.check(app.statusText(1) == L" 36 t\u00E9tel", "status part 1: \"" + narrow(app.statusText(1)) + "\"");
    results.check(app.statusText(0) == path(examples, L"apeh-protocol.txt"), "status part 0 holds the path");
    results.check(app.cell(0, 0, 0).empty() && app.cell(0, 0, 1).size() == 8 && app.cell(0, 0, 2).size() == 24,
                  "an imported row: no company number, 8-digit tax number, 24-digit account");
    results.check(app.menuEnabled(IDM_SAVE_REPORT), "\"Jelentés mentése...\" enabled after the import");
    shot(L"main-window-rows");

    // The faulty file, appended: Yes to the first question, No to the second.
    app.command(IDM_LOAD_APEH);
    openFile(app, L"APEH protokoll forr\u00E1s file megnyit\u00E1sa", path(examples, L"apeh-protocol-faulty.txt"),
             "faulty APEH load");
    answer(app, L"Hozz\u00E1f\u0171zz\u00FCk az \u00FAj \u00E1llom\u00E1nyt a megl\u00E9v\u0151 adatokhoz?", IDYES,
           "the append question");
    answer(app, L"A sor nem 216 karakter hossz\u00FA: 2. sor. Folytatja ?", IDYES, "line 2's question, Yes",
           L"apeh-question");
    answer(app, L"Hib\u00E1s karakter az t\u00F6rzssz\u00E1mban: 4. sor. Folytatja ?", IDNO, "line 4's question, No");
    answer(app, L"A jelent\u00E9s k\u00E9sz\u00EDt\u00E9se el\u0151tt ne felejtse el a c\u00E9gsz\u00E1mokat megadni!",
           IDOK, "the warning after a stopped import");
    results.check(app.rowCount(0) == 38, "two more rows before the stop, got " + std::to_string(app.rowCount(0)));
    results.check(!app.menuEnabled(IDM_SAVE_REPORT), "a stopped import leaves \"Jelentés mentése...\" grey");

    // Saving stops at the first row without a company number.
    app.command(IDM_SAVE_REPORT);
    openFile(app, L"Sz\u00E1mla ment\u00E9s file megad\u00E1sa", path(dir, L"report.xml"), "report save");
    answer(app, L"Hib\u00E1s c\u00E9gsz\u00E1m a kiemelt sorban!", IDOK, "the faulty-row message");
    results.check(app.menuEnabled(IDM_MODIFY) && app.menuEnabled(IDM_DELETE), "Modify and Delete enabled on the faulty row");
    results.check(GetFileAttributesW(path(dir, L"report.xml").c_str()) == INVALID_FILE_ATTRIBUTES,
                  "no report file after the faulty-row stop");

    // Delete asks; the row goes.
    app.selectRow(0, 0);
    PostMessageW(app.main(), WM_KEYDOWN, VK_DELETE, 0);
    answer(app, L"Biztosan t\u00F6rli a sort?", IDYES, "the Delete question", L"delete-question");
    results.check(app.rowCount(0) == 37, "the row is deleted");

    // Exit while rows are unreported asks; No keeps the program.
    app.command(IDM_EXIT);
    answer(app, L"Nem k\u00E9sz\u00EDtette el a jelent\u00E9st. M\u00E9gis kil\u00E9p?", IDNO, "the exit question, No");
    results.check(app.running() && app.rowCount(0) == 37, "No keeps the program with its rows");
    PostMessageW(app.main(), WM_CLOSE, 0, 0);
    answer(app, L"Nem k\u00E9sz\u00EDtette el a jelent\u00E9st. M\u00E9gis kil\u00E9p?", IDYES, "the close question, Yes");
    results.check(app.waitExit() && app.exitCode() == 0, "Yes ends the program with 0");
    if (app.running()) app.kill();
}

void reloadAndSave() {
    const std::wstring dir = freshFolder(L"reload", true);
    App app;
    if (!app.start(exe, dir)) {
        results.check(false, "the program starts for the reload");
        return;
    }
    app.command(IDM_LOAD_REPORT);
    openFile(app, L"Kovirant forr\u00E1s file megnyit\u00E1sa", path(examples, L"report.xml"), "report load");
    results.check(waitFor([&] { return app.rowCount(0) == 36 && app.menuEnabled(IDM_SAVE_REPORT); }),
                  "the example report loads 36 register rows and enables saving");
    results.check(app.rowCount(1) == 1 && app.rowCount(2) == 2, "one institution and two account changes");
    results.check(app.cell(1, 0, 0) == L"Pr\u00F3ba Bank Zrt.", "the institution's name reads back as Unicode");

    app.command(IDM_SAVE_REPORT);
    openFile(app, L"Sz\u00E1mla ment\u00E9s file megad\u00E1sa", path(dir, L"saved.xml"), "report save");
    answer(app, L"A jelent\u00E9s sikeresen elk\u00E9sz\u00FClt", IDOK, "the success message");
    results.check(!app.menuEnabled(IDM_SAVE_REPORT), "saving greys \"Jelentés mentése...\"");

    // The same report written by the core, compared byte for byte apart
    // from the time stamp.
    kovirant::MemoryTable reg(kovirant::ViewRegister), inst(kovirant::ViewInstitution), acc(kovirant::ViewAccountChange);
    kovirant::RecordTables tables(reg, inst, acc);
    kovirant::ReloadReport(std::filesystem::path(path(examples, L"report.xml")), tables);
    kovirant::SettingsFile settings{std::filesystem::path(path(dir, L"Kovirant.ini"))};
    kovirant::WriteReport(std::filesystem::path(path(dir, L"core.xml")), tables, settings);
    auto withoutStamp = [](std::string s) {
        const std::size_t a = s.find("<Id\xF5pec");
        const std::size_t b = s.find('\n', a);
        if (a != std::string::npos && b != std::string::npos) s.erase(a, b - a);
        return s;
    };
    const std::string saved = readBytes(path(dir, L"saved.xml"));
    results.check(!saved.empty() && withoutStamp(saved) == withoutStamp(readBytes(path(dir, L"core.xml"))),
                  "the saved report has the bytes the core writes");
    app.command(IDM_EXIT);
    results.check(app.waitExit() && app.exitCode() == 0, "exit after saving asks nothing");
    if (app.running()) app.kill();
}

// A report under a folder with Hungarian letters, in a path of some 250
// characters, is saved and loaded again.
void hungarianLongPath() {
    const std::wstring dir = freshFolder(L"path", true);
    std::wstring deep = path(dir, L"\u00E1rv\u00EDzt\u0171r\u0151 t\u00FCk\u00F6rf\u00FAr\u00F3g\u00E9p \u0150\u0170");
    while (deep.size() < 234) deep = path(deep, L"mappa");
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(deep), ec);
    const std::wstring report = path(deep, L"jelent\u00E9s-\u0151\u0171.xml");
    results.check(report.size() >= 250, "a report path of " + std::to_string(report.size()) + " characters");
    App app;
    if (!app.start(exe, dir)) return;
    saveExampleReport(app, report, "save under a long Hungarian path", "saved under the long Hungarian path");
    app.command(IDM_LOAD_REPORT);
    openFile(app, L"Kovirant forr\u00E1s file megnyit\u00E1sa", report, "load from the long Hungarian path");
    answer(app, L"Hozz\u00E1f\u0171zz\u00FCk az \u00FAj \u00E1llom\u00E1nyt a megl\u00E9v\u0151 adatokhoz?", IDYES,
           "the append question");
    results.check(waitFor([&] { return app.rowCount(0) == 72; }), "the report read back from there appends its rows");
    results.check(app.statusText(0) == report, "status part 0 shows the long Hungarian path");
    // A file that is not there: the open dialog itself refuses the name and stays.
    const std::wstring apehTitle = L"APEH protokoll forr\u00E1s file megnyit\u00E1sa";
    app.command(IDM_LOAD_APEH);
    openFile(app, apehTitle, path(deep, L"nincs.txt"), "load of a missing file");
    HWND complaint = app.waitMessage([](const std::wstring&) { return true; }, 5000);
    const std::wstring said = complaint ? App::messageText(complaint) : L"";
    results.check(complaint != nullptr && said.find(L"Rendszerhiba") == std::wstring::npos,
                  "the open dialog itself says the file is missing: \"" + narrow(said) + "\"");
    if (complaint) App::press(complaint, IDOK);
    waitFor([&] { return complaint == nullptr || !IsWindow(complaint); }, 5000);
    HWND dialog = app.waitDialog(apehTitle, 5000);
    results.check(dialog != nullptr, "the open dialog stays for another name");
    if (dialog) App::press(dialog, IDCANCEL);
    waitFor([&] { return dialog == nullptr || !IsWindow(dialog); }, 5000);
    results.check(app.running() && app.rowCount(0) == 72 && app.noDialog(),
                  "the program asks nothing more and keeps its rows");
    app.kill();
}

// Files held open by another program: the report and the settings file stay
// as they were, and the program says so.
void lockedFiles() {
    const std::wstring dir = freshFolder(L"locked", true);
    const std::wstring target = path(dir, L"locked.xml");
    {
        std::ofstream old(std::filesystem::path(target), std::ios::binary);
        old << "old report";
    }
    App app;
    if (!app.start(exe, dir)) return;
    app.command(IDM_LOAD_REPORT);
    openFile(app, L"Kovirant forr\u00E1s file megnyit\u00E1sa", path(examples, L"report.xml"), "report load");
    waitFor([&] { return app.menuEnabled(IDM_SAVE_REPORT); });

    HANDLE lock = CreateFileW(target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    app.command(IDM_SAVE_REPORT);
    HWND file = app.waitDialog(L"Sz\u00E1mla ment\u00E9s file megad\u00E1sa");
    // The target cannot be replaced: the report file could not be created.
    const std::wstring failure = L"Rendszerhiba (jelent\u00E9s \u00E1llom\u00E1ny l\u00E9trehoz\u00E1sa)";
    if (file) {
        App::chooseFile(file, target);
        // The dialog asks, in the desktop's language, before it lets an
        // existing file be replaced.
        if (HWND confirm = app.waitMessage([&](const std::wstring& t) { return !t.empty() && t != failure; }))
            App::press(confirm, IDYES);
    }
    HWND box = app.waitMessage([&](const std::wstring& t) { return t == failure; });
    results.check(box != nullptr, "a report file held open by another program: \"" +
                                      narrow(box ? App::messageText(box) : L"") + "\"");
    wchar_t caption[64] = {};
    if (box) GetWindowTextW(box, caption, 64);
    results.check(std::wstring(caption) == L"Jelent\u00E9s", "its caption is \"Jelentés\"");
    results.check(box && SendDlgItemMessageW(box, 0x440, STM_GETICON, 0, 0) != 0, "it shows an icon");
    shot(L"report-write-failed");
    if (box) App::press(box, IDOK);
    waitFor([&] { return app.noDialog(); }, 5000);
    CloseHandle(lock);
    results.check(readBytes(target) == "old report", "the old report is as it was");
    std::size_t files = 0;  // temporary files (the reload's company directory is no such file)
    for (const auto& e : std::filesystem::directory_iterator(std::filesystem::path(dir)))
        if (e.path().extension() == L".tmp") ++files;
    results.check(files == 0, "no temporary file is left beside it (" + std::to_string(files) + " files)");
    results.check(app.menuEnabled(IDM_SAVE_REPORT), "the failed save leaves \"Jelentés mentése...\" enabled");

    const std::string settingsBefore = readBytes(path(dir, L"Kovirant.ini"));
    app.command(IDM_DATA_SHEET);
    HWND sheet = app.waitDialog(L"Adatlap");
    lock = CreateFileW(path(dir, L"Kovirant.ini").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (sheet) {
        App::setText(sheet, 1070, L"\u00DAj t\u00E1rgy");
        App::press(sheet, IDOK);
        HWND box = nullptr;
        waitFor([&] {
            box = nullptr;
            for (HWND w = GetWindow(GetDesktopWindow(), GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT))
                if (IsWindowVisible(w) && GetWindow(w, GW_OWNER) == sheet) box = w;
            return box != nullptr;
        });
        const std::wstring text = box ? App::messageText(box) : L"";
        const std::wstring prefix = L"Nem siker\u00FClt az adatlapot menteni. Ellen\u0151rizze hogy az a k\u00F6nyvt\u00E1r "
                                    L"ahol az kovirant program van, nem \u00EDr\u00E1sv\u00E9dett-e! Hibak\u00F3d=";
        // 32 is ERROR_SHARING_VIOLATION, the code Windows gives for it.
        results.check(text == prefix + L"32", "a settings file held open: \"" + narrow(text) + "\"");
        if (box) App::press(box, IDOK);
        waitFor([&] { return box == nullptr || !IsWindow(box); }, 5000);
        results.check(IsWindow(sheet), "the data sheet stays open");
        App::press(sheet, IDCANCEL);
    }
    CloseHandle(lock);
    results.check(readBytes(path(dir, L"Kovirant.ini")) == settingsBefore, "the settings file is as it was");
    app.kill();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 5) {
        std::printf("usage: e2e Kovirant.exe examples work screenshots [scenario]\n");
        return 2;
    }
    exe = argv[1];
    examples = argv[2];
    work = argv[3];
    shots = argv[4];
    const struct {
        const wchar_t* name;
        void (*run)();
    } scenarios[] = {
        {L"startup", startupAndMenu},   {L"editors", editorsAndRoad},     {L"apeh", apehImportAndReport},
        {L"reload", reloadAndSave},     {L"path", hungarianLongPath},     {L"locked", lockedFiles},
        {L"mended", mendedFaults},      {L"recovery", recovery},          {L"directory", companyDirectory},
        {L"find", checkAndSearch},      {L"warnings", typoWarnings},
        {L"undo", undoAndRedo},         {L"journal", recoveryJournal},    {L"archive", archiveAndHistory},
        {L"window", windowAndKeyboard},     {L"msaa", screenReaderNames},
    };
    // Run only when named: the installed program (the package test), the road's two runs
    // around another officer's approval (scripts/wine-road-test.sh).
    const struct {
        const wchar_t* name;
        void (*run)();
    } onRequest[] = {
        {L"installed", installedProgram},
        {L"road-save", roadSaveForApproval},
        {L"road-send", roadSendAndReceipt},
    };
    // A scenario named as the fifth argument runs alone.
    bool ran = false;
    for (const auto& s : scenarios) {
        if (argc > 5 && std::wstring(argv[5]) != s.name) continue;
        s.run();
        ran = true;
    }
    for (const auto& s : onRequest) {
        if (argc > 5 && std::wstring(argv[5]) == s.name) {
            s.run();
            ran = true;
        }
    }
    if (!ran) std::printf("no scenario named %ls\n", argv[5]);
    return results.finish();
}
