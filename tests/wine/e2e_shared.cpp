#include "e2e_shared.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "../../resources/resource.h"
#include "text/cp1250.h"

namespace e2e {

std::wstring exe, examples, work, shots;

std::string narrow(const std::wstring& w) {
    return kovirant::utf16ToCp1250(std::u16string(w.begin(), w.end()));
}

std::wstring path(const std::wstring& dir, const std::wstring& name) { return dir + L"\\" + name; }

namespace {

// The guide's pictures show the program as it opens on a 1366x768 screen: a
// main window of half the screen's width and three quarters of its height
// (684x560), its columns as wide as a first run makes them (the guide says how
// to widen one), and the program given time to finish drawing and to handle
// the input typed last.
constexpr int kPictureWidth = 684, kPictureHeight = 560;

void frameThePicture() {
    HWND main = FindWindowW(L"Kovirant", L"Kovirant");
    if (main == nullptr) return;
    RECT r{};
    GetWindowRect(main, &r);
    if (r.right - r.left != kPictureWidth || r.bottom - r.top != kPictureHeight)
        SetWindowPos(main, nullptr, 0, 0, kPictureWidth, kPictureHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    DWORD pid = 0;
    GetWindowThreadProcessId(main, &pid);
    if (HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, pid)) {
        WaitForInputIdle(process, 2000);
        CloseHandle(process);
    }
    RedrawWindow(main, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
    Sleep(400);  // what the program draws after idle (a dialog's first paint, a hint) lands
}

}  // namespace

void shot(const std::wstring& name) {
    frameThePicture();
    screenshot(path(shots, name + L".bmp"));
}

std::string readBytes(const std::wstring& file) {
    std::ifstream in(std::filesystem::path(file), std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void writeBytes(const std::wstring& file, const std::string& bytes) {
    std::ofstream out(std::filesystem::path(file), std::ios::binary);
    out << bytes;
}

std::wstring freshFolder(const std::wstring& name, bool withSettings) {
    const std::wstring dir = path(work, name);
    std::error_code ec;
    // The archive's copies are read-only, which Windows will not delete.
    for (auto it = std::filesystem::recursive_directory_iterator(std::filesystem::path(dir), ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_write, std::filesystem::perm_options::add, ec);
    ec.clear();
    std::filesystem::remove_all(std::filesystem::path(dir), ec);
    std::filesystem::create_directories(std::filesystem::path(dir), ec);
    if (withSettings) CopyFileW(path(examples, L"Kovirant.ini").c_str(), path(dir, L"Kovirant.ini").c_str(), FALSE);
    return dir;
}

void typeRegisterRow(HWND d, const std::wstring& tax, const std::wstring& accountMiddle, int code) {
    App::setText(d, IDE_REG_AREA_CODE, L"01");
    App::setText(d, IDE_REG_FORM_CODE, L"09");
    App::setText(d, IDE_REG_SERIAL, L"654321");
    App::setText(d, IDE_REG_TAX, tax);
    App::setText(d, IDE_REG_ACCOUNT1, L"11773016");
    App::setText(d, IDE_REG_ACCOUNT2, accountMiddle);
    App::setText(d, IDE_REG_ACCOUNT3, L"00000000");
    App::setText(d, IDE_REG_OPEN_YEAR, L"2006");
    App::setText(d, IDE_REG_OPEN_MONTH, L"07");
    App::setText(d, IDE_REG_OPEN_DAY, L"15");
    SendDlgItemMessageW(d, IDL_REG_CODE, LB_SETCURSEL, static_cast<WPARAM>(code), 0);
    App::press(d, IDB_REG_SAVE);
    waitFor([&] { return !IsWindow(d); }, 5000);
}

// Waits for a message box with `text`, checks it and presses `button`.
bool answer(App& app, const std::wstring& text, int button, const std::string& what,
            const std::wstring& shotName) {
    HWND box = app.waitDialog();
    std::wstring shown = box ? App::messageText(box) : L"";
    // The delete question names its row on a line of its own: the scenarios
    // check the question (the window scenario checks the line).
    if (text == kDeleteQuestion && shown.rfind(text + L"\nT\u00F6rzssz\u00E1m: ", 0) == 0) shown.resize(text.size());
    results.check(shown == text, what + ": \"" + narrow(shown) + "\"");
    if (!shotName.empty()) shot(shotName);
    if (box) App::press(box, button);
    waitFor([&] { return !IsWindow(box); }, 5000);
    return shown == text;
}

void saveExampleReport(App& app, const std::wstring& target, const std::string& saveWhat, const std::string& savedWhat) {
    app.command(IDM_LOAD_REPORT);
    openFile(app, L"Kovirant forr\u00E1s file megnyit\u00E1sa", path(examples, L"report.xml"), "report load");
    waitFor([&] { return app.menuEnabled(IDM_SAVE_REPORT); });
    app.command(IDM_SAVE_REPORT);
    openFile(app, L"Sz\u00E1mla ment\u00E9s file megad\u00E1sa", target, saveWhat);
    answer(app, L"A jelent\u00E9s sikeresen elk\u00E9sz\u00FClt", IDOK, savedWhat);
}

bool openFile(App& app, const std::wstring& title, const std::wstring& file, const std::string& what) {
    HWND dialog = app.waitDialog(title);
    results.check(dialog != nullptr, what + ": the dialog \"" + narrow(title) + "\" opens");
    if (!dialog) return false;
    App::chooseFile(dialog, file);
    waitFor([&] { return !IsWindow(dialog); }, 5000);
    return true;
}

}  // namespace e2e
