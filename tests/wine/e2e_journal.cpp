// End-to-end checks of the recovery journal on a table above the row limit
// for rewriting the whole recovery file: a row added and a row deleted, each
// killed the moment its command returns, come back exactly; rounds of
// random commands ended by a kill at a random moment lose no completed
// change.
#include <cstdio>
#include <random>
#include <vector>

#include "../../resources/resource.h"
#include "e2e_shared.h"

namespace e2e {
namespace {

constexpr int kRows = 30000;
// Rounds of random kills a run makes (each run its own seed; the native
// crash-state tests walk every stop a kill may leave).
constexpr int kKillRounds = 8;
const wchar_t kJournalFile[] = L"Kovirant-visszaallitas.naplo";

bool exists(const std::wstring& file) { return GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The register's tax numbers, row by row: the rows' identity in the checks.
std::vector<std::wstring> taxColumn(const App& app) {
    std::vector<std::wstring> out(static_cast<std::size_t>(app.rowCount(0)));
    for (std::size_t r = 0; r < out.size(); ++r) out[r] = app.cell(0, static_cast<int>(r), 1);
    return out;
}

// Answered when the window procedure is free again: the command before it,
// and what it put on the disk, is over.
void commandReturned(const App& app) { app.menuState(IDM_SAVE_REPORT); }

// The start's offer: the number of rows it names (-1 without one), answered Yes.
int offerTakenBack(App& app, const std::wstring& dir) {
    if (!app.start(exe, dir)) return -1;
    HWND box = app.waitDialog(L"Kovirant", 60000);
    const std::wstring text = box ? App::messageText(box) : L"";
    const std::size_t at = text.find(L" nem mentett sorral");
    int rows = -1;
    if (at != std::wstring::npos) {
        std::size_t from = text.rfind(L' ', at - 1);
        rows = std::stoi(text.substr(from + 1, at - from - 1));
    }
    if (box) App::press(box, IDYES);
    waitFor([&] { return box == nullptr || !IsWindow(box); }, 10000);
    waitFor([&] { return app.rowCount(0) == rows; }, 60000);
    return rows;
}

void addRow(App& app, const std::wstring& tax) {
    app.command(IDM_NEW);
    if (HWND d = app.waitDialog(kRegisterCaption)) typeRegisterRow(d, tax, L"00001234", 1);
}

void deleteRow(App& app, int row) {
    app.selectOnlyRow(0, row);
    PostMessageW(app.list(0), WM_KEYDOWN, VK_DELETE, 0);
    HWND question = app.waitDialog(L"Kovirant");
    if (question) App::press(question, IDYES);
    waitFor([&] { return question == nullptr || !IsWindow(question); }, 10000);
}

std::wstring newTax(int n) {
    wchar_t tax[16];
    std::swprintf(tax, 16, L"9%07d", n);
    return tax;
}

// The import, then one command killed the moment it returns; the next start
// brings back exactly the tables the command left.
void killedAsTheCommandReturns() {
    const std::wstring dir = freshFolder(L"journal-focused", true);
    writeProtocol(path(dir, L"protocol.txt"), kRows);
    std::vector<std::wstring> rows;
    {
        App app;
        if (!startAndImport(app, exe, dir)) return results.check(false, "the 30,000-line import");
        results.check(waitFor([&] { return exists(path(dir, kJournalFile)); }, 30000),
                      "the import is in the journal beside the recovery file");
        addRow(app, newTax(1));
        commandReturned(app);
        app.kill();
    }
    {
        App app;
        results.check(offerTakenBack(app, dir) == kRows + 1, "a row added and killed at once: 30,001 rows offered");
        rows = taxColumn(app);
        results.check(rows.size() == kRows + 1 && rows.back() == newTax(1) &&
                          app.cell(0, kRows, 2).find(L"00001234") != std::wstring::npos,
                      "the added row is back as typed, last");
        deleteRow(app, 100);
        commandReturned(app);
        app.kill();
    }
    {
        App app;
        results.check(offerTakenBack(app, dir) == kRows, "a row deleted and killed at once: 30,000 rows offered");
        std::vector<std::wstring> expected = rows;
        expected.erase(expected.begin() + 100);
        results.check(taxColumn(app) == expected, "the deleted row stays deleted, every other row in its place");
        app.kill();
    }
}

// Whether the program's register holds `rows`: their count, and the tax
// numbers of the first and last rows, of `touched` and of 200 more rows
// picked at random (reading every cell of 30,000 rows under Wine takes long).
bool holds(const App& app, const std::vector<std::wstring>& rows, const std::vector<int>& touched, std::mt19937& rng) {
    if (app.rowCount(0) != static_cast<int>(rows.size())) return false;
    std::vector<int> picked = touched;
    const int n = static_cast<int>(rows.size());
    for (int r : {0, 1, n - 2, n - 1}) picked.push_back(r);
    for (int i = 0; i < 200; ++i) picked.push_back(static_cast<int>(rng() % rows.size()));
    for (int r : picked) {
        for (int at = r - 1; at <= r + 1; ++at)
            if (at >= 0 && at < n && app.cell(0, at, 1) != rows[static_cast<std::size_t>(at)]) {
                std::printf("  row %d: %s, expected %s\n", at, narrow(app.cell(0, at, 1)).c_str(),
                            narrow(rows[static_cast<std::size_t>(at)]).c_str());
                return false;
            }
    }
    return true;
}

// Each round: the rows of the last round taken back, a few commands (New,
// Delete, Undo), the last one killed the moment it returns, after a random
// while, or not waited for at all. A change whose command returned is never
// lost; one the kill may have cut off is there whole or not at all.
void randomKills(unsigned seed) {
    std::printf("random kills: seed %u\n", seed);
    std::mt19937 rng(seed);
    const std::wstring dir = freshFolder(L"journal-random", true);
    writeProtocol(path(dir, L"protocol.txt"), kRows);
    std::vector<std::wstring> rows;
    {
        App app;
        if (!startAndImport(app, exe, dir)) return results.check(false, "the import of the random rounds");
        commandReturned(app);
        rows = taxColumn(app);
        app.kill();
    }
    // What the next start may bring back: after a command that returned,
    // what it left; after one the kill may have cut off, also what was before.
    std::vector<std::vector<std::wstring>> candidates{rows};
    std::vector<int> touched;
    int lost = 0, added = 0;
    for (int round = 1; round <= kKillRounds + 1; ++round) {
        App app;
        const int offered = offerTakenBack(app, dir);
        bool found = false;
        for (const auto& c : candidates) {
            if (found || static_cast<int>(c.size()) != offered) continue;
            found = holds(app, c, touched, rng);
            if (found) rows = c;
        }
        if (!found) {
            ++lost;
            std::printf("round %d: %d rows offered and shown, %zu or %zu expected\n", round, offered,
                        candidates.front().size(), candidates.back().size());
        }
        if (round == kKillRounds + 1) {
            app.kill();
            break;
        }
        struct Step {
            bool added;
            int row;
            std::wstring tax;
        };
        std::vector<Step> steps;  // this run's, for Undo
        std::vector<std::wstring> before;
        touched.clear();
        const int commands = 1 + static_cast<int>(rng() % 3);
        std::printf("round %d:", round);
        for (int c = 0; c < commands; ++c) {
            if (c > 0) commandReturned(app);
            before = rows;
            const unsigned what = rng() % 5;
            if (what == 0 && !steps.empty()) {
                std::printf(" undo");
                // Sent, so that it runs before the next message is answered.
                SendMessageTimeoutW(app.main(), WM_COMMAND, IDM_UNDO, 0, SMTO_NORMAL, 10000, nullptr);
                const Step s = steps.back();
                steps.pop_back();
                if (s.added) rows.pop_back();
                else rows.insert(rows.begin() + s.row, s.tax);
                touched.push_back(s.added ? static_cast<int>(rows.size()) - 1 : s.row);
            } else if (what <= 2) {
                std::printf(" add");
                const std::wstring tax = newTax(++added + 1);
                addRow(app, tax);
                rows.push_back(tax);
                steps.push_back({true, 0, tax});
                touched.push_back(static_cast<int>(rows.size()) - 1);
            } else {
                const int row = static_cast<int>(rng() % rows.size());
                std::printf(" delete(%d)", row);
                deleteRow(app, row);
                steps.push_back({false, row, rows[static_cast<std::size_t>(row)]});
                rows.erase(rows.begin() + row);
                touched.push_back(row);
            }
        }
        const unsigned how = rng() % 3;
        std::printf(", the last %s\n", how == 0 ? "killed as it returns" : how == 1 ? "given a while" : "not waited for");
        if (how == 0) commandReturned(app);
        else if (how == 1) Sleep(rng() % 1500);  // idle, perhaps while the snapshot is written
        app.kill();
        candidates = {rows};
        if (how != 0) candidates.push_back(before);
    }
    results.check(lost == 0, std::to_string(kKillRounds) + " rounds of random kills (seed " + std::to_string(seed) +
                                 ") lose no completed change");
}

}  // namespace

void recoveryJournal() {
    killedAsTheCommandReturns();
    const char* given = std::getenv("KOVIRANT_KILL_SEED");
    randomKills(given ? static_cast<unsigned>(std::strtoul(given, nullptr, 10)) : GetTickCount());
}

}  // namespace e2e
