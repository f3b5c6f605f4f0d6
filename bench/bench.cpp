// Benchmarks of the core: APEH import, report writing and report reload.
// Each mode runs in a process of its own so its peak memory is its own.
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core_steps.h"

#include "archive/account_history.h"
#include "archive/reconciliation.h"
#include "archive/report_archive.h"
#include "directory/company_directory.h"
#include "editing/check_digits.h"
#include "editing/row_check.h"
#include "import/apeh_import.h"
#include "import/line_reader.h"
#include "import/report_reload.h"
#include "records/memory_table.h"
#include "report/report_writer.h"
#include "util/file_io.h"

using namespace kovirant;
using Clock = std::chrono::steady_clock;

namespace {

long peakKb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

// The resident size now (the peak so far may be a step's that freed its memory since).
long residentKb() {
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

double since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

struct Tables {
    RecordTables tables;
    const MemoryTable& reg = tables.table(ViewRegister);
};

// The i-th company's tax number and account number, their check digits right
// as in a real month's protocol.
std::string benchTax(long i) {
    std::string prefix = std::to_string(1000000 + i % 9000000);
    return prefix + checkDigitFor(prefix);
}

std::string benchAccount(long i) {
    char block[24];
    std::snprintf(block, sizeof block, "%015ld", i);
    return std::string("11773016") + block + checkDigitFor(block);
}

// With `openingsOnly` every line opens an account: the rows a directory can
// complete into a report that passes the check.
int genApeh(const char* path, long n, bool openingsOnly = false) {
    FilePtr f = openFile(path, "wb").file;
    std::string line(216, '.');
    char buf[32];
    for (long i = 0; i < n; ++i) {
        std::snprintf(buf, sizeof buf, "%06ld", i % 1000000);
        std::memcpy(line.data(), buf, 6);
        std::memcpy(line.data() + 6, benchTax(i).data(), 8);
        std::memcpy(line.data() + 17, benchAccount(i).data(), 24);
        std::memcpy(line.data() + 41, "050301", 6);
        line[215] = (i % 2 && !openingsOnly) ? 'T' : 'U';
        std::fwrite(line.data(), 1, line.size(), f.get());
        std::fwrite("\r\n", 1, 2, f.get());
    }
    return 0;
}

double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// The import's reading and parsing alone: its lines read and judged as the
// import does, no row stored.
double parseOnlySeconds(const char* path) {
    FilePtr f = openFile(path, "rb").file;
    if (!f) return 0;
    const double start = cpuSeconds();
    TextLineReader reader(f.get());
    RegisterEntry entry;
    std::size_t passed = 0;
    for (std::string_view piece; reader.next(piece);) {
        if (!piece.empty() && piece.back() == '\n') piece.remove_suffix(1);
        passed += !checkApehLine(piece.substr(0, piece.find('\r')), entry);
    }
    const double s = cpuSeconds() - start;
    return passed > 0 ? s : 0;
}

int importApeh(const char* path) {
    Tables t;
    const long before = peakKb();
    auto start = Clock::now();
    const double cpu = cpuSeconds();
    ApehOutcome o = ImportApehFile(path, t.tables, [](const std::string&) { return true; });
    const double s = since(start), importCpu = cpuSeconds() - cpu;
    const long peak = peakKb();
    // The share of storing: the CPU the import takes beyond reading and parsing.
    const double parse = parseOnlySeconds(path);
    std::printf("import lines=%lld rows=%zu seconds=%.3f lines_per_s=%.0f peak_kb=%ld start_kb=%ld cpu_seconds=%.3f "
                "parse_cpu_seconds=%.3f storing_share=%.2f\n",
                o.lines, o.rowsAppended, s, static_cast<double>(o.lines) / s, peak, before, importCpu, parse,
                importCpu > 0 ? std::max(0.0, 1 - parse / importCpu) : 0.0);
    return 0;
}

void fill(Tables& t, long n) {
    RegisterEntry r;
    InstitutionEntry in;
    AccountChangeEntry a;
    char buf[64];
    for (long i = 0; i < n; ++i) {
        std::snprintf(buf, sizeof buf, "01%02ld%06ld", 1 + i % 18, i % 1000000);
        r = {buf, "12345678", "117730161111111122222222", "2005-03-01", (i % 2) ? "2006-01-01" : "", "Bejegyzés"};
        t.tables.appendRow(ViewRegister, r);
        if (i % 10 == 0) {
            in = {"Próba Bank Zrt.", "0110012345", "12345678", "1051", "Budapest", "Nádor", "utca", "16",
                  "87654321", "", "", "Bejegyzés"};
            t.tables.appendRow(ViewInstitution, in);
            a = {"12345678", buf, "117730161111111122222222", "2001-01-01", "2005-01-01",
                 "117730162222222233333333", "2005-01-02", ""};
            t.tables.appendRow(ViewAccountChange, a);
        }
    }
}

int writeReport(const char* path, long n) {
    Tables t;
    fill(t, n);
    const long before = peakKb();
    SettingsFile settings(std::string(path) + ".ini");
    auto start = Clock::now();
    ReportOutcome o = WriteReport(path, t.tables, settings);
    const double s = since(start);
    std::error_code ec;
    const double mb = static_cast<double>(std::filesystem::file_size(path, ec)) / 1e6;
    std::printf("write rows=%ld status=%d seconds=%.3f mb=%.1f mb_per_s=%.1f tables_kb=%ld peak_kb=%ld\n", n,
                static_cast<int>(o.status), s, mb, mb / s, before, peakKb());
    return o.status == ReportStatus::Written ? 0 : 1;
}

// A directory of `n` companies, as the program writes it.
int genDirectory(const char* path, long n) {
    FilePtr f = openFile(path, "wb").file;
    std::fputs("Törzsszám;Cégszám;Cégnév\r\n", f.get());
    for (long i = 0; i < n; ++i)
        std::fprintf(f.get(), "%s;%02ld-%02ld-%06ld;Cég %ld Kft.\r\n", benchTax(i).c_str(), 1 + i % 20, 1 + i % 18,
                     i % 1000000, i);
    return 0;
}

int loadDirectoryBench(const char* path) {
    const long before = peakKb();
    auto start = Clock::now();
    const LoadedDirectory d = loadDirectory(path);
    const double s = since(start);
    std::printf("directory load entries=%zu seconds=%.3f peak_kb=%ld start_kb=%ld\n", d.directory.size(), s, peakKb(),
                before);
    return d.status == DirectoryStatus::Read ? 0 : 1;
}

// Fills `n` register rows without company numbers from the directory.
int fillBench(const char* path, long n) {
    const LoadedDirectory d = loadDirectory(path);
    Tables t;
    RegisterEntry r{"", "", "117730161111111122222222", "2005-03-01", "", "Bejegyzés"};
    for (long i = 0; i < n; ++i) {
        r[RegisterCol::taxBaseNumber] = benchTax(i);
        t.tables.appendRow(ViewRegister, r);
    }
    auto start = Clock::now();
    const FillResult f = fillCompanyNumbers(d.directory, t.tables);
    const double s = since(start);
    std::printf("fill rows=%ld filled=%zu seconds=%.3f\n", n, f.filled, s);
    return 0;
}

// Checks `n` rows (then up to `rounds` more of each, with and without the
// deadline rule, until the least of each is known to 2%): register rows as an import leaves them (every one faulty:
// no company number), each of its own company and account, and a tenth as
// many institution and account-change rows; the warnings' hash tables hold every row.
int checkBench(long total, int rounds) {
    Tables t;
    const long n = total * 10 / 12;
    fill(t, n);
    RegisterEntry r{"", "12345678", "117730161111111122222222", "2005-03-01", "", "Bejegyzés"};
    for (long i = 0; i < n; ++i) {
        r[RegisterCol::taxBaseNumber] = benchTax(i);
        r[RegisterCol::accountNumber] = benchAccount(i);
        t.tables.writeRow(ViewRegister, static_cast<std::size_t>(i), r);
    }
    // The first check in this process (its memory touched for the first
    // time, as an import's is in a process of its own) is the one set
    // against the import; the deadline rule's cost is the least of many warm
    // rounds, with and without it in turns, and its resolution the gap
    // between the least and the next of each (the difference is small
    // beside the machine's noise).
    CheckOptions deadline;
    deadline.checkDay = dayNumber("2005-03-05");
    auto start = Clock::now();
    RowCheck c = checkAllRows(t.tables, 20, 18), d;
    const double first = since(start);
    std::vector<double> plain, judged;
    // How well the least round is known: its gap to the next least.
    auto gap = [](std::vector<double>& v) {
        std::sort(v.begin(), v.end());
        return v.size() < 2 ? 0.0 : v[1] / v[0] - 1;
    };
    int done = 0;
    for (; done < rounds && (done < 3 || std::max(gap(plain), gap(judged)) > 0.02); ++done) {
        start = Clock::now();
        c = checkAllRows(t.tables, 20, 18);
        plain.push_back(since(start));
        start = Clock::now();
        d = checkAllRows(t.tables, 20, 18, deadline);
        judged.push_back(since(start));
    }
    auto least = [first](const std::vector<double>& v) { return v.empty() ? first : v[0]; };
    std::printf("check rows=%zu faults=%zu warnings=%zu seconds=%.3f warm_seconds=%.3f deadline_seconds=%.3f "
                "deadline_warnings=%zu rounds=%d resolution=%.3f\n",
                t.tables.totalRows(), c.faults.size(), c.warnings.size(), first, least(plain), least(judged),
                d.warnings.size(), done, std::max(gap(plain), gap(judged)));
    return 0;
}

// A month's check: the protocol's openings imported, their company numbers
// filled from the directory (the rows then pass), checked against the
// directory and the archive's history (whose reports hold some of the
// month's accounts under other company numbers and dates, and 1% of its
// rows as they are: the warnings a month has). CPU seconds of the import
// and of the check, on every core.
int checkMonthBench(const char* apeh, const char* directoryFile, const char* archive) {
    Tables t;
    double cpu = cpuSeconds();
    ImportApehFile(apeh, t.tables, [](const std::string&) { return true; });
    const double importCpu = cpuSeconds() - cpu;
    const LoadedDirectory d = loadDirectory(directoryFile);
    if (d.status != DirectoryStatus::Read) return 1;
    fillCompanyNumbers(d.directory, t.tables);
    // A month sends some rows again: the first 1% were archived before (once).
    const std::filesystem::path folder = std::filesystem::path(archive) / "Archivum";
    int err = 0;
    if (readArchiveLog(folder, err).size() <= 12) {
        Tables sent;
        RegisterEntry r;
        for (std::size_t i = 0; i < t.tables.table(ViewRegister).rowCount() / 100; ++i) {
            t.tables.readRow(ViewRegister, i, r);
            sent.tables.appendRow(ViewRegister, r);
        }
        const std::filesystem::path report = std::filesystem::path(archive) / "elozo.xml";
        if (WriteReport(report, sent.tables, SettingsFile(std::filesystem::path(archive) / "Kovirant.ini")).status !=
                ReportStatus::Written ||
            !archiveReport(folder, report, {kActionSave, {sent.reg.rowCount(), 0, 0}, "bench", ""}, std::time(nullptr)).ok())
            return 1;
    }
    const AccountHistory history = AccountHistory::build(folder, err);
    if (err != 0) return 1;
    fillCompanies(t.tables, &d.directory, &history);
    CheckOptions options;
    options.history = historyForCheck(history);
    options.historyAhead = historyAheadForCheck(history);
    options.directoryCompany = [&d](std::string_view tax) { return d.directory.companyOf(tax); };
    cpu = cpuSeconds();
    const auto start = Clock::now();
    const RowCheck c = checkAllRows(t.tables, 20, 18, options);
    const double checkWall = since(start), checkCpu = cpuSeconds() - cpu;
    std::printf("check-month rows=%zu faults=%zu warnings=%zu import_cpu_seconds=%.3f check_cpu_seconds=%.3f "
                "check_seconds=%.3f\n",
                t.tables.totalRows(), c.faults.size(), c.warnings.size(), importCpu, checkCpu, checkWall);
    return 0;
}

// Archives a written report (its copy and log line) into a fresh archive
// beside it: the step every save adds.
int archiveBench(const char* report) {
    const std::filesystem::path folder = std::filesystem::path(report).parent_path() / "archive-bench";
    bench::removeTree(folder);
    const auto start = Clock::now();
    const ArchiveOutcome o = archiveReport(folder, report, {kActionSave, {1000000, 0, 0}, "bench", ""}, std::time(nullptr));
    const double s = since(start);
    std::printf("archive ok=%d seconds=%.3f\n", o.ok() ? 1 : 0, s);
    return o.ok() ? 0 : 1;
}

// An archive of `reports` reports of `n` register rows each (of `total`
// rows in all, when given), every row an opening of an account of its own
// (from the `first`-th), as months of a bank's reports.
int genArchive(const char* folder, long reports, long n, long total = 0, long first = 0) {
    if (total <= 0) total = reports * n;
    const std::filesystem::path dir(folder);
    bench::removeTree(dir);
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    char company[16];
    for (long k = 0; k < reports; ++k) {
        Tables t;
        const long from = first + total * k / reports, to = first + total * (k + 1) / reports;
        for (long i = from; i < to; ++i) {
            std::snprintf(company, sizeof company, "01%02ld%06ld", 1 + i % 18, i % 1000000);
            t.tables.appendRow(ViewRegister, RegisterEntry{company, benchTax(i), benchAccount(i), "2026-11-02", "",
                                                           "Bejegyzés"});
        }
        const std::filesystem::path report = dir / ("jelentes-" + std::to_string(k + 1) + ".xml");
        if (WriteReport(report, t.tables, SettingsFile(dir / "Kovirant.ini")).status != ReportStatus::Written) return 1;
        const ArchiveEntry entry{kActionSave, {static_cast<std::size_t>(to - from), 0, 0}, "bench", ""};
        if (!archiveReport(dir / "Archivum", report, entry, std::time(nullptr) + k).ok()) return 1;
    }
    return 0;
}

// The history of the archive: the reload of its copies (the baseline), the
// history built from them, a later start from its cache, and the fill of
// `n` closings without opening dates or company numbers from it.
int historyBench(const char* folder, long n) {
    const std::filesystem::path archive = std::filesystem::path(folder) / "Archivum";
    int err = 0;
    auto start = Clock::now();
    std::size_t reloaded = 0;
    for (const ArchiveLogEntry& e : readArchiveLog(archive, err)) {
        Tables t;
        reloaded += ReloadReport(copyPath(archive, e.copy), t.tables).rowsAppended;
    }
    const double reload = since(start);
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(archive, ec))
        if (e.path().extension() == ".cache") std::filesystem::remove(e.path(), ec);
    start = Clock::now();
    const AccountHistory built = AccountHistory::build(archive, err);
    const double build = since(start);
    start = Clock::now();
    const AccountHistory cached = AccountHistory::build(archive, err);
    const double later = since(start);
    Tables t;
    for (long i = 0; i < n; ++i)
        t.tables.appendRow(ViewRegister, RegisterEntry{"", benchTax(i), benchAccount(i), "", "2026-12-01", "Törlés"});
    start = Clock::now();
    const HistoryFill f = fillFromHistory(cached, t.tables, nullptr);
    const double fill = since(start);
    std::printf("history reports=%zu rows=%zu reloaded=%zu reload_seconds=%.3f seconds=%.3f cached=%d "
                "later_seconds=%.3f bytes_per_row=%.0f fill_rows=%ld companies=%zu openings=%zu fill_seconds=%.3f\n",
                built.reports().size(), built.rows(), reloaded, reload, build, cached.fromCache() ? 1 : 0, later,
                static_cast<double>(cached.bytes()) / static_cast<double>(std::max<std::size_t>(1, cached.rows())), n,
                f.companies, f.openings, fill);
    return cached.fromCache() && f.openings == static_cast<std::size_t>(n) ? 0 : 1;
}

// The first look-up after each new report of `n` rows, against the reload
// of that report: in a later start (the history from its caches, the report
// added as a layer), then where the program holds the history (the
// window's), four reports in a row (their layers merged as they come).
// Each report's rows come from the tables it was written from, as after the
// window's own save; with `fromCopy`, from its copy read back (a report
// another officer's program archived).
int historyGrowBench(const char* folder, long n, bool fromCopy) {
    const std::filesystem::path dir(folder), archive = dir / "Archivum";
    int err = 0;
    AccountHistory::build(archive, err);  // the caches of the archive as it is
    constexpr int kRounds = 5;
    double reload = 0, later = 0, held = 0, heldMost = 0, settle = 0, settleMost = 0;
    bool alone = true;
    std::shared_ptr<const AccountHistory> history;
    for (int round = 0; round < kRounds; ++round) {
        const long first = static_cast<long>(history ? history->rows() : AccountHistory::build(archive, err).rows());
        Tables t;
        char company[16];
        for (long i = first; i < first + n; ++i) {
            std::snprintf(company, sizeof company, "01%02ld%06ld", 1 + i % 18, i % 1000000);
            t.tables.appendRow(ViewRegister, RegisterEntry{company, benchTax(i), benchAccount(i), "2026-12-02", "", "Bejegyzés"});
        }
        const std::filesystem::path report = dir / "jelentes-uj.xml";
        if (WriteReport(report, t.tables, SettingsFile(dir / "Kovirant.ini")).status != ReportStatus::Written) return 1;
        SavedTables written = frozenTables(t.tables);  // as the window keeps them after its save
        const ArchiveEntry entry{kActionSave, {static_cast<std::size_t>(n), 0, 0}, "bench", ""};
        const ArchiveOutcome o = archiveReport(archive, report, entry, std::time(nullptr) + 100000 + first / n);
        if (!o.ok()) return 1;
        const std::shared_ptr<const SavedReport> saved = fromCopy ? nullptr : savedReport(std::move(written), o.copy, o.sha256);
        auto start = Clock::now();
        Tables again;
        if (ReloadReport(o.copy, again.tables).rowsAppended != static_cast<std::size_t>(n)) return 1;
        reload += since(start) / kRounds;
        start = Clock::now();
        auto h = std::make_shared<const AccountHistory>(
            AccountHistory::build(archive, err, history, saved, AccountHistory::Settle::Later));
        const std::size_t found = h->rowsOf(benchAccount(first + n - 1)).size();
        const double s = since(start);
        // What the window does after the answer: the layers merged, the cache written.
        start = Clock::now();
        h = AccountHistory::settled(std::move(h), archive);
        const double after = since(start);
        settle += after / kRounds, settleMost = std::max(settleMost, after);
        if (err != 0 || found != 1 || h->rowsOf(benchAccount(0)).size() != 1) return 1;
        alone = alone && h->copiesRead() == 1 && (fromCopy || saved);
        if (round == 0) later = s;
        else held += s / (kRounds - 1), heldMost = std::max(heldMost, s);
        history = std::move(h);
    }
    std::printf("history-grow reports=%zu rows=%zu reload_seconds=%.3f later_start_seconds=%.3f held_seconds=%.3f "
                "held_most_seconds=%.3f settle_seconds=%.3f settle_most_seconds=%.3f alone=%d\n",
                history->reports().size(), history->rows(), reload, later, held, heldMost, settle, settleMost, alone ? 1 : 0);
    return alone ? 0 : 1;
}

// The registry's list of the accounts gen-archive opened: `n` lines, the
// fields in the forms of a register's export; every 1,000th line with
// another opening date (a difference to find).
int genRegistry(const char* path, long n) {
    FilePtr f = openFile(path, "wb").file;
    std::fputs("Cégjegyzékszám Adószám Számlaszám Nyitás Zárás Hattól Hatig\r\n", f.get());
    char line[160];
    for (long i = 0; i < n; ++i) {
        const std::string a = benchAccount(i);
        std::snprintf(line, sizeof line, "Cg.01-%02ld-%06ld %s-2-42 %s-%s-%s %s - 2026.11.05. -\r\n", 1 + i % 18,
                      i % 1000000, benchTax(i).c_str(), a.substr(0, 8).c_str(), a.substr(8, 8).c_str(),
                      a.substr(16).c_str(), i % 1000 ? "2026.11.02." : "2026.10.02.");
        std::fputs(line, f.get());
    }
    return 0;
}

// The registry's list read and compared with the history of the archive
// (from its cache: a history built from the reports first starts the run
// again, so its own peak is not counted): the time and the memory beyond
// the history (the peak over what was resident before), per line of the list.
int reconcileBench(char** argv) {
    int err = 0;
    const AccountHistory history = AccountHistory::build(std::filesystem::path(argv[2]) / "Archivum", err);
    if (err != 0) return 1;
    if (!history.fromCache()) return execv("/proc/self/exe", argv) == 0 ? 0 : 1;
    const long before = residentKb();
    auto start = Clock::now();
    const RegistryListOutcome list = readRegistryList(argv[3]);
    const double read = since(start);
    const Reconciliation r = reconcile(history, list);
    const double s = since(start);
    const double lines = static_cast<double>(std::max<std::size_t>(1, list.lines));
    std::printf("reconcile lines=%zu accounts=%zu history_accounts=%zu differences=%zu agreeing=%zu seconds=%.3f "
                "read_seconds=%.3f bytes_per_line=%.0f peak_kb=%ld start_kb=%ld\n",
                list.lines, list.accounts.size(), r.bankAccounts, r.differences.size(), r.agreeing, s, read,
                static_cast<double>(peakKb() - before) * 1024.0 / lines, peakKb(), before);
    return list.ok() && list.unreadable == 0 ? 0 : 1;
}

// A report whose institution names are lines of bare '&' (as older files
// hold them), about `mb` megabytes: the reload's entity decoding must stay
// linear within a line.
int genAmpReport(const char* path, long mb) {
    FilePtr f = openFile(path, "wb").file;
    const std::string name(60000, '&');
    std::fputs("<?xml version=\"1.0\" encoding=\"ISO-8859-2\"?>\r\n<PénzintézetiJelentés>\r\n", f.get());
    std::fputs("<Cégnyilvántartás>\r\n<Törzsadatok>\r\n", f.get());
    for (long written = 0; written < mb * 1000000; written += static_cast<long>(name.size()) + 120) {
        std::fputs("<Pénzintézet Cégszám=\"0110012345\" Törzsszám=\"12345678\" kód=\"Bejegyzés\">\r\n<Név>",
                   f.get());
        std::fputs(name.c_str(), f.get());
        std::fputs("</Név>\r\n</Pénzintézet>\r\n", f.get());
    }
    std::fputs("</Törzsadatok>\r\n</Cégnyilvántartás>\r\n</PénzintézetiJelentés>\r\n", f.get());
    return 0;
}

int reloadReport(const char* path) {
    Tables t;
    const long before = peakKb();
    auto start = Clock::now();
    ReloadOutcome o = ReloadReport(path, t.tables);
    const double s = since(start);
    std::printf("reload rows=%zu seconds=%.3f peak_kb=%ld start_kb=%ld\n", o.rowsAppended, s, peakKb(), before);
    return o.status == ReloadStatus::Completed ? 0 : 1;
}

// A read of every byte of a file, a piece at a time: the baseline of a
// reload, which reads the bytes as this does. A few milliseconds for the
// '&' report: the least of five reads.
int readBytes(const char* path) {
    std::vector<char> piece(1 << 20);
    std::size_t total = 0, sum = 0;
    double least = 1e9;
    for (int round = 0; round < 5; ++round) {
        FilePtr f = openFile(path, "rb").file;
        if (!f) return 1;
        total = 0;
        const auto start = Clock::now();
        for (std::size_t got; (got = std::fread(piece.data(), 1, piece.size(), f.get())) > 0; total += got)
            sum += static_cast<unsigned char>(piece[got - 1]);
        least = std::min(least, since(start));
    }
    std::printf("read bytes=%zu seconds=%.6f last=%zu\n", total, least, sum % 10);
    return 0;
}

// The example report: the example protocol file imported, every company
// number completed, an institution and two account changes added.
int exampleReport(const char* examples) {
    const std::filesystem::path dir(examples);
    Tables t;
    ImportApehFile(dir / "apeh-protocol.txt", t.tables, [](const std::string&) { return true; });
    RegisterEntry r;
    for (std::size_t i = 0; i < t.reg.rowCount(); ++i) {
        t.tables.readRow(ViewRegister, i, r);
        char company[16];
        std::snprintf(company, sizeof company, "%02zu%02zu%06zu", 1 + i % 20, 1 + (i * 7) % 18, 10000 + i * 37);
        r[RegisterCol::companyNumber] = company;
        t.tables.writeRow(ViewRegister, i, r);
    }
    t.tables.appendRow(ViewInstitution,
                       InstitutionEntry{"Próba Bank Zrt.", "0110041234", "10537914", "1051", "Budapest", "Nádor",
                                        "utca", "16", "11773016", "B", "", "Bejegyzés"});
    t.tables.appendRow(ViewAccountChange,
                       AccountChangeEntry{"12345678", "0109123456", "117730160000123400000000", "2001-05-02",
                                          "2005-06-30", "107000240000567800000000", "2005-07-01", ""});
    t.tables.appendRow(ViewAccountChange,
                       AccountChangeEntry{"23456789", "", "119180010000042100000000", "1999-01-04", "2005-03-31",
                                          "120101540000042100000000", "2005-04-01", "2006-12-31"});
    SettingsFile settings(dir / "Kovirant.ini");
    ReportOptions o;
    o.clock = [] { return static_cast<std::time_t>(1165572000); };
    return WriteReport(dir / "report.xml", t.tables, settings, o).status == ReportStatus::Written ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 4 && std::strcmp(argv[1], "gen-apeh") == 0)
        return genApeh(argv[2], std::atol(argv[3]), argc >= 5 && std::strcmp(argv[4], "openings") == 0);
    if (argc >= 3 && std::strcmp(argv[1], "import-apeh") == 0) return importApeh(argv[2]);
    if (argc >= 4 && std::strcmp(argv[1], "write-report") == 0) return writeReport(argv[2], std::atol(argv[3]));
    if (argc >= 3 && std::strcmp(argv[1], "reload-report") == 0) return reloadReport(argv[2]);
    if (argc >= 3 && std::strcmp(argv[1], "archive-report") == 0) return archiveBench(argv[2]);
    if (argc >= 5 && std::strcmp(argv[1], "gen-archive") == 0)
        return genArchive(argv[2], std::atol(argv[3]), std::atol(argv[4]), argc >= 6 ? std::atol(argv[5]) : 0,
                          argc >= 7 ? std::atol(argv[6]) : 0);
    if (argc >= 4 && std::strcmp(argv[1], "gen-registry") == 0) return genRegistry(argv[2], std::atol(argv[3]));
    if (argc >= 4 && std::strcmp(argv[1], "reconcile") == 0) return reconcileBench(argv);
    if (argc >= 4 && std::strcmp(argv[1], "history") == 0) return historyBench(argv[2], std::atol(argv[3]));
    if (argc >= 4 && std::strcmp(argv[1], "history-grow") == 0)
        return historyGrowBench(argv[2], std::atol(argv[3]), argc >= 5 && std::strcmp(argv[4], "copy") == 0);
    if (argc >= 4 && std::strcmp(argv[1], "gen-amp-report") == 0) return genAmpReport(argv[2], std::atol(argv[3]));
    if (argc >= 4 && std::strcmp(argv[1], "gen-directory") == 0) return genDirectory(argv[2], std::atol(argv[3]));
    if (argc >= 3 && std::strcmp(argv[1], "check-rows") == 0) return checkBench(std::atol(argv[2]), argc >= 4 ? std::atoi(argv[3]) : 7);
    if (argc >= 5 && std::strcmp(argv[1], "check-month") == 0) return checkMonthBench(argv[2], argv[3], argv[4]);
    if (argc >= 3 && std::strcmp(argv[1], "load-directory") == 0) return loadDirectoryBench(argv[2]);
    if (argc >= 4 && std::strcmp(argv[1], "fill-directory") == 0) return fillBench(argv[2], std::atol(argv[3]));
    if (argc >= 3 && std::strcmp(argv[1], "example-report") == 0) return exampleReport(argv[2]);
    if (argc >= 3 && std::strcmp(argv[1], "read-bytes") == 0) return readBytes(argv[2]);
    if (argc >= 2 && std::strcmp(argv[1], "build") == 0) return std::printf("%s\n", bench::buildLabel().c_str()) < 0;
    if (argc >= 7 && std::strcmp(argv[1], "steps") == 0)
        return bench::timeWholeTableSteps({argv[2], argv[3], argv[4], argv[5], argv[6]});
    std::fprintf(stderr,
                 "usage: kovirant_bench gen-apeh FILE N | import-apeh FILE | write-report FILE N | reload-report FILE\n");
    return 2;
}
