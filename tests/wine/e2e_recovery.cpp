// End-to-end checks of the recovery of unsaved rows: rows typed in an editor
// and imported from a protocol file survive a killed process and a Windows
// session ending, come back cell for cell after Yes, are put aside after No,
// and a deliberate exit or a successful save leaves nothing to recover.
#include <filesystem>

#include "../../resources/resource.h"
#include "e2e_shared.h"

namespace e2e {
namespace {

const wchar_t kRecoveryFile[] = L"Kovirant-visszaallitas.xml";

bool exists(const std::wstring& file) { return GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The files an officer sees in the folder (the running copy's hidden hold
// on the recovery file is not one of them).
std::size_t filesIn(const std::wstring& dir) {
    std::size_t n = 0;
    for (const auto& e : std::filesystem::directory_iterator(std::filesystem::path(dir))) {
        if ((GetFileAttributesW(e.path().c_str()) & FILE_ATTRIBUTE_HIDDEN) == 0) ++n;
    }
    return n;
}

// The recovery file put aside in `dir`, or empty.
std::wstring asideFile(const std::wstring& dir) {
    for (const auto& e : std::filesystem::directory_iterator(std::filesystem::path(dir))) {
        const std::wstring name = e.path().filename().wstring();
        if (name.rfind(L"Kovirant-visszaallitas-", 0) == 0 && name.size() > 4 && name.substr(name.size() - 4) == L".xml")
            return e.path().wstring();
    }
    return L"";
}

// The example protocol file, then one row typed in the register editor.
void importAndType(App& app) {
    app.command(IDM_LOAD_APEH);
    openFile(app, L"APEH protokoll forr\u00E1s file megnyit\u00E1sa", path(examples, L"apeh-protocol.txt"), "APEH load");
    answer(app, kCompanyWarning, IDOK, "the company-number warning");
    app.command(IDM_NEW);
    if (HWND d = app.waitDialog(kRegisterCaption)) typeRegisterRow(d, L"87654321", L"00001234", 1);
}

// Starts the program in `dir`, expects the offer of `rows` rows and answers it.
void expectOffer(App& app, const std::wstring& dir, int rows, int button, const std::string& what) {
    if (!app.start(exe, dir)) {
        results.check(false, what + ": the program starts");
        return;
    }
    HWND box = app.waitDialog(L"Kovirant");
    const std::wstring text = box ? App::messageText(box) : L"";
    results.check(text.find(std::to_wstring(rows) + L" nem mentett sorral") != std::wstring::npos,
                  what + ": the start offers " + std::to_string(rows) + " rows: \"" + narrow(text.substr(0, 60)) + "\"");
    results.check(box && GetWindow(box, GW_OWNER) == app.main() &&
                      SendDlgItemMessageW(box, 0x440, STM_GETICON, 0, 0) != 0,
                  what + ": the question is owned by the main window and shows its icon");
    if (box) {
        shot(L"recovery-question");
        App::press(box, button);
    }
    waitFor([&] { return box == nullptr || !IsWindow(box); }, 5000);
}

void killedAndSessionEnded() {
    const std::wstring dir = freshFolder(L"recovery", true);
    const std::wstring file = path(dir, kRecoveryFile);
    std::wstring before;
    {
        App app;
        if (!app.start(exe, dir)) return;
        importAndType(app);
        results.check(waitFor([&] { return app.rowCount(0) == 37 && exists(file); }),
                      "after the import and a typed row the recovery file is there");
        before = app.tableText(0);
        app.kill();  // TerminateProcess: nothing runs in the program
    }
    {
        App app;
        expectOffer(app, dir, 37, IDYES, "after a kill");
        results.check(waitFor([&] { return app.rowCount(0) == 37; }) && app.tableText(0) == before,
                      "Yes brings back every row cell for cell");
        results.check(app.menuEnabled(IDM_SAVE_REPORT) && app.statusText(1) == L" 37 t\u00E9tel",
                      "\"Jelentés mentése...\" enabled and the status bar shows the count");
        shot(L"recovery-restored");
        // Windows ends the session: no question, the file stays.
        SendMessageW(app.main(), WM_QUERYENDSESSION, 0, 0);
        SendMessageW(app.main(), WM_ENDSESSION, TRUE, 0);
        app.kill();
        results.check(exists(file), "the file stays after the session ends");
    }
    {
        App app;
        expectOffer(app, dir, 37, IDNO, "after the session ended");
        results.check(app.rowCount(0) == 0 && !exists(file) && filesIn(dir) == 2,
                      "No loads nothing and puts the file aside beside Kovirant.ini");
        // As the question advises: the set-aside file loaded by hand.
        const std::wstring aside = asideFile(dir);
        app.command(IDM_LOAD_REPORT);
        openFile(app, L"Kovirant forr\u00E1s file megnyit\u00E1sa", aside, "loading the set-aside file");
        results.check(waitFor([&] { return app.rowCount(0) == 37; }) && app.tableText(0) == before,
                      "the set-aside file loaded by hand brings back every row, the imported ones too");
        results.check(app.menuEnabled(IDM_SAVE_REPORT), "its rows are pending: \"Jelentés mentése...\" enabled");
        app.command(IDM_EXIT);
        answer(app, L"Nem k\u00E9sz\u00EDtette el a jelent\u00E9st. M\u00E9gis kil\u00E9p?", IDYES,
               "leaving with the loaded rows asks first");
        results.check(app.waitExit(), "the program ends after Yes");
    }
}

// A second copy in the same folder (another session, or a start-up race the
// single-instance check missed) leaves the first copy's recovery file alone
// and says once that its own rows are not protected.
void twoCopiesInOneFolder() {
    const std::wstring dir = freshFolder(L"recovery-two", true);
    const std::wstring file = path(dir, kRecoveryFile);
    App first;
    if (!first.start(exe, dir)) return;
    importAndType(first);
    results.check(waitFor([&] { return first.rowCount(0) == 37 && exists(file); }), "the first copy keeps its rows");
    const std::string kept = readBytes(file);
    const std::wstring firstTable = first.tableText(0);
    SetWindowTextW(first.main(), L"Kovirant (1)");  // the check for a running copy misses it
    App second;
    if (!second.start(exe, dir)) {
        results.check(false, "a second copy starts");
        first.kill();
        return;
    }
    second.settle();  // an offer would be on the screen by now
    results.check(second.noDialog() && second.rowCount(0) == 0, "the second copy offers nothing of the first's file");
    second.command(IDM_LOAD_APEH);
    openFile(second, L"APEH protokoll forr\u00E1s file megnyit\u00E1sa", path(examples, L"apeh-protocol.txt"),
             "APEH load in the second copy");
    answer(second, kCompanyWarning, IDOK, "the company-number warning");
    HWND box = second.waitMessage([](const std::wstring& t) { return t.find(L"m\u00E1sik p\u00E9ld\u00E1nya") != std::wstring::npos; });
    results.check(box != nullptr, "the second copy says its rows are not protected, and why");
    if (box) {
        shot(L"recovery-second-copy");
        App::press(box, IDOK);
        waitFor([&] { return !IsWindow(box); }, 5000);
    }
    second.selectRow(0, 0);
    PostMessageW(second.list(0), WM_KEYDOWN, VK_DELETE, 0);
    answer(second, L"Biztosan t\u00F6rli a sort?", IDYES, "a delete in the second copy");
    second.settle();  // a second warning would be on the screen by now
    results.check(second.noDialog(), "the second copy says it once");
    results.check(readBytes(file) == kept, "the first copy's file is untouched by the second");
    second.command(IDM_EXIT);
    answer(second, L"Nem k\u00E9sz\u00EDtette el a jelent\u00E9st. M\u00E9gis kil\u00E9p?", IDYES, "the second copy leaves");
    second.waitExit();
    if (second.running()) second.kill();
    results.check(exists(file) && readBytes(file) == kept, "the second copy's exit leaves the first copy's file");
    first.kill();
    App third;
    expectOffer(third, dir, 37, IDYES, "after the first copy was killed");
    results.check(waitFor([&] { return third.rowCount(0) == 37; }) && third.tableText(0) == firstTable,
                  "the first copy's rows come back");
    if (third.running()) third.kill();
}

void deliberateExitAndSave() {
    const std::wstring dir = freshFolder(L"recovery-exit", true);
    const std::wstring file = path(dir, kRecoveryFile);
    App app;
    if (!app.start(exe, dir)) return;
    app.command(IDM_LOAD_REPORT);
    openFile(app, L"Kovirant forr\u00E1s file megnyit\u00E1sa", path(examples, L"report.xml"), "report load");
    waitFor([&] { return app.rowCount(0) == 36; });
    results.check(!exists(file), "a reloaded report is not pending: no recovery file");
    app.selectRow(0, 0);
    PostMessageW(app.list(0), WM_KEYDOWN, VK_DELETE, 0);
    answer(app, L"Biztosan t\u00F6rli a sort?", IDYES, "delete a row");
    results.check(waitFor([&] { return exists(file); }), "a deleted row makes a recovery file");
    app.command(IDM_SAVE_REPORT);
    openFile(app, L"Sz\u00E1mla ment\u00E9s file megad\u00E1sa", path(dir, L"saved.xml"), "report save");
    answer(app, L"A jelent\u00E9s sikeresen elk\u00E9sz\u00FClt", IDOK, "the success message");
    results.check(waitFor([&] { return !exists(file); }), "a successful save leaves nothing to recover");

    app.selectRow(0, 0);
    PostMessageW(app.list(0), WM_KEYDOWN, VK_DELETE, 0);
    answer(app, L"Biztosan t\u00F6rli a sort?", IDYES, "delete another row");
    waitFor([&] { return exists(file); });
    app.command(IDM_EXIT);
    answer(app, L"Nem k\u00E9sz\u00EDtette el a jelent\u00E9st. M\u00E9gis kil\u00E9p?", IDYES, "the exit question, Yes");
    results.check(app.waitExit() && !exists(file), "a deliberate exit leaves nothing to recover");
    if (app.running()) app.kill();
}

}  // namespace

void recovery() {
    killedAndSessionEnded();
    deliberateExitAndSave();
    twoCopiesInOneFolder();
}

}  // namespace e2e
