// End-to-end check of what a screen reader hears: every field of every dialog
// and each of the three tables has a name of its own through MSAA, and an
// editor announces a change of its warning line.
#include <oleacc.h>

#include "../../resources/resource.h"
#include "e2e_shared.h"

namespace e2e {
namespace {

// The name MSAA gives a control; "(none)" when it gives none.
std::wstring accName(HWND control) {
    IAccessible* acc = nullptr;
    const HRESULT got = AccessibleObjectFromWindow(control, OBJID_CLIENT, __uuidof(IAccessible), reinterpret_cast<void**>(&acc));
    if (FAILED(got) || acc == nullptr) {
        wchar_t code[16];
        wsprintfW(code, L"%08lX", static_cast<unsigned long>(got));
        return L"(no object: " + std::wstring(code) + L")";
    }
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    const HRESULT hr = acc->get_accName(self, &name);
    std::wstring text = (hr == S_OK && name != nullptr) ? std::wstring(name, SysStringLen(name)) : L"";
    SysFreeString(name);
    acc->Release();
    return text;
}

bool needsName(HWND control) {
    wchar_t cls[64] = {};
    GetClassNameW(control, cls, 64);
    for (const wchar_t* field : {L"Edit", L"ListBox", L"ComboBox", WC_LISTVIEWW})
        if (lstrcmpiW(cls, field) == 0) return true;
    return false;
}

// Every field of the dialog is named, and not by the "-" between parts.
void everyFieldNamed(HWND d, const std::string& dialog) {
    int fields = 0;
    std::string unnamed;
    for (HWND c = GetWindow(d, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
        if (!needsName(c)) continue;
        ++fields;
        const std::wstring name = accName(c);
        if (name.empty() || name == L"-" || name.rfind(L"(no object", 0) == 0)
            unnamed += " " + std::to_string(GetDlgCtrlID(c)) + "=\"" + narrow(name) + "\"";
    }
    results.check(fields > 0 && unnamed.empty(),
                  dialog + ": all " + std::to_string(fields) + " fields named" + (unnamed.empty() ? "" : ", not:" + unnamed));
}

struct Named {
    int id;
    const wchar_t* name;
};

void namesAre(HWND d, const std::string& dialog, std::initializer_list<Named> fields) {
    for (const Named& f : fields) {
        const std::wstring name = accName(GetDlgItem(d, f.id));
        results.check(name == f.name, dialog + " field " + std::to_string(f.id) + ": \"" + narrow(name) + "\"");
    }
}

void close(HWND d, int button = IDCANCEL) {
    App::press(d, button);
    waitFor([&] { return !IsWindow(d); }, 5000);
}

// The events of one kind a window of the program sends, while they are pumped.
std::vector<std::pair<HWND, LONG>> seen;
void CALLBACK onEvent(HWINEVENTHOOK, DWORD, HWND hwnd, LONG object, LONG, DWORD, DWORD) { seen.emplace_back(hwnd, object); }

bool announced(HWND line, int ms) {
    const DWORD end = GetTickCount() + static_cast<DWORD>(ms);
    do {
        MSG m;
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
        for (const auto& [hwnd, object] : seen)
            if (hwnd == line && object == OBJID_CLIENT) return true;
        Sleep(20);
    } while (GetTickCount() < end);
    return false;
}

void editors(App& app) {
    const struct {
        int view;
        const wchar_t* caption;
        const char* what;
        int discard;
        std::vector<Named> names;
    } editors[] = {
        {IDM_VIEW_REGISTER, kRegisterCaption, "register editor", IDB_REG_DISCARD,
         {{IDE_REG_AREA_CODE, L"C\u00E9gsz\u00E1m"},
          {IDE_REG_FORM_CODE, L"C\u00E9gsz\u00E1m: c\u00E9gforma k\u00F3d"},
          {IDE_REG_SERIAL, L"C\u00E9gsz\u00E1m: sorsz\u00E1m"},
          {IDE_REG_ACCOUNT3, L"Jelz\u0151sz\u00E1m: harmadik nyolc sz\u00E1mjegy"},
          {IDE_REG_OPEN_MONTH, L"Nyit\u00E1s: h\u00F3nap"},
          {IDE_REG_CLOSE_DAY, L"Z\u00E1r\u00E1s: nap"},
          {IDL_REG_CODE, L"Sz\u00E1mlasz\u00E1m k\u00F3d"}}},
        {IDM_VIEW_INSTITUTION, L"C\u00E9gnyilv\u00E1ntart\u00E1s szerkeszt\u00E9se (P\u00E9nzint\u00E9zeti alapadatok)",
         "institution editor", IDCANCEL,
         {{IDE_INST_SERIAL, L"P\u00E9nzint\u00E9zet c\u00E9gsz\u00E1ma: sorsz\u00E1m"}, {IDL_INST_CODE, L"M\u0171veleti k\u00F3d"}}},
        {IDM_VIEW_ACCOUNT_CHANGE, L"Banktechnikai sz\u00E1mlasz\u00E1mv\u00E1ltoz\u00E1s szerkeszt\u00E9se",
         "account-change editor", IDCANCEL,
         {{IDE_ACC_ORIG_ACCOUNT2, L"Eredeti jelz\u0151sz\u00E1m: m\u00E1sodik nyolc sz\u00E1mjegy"},
          {IDE_ACC_NEW_OPEN_DAY, L"\u00DAj sz\u00E1mla nyit\u00E1sa: nap"}}},
    };
    for (const auto& e : editors) {
        app.command(e.view);
        app.command(IDM_NEW);
        HWND d = app.waitDialog(e.caption);
        results.check(d != nullptr, std::string(e.what) + " opens");
        if (!d) continue;
        everyFieldNamed(d, e.what);
        for (const Named& n : e.names) namesAre(d, e.what, {n});
        close(d, e.discard);
    }
}

// The register editor's warning line tells of its change.
void warningAnnounced(App& app) {
    app.command(IDM_VIEW_REGISTER);
    app.command(IDM_NEW);
    HWND d = app.waitDialog(kRegisterCaption);
    if (!d) return;
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_NAMECHANGE, EVENT_OBJECT_NAMECHANGE, nullptr, onEvent,
                                         GetProcessId(app.process()), 0, WINEVENT_OUTOFCONTEXT);
    seen.clear();
    App::setText(d, IDE_REG_TAX, L"12345678");
    HWND line = GetDlgItem(d, IDT_CHECK_HINT);
    results.check(hook != nullptr && announced(line, 5000), "the new warning line is announced");
    seen.clear();
    App::setText(d, IDE_REG_TAX, L"12345676");
    results.check(announced(line, 5000), "the cleared warning line is announced");
    if (hook) UnhookWinEvent(hook);
    close(d, IDB_REG_DISCARD);
}

void otherDialogs(App& app) {
    app.command(IDM_DATA_SHEET);
    HWND d = app.waitDialog(L"Adatlap");
    results.check(d != nullptr, "the data sheet opens");
    if (d) {
        everyFieldNamed(d, "data sheet");
        namesAre(d, "data sheet", {{IDE_DS_CJSZ2, L"C\u00E9gsz\u00E1m: c\u00E9gforma k\u00F3d"},
                                   {IDE_DS_CJSZ3, L"C\u00E9gsz\u00E1m: sorsz\u00E1m"}});
        close(d);
    }
    app.command(IDM_SEARCH);
    d = app.waitDialog(L"Keres\u00E9s");
    results.check(d != nullptr, "the find dialog opens");
    if (d) {
        namesAre(d, "find", {{IDE_SEARCH_TEXT, L"Keresett sz\u00F6veg"}});
        close(d);
    }
    // A row whose tax number fails its check digit: a warning opens the list.
    app.command(IDM_VIEW_REGISTER);
    app.command(IDM_NEW);
    d = app.waitDialog(kRegisterCaption);
    if (d) typeRegisterRow(d, L"12345678", L"00001238", 0);
    app.command(IDM_CHECK_ROWS);
    d = app.waitDialog(L"Ellen\u0151rz\u00E9s");
    results.check(d != nullptr, "the fault list opens");
    if (d) {
        everyFieldNamed(d, "fault list");
        close(d);
    }
    const struct {
        int command;
        const wchar_t* caption;
        const char* what;
        int list;
    } lists[] = {
        {IDM_EARLIER_REPORTS, L"Kor\u00E1bbi jelent\u00E9sek", "archive list", IDC_ARCHIVE_LIST},
        {IDM_ACCOUNT_HISTORY, L"Sz\u00E1mlat\u00F6rt\u00E9net", "history", IDC_HISTORY_LIST},
    };
    for (const auto& l : lists) {
        app.command(l.command);
        d = app.waitDialog(l.caption);
        results.check(d != nullptr, std::string(l.what) + " opens");
        if (!d) continue;
        everyFieldNamed(d, l.what);
        namesAre(d, l.what, {{l.list, l.caption}});
        close(d);
    }
    // The reconciliation's window, after its registry list.
    const std::wstring registryList = path(work, L"msaa-cegjegyzek.txt");
    writeBytes(registryList, kOneAccountList);
    app.command(IDM_RECONCILE);
    openFile(app, kRegistryListTitle, registryList, "reconciliation");
    d = app.waitDialog(L"Egyeztet\u00E9s a c\u00E9gjegyz\u00E9kkel");
    results.check(d != nullptr, "reconciliation opens");
    if (d) {
        everyFieldNamed(d, "reconciliation");
        namesAre(d, "reconciliation", {{IDC_RECON_LIST, L"Elt\u00E9r\u00E9sek"}});
        close(d);
    }
    app.command(IDM_ABOUT);
    d = app.waitDialog(L"Tervaly Kft.");
    results.check(d != nullptr && accName(GetDlgItem(d, IDOK)) == L"Bez\u00E1r", "About: its button is named");
    if (d) close(d, IDOK);
}

void tables(App& app) {
    const wchar_t* names[] = {L"C\u00E9gjegyz\u00E9k (Sz\u00E1mlasz\u00E1m nyit\u00E1s/z\u00E1r\u00E1s)",
                              L"C\u00E9gnyilv\u00E1ntart\u00E1s (P\u00E9nzint\u00E9zeti alapadatok)",
                              L"Banktechnikai sz\u00E1mlasz\u00E1mv\u00E1ltoz\u00E1s"};
    for (int k = 0; k < 3; ++k) {
        const std::wstring name = accName(app.list(k));
        results.check(name == names[k], "table " + std::to_string(k) + " is named after its view: \"" + narrow(name) + "\"");
    }
}

}  // namespace

void screenReaderNames() {
    const std::wstring dir = freshFolder(L"msaa", true);
    CoInitialize(nullptr);
    App app;
    if (app.start(exe, dir)) {
        tables(app);
        editors(app);
        warningAnnounced(app);
        otherDialogs(app);
        app.kill();
    }
    CoUninitialize();
}

}  // namespace e2e
