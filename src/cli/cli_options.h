// The console program's command line.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kovirant::cli {

// One argument: its UTF-8 text for the options, and the path it names (wide
// on Windows, so Hungarian letters survive).
struct Argument {
    std::string text;
    std::filesystem::path path;
};

enum class Format { Text, Json };

struct Options {
    std::vector<std::filesystem::path> inputs;
    std::optional<std::filesystem::path> output;
    std::optional<std::filesystem::path> settings;
    std::optional<std::filesystem::path> directory;
    bool fill = true;
    bool learn = true;
    bool skipFaultyLines = false;
    bool checkOnly = false;
    Format format = Format::Text;
    bool strict = false;
    std::optional<std::int32_t> date;              // --date: the day the deadline is judged on (days since 1970-01-01)
    std::optional<std::filesystem::path> archive;  // --archive DIR
    bool noArchive = false;                        // --no-archive
    bool verifyArchive = false;                    // --verify-archive [DIR]
    std::optional<std::filesystem::path> anchors;  // --anchors FILE: the exported anchors --verify-archive checks
    bool archiveAdd = false;                       // --archive-add: the inputs are earlier reports to add
    std::optional<std::string> history;            // --history NUMBER
    std::optional<std::filesystem::path> log;      // --log FILE: the run's output appended there too
    std::optional<std::filesystem::path> reconcile;  // --reconcile LIST: the registry's list compared
    std::optional<std::filesystem::path> accounts;   // --accounts FILE: the bank's account list it is compared with
    // The report's road after the save: one step per run, the report named
    // by a prefix of its SHA-256.
    std::optional<std::string> approve;             // --approve PREFIX
    std::optional<std::string> returnReport;        // --return PREFIX
    std::optional<std::string> reason;              // --reason TEXT (with --return)
    std::optional<std::string> markSent;            // --mark-sent PREFIX
    std::optional<std::string> at;                  // --at "YYYY-MM-DD HH:MM" (with --mark-sent)
    std::optional<std::string> receiptFor;          // --receipt PREFIX FILE
    std::optional<std::filesystem::path> receipt;
    std::optional<bool> accepted;                   // --accepted | --refused
    std::optional<std::string> note;                // --note TEXT (with --receipt)
    bool archiveStatus = false;                     // --archive-status
    bool roadStep() const { return approve || returnReport || markSent || receiptFor; }
    bool help = false;
    bool version = false;
};

// The options, or the one-line reason they are wrong (UTF-8).
struct ParsedOptions {
    Options options;
    std::string error;  // empty: fine
};
ParsedOptions parseOptions(const std::vector<Argument>& args);

// The --help text (UTF-8).
std::string usageText();

}  // namespace kovirant::cli
