// The port through which the commands reach the window layer.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "records/record_kinds.h"

namespace kovirant {

// Command ids of menu resource 102.
enum MenuId : int {
    IDM_EXIT = 40005,
    IDM_ABOUT = 40006,
    IDM_NEW = 40008,
    IDM_SAVE_REPORT = 40011,
    IDM_MODIFY = 40032,
    IDM_DELETE = 40033,
    IDM_LOAD_REPORT = 40034,
    IDM_VIEW_REGISTER = 40035,
    IDM_VIEW_INSTITUTION = 40036,
    IDM_DATA_SHEET = 40037,
    IDM_LOAD_APEH = 40038,
    IDM_VIEW_ACCOUNT_CHANGE = 40039,
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

class Shell {
public:
    virtual ~Shell() = default;

    virtual void showMessage(const MessageBoxSpec& box) = 0;
    // A question with Yes and No; true for Yes.
    virtual bool askYesNo(const MessageBoxSpec& box) = 0;
    virtual void enableMenuItem(int id, bool enabled) = 0;
    virtual void checkMenuItem(int id, bool checked) = 0;
    // Shows one table and hides the other two.
    virtual void showTable(ViewKind kind) = 0;
    virtual void setStatusText(int part, const std::u16string& text) = 0;
    // The row-count text of the status bar may be stale; bring it up to date.
    virtual void refreshRowCount() = 0;
    virtual std::optional<std::filesystem::path> chooseFile(const FileDialogSpec& spec) = 0;
    virtual void runEditor(ViewKind kind, EditorMode mode) = 0;
    virtual void runDataSheet() = 0;
    virtual void runAbout() = 0;
    virtual void beep(int frequency, int milliseconds) = 0;
    // Ends the message loop.
    virtual void quit() = 0;
    // Runs Modify after the current notification has been handled.
    virtual void postModify() = 0;
};

}  // namespace kovirant
