// The account history: every row of every archived report, found by account
// number (both accounts of an account change) and by tax base number. It
// fills what earlier reports already said (a closing's opening date, a
// company number) and answers when an account was reported.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "archive/report_state.h"
#include "directory/company_directory.h"
#include "editing/row_check.h"
#include "records/record_tables.h"
#include "util/os_file.h"
#include "util/tagged_slots.h"

namespace kovirant {

struct ArchiveLogEntry;

// What became of a line's copy: only a copy whose SHA-256 is its line's is used.
enum class CopyState : std::uint8_t {
    Used,
    Changed,     // its SHA-256 is not its line's
    Missing,
    Unreadable,
    Repeated,    // an earlier line names the same copy (verify tells of it)
};

struct HistoryReport {
    std::string time;  // the log's "YYYY-MM-DD HH:MM:SS"
    std::string copy;  // inside the archive, '/'-separated (UTF-8)
    CopyState state = CopyState::Used;
};

// A report this program has just written and archived itself: its tables'
// rows as the writer wrote them (frozen copies, which later changes leave
// alone), its copy, the SHA-256 the archive step took of its bytes, and the
// copy's size and time then. A build that adds that copy takes its rows from
// here, when a reload of the copy gives each of them exactly, rather than
// reading the copy back and hashing it again.
using SavedTables = PerKind<std::shared_ptr<const MemoryTable>>;
struct SavedReport {
    std::filesystem::path copy;
    std::string sha256;
    std::uintmax_t size = 0;
    std::filesystem::file_time_type time{};
    SavedTables tables;
};
// The tables as they are now (taken when the report is written: the table
// may change before it is archived).
SavedTables frozenTables(const RecordTables& tables);
// The saved report of an archiving `copy` of `sha256`; nothing when the copy
// cannot be looked at.
std::shared_ptr<const SavedReport> savedReport(SavedTables tables, const std::filesystem::path& copy, std::string sha256);

struct HistoryRow {
    std::uint32_t report = 0;  // into reports()
    ViewKind table = ViewRegister;
    std::string code, company, tax, account, opening, closing;  // an account change: its new account's
    std::string originalAccount, originalOpening, originalClosing;
};

class AccountHistory {
public:
    // Reads the archive's log and every copy it names, once each; a copy
    // whose SHA-256 is not its line's, or that is missing or unreadable, is
    // not used and is named in copyWarnings(). `errorCode`: the log's, or
    // EFBIG for an archive of more rows than a history holds. The cache
    // beside the log (which holds only copies proven by their logged hash)
    // is used while the log and every copy's size and time are as they were
    // when it was made, and written anew after a build from the reports.
    // A log that only gained lines since a cache (or `previous`, a history
    // built earlier) was made adds just the reports those lines name, as a
    // layer over it; a log changed otherwise is built from the reports.
    // `saved`: a report this program archived, whose rows a build that adds
    // its copy may take from its tables. `settle`: whether a build that adds
    // a layer merges the newest layers and writes the cache before it
    // returns (a program that ends after its answer), or leaves that to
    // settled() (the window's, after the answer).
    enum class Settle { Now, Later };
    static AccountHistory build(const std::filesystem::path& archiveFolder, int& errorCode,
                                std::shared_ptr<const AccountHistory> previous = nullptr,
                                const std::shared_ptr<const SavedReport>& saved = nullptr, Settle settle = Settle::Now);
    // The history with what its build left for later done: its newest layers
    // merged as a build merges them (a history of the same answers), their
    // cache written; the history itself when nothing was left.
    static std::shared_ptr<const AccountHistory> settled(std::shared_ptr<const AccountHistory> history,
                                                         const std::filesystem::path& archiveFolder);
    bool unsettled() const { return unsettled_; }

    enum class Answer { Unknown, Known, Conflict };
    struct Value {
        Answer answer = Answer::Unknown;
        std::string_view text;  // in the history, valid as long as it is
    };
    // The opening date the history holds for an account under a tax number.
    Value opening(std::string_view account, std::string_view tax) const;
    // The company number the history holds for a tax number.
    Value company(std::string_view tax) const;
    // Both for many rows at once (the fill's): each step of every lookup
    // (the hash table's slot, the row it names, the row's cells) is asked of
    // the memory for all of them before any is used, so that they wait for
    // the memory together rather than one by one.
    struct Lookup {
        std::string_view account, tax;  // account: the opening's; tax: the company's (and the opening's)
        bool opening = false, company = false;
        Value openingFound, companyFound;
    };
    void lookUp(std::span<Lookup> batch) const;
    // Every row that holds the number (an account, or a tax base number;
    // separators allowed), oldest report first by its own time. A 16-digit
    // account finds its 24-digit form (eight zeros after it) and back; an
    // 11-digit tax number finds its tax base number (its first eight digits).
    std::vector<HistoryRow> rowsOf(std::string_view number) const;

    // The earliest report that holds a register or account-change row with
    // exactly these cells (the table's columns in order), if any; `hash`,
    // when given, is what prefetchHolding put in `hashes` for the same cells.
    std::optional<std::uint32_t> reportHolding(ViewKind kind, std::span<const std::string_view> cells) const;
    std::optional<std::uint32_t> reportHolding(ViewKind kind, std::span<const std::string_view> cells,
                                               std::uint64_t hash) const;
    // Asks the processor for the slots reportHolding reads for these rows,
    // all of them at once (the check asks some rows before their turn); puts
    // in `hashes` the hash it finds each row by.
    void prefetchHolding(ViewKind kind, std::span<const RowViews> rows, std::span<std::uint64_t> hashes) const;
    // Whether some layer has a slot of the hash's tag (else reportHolding finds nothing).
    bool mayHold(std::uint64_t hash) const;

    // Every account's last reported state, each account once, in no order:
    // the newest row that holds it (an account change closes its original
    // account and opens its new one); an opening date or company number that
    // row leaves empty, from the newest earlier row that has one. Views into
    // the history.
    struct AccountState {
        std::string_view account, tax, company, opening, closing;
    };
    void eachLastState(const std::function<void(const AccountState&)>& visit) const;

    const std::vector<HistoryReport>& reports() const { return reports_; }
    // A warning (Windows-1250) for each copy that was not used, but for repeated names.
    std::vector<std::string> copyWarnings() const;
    std::size_t rows() const { return rowCount(); }
    // The memory the history holds, for the figures of the benchmark.
    std::size_t bytes() const;
    // Whether it came from the cache rather than from the reports.
    bool fromCache() const { return fromCache_; }
    // How many copies this build read (the rest came from a cache or an earlier history).
    std::size_t copiesRead() const { return copiesRead_; }
    // What it was built from: the log's SHA-256 and each copy's size and
    // time. A history whose proof is the archive's now is current.
    const std::string& proof() const { return proof_; }
    static std::string proofOf(const std::filesystem::path& archiveFolder);

    AccountHistory() = default;
    AccountHistory(AccountHistory&&) = default;
    AccountHistory& operator=(AccountHistory&&) = default;

    // A hash index of references to rows, found by a text each reference
    // gives: a slot holds the reference + 1 under four bits of the key's
    // hash, 0 when empty; and a view of one (its slots may be a cache's).
    using KeyIndex = TaggedSlots<std::uint32_t, 4>;
    using KeyIndexView = KeyIndex::View;

private:
    // A row's stored cells follow each other in the pool, each after its length.
    struct StoredRow {
        std::uint32_t at = 0;
        std::uint32_t report = 0;
        std::uint8_t table = 0;
    };
    // The layer a row is in (this history, or one below it), and the row's place there.
    const AccountHistory& layerOf(std::uint32_t row) const;
    const StoredRow& rowOf(std::uint32_t row) const;
    std::uint32_t nextOfAccount(std::uint32_t ref) const;
    std::uint32_t nextOfTax(std::uint32_t row) const;
    std::uint32_t rowCount() const { return first_ + static_cast<std::uint32_t>(rows_.size()); }
    // The first entry for a key in an index: from the newest layer down
    // (a chain's head), or from the oldest up (the earliest row).
    template <class KeyOf>
    std::uint32_t newest(KeyIndexView AccountHistory::*index, std::uint64_t hash, std::string_view key,
                         const KeyOf& keyOf) const;
    template <class KeyOf>
    std::uint32_t earliest(KeyIndexView AccountHistory::*index, std::uint64_t hash, std::string_view key,
                           const KeyOf& keyOf) const;
    std::size_t layers() const { return below_ ? below_->layers() + 1 : 1; }
    void reserve(std::size_t rows);
    // A row's keys' hashes: its stored cells (not an institution's), its tax number, its accounts.
    struct Keys {
        std::uint64_t cells = 0, tax = 0, account[2] = {0, 0};
        bool hasTax = false, hasAccount[2] = {false, false};
    };
    // One table of a report as its copy gave it, before it joins a layer:
    // the rows' stored cells as the pool holds them, where each row's start, their keys.
    struct StagedTable {
        std::vector<char> pool;
        std::vector<std::uint32_t> at;
        std::vector<Keys> keys;
        bool overflow = false;  // more than a layer's pool can hold
    };
    struct StagedReport {
        PerKind<StagedTable> tables;
        CopyState state = CopyState::Used;
    };
    // A report's copy read straight into its staged tables, when its
    // SHA-256 is `sha256` (mapped: read where the system maps it).
    static StagedReport readCopy(const std::filesystem::path& copy, const std::string& sha256, bool mapped);
    // A saved report's rows as a reload of its copy gives them, when `entry`
    // names its copy as it was archived; nothing when it does not, or when a
    // cell is one the round trip might change (the copy is read then).
    static std::optional<StagedReport> stageSaved(const SavedReport& saved, const std::filesystem::path& folder,
                                                  const ArchiveLogEntry& entry);
    // Whether the copy read back gives those rows (the rule stageSaved keeps, asserted in a debug build).
    static bool readsAsCopy(const StagedReport& staged, const std::filesystem::path& copy, const std::string& sha256);
    static void stage(StagedTable& into, ViewKind kind, std::span<const std::string> cells);
    // The same from the cells as the tables would hand them on (up to a NUL, at most a field's length).
    static void stage(StagedTable& into, ViewKind kind, std::span<const std::string_view> cells);
    // A report's table, every row (its pool taken over by a layer that has
    // less room); false when the history cannot hold them.
    bool addTable(std::uint32_t report, ViewKind kind, StagedTable& table);
    // Where the chains of a table's keys (per row: its tax number, its
    // accounts) go on in the layers below, its rows numbered from `first`
    // (0: none holds the key; nothing without a layer below).
    std::vector<std::uint32_t> headsBelow(const StagedTable& table, std::uint32_t first, std::uint32_t accounts) const;
    void bind();
    // The layers above `keep` (all: none kept) made one layer: their rows as
    // they are, their keys indexed anew. False when one layer cannot hold them.
    bool mergeOver(std::shared_ptr<const AccountHistory> keep);
    static std::optional<AccountHistory> merged(const AccountHistory& top, std::shared_ptr<const AccountHistory> keep);
    // The merges a build makes after adding a layer; false when one layer cannot hold them.
    bool mergeAll();
    // The layer the newest ones are to be merged over (below_: none are).
    std::shared_ptr<const AccountHistory> mergedOver() const;
    // A slot's reference + 1; the slot of a reference + 1 under a key's hash.
    static std::uint32_t refIn(std::uint32_t slot);
    static std::uint32_t slotFor(std::uint64_t hash, std::uint32_t ref);
    // A row's cell by its place among the stored ones, and by its table's column.
    std::string_view storedCell(std::uint32_t row, std::size_t index) const;
    std::string_view cellOfColumn(std::uint32_t row, std::size_t column) const;
    std::string_view accountOf(std::uint32_t ref) const;  // ref: row * 2 + (0 the account, 1 the original)
    std::string_view openingOf(std::uint32_t ref) const;
    std::string_view cellsOf(std::uint32_t row) const;
    // A register or account-change row's cells as cellsOf gives a stored one (in a buffer of the thread's).
    static std::string_view holdingKey(ViewKind kind, std::span<const std::string_view> cells);
    Value opening(std::string_view account, std::uint64_t accountHash, std::string_view tax) const;
    Value company(std::string_view tax, std::uint64_t taxHash) const;
    HistoryRow rowAt(std::uint32_t row) const;
    // The history a cache `file` holds, with the layers below it: `proof`
    // its proof (empty: a layer below, any), `reports` how many reports it
    // holds (a layer below: at most).
    bool readCache(const std::filesystem::path& folder, const std::filesystem::path& file, std::string_view proof,
                   std::size_t reports, std::size_t depth = 0);
    bool holdsTogether() const;
    void writeCache(const std::filesystem::path& folder) const;
    // The reports of entries[from...], read from their copies; false when the history cannot hold them.
    bool addReports(const std::filesystem::path& folder, const std::vector<ArchiveLogEntry>& entries, std::size_t from,
                    std::uintmax_t copiesBytes, const SavedReport* saved);
    // A cache beside the log of a part the log begins with, the one of the most reports.
    static std::shared_ptr<const AccountHistory> partCache(const std::filesystem::path& folder, std::string_view log,
                                                           const std::vector<ArchiveLogEntry>& entries);

    // What a build from the reports holds.
    struct Built {
        std::vector<char> pool;
        std::vector<StoredRow> rows;
        std::vector<std::uint32_t> nextByAccount, nextByTax;
        KeyIndex accounts, taxes, cells;
    } built_;
    std::shared_ptr<const MappedFile> mapped_;  // what a history from the cache is read from, in place
    std::vector<std::uint64_t> copied_;          // or, from a network drive, a copy of the cache

    // The history, in built_ or in the mapped cache.
    std::vector<HistoryReport> reports_;
    std::string_view pool_;
    std::span<const StoredRow> rows_;
    std::span<const std::uint32_t> nextByAccount_;  // per ref: the next ref + 1 of the same account
    std::span<const std::uint32_t> nextByTax_;      // per row: the next row + 1 of the same tax number
    KeyIndexView accounts_, taxes_, cells_;          // cells_: a row's stored cells -> the earliest such row
    std::string proof_;
    bool fromCache_ = false;
    std::size_t copiesRead_ = 0;
    // The rows of earlier reports, numbered before this history's own
    // (first_ of them): a layer a cache or an earlier build holds.
    std::shared_ptr<const AccountHistory> below_;
    std::uint32_t first_ = 0;
    std::uint64_t covered_ = 0;   // the log's bytes the history holds the reports of
    // What of the layer is on the disk, no part of its answers (so set on a
    // history already handed out, by settled()): the cache file that holds
    // it, once written or read, and its checksum; whether the merges and the
    // cache its build left are still to come.
    mutable std::string cacheName_;
    mutable std::uint64_t cacheSum_ = 0;
    mutable bool unsettled_ = false;
};

// The check's view of the history: a row already reported, a conflict
// that kept the fill from a cell the row leaves empty.
// What the road says of the history's reports, for the check: each one's
// state (nothing: the log names no such report), and the rows of the
// accepted reports that came after the first one still on its road.
struct HistoryRoads {
    std::vector<std::optional<ReportState>> states;  // per reports()
    std::set<std::string> acceptedRows;              // as rowKey() gives them
};
std::shared_ptr<const HistoryRoads> historyRoads(const std::filesystem::path& archiveFolder, const AccountHistory& history);

// With `roads`, a row whose only holder is a report on its road but not
// accepted is noted too (a report "mentve", as every one of a log from
// before the road, is not: the check says of it what it always said).
decltype(CheckOptions::history) historyForCheck(const AccountHistory& history,
                                               const std::shared_ptr<const HistoryRoads>& roads = nullptr);
// The check's request for what historyForCheck's look-up will read, a few rows ahead.
decltype(CheckOptions::historyAhead) historyAheadForCheck(const AccountHistory& history);

struct HistoryFill {
    std::size_t companies = 0;  // company numbers filled from the history
    std::size_t openings = 0;   // opening dates of closings filled
};
// Fills a register row's missing opening date (a closing's) and a missing
// company number the directory does not know (register and account-change
// rows); a conflict in the history fills nothing. Where there is a second
// core, `history` and `directory` are looked up from two threads at once.
HistoryFill fillFromHistory(const AccountHistory& history, RecordTables& tables, const CompanyDirectory* directory);

// The fill both front ends make ("Cégszámok kitöltése a cégtárból", the
// console program's run): company numbers from the directory, then what the
// archived reports said. Either may be missing.
struct CompanyFill {
    FillResult directory;  // from the directory, and the rows left without a company number
    HistoryFill history;   // from the archived reports
    std::size_t stillMissing() const { return directory.missing - history.companies; }
};
CompanyFill fillCompanies(RecordTables& tables, const CompanyDirectory* directory, const AccountHistory* history);

}  // namespace kovirant
