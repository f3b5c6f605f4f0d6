// Drives Kovirant.exe from outside as a user would: finds its windows, reads
// what they show, presses their buttons. Built for Windows, run under Wine.
#pragma once

#ifndef UNICODE
#define UNICODE
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace e2e {

// The results: every check prints a line; the run ends with the counts.
struct Results {
    int passed = 0;
    int failed = 0;
    void check(bool ok, const std::string& what);
    int finish();
};
extern Results results;

std::string utf8(const std::wstring& w);

// Polls until `done` holds or `ms` pass.
bool waitFor(const std::function<bool()>& done, int ms = 15000);

class App {
public:
    // Starts the program in `workDir`.
    // Starts the program as on a first run (the layout an earlier run kept
    // forgotten), or with `keepLayout` as the officer's next run.
    bool start(const std::wstring& exe, const std::wstring& workDir, bool keepLayout = false);
    bool running() const;
    DWORD exitCode() const;
    bool waitExit(int ms = 10000) const;
    void kill();

    HWND main() const { return main_; }
    HANDLE process() const { return pi_.hProcess; }
    HWND list(int kind) const { return lists_[kind]; }
    HWND statusBar() const { return status_; }

    // Waits until the program has handled its input and waits for more (a
    // modal box or dialog it opened is there by then).
    bool settle(int ms = 5000) const;
    // Posts a menu command; the program runs it in its own time.
    void command(int id) const;
    UINT menuState(int id) const;
    bool menuEnabled(int id) const { return (menuState(id) & (MF_GRAYED | MF_DISABLED)) == 0; }
    bool menuChecked(int id) const { return (menuState(id) & MF_CHECKED) != 0; }
    std::wstring menuText(int id) const;

    // A top-level dialog of the program (class #32770) whose caption is
    // `title` (any caption when empty).
    HWND waitDialog(const std::wstring& title = L"", int ms = 15000) const;
    bool noDialog() const;
    // A message box of the program whose text satisfies `match`.
    HWND waitMessage(const std::function<bool(const std::wstring&)>& match, int ms = 15000) const;
    // The text of a message box, and its icon's presence.
    static std::wstring messageText(HWND box);
    static void press(HWND dialog, int id);
    // Fills an open or save dialog's name field and presses OK.
    static void chooseFile(HWND fileDialog, const std::wstring& path);
    static void setText(HWND dialog, int id, const std::wstring& text);
    static std::wstring text(HWND dialog, int id);

    int rowCount(int kind) const;
    std::wstring cell(int kind, int row, int column) const;
    // The text of a cell of any list view of the program (a dialog's too).
    std::wstring itemText(HWND list, int row, int column) const;
    std::wstring statusText(int part) const;
    void selectRow(int kind, int row) const;
    // Clears every row's marks, then selects and focuses `row`.
    void selectOnlyRow(int kind, int row) const;
    // Selects and focuses an item of any list view of the program.
    void selectItem(HWND list, int item) const;
    // Clicks (once or twice) in the middle of a row's cell (its first by
    // default) with the mouse; returns where it clicked and how the window and
    // the cursor stood.
    std::string clickRow(int kind, int row, bool twice, int column = 0) const;
    // Where a cell of a table is on the screen.
    RECT cellRect(int kind, int row, int column) const;
    // Every cell of a table, rows joined by '\n' and cells by '|'.
    std::wstring tableText(int kind) const;

private:
    template <class T>
    T* remote(std::size_t bytes) const;
    PROCESS_INFORMATION pi_{};
    HWND main_ = nullptr;
    HWND lists_[3] = {};
    HWND status_ = nullptr;
    void* remoteBuffer_ = nullptr;
};

// Presses keys together with real input, as the accelerators need.
void pressKeys(const App& app, std::initializer_list<WORD> down);
// The same in a window of the program (a dialog), brought to the front first.
void pressKeys(HWND window, std::initializer_list<WORD> down);

// A protocol file of `lines` valid lines (no company numbers).
void writeProtocol(const std::wstring& file, int lines);
// Starts the program in `dir` and imports its "protocol.txt", the closing
// warning answered.
bool startAndImport(App& app, const std::wstring& exe, const std::wstring& dir);

// The control that has the focus in the thread of `window`.
HWND focusOf(HWND window);

// Saves the screen as a BMP file.
void screenshot(const std::wstring& path);

}  // namespace e2e
