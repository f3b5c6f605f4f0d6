#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>

#include "app/archive_commands.h"
#include "app/commands.h"
#include "archive/account_history.h"
#include "archive/history_layout.h"
#include "archive/report_archive.h"
#include "report/report_writer.h"
#include "text/cp1250.h"
#include "fake_shell.h"
#include "test_support.h"
#include "util/file_io.h"
#include "util/file_lock.h"
#include "util/os_file.h"
#include "util/sha256.h"
#include "util/string_hash.h"

using namespace kovirant;

// The published test vectors, and a file of several pieces against sha256sum.
TEST(Sha256, PublishedVectorsAndAFileAsSha256sumSeesIt) {
    EXPECT_EQ(hexOf(sha256("")), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(hexOf(sha256("abc")), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(hexOf(sha256("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(hexOf(sha256(std::string(1000000, 'a'))),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
    const auto file = freshTempDir("sha") / "nagy.bin";
    std::string bytes;
    for (unsigned i = 0; i < 3'500'000; ++i) bytes += static_cast<char>((i * 7919u) >> 5);
    writeFile(file, bytes);
    Sha256Digest d{};
    ASSERT_EQ(sha256OfFile(file, d), 0);
    std::FILE* p = popen(("sha256sum '" + file.string() + "'").c_str(), "r");
    ASSERT_NE(p, nullptr);
    char line[128] = {};
    ASSERT_NE(std::fgets(line, sizeof line, p), nullptr);
    pclose(p);
    EXPECT_EQ(hexOf(d), std::string(line, 64));
}

namespace {

std::vector<std::string> verified(const std::filesystem::path& folder) {
    int err = 0;
    std::vector<std::string> out;
    for (const ArchiveFinding& f : verifyArchive(folder, err)) out.push_back(std::to_string(f.line) + " " + f.message);
    EXPECT_EQ(err, 0);
    return out;
}

std::size_t readArchiveLogSize(const std::filesystem::path& folder) {
    int err = 0;
    return readArchiveLog(folder, err).size();
}

std::string findingText(const std::vector<std::string>& findings) {
    std::string all;
    for (const std::string& f : findings) all += f + "\n";
    return all;
}

}  // namespace

// Three reports of one name in one second: three copies, a chain that holds;
// each kind of tampering is found.
TEST(Archive, TheChainHoldsAndTamperingIsFound) {
    const auto dir = freshTempDir("archive");
    const auto folder = dir / "Archivum";
    writeFile(dir / "jelentes.xml", "<?xml?>\r\n<a/>\r\n");
    const std::time_t now = noonOf("2026-12-09");
    for (int i = 0; i < 3; ++i) {
        const ArchiveOutcome o = archiveReport(folder, dir / "jelentes.xml", {kActionSave, {3, 1, 2}, "teszt 1", ""}, now);
        ASSERT_TRUE(o.ok()) << archiveText(o);
        EXPECT_EQ(o.copy.filename().string(),
                  i == 0 ? "2026-12-09_120000_jelentes.xml" : "2026-12-09_120000_jelentes_" + std::to_string(i + 1) + ".xml");
    }
    EXPECT_TRUE(verified(folder).empty()) << findingText(verified(folder));
    const std::string log = readFile(folder / "naplo.csv");
    ASSERT_EQ(log.rfind("\xEF\xBB\xBF", 0), 0u);

    auto tampered = [&](const std::string& changed, const char* expected) {
        writeFile(folder / "naplo.csv", changed);
        const std::string found = findingText(verified(folder));
        EXPECT_NE(found.find(expected), std::string::npos) << found;
        writeFile(folder / "naplo.csv", log);
    };
    const std::size_t second = log.find("\r\n", log.find("\r\n") + 2) + 2;  // the second report's line
    std::string edited = log;
    edited[edited.find(";3;1;2;", second) + 1] = '4';  // a row count changed in a spreadsheet
    tampered(edited, "4 megszakadt a l\xC3\xA1nc");  // the next line's link
    std::string removed = log;
    removed.erase(second, log.find("\r\n", second) + 2 - second);
    tampered(removed, "megszakadt a l\xC3\xA1nc");
    const std::size_t lastLine = log.rfind("\r\n", log.size() - 3) + 2;
    std::string last = log;
    last.insert(lastLine, "x");
    tampered(last, "utols\xC3\xB3 sora");

    writeFile(folder / "2026" / "idegen.xml", "x");
    EXPECT_NE(findingText(verified(folder)).find("idegen.xml"), std::string::npos);
}

// Two programs archiving at once: every line whole, the chain unbroken.
TEST(Archive, TwoProcessesAppendingAtOnceKeepTheChain) {
    const auto dir = freshTempDir("archive-two");
    writeFile(dir / "jelentes.xml", "<?xml?>\r\n");
    pid_t children[2];
    for (int c = 0; c < 2; ++c) {
        children[c] = fork();
        ASSERT_GE(children[c], 0);
        if (children[c] == 0) {
            for (int i = 0; i < 15; ++i)
                if (!archiveReport(dir / "Archivum", dir / "jelentes.xml", {kActionSave, {1, 0, 0}, "teszt", ""}, std::time(nullptr)).ok())
                    _exit(1);
            _exit(0);
        }
    }
    for (pid_t child : children) {
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_TRUE(verified(dir / "Archivum").empty()) << findingText(verified(dir / "Archivum"));
    const std::string log = readFile(dir / "Archivum" / "naplo.csv");
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 31);
}

// A fill of many rows, found on two cores a stretch at a time while the rows
// behind are written: every row gets what the history holds for it and
// nothing of any other row, and what a row already has stays.
TEST(AccountHistory, AFillOfManyRowsGivesEachRowItsOwn) {
    const auto dir = freshTempDir("history-many");
    constexpr int kRows = 100000;  // a few stretches
    char tax[16], account[32], company[16], opening[16];  // room for any int, as the compiler checks
    auto numbers = [&](int i) {
        std::snprintf(tax, sizeof tax, "%08d", 10000000 + i);
        std::snprintf(account, sizeof account, "11111111%016d", i);
        std::snprintf(company, sizeof company, "01%08d", i);
        std::snprintf(opening, sizeof opening, "2026-%02d-%02d", 1 + i % 11, 1 + i % 28);
    };
    TestTables sent;
    for (int i = 0; i < kRows; ++i) {
        if (i % 3 == 0) continue;  // accounts the history does not know
        numbers(i);
        sent.tables.appendRow(ViewRegister, registerRow(company, tax, account, opening));
    }
    ASSERT_EQ(WriteReport(dir / "r.xml", sent.tables, SettingsFile(dir / "Kovirant.ini")).status, ReportStatus::Written);
    ASSERT_TRUE(archiveReport(dir / "Archivum", dir / "r.xml", {kActionSave, {1, 0, 0}, "teszt", ""}, noonOf("2026-12-01")).ok());
    int err = 0;
    const AccountHistory h = AccountHistory::build(dir / "Archivum", err);
    ASSERT_EQ(err, 0);

    TestTables month;
    for (int i = 0; i < kRows; ++i) {
        numbers(i);
        month.tables.appendRow(ViewRegister, registerRow(i % 7 ? "" : "0101000000", tax, account,
                                                         i % 5 ? "" : "2026-10-01", "2026-12-01", "Törlés"));
    }
    const HistoryFill filled = fillFromHistory(h, month.tables, nullptr);
    std::size_t companies = 0, openings = 0;
    for (int i = 0; i < kRows; ++i) {
        numbers(i);
        const bool known = i % 3 != 0;
        const std::string wantCompany = i % 7 == 0 ? "0101000000" : known ? company : "";
        const std::string wantOpening = i % 5 == 0 ? "2026-10-01" : known ? opening : "";
        companies += known && i % 7 != 0;
        openings += known && i % 5 != 0;
        ASSERT_EQ(month.tables.cell(ViewRegister, i, RegisterCol::companyNumber), wantCompany) << i;
        ASSERT_EQ(month.tables.cell(ViewRegister, i, RegisterCol::openingDate), wantOpening) << i;
        ASSERT_EQ(month.tables.cell(ViewRegister, i, RegisterCol::accountNumber), account) << i;
    }
    EXPECT_EQ(filled.companies, companies);
    EXPECT_EQ(filled.openings, openings);
}

// Where two archived reports disagree (two openings of one account, two
// company numbers of one tax number) nothing is filled and the check warns;
// a row already reported is named with its copy.
TEST(AccountHistory, ConflictsFillNothingAndAreWarned) {
    const auto dir = freshTempDir("history");
    const std::string account = "111111110000000000000000";
    const char* openings[] = {"2026-11-02", "2026-11-03"};
    const char* companies[] = {"0109123456", "0109654321"};
    for (int i = 0; i < 2; ++i) {
        TestTables t;
        t.tables.appendRow(ViewRegister, registerRow(companies[i], "12345676", account, openings[i]));
        const auto report = dir / ("r" + std::to_string(i) + ".xml");
        ASSERT_EQ(WriteReport(report, t.tables, SettingsFile(dir / "Kovirant.ini")).status, ReportStatus::Written);
        ASSERT_TRUE(archiveReport(dir / "Archivum", report, {kActionSave, {1, 0, 0}, "teszt", ""}, noonOf("2026-12-01") + i).ok());
    }
    int err = 0;
    const AccountHistory h = AccountHistory::build(dir / "Archivum", err);
    ASSERT_EQ(err, 0);
    EXPECT_EQ(h.rows(), 2u);
    EXPECT_EQ(h.opening(account, "12345676").answer, AccountHistory::Answer::Conflict);
    EXPECT_EQ(h.company("12345676").answer, AccountHistory::Answer::Conflict);
    EXPECT_EQ(h.rowsOf("1111 1111-0000").size(), 0u);  // not a whole number
    EXPECT_EQ(h.rowsOf("1234-5676").size(), 2u);

    TestTables month;
    month.tables.appendRow(ViewRegister, registerRow("", "12345676", account, "", "2026-12-01", "Törlés"));
    month.tables.appendRow(ViewRegister, registerRow(companies[0], "12345676", account, openings[0]));  // sent before
    const HistoryFill filled = fillFromHistory(h, month.tables, nullptr);
    EXPECT_EQ(filled.companies + filled.openings, 0u);
    // The same with the look-ups made ahead (the conflicts' row is held by no report).
    for (const bool ahead : {false, true}) {
        CheckOptions options;
        options.history = historyForCheck(h);
        if (ahead) options.historyAhead = historyAheadForCheck(h);
        const RowCheck check = checkAllRows(month.tables, 20, 18, options);
        std::vector<std::string> texts;
        for (const RowWarning& w : check.warnings)
            if (w.what >= WarningKind::AlreadyReported) texts.push_back(std::to_string(w.row + 1) + " " + warningText(check, w));
        ASSERT_EQ(texts.size(), 3u) << ahead;
        EXPECT_NE(texts[0].find("1 Figyelmeztetés: az archívum két különböző nyitás dátumot"), std::string::npos) << texts[0];
        EXPECT_NE(texts[1].find("1 Figyelmeztetés: az archívum két különböző cégszámot"), std::string::npos) << texts[1];
        EXPECT_NE(texts[2].find("2 Figyelmeztetés: ez a sor már szerepelt: 2026/2026-12-01_120000_r0.xml (2026-12-01 12:00:00)"),
                  std::string::npos) << texts[2];
    }
}

// The cache beside the log serves a later start only while the log and the
// copies are as they were; a damaged cache, a new report or a copy changed
// sends the history back to the reports, with the same answers.
TEST(AccountHistory, TheCacheIsNeverTrustedOverTheLog) {
    const auto dir = freshTempDir("history-cache");
    const auto folder = dir / "Archivum";
    auto archive = [&](const std::string& account, const char* opening, int second) {
        TestTables t;
        t.tables.appendRow(ViewRegister, registerRow("0109123456", "12345676", account, opening));
        const auto report = dir / "jelentes.xml";
        ASSERT_EQ(WriteReport(report, t.tables, SettingsFile(dir / "Kovirant.ini")).status, ReportStatus::Written);
        ASSERT_TRUE(archiveReport(folder, report, {kActionSave, {1, 0, 0}, "teszt", ""}, noonOf("2026-12-01") + second).ok());
    };
    const std::string first = "111111110000000000000000", second = "222222220000000000000000";
    archive(first, "2026-11-02", 0);
    auto built = [&](bool cached) {
        int err = 0;
        AccountHistory h = AccountHistory::build(folder, err);
        EXPECT_EQ(err, 0);
        EXPECT_EQ(h.fromCache(), cached);
        EXPECT_EQ(h.opening(first, "12345676").text, "2026-11-02");
        return h;
    };
    built(false);
    EXPECT_EQ(built(true).rows(), 1u);
    std::filesystem::path file;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        if (e.path().extension() == ".cache") file = e.path();
    ASSERT_FALSE(file.empty());
    std::string cache = readFile(file);
    cache[cache.size() / 2] ^= 1;
    writeFile(file, cache);
    built(false);
    writeFile(file, cache.substr(0, cache.size() - 3));  // cut short
    built(false);
    archive(second, "2026-11-03", 1);
    const AccountHistory later = built(false);
    EXPECT_EQ(later.rows(), 2u);
    EXPECT_EQ(later.rowsOf("1234-5676").size(), 2u);
    EXPECT_EQ(built(true).opening(second, "12345676").text, "2026-11-03");
}

// The window's two commands: "Korábbi jelentések..." lists the log newest
// first, "Felvétel..." adds an earlier report (and says which file is no
// report), "Betöltés" loads the chosen copy; "Számlatörténet..." finds every
// archived row of a number typed with separators.
TEST(ArchiveCommands, EarlierReportsAndTheAccountHistory) {
    const auto dir = freshTempDir("archive-window");
    TestTables t;
    AppState state{t.tables};
    FakeShell shell;
    onCreate(state, shell, dir);
    auto report = [&](const char* name, const std::string& account) {
        TestTables r;
        r.tables.appendRow(ViewRegister, registerRow("0109123456", "12345676", account, "2026-11-02"));
        EXPECT_EQ(WriteReport(dir / name, r.tables, SettingsFile(dir / "Kovirant.ini")).status, ReportStatus::Written);
        return dir / name;
    };
    ASSERT_TRUE(archiveReport(state.archiveFolder, report("november.xml", "111111110000000000000000"),
                              {kActionSave, {1, 0, 0}, "teszt", ""}, noonOf("2026-12-01"))
                    .ok());
    const auto earlier = report("korabbi.xml", "222222220000000000000000");
    writeFile(dir / "level.xml", "<?xml version=\"1.0\"?>\r\n<level/>\r\n");
    shell.chosenFileSets = {{earlier, dir / "level.xml"}};
    std::vector<std::vector<std::string>> lists;
    shell.archiveList = [&](const ListRequest& r) {
        lists.emplace_back();
        for (std::size_t line = 0; line < r.count; ++line)
            lists.back().push_back(utf16ToCp1250(r.text(line, 1) + u" " + r.text(line, 2) + u" " + r.text(line, 3)));
        return lists.size() == 1 ? ArchiveListChoice{ArchiveListChoice::Action::Add}
                                 : ArchiveListChoice{ArchiveListChoice::Action::Load, 1};
    };
    onCommand(state, shell, kCmdEarlierReports);
    ASSERT_EQ(lists.size(), 2u);
    EXPECT_EQ(lists[0], (std::vector<std::string>{"mentés november.xml 1"}));
    EXPECT_EQ(lists[1], (std::vector<std::string>{"felvétel korabbi.xml 1", "mentés november.xml 1"}));
    ASSERT_FALSE(shell.messages.empty());
    const std::string added = shell.texts()[0];
    EXPECT_TRUE(added.starts_with("Az archívumba felvettem: 1 jelentést.\n")) << added;
    EXPECT_NE(added.find("level.xml) nem jelentés"), std::string::npos) << added;
    ASSERT_EQ(t.reg.rowCount(), 1u);  // the November copy, loaded
    EXPECT_EQ(t.reg.cell(0, RegisterCol::accountNumber), "111111110000000000000000");
    EXPECT_FALSE(state.history.undoLabel() == std::nullopt);

    std::vector<std::string> found;
    shell.accountHistory = [&](const AccountHistoryRequest& r) {
        for (const char16_t* number : {u"1234-5676", u"2222 2222 0000 0000 0000 0000", u"99999999"}) {
            const ListRequest l = r.lookup(number);
            std::string text = utf16ToCp1250(l.countText);
            for (std::size_t line = 0; line < l.count; ++line) text += "|" + utf16ToCp1250(l.text(line, 5));
            found.push_back(text);
        }
    };
    onCommand(state, shell, kCmdAccountHistory);
    EXPECT_EQ(found, (std::vector<std::string>{
                         "Az archivált jelentések 2 sora tartalmazza: 1234-5676|111111110000000000000000|"
                         "222222220000000000000000",
                         "Az archivált jelentések 1 sora tartalmazza: 2222 2222 0000 0000 0000 0000|"
                         "222222220000000000000000",
                         "Az archivált jelentések egyike sem tartalmazza: 99999999"}));
}

namespace {

// A report of one register row with its own account, its "Időpecsét" replaced
// when `stamp` is given.
std::filesystem::path reportWith(const std::filesystem::path& file, const std::string& account,
                                 const char* stamp = nullptr) {
    TestTables t;
    t.tables.appendRow(ViewRegister, registerRow("0109123456", "12345676", account, "2026-11-02"));
    EXPECT_EQ(WriteReport(file, t.tables, SettingsFile(file.parent_path() / "Kovirant.ini")).status, ReportStatus::Written);
    if (stamp) {
        std::string bytes = readFile(file);
        const std::size_t at = bytes.find("<Időpecsét>") + std::string("<Időpecsét>").size();
        bytes.replace(at, bytes.find('<', at) - at, stamp);
        writeFile(file, bytes);
    }
    return file;
}

std::vector<std::filesystem::path> copiesIn(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> out;
    for (const auto& e : std::filesystem::recursive_directory_iterator(folder))
        if (e.is_regular_file() && e.path().parent_path() != folder) out.push_back(e.path());
    return out;
}

}  // namespace

// A report's own "Időpecsét" names the copy's folder and file only when it is
// a real time: a path in it, or any other text, gives the file's own time
// (said); no copy is ever written outside the archive.
TEST(Archive, AReportsTimeNeverChoosesWhereItsCopyGoes) {
    const auto dir = freshTempDir("archive-stamp");
    const auto folder = dir / "a" / "b" / "Archivum";
    const struct {
        const char* stamp;
        const char* time;  // the log's, or nullptr: the file's own
    } cases[] = {
        {"../../../xT00:00:00", nullptr},
        {"/tmp/kov-xT00:00:00", nullptr},
        {"9999-99-99T99:99:99", nullptr},
        {"2026-02-29T10:00:00", nullptr},
        {"2026-11-30T08:15:00-00:00", "2026-11-30 08:15:00"},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stamp);
        ++n;
        const auto report = reportWith(dir / ("r" + std::to_string(n) + ".xml"), "11111111000000000000000" + std::to_string(n), c.stamp);
        const ArchiveOutcome o = archiveEarlierReport(folder, report, "teszt");
        ASSERT_TRUE(o.ok()) << archiveText(o);
        EXPECT_TRUE(insideArchive(folder, o.copy)) << o.copy;
        EXPECT_EQ(o.refusedTime.empty(), c.time != nullptr);
        if (!c.time) {
            EXPECT_NE(archiveAddText(o).find("az állomány saját idejét vettem"), std::string::npos) << archiveAddText(o);
        }
        int err = 0;
        const std::vector<ArchiveLogEntry> log = readArchiveLog(folder, err);
        ASSERT_EQ(log.size(), static_cast<std::size_t>(n));
        if (c.time) {
            EXPECT_EQ(log.back().time, c.time);
        } else {
            EXPECT_NE(log.back().time.substr(0, 2), "99");
        }
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "x")) << "a copy above the archive";
    EXPECT_TRUE(verified(folder).empty()) << findingText(verified(folder));
    // A log whose copy path leaves the archive is no whole archive.
    std::string log = readFile(folder / "naplo.csv");
    const std::string first = copiesIn(folder).front().lexically_relative(folder).generic_string();
    log.replace(log.find(first), first.size(), "../../r1.xml");
    writeFile(folder / "naplo.csv", log);
    EXPECT_NE(findingText(verified(folder)).find(cp1250ToUtf8("kivezet az archívumból: ../../r1.xml")), std::string::npos)
        << findingText(verified(folder));
}

// Whatever step of the append fails, the archive verifies afterwards: a copy
// whose line could not be written is removed, a stop between the proof and
// the log is no tampering, and a copy a killed run left is removed by the
// next one under the lock.
TEST(Archive, ALineThatCannotBeWrittenLeavesNothingBehind) {
    const auto dir = freshTempDir("archive-failed");
    const auto folder = dir / "Archivum";
    const auto report = reportWith(dir / "jelentes.xml", "111111110000000000000000");
    ASSERT_TRUE(archiveReport(folder, report, {kActionSave, {1, 0, 0}, "teszt", ""}, noonOf("2026-12-01")).ok());
    const struct {
        int spared;  // files written before the one that fails: the pending note, the proof, the log, the proof
        bool archived;
    } cases[] = {{0, false}, {1, false}, {2, false}, {3, true}};
    std::size_t lines = 1;
    int second = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.spared);
        injectFileFaults({1, false, c.spared});
        const ArchiveOutcome o = archiveReport(folder, report, {kActionSave, {1, 0, 0}, "teszt", ""}, noonOf("2026-12-01") + ++second);
        injectFileFaults({});
        EXPECT_EQ(o.ok(), c.archived) << archiveText(o);
        lines += c.archived;
        EXPECT_EQ(readArchiveLogSize(folder), lines);
        EXPECT_EQ(copiesIn(folder).size(), lines);
        EXPECT_TRUE(verified(folder).empty()) << findingText(verified(folder));
    }
    // A kill after the copy, before its line: the pending note names it.
    const auto orphan = folder / "2026" / "2026-12-01_130000_jelentes.xml";
    writeFile(orphan, readFile(report));
    writeFile(folder / "naplo.csv.folyamatban", "2026/2026-12-01_130000_jelentes\r\n");
    EXPECT_TRUE(verified(folder).empty()) << findingText(verified(folder));  // an archiving under way
    const ArchiveOutcome next = archiveReport(folder, report, {kActionSave, {1, 0, 0}, "teszt", ""}, noonOf("2026-12-02"));
    ASSERT_TRUE(next.ok());
    EXPECT_EQ(next.interrupted, "2026/2026-12-01_130000_jelentes.xml");
    EXPECT_NE(archiveText(next).find("megszakadt archiválás"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(orphan));
    EXPECT_FALSE(std::filesystem::exists(folder / "naplo.csv.folyamatban"));
    EXPECT_TRUE(verified(folder).empty()) << findingText(verified(folder));
}

// A report larger than the room left in the address space (a 32-bit
// program's rows fill most of it) is archived with its right SHA-256: the
// copy goes a piece at a time. An earlier report too large to read for its
// rows is refused with a message, never an abort.
TEST(Archive, AReportLargerThanTheMemoryLeftIsArchivedInPieces) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizers reserve more address space than any limit would leave";
#else
    const auto dir = freshTempDir("archive-large");
    const auto report = dir / "nagy.xml";
    constexpr std::uintmax_t kSize = std::uintmax_t{64} << 20;
    {
        std::string bytes = "<?xml version=\"1.0\" encoding=\"windows-1250\"?>\r\n";
        for (int i = 0; bytes.size() < (3u << 20); ++i) bytes += "<Tulajdonos>" + std::to_string(i) + "</Tulajdonos>\r\n";
        writeFile(report, bytes);
        std::filesystem::resize_file(report, kSize - 4096);  // the rest sparse: written fast
        std::FILE* f = std::fopen(report.c_str(), "ab");
        ASSERT_NE(f, nullptr);
        std::fputs(std::string(4096, 'z').c_str(), f);
        std::fclose(f);
    }
    Sha256Digest expected{};
    ASSERT_EQ(sha256OfFile(report, expected), 0);
    const struct {
        const char* what;
        bool earlier;
    } cases[] = {{"the written report", false}, {"an earlier report", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto folder = dir / (std::string("Archivum-") + (c.earlier ? "felvett" : "mentett"));
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // The address space this process has now, and 32 MB more: half the report.
            long pages = 0;
            if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
                if (std::fscanf(statm, "%ld", &pages) != 1) pages = 0;
                std::fclose(statm);
            }
            const rlim_t limit = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + (32u << 20);
            const rlimit as{limit, limit};
            if (pages == 0 || setrlimit(RLIMIT_AS, &as) != 0) _exit(10);
            try {
                if (c.earlier) {
                    const ArchiveOutcome o = archiveEarlierReport(folder, report, "teszt");
                    _exit(o.status == ArchiveStatus::CannotRead && o.errorCode == ENOMEM &&
                                  archiveAddText(o).find("nem tudtam beolvasni") != std::string::npos
                              ? 0
                              : 11);
                }
                const ArchiveOutcome o =
                    archiveReport(folder, report, {kActionSave, {1, 0, 0}, "teszt", ""}, noonOf("2026-12-01"));
                _exit(!o.ok() ? 12 : o.sha256 != hexOf(expected) ? 13 : 0);
            } catch (...) {
                _exit(14);  // what aborts the program
            }
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
        // 10: no limit set; 11: not refused with its message; 12: not archived; 13: a wrong hash; 14: an exception
        ASSERT_EQ(WEXITSTATUS(status), 0);
        if (c.earlier) continue;
        const std::vector<std::filesystem::path> copies = copiesIn(folder);
        ASSERT_EQ(copies.size(), 1u);
        EXPECT_EQ(std::filesystem::file_size(copies[0]), kSize);
        Sha256Digest copied{};
        ASSERT_EQ(sha256OfFile(copies[0], copied), 0);
        EXPECT_EQ(hexOf(copied), hexOf(expected));
        EXPECT_TRUE(verified(folder).empty()) << findingText(verified(folder));
    }
#endif
}

// The proof beside the log is compared before a line is appended: a last
// line removed with its copy is said and recorded in the chain, not signed
// anew; a proof rewritten to hide it too is caught by the anchors in the
// system's log, read from an export (a line of any shape, UTF-16 too).
TEST(Archive, TheChainsProofIsComparedAndAnchoredOutside) {
    const auto dir = freshTempDir("archive-proof");
    const auto folder = dir / "Archivum";
    std::string anchors = "Szint;Dátum;Forrás;Leírás\r\n";
    setAnchorSink([&](std::string_view text) { anchors += "Információ;2026-12-01;Kovirant;\"" + std::string(text) + "\"\r\n"; });
    int second = 0;
    auto archive = [&] {
        const auto report = reportWith(dir / "jelentes.xml", "11111111000000000000000" + std::to_string(second));
        const ArchiveOutcome o = archiveReport(folder, report, {kActionSave, {1, 0, 0}, "teszt", ""}, noonOf("2026-12-01") + ++second);
        EXPECT_TRUE(o.ok()) << archiveText(o);
        return o;
    };
    for (int i = 0; i < 3; ++i) archive();
    writeFile(dir / "horgonyok.txt", anchors);
    auto withAnchors = [&](const std::string& file) {
        std::vector<ArchiveAnchor> list;
        EXPECT_EQ(readAnchors(file, list), 0);
        int err = 0;
        std::string all;
        for (const ArchiveFinding& f : verifyArchive(folder, err, &list)) all += std::to_string(f.line) + " " + f.message + "\n";
        return all;
    };
    EXPECT_EQ(withAnchors((dir / "horgonyok.txt").string()), "");
    std::u16string wide = u"\xFEFF" + cp1250ToUtf16(utf8ToCp1250(anchors));
    writeFile(dir / "export.txt", std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * 2));
    EXPECT_EQ(withAnchors((dir / "export.txt").string()), "");

    // The last line and its copy gone, the proof rewritten to match.
    auto removeLast = [&] {
        std::string log = readFile(folder / "naplo.csv");
        const std::size_t last = log.rfind("\r\n", log.size() - 3) + 2;
        const std::string line = log.substr(last, log.size() - 2 - last);
        const std::size_t copyField = [&] {
            std::size_t at = 0;
            for (int i = 0; i < 5; ++i) at = line.find(';', at) + 1;
            return at;
        }();
        const auto copy = folder / line.substr(copyField, line.find(';', copyField) - copyField);
        std::filesystem::permissions(copy, std::filesystem::perms::owner_write, std::filesystem::perm_options::add);
        std::filesystem::remove(copy);
        log.erase(last);
        writeFile(folder / "naplo.csv", log);
        const std::size_t before = log.rfind("\r\n", log.size() - 3) + 2;
        return hexOf(sha256(std::string_view(log).substr(before, log.size() - 2 - before)));
    };
    writeFile(folder / "naplo.csv.sha256", removeLast() + "\r\n");
    EXPECT_TRUE(verified(folder).empty()) << findingText(verified(folder));
    EXPECT_NE(withAnchors((dir / "horgonyok.txt").string()).find("3 " + cp1250ToUtf8("a külső horgony szerint e sor után következő sor hiányzik")),
              std::string::npos) << withAnchors((dir / "horgonyok.txt").string());

    // The last line and its copy gone, the proof left: the next report says so and the log keeps it.
    removeLast();
    EXPECT_NE(findingText(verified(folder)).find("utols\xC3\xB3 sora"), std::string::npos);
    const ArchiveOutcome next = archive();
    EXPECT_FALSE(next.headMismatch.empty());
    EXPECT_NE(archiveText(next).find("nem az, amelyet a naplo.csv.sha256 igazol"), std::string::npos) << archiveText(next);
    EXPECT_NE(findingText(verified(folder)).find("3 itt a napl\xC3\xB3 utols\xC3\xB3 sora nem az volt"), std::string::npos)
        << findingText(verified(folder));
    EXPECT_EQ(readArchiveLogSize(folder), 2u);  // the line of the finding is no report
    setAnchorSink(nullptr);
}

// Verify accounts for every file and every name: a file dropped directly in
// the archive's folder is a finding (the log's own files and the cache are
// not); a name with a line feed or in Windows-1250 bytes keeps one line of
// UTF-8; lines that all name one copy are found, and the history reads that
// copy once.
TEST(Archive, VerifyAccountsForEveryFileAndEveryName) {
    const auto dir = freshTempDir("archive-names");
    const auto folder = dir / "Archivum";
    int second = 0;
    for (const char* name : {"jelent\xE9s.xml", "sor\nt\xF6r\xE9s.xml"}) {
        SCOPED_TRACE(name);
        const auto report = reportWith(dir / name, "11111111000000000000000" + std::to_string(second));
        ASSERT_TRUE(archiveReport(folder, report, {kActionSave, {1, 0, 0}, "teszt", ""}, noonOf("2026-12-01") + ++second).ok());
    }
    const std::string log = readFile(folder / "naplo.csv");
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 3);
    EXPECT_NE(log.find(cp1250ToUtf8("_jelentés.xml")), std::string::npos) << log;
    EXPECT_NE(log.find(cp1250ToUtf8("sor\\x0Atörés.xml")), std::string::npos) << log;
    int err = 0;
    EXPECT_EQ(AccountHistory::build(folder, err).rows(), 2u);  // leaves its cache beside the log
    writeFile(folder / "naplo.csv.lock", lockText({"MASIKGEP", "bela", 1, 0}, 1));
    EXPECT_TRUE(verified(folder).empty()) << findingText(verified(folder));
    writeFile(folder / "idegen.xml", "<?xml?>");
    EXPECT_NE(findingText(verified(folder)).find("0 a napl\xC3\xB3" "ban nem szerepl\xC5\x91 \xC3\xA1llom\xC3\xA1ny: idegen.xml"),
              std::string::npos) << findingText(verified(folder));
    std::filesystem::remove(folder / "idegen.xml");

    // Every line names the first line's copy, the chain and its proof kept.
    const std::size_t headerEnd = log.find("\r\n") + 2;
    const std::string first = log.substr(headerEnd, log.find("\r\n", headerEnd) - headerEnd);
    std::string previous = log.substr(3, headerEnd - 5), rewritten = log.substr(0, headerEnd), line;
    for (int i = 0; i < 500; ++i) {
        line = first.substr(0, first.rfind(';') + 1) + hexOf(sha256(previous));
        rewritten += line + "\r\n";
        previous = line;
    }
    for (const auto& copy : copiesIn(folder))
        if (log.find(copy.filename().string()) > headerEnd + first.size()) {
            std::filesystem::permissions(copy, std::filesystem::perms::owner_write, std::filesystem::perm_options::add);
            std::filesystem::remove(copy);
        }
    writeFile(folder / "naplo.csv", rewritten);
    writeFile(folder / "naplo.csv.sha256", hexOf(sha256(line)) + "\r\n");
    const std::vector<std::string> found = verified(folder);
    ASSERT_EQ(found.size(), 499u) << findingText(found);
    EXPECT_NE(found[0].find("3 a m\xC3\xA1solatot m\xC3\xA1r a(z) 2. sor is megnevezi"), std::string::npos) << found[0];
    const AccountHistory h = AccountHistory::build(folder, err);
    EXPECT_EQ(h.reports().size(), 500u);
    EXPECT_EQ(h.rows(), 1u);
    EXPECT_TRUE(h.copyWarnings().empty());
}

// An earlier report is added only whole: one cut short is refused as the
// run refuses it, one laid out with its attributes in another order (rows
// not read) is refused with its count, one in UTF-8 is read.
TEST(Archive, AnEarlierReportIsTakenOnlyWholeAndInItsEncoding) {
    const auto dir = freshTempDir("archive-earlier");
    const std::string bytes = readFile(reportWith(dir / "alap.xml", "111111110000000000000000"));
    const std::string start = "<CégMutató Cégszám=\"0109123456\" Törzsszám=\"12345676\">";
    ASSERT_NE(bytes.find(start), std::string::npos);
    std::string reordered = bytes, utf8 = cp1250ToUtf8(bytes);
    reordered.replace(reordered.find(start), start.size(), "<CégMutató Törzsszám=\"12345676\" Cégszám=\"0109123456\">");
    utf8.replace(utf8.find("ISO-8859-2"), 10, "UTF-8");
    const struct {
        const char* name;
        std::string bytes;
        ArchiveStatus status;
        const char* text;
    } cases[] = {
        {"csonka.xml", bytes.substr(0, bytes.find("</Cégjegyzék>")), ArchiveStatus::Incomplete, "csonka jelentés"},
        {"sorrend.xml", reordered, ArchiveStatus::RowsUnread, "tételt tartalmaz, de csak"},
        {"utf8.xml", utf8, ArchiveStatus::Archived, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(dir / c.name, c.bytes);
        const ArchiveOutcome o = archiveEarlierReport(dir / "Archivum", dir / c.name, "teszt");
        EXPECT_EQ(o.status, c.status) << archiveAddText(o);
        if (c.text) {
            EXPECT_NE(archiveAddText(o).find(c.text), std::string::npos) << archiveAddText(o);
        }
        if (c.status == ArchiveStatus::RowsUnread) {
            EXPECT_EQ(o.rowElements, o.rowsRead + 1);
        }
    }
    int err = 0;
    const std::vector<ArchiveLogEntry> log = readArchiveLog(dir / "Archivum", err);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].rows[0], "1");
    const AccountHistory h = AccountHistory::build(dir / "Archivum", err);
    EXPECT_EQ(h.rowsOf("12345676").size(), 1u);  // the UTF-8 copy read by the history too
}

// The history uses only copies whose SHA-256 is their line's and names the
// others (from its cache too); a number is found in its other forms; rows
// come oldest first by their report's own time, wherever its line is.
TEST(AccountHistory, OnlyProvenCopiesAndEveryFormOfANumber) {
    const auto dir = freshTempDir("history-proven");
    const auto folder = dir / "Archivum";
    const std::string account = "117730160000123400000000";
    ASSERT_TRUE(archiveReport(folder, reportWith(dir / "december.xml", account), {kActionSave, {1, 0, 0}, "teszt", ""},
                              noonOf("2026-12-01"))
                    .ok());
    ASSERT_TRUE(archiveEarlierReport(folder, reportWith(dir / "oktober.xml", account, "2026-10-01T10:00:00"), "teszt").ok());
    const ArchiveOutcome changed = archiveReport(folder, reportWith(dir / "kezzel.xml", "333333330000000000000000"),
                                                 {kActionSave, {1, 0, 0}, "teszt", ""}, noonOf("2026-12-02"));
    const ArchiveOutcome missing = archiveReport(folder, reportWith(dir / "eltunt.xml", "444444440000000000000000"),
                                                 {kActionSave, {1, 0, 0}, "teszt", ""}, noonOf("2026-12-03"));
    ASSERT_TRUE(changed.ok() && missing.ok());
    std::filesystem::permissions(changed.copy, std::filesystem::perms::owner_write, std::filesystem::perm_options::add);
    std::string bytes = readFile(changed.copy);
    bytes.replace(bytes.find("333333330000000000000000"), 24, "333333330000000000000001");  // the same size
    writeFile(changed.copy, bytes);
    std::filesystem::permissions(missing.copy, std::filesystem::perms::owner_write, std::filesystem::perm_options::add);
    std::filesystem::remove(missing.copy);

    for (bool cached : {false, true}) {
        SCOPED_TRACE(cached);
        int err = 0;
        const AccountHistory h = AccountHistory::build(folder, err);
        ASSERT_EQ(err, 0);
        EXPECT_EQ(h.fromCache(), cached);
        const std::vector<std::string> warnings = h.copyWarnings();
        ASSERT_EQ(warnings.size(), 2u);
        EXPECT_NE(warnings[0].find("kezzel.xml) nem az, amelyet a napló SHA-256-ja igazol"), std::string::npos) << warnings[0];
        EXPECT_NE(warnings[1].find("Hiányzik az archívum másolata (2026/2026-12-03_120000_eltunt.xml)"), std::string::npos)
            << warnings[1];
        const struct {
            const char* number;
            std::size_t rows;
        } lookups[] = {
            {"333333330000000000000001", 0}, {"333333330000000000000000", 0}, {"444444440000000000000000", 0},
            {"117730160000123400000000", 2}, {"11773016-00001234", 2},      {"1177 3016 0000 1234", 2},
            {"12345676-2-41", 2},            {"12345676", 2},                {"12345676-2", 0},
        };
        for (const auto& l : lookups) EXPECT_EQ(h.rowsOf(l.number).size(), l.rows) << l.number;
        const std::vector<HistoryRow> rows = h.rowsOf("1177301600001234");
        ASSERT_EQ(rows.size(), 2u);
        EXPECT_EQ(h.reports()[rows[0].report].time, "2026-10-01 10:00:00");  // the earlier report, added later
        EXPECT_EQ(h.reports()[rows[1].report].time, "2026-12-01 12:00:00");
    }
}

// A cache whose checksum holds is still not read when another build made it
// (another string hash or word size places the slots elsewhere) or when a
// hash table of it has no empty slot (a look-up of an absent key would never
// end): the history is built from the reports, with the right answers.
TEST(AccountHistory, ACacheOfAnotherBuildOrWithAFullTableIsRebuilt) {
    const auto dir = freshTempDir("history-cache-foreign");
    const auto folder = dir / "Archivum";
    const std::string account = "111111110000000000000000";
    ASSERT_TRUE(archiveReport(folder, reportWith(dir / "december.xml", account), {kActionSave, {1, 0, 0}, "teszt", ""},
                              noonOf("2026-12-01"))
                    .ok());
    int err = 0;
    ASSERT_FALSE(AccountHistory::build(folder, err).fromCache());
    std::filesystem::path file;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        if (e.path().extension() == ".cache") file = e.path();
    ASSERT_FALSE(file.empty());
    const std::string written = readFile(file);
    // Where the header's build marks and the account table's slots lie.
    CacheReader r{std::string_view(written).substr(0, written.size() - 8)};
    r.text();
    const std::size_t hashName = r.at + 8;
    ASSERT_EQ(r.text(), kStringHashName);
    const std::size_t wordSize = r.at;
    r.number();
    const std::uint64_t packed = r.number();
    r.text();
    r.number();
    std::uint64_t reports = r.number();
    r.text(), r.number(), r.number();  // the layer below: none
    for (; reports > 0 && r.ok; --reports) r.text(), r.text(), r.number();
    for (std::size_t size : {std::size_t{1}, static_cast<std::size_t>(packed), std::size_t{4}, std::size_t{4}}) r.arrayBytes(size);
    const std::string_view slots = r.arrayBytes(4);
    ASSERT_TRUE(r.ok && !slots.empty());
    const std::size_t slotsAt = static_cast<std::size_t>(slots.data() - written.data());

    const struct {
        const char* what;
        std::function<void(std::string&)> patch;
    } cases[] = {
        {"another string hash", [&](std::string& c) { c[hashName] ^= 1; }},
        {"another word size", [&](std::string& c) { c[wordSize] = sizeof(void*) == 8 ? 4 : 8; }},
        {"a table without an empty slot",
         [&](std::string& c) {
             std::uint32_t used = 0;
             for (std::size_t at = slotsAt; at < slotsAt + slots.size() && used == 0; at += 4) std::memcpy(&used, &c[at], 4);
             for (std::size_t at = slotsAt; at < slotsAt + slots.size(); at += 4) {
                 std::uint32_t s = 0;
                 std::memcpy(&s, &c[at], 4);
                 if (s == 0) std::memcpy(&c[at], &used, 4);
             }
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string cache = written;
        c.patch(cache);
        Checksum sum;
        sum.add(std::string_view(cache).substr(0, cache.size() - 8));
        const std::uint64_t value = sum.value();
        std::memcpy(&cache[cache.size() - 8], &value, 8);
        writeFile(file, cache);
        const AccountHistory h = AccountHistory::build(folder, err);
        ASSERT_EQ(err, 0);
        ASSERT_FALSE(h.fromCache());
        EXPECT_EQ(h.opening(account, "12345676").text, "2026-11-02");
        EXPECT_EQ(h.opening("222222220000000000000000", "12345676").answer, AccountHistory::Answer::Unknown);
        EXPECT_TRUE(AccountHistory::build(folder, err).fromCache());  // and written anew
    }
}

// The window says when it took over the log's lock from a program that is
// gone, as it says the directory's, and the report is archived all the same.
TEST(ArchiveCommands, ALockTakenOverIsSaid) {
    const auto dir = freshTempDir("archive-takeover");
    TestTables t;
    AppState state{t.tables};
    FakeShell shell;
    state.archiveFolder = dir / "Archivum";
    std::filesystem::create_directories(state.archiveFolder);
    const pid_t dead = fork();
    if (dead == 0) _exit(0);
    waitpid(dead, nullptr, 0);
    writeFile(state.archiveFolder / "naplo.csv.lock",
              lockText({thisProcess().machine, "anna", dead, static_cast<std::int64_t>(std::time(nullptr))}, 1));
    archiveSaved(state, shell, reportWith(dir / "jelentes.xml", "111111110000000000000000"));
    ASSERT_EQ(shell.texts().size(), 1u);
    EXPECT_NE(shell.texts()[0].find("Az archívum naplójának zárolását átvettem anna"), std::string::npos) << shell.texts()[0];
    EXPECT_EQ(readArchiveLogSize(state.archiveFolder), 1u);
}
