// Times Kovirant.exe under Wine against the core built for Windows, on the
// same files: the APEH import, the report reload and the report save.
// Arguments (Windows paths): Kovirant.exe, a work folder, an APEH protocol
// file, a report file; then a part to time instead, "steps" with the files
// of the whole-table steps (a protocol of openings, a directory, an archive
// folder, the registry's list) timing those steps in this build.
#include <chrono>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>

#include "../resources/resource.h"
#include "../tests/wine/driver.h"
#include "../tests/wine/e2e_shared.h"
#include "core_steps.h"
// After windows.h:
#include <psapi.h>
#include "archive/account_history.h"
#include "archive/reconciliation.h"
#include "import/apeh_import.h"
#include "import/report_reload.h"
#include "records/memory_table.h"
#include "recovery/change_journal.h"
#include "report/report_writer.h"

using namespace e2e;
using Clock = std::chrono::steady_clock;

namespace {

double seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

double peakMb(HANDLE process) {
    PROCESS_MEMORY_COUNTERS pmc{};
    pmc.cb = sizeof pmc;
    if (!GetProcessMemoryInfo(process, &pmc, sizeof pmc)) return 0;
    return static_cast<double>(pmc.PeakWorkingSetSize) / 1e6;
}

struct CoreTables {
    kovirant::MemoryTable reg{kovirant::ViewRegister}, inst{kovirant::ViewInstitution}, acc{kovirant::ViewAccountChange};
    kovirant::RecordTables tables{reg, inst, acc};
};

void pressWhenShown(App& app, const std::wstring& title, int button) {
    if (HWND d = app.waitDialog(title, 600000)) App::press(d, button);
}

std::wstring recoveryFile(const std::wstring& dir) { return dir + L"\\Kovirant-visszaallitas.xml"; }
std::wstring journalFile(const std::wstring& dir) { return dir + L"\\Kovirant-visszaallitas.naplo"; }

ULONGLONG stampOf(const std::wstring& file) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<ULONGLONG>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
}

// A work folder `name` beside `work` with the settings file and a protocol
// file of `rows` lines.
std::wstring folderWithProtocol(const std::wstring& work, const std::wstring& name, int rows) {
    const std::wstring dir = work + L"\\" + name;
    CreateDirectoryW(dir.c_str(), nullptr);
    CopyFileW((work + L"\\Kovirant.ini").c_str(), (dir + L"\\Kovirant.ini").c_str(), FALSE);
    writeProtocol(dir + L"\\protocol.txt", rows);
    // The recovery files of a run that was killed would be offered at the start.
    DeleteFileW(recoveryFile(dir).c_str());
    DeleteFileW(journalFile(dir).c_str());
    return dir;
}

std::uint64_t sizeOf(const std::wstring& file) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// The longest time the program took to answer a message, asked every 5 ms
// until `done` (or `ms` passed): how long input waited at most meanwhile.
double longestWait(const App& app, const std::function<bool()>& done, int ms) {
    double longest = 0;
    const auto start = Clock::now();
    while (!done() && seconds(start) * 1000 < ms) {
        const auto t = Clock::now();
        DWORD_PTR result = 0;
        SendMessageTimeoutW(app.main(), WM_NULL, 0, 0, SMTO_NORMAL, 60000, &result);
        longest = std::max(longest, seconds(t));
        Sleep(5);
    }
    return longest;
}

// What keeping the recovery files costs: the program imports `rows` lines
// and its journal takes them (timed from the import's closing answer to the
// program taking input again); the snapshot is rewritten on the other thread
// (the longest wait of input meanwhile); one Delete is timed from its answer
// to the program taking input again, its change on the disk by then.
void recoveryCost(const std::wstring& exe, const std::wstring& work, int rows) {
    const std::wstring dir = folderWithProtocol(work, L"recovery-" + std::to_wstring(rows), rows);
    App app;
    if (!app.start(exe, dir)) return;
    app.command(IDM_LOAD_APEH);
    App::chooseFile(app.waitDialog(L"APEH protokoll forr\u00E1s file megnyit\u00E1sa"), dir + L"\\protocol.txt");
    auto t = Clock::now();
    HWND warning = app.waitDialog(L"Kovirant", 600000);
    const double import = seconds(t);
    App::press(warning, IDOK);
    t = Clock::now();
    while (IsWindow(warning)) Sleep(1);
    app.menuEnabled(IDM_SAVE_REPORT);
    const double journalled = seconds(t);
    const std::uint64_t journal = sizeOf(journalFile(dir));
    // The snapshot is written once the program has been idle for a while.
    const double blocked = longestWait(
        app, [&] { return stampOf(recoveryFile(dir)) != 0 && sizeOf(journalFile(dir)) == 0; }, 600000);
    const bool snapshot = stampOf(recoveryFile(dir)) != 0 && sizeOf(journalFile(dir)) == 0;

    app.selectRow(0, 0);
    PostMessageW(app.list(0), WM_KEYDOWN, VK_DELETE, 0);
    HWND question = app.waitDialog(L"Kovirant");
    t = Clock::now();
    App::press(question, IDYES);
    // Once the question is gone the command runs on; a message sent now is
    // answered when it, and what it put on the disk, is over.
    while (IsWindow(question)) Sleep(1);
    app.menuEnabled(IDM_SAVE_REPORT);
    const double command = seconds(t);
    const bool onDisk = rows <= 20000 ? stampOf(recoveryFile(dir)) != 0 : sizeOf(journalFile(dir)) > 32;
    std::printf("recovery at %7d rows: import %.2f s, then %.3f s until input (journal %.1f MB, journal/import = %.2f); "
                "the snapshot on the "
                "other thread %s, input waited at most %.3f s meanwhile; a Delete takes %.3f s from the answer until "
                "input, the change %s\n",
                rows, import, journalled, static_cast<double>(journal) / 1e6, journalled / import, snapshot ? "written" : "NOT written",
                blocked, command, onDisk ? "on the disk by then" : "NOT on the disk");
    app.kill();
}

// The journal's cost for an import in the core: the same protocol imported
// into tables with and without the journal collecting, then flushed.
void journalShare(const std::wstring& work, int rows) {
    const std::wstring dir = folderWithProtocol(work, L"journal-" + std::to_wstring(rows), rows);
    const std::filesystem::path protocol(dir + L"\\protocol.txt");
    auto keepAll = [](const std::string&) { return true; };
    CoreTables plain;
    auto t = Clock::now();
    kovirant::ImportApehFile(protocol, plain.tables, keepAll);
    const double bare = seconds(t);
    CoreTables journalled;
    kovirant::ChangeJournal journal;
    journalled.tables.addListener(&journal);
    journal.create(std::filesystem::path(dir + L"\\naplo"), 1, 0);
    t = Clock::now();
    kovirant::ImportApehFile(protocol, journalled.tables, keepAll);
    const double collected = seconds(t);
    journal.commit(1);
    const double total = seconds(t);
    std::printf("journal of a %d-line import in the core: import %.3f s alone, %.3f s collecting, %.3f s with the "
                "record written and flushed (%.1f MB): journal/import = %.2f\n",
                rows, bare, collected, total, static_cast<double>(journal.size()) / 1e6, (total - bare) / bare);
}

// "Cégszámok kitöltése a cégtárból" on `rows` imported rows with a directory
// that knows every one of them: from the command to its message.
void directoryFill(const std::wstring& exe, const std::wstring& work, int rows) {
    const std::wstring dir = folderWithProtocol(work, L"directory-" + std::to_wstring(rows), rows);
    {
        std::string csv = "T\xF6rzssz\xE1m;C\xE9gsz\xE1m;C\xE9gn\xE9v\r\n";
        char line[64];
        for (int i = 0; i < rows; ++i) {
            std::snprintf(line, sizeof line, "%08d;%02d-%02d-%06d;\r\n", 10000000 + i, 1 + i % 20, 1 + i % 18, i);
            csv += line;
        }
        HANDLE h = CreateFileW((dir + L"\\Cegtar.csv").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        WriteFile(h, csv.data(), static_cast<DWORD>(csv.size()), &written, nullptr);
        CloseHandle(h);
    }
    App app;
    if (!startAndImport(app, exe, dir)) return;
    const auto t = Clock::now();
    app.command(IDM_FILL_FROM_DIRECTORY);
    HWND box = app.waitDialog(L"Kovirant", 600000);
    const double s = seconds(t);
    const bool all = box && App::messageText(box).find(L" " + std::to_wstring(rows) + L" sor") != std::wstring::npos;
    std::printf("directory fill of %d rows in the exe: %.3f s from the command to its message (%s)\n", rows, s,
                all ? "every row filled" : utf8(box ? App::messageText(box) : L"no message").c_str());
    app.kill();
}

// "Ellenőrzés..." on `rows` imported rows, every one faulty (no company
// number): from the command to the fault list on the screen.
void faultList(const std::wstring& exe, const std::wstring& work, int rows) {
    const std::wstring dir = folderWithProtocol(work, L"check-" + std::to_wstring(rows), rows);
    App app;
    if (!startAndImport(app, exe, dir)) return;
    const auto t = Clock::now();
    app.command(IDM_CHECK_ROWS);
    HWND list = app.waitDialog(L"Ellen\u0151rz\u00E9s", 600000);
    const double s = seconds(t);
    const LRESULT count = list ? SendDlgItemMessageW(list, IDC_FAULT_LIST, LVM_GETITEMCOUNT, 0, 0) : 0;
    std::printf("fault list of %d faulty rows (%ld faults) in the exe: %.3f s from the command to the list on the screen\n",
                rows, static_cast<long>(count), s);
    app.kill();
}

double workingSetMb(HANDLE process) {
    PROCESS_MEMORY_COUNTERS pmc{};
    pmc.cb = sizeof pmc;
    if (!GetProcessMemoryInfo(process, &pmc, sizeof pmc)) return 0;
    return static_cast<double>(pmc.WorkingSetSize) / 1e6;
}

// Undo and redo on `rows` imported rows: the import timed from the file's
// choice to its closing warning, its undo and redo; then one Delete, its
// undo and its redo, each from the command to the program taking input again.
void undoCost(const std::wstring& exe, const std::wstring& work, int rows) {
    const std::wstring dir = folderWithProtocol(work, L"undo-" + std::to_wstring(rows), rows);
    App app;
    if (!app.start(exe, dir)) return;
    app.command(IDM_LOAD_APEH);
    HWND open = app.waitDialog(L"APEH protokoll forr\u00E1s file megnyit\u00E1sa");
    auto t = Clock::now();
    App::chooseFile(open, dir + L"\\protocol.txt");
    HWND warning = app.waitMessage([](const std::wstring& m) { return m.find(L"c\u00E9gsz\u00E1mokat") != std::wstring::npos; },
                                   600000);
    const double import = seconds(t);
    for (int attempt = 0; warning && IsWindow(warning) && attempt < 20; ++attempt) {
        if (attempt % 2 == 0) App::press(warning, IDOK);
        else PostMessageW(GetDlgItem(warning, IDOK), BM_CLICK, 0, 0);
        waitFor([&] { return !IsWindow(warning); }, 2000);
    }
    app.menuEnabled(IDM_SAVE_REPORT);  // the import is over, its journal written
    const double before = workingSetMb(app.process());
    auto timed = [&](int id, int expectRows) {
        const auto start = Clock::now();
        app.command(id);
        waitFor([&] { return app.rowCount(0) == expectRows; }, 600000);
        app.menuEnabled(IDM_SAVE_REPORT);  // answered once the command is over
        return seconds(start);
    };
    const double undoImport = timed(IDM_UNDO, 0);
    const double held = workingSetMb(app.process()) - before;
    const double redoImport = timed(IDM_REDO, rows);
    app.selectRow(0, 0);
    PostMessageW(app.list(0), WM_KEYDOWN, VK_DELETE, 0);
    HWND question = app.waitDialog(L"Kovirant");
    t = Clock::now();
    // A posted press can be lost after a million rows: clicked as well then.
    for (int attempt = 0; question && IsWindow(question) && attempt < 20; ++attempt) {
        if (attempt % 2 == 0) App::press(question, IDYES);
        else PostMessageW(GetDlgItem(question, IDYES), BM_CLICK, 0, 0);
        waitFor([&] { return !IsWindow(question); }, 2000);
    }
    app.menuEnabled(IDM_SAVE_REPORT);
    const double deleteOne = seconds(t);
    const double undoDelete = timed(IDM_UNDO, rows);
    const double redoDelete = timed(IDM_REDO, rows - 1);
    std::printf("undo at %d rows: import %.3f s, its undo %.3f s (undo/import = %.2f), its redo %.3f s; the history "
                "holds about %.0f MB after the undo; a Delete %.3f s, its undo %.3f s, its redo %.3f s\n",
                rows, import, undoImport, undoImport / import, redoImport, held, deleteOne, undoDelete, redoDelete);
    app.kill();
}

// The reconciliation: the registry's list `list` against the archive of
// the folder `dir` (its history from its cache), in the core in this
// process beside the protocol import, and in the program from the choice of
// the list until its window shows the counts.
void reconcileCost(const std::wstring& exe, const std::wstring& dir, const std::wstring& list, const std::wstring& apeh) {
    CoreTables imported;
    auto t = Clock::now();
    kovirant::ImportApehFile(std::filesystem::path(apeh), imported.tables, [](const std::string&) { return true; });
    const double import = seconds(t);
    int err = 0;
    // A cache another build wrote may not be this one's: a first start writes it, the second is timed.
    const std::filesystem::path archive = std::filesystem::path(dir) / "Archivum";
    if (!kovirant::AccountHistory::build(archive, err).fromCache()) err = 0;
    t = Clock::now();
    const kovirant::AccountHistory history = kovirant::AccountHistory::build(archive, err);
    const double load = seconds(t);
    t = Clock::now();
    const kovirant::RegistryListOutcome registry = kovirant::readRegistryList(std::filesystem::path(list));
    const kovirant::Reconciliation r = kovirant::reconcile(history, registry);
    const double core = seconds(t);

    App app;
    if (!app.start(exe, dir)) {
        std::printf("reconcile: the program did not start in %ls\n", dir.c_str());
        return;
    }
    app.command(IDM_RECONCILE);
    App::chooseFile(app.waitDialog(kRegistryListTitle), list);
    t = Clock::now();
    HWND d = app.waitDialog(L"Egyeztet\u00E9s a c\u00E9gjegyz\u00E9kkel", 600000);
    waitFor([&] { return d && !App::text(d, IDT_RECON_COUNT).empty(); }, 600000);
    const double shown = seconds(t);
    std::printf("reconcile of %zu lines against %zu accounts%s: exe under Wine %.2f s until its window shows the counts "
                "(core: the history from its cache %.2f s, reading and comparing %.2f s; exe/core = %.2f); "
                "core reading and comparing/import of the protocol = %.2f (goal <= 1.5; import %.2f s)\n",
                registry.lines, static_cast<std::size_t>(r.bankAccounts), history.fromCache() ? "" : " (history NOT from its cache)",
                shown, load, core, shown / (load + core), core / import, import);
    app.kill();
}

// The Wine this runs under, if any: ntdll's wine_get_version.
std::string wineVersion() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    auto version = ntdll ? reinterpret_cast<const char* (*)()>(
                               reinterpret_cast<void*>(GetProcAddress(ntdll, "wine_get_version")))
                         : nullptr;
    return version ? std::string(" under Wine ") + version() : std::string();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 5) return 2;
    const std::wstring exe = argv[1], work = argv[2], apeh = argv[3], report = argv[4];
    if (argc >= 8 && std::wstring(argv[5]) == L"reconcile") {
        reconcileCost(exe, argv[6], argv[7], apeh);
        return 0;
    }
    if (argc >= 6 && std::wstring(argv[5]) == L"check") {
        faultList(exe, work, 1000000);
        return 0;
    }
    if (argc >= 6 && std::wstring(argv[5]) == L"undo") {
        undoCost(exe, work, 1000000);
        return 0;
    }
    if (argc >= 6 && std::wstring(argv[5]) == L"directory") {
        for (int rows : {100000}) directoryFill(exe, work, rows);
        return 0;
    }
    if (argc >= 10 && std::wstring(argv[5]) == L"steps") {
        return kovirant::bench::timeWholeTableSteps({argv[6], argv[7], argv[8], argv[9], work},
                                                    kovirant::bench::buildLabel() + wineVersion());
    }
    if (argc >= 6 && std::wstring(argv[5]) == L"recovery") {
        for (int rows : {1000, 100000, 1000000}) recoveryCost(exe, work, rows);
        journalShare(work, 1000000);
        return 0;
    }

    // The core, in this process.
    CoreTables core;
    auto t = Clock::now();
    kovirant::ImportApehFile(std::filesystem::path(apeh), core.tables, [](const std::string&) { return true; });
    const double coreImport = seconds(t);
    CoreTables coreReload;
    t = Clock::now();
    kovirant::ReloadReport(std::filesystem::path(report), coreReload.tables);
    const double coreReloadS = seconds(t);
    kovirant::SettingsFile settings{std::filesystem::path(work + L"\\Kovirant.ini")};
    t = Clock::now();
    kovirant::WriteReport(std::filesystem::path(work + L"\\core.xml"), coreReload.tables, settings);
    const double coreWrite = seconds(t);
    const double corePeak = peakMb(GetCurrentProcess());

    App app;
    if (!app.start(exe, work)) return 1;
    app.command(IDM_LOAD_APEH);
    HWND file = app.waitDialog(L"APEH protokoll forr\u00E1s file megnyit\u00E1sa");
    App::chooseFile(file, apeh);
    t = Clock::now();
    pressWhenShown(app, L"Kovirant", IDOK);  // the company-number warning ends the import
    const double exeImport = seconds(t);
    const int imported = app.rowCount(0);
    const double importPeak = peakMb(app.process());

    app.command(IDM_LOAD_REPORT);
    file = app.waitDialog(L"Kovirant forr\u00E1s file megnyit\u00E1sa");
    App::chooseFile(file, report);
    pressWhenShown(app, report, IDNO);           // replace the rows
    pressWhenShown(app, L"Kovirant", IDYES);     // "Ugye kiírta a jelentést?"
    t = Clock::now();
    waitFor([&] { return app.menuEnabled(IDM_SAVE_REPORT); }, 600000);
    const double exeReload = seconds(t);
    const int reloaded = app.rowCount(0);
    const double reloadPeak = peakMb(app.process());

    DeleteFileW((work + L"\\exe.xml").c_str());  // no overwrite question
    app.command(IDM_SAVE_REPORT);
    file = app.waitDialog(L"Sz\u00E1mla ment\u00E9s file megad\u00E1sa");
    App::chooseFile(file, work + L"\\exe.xml");
    t = Clock::now();
    pressWhenShown(app, L"Kovirant", IDOK);  // the success message
    const double exeWrite = seconds(t);
    const double savePeak = peakMb(app.process());
    app.command(IDM_EXIT);  // nothing is pending after the save, so nothing is asked
    if (!app.waitExit(20000)) app.kill();

    std::printf("exe under Wine: import %d rows %.2f s (core %.2f s, ratio %.2f); reload %d rows %.2f s (core %.2f s, "
                "ratio %.2f); save %.2f s (core %.2f s, ratio %.2f)\n"
                "peak working set: exe after import %.0f MB, after reload %.0f MB, after save %.0f MB; core (all three "
                "steps in one process) %.0f MB; exe after reload/core = %.2f (goal <= 1.2)\n",
                imported, exeImport, coreImport, exeImport / coreImport, reloaded, exeReload, coreReloadS,
                exeReload / coreReloadS, exeWrite, coreWrite, exeWrite / coreWrite, importPeak, reloadPeak, savePeak,
                corePeak, reloadPeak / corePeak);
    std::printf("exe import=%.3f reload=%.3f save=%.3f\nbuild %s%s\n", exeImport, exeReload, exeWrite,
                kovirant::bench::buildLabel().c_str(), wineVersion().c_str());
    return 0;
}
