// Faults of the disk and of the process: afterwards the previous report and
// the settings file are whole, old or new, never a mix or a fragment.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>

#include "report/data_sheet.h"
#include "report/report_writer.h"
#include "profile_helpers.h"
#include "test_support.h"

using namespace kovirant;

namespace {

// A file system of 64 KiB, mounted for the test's lifetime (needs root).
class SmallFileSystem {
public:
    explicit SmallFileSystem(const std::filesystem::path& dir) : dir_(dir) {
        mounted_ = ::geteuid() == 0 && ::mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=64k") == 0;
    }
    ~SmallFileSystem() {
        if (mounted_) ::umount(dir_.c_str());
    }
    bool mounted() const { return mounted_; }

private:
    std::filesystem::path dir_;
    bool mounted_ = false;
};

std::size_t entries(const std::filesystem::path& dir) {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(dir), {}));
}

void fill(RecordTables& tables, int rows, const std::string& code) {
    for (int i = 0; i < rows; ++i) tables.appendRow(ViewRegister, registerRow("0109123456", "12345678",
                                                                             "111111112222222233333333", "2005-03-01",
                                                                             "", code));
}

}  // namespace

TEST(Faults, AFullDiskLeavesTheOldReportAndTheOldSettings) {
    auto dir = freshTempDir("full-disk");
    SmallFileSystem fs(dir);
    if (!fs.mounted()) GTEST_SKIP() << "mounting a small file system needs root";
    TestTables small, big;
    fill(small.tables, 3, "Bejegyzés");
    fill(big.tables, 2000, "Törlés");
    SettingsFile settings(dir / "Kovirant.ini");
    writeFile(settings.path(), "[ADATLAP]\r\nCnev=Old Bank\r\n");
    ASSERT_EQ(WriteReport(dir / "r.xml", small.tables, settings).status, ReportStatus::Written);
    const std::string old = readFile(dir / "r.xml");

    const ReportOutcome out = WriteReport(dir / "r.xml", big.tables, settings);
    EXPECT_EQ(out.status, ReportStatus::WriteFailed);
    EXPECT_EQ(out.errorCode, ENOSPC);
    EXPECT_EQ(readFile(dir / "r.xml"), old);
    EXPECT_EQ(entries(dir), 2u);  // the report and the settings file, no temporary file

    // Fill the disk, then save the data sheet: refused with the code, old file kept.
    writeFile(dir / "ballast", std::string(60 * 1024, 'x'));
    DataSheetForm form = openDataSheet(settings);
    form.cjsz1 = "1"; form.cjsz2 = "10"; form.adoszam = "12345678"; form.Cnev = std::string(500, 'N');
    form.irsz = "1"; form.hely = std::string(500, 'H'); form.terulet = std::string(500, 'T'); form.jelleg = 1;
    form.hazszam = "1"; form.Uemail = "a@b"; form.targy = std::string(500, 'x'); form.cim = std::string(500, 'y');
    const DataSheetSaveResult saved = saveDataSheet(form, settings, 20, 18);
    EXPECT_FALSE(saved.saved());
    ASSERT_TRUE(saved.message.has_value());
    EXPECT_NE(saved.message->text.find("Hibakód=" + std::to_string(ENOSPC)), std::string::npos);
    EXPECT_EQ(readFile(settings.path()), "[ADATLAP]\r\nCnev=Old Bank\r\n");
}

TEST(Faults, AReadOnlyPlaceCannotTakeTheReport) {
    TestTables t;
    fill(t.tables, 1, "Bejegyzés");
    const ReportOutcome out = WriteReport("/proc/kovirant-report.xml", t.tables, SettingsFile("/nonexistent/Kovirant.ini"));
    EXPECT_EQ(out.status, ReportStatus::CannotOpen);
    EXPECT_NE(out.errorCode, 0);
}

TEST(Faults, TheSettingsFileRemovedWhileRunningIsWrittenAnew) {
    auto dir = freshTempDir("settings-removed");
    SettingsFile settings(dir / "Kovirant.ini");
    writeFile(settings.path(), "[ADATLAP]\r\nCnev=Bank\r\n");
    DataSheetForm form = openDataSheet(settings);
    std::filesystem::remove(settings.path());
    form.cjsz1 = "1"; form.cjsz2 = "10"; form.adoszam = "12345678"; form.irsz = "1"; form.hely = "H";
    form.terulet = "T"; form.jelleg = 1; form.hazszam = "1"; form.Uemail = "a@b";
    ASSERT_TRUE(saveDataSheet(form, settings, 20, 18).saved());
    EXPECT_EQ(readDataSheetKey(settings, "Cnev"), "Bank");
    EXPECT_EQ(readDataSheetKey(settings, "cjsz1"), "01");
}

// A writer killed at a random moment leaves the target old or new, whole.
TEST(Faults, KillingASaveLeavesOldOrNewWhole) {
    auto dir = freshTempDir("kill-save");
    SettingsFile settings(dir / "Kovirant.ini");
    writeFile(settings.path(), "[ADATLAP]\r\nCnev=Bank\r\n");
    TestTables a, b;
    fill(a.tables, 20000, "Bejegyzés");
    fill(b.tables, 30000, "Törlés");
    ReportOptions fixed;
    fixed.clock = [] { return static_cast<std::time_t>(0); };
    ASSERT_EQ(WriteReport(dir / "expected-a.xml", a.tables, settings, fixed).status, ReportStatus::Written);
    ASSERT_EQ(WriteReport(dir / "expected-b.xml", b.tables, settings, fixed).status, ReportStatus::Written);
    const std::string reportA = readFile(dir / "expected-a.xml");
    const std::string reportB = readFile(dir / "expected-b.xml");
    std::filesystem::copy_file(dir / "expected-a.xml", dir / "r.xml");
    writeFile(dir / "churn.ini", "[GENERAL]\r\nmaxtk=20\r\n[ADATLAP]\r\nCnev=Bank\r\n");

    std::mt19937 random(12345);
    for (int round = 0; round < 12; ++round) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int i = 0;; ++i) {
                WriteReport(dir / "r.xml", (i % 2 ? a : b).tables, settings, fixed);
                writeProfileString(dir / "churn.ini", "ADATLAP", "Cnev", i % 2 ? "Bank A" : "Bank B");
            }
        }
        ::usleep(20000 + random() % 150000);
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        const std::string now = readFile(dir / "r.xml");
        EXPECT_TRUE(now == reportA || now == reportB) << "round " << round << ": " << now.size() << " bytes";
        const std::string name = readDataSheetKey(SettingsFile(dir / "churn.ini"), "Cnev");
        EXPECT_TRUE(name == "Bank" || name == "Bank A" || name == "Bank B") << name;
        EXPECT_EQ(getProfileString(dir / "churn.ini", "GENERAL", "maxtk", "", 128), "20");
    }
}
