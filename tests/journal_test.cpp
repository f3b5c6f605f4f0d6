#include <gtest/gtest.h>

#include "records/undo_history.h"
#include "recovery/change_journal.h"
#include "test_support.h"

using namespace kovirant;

namespace {

// A journal of random commands (undo and redo among them), one record each,
// with the tables as each record left them.
struct Made {
    std::string bytes;
    std::vector<TableRows> after;  // after[0]: before the first record
};

Made makeJournal(unsigned seed, int commands) {
    const std::filesystem::path file = freshTempDir("journal") / "napl";
    std::mt19937 rng(seed);
    TestTables t;
    UndoHistory history;
    ChangeJournal journal;
    t.tables.addListener(&history);
    t.tables.addListener(&journal);
    EXPECT_EQ(journal.create(file, 7, 0), 0);
    Made made{{}, {tableRows(t.tables)}};
    for (int i = 0; i < commands; ++i) {
        const unsigned what = rng() % 10;
        if (what == 0) history.undo(t.tables);
        else if (what == 1) history.redo(t.tables);
        else {
            // Up to three changes in one command, so that a record (and an
            // undo of it) mixes appends with deletes and writes.
            history.begin("lépés");
            for (int n = 1 + static_cast<int>(rng() % 3); n > 0; --n) randomTableStep(rng, t.tables);
            history.end();
        }
        if (!journal.hasPending()) continue;
        EXPECT_EQ(journal.commit(made.after.size()), 0);
        made.after.push_back(tableRows(t.tables));
    }
    journal.close();
    made.bytes = readFile(file);
    EXPECT_EQ(made.bytes.size(), journal.size());
    return made;
}

// The tables the records give, replayed from empty ones in order.
TableRows replay(const JournalContents& j) {
    TestTables t;
    for (const JournalRecord& r : j.records) EXPECT_TRUE(applyJournalRecord(r.payload, t.tables));
    return tableRows(t.tables);
}

}  // namespace

TEST(Journal, ReplayedInOrderItGivesTheTablesOfEveryCommand) {
    for (unsigned seed = 1; seed <= 100; ++seed) {
        SCOPED_TRACE(seed);
        const Made made = makeJournal(seed, 30);
        const JournalContents j = parseJournal(made.bytes);
        ASSERT_EQ(j.status, JournalStatus::Read);
        EXPECT_EQ(j.generation, 7u);
        ASSERT_EQ(j.records.size() + 1, made.after.size());
        TestTables t;
        for (std::size_t i = 0; i < j.records.size(); ++i) {
            EXPECT_EQ(j.records[i].sequence, i + 1);
            ASSERT_TRUE(applyJournalRecord(j.records[i].payload, t.tables));
            ASSERT_EQ(tableRows(t.tables), made.after[i + 1]) << "record " << i + 1;
        }
    }
}

// A kill while a record is written leaves it torn at any byte: the records
// before it are read, it is left out, and nothing counts as damage.
TEST(Journal, CutAtEveryByteTheCompleteRecordsAreRead) {
    const Made made = makeJournal(11, 8);
    std::vector<std::size_t> ends{kJournalHeaderSize};
    const JournalContents whole = parseJournal(made.bytes);
    for (const JournalRecord& r : whole.records)
        ends.push_back(static_cast<std::size_t>(r.payload.data() - whole.bytes.data()) + r.payload.size() + 4);
    ASSERT_EQ(ends.back(), made.bytes.size());
    for (std::size_t cut = 0; cut <= made.bytes.size(); ++cut) {
        const JournalContents j = parseJournal(made.bytes.substr(0, cut));
        ASSERT_EQ(j.status, JournalStatus::Read) << cut;
        const std::size_t complete = cut < kJournalHeaderSize
                                         ? 0
                                         : static_cast<std::size_t>(std::upper_bound(ends.begin(), ends.end(), cut) -
                                                                    ends.begin() - 1);
        ASSERT_EQ(j.records.size(), complete) << cut;
        EXPECT_EQ(j.completeBytes, cut < kJournalHeaderSize ? 0 : ends[complete]) << cut;
        if (cut == ends[complete]) {
            EXPECT_EQ(replay(j), made.after[complete]) << cut;
        }
    }
}

// A changed byte, in a record's payload or its length: in the last record it
// is a torn end (told when the record was whole); in an earlier one it is
// damage, and the records before it are still read.
TEST(Journal, AFailingCheckIsDamageUnlessInTheLastRecord) {
    const Made made = makeJournal(5, 16);
    const JournalContents whole = parseJournal(made.bytes);
    ASSERT_GE(whole.records.size(), 3u);
    auto flipped = [&](std::size_t at) {
        std::string b = made.bytes;
        b[at] = static_cast<char>(b[at] ^ 0x20);
        return parseJournal(b);
    };
    const std::size_t n = whole.records.size();
    for (std::size_t i = 0; i < n; ++i) {
        const auto at = static_cast<std::size_t>(whole.records[i].payload.data() - whole.bytes.data());
        for (const std::size_t where : {at + whole.records[i].payload.size() / 2, at - journal_record::kHeadSize}) {
            SCOPED_TRACE(where - at);
            const JournalContents j = flipped(where);
            EXPECT_EQ(j.records.size(), i) << "record " << i;
            if (i + 1 == n) {
                EXPECT_EQ(j.status, JournalStatus::Read);
                EXPECT_TRUE(j.lastUnreadable);
            } else {
                EXPECT_EQ(j.status, JournalStatus::Damaged) << "record " << i;
                EXPECT_EQ(j.lostRecords, n - i);
            }
        }
    }
    EXPECT_EQ(flipped(10).status, JournalStatus::Damaged);  // the generation
    EXPECT_EQ(parseJournal("<?xml").status, JournalStatus::Damaged);
}
