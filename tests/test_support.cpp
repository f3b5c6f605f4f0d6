#include "test_support.h"

#include <fstream>
#include <sstream>
#include <unistd.h>

namespace kovirant {

std::filesystem::path freshTempDir(const std::string& name) {
    auto dir = std::filesystem::temp_directory_path() / ("kovirant-test-" + std::to_string(::getpid())) / name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

std::string readFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void writeFile(const std::filesystem::path& p, const std::string& bytes) {
    std::ofstream out(p, std::ios::binary);
    out << bytes;
}

}  // namespace kovirant
