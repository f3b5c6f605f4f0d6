// The main window: its state, its shell adapter and its window procedure.
#pragma once

#include <array>
#include <memory>

#include "app/app_state.h"
#include "app/shell.h"
#include "app/working_folder.h"
#include "win32/list_view_table.h"
#include "win32/win32.h"

namespace kovirant::win32 {

inline constexpr wchar_t kClassName[] = L"Kovirant";
inline constexpr wchar_t kTitle[] = L"Kovirant";

class MainWindow;

// The Shell port over the main window.
class Win32Shell : public Shell {
public:
    explicit Win32Shell(MainWindow& window) : window_(window) {}

    void showMessage(const MessageBoxSpec& box) override;
    bool askYesNo(const MessageBoxSpec& box) override;
    void enableMenuItem(int id, bool enabled) override;
    void checkMenuItem(int id, bool checked) override;
    void setMenuText(int id, const std::u16string& text) override;
    void showTable(ViewKind kind) override;
    void setStatusText(int part, const std::u16string& text) override;
    std::optional<std::filesystem::path> chooseFile(const FileDialogSpec& request) override;
    std::vector<std::filesystem::path> chooseFiles(const FileDialogSpec& request) override;
    void runRegisterEditor(const EditorRequest<RegisterEntryForm>& request) override;
    void runInstitutionEditor(const EditorRequest<InstitutionForm>& request) override;
    void runAccountChangeEditor(const EditorRequest<AccountChangeForm>& request) override;
    void runDataSheet(const EditorRequest<DataSheetForm>& request) override;
    void runAbout() override;
    void beep(int frequency, int milliseconds) override;
    void quit() override;
    void postModify() override;
    void scheduleRecovery(int milliseconds) override;
    void startSnapshot(SnapshotJob& job) override;
    // The snapshot job's thread ended (its message came): closes it.
    void snapshotThreadEnded();
    // At the end of the run: calls off a snapshot job and waits for its thread.
    void finishSnapshot();
    std::optional<std::size_t> runFaultList(const ListRequest& request) override;
    std::optional<std::u16string> askSearchText(const std::u16string& initial) override;
    ArchiveListChoice runArchiveList(const ArchiveListRequest& request) override;
    ApprovalAnswer runApproval(const ApprovalRequest& request) override;
    std::optional<std::u16string> askSentTime(const std::u16string& now) override;
    std::optional<ReceiptAnswer> runReceipt(const ReceiptRequest& request) override;
    void openDocument(const std::filesystem::path& file) override;
    void runAccountHistory(const AccountHistoryRequest& request) override;
    ReconciliationChoice runReconciliation(ReconciliationPort& port) override;

private:
    int messageBoxW(const MessageBoxSpec& box, UINT buttons);
    // Runs a modal dialog with the list views brought up to date before and after.
    template <class Run>
    void modal(Run run);
    // The window the file dialogs and owned boxes belong to: a dialog that
    // opens them while it runs, else the main window.
    HWND owner() const;
    MainWindow& window_;
    HWND openDialog_ = nullptr;
    HANDLE snapshotThread_ = nullptr;
};

// An image list destroyed with its owner; the list views share it
// (LVS_SHAREIMAGELISTS) and leave it alone.
struct ImageListDeleter {
    void operator()(HIMAGELIST list) const {
        if (list != nullptr) ImageList_Destroy(list);
    }
};
using ImageListPtr = std::unique_ptr<std::remove_pointer_t<HIMAGELIST>, ImageListDeleter>;

class MainWindow {
public:
    MainWindow();

    // Registers the class and makes the window with its status bar, menu and
    // three tables, and shows it. Tells the user and returns false on failure.
    bool create(HINSTANCE instance);

    HINSTANCE instance = nullptr;
    HWND hwnd = nullptr;
    HMENU menu = nullptr;
    HWND statusBar = nullptr;
    RecordTables tables;  // owns the rows; the lists show them
    std::array<ListViewTable, kViewKindCount> lists;
    AppState state;
    Win32Shell shell;
    unsigned long statusSerial = 0;
    int dpi = 96;  // the DPI the window's pixel measures are scaled for

    static constexpr UINT_PTR kRecoveryTimer = 1;
    // Posted by the snapshot job's thread when it is over.
    static constexpr UINT kSnapshotDoneMessage = WM_APP + 1;

    static LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    // Brings the list views' row counts and the row-count text up to date.
    void refresh();

private:
    bool createTables(int width, bool maximized);
    void addColumns(ViewKind kind);
    ImageListPtr largeIcons_, smallIcons_;

    LRESULT handle(UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT onNotify(const NMHDR& header);
    void onSize(int width, int height);
    void onDpiChanged(int newDpi, const RECT& suggested);
};

// The registered message through which tests read menu states from inside
// the process (menus are local to their process under Wine).
UINT menuStateQueryMessage();
// The officer's working folder as policy or the per-machine install set it.
WorkingFolder managedWorkingFolder();
// Asks for a menu item's text (wParam: its id); the answer is a global atom.
UINT menuTextQueryMessage();

}  // namespace kovirant::win32
