#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <nlohmann/json.hpp>

#include "cli/cli_run.h"
#include "directory/company_directory.h"
#include "import/report_reload.h"
#include "report/report_writer.h"
#include "test_support.h"
#include "text/cp1250.h"
#include "util/file_io.h"

using namespace kovirant;

namespace {

const std::filesystem::path kExamples = std::filesystem::path(KOVIRANT_SOURCE_DIR) / "examples";

class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = freshTempDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::copy_file(kExamples / "Kovirant.ini", dir / "Kovirant.ini");
    }
    int run(std::vector<std::string> args) {
        out.clear();
        err.clear();
        std::vector<cli::Argument> a;
        for (const std::string& s : args) a.push_back({s, std::filesystem::path(s)});
        cli::Io io{[&](std::string_view s) { out += s; }, [&](std::string_view s) { err += s; }, dir};
        return cli::run(a, io);
    }
    std::string path(const char* name) const { return (dir / name).string(); }
    std::filesystem::path dir;
    std::string out, err;
};

std::string withoutStamp(std::string s) {
    const std::size_t a = s.find("<Id\xF5pec");
    if (a != std::string::npos) s.erase(a, s.find('\n', a) - a);
    return s;
}

}  // namespace

TEST_F(CliTest, UsageAndExitStatuses) {
    const std::string faulty = (kExamples / "apeh-protocol-faulty.txt").string();
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* err;  // part of standard error (UTF-8), or nullptr
    } cases[] = {
        {{}, cli::kExitUsage, "nincs bemen"},
        {{"--bogus", faulty}, cli::kExitUsage, "kovirant-cli --help"},
        {{"--format", "xml", "--check", faulty}, cli::kExitUsage, "ismeretlen form"},
        {{faulty}, cli::kExitUsage, "-o"},
        {{"--help"}, cli::kExitWritten, nullptr},
        {{"--check", path("nincs.txt")}, cli::kExitFile, "Hibak\xC3\xB3" "d=2"},
        {{"--check", faulty}, cli::kExitFaults, "Nem \xC3\xADrtam"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.empty() ? "" : c.args[0]);
        EXPECT_EQ(run(c.args), c.status);
        if (c.err) {
            EXPECT_NE(err.find(c.err), std::string::npos) << err;
        }
    }
    run({"--help"});
    EXPECT_EQ(out.rfind(cp1250ToUtf8("Használat: kovirant-cli"), 0), 0u);
}

// A line the window would ask about stops the run there; with
// --skip-faulty-lines it is skipped (a warning) and the import goes on.
TEST_F(CliTest, FaultyProtocolLinesStopOrAreSkipped) {
    const std::string faulty = (kExamples / "apeh-protocol-faulty.txt").string();
    EXPECT_EQ(run({"--check", faulty}), cli::kExitFaults);
    EXPECT_EQ(out, faulty + cp1250ToUtf8(":2: hiba: A sor nem 216 karakter hosszú: 2. sor. Folytatja ?\n"));
    EXPECT_NE(err.find(cp1250ToUtf8("Cégjegyzék: 1 sor")), std::string::npos);

    EXPECT_EQ(run({"--check", "--skip-faulty-lines", "--format", "json", faulty}), cli::kExitFaults);
    const nlohmann::json doc = nlohmann::json::parse(out);
    EXPECT_TRUE(doc["output"].is_null());
    EXPECT_EQ(doc["rows"]["register"], 3);
    const auto& first = doc["findings"][0];
    EXPECT_EQ(first["file"], faulty);
    EXPECT_EQ(first["line"], 2);
    EXPECT_EQ(first["severity"], cp1250ToUtf8("figyelmeztetés"));
    std::size_t rowFaults = 0;
    for (const auto& f : doc["findings"]) rowFaults += f.contains("table") && f["severity"] == "hiba" ? 1 : 0;
    EXPECT_EQ(rowFaults, 3u);  // no company numbers without a directory
}

// The whole road: the report is the one the window program writes from the
// same rows, the directory learns from it, and a failed write leaves the
// earlier report whole.
TEST_F(CliTest, TheWrittenReportIsTheWindowsAndAFailedOneChangesNothing) {
    const std::string report = (kExamples / "report.xml").string();
    ASSERT_EQ(run({report, "-o", path("ki.xml")}), cli::kExitWritten) << out << err;
    EXPECT_NE(err.find(cp1250ToUtf8("A jelentés elkészült: ") + path("ki.xml")), std::string::npos);
    TestTables t;
    ReloadReport(kExamples / "report.xml", t.tables);
    ASSERT_EQ(WriteReport(dir / "ablak.xml", t.tables, SettingsFile(dir / "Kovirant.ini")).status, ReportStatus::Written);
    EXPECT_EQ(withoutStamp(readFile(dir / "ki.xml")), withoutStamp(readFile(dir / "ablak.xml")));
    const CompanyDirectory learnt = loadDirectory(dir / "Cegtar.csv").directory;
    EXPECT_EQ(learnt.companyOf("20866022"), std::optional<std::string_view>("0101010000"));
    EXPECT_EQ(learnt.companyOf("10537914"), std::optional<std::string_view>("0110041234"));  // the bank

    writeFile(dir / "ki.xml", "previous report");
    injectFileFaults({1, false});
    EXPECT_EQ(run({report, "-o", path("ki.xml")}), cli::kExitFile);
    injectFileFaults({});
    EXPECT_EQ(readFile(dir / "ki.xml"), "previous report");
    EXPECT_NE(err.find("Hibak\xC3\xB3" "d="), std::string::npos);
}

// The program itself: its exit status and UTF-8 text through a pipe.
TEST(CliProgram, ExitStatusAndUtf8ThroughAPipe) {
    std::FILE* p = popen(KOVIRANT_CLI " --bogus 2>&1", "r");
    ASSERT_NE(p, nullptr);
    std::string text;
    char buf[256];
    while (std::fgets(buf, sizeof buf, p)) text += buf;
    const int status = pclose(p);
    EXPECT_EQ(WEXITSTATUS(status), cli::kExitUsage);
    EXPECT_EQ(text, cp1250ToUtf8("kovirant-cli: ismeretlen kapcsoló: --bogus. Segítség: kovirant-cli --help\n"));
}
