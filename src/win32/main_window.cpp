#include "win32/main_window.h"

#include <process.h>
#include <shellapi.h>

#include <ctime>

#include "../../resources/resource.h"
#include "app/archive_commands.h"
#include "app/commands.h"
#include "app/recovery_commands.h"
#include "win32/dialogs.h"
#include "win32/dpi.h"
#include "win32/window_layout.h"

namespace kovirant::win32 {

MainWindow::MainWindow()
    : lists{ListViewTable(ViewRegister, tables.table(ViewRegister)),
            ListViewTable(ViewInstitution, tables.table(ViewInstitution)),
            ListViewTable(ViewAccountChange, tables.table(ViewAccountChange))},
      state(tables),
      shell(*this) {
    for (ViewKind k : kAllKinds) tables.attachView(k, &lists[k]);
}

namespace {

bool fail(const wchar_t* text) {
    MessageBoxW(nullptr, text, kTitle, MB_ICONERROR);
    return false;
}

}  // namespace

bool MainWindow::create(HINSTANCE inst) {
    instance = inst;
    menu = LoadMenuW(instance, MAKEINTRESOURCEW(IDR_MAINMENU));

    WNDCLASSW wc{};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = windowProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_KOVIRANT));
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = kClassName;
    if (!RegisterClassW(&wc)) return fail(L"Rendszerhiba (ablakoszt\u00E1ly regisztr\u00E1l\u00E1s)");

    const int cx = GetSystemMetrics(SM_CXFULLSCREEN);
    const int cy = GetSystemMetrics(SM_CYFULLSCREEN);
    const int left = cx / 4, top = cy / 4;
    const int width = cx - 2 * (cx / 4), height = cy - cy / 4;
    if (!CreateWindowExW(0, kClassName, kTitle, WS_OVERLAPPEDWINDOW, left, top, width, height, nullptr, menu,
                         instance, this))
        return fail(L"Rendszerhiba (ablak l\u00E9trehoz\u00E1sa)");
    const KeptLayout kept = restoreWindowPlace(hwnd);

    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&icc);

    statusBar = CreateStatusWindowW(WS_CHILD | WS_VISIBLE, L"", hwnd, IDC_STATUS_BAR);
    int parts[2] = {width / 2, -1};
    SendMessageW(statusBar, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(parts));
    if (!createTables(cx, kept.maximized)) return fail(L"Rendszerhiba (ablak l\u00E9trehoz\u00E1sa)");
    SetFocus(lists[ViewRegister].hwnd());
    // Rows an earlier run left unsaved are offered before any input is taken.
    kovirant::offerRecovery(state, shell, std::time(nullptr));
    kovirant::showOverdueLine(state, shell);
    refresh();
    return true;
}

bool MainWindow::createTables(int width, bool maximized) {
    RECT client{};
    GetClientRect(hwnd, &client);
    // The register table shows first; the image lists are shared and owned here.
    // The selection stays marked while a question about it is open.
    constexpr DWORD kCommon = WS_CHILD | WS_BORDER | LVS_REPORT | LVS_OWNERDATA | LVS_SHAREIMAGELISTS | LVS_SHOWSELALWAYS;
    for (int k = 0; k < kViewKindCount; ++k) {
        const ViewKind kind = static_cast<ViewKind>(k);
        const DWORD style = kCommon | (kind == ViewRegister ? WS_VISIBLE : 0) | (singleSelection(kind) ? LVS_SINGLESEL : 0);
        // The window text is the name a screen reader gives the table: its view's.
        HWND list = CreateWindowExW(0, WC_LISTVIEWW, wide(tableName(kind)).c_str(), style, 0, 0, width, client.bottom,
                                    hwnd, nullptr, instance, nullptr);
        if (list == nullptr) return false;
        // The whole row marked and clickable: an imported row's first cell is empty.
        ListView_SetExtendedListViewStyleEx(list, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
        lists[static_cast<std::size_t>(k)].attach(list);
    }

    ShowWindow(hwnd, maximized ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL);
    UpdateWindow(hwnd);

    HICON icon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_KOVIRANT));
    largeIcons_.reset(ImageList_Create(GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON),
                                       ILC_MASK | ILC_COLOR32, 1, 1));
    smallIcons_.reset(ImageList_Create(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                       ILC_MASK | ILC_COLOR32, 1, 1));
    ImageList_AddIcon(largeIcons_.get(), icon);
    ImageList_AddIcon(smallIcons_.get(), icon);
    for (ViewKind k : {ViewRegister, ViewInstitution}) {
        if (!showsIcon(k)) continue;
        ListView_SetImageList(lists[k].hwnd(), largeIcons_.get(), LVSIL_NORMAL);
        ListView_SetImageList(lists[k].hwnd(), smallIcons_.get(), LVSIL_SMALL);
    }
    dpi = dpiOf(hwnd);
    for (ViewKind k : kAllKinds) addColumns(k);
    restoreColumnWidths(*this, dpi);
    return true;
}

// The columns with their headers and widths, scaled for the screen's DPI.
void MainWindow::addColumns(ViewKind kind) {
    int index = 0;
    for (const Column& c : columnsOf(kind)) {
        const std::wstring header = wide(c.header);
        LVCOLUMNW col{};
        col.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        col.fmt = LVCFMT_LEFT;
        col.cx = scaled(c.width, dpi);
        col.pszText = const_cast<wchar_t*>(header.c_str());
        col.iSubItem = index;
        ListView_InsertColumn(lists[kind].hwnd(), index, &col);
        ++index;
    }
}

UINT menuStateQueryMessage() {
    static const UINT message = RegisterWindowMessageW(L"Kovirant.MenuState");
    return message;
}

UINT menuTextQueryMessage() {
    static const UINT message = RegisterWindowMessageW(L"Kovirant.MenuText");
    return message;
}

void MainWindow::refresh() {
    for (ListViewTable& l : lists) l.sync();
    if (statusBar != nullptr && tables.statusSerial() != statusSerial) {
        statusSerial = tables.statusSerial();
        SendMessageW(statusBar, SB_SETTEXTW, 1, reinterpret_cast<LPARAM>(wide(tables.statusText()).c_str()));
        UpdateWindow(statusBar);
    }
}

LRESULT CALLBACK MainWindow::windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        auto* self = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->hwnd = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self == nullptr) return DefWindowProcW(hwnd, msg, wParam, lParam);
    try {
        return self->handle(msg, wParam, lParam);
    } catch (...) {
        // Nothing may cross the window procedure; the command is abandoned.
        MessageBoxW(hwnd, L"Rendszerhiba", kTitle, MB_ICONERROR);
        return 0;
    }
}

void MainWindow::onSize(int width, int height) {
    RECT r{};
    GetClientRect(statusBar, &r);
    const int s = r.bottom;
    for (ListViewTable& l : lists) MoveWindow(l.hwnd(), 0, 0, width, height - s - scaled(3, dpi), TRUE);
    MoveWindow(statusBar, 0, 0, width, height - s, TRUE);
    ShowScrollBar(hwnd, SB_BOTH, FALSE);
}

// Moved to a monitor of another DPI: the window takes the size Windows
// suggests and every column keeps its width in 96-dpi measures.
void MainWindow::onDpiChanged(int newDpi, const RECT& suggested) {
    for (ListViewTable& l : lists) {
        HWND header = ListView_GetHeader(l.hwnd());
        const int columns = header != nullptr ? Header_GetItemCount(header) : 0;
        for (int c = 0; c < columns; ++c)
            ListView_SetColumnWidth(l.hwnd(), c, MulDiv(ListView_GetColumnWidth(l.hwnd(), c), newDpi, dpi));
    }
    dpi = newDpi;
    SetWindowPos(hwnd, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT MainWindow::onNotify(const NMHDR& header) {
    for (ListViewTable& l : lists) {
        if (header.hwndFrom != l.hwnd()) continue;
        if (header.code == LVN_GETDISPINFOW) {
            l.onGetDispInfo(*reinterpret_cast<NMLVDISPINFOW*>(const_cast<NMHDR*>(&header)));
            return 0;
        }
        if (header.code == LVN_ODFINDITEMW) return l.onFindItem(*reinterpret_cast<const NMLVFINDITEMW*>(&header));
        if (header.code == LVN_KEYDOWN && reinterpret_cast<const NMLVKEYDOWN*>(&header)->wVKey == VK_DELETE) {
            // Delete in a table runs the menu's Delete once this key is handled.
            PostMessageW(hwnd, WM_COMMAND, kCmdDelete, 0);
            return 0;
        }
    }
    if (header.code == NM_CLICK) kovirant::onNotify(state, shell, ListNotification::Click);
    // Enter on a row does what a double click on it does.
    else if (header.code == NM_DBLCLK || header.code == NM_RETURN)
        kovirant::onNotify(state, shell, ListNotification::DoubleClick);
    return 0;
}

LRESULT MainWindow::handle(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_CREATE: {
            const WorkingFolder working = managedWorkingFolder();
            if (!working.refused.empty())
                shell.showMessage(messageBox(workingFolderMessage(working), kProgramCaption, MessageIcon::Warning, true));
            onCreate(state, shell, working.folder);
            return 0;
        }
        case WM_SIZE:
            if (statusBar != nullptr) onSize(LOWORD(lParam), HIWORD(lParam));
            return 0;
        case WM_ACTIVATE:
            if (lists[ViewRegister].hwnd() != nullptr) SetFocus(lists[ViewRegister].hwnd());
            return 0;
        case WM_CLOSE:
            refresh();
            return kovirant::onClose(state, shell) ? 0 : 1;
        case WM_QUERYENDSESSION:
            // Windows ends the program without a question: the unsaved rows
            // must be on the disk first (each command put its own there).
            keepRecovery(state, shell);
            return TRUE;
        case kSnapshotDoneMessage:
            shell.snapshotThreadEnded();
            snapshotJobDone(state, shell);
            return 0;
        case WM_TIMER:
            if (wParam != kRecoveryTimer) break;
            KillTimer(hwnd, kRecoveryTimer);
            writePendingRecovery(state, shell);
            return 0;
        case WM_DPICHANGED:
            onDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
            return 0;
        case WM_NOTIFY:
            return onNotify(*reinterpret_cast<const NMHDR*>(lParam));
        case WM_KEYDOWN:
            onKeyDown(state, shell, static_cast<int>(wParam));
            refresh();
            keepRecovery(state, shell);
            return 0;
        case WM_COMMAND:
            refresh();
            // A menu gives the whole wParam; a shortcut marks its id with 1 above it.
            onCommand(state, shell, HIWORD(wParam) == 1 ? LOWORD(wParam) : static_cast<int>(wParam));
            refresh();
            keepRecovery(state, shell);  // before the next input is handled
            return 0;
        default:
            break;
    }
    if (msg == menuStateQueryMessage() && menu != nullptr)
        return static_cast<LRESULT>(GetMenuState(menu, static_cast<UINT>(wParam), MF_BYCOMMAND));
    if (msg == menuTextQueryMessage() && menu != nullptr) {
        // The text in a global atom, which another process can read.
        wchar_t text[256] = {};
        GetMenuStringW(menu, static_cast<UINT>(wParam), text, 255, MF_BYCOMMAND);
        return static_cast<LRESULT>(GlobalAddAtomW(text));
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// ---- Win32Shell ----

HWND Win32Shell::owner() const { return openDialog_ != nullptr ? openDialog_ : window_.hwnd; }

int Win32Shell::messageBoxW(const MessageBoxSpec& box, UINT buttons) {
    window_.refresh();
    UINT icon = MB_ICONINFORMATION;
    switch (box.icon) {
        case MessageIcon::Warning: icon = MB_ICONWARNING; break;
        case MessageIcon::Error: icon = MB_ICONERROR; break;
        case MessageIcon::Question: icon = MB_ICONQUESTION; break;
        case MessageIcon::Information: break;
    }
    return MessageBoxW(box.ownedByMainWindow ? owner() : nullptr, wide(box.text).c_str(),
                       wide(box.caption).c_str(), buttons | icon);
}

void Win32Shell::showMessage(const MessageBoxSpec& box) { messageBoxW(box, MB_OK); }

bool Win32Shell::askYesNo(const MessageBoxSpec& box) {
    return messageBoxW(box, MB_YESNO | (box.defaultNo ? MB_DEFBUTTON2 : MB_DEFBUTTON1)) == IDYES;
}

void Win32Shell::enableMenuItem(int id, bool enabled) {
    EnableMenuItem(window_.menu, static_cast<UINT>(id), MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

void Win32Shell::checkMenuItem(int id, bool checked) {
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_STATE;
    info.fState = checked ? MFS_CHECKED : 0;
    SetMenuItemInfoW(window_.menu, static_cast<UINT>(id), FALSE, &info);
}

void Win32Shell::setMenuText(int id, const std::u16string& text) {
    std::wstring wide(text.begin(), text.end());
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_STRING;
    info.dwTypeData = wide.data();
    SetMenuItemInfoW(window_.menu, static_cast<UINT>(id), FALSE, &info);
}

void Win32Shell::showTable(ViewKind kind) {
    for (ViewKind k : {ViewInstitution, ViewAccountChange, ViewRegister})
        if (k != kind) ShowWindow(window_.lists[k].hwnd(), SW_HIDE);
    ShowWindow(window_.lists[kind].hwnd(), SW_SHOW);
}

void Win32Shell::setStatusText(int part, const std::u16string& text) {
    SendMessageW(window_.statusBar, SB_SETTEXTW, static_cast<WPARAM>(part),
                 reinterpret_cast<LPARAM>(wide(text).c_str()));
}


namespace {

// The system's file dialog; `name` holds what was chosen (with
// OFN_ALLOWMULTISELECT: the folder, then each name, each ended by a 0).
bool runFileDialog(HWND owner, const FileDialogSpec& request, DWORD flags, std::wstring& name) {
    std::wstring filter;
    for (const FileFilter& f : request.filters) {
        filter += wide(f.description);
        filter.push_back(L'\0');
        filter += wide(f.pattern);
        filter.push_back(L'\0');
    }
    filter.push_back(L'\0');
    // Room for any path the system allows; no 127-character limit.
    name.assign(32768, L'\0');
    const std::wstring initialName = request.initialName.wstring();
    initialName.copy(name.data(), std::min<std::size_t>(initialName.size(), name.size() - 1));
    const std::wstring initialDir = request.initialDirectory.wstring();
    const std::wstring title = wide(request.title);
    const std::wstring ext = wide(request.defaultExtension);

    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = static_cast<DWORD>(request.filterIndex);
    ofn.lpstrFile = name.data();
    ofn.nMaxFile = static_cast<DWORD>(name.size());
    ofn.lpstrInitialDir = initialDir.empty() ? nullptr : initialDir.c_str();
    ofn.lpstrTitle = title.c_str();
    ofn.lpstrDefExt = ext.c_str();
    ofn.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | flags;
    const BOOL ok = request.save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
    if (!ok) CommDlgExtendedError();
    return ok != FALSE;
}

}  // namespace

std::optional<std::filesystem::path> Win32Shell::chooseFile(const FileDialogSpec& request) {
    window_.refresh();
    std::wstring name;
    // A name that does not exist is refused by the open dialog itself.
    const DWORD flags = request.save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST;
    if (!runFileDialog(owner(), request, flags, name)) return std::nullopt;
    return std::filesystem::path(std::wstring(name.c_str()));
}

std::vector<std::filesystem::path> Win32Shell::chooseFiles(const FileDialogSpec& request) {
    window_.refresh();
    std::wstring name;
    if (!runFileDialog(owner(), request, OFN_ALLOWMULTISELECT | OFN_FILEMUSTEXIST, name)) return {};
    // One file: its full path. Several: the folder, then the names.
    std::vector<std::wstring> parts;
    for (std::size_t at = 0; at < name.size() && name[at] != L'\0';) {
        const std::wstring part(name.c_str() + at);
        parts.push_back(part);
        at += part.size() + 1;
    }
    std::vector<std::filesystem::path> files;
    if (parts.size() == 1) files.emplace_back(parts[0]);
    for (std::size_t i = 1; i < parts.size(); ++i) files.push_back(std::filesystem::path(parts[0]) / parts[i]);
    return files;
}

template <class Run>
void Win32Shell::modal(Run run) {
    window_.refresh();
    run(window_.instance, window_.hwnd);
    window_.refresh();
}

void Win32Shell::runRegisterEditor(const EditorRequest<RegisterEntryForm>& request) {
    modal([&](HINSTANCE i, HWND owner) { runRegisterEntryDialog(i, owner, request); });
}

void Win32Shell::runInstitutionEditor(const EditorRequest<InstitutionForm>& request) {
    modal([&](HINSTANCE i, HWND owner) { runInstitutionDialog(i, owner, request); });
}

void Win32Shell::runAccountChangeEditor(const EditorRequest<AccountChangeForm>& request) {
    modal([&](HINSTANCE i, HWND owner) { runAccountChangeDialog(i, owner, request); });
}

void Win32Shell::runDataSheet(const EditorRequest<DataSheetForm>& request) {
    modal([&](HINSTANCE i, HWND owner) { runDataSheetDialog(i, owner, request); });
}

void Win32Shell::runAbout() {
    modal([](HINSTANCE i, HWND owner) { runAboutDialog(i, owner); });
}

void Win32Shell::beep(int frequency, int milliseconds) {
    Beep(static_cast<DWORD>(frequency), static_cast<DWORD>(milliseconds));
}

void Win32Shell::quit() { PostQuitMessage(0); }

void Win32Shell::postModify() { PostMessageW(window_.hwnd, WM_COMMAND, kCmdModify, 0); }

std::optional<std::size_t> Win32Shell::runFaultList(const ListRequest& request) {
    std::optional<std::size_t> chosen;
    modal([&](HINSTANCE i, HWND owner) { chosen = runFaultListDialog(i, owner, request); });
    return chosen;
}

ArchiveListChoice Win32Shell::runArchiveList(const ArchiveListRequest& request) {
    ArchiveListChoice choice;
    modal([&](HINSTANCE i, HWND owner) { choice = runArchiveListDialog(i, owner, request); });
    return choice;
}

ApprovalAnswer Win32Shell::runApproval(const ApprovalRequest& request) {
    ApprovalAnswer answer;
    modal([&](HINSTANCE i, HWND owner) { answer = runApprovalDialog(i, owner, request); });
    return answer;
}

std::optional<std::u16string> Win32Shell::askSentTime(const std::u16string& now) {
    std::optional<std::u16string> time;
    modal([&](HINSTANCE i, HWND owner) { time = runSentTimeDialog(i, owner, now); });
    return time;
}

std::optional<ReceiptAnswer> Win32Shell::runReceipt(const ReceiptRequest& request) {
    std::optional<ReceiptAnswer> answer;
    modal([&](HINSTANCE i, HWND owner) { answer = runReceiptDialog(i, owner, request); });
    return answer;
}

void Win32Shell::openDocument(const std::filesystem::path& file) {
    // The system's program for the file (a mail client, a PDF reader); one it has none for is said.
    const auto opened = reinterpret_cast<INT_PTR>(
        ShellExecuteW(window_.hwnd, L"open", file.wstring().c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (opened <= 32)
        showMessage(messageBox("A tértivevényt (" + utf16ToCp1250(file.u16string()) +
                                   ") nem tudtam megnyitni: nincs hozzá program. Hibakód=" + std::to_string(opened) + ".",
                               kProgramCaption, MessageIcon::Warning, true));
}

void Win32Shell::runAccountHistory(const AccountHistoryRequest& request) {
    modal([&](HINSTANCE i, HWND owner) { runAccountHistoryDialog(i, owner, request); });
}

ReconciliationChoice Win32Shell::runReconciliation(ReconciliationPort& port) {
    ReconciliationChoice choice;
    modal([&](HINSTANCE i, HWND owner) { choice = runReconciliationDialog(i, owner, port, openDialog_); });
    return choice;
}

std::optional<std::u16string> Win32Shell::askSearchText(const std::u16string& initial) {
    std::optional<std::u16string> text;
    modal([&](HINSTANCE i, HWND owner) { text = runSearchDialog(i, owner, initial); });
    return text;
}

void Win32Shell::scheduleRecovery(int milliseconds) {
    SetTimer(window_.hwnd, MainWindow::kRecoveryTimer, static_cast<UINT>(milliseconds), nullptr);
}

namespace {

struct SnapshotStart {
    SnapshotJob* job;
    HWND window;
};

unsigned __stdcall runSnapshot(void* start) {
    const SnapshotStart s = *static_cast<SnapshotStart*>(start);
    delete static_cast<SnapshotStart*>(start);
    s.job->run();
    PostMessageW(s.window, MainWindow::kSnapshotDoneMessage, 0, 0);
    return 0;
}

}  // namespace

void Win32Shell::startSnapshot(SnapshotJob& job) {
    auto* start = new SnapshotStart{&job, window_.hwnd};
    // The C runtime's own thread start, as the job writes through it.
    const std::uintptr_t thread = _beginthreadex(nullptr, 0, runSnapshot, start, CREATE_SUSPENDED, nullptr);
    if (thread != 0) {
        // Below the window's thread, so that the officer's next command wins.
        SetThreadPriority(reinterpret_cast<HANDLE>(thread), THREAD_PRIORITY_BELOW_NORMAL);
        ResumeThread(reinterpret_cast<HANDLE>(thread));
    }
    if (thread == 0) {
        delete start;
        job.result = ERROR_NOT_ENOUGH_MEMORY;
        PostMessageW(window_.hwnd, MainWindow::kSnapshotDoneMessage, 0, 0);
        return;
    }
    snapshotThread_ = reinterpret_cast<HANDLE>(thread);
}

void Win32Shell::snapshotThreadEnded() {
    if (snapshotThread_ == nullptr) return;
    WaitForSingleObject(snapshotThread_, INFINITE);  // it has posted its last message
    CloseHandle(snapshotThread_);
    snapshotThread_ = nullptr;
}

void Win32Shell::finishSnapshot() {
    if (snapshotThread_ == nullptr) return;
    if (window_.state.recovery.job) window_.state.recovery.job->cancelled = true;
    snapshotThreadEnded();
    snapshotJobDone(window_.state, *this);
}

}  // namespace kovirant::win32
