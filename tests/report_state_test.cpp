#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

#include "app/archive_commands.h"
#include "app/commands.h"
#include "archive/account_history.h"
#include "archive/report_archive.h"
#include "archive/report_state.h"
#include "fake_shell.h"
#include "report/report_writer.h"
#include "text/cp1250.h"
#include "test_support.h"
#include "util/os_file.h"
#include "util/sha256.h"

using namespace kovirant;

namespace {

constexpr std::string_view kOther = "masik.ugyintezo";
const std::string kReport =
    "<?xml version=\"1.0\" encoding=\"windows-1250\"?>\r\n<P\xE9nzint\xE9zetiJelent\xE9s/>\r\n";

// A report archived at `now`, its SHA-256.
std::string archived(const std::filesystem::path& dir, std::time_t now, const std::string& name = "jelentes.xml",
                     const std::string& bytes = kReport) {
    writeFile(dir / name, bytes);
    const ArchiveOutcome o = archiveReport(dir / "Archivum", dir / name, {kActionSave, {0, 0, 0}, "teszt", ""}, now);
    EXPECT_TRUE(o.ok()) << archiveText(o);
    return o.sha256;
}

RoadOutcome step(const std::filesystem::path& dir, const std::string& sha, ReportState to, std::time_t now,
                 std::string_view account = kOther, bool approvalOn = false) {
    RoadStep s;
    s.to = to;
    s.prefix = sha;
    s.account = std::string(account);
    s.approvalOn = approvalOn;
    s.program = "teszt";
    if (to == ReportState::Accepted || to == ReportState::Refused) {
        writeFile(dir / "tertiveveny.eml", "Subject: receipt\r\n\r\nrendben\r\n");
        s.receipt = dir / "tertiveveny.eml";
    }
    return moveReport(dir / "Archivum", s, now);
}

// The steps that bring a saved report into `state`.
void reach(const std::filesystem::path& dir, const std::string& sha, ReportState state, std::time_t now) {
    using S = ReportState;
    auto ok = [](const RoadOutcome& o) { ASSERT_TRUE(o.ok()) << roadText(o); };
    if (state == S::AwaitingApproval || state == S::Approved || state == S::Returned)
        ok(requestApproval(dir / "Archivum", sha, "teszt", now));
    if (state == S::Approved || state == S::Returned) ok(step(dir, sha, state, now));
    if (state == S::Sent || state == S::Accepted || state == S::Refused) ok(step(dir, sha, S::Sent, now));
    if (state == S::Accepted || state == S::Refused) ok(step(dir, sha, state, now));
}

ReportState stateOf(const std::filesystem::path& dir) {
    int err = 0;
    const std::vector<ReportRoad> roads = readReportRoads(dir / "Archivum", err);
    EXPECT_EQ(roads.size(), 1u);
    return roads.empty() ? ReportState::Saved : roads[0].state;
}

std::string findings(const std::filesystem::path& folder) {
    int err = 0;
    std::string all;
    for (const ArchiveFinding& f : verifyArchive(folder, err)) all += std::to_string(f.line) + " " + f.message + "\n";
    return all;
}

// The log's lines in another order or changed, chained and proven again,
// so that only what the lines say is left to find.
void rewriteChained(const std::filesystem::path& folder, std::vector<std::string> lines) {
    for (std::size_t i = 1; i < lines.size(); ++i) {
        lines[i].erase(lines[i].rfind(';') + 1);
        lines[i] += hexOf(sha256(lines[i - 1]));
    }
    std::string log = "\xEF\xBB\xBF";
    for (const std::string& l : lines) log += l + "\r\n";
    writeFile(folder / "naplo.csv", log);
    writeFile(folder / "naplo.csv.sha256", hexOf(sha256(lines.back())) + "\r\n");
}

std::vector<std::string> logLines(const std::filesystem::path& folder) {
    std::string log = readFile(folder / "naplo.csv").substr(3);
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < log.size();) {
        const std::size_t end = log.find("\r\n", at);
        lines.push_back(log.substr(at, end - at));
        at = end + 2;
    }
    return lines;
}

}  // namespace

// Every step from every state: what is allowed moves the report, the rest
// is refused and changes nothing; the officer who saved the report never
// approves or returns it (whatever the case of the account's name); with
// the release on a report not approved is never sent; a log from before
// the states reads every report "mentve", and the history's reader still
// sees each report once.
TEST(ReportState, EveryStepFromEveryStateAndTheSameUserRule) {
    using S = ReportState;
    using R = RoadStatus;
    const std::time_t now = noonOf("2026-12-09");
    // Anyone can set $USER: the lines name the process's own account, so that the
    // other officer's approvals below stand even when the variable claims to be them.
    const char* user = std::getenv("USER");
    const std::optional<std::string> userWas = user ? std::optional<std::string>(user) : std::nullopt;
    setenv("USER", std::string(kOther).c_str(), 1);
    const std::string saver = accountName();
    std::string shouted = saver;
    for (char& c : shouted) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    struct Case {
        S from, to;
        R status;
        std::string account = std::string(kOther);
        bool approvalOn = false;
    } cases[] = {
        {S::Saved, S::AwaitingApproval, R::NotAllowed},  {S::Saved, S::Approved, R::NotAllowed},
        {S::Saved, S::Returned, R::NotAllowed},          {S::Saved, S::Sent, R::Done},
        {S::Saved, S::Sent, R::NeedsApproval, std::string(kOther), true},
        {S::Saved, S::Accepted, R::NotAllowed},          {S::Saved, S::Refused, R::NotAllowed},
        {S::AwaitingApproval, S::AwaitingApproval, R::NotAllowed},
        {S::AwaitingApproval, S::Approved, R::Done},     {S::AwaitingApproval, S::Returned, R::Done},
        {S::AwaitingApproval, S::Approved, R::OwnReport, saver},
        {S::AwaitingApproval, S::Approved, R::OwnReport, shouted},
        {S::AwaitingApproval, S::Returned, R::OwnReport, shouted},
        {S::AwaitingApproval, S::Sent, R::NeedsApproval},
        {S::AwaitingApproval, S::Accepted, R::NotAllowed},
        {S::Approved, S::Approved, R::NotAllowed},       {S::Approved, S::Returned, R::NotAllowed},
        {S::Approved, S::Sent, R::Done},                 {S::Approved, S::Sent, R::Done, std::string(kOther), true},
        {S::Approved, S::Refused, R::NotAllowed},
        {S::Returned, S::Approved, R::NotAllowed},       {S::Returned, S::Sent, R::NotAllowed},
        {S::Returned, S::Accepted, R::NotAllowed},
        {S::Sent, S::Approved, R::NotAllowed},           {S::Sent, S::Sent, R::NotAllowed},
        {S::Sent, S::Accepted, R::Done},                 {S::Sent, S::Refused, R::Done},
        {S::Accepted, S::Sent, R::NotAllowed},           {S::Accepted, S::Refused, R::NotAllowed},
        {S::Refused, S::Sent, R::NotAllowed},            {S::Refused, S::Accepted, R::NotAllowed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(stateName(c.from)) + " -> " + std::string(stateName(c.to)) + " " + c.account);
        const auto dir = freshTempDir("road");
        const std::string sha = archived(dir, now);
        EXPECT_EQ(stateOf(dir), S::Saved);  // as every report of a log from before the states
        reach(dir, sha, c.from, now);
        ASSERT_EQ(stateOf(dir), c.from);
        const std::string before = readFile(dir / "Archivum" / "naplo.csv");
        const RoadOutcome o = step(dir, sha.substr(0, 8), c.to, now, c.account, c.approvalOn);
        EXPECT_EQ(o.status, c.status) << roadText(o);
        EXPECT_EQ(stateOf(dir), o.ok() ? c.to : c.from);
        if (!o.ok()) {
            EXPECT_EQ(readFile(dir / "Archivum" / "naplo.csv"), before);
        }
        if (c.status == R::OwnReport) {
            EXPECT_EQ(roadText(o), "A jelentést Ön készítette; jóváhagyását másik ügyintéző adhatja meg.");
        }
        int err = 0;
        EXPECT_EQ(readArchiveLog(dir / "Archivum", err).size(), 1u);  // the report read once
        EXPECT_EQ(findings(dir / "Archivum"), "");
    }
    if (userWas) setenv("USER", userWas->c_str(), 1);
    else unsetenv("USER");
}

// An approval whose copy for the outbox failed is given again and makes the
// copy; once the file to sign is there, approving again is refused. A step
// in an archive without a log says there is no report, not a failed write.
TEST(ReportState, AnApprovalMakesItsOutboxCopyAgainAndNoLogIsNoReport) {
    using R = RoadStatus;
    const std::time_t now = noonOf("2026-12-09");
    const auto dir = freshTempDir("road-outbox");
    const std::string sha = archived(dir, now);
    reach(dir, sha, ReportState::AwaitingApproval, now);
    writeFile(dir / "nem-mappa", "");
    auto approve = [&](const std::filesystem::path& outbox, std::string_view account = kOther) {
        RoadStep s;
        s.to = ReportState::Approved;
        s.prefix = sha;
        s.account = std::string(account);
        s.approvalOn = true;
        s.outbox = outbox;
        s.program = "teszt";
        return moveReport(dir / "Archivum", s, now);
    };
    const struct {
        std::filesystem::path outbox;
        std::string account;
        R status;
    } cases[] = {
        {dir / "nem-mappa" / "Kimeno", std::string(kOther), R::OutboxFailed},
        {dir / "Kimeno", accountName(), R::OwnReport},
        {dir / "Kimeno", std::string(kOther), R::Done},
        {dir / "Kimeno", std::string(kOther), R::NotAllowed},
    };
    for (const auto& c : cases) {
        const RoadOutcome o = approve(c.outbox, c.account);
        EXPECT_EQ(o.status, c.status) << roadText(o);
        EXPECT_EQ(stateOf(dir), ReportState::Approved);
    }
    EXPECT_EQ(readFile(dir / "Kimeno" / "jelentes.xml"), kReport);
    EXPECT_EQ(logLines(dir / "Archivum").size(), 4u);  // header, save, request, one approval
    EXPECT_EQ(findings(dir / "Archivum"), "");

    const RoadOutcome none = moveReport(dir / "nincs", {}, now);
    EXPECT_EQ(none.status, R::NoLog);
    EXPECT_EQ(roadText(none).find("nem tudtam"), std::string::npos) << roadText(none);
    EXPECT_NE(roadText(none).find("nincs jelent"), std::string::npos) << roadText(none);
}

// A prefix names exactly one report: too short, not hex, none or several
// is refused.
TEST(ReportState, APrefixNamesExactlyOneReport) {
    const auto dir = freshTempDir("road-prefix");
    const std::time_t now = noonOf("2026-12-09");
    std::vector<std::string> shas;
    for (int i = 0; i < 3; ++i) shas.push_back(archived(dir, now, "j" + std::to_string(i) + ".xml", kReport + std::to_string(i)));
    int err = 0;
    std::vector<ReportRoad> roads = readReportRoads(dir / "Archivum", err);
    ASSERT_EQ(roads.size(), 3u);
    std::string none = shas[1].substr(0, 8);
    for (bool taken = true; taken;) {
        none[0] = none[0] == 'f' ? '0' : static_cast<char>(none[0] == '9' ? 'a' : none[0] + 1);
        taken = false;
        for (const std::string& s : shas) taken = taken || s.starts_with(none);
    }
    std::vector<ReportRoad> twins = roads;
    twins[2].report.sha256 = twins[1].report.sha256.substr(0, 9) + std::string(55, 'f');
    struct Case {
        std::string prefix;
        PrefixMatch match;
        const std::vector<ReportRoad>* in;
    } cases[] = {
        {shas[1].substr(0, 8), PrefixMatch::One, &roads},
        {shas[1], PrefixMatch::One, &roads},
        {shas[1].substr(0, 7), PrefixMatch::NotAPrefix, &roads},
        {"zzzzzzzz", PrefixMatch::NotAPrefix, &roads},
        {none, PrefixMatch::None, &roads},
        {shas[1].substr(0, 9), PrefixMatch::Several, &twins},
        {shas[1].substr(0, 10), PrefixMatch::One, &twins},
    };
    for (const Case& c : cases) {
        std::size_t at = 99;
        EXPECT_EQ(findReport(*c.in, c.prefix, at), c.match) << c.prefix;
        if (c.match == PrefixMatch::One) {
            EXPECT_EQ((*c.in)[at].report.sha256, shas[1]);
        }
    }
}

// The verification finds a state line that names no archived report, a
// state out of order, and a receipt's copy changed by one byte; the
// receipt beside its report is no file the log does not name.
TEST(ReportState, VerifyFindsAStrayStateLineAStepOutOfOrderAndAChangedReceipt) {
    const std::time_t now = noonOf("2026-12-09");
    const auto dir = freshTempDir("road-verify");
    const auto folder = dir / "Archivum";
    const std::string sha = archived(dir, now);
    reach(dir, sha, ReportState::Accepted, now);
    ASSERT_EQ(findings(folder), "");
    const std::vector<std::string> lines = logLines(folder);  // header, save, sent, receipt
    ASSERT_EQ(lines.size(), 4u);
    int err = 0;
    const std::vector<ReportRoad> roads = readReportRoads(folder, err);
    ASSERT_FALSE(roads[0].receiptCopy.empty());
    const auto receipt = copyPath(folder, roads[0].receiptCopy);
    EXPECT_EQ(receipt.parent_path(), copyPath(folder, roads[0].report.copy).parent_path());
    EXPECT_EQ(roads[0].receiptSha256, hexOf(sha256(readFile(dir / "tertiveveny.eml"))));

    struct Case {
        const char* what;
        std::vector<std::string> lines;
        const char* found;
    };
    std::vector<std::string> stray = lines, swapped = lines;
    stray[2].replace(stray[2].find(sha), 64, std::string(64, 'a'));
    std::swap(swapped[2], swapped[3]);
    const Case cases[] = {
        {"stray", stray, "3 az \xC3\xA1llapotsor nem archiv\xC3\xA1lt jelent\xC3\xA9st nevez meg"},
        {"order", swapped, "3 az \xC3\xA1llapotok sorrendje hib\xC3\xA1s"},
    };
    for (const Case& c : cases) {
        rewriteChained(folder, c.lines);
        const std::string found = findings(folder);
        EXPECT_NE(found.find(c.found), std::string::npos) << c.what << "\n" << found;
        EXPECT_EQ(found.find("megszakadt"), std::string::npos) << found;
    }
    rewriteChained(folder, lines);
    ASSERT_EQ(findings(folder), "");
    std::filesystem::permissions(receipt, std::filesystem::perms::owner_write, std::filesystem::perm_options::add);
    std::string bytes = readFile(receipt);
    bytes[5] ^= 1;
    writeFile(receipt, bytes);
    EXPECT_NE(findings(folder).find("4 a t\xC3\xA9rtivev\xC3\xA9ny m\xC3\xA1solata megv\xC3\xA1ltozott"), std::string::npos)
        << findings(folder);
}

// Overdue over the whole road: waiting to be sent longer than
// kuldesi_hatarido, for the receipt longer than tertiveveny_hatarido, and a
// refused report until a later one holds all its rows; a receipt names its
// report by SHA-256 or file name.
TEST(ReportState, OverdueReportsAndTheReceiptsReport) {
    const std::time_t saved = noonOf("2026-12-01");
    const std::time_t hour = 3600;
    const RoadLimits limits{1, 2};
    struct Case {
        ReportState state;
        std::time_t waited;
        bool overdue;
    } cases[] = {
        {ReportState::Saved, 23 * hour, false},           {ReportState::Saved, 25 * hour, true},
        {ReportState::AwaitingApproval, 25 * hour, true}, {ReportState::Approved, 23 * hour, false},
        {ReportState::Sent, 47 * hour, false},            {ReportState::Sent, 49 * hour, true},
        {ReportState::Accepted, 900 * hour, false},       {ReportState::Returned, 900 * hour, false},
        {ReportState::Refused, 1 * hour, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(stateName(c.state));
        const auto dir = freshTempDir("road-late");
        const std::string sha = archived(dir, saved);
        reach(dir, sha, c.state, saved);
        int err = 0;
        const std::vector<ReportRoad> roads = readReportRoads(dir / "Archivum", err);
        EXPECT_EQ(overdueCount(dir / "Archivum", roads, limits, saved + c.waited), c.overdue ? 1u : 0u);
        EXPECT_EQ(daysSince(roads[0].report.time, saved + c.waited), c.waited / (24 * hour));
    }
    // Refused, then a later report that holds its rows (and more): no longer overdue.
    const auto dir = freshTempDir("road-mended");
    const std::string example = readFile(std::filesystem::path(KOVIRANT_SOURCE_DIR) / "examples" / "report.xml");
    const std::string refused = archived(dir, saved, "elso.xml", example);
    reach(dir, refused, ReportState::Refused, saved);
    int err = 0;
    EXPECT_EQ(overdueCount(dir / "Archivum", readReportRoads(dir / "Archivum", err), limits, saved + hour), 1u);
    archived(dir, saved + hour, "masodik.xml", example + "<!-- javitva -->");
    std::vector<ReportRoad> roads = readReportRoads(dir / "Archivum", err);
    ASSERT_EQ(roads.size(), 2u);
    EXPECT_EQ(mendedReports(dir / "Archivum", roads), (std::vector<bool>{true, false}));
    EXPECT_EQ(overdueText(2), "2 jelentés késik: lásd Korábbi jelentések");

    EXPECT_EQ(reportOfReceipt("Hash: " + roads[1].report.sha256 + "\r\n", roads), std::optional<std::size_t>(1));
    EXPECT_EQ(reportOfReceipt("Csatolt: ELSO.XML\r\n", roads), std::optional<std::size_t>(0));
    EXPECT_EQ(reportOfReceipt("semmi", roads), std::nullopt);
}

namespace {

// A report of register rows written and archived at `when`, awaiting
// approval, saved as if by another officer (the log's user fields
// rewritten and chained again); its SHA-256.
std::string awaitingFromAnother(const std::filesystem::path& dir, AppState& state, const char* name,
                                const std::vector<std::string>& accounts, std::time_t when) {
    TestTables r;
    for (const std::string& a : accounts) r.tables.appendRow(ViewRegister, registerRow("0109123456", "12345676", a, "2026-11-02"));
    EXPECT_EQ(WriteReport(dir / name, r.tables, SettingsFile(dir / "Kovirant.ini")).status, ReportStatus::Written);
    const ArchiveOutcome o = archiveReport(state.archiveFolder, dir / name, {kActionSave, {accounts.size(), 0, 0}, "teszt", ""}, when);
    EXPECT_TRUE(o.ok()) << archiveText(o);
    EXPECT_TRUE(requestApproval(state.archiveFolder, o.sha256, "teszt", when).ok());
    std::vector<std::string> lines = logLines(state.archiveFolder);
    for (std::size_t i = lines.size() - 2; i < lines.size(); ++i) {
        const std::size_t user = lines[i].find(';', lines[i].find(';') + 1) + 1;
        lines[i].replace(user, lines[i].find(';', user) - user, kOther);
    }
    rewriteChained(state.archiveFolder, lines);
    return o.sha256;
}

}  // namespace

// "Korábbi jelentések" takes a report along its road: each line offers the
// steps its state allows; the approver sees the rows, the check and the
// difference against the last approved report; the approval copies the file
// to sign to the outbox; the sending takes the time offered; a receipt
// proposes the report it names and opens from the list; the officer who
// saved a report is refused its approval with the rule's own words.
TEST(ReportState, TheListTakesAReportAlongItsRoad) {
    using A = ArchiveListChoice::Action;
    const auto dir = freshTempDir("road-window");
    TestTables t;
    AppState state{t.tables};
    FakeShell shell;
    onCreate(state, shell, dir);
    state.approvalOn = true;
    state.outboxFolder = dir / "Kimeno";
    state.now = [] { return noonOf("2026-12-09"); };
    const std::string first = awaitingFromAnother(dir, state, "elso.xml",
                                                  {"111111110000000000000000", "222222220000000000000000"}, noonOf("2026-12-07"));
    writeFile(dir / "nyugta.eml", "Subject: elso.xml\r\n\r\nhiba\r\n");
    shell.files = {dir / "nyugta.eml"};
    std::vector<ApprovalRequest> reviews;
    shell.approval = [&](const ApprovalRequest& r) {
        reviews.push_back(r);
        return ApprovalAnswer{ApprovalAnswer::Action::Approve, {}};
    };
    shell.receipt = [](const ReceiptRequest& r) { return ReceiptAnswer{r.proposed, false, u"hibás cégszám"}; };
    const A script[] = {A::Approve, A::MarkSent, A::Receipt, A::OpenReceipt, A::Close};
    std::vector<unsigned> offered;
    std::vector<std::string> counts;
    std::size_t run = 0;
    shell.archiveList = [&](const ArchiveListRequest& r) {
        offered.push_back(r.actions(0));
        counts.push_back(utf16ToCp1250(r.countText));
        return ArchiveListChoice{script[run++], 0};
    };
    onCommand(state, shell, kCmdEarlierReports);
    EXPECT_EQ(offered, (std::vector<unsigned>{kLineApprove, kLineMarkSent, kLineReceipt, kLineOpenReceipt, kLineOpenReceipt}));
    // Awaiting approval for two days: late, said in the list without sending the officer to it.
    ASSERT_EQ(counts.size(), 5u);
    EXPECT_TRUE(counts[0].ends_with("Archivum); késik: 1")) << counts[0];
    EXPECT_TRUE(counts[1].ends_with("Archivum)")) << counts[1];
    int err = 0;
    std::vector<ReportRoad> roads = readReportRoads(state.archiveFolder, err);
    ASSERT_EQ(roads.size(), 1u);
    EXPECT_EQ(roads[0].state, ReportState::Refused);
    EXPECT_EQ(roads[0].note, cp1250ToUtf8("hibás cégszám"));
    EXPECT_EQ(roads[0].since, "2026-12-09 12:00:00");  // the receipt's; the sending took the time offered
    EXPECT_EQ(readFile(dir / "Kimeno" / "elso.xml"), readFile(dir / "elso.xml"));
    ASSERT_EQ(shell.opened.size(), 1u);
    EXPECT_EQ(shell.opened[0], copyPath(state.archiveFolder, roads[0].receiptCopy));
    ASSERT_EQ(reviews.size(), 1u);
    const std::string review = utf16ToCp1250(reviews[0].review);
    EXPECT_NE(review.find("Sorok: Cégjegyzék: 2, "), std::string::npos) << review;
    EXPECT_NE(review.find("Ellenőrzés: 0 hibás sor, 2 figyelmeztetés.\r\n   Cégjegyzék 1. sor: Figyelmeztetés: határidőn túl"),
              std::string::npos) << review;
    EXPECT_NE(review.find("Korábban jóváhagyott jelentés nincs"), std::string::npos) << review;

    // The next report, one row kept, one gone, one new: the difference against the first.
    awaitingFromAnother(dir, state, "masodik.xml", {"111111110000000000000000", "333333330000000000000000"},
                        noonOf("2026-12-09"));
    run = 0;
    const A again[] = {A::Approve, A::Close};
    shell.archiveList = [&](const ArchiveListRequest&) { return ArchiveListChoice{again[run++], 0}; };
    onCommand(state, shell, kCmdEarlierReports);
    ASSERT_EQ(reviews.size(), 2u);
    const std::string diff = utf16ToCp1250(reviews[1].review);
    EXPECT_NE(diff.find("Eltérés a legutóbb jóváhagyott jelentéstől (elso.xml (2026-12-07 12:00:00)):"), std::string::npos)
        << diff;
    EXPECT_NE(diff.find("Új sorok: 1\r\n   + Cégjegyzék: 0109123456 12345676 333333330000000000000000"),
              std::string::npos) << diff;
    EXPECT_NE(diff.find("Elmaradt sorok: 1\r\n   - Cégjegyzék: 0109123456 12345676 222222220000000000000000"),
              std::string::npos) << diff;

    // Saved by this very officer: refused before anything is shown.
    archived(dir, noonOf("2026-12-09"), "sajat.xml");
    const std::string own = readReportRoads(state.archiveFolder, err).back().report.sha256;
    ASSERT_TRUE(requestApproval(state.archiveFolder, own, "teszt", noonOf("2026-12-09")).ok());
    run = 0;
    shell.archiveList = [&](const ArchiveListRequest&) { return ArchiveListChoice{again[run++], 0}; };
    onCommand(state, shell, kCmdEarlierReports);
    EXPECT_EQ(reviews.size(), 2u);
    EXPECT_EQ(shell.lastText(), "A jelentést Ön készítette; jóváhagyását másik ügyintéző adhatja meg.");
    EXPECT_EQ(findings(state.archiveFolder), "");
}

// The check warns of a late row whose only archived report is on its road
// but not accepted; not of one in time, nor of one a report accepted since
// holds, nor of one whose report is merely "mentve" (as every report of a
// log from before the road is): that check says what it always said.
TEST(ReportState, TheCheckWarnsOfALateRowWhoseOnlyReportWasNotAccepted) {
    using S = ReportState;
    const std::time_t saved = noonOf("2026-12-01");
    const struct {
        S state;
        const char* opening;
        bool acceptedSince;
        bool warned;
    } cases[] = {
        {S::Refused, "2026-11-02", false, true},  {S::Sent, "2026-11-02", false, true},
        {S::Returned, "2026-11-02", false, true}, {S::AwaitingApproval, "2026-11-02", false, true},
        {S::Accepted, "2026-11-02", false, false}, {S::Saved, "2026-11-02", false, false},
        {S::Refused, "2026-12-05", false, false}, {S::Refused, "2026-11-02", true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(stateName(c.state)) + " " + c.opening + (c.acceptedSince ? " accepted since" : ""));
        const auto dir = freshTempDir("road-check");
        TestTables t;
        t.tables.appendRow(ViewRegister, registerRow("0109123456", "12345676", "111111110000000000000000", c.opening));
        ASSERT_EQ(WriteReport(dir / "r.xml", t.tables, SettingsFile(dir / "Kovirant.ini")).status, ReportStatus::Written);
        const ArchiveOutcome o = archiveReport(dir / "Archivum", dir / "r.xml", {kActionSave, {1, 0, 0}, "teszt", ""}, saved);
        ASSERT_TRUE(o.ok());
        reach(dir, o.sha256, c.state, saved);
        if (c.acceptedSince) {
            writeFile(dir / "r2.xml", readFile(dir / "r.xml") + "<!-- ujra -->");
            const ArchiveOutcome again =
                archiveReport(dir / "Archivum", dir / "r2.xml", {kActionSave, {1, 0, 0}, "teszt", ""}, saved + 60);
            reach(dir, again.sha256, S::Accepted, saved + 60);
        }
        int err = 0;
        const AccountHistory h = AccountHistory::build(dir / "Archivum", err);
        CheckOptions options;
        options.checkDay = localDay(noonOf("2026-12-09"));
        options.history = historyForCheck(h, historyRoads(dir / "Archivum", h));
        const RowCheck check = checkAllRows(t.tables, 20, 18, options);
        std::string warned;
        for (const RowWarning& w : check.warnings)
            if (w.what == WarningKind::NotAccepted) warned = warningText(check, w);
        EXPECT_EQ(!warned.empty(), c.warned) << warned;
        if (c.warned) {
            EXPECT_EQ(warned, "Figyelmeztetés: határidőn túl, és az egyetlen archivált jelentés, amely tartalmazza, nincs "
                              "elfogadva: 2026/2026-12-01_120000_r.xml (2026-12-01 12:00:00): " +
                                  std::string(stateName(c.state)));
        }
    }
}
