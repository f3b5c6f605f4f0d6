// Times Kovirant.exe under Wine against the core built for Windows, on the
// same files: the APEH import, the report reload and the report save.
// Arguments (Windows paths): Kovirant.exe, a work folder, an APEH protocol
// file, a report file.
#include <chrono>
#include <filesystem>

#include "../resources/resource.h"
#include "../tests/wine/driver.h"
// After windows.h:
#include <psapi.h>
#include "import/apeh_import.h"
#include "import/report_reload.h"
#include "records/memory_table.h"
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
    kovirant::MemoryTable reg{6, true}, inst{12, false}, acc{8, false};
    kovirant::RecordTables tables{reg, inst, acc};
};

void pressWhenShown(App& app, const std::wstring& title, int button) {
    if (HWND d = app.waitDialog(title, 600000)) App::press(d, button);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 5) return 2;
    const std::wstring exe = argv[1], work = argv[2], apeh = argv[3], report = argv[4];

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
                "steps in one process) %.0f MB\n",
                imported, exeImport, coreImport, exeImport / coreImport, reloaded, exeReload, coreReloadS,
                exeReload / coreReloadS, exeWrite, coreWrite, exeWrite / coreWrite, importPeak, reloadPeak, savePeak,
                corePeak);
    return 0;
}
