// The company directory "Cegtar.csv": tax base number -> company number (and
// name), learnt from the reports the officer saves and reloads, and used to
// fill the company numbers that a protocol import leaves empty.
//
// The file is a semicolon-separated table that a Hungarian spreadsheet opens
// by double-click: Windows-1250 (UTF-8 with a byte-order mark is read too),
// RFC 4180 quotes, a header line. Lines that cannot be read are kept as they
// are and written back in their place.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "records/record_tables.h"

namespace kovirant {

inline constexpr std::string_view kDirectoryFileName = "Cegtar.csv";
inline constexpr std::string_view kDirectoryHeader = "Törzsszám;Cégszám;Cégnév";

struct DirectoryEntry {
    DirectoryEntry(std::string_view taxNumber, std::string_view companyNumber, std::string name);
    std::string_view taxNumber() const { return {tax_, sizeof tax_}; }          // 8 digits
    std::string_view companyNumber() const { return {company_, sizeof company_}; }  // 10 digits
    void setCompanyNumber(std::string_view tenDigits);
    std::string name;

private:
    char tax_[8];
    char company_[10];
};

class CompanyDirectory {
public:
    // Reads the file's text (Windows-1250, or UTF-8 after a byte-order mark).
    static CompanyDirectory parse(std::string_view bytes);
    // The file's text: the header, then every line in its place.
    std::string serialize() const;

    // The company number of a tax base number, if the directory knows it.
    std::optional<std::string_view> companyOf(std::string_view taxNumber) const;
    // Adds or updates an entry; a new name replaces the stored one only when
    // it is not empty. Returns true when anything changed.
    bool learn(std::string_view taxNumber, std::string_view companyNumber, std::string_view name);

    std::size_t size() const { return entries_.size(); }
    std::size_t unreadableLines() const { return unreadable_; }
    // Tax numbers that stood on more than one line (the later line won).
    std::size_t duplicates() const { return duplicates_; }
    const std::vector<DirectoryEntry>& entries() const { return entries_; }

private:
    std::string header_;  // the file's first line when it is no entry
    // Unreadable lines as they were, each with the number of entries before it.
    std::vector<std::pair<std::size_t, std::string>> raw_;
    std::vector<DirectoryEntry> entries_;
    // Open addressing by tax number: a slot holds (tax + 1) << 32 | entry
    // index, 0 when free; at most half the slots are used.
    std::vector<std::uint64_t> slots_;
    // The slot of `tax`: its entry's, or the free one where it would go.
    std::size_t slotOf(std::uint32_t tax) const;
    // The entry index of `tax`, adding `index` for it when it has none.
    std::pair<std::size_t, bool> insert(std::uint32_t tax, std::size_t index);
    std::size_t unreadable_ = 0;
    std::size_t duplicates_ = 0;
};

// A tax base number as the spreadsheet may have left it (blanks, lost
// leading zeros) made 8 digits; empty when it is not one.
std::string normalizeTaxNumber(std::string_view text);
// A company number with '-', '/' and blanks removed and lost leading zeros
// restored, 10 digits; empty when it is not one.
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
LoadedDirectory loadDirectory(const std::filesystem::path& file);
// Replaces the file all-or-nothing. Returns 0 or the system error code.
int saveDirectory(const std::filesystem::path& file, const CompanyDirectory& directory);

// Learns every row of the three tables with a well-formed company number
// (10 digits, area and form code within maxtk and maxcf) and an 8-digit tax
// base number; institution rows give their names. Returns the entries
// added or changed.
std::size_t learnFromTables(CompanyDirectory& directory, const RecordTables& tables, int maxtk, int maxcf);

struct FillResult {
    std::size_t filled = 0;    // rows given a company number
    std::size_t missing = 0;   // rows of the two tables still without one
};
// Fills the empty company numbers of register and account-change rows whose
// tax base number the directory knows; never changes one already there.
FillResult fillCompanyNumbers(const CompanyDirectory& directory, RecordTables& tables);

}  // namespace kovirant
