#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "archive/account_history.h"
#include "archive/report_archive.h"
#include "archive/report_state.h"
#include "report/report_writer.h"
#include "test_support.h"

using namespace kovirant;

namespace {

const std::string kTax = "12345676";
const std::string kFirst = "111111110000000000000000", kSecond = "222222220000000000000000";

// Archives a report of `rows`; its SHA-256.
std::string archiveRows(const std::filesystem::path& dir, const std::vector<RegisterEntry>& rows, int second) {
    TestTables t;
    for (const RegisterEntry& r : rows) t.tables.appendRow(ViewRegister, r);
    const auto report = dir / "jelentes.xml";
    EXPECT_EQ(WriteReport(report, t.tables, SettingsFile(dir / "Kovirant.ini")).status, ReportStatus::Written);
    const ArchiveOutcome o = archiveReport(dir / "Archivum", report, {kActionSave, {rows.size(), 0, 0}, "teszt", ""},
                                           noonOf("2026-12-01") + second);
    EXPECT_TRUE(o.ok()) << archiveText(o);
    return o.sha256;
}

std::set<std::string> cacheFiles(const std::filesystem::path& folder) {
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        if (e.path().extension() == ".cache") names.insert(e.path().filename().string());
    return names;
}

// The answers of a history of the two reports below: the first opens the
// first account (company 0109123456), the second closes it with another
// opening date and opens the second, both under another company number
// (each conflict is one only where the older report is reached).
void expectBothReports(const AccountHistory& h) {
    EXPECT_EQ(h.rows(), 3u);
    EXPECT_EQ(h.opening(kFirst, kTax).answer, AccountHistory::Answer::Conflict);  // the older report's date too
    EXPECT_EQ(h.opening(kSecond, kTax).text, "2026-11-03");
    EXPECT_EQ(h.company(kTax).answer, AccountHistory::Answer::Conflict);
    const std::vector<HistoryRow> rows = h.rowsOf(kTax);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].opening, "2026-11-02");
    EXPECT_EQ(rows[1].closing, "2026-12-01");
    const std::string_view again[] = {"0109654321", kTax, kSecond, "2026-11-03", "", "Bejegyzés"};
    EXPECT_EQ(h.reportHolding(ViewRegister, again), std::optional<std::uint32_t>(1));
    std::map<std::string, std::string> last;  // account -> its closing and opening
    h.eachLastState([&](const AccountHistory::AccountState& s) {
        EXPECT_TRUE(last.emplace(std::string(s.account), std::string(s.closing) + "/" + std::string(s.opening)).second);
    });
    EXPECT_EQ(last, (std::map<std::string, std::string>{{kFirst, "2026-12-01/2026-11-01"}, {kSecond, "/2026-11-03"}}));
}

}  // namespace

// A report added to an archive with a history (its cache, or one this
// program holds) is read alone: the rows of the older reports come from
// the history, answered with the new ones as one; a later start reads it
// all from the caches; lines of a report's state read no copy and write
// no cache.
TEST(AccountHistory, ANewReportIsAddedToTheHistoryAlone) {
    for (const bool held : {false, true}) {
        SCOPED_TRACE(held ? "the history held" : "the cache");
        const auto dir = freshTempDir("history-layers");
        const auto folder = dir / "Archivum";
        archiveRows(dir, {registerRow("0109123456", kTax, kFirst, "2026-11-02")}, 0);
        int err = 0;
        auto first = std::make_shared<const AccountHistory>(AccountHistory::build(folder, err));
        ASSERT_EQ(first->copiesRead(), 1u);
        const std::string sha = archiveRows(dir, {registerRow("0109654321", kTax, kFirst, "2026-11-01", "2026-12-01", "Törlés"),
                                                  registerRow("0109654321", kTax, kSecond, "2026-11-03")},
                                            1);
        const AccountHistory grown = AccountHistory::build(folder, err, held ? first : nullptr);
        ASSERT_EQ(err, 0);
        EXPECT_EQ(grown.copiesRead(), 1u);
        EXPECT_FALSE(grown.fromCache());
        EXPECT_EQ(grown.proof(), AccountHistory::proofOf(folder));
        expectBothReports(grown);
        first.reset();
        const AccountHistory later = AccountHistory::build(folder, err);
        EXPECT_TRUE(later.fromCache());
        expectBothReports(later);

        const std::set<std::string> caches = cacheFiles(folder);
        RoadStep sent;
        sent.to = ReportState::Sent;
        sent.prefix = sha;
        sent.program = "teszt";
        ASSERT_TRUE(moveReport(folder, sent, noonOf("2026-12-02")).ok());
        const AccountHistory afterState = AccountHistory::build(folder, err);
        EXPECT_EQ(afterState.copiesRead(), 0u);
        EXPECT_EQ(afterState.proof(), AccountHistory::proofOf(folder));
        EXPECT_EQ(cacheFiles(folder), caches);
        expectBothReports(afterState);
    }
}

// A log whose older lines changed is never answered from the layers made
// of it: the history is built again from the reports the log names now.
TEST(AccountHistory, AnOlderLineChangedRebuildsTheLayeredHistory) {
    const struct {
        const char* what;
        std::function<std::string(const std::string&)> edit;
        std::size_t copies;
        AccountHistory::Answer firstOpening;
    } cases[] = {
        {"the first report's line removed",
         [](const std::string& log) {
             const std::size_t second = log.find('\n') + 1;
             return log.substr(0, second) + log.substr(log.find('\n', second) + 1);
         },
         1, AccountHistory::Answer::Known},
        {"the first report's line rewritten",
         [](const std::string& log) {
             std::string edited = log;
             const std::size_t at = edited.find("teszt");
             edited.replace(at, 5, "TESZT");
             return edited;
         },
         2, AccountHistory::Answer::Conflict},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto dir = freshTempDir("history-layers-edited");
        const auto folder = dir / "Archivum";
        archiveRows(dir, {registerRow("0109123456", kTax, kFirst, "2026-11-02")}, 0);
        int err = 0;
        AccountHistory::build(folder, err);
        archiveRows(dir, {registerRow("0109654321", kTax, kFirst, "2026-11-01", "2026-12-01", "Törlés"),
                          registerRow("0109654321", kTax, kSecond, "2026-11-03")},
                    1);
        ASSERT_EQ(AccountHistory::build(folder, err).copiesRead(), 1u);  // a layer over the first report's cache
        const auto log = folder / std::string(kArchiveLogName);
        std::filesystem::permissions(log, std::filesystem::perms::owner_write, std::filesystem::perm_options::add);
        writeFile(log, c.edit(readFile(log)));
        const AccountHistory h = AccountHistory::build(folder, err);
        ASSERT_EQ(err, 0);
        EXPECT_EQ(h.copiesRead(), c.copies);
        EXPECT_EQ(h.opening(kFirst, kTax).answer, c.firstOpening);
        EXPECT_EQ(h.opening(kSecond, kTax).text, "2026-11-03");
        EXPECT_EQ(h.rows(), c.copies + 1);
    }
}

// Report after report added alone, by the history held and from the caches
// in turn, past the layers a history keeps apart (they are merged): every
// answer stays that of all the reports.
TEST(AccountHistory, ReportAfterReportIsAddedAlone) {
    const auto dir = freshTempDir("history-layers-many");
    const auto folder = dir / "Archivum";
    auto accountOf = [](int k) { return std::to_string(10000000 + k) + "0000000000000000"; };
    std::shared_ptr<const AccountHistory> held;
    for (int k = 0; k < 12; ++k) {
        SCOPED_TRACE(k);
        // Each report opens an account of its own and reports the first one again.
        archiveRows(dir, {registerRow("0109123456", kTax, accountOf(0), "2026-11-02"),
                          registerRow("0109123456", kTax, accountOf(k), "2026-11-02")},
                    k);
        int err = 0;
        held = std::make_shared<const AccountHistory>(AccountHistory::build(folder, err, k % 2 ? held : nullptr));
        ASSERT_EQ(err, 0);
        EXPECT_EQ(held->copiesRead(), 1u);
        EXPECT_EQ(held->rows(), 2u * (k + 1));
        EXPECT_EQ(held->rowsOf(accountOf(0)).size(), 2u * (k + 1) - static_cast<std::size_t>(k));
        EXPECT_EQ(held->opening(accountOf(k), kTax).text, "2026-11-02");
        EXPECT_EQ(held->company(kTax).text, "0109123456");
        const std::string firstAccount = accountOf(0);
        const std::string_view first[] = {"0109123456", kTax, firstAccount, "2026-11-02", "", "Bejegyzés"};
        EXPECT_EQ(held->reportHolding(ViewRegister, first), std::optional<std::uint32_t>(0));
        std::size_t accounts = 0;
        held->eachLastState([&](const AccountHistory::AccountState&) { ++accounts; });
        EXPECT_EQ(accounts, static_cast<std::size_t>(k == 0 ? 1 : k + 1));
    }
}

namespace {

// Every answer a history gives of the numbers and rows asked, as text.
std::vector<std::string> answersOf(const AccountHistory& h, const std::vector<std::string>& accounts,
                                   const std::vector<std::string>& taxes, const TableRows& rows) {
    std::vector<std::string> out;
    auto value = [](const AccountHistory::Value& v) {
        return std::to_string(static_cast<int>(v.answer)) + ":" + std::string(v.text);
    };
    auto rowText = [](const HistoryRow& r) {
        return std::to_string(r.report) + "/" + std::to_string(r.table) + "/" + r.code + "/" + r.company + "/" + r.tax + "/" +
               r.account + "/" + r.opening + "/" + r.closing + "/" + r.originalAccount + "/" + r.originalOpening + "/" +
               r.originalClosing;
    };
    std::vector<std::string> numbers = taxes;
    for (const std::string& a : accounts) numbers.insert(numbers.end(), {a, a.substr(0, 16)});
    for (const std::string& n : numbers)
        for (const HistoryRow& r : h.rowsOf(n)) out.push_back(n + " " + rowText(r));
    std::vector<AccountHistory::Lookup> batch;
    for (const std::string& t : taxes) {
        out.push_back(t + " " + value(h.company(t)));
        for (const std::string& a : accounts) {
            out.push_back(a + " " + t + " " + value(h.opening(a, t)));
            batch.push_back({a, t, true, true, {}, {}});
        }
    }
    h.lookUp(batch);
    for (const AccountHistory::Lookup& l : batch) out.push_back(value(l.openingFound) + " " + value(l.companyFound));
    for (ViewKind kind : {ViewRegister, ViewAccountChange})
        for (const std::vector<std::string>& row : rows[kind]) {
            const std::vector<std::string_view> cells(row.begin(), row.end());
            const std::optional<std::uint32_t> holder = h.reportHolding(kind, cells);
            out.push_back(holder ? std::to_string(*holder) : "-");
        }
    std::vector<std::string> states;
    h.eachLastState([&](const AccountHistory::AccountState& s) {
        states.push_back(std::string(s.account) + "/" + std::string(s.tax) + "/" + std::string(s.company) + "/" +
                         std::string(s.opening) + "/" + std::string(s.closing));
    });
    std::sort(states.begin(), states.end());
    out.insert(out.end(), states.begin(), states.end());
    return out;
}

}  // namespace

// Reports of every kind and size added one by one, by the history held
// and from the caches in turn, through every merge of its layers (made by
// the build, or after its answer): each answer is the one of a history
// built whole from the same archive, before those merges too.
TEST(AccountHistory, ALayeredHistoryAnswersAsOneBuiltWhole) {
    const auto dir = freshTempDir("history-layers-whole");
    const auto folder = dir / "Archivum";
    std::vector<std::string> accounts, taxes;
    for (int i = 0; i < 12; ++i) accounts.push_back(std::to_string(30000000 + i * 7) + "0000000000000000");
    for (int i = 0; i < 4; ++i) taxes.push_back(std::to_string(12345670 + i));
    TableRows all;
    std::shared_ptr<const AccountHistory> held;
    unsigned seed = 7;
    auto next = [&seed](unsigned n) { return (seed = seed * 1103515245u + 12345u) / 65536u % n; };
    for (int k = 0; k < 14; ++k) {
        SCOPED_TRACE(k);
        TestTables t;
        for (unsigned r = 0, n = 1 + static_cast<unsigned>(k * 7 % 11); r < n; ++r) {
            const std::string tax = taxes[next(4)], company = "01091234" + std::to_string(10 + next(3));
            const std::string day = "2026-11-" + std::to_string(10 + next(3));
            if (next(4) == 0) {
                t.tables.appendRow(ViewAccountChange, AccountChangeEntry{tax, company, accounts[next(12)], day, "2026-12-01",
                                                                         accounts[next(12)], next(2) ? day : "", ""});
            } else {
                t.tables.appendRow(ViewRegister, registerRow(company, tax, accounts[next(12)],
                                                             next(3) ? day : "", next(4) ? "" : "2026-12-01"));
            }
        }
        if (k % 5 == 2) {
            InstitutionEntry inst{"Bank", "0110041234", taxes[0], "1000", "Budapest", "Fő", "utca", "1", "11773017"};
            inst[InstitutionCol::operationCode] = "Bejegyzés";
            t.tables.appendRow(ViewInstitution, inst);
        }
        const TableRows rows = tableRows(t.tables);
        for (ViewKind kind : kAllKinds) all[kind].insert(all[kind].end(), rows[kind].begin(), rows[kind].end());
        const auto report = dir / "jelentes.xml";
        ASSERT_EQ(WriteReport(report, t.tables, SettingsFile(dir / "Kovirant.ini")).status, ReportStatus::Written);
        ASSERT_TRUE(archiveReport(folder, report, {kActionSave, {rows[0].size(), 0, 0}, "teszt", ""}, noonOf("2026-12-01") + k)
                        .ok());
        int err = 0;
        // Every other build leaves its merges and cache for after its answer (as the window's).
        const auto settle = k % 2 ? AccountHistory::Settle::Later : AccountHistory::Settle::Now;
        held = std::make_shared<const AccountHistory>(AccountHistory::build(folder, err, k % 3 ? held : nullptr, nullptr, settle));
        ASSERT_EQ(err, 0);
        EXPECT_EQ(held->copiesRead(), 1u);
        const auto unsettled = held;
        held = AccountHistory::settled(held, folder);
        EXPECT_FALSE(held->unsettled());
        // The same archive without its caches.
        const auto whole = freshTempDir("history-layers-whole-copy") / "Archivum";
        for (const auto& e : std::filesystem::recursive_directory_iterator(folder)) {
            const auto to = whole / std::filesystem::relative(e.path(), folder);
            if (e.is_directory()) std::filesystem::create_directories(to);
            else if (e.path().extension() != ".cache") std::filesystem::copy_file(e.path(), to);
        }
        const AccountHistory built = AccountHistory::build(whole, err);
        ASSERT_EQ(err, 0);
        ASSERT_EQ(built.copiesRead(), static_cast<std::size_t>(k + 1));
        EXPECT_EQ(answersOf(*held, accounts, taxes, all), answersOf(built, accounts, taxes, all));
        EXPECT_EQ(answersOf(*unsettled, accounts, taxes, all), answersOf(built, accounts, taxes, all));
    }
}

// The check's look-up of a row already reported gives the same warnings with
// the rows' hashes made ahead, a batch at a time (the last one short), as
// without.
TEST(HistoryLayers, TheCheckFindsTheReportedRowsWithTheirHashesMadeAhead) {
    const auto dir = freshTempDir("history-ahead");
    auto row = [](std::size_t i) {
        return registerRow("0109123456", kTax, "11111111" + std::string(14, '0') + std::to_string(10 + i), "2026-11-02");
    };
    std::vector<RegisterEntry> sent;
    std::set<std::uint32_t> reported;
    TestTables month;
    for (std::size_t i = 0; i < 70; ++i) {
        month.tables.appendRow(ViewRegister, row(i));
        if (i % 7 == 3) sent.push_back(row(i)), reported.insert(static_cast<std::uint32_t>(i));
    }
    archiveRows(dir, sent, 0);
    int err = 0;
    const AccountHistory h = AccountHistory::build(dir / "Archivum", err);
    ASSERT_EQ(err, 0);
    CheckOptions options;
    options.history = historyForCheck(h);
    const RowCheck alone = checkAllRows(month.tables, 20, 18, options);
    options.historyAhead = historyAheadForCheck(h);
    const RowCheck ahead = checkAllRows(month.tables, 20, 18, options);
    std::set<std::uint32_t> found;
    for (const RowWarning& w : ahead.warnings)
        if (w.what == WarningKind::AlreadyReported) found.insert(w.row);
    EXPECT_EQ(found, reported);
    ASSERT_EQ(alone.warnings.size(), ahead.warnings.size());
    for (std::size_t i = 0; i < alone.warnings.size(); ++i)
        EXPECT_EQ(warningText(alone, alone.warnings[i]), warningText(ahead, ahead.warnings[i]));
}

namespace {

// Every row the history holds of any number in the tables' cells, each cell of it.
std::string rowsOfCells(const AccountHistory& h, const RecordTables& tables) {
    std::string out;
    for (ViewKind kind : kAllKinds)
        for (std::size_t r = 0; r < tables.table(kind).rowCount(); ++r)
            for (std::size_t c = 0; c < columnCount(kind); ++c) {
                const std::size_t length = reportLengthOf(columnsOf(kind)[c].report.length);  // as the report holds it
                for (const HistoryRow& row : h.rowsOf(tables.cell(kind, r, c).substr(0, length)))
                    for (const std::string* cell : {&row.code, &row.company, &row.tax, &row.account, &row.opening, &row.closing,
                                                    &row.originalAccount, &row.originalOpening, &row.originalClosing})
                        out += *cell + "|";
            }
    return out;
}

}  // namespace

// A report the program saved and archived comes into the history from the
// tables it was written from only where a reload of its copy gives every
// row's stored cells back exactly: then its rows are the ones its copy read
// back gives. A row whose cells might come
// back otherwise has the copy read (seen here by a copy overwritten with
// bytes of its size and time, which only a read of it notices).
TEST(HistoryLayers, ASavedReportsRowsComeFromItsTablesOnlyAsItsCopyGivesThem) {
    const std::string acc = "111111112222222233333333", acc2 = "444444445555555566666666";
    InstitutionEntry bank{"Bank & <Társa> \"Zrt\"", "0110041234", "11773017", "1000", "Budapest", "Fő", "utca", "1", "11773017"};
    bank[InstitutionCol::operationCode] = "Bejegyzés";
    auto changed = [&](std::string company, std::string newAccount) {
        return AccountChangeEntry{kTax, std::move(company), acc, "2026-11-02", "2026-12-01", std::move(newAccount), "2026-12-01", ""};
    };
    struct Case {
        const char* what;
        std::vector<RegisterEntry> rows;
        std::vector<AccountChangeEntry> changes;
        std::vector<InstitutionEntry> institutions;
        bool fromTables;
    };
    InstitutionEntry noCompany = bank;
    noCompany[InstitutionCol::companyNumber] = "";
    const Case cases[] = {
        {"plain rows of every kind", {registerRow("0109123456", kTax, acc, "2026-11-02", "", "Bejegyzés"),
                                      registerRow("0109123456", kTax, acc2, "", "2026-12-01", "Törlés")},
         {changed("0109123456", acc2), changed("", acc2)}, {bank}, true},
        {"cells cut to the report's length", {registerRow("01091234567", "123456789", acc + "12", "2026-11-02x")}, {}, {}, true},
        {"a blank in an attribute", {registerRow("0109123456", kTax, acc, "2026-11-02", "", "Bejegy zés")}, {}, {}, true},
        {"a blank in a word", {registerRow("0109123456", kTax, "11111111 2222", "2026-11-02")}, {}, {}, false},
        {"a markup character", {registerRow("0109123456", kTax, acc, "2026-11-02", "", "B&j")}, {}, {}, false},
        {"a quote", {registerRow("0109123456", "1234\"678", acc, "2026-11-02")}, {}, {}, false},
        {"a tab", {registerRow("0109123456", kTax, acc, "2026\t11-02")}, {}, {}, false},
        {"a control character", {registerRow("0109123456", kTax, acc, "2026-11-02", "", "Bej\x01")}, {}, {}, false},
        {"a character ISO-8859-2 holds elsewhere", {registerRow("0109123456", kTax, acc, "2026-11-02", "", "\x8A")}, {}, {}, false},
        {"a company number left out", {}, {changed("01091234", acc2)}, {}, false},
        {"a row not read back", {}, {}, {noCompany}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto dir = freshTempDir("history-saved"), other = freshTempDir("history-saved-copy");
        TestTables t;
        for (const RegisterEntry& r : c.rows) t.tables.appendRow(ViewRegister, r);
        for (const AccountChangeEntry& r : c.changes) t.tables.appendRow(ViewAccountChange, r);
        for (const InstitutionEntry& r : c.institutions) t.tables.appendRow(ViewInstitution, r);
        ASSERT_EQ(WriteReport(dir / "jelentes.xml", t.tables, SettingsFile(dir / "Kovirant.ini")).status, ReportStatus::Written);
        SavedTables written = frozenTables(t.tables);
        t.tables.appendRow(ViewRegister, registerRow("0109999999", kTax, acc2, "2026-11-09"));  // a change after the save
        const ArchiveOutcome o = archiveReport(dir / "Archivum", dir / "jelentes.xml",
                                               {kActionSave, {c.rows.size(), 0, 0}, "teszt", ""}, noonOf("2026-12-01"));
        ASSERT_TRUE(o.ok()) << archiveText(o);
        // The same archive elsewhere (every file's time kept), read from its copy.
        for (const auto& e : std::filesystem::recursive_directory_iterator(dir / "Archivum")) {
            const auto to = other / "Archivum" / std::filesystem::relative(e.path(), dir / "Archivum");
            if (e.is_directory()) std::filesystem::create_directories(to);
            else std::filesystem::copy_file(e.path(), to), std::filesystem::last_write_time(to, e.last_write_time());
        }
        int err = 0;
        const AccountHistory fromCopy = AccountHistory::build(other / "Archivum", err);
        ASSERT_EQ(err, 0);
        ASSERT_TRUE(fromCopy.copyWarnings().empty());
        const auto time = std::filesystem::last_write_time(o.copy);
        std::filesystem::permissions(o.copy, std::filesystem::perms::owner_write, std::filesystem::perm_options::add);
        writeFile(o.copy, std::string(std::filesystem::file_size(o.copy), ' '));
        std::filesystem::last_write_time(o.copy, time);
        const AccountHistory saved = AccountHistory::build(dir / "Archivum", err, nullptr,
                                                           savedReport(std::move(written), o.copy, o.sha256));
        ASSERT_EQ(err, 0);
        EXPECT_EQ(saved.copyWarnings().empty(), c.fromTables);
        if (c.fromTables) {
            EXPECT_NE(rowsOfCells(fromCopy, t.tables), "");
            EXPECT_EQ(rowsOfCells(saved, t.tables), rowsOfCells(fromCopy, t.tables));
        }
    }
}
