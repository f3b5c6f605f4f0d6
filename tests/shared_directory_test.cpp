#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "directory/directory_learning.h"
#include "test_support.h"
#include "util/os_file.h"

using namespace kovirant;

namespace {

// Learns company i of a run's own range, one learning a run, as saves do.
void learnCompanies(const std::filesystem::path& file, int first, int count) {
    for (int i = first; i < first + count; ++i) {
        const std::string tax = std::to_string(10000000 + i);
        const std::string company = "0109" + std::to_string(100000 + i);
        const LearningOutcome o = learnIntoDirectory(file, {}, [&](CompanyDirectory& d) {
            return d.learn(tax, company, "") ? std::size_t{1} : std::size_t{0};
        });
        if (o.status != LearningStatus::Learnt) _exit(1);
    }
}

}  // namespace

// Two programs learning at the same time: every line of both is in the
// directory, which stays readable; neither replaced the other's lines.
TEST(SharedDirectory, TwoProcessesLearningAtOnceLoseNoLine) {
    const auto file = freshTempDir("shared") / "Cegtar.csv";
    pid_t children[2];
    for (int c = 0; c < 2; ++c) {
        children[c] = fork();
        ASSERT_GE(children[c], 0);
        if (children[c] == 0) {
            learnCompanies(file, c * 100, 100);
            _exit(0);
        }
    }
    for (pid_t child : children) {
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const LoadedDirectory d = loadDirectory(file);
    ASSERT_EQ(d.status, DirectoryStatus::Read);
    EXPECT_EQ(d.directory.size(), 200u);
    EXPECT_EQ(d.directory.unreadableLines(), 0u);
    EXPECT_FALSE(std::filesystem::exists(lockFileOf(file)));
}

// A lock left by a process that is gone is taken over and said so; one whose
// holder runs, or one from another machine younger than two minutes, is
// waited for and named.
TEST(SharedDirectory, ALockOfAProgramThatIsGoneIsTakenOver) {
    const auto file = freshTempDir("stale") / "Cegtar.csv";
    const ProcessIdentity me = thisProcess();
    const pid_t dead = fork();
    if (dead == 0) _exit(0);
    waitpid(dead, nullptr, 0);  // its id now names no running process
    const std::int64_t now = static_cast<std::int64_t>(std::time(nullptr));
    const struct {
        LockHolder holder;
        LearningStatus status;
        bool tookOver;
    } cases[] = {
        {{me.machine, "anna", dead, now}, LearningStatus::Learnt, true},
        {{"MASIKGEP", "bela", 4242, now - kLockStaleSeconds - 5}, LearningStatus::Learnt, true},
        {{"MASIKGEP", "bela", 4242, now}, LearningStatus::Busy, false},
        {{me.machine, "anna", ::getppid(), now}, LearningStatus::Busy, false},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.holder.user + "@" + c.holder.machine);
        writeFile(lockFileOf(file), lockText(c.holder, 1));
        const std::string tax = std::to_string(20000000 + ++n);
        const LearningOutcome o = learnIntoDirectory(
            file, {}, [&](CompanyDirectory& d) { return d.learn(tax, "0109123456", "") ? std::size_t{1} : 0; }, 300);
        EXPECT_EQ(o.status, c.status);
        EXPECT_EQ(o.tookOver, c.tookOver);
        const std::string text = learningText(o, file);
        EXPECT_NE(text.find(c.holder.user), std::string::npos) << text;  // the holder is named
        std::filesystem::remove(lockFileOf(file));
    }
}
