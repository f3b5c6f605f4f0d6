#include "cli/cli_run.h"

#include <algorithm>
#include <ctime>
#include <optional>
#include <string>

#include "app/working_folder.h"
#include "directory/company_directory.h"
#include "directory/directory_learning.h"
#include "editing/messages.h"
#include "editing/row_check.h"
#include "archive/account_history.h"
#include "archive/report_archive.h"
#include "archive/report_state.h"
#include "app/road_settings.h"
#include "cli/archive_run.h"
#include "cli/road_run.h"
#include "cli/findings.h"
#include "cli/reconcile_run.h"
#include "cli/run_files.h"
#include "cli/run_log.h"
#include "import/apeh_import.h"
#include "import/load_messages.h"
#include "import/report_reload.h"
#include "records/memory_table.h"
#include "recovery/recovery_file.h"
#include "report/report_writer.h"
#include "report/settings.h"
#include "text/cp1250.h"
#include "util/file_io.h"
#include "util/os_file.h"
#include "version.h"

namespace kovirant::cli {
namespace {

// Where the rows appended from one input came from: the file line of each.
struct Origin {
    std::size_t firstRow = 0;
    std::string file;
    std::vector<std::uint32_t> lines;
};

class Run {
public:
    Run(const Options& o, const Io& io, const ReconcileRows* proposals = nullptr)
        : o_(o), io_(io), proposals_(proposals) {}

    int readCheckAndWrite() {
        if (const int status = readTheSettings(); status != kExitWritten) return finish(status);
        if (const int status = loadTheDirectory(); status != kExitWritten) return finish(status);
        for (const std::filesystem::path& input : o_.inputs)
            if (const int status = read(input); status != kExitWritten) return finish(status);
        if (proposals_) appendProposals();
        buildTheHistory();  // for the check too: --no-fill only stops the fill
        if (o_.fill) fill();
        check();
        if (!settings_.DataSheetFilled)
            findings_.push_back(fileFinding(pathText(settingsFile_), 0, false,
                                            "A jelentés készítése előtt töltse ki az adatlapot!"));
        if (faults() > 0 || o_.checkOnly) return finish(faults() > 0 ? kExitFaults : kExitWritten);
        return finish(write());
    }

private:
    std::size_t warnings() const {
        std::size_t n = check_.warnings.size();
        for (const Finding& f : findings_) n += f.warning ? 1 : 0;
        return n;
    }
    std::size_t errors() const { return findings_.size() + check_.faults.size() + check_.warnings.size() - warnings(); }
    std::size_t faults() const { return errors() + (o_.strict ? warnings() : 0); }

    void fail(const std::filesystem::path& file, std::string_view what, int code) {
        io_.err("kovirant-cli: " + pathText(file) + ": " + utf8(what) + utf8(" Hibakód=") + std::to_string(code) + "\n");
    }

    static Finding fileFinding(std::string file, long long line, bool warning, std::string_view cp1250) {
        Finding f;
        f.file = std::move(file);
        f.line = line;
        f.warning = warning;
        f.message = utf8(cp1250);
        return f;
    }

    // A file named on the command line must be there; the default settings
    // file too (a scheduled task may start anywhere).
    int readTheSettings() {
        settingsFile_ = settingsOf(o_, io_);
        if (const int err = readable(settingsFile_)) {
            if (o_.settings) fail(settingsFile_, "A beállítási állomány nem olvasható.", err);
            else
                fail(settingsFile_,
                     "A beállítási állomány nem olvasható: a jelenlegi mappában kerestem, másik helyét a "
                     "--settings kapcsoló adja meg.",
                     err);
            return kExitFile;
        }
        settings_ = readSettingsFile(settingsFile_);
        directoryFile_ = defaultDirectory(o_, settingsFile_);
        return kExitWritten;
    }

    // One input, appended: a report (or a recovery file, whole) or a protocol.
    int read(const std::filesystem::path& input) {
        if (const int err = readable(input)) {
            fail(input, "nem olvasható.", err);
            return kExitFile;
        }
        const std::string name = pathText(input);
        if (startsWithXml(input)) {
            ReloadOptions options{isRecoveryFile(input)};
            for (ViewKind k : kAllKinds) {
                origins_[k].push_back({tables_.table(k).rowCount(), name, {}});
                options.rowLines[k] = &origins_[k].back().lines;
            }
            const ReloadOutcome r = ReloadReport(input, tables_, options);
            switch (r.status) {
                case ReloadStatus::Completed: return kExitWritten;
                case ReloadStatus::CannotOpen: fail(input, kMsgFileOpenFailed, r.errorCode); return kExitFile;
                case ReloadStatus::ReadFailed:
                    fail(input, readFault(r.lines) + ".", r.errorCode);
                    return kExitFile;
                case ReloadStatus::NotAReport:
                case ReloadStatus::Incomplete:
                    findings_.push_back(fileFinding(name, r.status == ReloadStatus::Incomplete ? r.lines : 0, false,
                                                    reloadFault(r)));
                    return kExitFaults;
            }
            return kExitWritten;
        }
        origins_[ViewRegister].push_back({tables_.table(ViewRegister).rowCount(), name, {}});
        const ApehOutcome a = ImportApehFile(
            input, tables_,
            [&](const ApehLineFault& f) {
                // Nobody can answer for a blank line (one more line end, as an editor leaves it).
                if (f.blank) {
                    findings_.push_back(fileFinding(name, f.fileLine, true, "üres sor, átléptem"));
                    return true;
                }
                findings_.push_back(fileFinding(name, f.fileLine, o_.skipFaultyLines, f.fault));
                return o_.skipFaultyLines;
            },
            &origins_[ViewRegister].back().lines);
        switch (a.status) {
            case ApehStatus::Completed: break;
            case ApehStatus::Stopped: return kExitFaults;
            case ApehStatus::CannotOpen: fail(input, kMsgFileOpenFailed, a.errorCode); return kExitFile;
            case ApehStatus::ReadFailed:
                fail(input, readFault(a.lines) + ".", a.errorCode);
                return kExitFile;
        }
        if (a.lines == 0) {
            findings_.push_back(fileFinding(name, 0, false, kMsgEmptyFile));
            return kExitFaults;
        }
        return kExitWritten;
    }

    // --reconcile's proposals appended to the register as an import's rows;
    // the list's lines not read are its findings.
    void appendProposals() {
        origins_[ViewRegister].push_back({tables_.table(ViewRegister).rowCount(), proposals_->list, {}});
        for (const RegisterEntry& row : proposals_->proposals) tables_.appendRow(ViewRegister, row);
        findings_.insert(findings_.end(), proposals_->unreadable.begin(), proposals_->unreadable.end());
    }

    // The archived reports' history, when there is an archive: the fill's
    // and the check's ("már szerepelt", the conflicts).
    void buildTheHistory() {
        const std::filesystem::path folder = archiveFolderOf(o_, settingsFile_);
        std::error_code ec;
        if (!std::filesystem::exists(folder / std::string(kArchiveLogName), ec)) return;
        int err = 0;
        history_ = AccountHistory::build(folder, err);
        if (err == 0) warnOfCopies(*history_, io_);
        if (err != 0) {
            history_.reset();
            fail(folder / std::string(kArchiveLogName), "Az archívum naplója nem olvasható, nem töltöttem ki belőle.", err);
        }
    }

    // The company numbers from the directory, then what earlier reports
    // said (a closing's opening date, a company number the directory lacks).
    void fill() {
        const CompanyFill f = fillCompanies(tables_, directory_ ? &*directory_ : nullptr, history_ ? &*history_ : nullptr);
        summary_.filled = f.directory.filled;
        summary_.fromHistory = f.history.companies;
        summary_.openings = f.history.openings;
    }

    // The directory is read whenever there is one (its warnings need it);
    // one named on the command line must be there.
    int loadTheDirectory() {
        LoadedDirectory loaded = loadDirectory(directoryFile_, {settings_.maxtk, settings_.maxcf});
        if (loaded.status == DirectoryStatus::Missing && o_.directory) {
            fail(directoryFile_, "A cégtár nem olvasható.", loaded.errorCode);
            return kExitFile;
        }
        if (loaded.status == DirectoryStatus::Unreadable) {
            fail(directoryFile_, "A cégtár nem olvasható.", loaded.errorCode);
            return kExitFile;
        }
        if (loaded.status == DirectoryStatus::Read) {
            if (loaded.directory.unintelligible())
                io_.err("kovirant-cli: " + utf8("A cégtár (") + pathText(directoryFile_) +
                        utf8(") egyetlen sorát sem tudtam értelmezni.\n"));
            directory_ = std::move(loaded.directory);
        }
        return kExitWritten;
    }

    void check() {
        CheckOptions options;
        options.checkDay = o_.date ? *o_.date : localDay(std::time(nullptr));
        options.deadlineDays = settings_.hatarido;
        if (history_) {
            options.history = historyForCheck(*history_, historyRoads(archiveFolderOf(o_, settingsFile_), *history_));
            options.historyAhead = historyAheadForCheck(*history_);
        }
        if (settings_.hataridoRefused)
            findings_.push_back(fileFinding(pathText(settingsFile_), 0, true, deadlineRefusal(*settings_.hataridoRefused)));
        if (directory_) options.directoryCompany = [this](std::string_view tax) { return directory_->companyOf(tax); };
        check_ = checkAllRows(tables_, settings_.maxtk, settings_.maxcf, options);
    }

    // Why a row has no company number.
    std::string missingCompanyNumber(std::string_view tax) const {
        std::string why;
        if (!directory_) why = utf8("nem olvastam cégtárat (") + pathText(directoryFile_) + ")";
        else if (!directory_->companyOf(tax)) why = utf8("a cégtár nem ismeri a ") + utf8(tax) + utf8(" törzsszámot");
        else why = utf8("a kitöltést a --no-fill kikapcsolta");
        return utf8("hiányzik a cégszám: ") + why;
    }

    // The check's lines are made findings one at a time as they are printed.
    Finding rowFinding(const CheckLine& l) const {
        const std::string_view tax = tables_.cell(l.kind, l.row, columnOf(l.kind, ColumnRole::TaxBaseNumber));
        Finding f;
        f.table = tableNames_[l.kind];
        f.row = static_cast<long long>(l.row) + 1;
        f.taxNumber = utf8(tax);
        f.warning = l.warning;
        std::string text = lineText(check_, l);
        if (l.warning && text.starts_with(kWarningWord)) text.erase(0, kWarningWord.size());
        f.message = !l.warning && text == kMsgMissingCompanyNumber ? missingCompanyNumber(tax) : utf8(text);
        // A row that came from a file is named by its file and line.
        const std::vector<Origin>& origins = origins_[l.kind];
        auto o = std::upper_bound(origins.begin(), origins.end(), static_cast<std::size_t>(l.row),
                                  [](std::size_t row, const Origin& x) { return row < x.firstRow; });
        if (o != origins.begin()) {
            --o;
            if (l.row - o->firstRow < o->lines.size()) {
                f.file = o->file;
                f.line = o->lines[l.row - o->firstRow];
            }
        }
        return f;
    }

    void printFindings() {
        const bool json = o_.format == Format::Json;
        std::string buffer = json ? jsonHead(summary_) : std::string();
        std::size_t count = 0;
        auto print = [&](const Finding& f) {
            if (json) appendJson(buffer, f, count);
            else appendText(buffer, f);
            ++count;
            if (buffer.size() >= (1u << 16)) {
                io_.out(buffer);
                buffer.clear();
            }
        };
        for (const Finding& f : findings_) print(f);
        for (const CheckLine& l : checkLines(check_)) print(rowFinding(l));
        if (json) buffer += jsonTail(count);
        io_.out(buffer);
    }

    int write() {
        const std::filesystem::path& target = *o_.output;
        removeStaleTemporaries(target.parent_path().empty() ? io_.currentDirectory : target.parent_path(),
                               isRecoveryFile);  // a window's unsaved rows are its start-up's to read
        const ReportOutcome r = WriteReport(target, tables_, SettingsFile(settings_.settingsPath));
        switch (r.status) {
            case ReportStatus::Written: break;
            case ReportStatus::FaultyRow: {
                Finding f;
                f.table = utf8(tableName(ViewRegister));
                f.row = static_cast<long long>(r.faultyRow) + 1;
                f.message = utf8(kMsgFaultyRow);
                findings_.push_back(std::move(f));
                return kExitFaults;
            }
            case ReportStatus::CannotOpen: fail(target, kMsgReportCreateFailed, r.errorCode); return kExitFile;
            case ReportStatus::WriteFailed: fail(target, kMsgReportWriteFailed, r.errorCode); return kExitFile;
        }
        summary_.written = pathText(target);
        const int archived = archive(target);
        const int learnt = o_.learn ? learn() : kExitWritten;
        return archived != kExitWritten ? archived : learnt;
    }

    // The exact bytes written, kept in the archive with their log line.
    int archive(const std::filesystem::path& target) {
        if (o_.noArchive) {
            io_.err(utf8("kovirant-cli: a jelentést nem archiváltam (--no-archive).\n"));
            return kExitWritten;
        }
        const ArchiveOutcome o = archiveWrittenReport(archiveFolderOf(o_, settingsFile_), target, tables_,
                                                      "kovirant-cli " KOVIRANT_VERSION_STRING, std::time(nullptr));
        if (const std::string text = archiveText(o); !text.empty()) io_.err("kovirant-cli: " + utf8(text) + "\n");
        // A log that failed its proof is archived into, but the run does not end in success.
        const int status = o.ok() && o.headMismatch.empty() ? kExitWritten : kExitFile;
        if (!o.ok() || !approvalRequired(settings_)) return status;
        // With the two-person release the report waits for another officer's approval.
        const RoadOutcome r = requestApproval(archiveFolderOf(o_, settingsFile_), o.sha256,
                                              "kovirant-cli " KOVIRANT_VERSION_STRING, std::time(nullptr));
        if (!r.ok() && r.status != RoadStatus::NotAllowed) {
            io_.err("kovirant-cli: " + utf8(roadText(r)) + "\n");
            return kExitFile;
        }
        io_.err(utf8("kovirant-cli: a jelentés jóváhagyásra vár (SHA-256: ") + o.sha256 + ").\n");
        return status;
    }

    // As after a save in the window: the report teaches the directory. The
    // report stays when that fails, but the run does not end in success.
    int learn() {
        const LearningOutcome o = learnIntoDirectory(directoryFile_, {settings_.maxtk, settings_.maxcf},
                                                     [&](CompanyDirectory& directory) {
                                                         return learnFromTables(directory, tables_, settings_.maxtk,
                                                                                settings_.maxcf, LearnMode::Replace);
                                                     });
        if (const std::string text = learningText(o, directoryFile_); !text.empty())
            io_.err("kovirant-cli: " + utf8(text) + "\n");
        // A directory it cannot write was never to be learnt into.
        return o.ok() || o.status == LearningStatus::Unintelligible ? kExitWritten : kExitFile;
    }

    int finish(int status) {
        for (ViewKind k : kAllKinds) summary_.rows[k] = tables_.table(k).rowCount();
        summary_.late = check_.lateRows();
        printFindings();
        std::string counts = utf8("Cégjegyzék: ") + std::to_string(summary_.rows[0]) + utf8(" sor, cégnyilvántartás: ") +
                             std::to_string(summary_.rows[1]) + utf8(" sor, számlaszámváltozás: ") +
                             std::to_string(summary_.rows[2]) + utf8(" sor; a cégtárból kitöltve: ") +
                             std::to_string(summary_.filled) + utf8(", az archívumból: ") +
                             std::to_string(summary_.fromHistory) + utf8(" cégszám és ") +
                             std::to_string(summary_.openings) + utf8(" nyitás dátum; hibák: ") +
                             std::to_string(errors()) + utf8(", figyelmeztetések: ") +
                             std::to_string(warnings()) + utf8("; határidőn túl: ") +
                             std::to_string(summary_.late) + utf8(" sor") + "\n";
        if (summary_.written) counts += utf8("A jelentés elkészült: ") + *summary_.written + "\n";
        else if (status == kExitFaults) counts += utf8("Nem írtam jelentést.\n");
        io_.err(counts);
        return status;
    }

    static constexpr std::string_view kWarningWord = "Figyelmeztetés: ";

    const Options& o_;
    const Io& io_;
    const ReconcileRows* proposals_;  // --reconcile's, or none
    std::filesystem::path settingsFile_;
    StartupSettings settings_;
    std::filesystem::path directoryFile_;
    std::optional<CompanyDirectory> directory_;
    std::optional<AccountHistory> history_;  // when there is an archive
    RecordTables tables_;
    std::vector<Origin> origins_[kViewKindCount];
    std::vector<Finding> findings_;  // protocol lines and the settings; the rows' are in check_
    RowCheck check_;
    const PerKind<std::string> tableNames_ = {utf8(tableName(ViewRegister)), utf8(tableName(ViewInstitution)),
                                        utf8(tableName(ViewAccountChange))};
    Summary summary_;
};

// --reconcile: the list compared, or its proposals made a report by the
// normal run (whose status is the exit status). The history is the bank's
// side without --accounts; with it, what was reported when there is an archive.
int reconcileRun(const Options& o, const Io& io) {
    const std::filesystem::path folder = archiveFolderOf(o, settingsOf(o, io));
    std::optional<AccountHistory> history;
    std::error_code ec;
    if (!o.accounts || std::filesystem::exists(folder / std::string(kArchiveLogName), ec))
        if (const int status = buildHistory(folder, io, history); status != kExitWritten) return status;
    const bool report = o.output || o.checkOnly;
    ReconcileRows rows;
    const int status = reconcileList(o, io, history ? &*history : nullptr, report ? &rows : nullptr);
    if (!report || status != kExitWritten) return status;
    history.reset();  // the run builds its own, from the cache
    return Run(o, io, &rows).readCheckAndWrite();
}

// The report must not take the place of a file the run reads.
bool outputReplacesAnInput(const Options& o, const Io& io) {
    if (!o.output) return false;
    std::vector<std::filesystem::path> read = o.inputs;
    for (const auto* p : {&o.reconcile, &o.accounts})
        if (*p) read.push_back(**p);
    const std::filesystem::path settings = settingsOf(o, io);
    read.push_back(settings);
    read.push_back(defaultDirectory(o, settings));
    for (const std::filesystem::path& p : read)
        if (sameFile(*o.output, p)) return true;
    return false;
}

int runParsed(const ParsedOptions& parsed, const Io& io) {
    if (parsed.options.help) {
        io.out(usageText());
        return kExitWritten;
    }
    if (parsed.options.version) {
        io.out("kovirant-cli " KOVIRANT_VERSION_STRING "\n");
        return kExitWritten;
    }
    if (const std::string fault = policyFault(parsed.options); !fault.empty()) {
        io.err("kovirant-cli: " + utf8(fault) + "\n");
        return kExitFile;
    }
    if (parsed.options.verifyArchive) return verify(parsed.options, io);
    if (parsed.options.roadStep()) return roadStep(parsed.options, io);
    if (parsed.options.archiveStatus) return archiveStatus(parsed.options, io);
    if (parsed.options.archiveAdd) return addEarlier(parsed.options, io);
    if (parsed.options.history) return history(parsed.options, io);
    if (outputReplacesAnInput(parsed.options, io)) {
        io.err("kovirant-cli: " + pathText(*parsed.options.output) +
               utf8(": a jelentés nem írhatja felül a bemenetet, a beállítási állományt vagy a cégtárat.\n"));
        return kExitUsage;
    }
    if (const auto& output = parsed.options.output) {
        const std::filesystem::path archive = archiveFolderOf(parsed.options, settingsOf(parsed.options, io));
        if (insideArchive(archive, *output)) {
            io.err("kovirant-cli: " + pathText(*output) + utf8(": a jelentés nem kerülhet az archívum mappájába (") +
                   pathText(archive) + ").\n");
            return kExitUsage;
        }
    }
    if (parsed.options.reconcile) return reconcileRun(parsed.options, io);
    return Run(parsed.options, io).readCheckAndWrite();
}

// --log naming a file the run reads or writes would mix the log into it; in
// the archive's folder it would be a file the archive does not account for.
bool logMeetsAFile(const Options& o, const Io& io) {
    if (insideArchive(archiveFolderOf(o, settingsOf(o, io)), *o.log)) return true;
    std::vector<std::filesystem::path> files = o.inputs;
    for (const auto* p : {&o.output, &o.settings, &o.directory, &o.reconcile, &o.accounts})
        if (*p) files.push_back(**p);
    const auto spelled = [](const std::filesystem::path& p) { return std::filesystem::absolute(p).lexically_normal(); };
    for (const auto& f : files)
        if (sameFile(*o.log, f) || spelled(*o.log) == spelled(f)) return true;
    return false;
}

}  // namespace

int run(const std::vector<Argument>& args, const Io& io) {
    const ParsedOptions parsed = parseOptions(args);
    if (!parsed.error.empty()) {
        io.err("kovirant-cli: " + parsed.error + utf8(". Segítség: kovirant-cli --help\n"));
        return kExitUsage;
    }
    if (!parsed.options.log) return runParsed(parsed, io);
    if (logMeetsAFile(parsed.options, io)) {
        io.err("kovirant-cli: " + pathText(*parsed.options.log) +
               utf8(": a napló nem lehet a futás bemenete, jelentése, beállítási állománya, cégtára vagy az archívumban.\n"));
        return kExitUsage;
    }
    RunLog log;
    if (const int error = log.open(*parsed.options.log, args, std::time(nullptr)); error != 0) {
        io.err("kovirant-cli: " + pathText(*parsed.options.log) + utf8(": a napló nem nyitható meg (Hibakód=") +
               std::to_string(error) + ").\n");
        return kExitFile;
    }
    const int status = runParsed(parsed, log.tee(io));
    if (const int error = log.close(status); error != 0) {
        io.err("kovirant-cli: " + pathText(*parsed.options.log) + utf8(": a napló nem írható (Hibakód=") +
               std::to_string(error) + ").\n");
        return status == kExitWritten ? kExitFile : status;
    }
    return status;
}

}  // namespace kovirant::cli
