#include "e2e_shared.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "text/cp1250.h"

namespace e2e {

std::wstring exe, examples, work, shots;

std::string narrow(const std::wstring& w) {
    return kovirant::utf16ToCp1250(std::u16string(w.begin(), w.end()));
}

std::wstring path(const std::wstring& dir, const std::wstring& name) { return dir + L"\\" + name; }

void shot(const std::wstring& name) { screenshot(path(shots, name + L".bmp")); }

std::string readBytes(const std::wstring& file) {
    std::ifstream in(std::filesystem::path(file), std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::wstring freshFolder(const std::wstring& name, bool withSettings) {
    const std::wstring dir = path(work, name);
    std::error_code ec;
    std::filesystem::remove_all(std::filesystem::path(dir), ec);
    std::filesystem::create_directories(std::filesystem::path(dir), ec);
    if (withSettings) CopyFileW(path(examples, L"Kovirant.ini").c_str(), path(dir, L"Kovirant.ini").c_str(), FALSE);
    return dir;
}

}  // namespace e2e
