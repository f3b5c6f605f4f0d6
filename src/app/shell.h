// The port through which the commands reach the window layer.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "editing/account_change_editor.h"
#include "editing/institution_editor.h"
#include "editing/register_entry_editor.h"
#include "records/record_kinds.h"
#include "report/data_sheet_keys.h"

namespace kovirant {

struct SnapshotJob;

// Command ids of menu resource 102.
enum MenuId : int {
    kCmdExit = 40005,
    kCmdAbout = 40006,
    kCmdNew = 40008,
    kCmdSaveReport = 40011,
    kCmdModify = 40032,
    kCmdDelete = 40033,
    kCmdLoadReport = 40034,
    kCmdViewRegister = 40035,
    kCmdViewInstitution = 40036,
    kCmdDataSheet = 40037,
    kCmdLoadApeh = 40038,
    kCmdViewAccountChange = 40039,
    // Added later.
    kCmdFillFromDirectory = 40040,
    kCmdCheckRows = 40041,
    kCmdSearch = 40042,
    kCmdSearchNext = 40043,
    kCmdUndo = 40046,
    kCmdRedo = 40047,
    kCmdEarlierReports = 40048,
    kCmdAccountHistory = 40049,
    kCmdReconcile = 40050,
    kCmdCheckNext = 40055,
};

// The "Nézet" menu: each view command and the table it shows.
struct ViewCommand {
    int id;
    ViewKind kind;
};
inline constexpr ViewCommand kViewCommands[] = {
    {kCmdViewRegister, ViewRegister},
    {kCmdViewInstitution, ViewInstitution},
    {kCmdViewAccountChange, ViewAccountChange},
};

enum class MessageIcon { Information, Warning, Error, Question };

enum class EditorMode { New, Modify };

// A message box. Texts are Unicode here; the core's Windows-1250 texts are
// converted on the way.
struct MessageBoxSpec {
    std::u16string text;
    std::u16string caption;
    MessageIcon icon = MessageIcon::Information;
    bool ownedByMainWindow = false;
    bool defaultNo = false;  // a question whose Yes throws rows away: Enter answers No
};

struct FileFilter {
    std::u16string description;
    std::u16string pattern;
};

struct FileDialogSpec {
    bool save = false;
    std::u16string title;
    std::vector<FileFilter> filters;
    int filterIndex = 1;                      // 1-based
    std::u16string defaultExtension;
    std::filesystem::path initialDirectory;   // empty: the system's choice
    std::filesystem::path initialName;
};

// What an editing dialog is run with: the form it shows when it opens, and
// the save of its fields, which gives the message to show when the dialog
// must stay open, or nothing when it ends.
template <class Form>
struct EditorRequest {
    EditorMode mode = EditorMode::New;
    Form initial{};
    std::function<std::optional<EditorMessage>(const Form&)> save;
};

// A virtual list of `count` lines under a line of text: the faulty rows,
// the archive's reports, an account's history.
struct ListRequest {
    std::u16string countText;
    std::vector<std::u16string> headers;
    std::vector<int> widths;  // pixels at 96 dpi, one per header; empty: the fault list's
    std::vector<int> rightAligned;  // the columns of numbers
    std::size_t count = 0;
    std::size_t focusLine = 0;  // the line selected and shown when the list opens
    std::function<std::u16string(std::size_t line, int column)> text;
};

// What the officer did in "Korábbi jelentések": closed it, asked to add
// earlier reports, to load the copy of the line chosen, or to take its
// report a step on its road (approve it, mark it sent, attach the
// registry's receipt, open the receipt attached).
struct ArchiveListChoice {
    enum class Action { Close, Add, Load, Approve, MarkSent, Receipt, OpenReceipt } action = Action::Close;
    std::size_t line = 0;
};

// The road's steps a line of "Korábbi jelentések" allows (its buttons).
enum ArchiveLineAction : unsigned {
    kLineApprove = 1,
    kLineMarkSent = 2,
    kLineReceipt = 4,
    kLineOpenReceipt = 8,
};
struct ArchiveListRequest : ListRequest {
    std::function<unsigned(std::size_t line)> actions;  // ArchiveLineAction bits; unset: none
};

// "Jóváhagyás": what the approver must see before approving or returning.
struct ApprovalRequest {
    std::u16string report;  // the report's line: its file, time and SHA-256
    std::u16string review;  // rows per table, the check's findings, the difference (lines of text)
};
struct ApprovalAnswer {
    enum class Action { Cancel, Approve, Return } action = Action::Cancel;
    std::u16string reason;  // Return: never empty
};

// "Tértivevény": the receipt chosen, and the reports it may belong to.
struct ReceiptRequest {
    std::u16string file;
    std::vector<std::u16string> reports;
    std::size_t proposed = 0;  // the one its bytes name, else the line selected
};
struct ReceiptAnswer {
    std::size_t report = 0;  // into the request's reports
    bool accepted = true;
    std::u16string note;
};

// "Számlatörténet": the number typed is looked up, and the rows found shown.
struct AccountHistoryRequest {
    std::vector<std::u16string> headers;
    std::vector<int> widths;
    std::function<ListRequest(const std::u16string& number)> lookup;
};

// "Egyeztetés a cégjegyzékkel": what its window shows (the lists compared,
// the counts, the category choices and the lines of the one chosen) and
// what its buttons ask of the command while it is open.
struct ReconciliationView {
    std::u16string files;      // the lists compared, or what to choose first
    std::u16string countText;  // lines, accounts, unreadable lines; differences per category
    std::vector<std::u16string> choices;  // the categories to show, each with its count
    std::size_t choice = 0;
    ListRequest list;          // the lines of the category chosen
    bool compared = false;     // a registry's list was read and compared
};

class ReconciliationPort {
public:
    virtual ~ReconciliationPort() = default;
    virtual const ReconciliationView& view() const = 0;
    // Asks for the registry's list (the bank's own account list) and compares
    // again; a file that cannot be read is said and the view stays.
    virtual void chooseRegistryList() = 0;
    virtual void chooseBankList() = 0;
    virtual void showChoice(std::size_t choice) = 0;
    // "Mentés...": asks for a file and writes the whole difference list.
    virtual void saveList() = 0;
};

// How the reconciliation window ended: closed, or "Javasolt sorok
// felvétele" with the lines of the list chosen (none: every line shown).
struct ReconciliationChoice {
    bool append = false;
    std::vector<std::size_t> lines;
};

class Shell {
public:
    virtual ~Shell() = default;

    virtual void showMessage(const MessageBoxSpec& box) = 0;
    // A question with Yes and No; true for Yes.
    virtual bool askYesNo(const MessageBoxSpec& box) = 0;
    virtual void enableMenuItem(int id, bool enabled) = 0;
    virtual void checkMenuItem(int id, bool checked) = 0;
    // Replaces a menu item's text (its state stays).
    virtual void setMenuText(int id, const std::u16string& text) = 0;
    // Shows one table and hides the other two.
    virtual void showTable(ViewKind kind) = 0;
    virtual void setStatusText(int part, const std::u16string& text) = 0;
    virtual std::optional<std::filesystem::path> chooseFile(const FileDialogSpec& request) = 0;
    // The same, several files at once; none when cancelled.
    virtual std::vector<std::filesystem::path> chooseFiles(const FileDialogSpec& request) = 0;
    // The modal dialogs on data: each shows `initial`, calls `save` on its
    // save button and ends when that gives no message.
    virtual void runRegisterEditor(const EditorRequest<RegisterEntryForm>& request) = 0;
    virtual void runInstitutionEditor(const EditorRequest<InstitutionForm>& request) = 0;
    virtual void runAccountChangeEditor(const EditorRequest<AccountChangeForm>& request) = 0;
    virtual void runDataSheet(const EditorRequest<DataSheetForm>& request) = 0;
    virtual void runAbout() = 0;
    virtual void beep(int frequency, int milliseconds) = 0;
    // Ends the message loop.
    virtual void quit() = 0;
    // Runs Modify after the current notification has been handled.
    virtual void postModify() = 0;
    // Shows the faulty rows; gives the line the officer jumps to, if any.
    virtual std::optional<std::size_t> runFaultList(const ListRequest& request) = 0;
    // Lists the archive's reports until the officer closes it or chooses.
    virtual ArchiveListChoice runArchiveList(const ArchiveListRequest& request) = 0;
    // Shows a report to approve; the approver's answer.
    virtual ApprovalAnswer runApproval(const ApprovalRequest& request) = 0;
    // Asks when the report was sent ("YYYY-MM-DD HH:MM", `now` offered); nothing when cancelled.
    virtual std::optional<std::u16string> askSentTime(const std::u16string& now) = 0;
    // Asks whose receipt it is, whether it accepts or refuses, and a note; nothing when cancelled.
    virtual std::optional<ReceiptAnswer> runReceipt(const ReceiptRequest& request) = 0;
    // Opens a file with the program the system has for it (a receipt: an e-mail, a PDF).
    virtual void openDocument(const std::filesystem::path& file) = 0;
    // Asks for numbers and lists their history until the officer closes it.
    virtual void runAccountHistory(const AccountHistoryRequest& request) = 0;
    // Shows the reconciliation until the officer closes it or asks for the proposals.
    virtual ReconciliationChoice runReconciliation(ReconciliationPort& port) = 0;
    // Asks for the text to search for; nothing when cancelled.
    virtual std::optional<std::u16string> askSearchText(const std::u16string& initial) = 0;
    // Has writePendingRecovery run once the program has been idle this long.
    virtual void scheduleRecovery(int milliseconds) = 0;
    // Runs job.run() on another thread, then snapshotJobDone on this one.
    virtual void startSnapshot(SnapshotJob& job) = 0;
};

inline constexpr std::string_view kProgramCaption = "Kovirant";

// A message box of the core's Windows-1250 texts.
MessageBoxSpec messageBox(std::string_view text, std::string_view caption, MessageIcon icon, bool owned);

// Shows a message of the core's Windows-1250 text (owned: above the dialog open, else the main window).
void notice(Shell& shell, std::string_view text, MessageIcon icon, bool owned = true,
            std::string_view caption = kProgramCaption);

// The core's Windows-1250 text as the shell shows it.
std::u16string shellText(std::string_view cp1250);

}  // namespace kovirant
