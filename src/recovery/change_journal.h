// The recovery journal: the changes of the tables since the recovery file
// (the snapshot) was written, appended as they are made and flushed to the
// disk before the program takes its next input.
//
// The file: a header of 32 bytes ("KOVNAPLO", the chain's generation, the
// sequence number of the snapshot it builds on (0: empty tables), version,
// CRC-32), then records: payload length (u32), sequence number (u64), a
// CRC-32 of those two (so that a damaged length is told from a torn end),
// the payload, and a CRC-32 of all before it. Numbers are little-endian.
// (Version 1 records had no head check; such a file is still read.) A
// record's payload is one command's changes, in order:
//   Insert  kind first count row...   (a row: u32 length, cells each ended by NUL)
//   Remove  kind first count
//   Clear   kind
//   SetRow  kind row  row
//   SetCell kind row column  u32 length, text
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "records/record_tables.h"
#include "records/table_changes.h"
#include "util/os_file.h"

namespace kovirant {

inline constexpr std::string_view kJournalFileName = "Kovirant-visszaallitas.naplo";
std::filesystem::path journalPath(const std::filesystem::path& workingFolder);

// The file's header.
namespace journal_header {
inline constexpr std::size_t kMagic = 0, kGeneration = 8, kBaseSequence = 16, kVersion = 24, kCrc = 28;
inline constexpr std::size_t kSize = 32;
}  // namespace journal_header
// A record's head: its payload follows, then the CRC of head and payload.
namespace journal_record {
inline constexpr std::size_t kLength = 0, kSequence = 4, kHeadCrc = 12;
inline constexpr std::size_t kHeadSize = 16, kCrcSize = 4, kOverhead = kHeadSize + kCrcSize;
}  // namespace journal_record
inline constexpr std::size_t kJournalHeaderSize = journal_header::kSize;
inline constexpr std::uint32_t kJournalVersion = 2;

// Collects the tables' changes as the payload of the next record, and
// appends records to the journal file.
class ChangeJournal : public TableChangeListener {
public:
    // Rows appended at a table's end are copied lazily, all at once before
    // any other change (or the commit).
    void changing(const TableChange& change, const MemoryTable& table) override;
    void changed(const TableChange& change, const MemoryTable& table) override;

    // Whether changes were collected since the last commit or discard.
    bool hasPending() const;
    void discardPending();
    // Replaces what was collected by the whole tables as they are: a record
    // that stands on its own.
    void collectWholeTables(const RecordTables& tables);

    // Starts the file afresh: a header, and the next commit's record, written
    // beside it (kJournalTempSuffix) and moved over it only once both are on
    // the disk, so the records of the file it replaces stay until then.
    int create(const std::filesystem::path& file, std::uint64_t generation, std::uint64_t baseSequence);
    // Goes on with a file read at start-up, cut to its first `keep` bytes
    // (its complete records).
    int reopen(const std::filesystem::path& file, std::uint64_t keep);
    bool isOpen() const { return file_.isOpen(); }
    // Appends the collected changes as record `sequence` and flushes them to
    // the disk; the collection empties either way.
    int commit(std::uint64_t sequence);
    // Also a new journal not yet in place goes.
    void close();
    // Bytes in the file (header included).
    std::uint64_t size() const { return size_; }

private:
    void beginOp(std::uint8_t op, ViewKind kind);
    int putInPlace(int err);
    // Puts the table's rows inserted but not yet copied into the collection.
    void copyInserted(ViewKind kind);

    std::string pending_;
    // Rows inserted one after the other into a table (an import's, a
    // reload's) are copied only when another change of that table comes or
    // at the commit: until then no change touched them.
    struct Inserted {
        ViewKind kind = ViewRegister;
        const MemoryTable* table = nullptr;
        std::size_t first = 0;
        std::size_t count = 0;
    };
    std::array<Inserted, kViewKindCount> lazy_{};
    static void putInsertHead(std::string& out, const Inserted& rows);
    AppendFile file_;
    std::uint64_t size_ = 0;
    std::filesystem::path replacing_;  // the file a new journal written beside goes over at its first commit
};

// The name a new journal is written under beside the journal it replaces.
inline constexpr std::string_view kJournalTempSuffix = ".uj";

struct JournalRecord {
    std::uint64_t sequence = 0;
    std::string_view payload;
};

enum class JournalStatus {
    Missing,     // no file: no changes
    Read,        // its complete records read (a torn end left out)
    Damaged,     // not a journal, or records after a damaged one: the records before it are read
    Unreadable,  // there, but could not be read
};

struct JournalContents {
    JournalStatus status = JournalStatus::Missing;
    int errorCode = 0;
    std::uint32_t version = 0;
    std::uint64_t generation = 0;
    std::uint64_t baseSequence = 0;
    std::vector<JournalRecord> records;  // views into `bytes`; up to the damage, if any
    std::uint64_t completeBytes = 0;     // up to the end of the last record read
    std::size_t lostRecords = 0;         // Damaged: the damaged record and those found after it
    bool lastUnreadable = false;         // the last record was whole in length but failed its check
    std::string bytes;
};

// Splits a journal's bytes into records. What cannot be a record after the
// last whole one (a file cut short, zeros a file system left, garbage) is a
// torn end; a record that fails its check while whole records follow it, or
// a header that fails its own, is damage.
JournalContents parseJournal(std::string bytes);
// The same from the file; a file another process holds is tried again for a
// few seconds.
JournalContents readJournal(const std::filesystem::path& file);

// Makes one record's changes through the tables, as any change is made (so
// every listener of their changes is told), all or nothing. False when the payload does not fit them: damage,
// and the tables are as they were.
bool applyJournalRecord(std::string_view payload, RecordTables& tables);
// Whether a record holds the whole tables (it empties all three first): it
// stands on its own, whatever came before it.
bool holdsWholeTables(std::string_view payload);

// How long a journal another process holds is waited for.
inline constexpr int kHeldRetries = 30;
inline constexpr int kHeldRetryMs = 100;

}  // namespace kovirant
