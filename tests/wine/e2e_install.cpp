// The installed program: started from its install folder (the shortcut's
// working folder), it shows its version information and saves the data sheet
// beside itself. Run by scripts/msi-test.sh with the installed exe and its
// folder; KOVIRANT_EXPECTED_VERSION names the version the package gave.
#include <cstdlib>
#include <vector>

#include "../../resources/resource.h"
#include "e2e_shared.h"

namespace e2e {
namespace {

std::wstring versionString(const std::wstring& file, const wchar_t* name) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &ignored);
    if (size == 0) return L"";
    std::vector<char> data(size);
    if (!GetFileVersionInfoW(file.c_str(), 0, size, data.data())) return L"";
    wchar_t* value = nullptr;
    UINT length = 0;
    const std::wstring path = std::wstring(L"\\StringFileInfo\\040E04B0\\") + name;
    if (!VerQueryValueW(data.data(), path.c_str(), reinterpret_cast<void**>(&value), &length) || !value) return L"";
    return value;
}

}  // namespace

void installedProgram() {
    const char* expected = std::getenv("KOVIRANT_EXPECTED_VERSION");
    const std::wstring version = versionString(exe, L"ProductVersion");
    results.check(expected && narrow(version) == expected,
                  "the exe's version information gives " + narrow(version));
    results.check(versionString(exe, L"CompanyName") == L"Tervaly Kft." &&
                      versionString(exe, L"ProductName") == L"Kovirant" &&
                      versionString(exe, L"FileVersion") == version,
                  "company, product name and file version in the version information");

    App app;
    if (!app.start(exe, work)) {
        results.check(false, "the installed program starts in its folder");
        return;
    }
    app.command(IDM_DATA_SHEET);
    HWND d = app.waitDialog(L"Adatlap");
    if (d) {
        const std::pair<int, const wchar_t*> fields[] = {
            {IDE_DS_UEMAIL, L"kovacs@bank.example"}, {IDE_DS_CJSZ1, L"1"},         {IDE_DS_CJSZ2, L"10"},
            {IDE_DS_CJSZ3, L"41234"},                {IDE_DS_ADOSZAM, L"10537914"}, {IDE_DS_CNEV, L"Pr\u00F3ba Bank Zrt."},
            {IDE_DS_IRSZ, L"1051"},                  {IDE_DS_HELY, L"Budapest"},   {IDE_DS_TERULET, L"N\u00E1dor"},
            {IDE_DS_HAZSZAM, L"16"},
        };
        for (const auto& [id, text] : fields) App::setText(d, id, text);
        SendDlgItemMessageW(d, IDL_DS_JELLEG, LB_SETCURSEL, 68, 0);
        App::press(d, IDOK);
        waitFor([&] { return !IsWindow(d); }, 5000);
    }
    results.check(d && !readBytes(path(work, L"Kovirant.ini")).empty(),
                  "the data sheet is saved as Kovirant.ini in the install folder");
    app.command(IDM_EXIT);
    if (!app.waitExit()) app.kill();
}

}  // namespace e2e
