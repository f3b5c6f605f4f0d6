#include "driver.h"

#include <cstring>

#include "../../resources/resource.h"
#include "text/cp1250.h"

namespace e2e {

Results results;

void Results::check(bool ok, const std::string& what) {
    (ok ? passed : failed)++;
    std::printf("%s %s\n", ok ? "ok  " : "FAIL", kovirant::cp1250ToUtf8(what).c_str());
    std::fflush(stdout);
}

int Results::finish() {
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}

std::string utf8(const std::wstring& w) {
    if (w.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
    return s;
}

bool waitFor(const std::function<bool()>& done, int ms) {
    for (int waited = 0; waited <= ms; waited += 50) {
        if (done()) return true;
        Sleep(50);
    }
    return false;
}

bool App::start(const std::wstring& exe, const std::wstring& workDir, bool keepLayout) {
    if (!keepLayout) RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Kovirant");
    STARTUPINFOW si{};
    si.cb = sizeof si;
    std::wstring cmd = L"\"" + exe + L"\"";
    if (!CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, workDir.c_str(), &si, &pi_))
        return false;
    const bool found = waitFor([&] {
        HWND w = FindWindowW(L"Kovirant", L"Kovirant");
        DWORD pid = 0;
        if (w) GetWindowThreadProcessId(w, &pid);
        if (w && pid == pi_.dwProcessId && IsWindowVisible(w)) {
            main_ = w;
            return true;
        }
        return false;
    });
    if (!found) return false;
    int n = 0;
    // The three tables, told apart by their column counts, and the status bar.
    waitFor([&] {
        n = 0;
        lists_[0] = lists_[1] = lists_[2] = nullptr;
        for (HWND c = GetWindow(main_, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
            wchar_t cls[64];
            GetClassNameW(c, cls, 64);
            if (lstrcmpiW(cls, WC_LISTVIEWW) == 0) {
                HWND header = reinterpret_cast<HWND>(SendMessageW(c, LVM_GETHEADER, 0, 0));
                const LRESULT columns = SendMessageW(header, HDM_GETITEMCOUNT, 0, 0);
                const int kind = columns == 6 ? 0 : columns == 12 ? 1 : columns == 8 ? 2 : -1;
                if (kind >= 0 && lists_[kind] == nullptr) {
                    lists_[kind] = c;
                    ++n;
                }
            }
            if (lstrcmpiW(cls, STATUSCLASSNAMEW) == 0) status_ = c;
        }
        return n == 3 && status_ != nullptr;
    });
    remoteBuffer_ = VirtualAllocEx(pi_.hProcess, nullptr, 1 << 16, MEM_COMMIT, PAGE_READWRITE);
    return n == 3;
}

bool App::running() const { return WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT; }

DWORD App::exitCode() const {
    DWORD code = 0;
    GetExitCodeProcess(pi_.hProcess, &code);
    return code;
}

bool App::waitExit(int ms) const { return WaitForSingleObject(pi_.hProcess, static_cast<DWORD>(ms)) == WAIT_OBJECT_0; }

void App::kill() {
    if (running()) TerminateProcess(pi_.hProcess, 1);
    WaitForSingleObject(pi_.hProcess, 5000);
}

void App::command(int id) const { PostMessageW(main_, WM_COMMAND, static_cast<WPARAM>(id), 0); }

UINT App::menuState(int id) const {
    static const UINT query = RegisterWindowMessageW(L"Kovirant.MenuState");
    DWORD_PTR result = 0;
    SendMessageTimeoutW(main_, query, static_cast<WPARAM>(id), 0, SMTO_ABORTIFHUNG, 5000, &result);
    return static_cast<UINT>(result);
}

std::wstring App::menuText(int id) const {
    static const UINT query = RegisterWindowMessageW(L"Kovirant.MenuText");
    DWORD_PTR atom = 0;
    SendMessageTimeoutW(main_, query, static_cast<WPARAM>(id), 0, SMTO_ABORTIFHUNG, 5000, &atom);
    wchar_t text[256] = {};
    if (atom != 0) {
        GlobalGetAtomNameW(static_cast<ATOM>(atom), text, 256);
        GlobalDeleteAtom(static_cast<ATOM>(atom));
    }
    return text;
}

void pressKeys(const App& app, std::initializer_list<WORD> down) { pressKeys(app.main(), down); }

HWND focusOf(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
    return info.hwndFocus;
}

void pressKeys(HWND window, std::initializer_list<WORD> down) {
    SetForegroundWindow(window);
    waitFor([&] { return GetForegroundWindow() == window; }, 3000);
    Sleep(100);
    auto send = [](WORD key, bool up) {
        INPUT i{};
        i.type = INPUT_KEYBOARD;
        i.ki.wVk = key;
        i.ki.wScan = static_cast<WORD>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
        i.ki.dwFlags = (up ? KEYEVENTF_KEYUP : 0) | (key == VK_INSERT ? KEYEVENTF_EXTENDEDKEY : 0);
        SendInput(1, &i, sizeof i);
        Sleep(30);
    };
    for (WORD k : down) send(k, false);
    for (auto it = down.end(); it != down.begin();) send(*--it, true);
}

namespace {
// The first visible dialog (#32770) of a process that `match` accepts.
struct DialogSearch {
    DWORD pid;
    const std::function<bool(HWND)>* match;
    HWND found;
};
BOOL CALLBACK findDialog(HWND w, LPARAM p) {
    auto* s = reinterpret_cast<DialogSearch*>(p);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid != s->pid || !IsWindowVisible(w)) return TRUE;
    wchar_t cls[64];
    GetClassNameW(w, cls, 64);
    if (lstrcmpW(cls, L"#32770") != 0 || !(*s->match)(w)) return TRUE;
    s->found = w;
    return FALSE;
}
HWND waitForDialog(DWORD pid, const std::function<bool(HWND)>& match, int ms) {
    DialogSearch s{pid, &match, nullptr};
    waitFor(
        [&] {
            s.found = nullptr;
            EnumWindows(findDialog, reinterpret_cast<LPARAM>(&s));
            return s.found != nullptr;
        },
        ms);
    return s.found;
}
}  // namespace

HWND App::waitDialog(const std::wstring& title, int ms) const {
    return waitForDialog(
        pi_.dwProcessId,
        [&](HWND w) {
            wchar_t text[512];
            GetWindowTextW(w, text, 512);
            return title.empty() || title == text;
        },
        ms);
}

HWND App::waitMessage(const std::function<bool(const std::wstring&)>& match, int ms) const {
    return waitForDialog(
        pi_.dwProcessId,
        [&](HWND w) {
            const std::wstring text = messageText(w);
            return !text.empty() && match(text);
        },
        ms);
}

bool App::noDialog() const { return waitDialog(L"", 0) == nullptr; }

std::wstring App::messageText(HWND box) { return text(box, 0xFFFF); }

void App::press(HWND dialog, int id) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

namespace {
BOOL CALLBACK setEditText(HWND w, LPARAM p) {
    wchar_t cls[64];
    GetClassNameW(w, cls, 64);
    if (lstrcmpiW(cls, L"Edit") == 0) SendMessageW(w, WM_SETTEXT, 0, p);
    return TRUE;
}
}  // namespace

void App::chooseFile(HWND fileDialog, const std::wstring& path) {
    HWND name = GetDlgItem(fileDialog, 0x47C);
    SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    EnumChildWindows(name, setEditText, reinterpret_cast<LPARAM>(path.c_str()));
    press(fileDialog, IDOK);
}

void App::setText(HWND dialog, int id, const std::wstring& t) {
    SendMessageW(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(t.c_str()));
}

std::wstring App::text(HWND dialog, int id) {
    wchar_t buf[4096] = {};
    SendMessageW(GetDlgItem(dialog, id), WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buf));
    return buf;
}

int App::rowCount(int kind) const {
    return static_cast<int>(SendMessageW(lists_[kind], LVM_GETITEMCOUNT, 0, 0));
}

bool App::settle(int ms) const { return WaitForInputIdle(pi_.hProcess, static_cast<DWORD>(ms)) == 0; }

std::wstring App::cell(int kind, int row, int column) const { return itemText(lists_[kind], row, column); }

std::wstring App::itemText(HWND list, int row, int column) const {
    // An LVITEMW and its text buffer in the program's memory.
    auto* base = static_cast<char*>(remoteBuffer_);
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iSubItem = column;
    item.cchTextMax = 1024;
    item.pszText = reinterpret_cast<wchar_t*>(base + sizeof(LVITEMW));
    WriteProcessMemory(pi_.hProcess, base, &item, sizeof item, nullptr);
    SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(base));
    wchar_t buf[1024] = {};
    ReadProcessMemory(pi_.hProcess, base + sizeof(LVITEMW), buf, sizeof buf - sizeof(wchar_t), nullptr);
    return buf;
}

std::wstring App::statusText(int part) const {
    auto* base = static_cast<char*>(remoteBuffer_);
    wchar_t zero[1024] = {};
    WriteProcessMemory(pi_.hProcess, base, zero, sizeof zero, nullptr);
    SendMessageW(status_, SB_GETTEXTW, static_cast<WPARAM>(part), reinterpret_cast<LPARAM>(base));
    wchar_t buf[1024] = {};
    ReadProcessMemory(pi_.hProcess, base, buf, sizeof buf - sizeof(wchar_t), nullptr);
    return buf;
}

void App::selectRow(int kind, int row) const { selectItem(lists_[kind], row); }

void App::selectOnlyRow(int kind, int row) const {
    auto* base = static_cast<char*>(remoteBuffer_);
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    WriteProcessMemory(pi_.hProcess, base, &item, sizeof item, nullptr);
    SendMessageW(lists_[kind], LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(base));
    selectItem(lists_[kind], row);
}

void App::selectItem(HWND list, int row) const {
    auto* base = static_cast<char*>(remoteBuffer_);
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    WriteProcessMemory(pi_.hProcess, base, &item, sizeof item, nullptr);
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(base));
}

std::string App::clickRow(int kind, int row, bool twice, int column) const {
    HWND list = lists_[kind];
    SendMessageW(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
    auto* base = static_cast<char*>(remoteBuffer_);
    RECT r{};
    r.left = column == 0 ? LVIR_LABEL : LVIR_BOUNDS;
    r.top = column;
    WriteProcessMemory(pi_.hProcess, base, &r, sizeof r, nullptr);
    SendMessageW(list, column == 0 ? LVM_GETITEMRECT : LVM_GETSUBITEMRECT, static_cast<WPARAM>(row),
                 reinterpret_cast<LPARAM>(base));
    ReadProcessMemory(pi_.hProcess, base, &r, sizeof r, nullptr);
    POINT p{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    ClientToScreen(list, &p);
    // Under load the window manager and the cursor lag behind; a click sent
    // before both have settled lands elsewhere or only activates the window.
    SetForegroundWindow(main_);
    const bool front = waitFor([&] { return GetForegroundWindow() == main_; }, 3000);
    SetCursorPos(p.x, p.y);
    POINT at{};
    const bool placed = waitFor([&] { return GetCursorPos(&at) && at.x == p.x && at.y == p.y; }, 3000);
    Sleep(100);
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    for (int i = 0; i < (twice ? 2 : 1); ++i) {
        INPUT in[2] = {};
        for (INPUT& e : in) {
            e.type = INPUT_MOUSE;
            e.mi.dx = MulDiv(p.x, 65535, w - 1);
            e.mi.dy = MulDiv(p.y, 65535, h - 1);
        }
        in[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_LEFTDOWN;
        in[1].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_LEFTUP;
        SendInput(2, in, sizeof(INPUT));
        Sleep(30);
    }
    char where[160];
    snprintf(where, sizeof where, "point %ld,%ld in %ld,%ld-%ld,%ld; %s; cursor %s at %ld,%ld", p.x, p.y, r.left, r.top,
             r.right, r.bottom, front ? "in front" : "not in front", placed ? "placed" : "not placed", at.x, at.y);
    return where;
}

RECT App::cellRect(int kind, int row, int column) const {
    HWND list = lists_[kind];
    auto* base = static_cast<char*>(remoteBuffer_);
    RECT r{LVIR_BOUNDS, column, 0, 0};
    WriteProcessMemory(pi_.hProcess, base, &r, sizeof r, nullptr);
    SendMessageW(list, LVM_GETSUBITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(base));
    ReadProcessMemory(pi_.hProcess, base, &r, sizeof r, nullptr);
    MapWindowPoints(list, nullptr, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

std::wstring App::tableText(int kind) const {
    static const int columns[3] = {6, 12, 8};
    std::wstring out;
    for (int r = 0, n = rowCount(kind); r < n; ++r) {
        for (int c = 0; c < columns[kind]; ++c) {
            if (c > 0) out += L'|';
            out += cell(kind, r, c);
        }
        out += L'\n';
    }
    return out;
}

void screenshot(const std::wstring& path) {
    HDC screen = GetDC(nullptr);
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, w, h, screen, 0, 0, SRCCOPY);
    GdiFlush();
    const DWORD stride = ((static_cast<DWORD>(w) * 3 + 3) & ~3u);
    const DWORD size = stride * static_cast<DWORD>(h);
    BITMAPFILEHEADER fh{};
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof fh + sizeof bi.bmiHeader;
    fh.bfSize = fh.bfOffBits + size;
    if (FILE* f = _wfopen(path.c_str(), L"wb")) {
        std::fwrite(&fh, sizeof fh, 1, f);
        std::fwrite(&bi.bmiHeader, sizeof bi.bmiHeader, 1, f);
        std::fwrite(bits, 1, size, f);
        std::fclose(f);
    }
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
}

// A protocol file of `lines` valid lines.
void writeProtocol(const std::wstring& file, int lines) {
    HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    std::string line(216, '.');
    DWORD written = 0;
    for (int i = 0; i < lines; ++i) {
        char head[48];
        std::snprintf(head, sizeof head, "%06d%08dABC%08d%016d050301", i % 1000000, 10000000 + i % 90000000,
                      11773016, i);
        std::memcpy(line.data(), head, 47);
        line[215] = 'U';
        WriteFile(h, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        WriteFile(h, "\r\n", 2, &written, nullptr);
    }
    CloseHandle(h);
}

// Starts the program in `dir` and imports its protocol file, the closing
// warning answered. After a million rows a posted press can be lost; the
// button is then clicked as well.
bool startAndImport(App& app, const std::wstring& exe, const std::wstring& dir) {
    if (!app.start(exe, dir)) return false;
    app.command(IDM_LOAD_APEH);
    App::chooseFile(app.waitDialog(L"APEH protokoll forr\u00E1s file megnyit\u00E1sa"), dir + L"\\protocol.txt");
    HWND warning = app.waitMessage([](const std::wstring& t) { return t.find(L"c\u00E9gsz\u00E1mokat") != std::wstring::npos; },
                                   600000);
    for (int attempt = 0; warning && IsWindow(warning) && attempt < 20; ++attempt) {
        if (attempt % 2 == 0) App::press(warning, IDOK);
        else PostMessageW(GetDlgItem(warning, IDOK), BM_CLICK, 0, 0);
        waitFor([&] { return !IsWindow(warning); }, 2000);
    }
    return warning != nullptr && !IsWindow(warning);
}

}  // namespace e2e
