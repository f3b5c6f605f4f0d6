// The working folder a managed desktop sets: the policy value "Munkamappa"
// under HKLM, then HKCU "Software\Policies\Kovirant", then the per-machine
// installer's HKLM "Software\Kovirant\Munkamappa"; environment variables in
// them expanded, in a REG_SZ value too (the installer writes one with
// %USERPROFILE% in it). Without any of them the current directory, as always.
#include "app/working_folder.h"
#include "report/settings.h"
#include "win32/main_window.h"

namespace kovirant::win32 {
namespace {

std::optional<std::filesystem::path> registryFolder(HKEY root, const wchar_t* key) {
    DWORD bytes = 0;
    const DWORD flags = RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND;
    if (RegGetValueW(root, key, L"Munkamappa", flags, nullptr, nullptr, &bytes) != ERROR_SUCCESS || bytes < 2)
        return std::nullopt;
    std::wstring value(bytes / sizeof(wchar_t), L'\0');
    if (RegGetValueW(root, key, L"Munkamappa", flags, nullptr, value.data(), &bytes) != ERROR_SUCCESS)
        return std::nullopt;
    value.resize(wcsnlen(value.c_str(), value.size()));
    if (value.empty()) return std::nullopt;
    const DWORD needed = ExpandEnvironmentStringsW(value.c_str(), nullptr, 0);
    std::wstring expanded(needed, L'\0');
    if (needed == 0 || ExpandEnvironmentStringsW(value.c_str(), expanded.data(), needed) == 0) return std::filesystem::path(value);
    expanded.resize(wcsnlen(expanded.c_str(), expanded.size()));
    return std::filesystem::path(expanded);
}

}  // namespace

WorkingFolder managedWorkingFolder() {
    const std::optional<std::filesystem::path> configured[] = {
        registryFolder(HKEY_LOCAL_MACHINE, L"Software\\Policies\\Kovirant"),
        registryFolder(HKEY_CURRENT_USER, L"Software\\Policies\\Kovirant"),
        registryFolder(HKEY_LOCAL_MACHINE, L"Software\\Kovirant"),
    };
    return chooseWorkingFolder(configured, currentDirectory());
}

}  // namespace kovirant::win32
