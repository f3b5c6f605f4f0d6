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
    std::string data, synced;
    std::vector<std::pair<std::uint64_t, std::size_t>> unsynced;  // writes since the last flush
};

enum class Data { AsWritten, Lost, Torn, Zeroed };

// The files as the disk holds them after the first `upTo` operations, the
// folder's entries as they were after the first `namesUpTo`.
std::map<std::string, std::string> stateAfter(const std::map<std::string, std::string>& start,
                                              const std::vector<Op>& ops, std::size_t upTo, std::size_t namesUpTo,
                                              Data data) {
    std::vector<Inode> nodes;
    std::map<std::string, std::size_t> live, disk;
    for (const auto& [name, bytes] : start) {
        live[name] = nodes.size();
        nodes.push_back({bytes, bytes, {}});
    }
    for (std::size_t i = 0; i < upTo; ++i) {
        if (i == namesUpTo) disk = live;
        const Op& op = ops[i];
        switch (op.kind) {
            case Kind::Open: {
                if (!live.count(op.name)) {
                    live[op.name] = nodes.size();
                    nodes.push_back({});
                }
                Inode& n = nodes[live[op.name]];
                if (n.data.size() > op.offset) n.data.resize(op.offset);
                break;
            }
            case Kind::Write: {
                Inode& n = nodes[live.at(op.name)];
                if (n.data.size() < op.offset + op.bytes.size()) n.data.resize(op.offset + op.bytes.size());
                n.data.replace(op.offset, op.bytes.size(), op.bytes);
                n.unsynced.emplace_back(op.offset, op.bytes.size());
                break;
            }
            case Kind::Sync: {
                Inode& n = nodes[live.at(op.name)];
                n.synced = n.data;
                n.unsynced.clear();
                break;
            }
            case Kind::Rename:
                live[op.to] = live.at(op.name);
                live.erase(op.name);
                break;
            case Kind::Remove: live.erase(op.name); break;
            case Kind::SyncFolder: break;
        }
    }
    if (namesUpTo >= upTo) disk = live;
    for (Inode& n : nodes) {
        if (n.unsynced.empty() || data == Data::AsWritten) continue;
        const auto [at, size] = n.unsynced.back();
        if (data == Data::Lost) n.data = n.synced;
        else if (data == Data::Torn) n.data.resize(at + (size > 512 ? size / 2 / 512 * 512 : 0));
        else std::fill(n.data.begin() + static_cast<std::ptrdiff_t>(at),
                       n.data.begin() + static_cast<std::ptrdiff_t>(at + size), '\0');
    }
    std::map<std::string, std::string> out;
    for (const auto& [name, node] : disk) out[name] = nodes[node].data;
    return out;
}

void putState(const std::filesystem::path& dir, const std::map<std::string, std::string>& files) {
    for (const auto& e : std::filesystem::directory_iterator(dir)) std::filesystem::remove_all(e.path());
    for (const auto& [name, bytes] : files) writeFile(dir / name, bytes);
}

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
// machine has such a folder, so their flushes cost nothing.
std::filesystem::path scratchDir(const std::string& name) {
    std::error_code ec;
    if (!std::filesystem::is_directory("/dev/shm", ec)) return freshTempDir(name);
    const auto dir = std::filesystem::path("/dev/shm") / ("kovirant-test-" + std::to_string(::getpid())) / name;
    std::filesystem::remove_all(dir, ec);
    std::filesystem::create_directories(dir);
    return dir;
}

std::size_t stateKey(const std::map<std::string, std::string>& files, std::set<std::size_t>& seen) {
    std::size_t h = 0;
    for (const auto& [name, bytes] : files)
        h = h * 1000003u ^ std::hash<std::string>()(name) ^ (std::hash<std::string>()(bytes) << 1);
    return seen.insert(h).second ? h : 0;
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
    if (std::getenv("CRASH_OPS"))
        for (std::size_t i = 0; i < ops.size(); ++i)
            std::printf("%zu %d %s %s %llu %zu\n", i, static_cast<int>(ops[i].kind), ops[i].name.c_str(),
                        ops[i].to.c_str(), static_cast<unsigned long long>(ops[i].offset), ops[i].bytes.size());
    for (const Step& s : steps) if (std::getenv("CRASH_OPS")) std::printf("step ends %zu\n", s.endOp);

    const auto at = scratchDir("crash-state");
    std::set<std::size_t> seen;
    std::size_t states = 0;
    std::vector<std::string> faults;
    for (std::size_t k = 0; k <= ops.size(); ++k) {
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
            const auto files = stateAfter(start, ops, k, v.names, v.data);
            if (stateKey(files, seen) == 0) continue;
            ++states;
            putState(at, files);
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
            first.fresh.tables.writeCell(ViewRegister, 0, RegisterCol::companyNumber, "0109000001");
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
    std::error_code ec;
    std::filesystem::remove_all(dir.parent_path(), ec);
    EXPECT_GT(states, 50u);
    EXPECT_TRUE(faults.empty()) << faults.size() << " of " << states << " states, the first: " << faults.front();
}
