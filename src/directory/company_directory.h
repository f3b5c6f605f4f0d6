// The company directory "Cegtar.csv": tax base number -> company number (and
// name), learnt from the reports the officer saves and reloads, and used to
// fill the company numbers that a protocol import leaves empty.
//
// The file is the officer's own, often kept in a spreadsheet: a table
// separated by ';', ',' or tabs (found from the file, as spreadsheets do; a
// "sep=" first line is honoured), in Windows-1250 or UTF-8 with or without a
// byte-order mark, RFC 4180 quotes, usually a header line, any number of
// columns. The program
// keeps the file's bytes: a rewrite after learning changes only the lines it
// learnt (in the file's own encoding and line end) and appends new ones;
// every other line (header, blank lines, comments, unreadable lines, extra
// columns) stays byte for byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "editing/rules.h"
#include "records/record_tables.h"
#include "util/tagged_slots.h"

namespace kovirant {

inline constexpr std::string_view kDirectoryFileName = "Cegtar.csv";
// The group-policy value that names a shared directory file instead.
inline constexpr std::string_view kDirectoryPolicyValue = "Cegtar";
inline constexpr std::string_view kDirectoryHeader = "Törzsszám;Cégszám;Cégnév";

// Foreign: a UTF-16 or UTF-32 file, which the directory neither reads nor writes.
enum class DirectoryEncoding { Windows1250, Utf8WithMark, Utf8, Foreign };

// The company-number limits an entry must meet to be filled in (the register
// editor's, from the settings' "maxtk" and "maxcf").
struct CompanyNumberLimits {
    int maxtk = 20;
    int maxcf = 18;
};

struct DirectoryEntry {
    DirectoryEntry(std::string_view taxNumber, std::string_view companyNumber, std::string name);
    std::string_view taxNumber() const { return {tax_, sizeof tax_}; }          // 8 digits
    std::string_view companyNumber() const { return {company_, sizeof company_}; }  // 10 digits
    void setCompanyNumber(std::string_view tenDigits);
    std::string name;  // as the file holds it: in the file's encoding, unquoted

private:
    friend class CompanyDirectory;
    static constexpr std::size_t kNewLine = static_cast<std::size_t>(-1);
    char tax_[kTaxBaseLength];
    char company_[kCompanyNumberLength];
    bool companyChanged_ = false;
    bool nameChanged_ = false;
    // The entry's record in the file (without its line end); kNewLine for an
    // entry learnt since the file was read.
    std::size_t begin_ = kNewLine;
    std::size_t length_ = 0;
};

// How learning treats a company the directory already knows.
enum class LearnMode {
    Replace,  // a saved report is the newer truth: its number replaces the known one
    AddOnly,  // a reloaded (older) report only adds companies the directory lacks
};

class CompanyDirectory {
public:
    // Reads the file's bytes. An entry whose company number the register
    // editor would refuse under `limits` is an unreadable line.
    static CompanyDirectory parse(std::string bytes, CompanyNumberLimits limits = {});
    // The file's bytes: what was read, with the learnt lines rewritten and the
    // new ones appended.
    std::string serialize() const;

    // The company number of a tax base number, if the directory knows it
    // (of a tax number on several lines: the last line's).
    std::optional<std::string_view> companyOf(std::string_view taxNumber) const;
    // Adds or updates an entry (the last line of its tax number); a new name
    // (Windows-1250) replaces the stored one only when it is not empty.
    // Returns true when anything changed.
    bool learn(std::string_view taxNumber, std::string_view companyNumber, std::string_view name,
               LearnMode mode = LearnMode::Replace);

    // Every entry line, in the file's order, then the learnt ones.
    std::size_t size() const { return entries_.size(); }
    std::size_t unreadableLines() const { return unreadable_; }
    // Tax numbers that stood on more than one line (the later line answers).
    std::size_t duplicates() const { return duplicates_; }
    const std::vector<DirectoryEntry>& entries() const { return entries_; }
    DirectoryEncoding encoding() const { return encoding_; }
    char separator() const { return separator_; }
    // Lines there are but none of them an entry, or an encoding the program
    // cannot write: a file never to be appended to.
    bool unintelligible() const {
        return encoding_ == DirectoryEncoding::Foreign || (entries_.empty() && unreadable_ > 0);
    }

private:
    std::string writtenNumber(std::string_view tenDigits) const;
    std::string text_;  // the file's bytes as read
    DirectoryEncoding encoding_ = DirectoryEncoding::Windows1250;
    char separator_ = ';';
    bool quoteNames_ = false;  // the file quotes every name
    std::string_view lineEnd_ = "\r\n";  // the file's first line end (CR in a file of CR-only ends)
    bool plainNumbers_ = false;     // the file writes company numbers as 10 plain digits
    std::size_t columns_ = 3;       // fields of a new line: the header's count
    std::vector<DirectoryEntry> entries_;
    // Open addressing by tax number: a slot holds the tax number as its tag
    // (so a probe reads no entry) and its entry's index + 1, 0 when free.
    using Slots = TaggedSlots<std::uint64_t, 32>;
    Slots slots_;
    // The slot of `tax`, made when it has none (then holding 0).
    std::uint64_t& slotFor(std::uint32_t tax);
    std::size_t unreadable_ = 0;
    std::size_t duplicates_ = 0;
    std::string renderChanged(const DirectoryEntry& e) const;
    std::string renderNew(const DirectoryEntry& e) const;
};

// A tax base number as the spreadsheet may have left it (blanks, lost
// leading zeros) made 8 digits; empty when it is not one.
std::string normalizeTaxNumber(std::string_view text);
// A company number with '-', '/' and blanks removed: its 10 digits, or 9
// digits whose leading zero a spreadsheet dropped made 10; empty otherwise.
std::string normalizeCompanyNumber(std::string_view text);
// "0109123456" -> "01-09-123456".
std::string formatCompanyNumber(std::string_view tenDigits);

std::filesystem::path directoryPath(const std::filesystem::path& workingFolder);

enum class DirectoryStatus { Read, Missing, Unreadable };
struct LoadedDirectory {
    DirectoryStatus status = DirectoryStatus::Missing;
    int errorCode = 0;
    CompanyDirectory directory;
};
LoadedDirectory loadDirectory(const std::filesystem::path& file, CompanyNumberLimits limits = {});
// Replaces the file all-or-nothing. Returns 0 or the system error code.
int saveDirectory(const std::filesystem::path& file, const CompanyDirectory& directory);

// The rows of each table to learn from: [from, rowCount).
struct LearnRows {
    PerKind<std::size_t> from{};
};

// Learns the rows `rows` names of the three tables with a well-formed company
// number (10 digits, area and form code within maxtk and maxcf) and an 8-digit
// tax base number; institution rows give their names. Returns the entries
// added or changed.
std::size_t learnFromTables(CompanyDirectory& directory, const RecordTables& tables, int maxtk, int maxcf,
                            LearnMode mode = LearnMode::Replace, const LearnRows& rows = {});

struct FillResult {
    std::size_t filled = 0;    // rows given a company number
    std::size_t missing = 0;   // rows of the two tables still without one
};
// Fills the empty company numbers of register and account-change rows whose
// tax base number the directory knows; never changes one already there.
FillResult fillCompanyNumbers(const CompanyDirectory& directory, RecordTables& tables);

}  // namespace kovirant
