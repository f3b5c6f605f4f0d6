// kovirant-cli: the console front end. Takes its arguments wide on Windows
// (Hungarian letters in paths survive) and writes through the console port.
#include <filesystem>
#include <string>
#include <vector>

#include "cli/cli_run.h"
#include "report/settings.h"
#include "util/console.h"

namespace {

int start(const std::vector<kovirant::cli::Argument>& args) {
    kovirant::cli::Io io;
    io.out = [](std::string_view s) { kovirant::writeConsole(kovirant::ConsoleStream::Output, s); };
    io.err = [](std::string_view s) { kovirant::writeConsole(kovirant::ConsoleStream::Error, s); };
    io.currentDirectory = kovirant::currentDirectory().value_or(std::filesystem::path("."));
    return kovirant::cli::run(args, io);
}

kovirant::cli::Argument argument(const std::filesystem::path& p) {
    const std::u8string text = p.u8string();
    return {std::string(text.begin(), text.end()), p};
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
#else
int main(int argc, char** argv) {
#endif
    std::vector<kovirant::cli::Argument> args;
    for (int i = 1; i < argc; ++i) args.push_back(argument(std::filesystem::path(argv[i])));
    return start(args);
}
