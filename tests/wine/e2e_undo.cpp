// End-to-end checks of undo and redo: the menu names each step, Ctrl+Z after
// a replacing protocol load brings back the typed rows, Ctrl+Y loads again,
// and a deleted row comes back selected.
#include "../../resources/resource.h"
#include "e2e_shared.h"

namespace e2e {
namespace {


void typeRow(App& app) {
    app.command(IDM_NEW);
    if (HWND d = app.waitDialog(kRegisterCaption)) typeRegisterRow(d, L"12345676", L"00001238", 0);
}

int selectedRow(HWND list) {
    return static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

}  // namespace

void undoAndRedo() {
    const std::wstring dir = freshFolder(L"undo", true);
    App app;
    if (!app.start(exe, dir)) return;
    results.check(app.menuText(IDM_UNDO) == L"&Visszavon\u00E1s\tCtrl+Z" && !app.menuEnabled(IDM_UNDO) &&
                      app.menuText(IDM_REDO) == L"&Ism\u00E9tl\u00E9s\tCtrl+Y" && !app.menuEnabled(IDM_REDO),
                  "with nothing to undo the items read plainly and are grey");
    typeRow(app);
    results.check(waitFor([&] { return app.rowCount(0) == 1; }) &&
                      app.menuText(IDM_UNDO) == L"&Visszavon\u00E1s: \u00FAj sor\tCtrl+Z" && app.menuEnabled(IDM_UNDO),
                  "a typed row: \"" + narrow(app.menuText(IDM_UNDO)) + "\"");
    const std::wstring typed = app.tableText(0);

    // The replacing load: No to appending, Yes to the report having been written.
    app.command(IDM_LOAD_APEH);
    openFile(app, L"APEH protokoll forr\u00E1s file megnyit\u00E1sa", path(examples, L"apeh-protocol.txt"), "APEH load");
    HWND append = app.waitMessage([](const std::wstring& t) { return t.find(L"Hozz\u00E1f\u0171zz\u00FCk") == 0; });
    if (append) App::press(append, IDNO);
    waitFor([&] { return append == nullptr || !IsWindow(append); }, 5000);
    answer(app, L"Ugye ki\u00EDrta a jelent\u00E9st?", IDYES, "the replacing load's question");
    answer(app, kCompanyWarning, IDOK, "the company-number warning");
    results.check(waitFor([&] { return app.rowCount(0) == 36; }) &&
                      app.menuText(IDM_UNDO) == L"&Visszavon\u00E1s: APEH \u00E1llom\u00E1ny bet\u00F6lt\u00E9se\tCtrl+Z",
                  "the load replaced the typed row: \"" + narrow(app.menuText(IDM_UNDO)) + "\"");
    pressKeys(app, {VK_CONTROL, 'Z'});
    results.check(waitFor([&] { return app.rowCount(0) == 1; }) && app.tableText(0) == typed &&
                      selectedRow(app.list(0)) == 0,
                  "Ctrl+Z brings the typed row back, selected");
    results.check(app.menuEnabled(IDM_SAVE_REPORT) && app.statusText(1) == L" 1 t\u00E9tel" &&
                      app.menuText(IDM_REDO) == L"&Ism\u00E9tl\u00E9s: APEH \u00E1llom\u00E1ny bet\u00F6lt\u00E9se\tCtrl+Y",
                  "the report is pending, the count is right, Redo names the load");
    shot(L"undo-menu");
    pressKeys(app, {VK_CONTROL, 'Y'});
    results.check(waitFor([&] { return app.rowCount(0) == 36; }), "Ctrl+Y loads the protocol again");
    pressKeys(app, {VK_CONTROL, 'Z'});
    waitFor([&] { return app.rowCount(0) == 1; });

    app.selectRow(0, 0);
    PostMessageW(app.list(0), WM_KEYDOWN, VK_DELETE, 0);
    answer(app, L"Biztosan t\u00F6rli a sort?", IDYES, "delete the typed row");
    results.check(waitFor([&] { return app.rowCount(0) == 0; }), "the row is deleted");
    app.command(IDM_UNDO);
    results.check(waitFor([&] { return app.rowCount(0) == 1; }) && app.tableText(0) == typed &&
                      selectedRow(app.list(0)) == 0,
                  "undo brings the deleted row back, selected");
    app.kill();
}

}  // namespace e2e
