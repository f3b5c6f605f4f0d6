// What the end-to-end scenarios share: the paths they were given and small
// file helpers.
#pragma once

#include <string>

#include "driver.h"

namespace e2e {

extern std::wstring exe, examples, work, shots;

std::string narrow(const std::wstring& w);  // to Windows-1250, as the checks print
std::wstring path(const std::wstring& dir, const std::wstring& name);
void shot(const std::wstring& name);
std::string readBytes(const std::wstring& file);
// A fresh work folder, with the example settings file or without one.
std::wstring freshFolder(const std::wstring& name, bool withSettings);

// Waits for a message box with `text`, checks it and presses `button`.
bool answer(App& app, const std::wstring& text, int button, const std::string& what,
            const std::wstring& shotName = L"");
// Waits for a file dialog titled `title` and chooses `file` in it.
bool openFile(App& app, const std::wstring& title, const std::wstring& file, const std::string& what);

void editorsAndRoad();
void mendedFaults();
void recovery();
void companyDirectory();
void checkAndSearch();
void typoWarnings();
void undoAndRedo();
void installedProgram();

}  // namespace e2e
