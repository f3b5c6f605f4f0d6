#include "cli/cli_run.h"

#include <optional>
#include <string>

#include "directory/company_directory.h"
#include "editing/row_check.h"
#include "cli/findings.h"
#include "import/apeh_import.h"
#include "import/report_reload.h"
#include "records/memory_table.h"
#include "recovery/recovery_file.h"
#include "report/report_writer.h"
#include "report/settings.h"
#include "text/cp1250.h"
#include "util/file_io.h"
#include "version.h"

namespace kovirant::cli {
namespace {

std::string pathText(const std::filesystem::path& p) {
    const std::u8string s = p.u8string();
    return std::string(s.begin(), s.end());
}

std::string utf8(std::string_view cp1250) { return cp1250ToUtf8(cp1250); }

bool startsWithXml(const std::filesystem::path& file) {
    const OpenedFile opened = openFile(file, "rb");
    char head[5] = {};
    return opened && std::fread(head, 1, sizeof head, opened.file.get()) == sizeof head &&
           std::string_view(head, sizeof head) == "<?xml";
}

class Run {
public:
    Run(const Options& o, const Io& io) : o_(o), io_(io) {}

    int go() {
        const std::filesystem::path settingsFile = o_.settings ? *o_.settings : io_.currentDirectory / "Kovirant.ini";
        settings_ = readSettingsFile(settingsFile);
        directoryFile_ = o_.directory ? *o_.directory : directoryPath(settingsFile.parent_path());
        for (const std::filesystem::path& input : o_.inputs)
            if (const int status = read(input); status != kExitWritten) return finish(status);
        if (const int status = loadTheDirectory(); status != kExitWritten) return finish(status);
        if (o_.fill && directory_) summary_.filled = fillCompanyNumbers(*directory_, tables_).filled;
        check();
        if (!o_.checkOnly && !settings_.DataSheetFilled)
            findings_.push_back({true, pathText(settingsFile), 0, {}, false,
                                 utf8("A jelentés készítése előtt töltse ki az adatlapot!")});
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

    // One input, appended: a report (or a recovery file, whole) or a protocol.
    int read(const std::filesystem::path& input) {
        const OpenedFile probe = openFile(input, "rb");
        if (!probe) {
            fail(input, "nem olvasható.", probe.error);
            return kExitFile;
        }
        if (startsWithXml(input)) {
            const ReloadOutcome r = ReloadReport(input, tables_, ReloadOptions{isRecoveryFile(input)});
            if (r.status == ReloadStatus::CannotOpen) fail(input, kMsgFileOpenFailed, r.errorCode);
            return r.status == ReloadStatus::CannotOpen ? kExitFile : kExitWritten;
        }
        const ApehOutcome a = ImportApehFile(input, tables_, [&](const std::string& question, long long line) {
            findings_.push_back({true, pathText(input), line, {}, o_.skipFaultyLines, utf8(question)});
            return o_.skipFaultyLines;
        });
        if (a.status == ApehStatus::CannotOpen) {
            fail(input, kMsgFileOpenFailed, a.errorCode);
            return kExitFile;
        }
        return a.status == ApehStatus::Stopped ? kExitFaults : kExitWritten;
    }

    int loadTheDirectory() {
        if (!o_.fill) return kExitWritten;
        LoadedDirectory loaded = loadDirectory(directoryFile_, {settings_.maxtk, settings_.maxcf});
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
        if (directory_) options.directoryCompany = [this](std::string_view tax) { return directory_->companyOf(tax); };
        check_ = checkAllRows(tables_, settings_.maxtk, settings_.maxcf, options);
    }

    // The check's lines are made findings one at a time as they are printed.
    Finding rowFinding(const CheckLine& l) const {
        const std::string_view tax = tables_.cell(l.kind, l.row, columnOf(l.kind, ColumnRole::TaxBaseNumber));
        return {false, tableNames_[l.kind], static_cast<long long>(l.row) + 1, utf8(tax), l.warning, utf8(lineText(check_, l))};
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
        removeStaleTemporaries(target.parent_path().empty() ? io_.currentDirectory : target.parent_path());
        const ReportOutcome r = WriteReport(target, tables_, SettingsFile(settings_.settingsPath));
        switch (r.status) {
            case ReportStatus::Written: break;
            case ReportStatus::FaultyRow:
                findings_.push_back({false, utf8(tableName(ViewRegister)), static_cast<long long>(r.faultyRow) + 1, {},
                                     false, utf8(kMsgFaultyRow)});
                return kExitFaults;
            case ReportStatus::CannotOpen: fail(target, kMsgReportCreateFailed, r.errorCode); return kExitFile;
            case ReportStatus::WriteFailed: fail(target, kMsgReportWriteFailed, r.errorCode); return kExitFile;
        }
        summary_.written = pathText(target);
        if (o_.learn) learn();
        return kExitWritten;
    }

    // As after a save in the window: the report teaches the directory.
    void learn() {
        LoadedDirectory loaded = loadDirectory(directoryFile_, {settings_.maxtk, settings_.maxcf});
        if (loaded.status == DirectoryStatus::Unreadable) {
            fail(directoryFile_, "A cégtárat nem sikerült frissíteni, mert nem olvasható.", loaded.errorCode);
            return;
        }
        if (loaded.directory.unintelligible()) return;  // never appended to in a format it may not have
        if (learnFromTables(loaded.directory, tables_, settings_.maxtk, settings_.maxcf, LearnMode::Replace) == 0) return;
        if (const int err = saveDirectory(directoryFile_, loaded.directory))
            fail(directoryFile_, "A cégtárat nem sikerült frissíteni.", err);
    }

    int finish(int status) {
        for (ViewKind k : {ViewRegister, ViewInstitution, ViewAccountChange}) summary_.rows[k] = tables_.table(k).rowCount();
        printFindings();
        std::string counts = utf8("Cégjegyzék: ") + std::to_string(summary_.rows[0]) + utf8(" sor, cégnyilvántartás: ") +
                             std::to_string(summary_.rows[1]) + utf8(" sor, számlaszámváltozás: ") +
                             std::to_string(summary_.rows[2]) + utf8(" sor; a cégtárból kitöltve: ") +
                             std::to_string(summary_.filled) + utf8("; hibák: ") +
                             std::to_string(errors()) + utf8(", figyelmeztetések: ") +
                             std::to_string(warnings()) + "\n";
        if (summary_.written) counts += utf8("A jelentés elkészült: ") + *summary_.written + "\n";
        else if (status == kExitFaults) counts += utf8("Nem írtam jelentést.\n");
        io_.err(counts);
        return status;
    }

    const Options& o_;
    const Io& io_;
    StartupSettings settings_;
    std::filesystem::path directoryFile_;
    std::optional<CompanyDirectory> directory_;
    MemoryTable reg_{ViewRegister}, inst_{ViewInstitution}, acc_{ViewAccountChange};
    RecordTables tables_{reg_, inst_, acc_};
    std::vector<Finding> findings_;  // protocol lines and the settings; the rows' are in check_
    RowCheck check_;
    const std::string tableNames_[3] = {utf8(tableName(ViewRegister)), utf8(tableName(ViewInstitution)),
                                        utf8(tableName(ViewAccountChange))};
    Summary summary_;
};

}  // namespace

int run(const std::vector<Argument>& args, const Io& io) {
    const ParsedOptions parsed = parseOptions(args);
    if (!parsed.error.empty()) {
        io.err("kovirant-cli: " + parsed.error + utf8(". Segítség: kovirant-cli --help\n"));
        return kExitUsage;
    }
    if (parsed.options.help) {
        io.out(usageText());
        return kExitWritten;
    }
    if (parsed.options.version) {
        io.out("kovirant-cli " KOVIRANT_VERSION_STRING "\n");
        return kExitWritten;
    }
    return Run(parsed.options, io).go();
}

}  // namespace kovirant::cli
