#include "app/commands.h"
#include "app/road_settings.h"

#include <algorithm>
#include <vector>

#include "app/archive_commands.h"
#include "app/editor_sessions.h"
#include "app/find_commands.h"
#include "app/directory_commands.h"
#include "archive/report_archive.h"
#include "directory/company_directory.h"
#include "app/reconcile_commands.h"
#include "app/recovery_commands.h"
#include "app/working_folder.h"
#include "recovery/recovery_file.h"
#include "import/apeh_import.h"
#include "import/load_messages.h"
#include "import/report_reload.h"
#include "report/report_writer.h"
#include "text/cp1250.h"
#include "util/file_io.h"
#include "util/os_file.h"
#include "version.h"

namespace kovirant {
namespace {

constexpr int kVkDelete = 0x2E;



bool ask(Shell& shell, std::string_view text) {
    return shell.askYesNo(messageBox(text, kProgramCaption, MessageIcon::Question, true));
}

// A question whose Yes throws rows away: Enter answers No.
bool askBeforeLoss(Shell& shell, std::string_view text) {
    MessageBoxSpec box = messageBox(text, kProgramCaption, MessageIcon::Question, true);
    box.defaultNo = true;
    return shell.askYesNo(box);
}

// The row a delete would remove, named on a line under the question: its
// tax base number and, where the table has one, its (first) account number.
std::string rowNamed(const RecordTables& tables, ViewKind kind, std::size_t row) {
    std::vector<std::string> cells(columnCount(kind));
    tables.readRow(kind, row, cells);
    std::string line = "Törzsszám: " + cells[columnOf(kind, ColumnRole::TaxBaseNumber)];
    for (std::size_t c = 0; c < cells.size(); ++c) {
        if (!hasRole(kind, c, ColumnRole::AccountNumber)) continue;
        line += ", jelzőszám: " + cells[c];
        break;
    }
    return line;
}

void greyModifyDelete(Shell& shell) {
    shell.enableMenuItem(kCmdModify, false);
    shell.enableMenuItem(kCmdDelete, false);
    shell.enableMenuItem(kCmdNew, true);
}

void newRecord(AppState& state, Shell& shell) {
    runEditor(state, shell, state.tables.CurrentView, EditorMode::New);
    greyModifyDelete(shell);
}

void modifyRecord(AppState& state, Shell& shell) {
    if (state.tables.hasSelection()) runEditor(state, shell, state.tables.CurrentView, EditorMode::Modify);
    greyModifyDelete(shell);
    shell.enableMenuItem(kCmdSaveReport, true);
    state.tables.clearSelection();
}

void deleteRecord(AppState& state, Shell& shell) {
    state.tables.ReportPending = true;
    if (state.tables.hasSelection()) {
        const std::size_t row = *state.tables.firstSelectedRow();
        if (!ask(shell, "Biztosan törli a sort?\n" + rowNamed(state.tables, state.tables.CurrentView, row))) return;
        state.tables.deleteSelectedRow();
    }
    shell.enableMenuItem(kCmdSaveReport, true);
    greyModifyDelete(shell);
    state.tables.clearSelection();
}

void saveReport(AppState& state, Shell& shell) {
    if (!state.DataSheetFilled) {
        notice(shell, "A jelentés készítése előtt töltse ki az adatlapot!", MessageIcon::Information, false);
        return;
    }
    FileDialogSpec request;
    request.save = true;
    request.title = shellText("Számla mentés file megadása");
    request.filters = {{shellText("Minden állomány"), u"*.*"}, {u"xml", u"*.xml"}};
    request.filterIndex = 2;
    // The folder of the last report saved, else the working folder: one the
    // officer may write to.
    request.initialDirectory =
        state.lastReportFile.empty() ? state.settingsPath.parent_path() : state.lastReportFile.parent_path();
    request.defaultExtension = u"xml";
    const auto target = shell.chooseFile(request);
    if (!target) return;
    // The archive's files are its own: a report never takes the place of one.
    if (!state.archiveFolder.empty() && insideArchive(state.archiveFolder, *target)) {
        notice(shell, "A jelentés nem kerülhet az archívum mappájába (" + utf16ToCp1250(state.archiveFolder.u16string()) + ").",
               MessageIcon::Error, false, kCaptionReport);
        return;
    }
    removeStaleTemporaries(target->parent_path(), isRecoveryFile);  // a killed save's; unsaved rows are read at start-up

    const ReportOutcome outcome = WriteReport(*target, state.tables, state.settings());
    // The rows as written, for the archive's history (the tables may change while the box below is open).
    SavedTables written = outcome.status == ReportStatus::Written && !state.archiveFolder.empty()
                              ? frozenTables(state.tables)
                              : SavedTables{};
    switch (outcome.status) {
        case ReportStatus::CannotOpen:
            notice(shell, kMsgReportCreateFailed, MessageIcon::Error, false, kCaptionReport);
            return;
        case ReportStatus::WriteFailed:
            notice(shell, kMsgReportWriteFailed, MessageIcon::Error, false, kCaptionReport);
            return;
        case ReportStatus::FaultyRow:
            // The highlighted row must be in view when the message names it.
            state.tables.marks(ViewRegister).setState(outcome.faultyRow, {true, true});
            if (state.tables.CurrentView != ViewRegister) showView(state, shell, ViewRegister);
            shell.enableMenuItem(kCmdModify, true);
            shell.enableMenuItem(kCmdDelete, true);
            notice(shell, kMsgFaultyRow, MessageIcon::Warning, true, "Hiba");
            return;
        case ReportStatus::Written:
            break;
    }
    // Cleared before the box: it has no owner, so the tables can change while
    // it is open, and such a change must set the flag again.
    state.tables.ReportPending = false;
    state.lastReportFile = *target;  // the next save starts in its folder
    shell.enableMenuItem(kCmdSaveReport, false);
    notice(shell, "A jelentés sikeresen elkészült", MessageIcon::Information, false);
    archiveSaved(state, shell, *target, std::move(written));
    learnDirectory(state, shell, LearnMode::Replace);
}

FileDialogSpec loadRequest(const AppState& state, bool apeh) {
    FileDialogSpec request;
    // Each load command starts from its own last file.
    const std::filesystem::path& last = apeh ? state.lastApehFile : state.lastXmlFile;
    request.initialDirectory = last.parent_path();
    request.initialName = last.filename();
    request.filterIndex = 2;
    if (apeh) {
        request.filters = {{shellText("Minden állomány"), u"*.*"}, {shellText("szöveg"), u"*.txt"}};
        request.title = shellText("APEH protokoll forrás file megnyitása");
        request.defaultExtension = u"txt";
    } else {
        request.filters = {{shellText("Minden állomány"), u"*.*"}, {u"XML", u"*.XML"}};
        request.title = shellText("Kovirant forrás file megnyitása");
        request.defaultExtension = u"xml";
    }
    return request;
}

// With register rows present: appends (Yes), or empties the tables after the
// officer confirms the report was written. False: the load is abandoned.
bool appendOrReplace(AppState& state, Shell& shell, const std::filesystem::path& chosen) {
    RecordTables& tables = state.tables;
    if (tables.rowCounter(ViewRegister) == 0) return true;
    MessageBoxSpec box = messageBox("Hozzáfűzzük az új állományt a meglévő adatokhoz?", "", MessageIcon::Question, true);
    box.caption = chosen.u16string();
    if (shell.askYesNo(box)) return true;
    if (tables.ReportPending && !askBeforeLoss(shell, "Ugye kiírta a jelentést?")) return false;
    for (ViewKind k : kAllKinds) tables.clearTable(k);
    tables.ReportPending = false;
    return true;
}

// A report teaches the directory the companies it lacks. A recovery file set
// aside earlier brings back every row, as at start-up, and its rows are
// unsaved work: pending, and nothing the directory learns from.
void reloadReport(AppState& state, Shell& shell, const std::filesystem::path& chosen) {
    const bool recovery = isRecoveryFile(chosen);
    LearnRows loaded;
    for (ViewKind k : kAllKinds) loaded.from[k] = state.tables.table(k).rowCount();
    const ReloadOutcome r = ReloadReport(chosen, state.tables, ReloadOptions{recovery});
    if (r.status == ReloadStatus::CannotOpen) {
        notice(shell, kMsgFileOpenFailed, MessageIcon::Error, false);
        return;
    }
    shell.enableMenuItem(kCmdSaveReport, true);
    if (r.status != ReloadStatus::Completed) {
        // The officer decides what to do with what could be read.
        std::string text = reloadFault(r);
        if (text[0] >= 'a' && text[0] <= 'z') text[0] = static_cast<char>(text[0] - 'a' + 'A');
        text += ". Betöltött sorok: " + std::to_string(r.rowsAppended) + ".";
        notice(shell, text, r.status == ReloadStatus::ReadFailed ? MessageIcon::Error : MessageIcon::Warning, false);
    }
    if (recovery) {
        if (r.rowsAppended > 0) state.tables.ReportPending = true;
        return;
    }
    // Only a whole report teaches the directory.
    if (r.status == ReloadStatus::Completed) learnDirectory(state, shell, LearnMode::AddOnly, loaded);
}

// The faulty lines of a protocol: the first three are asked about one by
// one; at the next the officer may skip the rest without a question, and
// those are listed in one notice when the import ends.
class FaultyLines {
public:
    explicit FaultyLines(Shell& shell) : shell_(shell) {}

    bool skip(const ApehLineFault& f) {
        if (!quiet_ && yes_ == kAskedOneByOne && !offered_) {
            offered_ = true;
            quiet_ = ask(shell_, "A fájlban további hibás sorok lehetnek. Átlépjem őket kérdés nélkül?");
        }
        if (quiet_) {
            if (skipped_.size() < kListed) skipped_.push_back(std::to_string(f.line) + ". sor: " + std::string(f.fault));
            ++skippedCount_;
            return true;
        }
        const bool yes = ask(shell_, apehQuestion(f.fault, f.line));
        if (yes) ++yes_;
        return yes;
    }

    void tell() const {
        if (skippedCount_ == 0) return;
        std::string text = "Kérdés nélkül átlépett hibás sorok (" + std::to_string(skippedCount_) + "):";
        for (const std::string& line : skipped_) text += "\n" + line;
        if (skippedCount_ > skipped_.size())
            text += "\n... és további " + std::to_string(skippedCount_ - skipped_.size()) + " sor.";
        notice(shell_, text, MessageIcon::Warning, false);
    }

private:
    static constexpr int kAskedOneByOne = 3;
    static constexpr std::size_t kListed = 30;  // a box the screen can hold
    Shell& shell_;
    int yes_ = 0;
    bool offered_ = false, quiet_ = false;
    std::vector<std::string> skipped_;
    std::size_t skippedCount_ = 0;
};

void importApeh(AppState& state, Shell& shell, const std::filesystem::path& chosen) {
    RecordTables& tables = state.tables;
    FaultyLines faulty(shell);
    const ApehOutcome o = ImportApehFile(chosen, tables, ApehFaultHandler([&](const ApehLineFault& f) { return faulty.skip(f); }));
    faulty.tell();
    if (o.status == ApehStatus::CannotOpen) {
        notice(shell, kMsgFileOpenFailed, MessageIcon::Error, false);
    } else if (o.status == ApehStatus::ReadFailed) {
        notice(shell, readFault(o.lines) + ", Hibakód=" + std::to_string(o.errorCode) +
                          ". A hiba előtt beolvasott sorok a táblában maradtak.",
               MessageIcon::Error, false);
    } else if (o.status == ApehStatus::Completed) {
        if (o.lines == 0) notice(shell, "Az állomány üres, egyetlen sort sem tartalmaz.", MessageIcon::Warning, false);
        tables.ReportPending = true;
        shell.enableMenuItem(kCmdSaveReport, true);
    }
    // Rows kept from a stopped import are unreported rows too.
    if (o.rowsAppended > 0) tables.ReportPending = true;
    if (tables.rowCounter(ViewRegister) > 0) {
        shell.beep(500, 20);
        shell.beep(1000, 20);
        shell.beep(1500, 20);
        notice(shell, "A jelentés készítése előtt ne felejtse el a cégszámokat megadni!", MessageIcon::Warning, false);
    }
}

// "XML állomány betöltése..." and "APEH állomány betöltése...".
void load(AppState& state, Shell& shell, int id) {
    shell.enableMenuItem(kCmdSaveReport, false);
    const bool apeh = id == kCmdLoadApeh;
    const auto chosen = shell.chooseFile(loadRequest(state, apeh));
    if (!chosen) return;
    (apeh ? state.lastApehFile : state.lastXmlFile) = *chosen;
    if (apeh) {
        if (!appendOrReplace(state, shell, *chosen)) return;
        shell.setStatusText(0, chosen->u16string());
        importApeh(state, shell, *chosen);
    } else {
        loadReportFile(state, shell, *chosen);
    }
}

// The step a command makes of what it changes in the tables, or none.
std::optional<std::string_view> stepOf(int id) {
    switch (id) {
        case kCmdNew: return "új sor";
        case kCmdModify: return "módosítás";
        case kCmdDelete: return "törlés";
        case kCmdLoadApeh: return "APEH állomány betöltése";
        case kCmdLoadReport: return "XML állomány betöltése";
        case kCmdFillFromDirectory: return "cégszámok kitöltése";
        case kCmdEarlierReports: return "korábbi jelentés betöltése";
        case kCmdReconcile: return "javasolt sorok felvétele";
        default: return std::nullopt;
    }
}

// "Visszavonás: <step>\tCtrl+Z" (V its mnemonic), grey with nothing to
// undo; the same for "Ismétlés".
void showUndoItems(AppState& state, Shell& shell) {
    auto item = [&](int id, const char* name, const char* key, std::optional<std::string_view> step) {
        std::string text = name;
        if (step) text += ": " + std::string(*step);
        text += std::string("\t") + key;
        shell.setMenuText(id, shellText(text));
        shell.enableMenuItem(id, step.has_value());
    };
    item(kCmdUndo, "&Visszavonás", "Ctrl+Z", state.history.undoLabel());
    item(kCmdRedo, "&Ismétlés", "Ctrl+Y", state.history.redoLabel());
}

// Undo and redo: the step's table shown, the rows it brought back or changed
// selected and in view, and the tables pending as after any change.
void undoOrRedo(AppState& state, Shell& shell, bool undo) {
    const ViewKind shown = state.tables.CurrentView;
    const auto touched = undo ? state.history.undo(state.tables, shown) : state.history.redo(state.tables, shown);
    if (!touched) return;
    showView(state, shell, touched->kind);
    state.tables.clearSelection();
    TableView& table = state.tables.marks(touched->kind);
    const std::size_t n = singleSelection(touched->kind) ? std::min<std::size_t>(touched->rows.size(), 1) : touched->rows.size();
    for (std::size_t i = n; i-- > 0;) table.setState(touched->rows[i], {true, i == 0});
    onNotify(state, shell, ListNotification::Click);
    state.tables.ReportPending = true;
    shell.enableMenuItem(kCmdSaveReport, true);
}

bool confirmExit(AppState& state, Shell& shell) {
    if (state.tables.ReportPending && !askBeforeLoss(shell, "Nem készítette el a jelentést. Mégis kilép?")) return false;
    dropRecovery(state);  // leaving on purpose: nothing to recover
    shell.quit();
    return true;
}

}  // namespace

void loadReportFile(AppState& state, Shell& shell, const std::filesystem::path& file) {
    if (!appendOrReplace(state, shell, file)) return;
    shell.setStatusText(0, file.u16string());
    reloadReport(state, shell, file);
}

void showView(AppState& state, Shell& shell, ViewKind kind) {
    for (const ViewCommand& v : kViewCommands) shell.checkMenuItem(v.id, v.kind == kind);
    state.tables.CurrentView = kind;
    shell.showTable(kind);
}

void jumpToRow(AppState& state, Shell& shell, ViewKind kind, std::size_t row) {
    if (state.tables.CurrentView != kind) showView(state, shell, kind);
    state.tables.clearSelection();
    state.tables.marks(kind).setState(row, {true, true});
    onNotify(state, shell, ListNotification::Click);
}

void onCreate(AppState& state, Shell& shell, const std::optional<std::filesystem::path>& currentDir) {
    const StartupSettings s = readStartupSettings(currentDir);
    if (!s.pathFormed) {
        notice(shell, "Filerendszer hiba", MessageIcon::Information, true);
        return;
    }
    state.settingsPath = s.settingsPath;
    removeStaleTemporaries(state.settingsPath.parent_path(), isRecoveryFile);  // a killed save's; unsaved rows are read at start-up
    state.maxtk = s.maxtk;
    state.maxcf = s.maxcf;
    state.DataSheetFilled = s.DataSheetFilled;
    state.hatarido = s.hatarido;
    state.hataridoRefused = s.hataridoRefused;
    state.approvalOn = approvalRequired(s);
    state.roadLimits = roadLimits(s);
    state.outboxFolder = outboxFolder(s);
    // The unsaved rows stay on this machine when the working folder is on the network.
    const std::filesystem::path working = state.settingsPath.parent_path();
    state.recoveryFolder = recoveryFolderFor(working, onNetworkDrive(working), localDataFolder());
    std::error_code ec;
    if (state.recoveryFolder != working && !std::filesystem::create_directories(state.recoveryFolder, ec) && ec)
        state.recoveryFolder = working;
    // Every report saved is archived: by policy on a share, else beside the settings.
    // A policy value that cannot be used (an unset variable in it, not absolute) is said and not used:
    // no archiving, the directory beside the settings.
    const auto archive = policyPath(kArchivePolicyValue);
    const std::string archiveFault = archive ? policyValueFault(kArchivePolicyValue, *archive) : std::string();
    state.archiveFolder = !archive ? defaultArchiveFolder(working) : archiveFault.empty() ? *archive : std::filesystem::path();
    if (!archiveFault.empty()) notice(shell, archiveFault + " Az elkészült jelentéseket nem archiválom.", MessageIcon::Warning, true);
    // A directory shared on a network drive, named by group policy.
    if (auto shared = policyPath(kDirectoryPolicyValue)) {
        if (const std::string fault = policyValueFault(kDirectoryPolicyValue, *shared); fault.empty())
            state.directoryFile = *shared;
        else
            notice(shell, fault + " A beállítási állomány melletti cégtárat használom.", MessageIcon::Warning, true);
    }
}

void onCommand(AppState& state, Shell& shell, int id) {
    // A command that changes the tables is one step of the history.
    if (const auto step = stepOf(id); step && !state.history.recording()) {
        state.history.begin(*step);
        onCommand(state, shell, id);
        state.history.end();
        showUndoItems(state, shell);
        return;
    }
    switch (id) {
        case kCmdLoadReport:
        case kCmdLoadApeh: load(state, shell, id); break;
        case kCmdSaveReport: saveReport(state, shell); break;
        case kCmdExit: confirmExit(state, shell); break;
        case kCmdViewRegister:
        case kCmdViewInstitution:
        case kCmdViewAccountChange:
            for (const ViewCommand& v : kViewCommands)
                if (v.id == id) showView(state, shell, v.kind);
            break;
        case kCmdNew: newRecord(state, shell); break;
        case kCmdModify: modifyRecord(state, shell); break;
        case kCmdDelete: deleteRecord(state, shell); break;
        case kCmdDataSheet: runDataSheet(state, shell); break;
        case kCmdAbout: shell.runAbout(); break;
        case kCmdFillFromDirectory: fillFromDirectory(state, shell); break;
        case kCmdCheckRows: checkRows(state, shell); break;
        case kCmdCheckNext: checkRows(state, shell, true); break;
        case kCmdSearch: searchRows(state, shell, false); break;
        case kCmdSearchNext: searchRows(state, shell, true); break;
        case kCmdEarlierReports: showEarlierReports(state, shell); break;
        case kCmdAccountHistory: showAccountHistory(state, shell); break;
        case kCmdReconcile: reconcileWithRegister(state, shell); break;
        case kCmdUndo:
        case kCmdRedo:
            undoOrRedo(state, shell, id == kCmdUndo);
            showUndoItems(state, shell);
            break;
        default: break;
    }
    settleArchivedHistory(state);  // after the command's answer
}

void onNotify(AppState& state, Shell& shell, ListNotification code) {
    if (code == ListNotification::Click) {
        const bool selected = state.tables.hasSelection();
        shell.enableMenuItem(kCmdModify, selected);
        shell.enableMenuItem(kCmdDelete, selected);
        shell.enableMenuItem(kCmdNew, true);
    } else if (code == ListNotification::DoubleClick) {
        if (state.tables.hasSelection()) shell.postModify();
    }
}

void onKeyDown(AppState& state, Shell& shell, int virtualKey) {
    if (virtualKey == kVkDelete) onCommand(state, shell, kCmdDelete);
}

bool onClose(AppState& state, Shell& shell) { return confirmExit(state, shell); }

}  // namespace kovirant
