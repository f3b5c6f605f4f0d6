// Start-up: one instance, the main window with its status bar and three
// record tables, and the message loop.
#include "../../resources/resource.h"
#include "win32/dpi.h"
#include "win32/main_window.h"

using namespace kovirant;
using namespace kovirant::win32;

namespace {

static_assert(IDM_EXIT == kCmdExit && IDM_ABOUT == kCmdAbout && IDM_NEW == kCmdNew &&
              IDM_SAVE_REPORT == kCmdSaveReport && IDM_MODIFY == kCmdModify && IDM_DELETE == kCmdDelete &&
              IDM_LOAD_REPORT == kCmdLoadReport && IDM_VIEW_REGISTER == kCmdViewRegister &&
              IDM_VIEW_INSTITUTION == kCmdViewInstitution && IDM_DATA_SHEET == kCmdDataSheet &&
              IDM_LOAD_APEH == kCmdLoadApeh && IDM_VIEW_ACCOUNT_CHANGE == kCmdViewAccountChange);

int fail(const wchar_t* text) {
    MessageBoxW(nullptr, text, kTitle, MB_ICONERROR);
    return 0;
}

void addColumns(HWND list, ViewKind kind, int dpi) {
    int index = 0;
    for (const Column& c : columnsOf(kind)) {
        const std::wstring header = wide(c.header);
        LVCOLUMNW col{};
        col.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        col.fmt = LVCFMT_LEFT;
        col.cx = scaled(c.width, dpi);
        col.pszText = const_cast<wchar_t*>(header.c_str());
        col.iSubItem = index;
        ListView_InsertColumn(list, index, &col);
        ++index;
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    if (FindWindowW(kClassName, kTitle) != nullptr) return 0;

    static MainWindow window;  // lives for the whole run
    window.instance = instance;
    window.menu = LoadMenuW(instance, MAKEINTRESOURCEW(IDR_MAINMENU));

    WNDCLASSW wc{};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = MainWindow::windowProc;
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
    if (!CreateWindowExW(0, kClassName, kTitle, WS_OVERLAPPEDWINDOW, left, top, width, height, nullptr, window.menu,
                         instance, &window))
        return fail(L"Rendszerhiba (ablak l\u00E9trehoz\u00E1sa)");

    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&icc);

    window.statusBar = CreateStatusWindowW(WS_CHILD | WS_VISIBLE, L"", window.hwnd, IDC_STATUS_BAR);
    int parts[2] = {width / 2, -1};
    SendMessageW(window.statusBar, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(parts));

    RECT client{};
    GetClientRect(window.hwnd, &client);
    const DWORD styles[kViewKindCount] = {
        WS_CHILD | WS_VISIBLE | WS_BORDER | LVS_REPORT | LVS_SINGLESEL | LVS_OWNERDATA,
        WS_CHILD | WS_BORDER | LVS_REPORT | LVS_OWNERDATA,
        WS_CHILD | WS_BORDER | LVS_REPORT | LVS_OWNERDATA,
    };
    for (int k = 0; k < kViewKindCount; ++k) {
        HWND list = CreateWindowExW(0, WC_LISTVIEWW, L"", styles[k], 0, 0, cx, client.bottom, window.hwnd, nullptr,
                                    instance, nullptr);
        if (list == nullptr) return fail(L"Rendszerhiba (ablak l\u00E9trehoz\u00E1sa)");
        window.lists[static_cast<std::size_t>(k)].attach(list);
    }

    ShowWindow(window.hwnd, SW_SHOWNORMAL);
    UpdateWindow(window.hwnd);

    HICON icon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_KOVIRANT));
    HIMAGELIST large = ImageList_Create(GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON),
                                        ILC_MASK | ILC_COLOR32, 1, 1);
    HIMAGELIST small = ImageList_Create(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                        ILC_MASK | ILC_COLOR32, 1, 1);
    ImageList_AddIcon(large, icon);
    ImageList_AddIcon(small, icon);
    for (ViewKind k : {ViewRegister, ViewInstitution}) {
        ListView_SetImageList(window.lists[k].hwnd(), large, LVSIL_NORMAL);
        ListView_SetImageList(window.lists[k].hwnd(), small, LVSIL_SMALL);
    }
    window.dpi = dpiOf(window.hwnd);
    for (ViewKind k : {ViewRegister, ViewInstitution, ViewAccountChange}) addColumns(window.lists[k].hwnd(), k, window.dpi);
    SetFocus(window.lists[ViewRegister].hwnd());

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    UnregisterClassW(kClassName, instance);
    return static_cast<int>(msg.wParam);
}
