#include "app/directory_commands.h"

#include <cstdio>
#include <string>

#include "archive/account_history.h"
#include "app/archive_commands.h"
#include "directory/directory_learning.h"
#include "text/cp1250.h"

namespace kovirant {
namespace {

void warn(Shell& shell, const char* what, int code) {
    char text[300];
    std::snprintf(text, sizeof text, "%s Hibakód=%d", what, code);
    shell.showMessage(messageBox(text, kProgramCaption, MessageIcon::Warning, true));
}

CompanyNumberLimits limitsOf(const AppState& state) { return {state.maxtk, state.maxcf}; }

// "A cégtár (<path>) egyetlen sorát sem tudtam értelmezni."
std::string unintelligibleText(const std::filesystem::path& file, std::string_view before) {
    return std::string(before) + " (" + utf16ToCp1250(file.u16string()) + ") egyetlen sorát sem tudtam értelmezni.";
}

}  // namespace

std::filesystem::path directoryFileOf(const AppState& state) {
    return state.directoryFile.empty() ? directoryPath(state.settingsPath.parent_path()) : state.directoryFile;
}

std::shared_ptr<const LoadedDirectory> currentDirectory(AppState& state) {
    DirectoryCache& c = state.directoryCache;
    const std::filesystem::path file = directoryFileOf(state);
    std::error_code sizeError, timeError;
    const std::uintmax_t size = std::filesystem::file_size(file, sizeError);
    const auto time = std::filesystem::last_write_time(file, timeError);
    const bool known = !sizeError && !timeError;
    if (c.loaded && known && c.file == file && c.size == size && c.time == time) return c.loaded;
    auto loaded = std::make_shared<const LoadedDirectory>(loadDirectory(file, limitsOf(state)));
    // A file whose size and time could not be had (missing) is never kept.
    c = known ? DirectoryCache{file, size, time, loaded} : DirectoryCache{};
    return loaded;
}

void learnDirectory(AppState& state, Shell& shell, LearnMode mode, const LearnRows& rows) {
    if (state.settingsPath.empty()) return;
    const std::filesystem::path file = directoryFileOf(state);
    const LearningOutcome o = learnIntoDirectory(file, limitsOf(state), [&](CompanyDirectory& directory) {
        return learnFromTables(directory, state.tables, state.maxtk, state.maxcf, mode, rows);
    });
    state.directoryCache = {};  // learnt into: read afresh
    if (const std::string text = learningText(o, file); !text.empty())
        shell.showMessage(messageBox(text, kProgramCaption, o.ok() ? MessageIcon::Information : MessageIcon::Warning, true));
}

void fillFromDirectory(AppState& state, Shell& shell) {
    if (state.settingsPath.empty()) return;
    const std::shared_ptr<const LoadedDirectory> current = currentDirectory(state);
    const LoadedDirectory& loaded = *current;
    if (loaded.status == DirectoryStatus::Missing) {
        std::string text =
            "Nincs cégtár: a munkakönyvtárban nincs Cegtar.csv állomány. A cégtár magától elkészül, amikor "
            "jelentést ment vagy tölt be; vagy tegyen a Kovirant.ini mellé Cegtar.csv néven egy táblázatot "
            "(Törzsszám;Cégszám;Cégnév oszlopokkal).";
        // What the archived reports said is filled all the same.
        if (const std::shared_ptr<const AccountHistory> history = archivedHistory(state)) {
            const HistoryFill f = fillCompanies(state.tables, nullptr, history.get()).history;
            if (f.companies + f.openings > 0) {
                state.tables.ReportPending = true;
                shell.enableMenuItem(kCmdSaveReport, true);
                text += "\nAz archivált jelentésekből " + std::to_string(f.companies) + " sor cégszámát és " +
                        std::to_string(f.openings) + " zárás nyitás dátumát töltöttem ki.";
            }
        }
        shell.showMessage(messageBox(text, kProgramCaption, MessageIcon::Information, true));
        return;
    }
    if (loaded.status == DirectoryStatus::Unreadable) {
        warn(shell, "A cégtár (Cegtar.csv) nem olvasható.", loaded.errorCode);
        return;
    }
    if (loaded.directory.unintelligible()) {
        shell.showMessage(messageBox(unintelligibleText(directoryFileOf(state), "A cégtár"), kProgramCaption,
                                     MessageIcon::Warning, true));
        return;
    }
    // The directory's, then what the archived reports said: a closing's
    // opening date, a company number the directory lacks.
    const std::shared_ptr<const AccountHistory> history = archivedHistory(state);
    const CompanyFill f = fillCompanies(state.tables, &loaded.directory, history.get());
    const FillResult& r = f.directory;
    const HistoryFill& fromHistory = f.history;
    if (r.filled + fromHistory.companies + fromHistory.openings > 0) {
        state.tables.ReportPending = true;
        shell.enableMenuItem(kCmdSaveReport, true);
    }
    char text[800];
    int n = std::snprintf(text, sizeof text,
                          "A cégtárból %zu sor cégszámát töltöttem ki. Cégszám nélkül maradt: %zu sor.", r.filled,
                          f.stillMissing());
    if (fromHistory.companies + fromHistory.openings > 0 && n > 0 && static_cast<std::size_t>(n) < sizeof text)
        n += std::snprintf(text + n, sizeof text - static_cast<std::size_t>(n),
                           "\nAz archivált jelentésekből %zu sor cégszámát és %zu zárás nyitás dátumát töltöttem ki.",
                           fromHistory.companies, fromHistory.openings);
    const CompanyDirectory& d = loaded.directory;
    if (d.unreadableLines() > 0 && n > 0 && static_cast<std::size_t>(n) < sizeof text)
        n += std::snprintf(text + n, sizeof text - static_cast<std::size_t>(n),
                           "\nA cégtár %zu sora nem olvasható; ezeket a sorokat változatlanul megőrzöm.",
                           d.unreadableLines());
    if (d.duplicates() > 0 && n > 0 && static_cast<std::size_t>(n) < sizeof text)
        std::snprintf(text + n, sizeof text - static_cast<std::size_t>(n),
                      "\nA cégtárban %zu törzsszám több sorban is szerepel; a későbbi sor érvényes.", d.duplicates());
    shell.showMessage(messageBox(text, kProgramCaption, MessageIcon::Information, true));
}

}  // namespace kovirant
