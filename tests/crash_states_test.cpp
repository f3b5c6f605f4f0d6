// What a crash may leave of the recovery files. A scripted run of the core is
// recorded as the file operations it makes (FileEvent); every state a crash
// may leave is rebuilt from them on the disk (a kill after any operation;
// unsynced writes lost, torn or zero-filled; the folder's entries made since
// its last flush not yet on the disk) and the program is started on each:
// it must offer the rows of the last command that had returned (or of the one
// under way), nothing when those were saved, never older or other rows nor a
// warning of damage; and after "Igen" a further change must survive a
// second stop. Real kills at the named calls and a full disk follow.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <map>
#include <optional>
#include <set>

#include "app/commands.h"
#include "app/recovery_commands.h"
#include "fake_shell.h"
#include "recovery/change_journal.h"
#include "recovery/recovery_file.h"
#include "recovery/snapshot_job.h"
#include "util/file_io.h"
#include "util/os_file.h"
#include "test_support.h"

using namespace kovirant;

namespace {

using Kind = FileEvent::Kind;

struct Op {
    Kind kind;
    std::string name, to;  // file names in the recorded folder
    std::uint64_t offset = 0;
    std::string bytes;
};

bool namespaceOp(const Op& op) { return op.kind == Kind::Open || op.kind == Kind::Rename || op.kind == Kind::Remove; }

// The operations on one folder's files, consecutive writes to a file as one.
class Recorder {
public:
    explicit Recorder(std::filesystem::path dir) : dir_(std::move(dir)) {
        recordFileEvents([this](const FileEvent& e) { return take(e); });
    }
    ~Recorder() { recordFileEvents({}); }
    std::vector<Op> ops;
    std::function<int(const FileEvent&, std::size_t)> fault;  // 0, or the code the operation fails with

private:
    int take(const FileEvent& e) {
        if (fault)
            if (const int err = fault(e, ops.size())) return err;
        const bool here = (e.kind == Kind::SyncFolder ? *e.path : e.path->parent_path()) == dir_;
        if (!here) return 0;
        const std::string name = e.path->filename().string();
        if (e.kind == Kind::Write && !ops.empty() && ops.back().kind == Kind::Write && ops.back().name == name &&
            ops.back().offset + ops.back().bytes.size() == e.offset) {
            ops.back().bytes += e.bytes;
            return 0;
        }
        ops.push_back({e.kind, name, e.to ? e.to->filename().string() : "", e.offset, std::string(e.bytes)});
        return 0;
    }
    std::filesystem::path dir_;
};

// A scripted run: each step's rows once it returned, and where its
// operations end.
struct Step {
    std::size_t endOp = 0;
    bool pending = false;
    TableRows rows;
};

struct Inode {
    std::string data;
    std::size_t synced = 0;  // bytes on the disk for sure (the writes append)
    std::size_t version = 0;
    std::vector<std::pair<std::uint64_t, std::size_t>> unsynced;  // writes since the last flush
};

enum class Data { AsWritten, Lost, Torn, Zeroed };

// The disk as the operations leave it, one operation at a time: the files'
// bytes, and the folder's entries after each operation.
class Disk {
public:
    explicit Disk(const std::map<std::string, std::string>& start) {
        for (const auto& [name, bytes] : start) {
            live_[name] = nodes_.size();
            nodes_.push_back({bytes, bytes.size(), 0, {}});
        }
        names_.push_back(live_);
    }
    void apply(const Op& op) {
        switch (op.kind) {
            case Kind::Open: {
                if (!live_.count(op.name)) {
                    live_[op.name] = nodes_.size();
                    nodes_.push_back({});
                }
                Inode& n = nodes_[live_[op.name]];
                if (n.data.size() > op.offset) n.data.resize(op.offset);
                n.synced = std::min<std::size_t>(n.synced, n.data.size());
                ++n.version;
                break;
            }
            case Kind::Write: {
                Inode& n = nodes_[live_.at(op.name)];
                if (n.data.size() < op.offset + op.bytes.size()) n.data.resize(op.offset + op.bytes.size());
                n.data.replace(op.offset, op.bytes.size(), op.bytes);
                n.unsynced.emplace_back(op.offset, op.bytes.size());
                ++n.version;
                break;
            }
            case Kind::Sync: {
                Inode& n = nodes_[live_.at(op.name)];
                n.synced = n.data.size();
                n.unsynced.clear();
                break;
            }
            case Kind::Rename:
                live_[op.to] = live_.at(op.name);
                live_.erase(op.name);
                break;
            case Kind::Remove: live_.erase(op.name); break;
            case Kind::SyncFolder: break;
        }
        names_.push_back(live_);
    }
    // The folder's entries as after the first `names` operations, the bytes
    // as now: a key telling states apart, and the files written to `dir`.
    std::string key(std::size_t names, Data data) const {
        std::string k;
        for (const auto& [name, node] : names_[names]) {
            const Inode& n = nodes_[node];
            k += name + ":" + std::to_string(node) + "." + std::to_string(n.version) + "." +
                 std::to_string(n.unsynced.empty() ? 0 : static_cast<int>(data)) + "/";
        }
        return k;
    }
    void write(const std::filesystem::path& dir, std::size_t names, Data data) const {
        for (const auto& e : std::filesystem::directory_iterator(dir)) std::filesystem::remove_all(e.path());
        for (const auto& [name, node] : names_[names]) {
            const Inode& n = nodes_[node];
            if (n.unsynced.empty() || data == Data::AsWritten) {
                writeFile(dir / name, n.data);
                continue;
            }
            const auto [at, size] = n.unsynced.back();
            std::string bytes = n.data;
            if (data == Data::Lost) bytes.resize(n.synced);
            else if (data == Data::Torn) bytes.resize(at + (size > 512 ? size / 2 / 512 * 512 : 0));
            else std::fill(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                           bytes.begin() + static_cast<std::ptrdiff_t>(at + size), '\0');
            writeFile(dir / name, bytes);
        }
    }

private:
    std::vector<Inode> nodes_;
    std::map<std::string, std::size_t> live_;
    std::vector<std::map<std::string, std::size_t>> names_;
};

// The program started in `dir`, "Igen" to its offer.
struct Start {
    TestTables fresh;
    AppState state{fresh.tables};
    FakeShell shell;
    explicit Start(const std::filesystem::path& dir) {
        onCreate(state, shell, dir);
        offerRecovery(state, shell, 0);
    }
    bool warned() const {
        for (const MessageBoxSpec& m : shell.messages)
            if (m.icon == MessageIcon::Warning) return true;
        return false;
    }
};

// The scripted run over `dir`: the journal, the idle snapshot, a drop back
// to the row limit, a save, small tables again, leaving. Each step's rows
// and the operations it had made once it returned.
std::vector<Step> scriptedRun(const std::filesystem::path& dir, Recorder& rec) {
    TestTables t;
    AppState state{t.tables};
    FakeShell shell;
    onCreate(state, shell, dir);
    offerRecovery(state, shell, 0);
    std::vector<Step> steps;
    auto returned = [&] { steps.push_back({rec.ops.size(), t.tables.ReportPending, tableRows(t.tables)}); };
    auto command = [&](const std::function<void()>& change) {
        change();
        keepRecovery(state, shell);
        returned();
    };
    auto idleSnapshot = [&] {
        writePendingRecovery(state, shell);
        if (!shell.snapshotJobs.empty() && state.recovery.job) {
            shell.snapshotJobs.back()->run();
            snapshotJobDone(state, shell);
        }
        returned();
    };
    returned();
    command([&] {
        for (std::size_t i = 0; i <= kRecoveryImmediateRows; ++i) t.tables.appendRow(ViewRegister, registerRow(std::to_string(i)));
        t.tables.ReportPending = true;
    });
    command([&] { t.tables.writeCell(ViewRegister, 5, RegisterCol::companyNumber, "0109555555"); });
    command([&] { t.tables.appendRow(ViewInstitution, InstitutionEntry{"Bank"}); });
    idleSnapshot();
    command([&] { t.tables.writeCell(ViewRegister, 6, RegisterCol::companyNumber, "0109666666"); });
    command([&] { t.tables.removeRows(ViewRegister, 0, 2); });  // down to the limit: the snapshot itself
    command([&] { t.tables.appendRow(ViewRegister, registerRow("1")); });
    command([&] { t.tables.appendRow(ViewAccountChange, AccountChangeEntry{"12345678"}); });
    command([&] { t.tables.ReportPending = false; });  // saved
    command([&] {
        t.tables.writeCell(ViewRegister, 7, RegisterCol::companyNumber, "0109777777");
        t.tables.ReportPending = true;
    });
    command([&] { t.tables.removeRows(ViewRegister, 3, kRecoveryImmediateRows - 2); });
    command([&] { t.tables.writeCell(ViewRegister, 1, RegisterCol::companyNumber, "0109111111"); });
    dropRecovery(state);  // leaving on purpose
    steps.push_back({rec.ops.size(), false, {}});
    return steps;
}

// Hundreds of states are written and started on: in memory where the
// machine has such a folder, so their flushes cost nothing; it goes when the
// test program ends (not in a killed child).
std::filesystem::path scratchRoot() {
    return std::filesystem::path("/dev/shm") / ("kovirant-test-" + std::to_string(::getpid()));
}
struct ScratchCleanup {
    ~ScratchCleanup() {
        std::error_code ec;
        std::filesystem::remove_all(scratchRoot(), ec);
    }
} scratchCleanup;

std::filesystem::path scratchDir(const std::string& name) {
    std::error_code ec;
    if (!std::filesystem::is_directory("/dev/shm", ec)) return freshTempDir(name);
    const auto dir = scratchRoot() / name;
    std::filesystem::remove_all(dir, ec);
    std::filesystem::create_directories(dir);
    return dir;
}

}  // namespace

TEST(CrashStates, EveryStateAStopMayLeaveGivesTheLastReturnedRows) {
    const auto dir = scratchDir("crash-run");
    writeFile(dir / "Kovirant.ini", "[ADATLAP]\r\nCnev=Bank\r\n");
    const std::map<std::string, std::string> start = {{"Kovirant.ini", readFile(dir / "Kovirant.ini")}};
    std::vector<Step> steps;
    std::vector<Op> ops;
    {
        Recorder rec(dir);
        steps = scriptedRun(dir, rec);
        ops = std::move(rec.ops);
    }
    ASSERT_GT(ops.size(), 30u);

    const auto at = scratchDir("crash-state");
    std::set<std::string> seen;
    std::size_t states = 0;
    std::vector<std::string> faults;
    Disk disk(start);
    for (std::size_t k = 0; k <= ops.size(); ++k) {
        if (k > 0) disk.apply(ops[k - 1]);
        std::size_t done = 0;  // steps returned by then
        while (done < steps.size() && steps[done].endOp <= k) ++done;
        ASSERT_GT(done, 0u);
        const Step& last = steps[done - 1];
        const Step* under = done < steps.size() ? &steps[done] : nullptr;
        std::size_t lastFlush = 0;
        for (std::size_t i = 0; i < k; ++i)
            if (ops[i].kind == Kind::SyncFolder) lastFlush = i + 1;
        struct Variant {
            std::size_t names;
            Data data;
            const char* model;
        };
        std::vector<Variant> variants = {{k, Data::AsWritten, "kill"}, {k, Data::Lost, "data: lost"},
                                         {k, Data::Torn, "data: torn"}, {k, Data::Zeroed, "data: zeroed"}};
        for (std::size_t j = lastFlush; j < k; ++j)
            if (namespaceOp(ops[j])) variants.push_back({j, Data::AsWritten, "ordered"});
        for (const Variant& v : variants) {
            // The same files are judged again after another command returned.
            if (!seen.insert(std::to_string(done) + "|" + disk.key(v.names, v.data)).second) continue;
            ++states;
            disk.write(at, v.names, v.data);
            const std::string where = std::string(v.model) + " after operation " + std::to_string(k) + " (names of " +
                                      std::to_string(v.names) + ")";
            Start first(at);
            const TableRows got = tableRows(first.fresh.tables);
            const bool nothing = first.fresh.tables.totalRows() == 0;
            const bool ok = got == last.rows || (under && got == under->rows) || (nothing && !last.pending) ||
                            (nothing && under && !under->pending);
            if (!ok || first.warned()) {
                faults.push_back(where + (ok ? ": a warning of damage" : ": other rows offered") + " — " +
                                 (first.shell.messages.empty() ? "" : first.shell.lastText()));
                continue;
            }
            if (nothing) continue;
            // Taken back: one more change, a stop, the next start.
            first.fresh.tables.appendRow(ViewRegister, registerRow("0109000001"));
            keepRecovery(first.state, first.shell);
            const TableRows after = tableRows(first.fresh.tables);
            const auto copy = scratchDir("crash-second");
            for (const auto& e : std::filesystem::directory_iterator(at))
                if (e.path().filename() != "Kovirant-visszaallitas.lock")
                    std::filesystem::copy_file(e.path(), copy / e.path().filename());
            Start second(copy);
            if (tableRows(second.fresh.tables) != after || second.warned())
                faults.push_back(where + ": the change after taking the rows back lost at the next start");
        }
    }
    EXPECT_GT(states, 50u);
    EXPECT_TRUE(faults.empty()) << faults.size() << " of " << states << " states, the first: " << faults.front();
}

namespace {

// A run in a child process over `dir`, killed (SIGKILL) where `at` says.
void killedRun(const std::filesystem::path& dir, const std::function<bool(const FileEvent&)>& at,
               const std::function<void(Recorder&)>& run) {
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        Recorder rec(dir);
        rec.fault = [&](const FileEvent& e, std::size_t) {
            if (at(e)) ::raise(SIGKILL);
            return 0;
        };
        run(rec);
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "the run ended without reaching its call";
}

bool removes(const FileEvent& e, std::string_view name) {
    return e.kind == Kind::Remove && e.path->filename() == std::filesystem::path(std::string(name));
}

std::filesystem::path withIni(const std::string& name) {
    const auto dir = scratchDir(name);
    writeFile(dir / "Kovirant.ini", "[ADATLAP]\r\nCnev=Bank\r\n");
    return dir;
}

struct Session {
    TestTables t;
    AppState state{t.tables};
    FakeShell shell;
    explicit Session(const std::filesystem::path& dir) {
        onCreate(state, shell, dir);
        offerRecovery(state, shell, 0);
    }
    void command(const std::function<void(RecordTables&)>& change) {
        change(t.tables);
        keepRecovery(state, shell);
    }
    void fill(std::size_t rows) {
        command([&](RecordTables& t) {
            for (std::size_t i = 0; i < rows; ++i) t.appendRow(ViewRegister, registerRow(std::to_string(i)));
            t.ReportPending = true;
        });
    }
};

}  // namespace

// Real kills at the calls a stop is most costly at, in the last command: the
// next start offers the rows before it or after it (nothing after a save or
// leaving), and after "Igen" a further change survives the start after it.
TEST(CrashStates, AKillAtTheNamedCallsLosesNothingReturnedAndOffersNothingSaved) {
    auto grow = [](Session& r) {
        r.fill(kRecoveryImmediateRows);
        r.command([](RecordTables& t) { t.appendRow(ViewRegister, registerRow("x")); });
        r.command([](RecordTables& t) { t.writeCell(ViewRegister, 0, RegisterCol::companyNumber, "0109000002"); });
    };
    struct Case {
        const char* what;
        std::function<bool(const FileEvent&)> at;
        std::function<void(Session&)> last;  // the command killed
    } cases[] = {
        {"between the snapshot's rename and the journal's removal (a Delete down to the limit)",
         [](const FileEvent& e) { return removes(e, kJournalFileName); },
         [](Session& r) { r.command([](RecordTables& t) { t.removeRows(ViewRegister, 0, 1); }); }},
        {"between the journal's and the snapshot's removal after a save",
         [](const FileEvent& e) { return removes(e, kRecoveryFileName); },
         [](Session& r) { r.command([](RecordTables& t) { t.ReportPending = false; }); }},
        {"between the journal's and the snapshot's removal on leaving",
         [](const FileEvent& e) { return removes(e, kRecoveryFileName); }, [](Session& r) { dropRecovery(r.state); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto dir = withIni("kill-at");
        TableRows before, after;
        {
            Session shadow(withIni("kill-shadow"));  // the same commands, not killed
            grow(shadow);
            before = tableRows(shadow.t.tables);
            c.last(shadow);
            if (shadow.t.tables.ReportPending && !shadow.state.recovery.dropped) after = tableRows(shadow.t.tables);
        }
        killedRun(dir, c.at, [&](Recorder& rec) {
            const auto armed = std::move(rec.fault);
            Session r(dir);
            grow(r);
            rec.fault = armed;
            c.last(r);
        });
        Session next(dir);
        const TableRows got = tableRows(next.t.tables);
        EXPECT_TRUE(got == before || got == after) << next.t.tables.totalRows() << " rows offered";
        if (next.t.tables.totalRows() == 0) continue;
        next.command([](RecordTables& t) { t.appendRow(ViewRegister, registerRow("after")); });
        const TableRows changed = tableRows(next.t.tables);
        const auto copy = scratchDir("kill-second");
        for (const auto& e : std::filesystem::directory_iterator(dir))
            std::filesystem::copy_file(e.path(), copy / e.path().filename());
        EXPECT_EQ(tableRows(Session(copy).t.tables), changed);
    }
}

// The recovery files an earlier version left on a share move here once: when
// the first original goes, the copies and their names are on this machine's
// disk (a power cut then loses no row).
TEST(CrashStates, FilesMovedFromAShareAreOnTheDiskBeforeAnOriginalGoes) {
    const auto share = withIni("share");
    {
        Session r(share);
        r.fill(kRecoveryImmediateRows);
        r.command([](RecordTables& t) { t.appendRow(ViewRegister, registerRow("x")); });
        r.state.recovery.journal.close();
    }
    std::map<std::string, std::string> originals;
    for (const auto& name : {kRecoveryFileName, kJournalFileName})
        if (std::filesystem::exists(share / std::string(name)))
            originals[std::string(name)] = readFile(share / std::string(name));
    ASSERT_EQ(originals.size(), 2u);
    {  // a move a stop cut short after the journal's copy is made again
        const auto again = scratchDir("share-again"), cut = scratchDir("local-cut");
        for (const auto& [name, bytes] : originals) writeFile(again / name, bytes);
        writeFile(cut / std::string(kJournalFileName), originals[std::string(kJournalFileName)]);
        ASSERT_EQ(moveLeftRecoveryFiles(again, cut), 0);
        for (const auto& [name, bytes] : originals) EXPECT_EQ(readFile(cut / name), bytes) << name;
    }
    const auto local = scratchDir("local");
    std::vector<Op> ops;
    std::optional<std::size_t> firstRemoval;
    {
        Recorder rec(local);
        rec.fault = [&](const FileEvent& e, std::size_t n) {
            if (e.kind == Kind::Remove && e.path->parent_path() == share && !firstRemoval) firstRemoval = n;
            return 0;
        };
        ASSERT_EQ(moveLeftRecoveryFiles(share, local), 0);
        ops = rec.ops;
    }
    ASSERT_TRUE(firstRemoval.has_value());
    Disk disk({});
    std::size_t flushed = 0;
    for (std::size_t i = 0; i < *firstRemoval; ++i) {
        disk.apply(ops[i]);
        if (ops[i].kind == Kind::SyncFolder) flushed = i + 1;
    }
    const auto state = scratchDir("local-state");
    disk.write(state, flushed, Data::Lost);
    for (const auto& [name, bytes] : originals) {
        ASSERT_TRUE(std::filesystem::exists(state / name)) << name;
        EXPECT_EQ(readFile(state / name), bytes) << name;
    }
}

// A full disk while the journal is written: the records already on the disk
// stay (the whole tables are written beside the journal, never over it, until
// they are on the disk), the officer is told the system's code (28), and the
// next start offers every change flushed before the disk filled.
TEST(CrashStates, AFullDiskNeverCostsTheChangesAlreadyOnTheDisk) {
    const auto dir = withIni("full-disk");
    struct SmallFileSystem {  // 8 MiB, where the machine lets the test mount one
        std::filesystem::path dir;
        bool mounted = ::geteuid() == 0 && ::mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=8m") == 0;
        ~SmallFileSystem() {
            if (mounted) ::umount(dir.c_str());
        }
    } fs{dir};
    const bool mounted = fs.mounted;
    writeFile(dir / "Kovirant.ini", "[ADATLAP]\r\nCnev=Bank\r\n");
    TableRows flushed;
    {
        Session r(dir);
        r.fill(kRecoveryImmediateRows + 1);
        r.command([](RecordTables& t) { t.writeCell(ViewRegister, 1, RegisterCol::companyNumber, "0109000001"); });
        flushed = tableRows(r.t.tables);
        ASSERT_TRUE(r.shell.messages.empty());
        std::optional<Recorder> full;  // where no small file system can be made, the writes fail as on one
        if (mounted) {
            std::FILE* ballast = std::fopen((dir / "ballast").c_str(), "wb");
            const std::string block(4096, 'x');
            while (std::fwrite(block.data(), 1, block.size(), ballast) == block.size() && std::fflush(ballast) == 0) {
            }
            std::fclose(ballast);
        } else {
            full.emplace(dir);
            full->fault = [](const FileEvent& e, std::size_t) { return e.kind == Kind::Write ? ENOSPC : 0; };
        }
        for (int i = 0; i < 3; ++i)  // more than the last page of the journal holds
            r.command([&](RecordTables& t) {
                for (int n = 0; n < 200; ++n) t.appendRow(ViewRegister, registerRow("0109" + std::to_string(i)));
            });
        ASSERT_EQ(r.shell.messages.size(), 1u);
        EXPECT_NE(r.shell.lastText().find("Hibakód=28"), std::string::npos) << r.shell.lastText();
    }
    const auto copy = scratchDir("full-disk-after");
    for (const auto& e : std::filesystem::directory_iterator(dir))
        if (e.path().filename() != "ballast") std::filesystem::copy_file(e.path(), copy / e.path().filename());
    Start next(copy);
    EXPECT_EQ(tableRows(next.fresh.tables), flushed);
    EXPECT_FALSE(next.warned());
}

// A snapshot a stop left before its rename (a write's temporary file of a
// process gone, the idle snapshot's file) is read at the next start: the
// newer of it and the snapshot is offered, and it goes.
TEST(CrashStates, AStartReadsTheSnapshotsAStopLeftBeforeTheirRename) {
    const auto dir = withIni("left-snapshots");
    std::string older, newer;
    TableRows newerRows;
    {
        Session r(dir);
        r.command([](RecordTables& t) {
            t.appendRow(ViewRegister, registerRow("0109000001"));
            t.ReportPending = true;
        });
        older = readFile(recoveryPath(dir));
        r.command([](RecordTables& t) { t.appendRow(ViewRegister, registerRow("0109000002")); });
        newer = readFile(recoveryPath(dir));
        newerRows = tableRows(r.t.tables);
    }
    struct Case {
        const char* left;
        const std::string& snapshot;
        const std::string& leftBytes;
    } cases[] = {
        {"~kov999999999_1.tmp", older, newer},
        {"Kovirant-visszaallitas.xml.uj", older, newer},
        {"~kov999999999_2.tmp", newer, older},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.left);
        const auto state = withIni("left-state");
        writeFile(recoveryPath(state), c.snapshot);
        writeFile(state / c.left, c.leftBytes);
        Start next(state);
        EXPECT_EQ(tableRows(next.fresh.tables), newerRows);
        EXPECT_FALSE(std::filesystem::exists(state / c.left));
    }
}

// A journal the snapshot supersedes that cannot be removed (a scanner holds
// it) is told once and tried again; it is never added to: the next journal
// is written beside it and moved over it, and the next start is right.
TEST(CrashStates, AJournalThatCannotBeRemovedIsToldAndNeverAddedTo) {
    const auto dir = withIni("held-journal");
    Session r(dir);
    r.fill(kRecoveryImmediateRows);
    r.command([](RecordTables& t) { t.appendRow(ViewRegister, registerRow("x")); });
    std::size_t tries = 0;
    {
        Recorder held(dir);
        held.fault = [&](const FileEvent& e, std::size_t) {
            if (!removes(e, kJournalFileName)) return 0;
            ++tries;
            return EACCES;
        };
        r.command([](RecordTables& t) { t.removeRows(ViewRegister, 0, 1); });  // down to the limit: the snapshot
        r.command([](RecordTables& t) { t.writeCell(ViewRegister, 0, RegisterCol::companyNumber, "0109000003"); });
        EXPECT_TRUE(std::filesystem::exists(journalPath(dir)));
        r.command([](RecordTables& t) { t.appendRow(ViewRegister, registerRow("y")); });
        r.command([](RecordTables& t) { t.appendRow(ViewRegister, registerRow("z")); });
    }
    EXPECT_GE(tries, 2u);
    ASSERT_EQ(r.shell.messages.size(), 1u);
    EXPECT_NE(r.shell.lastText().find("nem törölhető, Hibakód=" + std::to_string(EACCES)), std::string::npos)
        << r.shell.lastText();
    const auto copy = scratchDir("held-journal-after");
    for (const auto& e : std::filesystem::directory_iterator(dir))
        std::filesystem::copy_file(e.path(), copy / e.path().filename());
    Start next(copy);
    EXPECT_EQ(tableRows(next.fresh.tables), tableRows(r.t.tables));
    EXPECT_FALSE(next.warned());
}
