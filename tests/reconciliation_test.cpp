#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>

#include "app/app_state.h"
#include "app/commands.h"
#include "archive/account_history.h"
#include "archive/reconciliation.h"
#include "archive/report_archive.h"
#include "report/report_writer.h"
#include "report/settings.h"
#include "fake_shell.h"
#include "test_support.h"
#include "text/cp1250.h"
#include "text/format.h"
#include "util/file_io.h"

using namespace kovirant;

namespace {

std::string acc(int i) { return "11111111" + zeroPadNumber(i, 16); }
std::string tax(int i) { return zeroPadNumber(10000000 + i, 8); }
std::string company(int i) { return "0109" + zeroPadNumber(i, 6); }

// Each difference as "account kind: proposal" (the proposal's cells
// joined by '|', "-" for none).
std::vector<std::string> shown(const Reconciliation& r) {
    std::vector<std::string> out;
    for (const Difference& d : r.differences) {
        std::string s = accountText(d.account) + " " + std::to_string(static_cast<int>(d.kind)) + ":";
        if (const auto row = proposalOf(d)) {
            for (const std::string& cell : *row) s += " " + cell;
        } else {
            s += " -";
        }
        out.push_back(s);
    }
    return out;
}

void archive(const std::filesystem::path& dir, const std::string& name, const RecordTables& tables, std::time_t when) {
    ASSERT_EQ(WriteReport(dir / name, tables, SettingsFile(dir / "Kovirant.ini")).status, ReportStatus::Written);
    ASSERT_TRUE(archiveWrittenReport(dir / "Archivum", dir / name, tables, "teszt", when).ok());
}

}  // namespace

// One account of each kind (and some that agree) against the archived
// reports' last states and against the same states in the bank's own list:
// both find every kind, with the row that mends it.
TEST(Reconciliation, EachKindAgainstTheHistoryAndAgainstTheBanksList) {
    const auto dir = freshTempDir("reconcile-kinds");
    TestTables older, newer;
    auto reg = [&](TestTables& t, int i, std::string opening, std::string closing, std::string code, std::string firm = "") {
        t.tables.appendRow(ViewRegister, registerRow(firm.empty() ? company(i) : firm, tax(i), acc(i), opening, closing, code));
    };
    reg(older, 1, "2020-01-01", "", "Bejegyzés");
    reg(newer, 1, "", "2026-11-20", "Törlés");  // the opening comes from the older report
    reg(older, 2, "2021-02-03", "", "Bejegyzés");
    reg(older, 3, "2019-01-01", "2019-06-01", "Törlés");
    reg(newer, 3, "2026-11-02", "", "Bejegyzés");  // opened again
    reg(older, 4, "2020-01-01", "", "Bejegyzés");
    reg(older, 5, "2020-01-01", "", "Bejegyzés");
    reg(older, 7, "2020-01-01", "", "Bejegyzés");
    reg(older, 8, "2020-01-01", "", "Bejegyzés");
    reg(older, 9, "2020-01-01", "", "Bejegyzés");
    reg(newer, 9, "2020-01-01", "2026-11-03", "Törlés");
    reg(older, 10, "2020-01-01", "", "Bejegyzés");
    reg(older, 13, "2020-01-01", "", "Bejegyzés");  // its closing not reported yet
    newer.tables.appendRow(ViewAccountChange, AccountChangeEntry{tax(11), company(11), acc(11), "2015-05-05", "2026-11-15",
                                                                 acc(12), "2026-11-16", ""});
    archive(dir, "r1.xml", older.tables, noonOf("2026-10-01"));
    archive(dir, "r2.xml", newer.tables, noonOf("2026-12-01"));
    int err = 0;
    const AccountHistory history = AccountHistory::build(dir / "Archivum", err);
    ASSERT_EQ(err, 0);

    auto line = [](int i, std::string dates, std::string firm = "") {
        return "Cg. " + (firm.empty() ? company(i) : firm) + " " + tax(i) + " " + acc(i) + " " + dates + "\n";
    };
    const RegistryListOutcome registry = parseRegistryList(
        "Cégjegyzékszám Adószám Számlaszám Nyitás Zárás Hattól Hatig\n" + line(11, "2015-05-05 - 2015-05-10 -") +
        line(10, "2020-01-01 - 2020-01-02 -") + line(10, "2020-01-01 - 2020-01-02 -") + line(8, "2020-01-01 - 2020-01-02 -") +
        line(7, "2020-01-01 - 2020-01-02 -") + line(7, "2020-01-02 - 2020-01-02 -") + line(6, "2020-01-01 - 2020-01-02 -") +
        line(5, "2020-01-01 - 2020-01-02 -", "0109999999") + line(4, "2020-01-11 - 2020-01-12 -") +
        line(3, "2019-01-01 2019-06-01 2019-01-05 2019-06-10") + line(1, "2020-01-01 - 2020-01-05 -") +
        line(13, "2020-01-01 - 2020-01-02 -"));
    ASSERT_EQ(registry.accounts.size(), 12u);

    auto row = [](int i, std::string opening, std::string closing, std::string code, int firm = 0) {
        return acc(i) + " " + std::string(code == "Törlés" ? "1" : code == "Bejegyzés" ? "2" : "x") + ": " +
               company(firm ? firm : i) + " " + tax(firm ? firm : i) + " " + acc(i) + " " + opening + " " + closing + " " +
               code;
    };
    const std::vector<std::string> want = {
        row(1, "2020-01-01", "2026-11-20", "Törlés"),
        row(2, "2021-02-03", "", "Bejegyzés"),
        row(3, "2026-11-02", "", "Bejegyzés"),
        acc(4) + " 3: " + company(4) + " " + tax(4) + " " + acc(4) + " 2020-01-01  Egyeztetés",
        acc(5) + " 4: " + company(5) + " " + tax(5) + " " + acc(5) + " 2020-01-01  Egyeztetés",
        acc(6) + " 5: -",
        acc(7) + " 6: -",
        acc(7) + " 6: -",
        row(11, "2015-05-05", "2026-11-15", "Törlés"),
        row(12, "2026-11-16", "", "Bejegyzés", 11),
    };
    const Reconciliation fromHistory = reconcile(history, registry);
    EXPECT_EQ(shown(fromHistory), want);
    EXPECT_EQ(differenceText(fromHistory.differences[0]),
              "nyitott a cégjegyzékben, nálunk megszűnt: " + acc(1) + "; cégjegyzék: " + tax(1) + " " + company(1) +
                  " 2020-01-01 - hattól 2020-01-05 hatig -; nálunk: " + tax(1) + " " + company(1) +
                  " 2020-01-01 2026-11-20; javasolt: Törlés");
    EXPECT_EQ(fromHistory.agreeing, 4u);  // 8, 9 (closed, not in the register), 10 (twice, alike), 13
    EXPECT_EQ(fromHistory.count(DifferenceKind::TwiceInRegister), 2u);
    EXPECT_EQ(fromHistory.bankAccounts, 12u);
    EXPECT_EQ(fromHistory.registryAccounts, 10u);

    // The same states in the bank's list: other headers, columns in another
    // order, another column among them, the forms of a spreadsheet.
    std::string bank = "Megjegyzés;Jelzőszám;Nyitás;Zárás;Adószám;Cégszám\n";
    auto bankLine = [&](int i, std::string opening, std::string closing, int firm = 0) {
        const int f = firm ? firm : i;
        bank += "x;" + acc(i).substr(0, 8) + "-" + acc(i).substr(8, 8) + "-" + acc(i).substr(16) + ";" + opening + ";" +
                closing + ";" + tax(f) + "-2-42;\"" + company(f).substr(0, 2) + "-" + company(f).substr(2, 2) + "-" +
                company(f).substr(4) + "\"\n";
    };
    bankLine(1, "2020.01.01.", "2026.11.20.");
    bankLine(2, "2021-02-03", "");
    bankLine(3, "2026-11-02", "");
    bankLine(4, "2020-01-01", "");
    bankLine(5, "2020-01-01", "");
    bankLine(7, "2020-01-01", "");
    bankLine(8, "2020-01-01", "");
    bankLine(9, "2020-01-01", "2026-11-03");
    bankLine(10, "2020-01-01", "");
    bankLine(11, "2015-05-05", "2026-11-15");
    bankLine(12, "2026-11-16", "", 11);
    bankLine(13, "2020-01-01", "2026-12-05");
    const BankListOutcome banks = parseBankAccountList(bank);
    ASSERT_TRUE(banks.ok()) << bankListFault(banks);
    EXPECT_TRUE(banks.unused.empty());
    const Reconciliation fromList = reconcile(banks, registry, &history);
    std::vector<std::string> wantList = want;
    wantList.push_back(row(13, "2020-01-01", "2026-12-05", "Törlés"));
    EXPECT_EQ(shown(fromList), wantList);
    EXPECT_EQ(fromList.agreeing, 3u);
    // What the reports said: the closing of 13 was never reported, that of 1 was.
    ASSERT_TRUE(fromList.differences.back().reported && fromList.differences[0].reported);
    EXPECT_EQ(fromList.differences.back().reported->closing, 0u);
    EXPECT_EQ(fromList.differences.back().reported->opening, 20200101u);
    EXPECT_EQ(fromList.differences[0].reported->closing, 20261120u);
    EXPECT_EQ(fromList.differences[0].reported->opening, 20200101u);
    EXPECT_FALSE(fromList.differences[5].reported);  // 6: never reported

    // The proposals in account order, the difference list as the auditor gets it.
    const std::vector<RegisterEntry> rows = proposalRows(fromList);
    ASSERT_EQ(rows.size(), 8u);
    EXPECT_TRUE(std::is_sorted(rows.begin(), rows.end(), [](const RegisterEntry& a, const RegisterEntry& b) {
        return a[RegisterCol::accountNumber] < b[RegisterCol::accountNumber];
    }));
    const std::size_t chosen[] = {3, 0};
    const std::vector<RegisterEntry> two = proposalRows(fromList, chosen);
    ASSERT_EQ(two.size(), 2u);
    EXPECT_EQ(two[0][RegisterCol::accountNumber], acc(1));
    const std::string csv = differenceListCsv(fromList);
    ASSERT_TRUE(csv.starts_with(kUtf8ByteOrderMark));
    EXPECT_NE(csv.find(cp1250ToUtf8("Hatig;Bank törzsszám")), std::string::npos);
    EXPECT_NE(csv.find(cp1250ToUtf8("\r\nnyitott a cégjegyzékben, nálunk megszűnt;" + acc(1).substr(0, 8) + "-" + acc(1).substr(8, 8) + "-" + acc(1).substr(16) + ";12;" + tax(1) + ";01-09-000001;")), std::string::npos);
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 12);
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\r'), 12);
    const auto saved = saveDifferenceList(dir / "elteresek.csv", fromList);
    EXPECT_TRUE(saved.saved());
    EXPECT_EQ(readFile(dir / "elteresek.csv"), csv);
    EXPECT_EQ(saved.rows, 11u);
    injectFileFaults({1, false, 0});  // a full disk: the list that was there stays
    const auto full = saveDifferenceList(dir / "elteresek.csv", Reconciliation{});
    injectFileFaults({});
    EXPECT_EQ(full.status, DifferenceListStatus::WriteFailed);
    EXPECT_NE(full.errorCode, 0);
    EXPECT_EQ(readFile(dir / "elteresek.csv"), csv);
}

// The bank's list finds its columns by their headers in any dialect, names
// the ones it lacks, lists the lines it cannot use with their numbers.
TEST(Reconciliation, TheBanksListNamesWhatItLacks) {
    struct Case {
        std::string text;
        std::string missing;  // or, when read, the unused lines "LINE: reason"
        std::size_t accounts = 0;
    };
    const std::vector<Case> cases = {
        {"Törzsszám;Számlaszám;Zárás;Cégszám\n12345678;1111111122222222;;\n", "Nyitás"},
        {"Nev,Szamla\nx,1111111122222222\n", "Törzsszám vagy Adószám, Számlaszám vagy Jelzőszám, Nyitás, Zárás, Cégszám"},
        {std::string(kUtf8ByteOrderMark) +
             cp1250ToUtf8("sep=,\r\n\"Cégszám\",\"Törzsszám\",\"Számlaszám\",\"Nyitás\",\"Zárás\"\r\n"
                          "0109123456,12345678,1111111122222222,2020-01-01,\r\n"
                          "0109123456,1234567,1111111122222223,2020-01-01,\r\n"
                          "0109123456,12345678,1111111122222224,2020-02-30,\r\n"
                          "0109123456,12345678,1111111122222222,2020-01-02,\r\n"),
         "3: a számla a 6. sorban ismét szerepel|4: hibás törzsszám: 1234567|5: hibás nyitás: 2020-02-30", 1},
    };
    for (const Case& c : cases) {
        const BankListOutcome o = parseBankAccountList(c.text);
        if (!o.ok()) {
            EXPECT_EQ(o.status, BankListStatus::MissingColumns);
            EXPECT_EQ(o.missingColumns, c.missing);
            EXPECT_EQ(bankListFault(o), "Hiányzó oszlop a bank számlalistájában: " + c.missing);
            continue;
        }
        std::string unused;
        for (const UnusedLine& u : o.unused) unused += (unused.empty() ? "" : "|") + std::to_string(u.line) + ": " + u.reason;
        EXPECT_EQ(unused, c.missing);
        ASSERT_EQ(o.accounts.size(), c.accounts);
        EXPECT_EQ(dateText(o.accounts[0].opening), "2020-01-02");  // the later line answers
    }
}

// A bank's accounts and the register's list of them that agree, written in
// every form the reader takes; random differences of each kind planted in
// them are found, each exactly once, and nothing else, from the bank's list
// and from the archived report alike.
TEST(Reconciliation, PlantedDifferencesAreFoundExactly) {
    std::mt19937 rng(20261210);
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    auto randomDate = [&] { return (2000 + pick(26)) * 10000 + (1 + pick(12)) * 100 + 1 + pick(28); };
    auto iso = [](int d) { return dateText(static_cast<std::uint32_t>(d)); };
    struct Account {
        std::string account, tax, company;
        int opening = 0, closing = 0;
    };
    struct Line {
        std::string company, tax;
        int opening = 0, closing = 0, from = 0, until = 0;
    };
    constexpr int kAccounts = 3000;
    std::vector<Account> bank;
    std::vector<std::pair<std::string, std::vector<Line>>> register_;
    std::vector<std::pair<std::string, int>> planted;
    std::set<std::string> used;
    for (int i = 0; i < kAccounts; ++i) {
        Account a;
        do {
            a.account = zeroPadNumber(10000000 + pick(90000000), 8) + zeroPadNumber(pick(100000000), 8) +
                        (pick(3) == 0 ? std::string("00000000") : zeroPadNumber(pick(100000000), 8));
        } while (!used.insert(a.account).second);
        a.tax = zeroPadNumber(10000000 + pick(90000000), 8);
        a.company = zeroPadNumber(1 + pick(20), 2) + zeroPadNumber(1 + pick(18), 2) + zeroPadNumber(pick(1000000), 6);
        a.opening = randomDate();
        const int base = pick(10);  // 0-6 open, 7-8 closed with a line, 9 closed without one
        if (base >= 7) a.closing = std::max(a.opening, randomDate());
        std::vector<Line> lines;
        if (base != 9) lines.push_back({a.company, a.tax, a.opening, a.closing, a.opening, a.closing});
        bool inBank = true;
        if (base != 9 && pick(4) == 0) {
            const int kind = base < 7 ? 1 + pick(6) : 3 + pick(4);
            Line& l = lines[0];
            switch (kind) {
                case 1: a.closing = std::max(a.opening, randomDate()); break;
                case 2:
                    if (pick(2)) lines.clear();
                    else l.until = std::max(l.opening, randomDate());
                    break;
                case 3:
                    if (pick(2)) l.opening = l.opening == 20010101 ? 20010102 : 20010101;
                    else l.closing = l.closing == 20020202 ? 20020203 : 20020202;
                    break;
                case 4:
                    if (pick(2)) l.tax = l.tax == "99999999" ? "99999998" : "99999999";
                    else l.company = l.company == "0101000001" ? "0101000002" : "0101000001";
                    break;
                case 5: inBank = false; break;
                case 6: {
                    Line other = l;
                    other.opening = l.opening == 20030303 ? 20030304 : 20030303;
                    lines.push_back(other);
                    planted.emplace_back(a.account, kind);
                    break;
                }
            }
            planted.emplace_back(a.account, kind);
        }
        if (inBank) bank.push_back(a);
        if (!lines.empty()) register_.emplace_back(a.account, lines);
    }

    // The register's list, its lines in another order, each field in a random form.
    std::vector<std::string> textLines;
    auto dateForm = [&](int d) -> std::string {
        if (d == 0) {
            static const char* const kEmpty[] = {"-", ".", "0000-00-00", "0000.00.00", "00000000"};
            return kEmpty[pick(5)];
        }
        const std::string s = std::to_string(d);
        const std::string y = s.substr(0, 4), m = s.substr(4, 2), day = s.substr(6, 2);
        switch (pick(5)) {
            case 0: return y + "-" + m + "-" + day;
            case 1: return y + "." + m + "." + day;
            case 2: return y + "." + m + "." + day + ".";
            case 3: return y + "/" + m + "/" + day;
            default: return s;
        }
    };
    for (const auto& [account, lines] : register_) {
        for (const Line& l : lines) {
            std::string c = pick(2) ? l.company : l.company.substr(0, 2) + "-" + l.company.substr(2, 2) + "-" + l.company.substr(4);
            c = std::string(pick(3) == 0 ? "" : pick(2) ? "Cg." : "Cg. ") + c;
            const std::string t = pick(3) == 0 ? l.tax : pick(2) ? l.tax + "242" : l.tax + "-2-42";
            std::string n = account;
            if (account.ends_with("00000000") && pick(2)) n = account.substr(0, 16);
            if (pick(2)) {
                std::string h;
                for (std::size_t g = 0; g < n.size(); g += 8) h += (g ? "-" : "") + n.substr(g, 8);
                n = h;
            }
            std::string text = c + " " + t + " " + n + " " + dateForm(l.opening) + " " + dateForm(l.closing) + " " +
                               dateForm(l.from);
            if (l.until != 0 || pick(2)) text += "  " + dateForm(l.until);  // else a missing trailing field
            textLines.push_back(text);
        }
    }
    std::shuffle(textLines.begin(), textLines.end(), rng);
    static const char* const kEnds[] = {"\r\n", "\n", "\r"};
    const std::string end = kEnds[pick(3)];
    std::string list = "Cégjegyzékszám Adószám Számlaszám Nyitás Zárás Hattól Hatig" + end;
    for (const std::string& l : textLines) list += l + end;
    const RegistryListOutcome registry = parseRegistryList(list);
    ASSERT_EQ(registry.unused.size(), 1u);
    EXPECT_TRUE(registry.unused[0].header);

    std::sort(planted.begin(), planted.end());
    auto found = [](const Reconciliation& r) {
        std::vector<std::pair<std::string, int>> out;
        for (const Difference& d : r.differences) out.emplace_back(accountText(d.account), static_cast<int>(d.kind));
        return out;
    };
    std::string csv = "Számlaszám;Törzsszám;Cégszám;Nyitás;Zárás\n";
    for (const Account& a : bank)
        csv += a.account + ";" + a.tax + ";" + a.company + ";" + iso(a.opening) + ";" + (a.closing ? iso(a.closing) : "") + "\n";
    const BankListOutcome banks = parseBankAccountList(csv);
    ASSERT_TRUE(banks.ok() && banks.unused.empty());
    const Reconciliation fromList = reconcile(banks, registry);
    EXPECT_EQ(found(fromList), planted);
    const std::size_t kinds6 = static_cast<std::size_t>(std::count_if(planted.begin(), planted.end(), [](auto& p) { return p.second == 6; }));
    const std::size_t notInBank = static_cast<std::size_t>(std::count_if(planted.begin(), planted.end(), [](auto& p) { return p.second == 5; }));
    EXPECT_EQ(fromList.agreeing, bank.size() - (planted.size() - kinds6 / 2 - notInBank));

    // The same bank in an archived report: open accounts as openings, closed
    // ones as closings.
    const auto dir = freshTempDir("reconcile-planted");
    TestTables t;
    for (const Account& a : bank)
        t.tables.appendRow(ViewRegister, registerRow(a.company, a.tax, a.account, iso(a.opening),
                                                     a.closing ? iso(a.closing) : "", a.closing ? "Törlés" : "Bejegyzés"));
    archive(dir, "r.xml", t.tables, noonOf("2026-12-01"));
    int err = 0;
    const AccountHistory history = AccountHistory::build(dir / "Archivum", err);
    ASSERT_EQ(err, 0);
    EXPECT_EQ(found(reconcile(history, registry)), planted);
}

// The window's command: the lines chosen in the list (every line shown when
// none is) become register rows in account order, after the rows there, as
// one step that one undo takes back; lines without a proposal give none.
TEST(ReconciliationCommands, TheChosenProposalsGoInAsOneStepInAccountOrder) {
    struct Case {
        const char* what;
        std::size_t choice;               // the category shown
        std::vector<std::size_t> lines;   // chosen in the list
        std::vector<std::string> added;   // "account code" of the rows appended
    };
    const std::vector<Case> cases = {
        {"none chosen: every line shown", 0, {}, {acc(1) + " Egyeztetés", acc(2) + " Bejegyzés", acc(3) + " Törlés"}},
        {"two chosen, the later first", 0, {2, 0}, {acc(1) + " Egyeztetés", acc(3) + " Törlés"}},
        {"one category, none chosen", 3, {}, {acc(1) + " Egyeztetés"}},
        {"an unknown account and the unreadable line", 0, {3, 4}, {}},
        {"the unreadable lines shown, none chosen", kDifferenceKinds + 1, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto dir = freshTempDir("reconcile-window");
        TestTables reported;
        reported.tables.appendRow(ViewRegister, registerRow(company(1), tax(1), acc(1), "2020-01-01"));
        reported.tables.appendRow(ViewRegister, registerRow(company(2), tax(2), acc(2), "2021-02-03"));
        reported.tables.appendRow(ViewRegister, registerRow(company(3), tax(3), acc(3), "2019-01-01", "2026-11-20", "Törlés"));
        archive(dir, "r1.xml", reported.tables, noonOf("2026-11-25"));
        writeFile(dir / "lista.txt", "Cégjegyzékszám Adószám Számlaszám Nyitás Zárás Hattól Hatig\r\n"
                                     "Cg. " + company(3) + " " + tax(3) + " " + acc(3) + " 2019-01-01 - 2019-01-05 -\r\n"
                                     "Cg. " + company(1) + " " + tax(1) + " " + acc(1) + " 2020-01-11 - 2020-01-12 -\r\n"
                                     "Cg. " + company(9) + " " + tax(9) + " " + acc(9) + " 2020-01-01 - 2020-01-02 -\r\n"
                                     "nem számla\r\n");

        TestTables t;
        AppState state{t.tables};
        FakeShell shell;
        onCreate(state, shell, dir);
        t.tables.appendRow(ViewRegister, registerRow("0109123456"));  // typed before
        const std::string typed(t.reg.cell(0, RegisterCol::accountNumber));
        shell.files = {dir / "lista.txt"};
        std::vector<std::string> listed;
        shell.reconciliation = [&](ReconciliationPort& port) {
            port.showChoice(c.choice);
            const ListRequest& l = port.view().list;
            for (std::size_t line = 0; line < l.count; ++line)
                listed.push_back(utf16ToCp1250(l.text(line, 0) + u"|" + l.text(line, 1)));
            return ReconciliationChoice{true, c.lines};
        };
        onCommand(state, shell, kCmdReconcile);
        if (c.choice == 0) {
            EXPECT_EQ(listed, (std::vector<std::string>{"eltérő dátum|3", "hiányzik a cégjegyzékből|",
                                                        "nyitott a cégjegyzékben, nálunk megszűnt|2", "nálunk ismeretlen|4",
                                                        "olvashatatlan sor|5"}));
        }
        std::vector<std::string> added;
        for (std::size_t row = 1; row < t.reg.rowCount(); ++row)
            added.push_back(std::string(t.reg.cell(row, RegisterCol::accountNumber)) + " " +
                            std::string(t.reg.cell(row, RegisterCol::accountCode)));
        EXPECT_EQ(added, c.added);
        EXPECT_EQ(state.tables.ReportPending, !c.added.empty());
        if (c.added.empty()) {
            EXPECT_EQ(shell.lastText(), "A kijelölt eltérésekhez nincs javasolt sor.");
            EXPECT_FALSE(state.history.undoLabel());
            continue;
        }
        EXPECT_EQ(std::string(t.reg.cell(1, RegisterCol::companyNumber)), company(1));  // the bank's values
        ASSERT_TRUE(state.history.undoLabel());
        EXPECT_EQ(*state.history.undoLabel(), "javasolt sorok felvétele");
        onCommand(state, shell, kCmdUndo);
        ASSERT_EQ(t.reg.rowCount(), 1u);
        EXPECT_EQ(std::string(t.reg.cell(0, RegisterCol::accountNumber)), typed);
        EXPECT_FALSE(state.history.undoLabel());
    }
}
