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
void writeBytes(const std::wstring& file, const std::string& bytes);
// A fresh work folder, with the example settings file or without one.
std::wstring freshFolder(const std::wstring& name, bool withSettings);

// Texts more than one scenario waits for.
inline constexpr wchar_t kRegisterCaption[] =
    L"C\u00E9gjegyz\u00E9k szerkeszt\u00E9se (C\u00E9g sz\u00E1mlasz\u00E1m\u00E1nak nyit\u00E1si/z\u00E1r\u00E1si adatai)";
// The file dialog "Egyeztetés a cégjegyzékkel..." opens first, and a
// registry list of one account no report holds.
inline constexpr wchar_t kRegistryListTitle[] =
    L"A c\u00E9gjegyz\u00E9k sz\u00E1mlalist\u00E1j\u00E1nak megnyit\u00E1sa";
inline constexpr char kOneAccountList[] = "01-09-123456 12345676 11111111-22222222-33333333 2020-01-01 - 2020-01-02 -\r\n";
inline constexpr wchar_t kDeleteQuestion[] = L"Biztosan t\u00F6rli a sort?";
inline constexpr wchar_t kCompanyWarning[] =
    L"A jelent\u00E9s k\u00E9sz\u00EDt\u00E9se el\u0151tt ne felejtse el a c\u00E9gsz\u00E1mokat megadni!";

// Types a valid register row (company 01-09-654321, opening 2006-07-15) into
// the open register editor and saves it.
void typeRegisterRow(HWND editor, const std::wstring& tax, const std::wstring& accountMiddle, int code);

// Waits for a message box with `text`, checks it and presses `button`.
bool answer(App& app, const std::wstring& text, int button, const std::string& what,
            const std::wstring& shotName = L"");
// Waits for a file dialog titled `title` and chooses `file` in it.
bool openFile(App& app, const std::wstring& title, const std::wstring& file, const std::string& what);
// Loads the example report and saves it as `target`, its success message answered.
void saveExampleReport(App& app, const std::wstring& target, const std::string& saveWhat = "report save",
                       const std::string& savedWhat = "the success message");

void editorsAndRoad();
void mendedFaults();
void recovery();
void recoveryJournal();
void companyDirectory();
void checkAndSearch();
void typoWarnings();
void undoAndRedo();
void archiveAndHistory();
// "Egyeztetés a cégjegyzékkel..." over the archive in `dir`, the register table holding an archived report.
void reconcileInWindow(App& app, const std::wstring& dir);
void installedProgram();
// The report's road, before and after another officer's approval.
void roadSaveForApproval();
void roadSendAndReceipt();
void windowAndKeyboard();
void screenReaderNames();

}  // namespace e2e
