#include "cli/archive_run.h"

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
#include "cli/findings.h"
#include "cli/run_files.h"
#include "cli/reconcile_run.h"
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
void warnOfCopies(const AccountHistory& h, const Io& io) {
    std::string text;
    for (const std::string& w : h.copyWarnings()) text += utf8("kovirant-cli: figyelmeztetés: ") + utf8(w) + "\n";
    if (!text.empty()) io.err(text);
}

int verify(const Options& o, const Io& io) {
    const std::filesystem::path folder = archiveFolderOf(o, settingsOf(o, io));
    std::vector<ArchiveAnchor> anchors;
    if (o.anchors) {
        if (const int err = readAnchors(*o.anchors, anchors)) {
            io.err("kovirant-cli: " + pathText(*o.anchors) + utf8(": a horgonyok állománya nem olvasható. Hibakód=") +
                   std::to_string(err) + "\n");
            return kExitFile;
        }
    }
    int err = 0;
    const std::vector<ArchiveFinding> findings = verifyArchive(folder, err, o.anchors ? &anchors : nullptr);
    const std::string log = pathText(folder / std::string(kArchiveLogName));
    if (err != 0) {
        io.err("kovirant-cli: " + log + utf8(": az archívum naplója nem olvasható. Hibakód=") + std::to_string(err) + "\n");
        return kExitFile;
    }
    std::string out;
    for (const ArchiveFinding& f : findings)
        out += log + (f.line > 0 ? ":" + std::to_string(f.line) : std::string()) + ": hiba: " + f.message + "\n";
    io.out(out);
    io.err(findings.empty() ? utf8("Az archívum ép: minden másolat és a napló lánca rendben.\n")
                            : utf8("Az archívumban ") + std::to_string(findings.size()) + utf8(" hibát találtam.\n"));
    return findings.empty() ? kExitWritten : kExitFaults;
}

// --archive-add: earlier reports into the archive, each once.
int addEarlier(const Options& o, const Io& io) {
    const std::filesystem::path folder = archiveFolderOf(o, settingsOf(o, io));
    int status = kExitWritten;
    std::string out;
    std::size_t added = 0;
    for (const std::filesystem::path& file : o.inputs) {
        const ArchiveOutcome a = archiveEarlierReport(folder, file, "kovirant-cli " KOVIRANT_VERSION_STRING);
        switch (a.status) {
            case ArchiveStatus::Archived:
                ++added;
                if (const std::string text = archiveAddText(a); !text.empty()) io.err("kovirant-cli: " + utf8(text) + "\n");
                if (!a.headMismatch.empty()) status = kExitFile;
                break;
            case ArchiveStatus::Known: out += pathText(file) + utf8(": figyelmeztetés: már szerepel az archívumban\n"); break;
            case ArchiveStatus::NotAReport:
                out += pathText(file) + utf8(": hiba: nem jelentés (a gyökéreleme nem <PénzintézetiJelentés>)\n");
                status = std::max(status, kExitFaults);
                break;
            case ArchiveStatus::Incomplete:
                out += pathText(file) + ":" + std::to_string(a.lines) +
                       utf8(": hiba: csonka jelentés (a </PénzintézetiJelentés> előtt véget ér), nem vettem fel\n");
                status = std::max(status, kExitFaults);
                break;
            case ArchiveStatus::RowsUnread:
                out += pathText(file) + utf8(": hiba: ") + std::to_string(a.rowElements) + utf8(" tételt tartalmaz, de csak ") +
                       std::to_string(a.rowsRead) + utf8(" tételét tudtam beolvasni, nem vettem fel\n");
                status = std::max(status, kExitFaults);
                break;
            default:
                io.err("kovirant-cli: " + utf8(archiveAddText(a)) + "\n");
                status = kExitFile;
        }
    }
    io.out(out);
    io.err(utf8("Az archívumba felvettem: ") + std::to_string(added) + utf8(" jelentést.\n"));
    return status;
}

int buildHistory(const std::filesystem::path& folder, const Io& io, std::optional<AccountHistory>& h) {
    int err = 0;
    h = AccountHistory::build(folder, err);
    if (err != 0) {
        h.reset();
        io.err("kovirant-cli: " + pathText(folder / std::string(kArchiveLogName)) +
               utf8(": az archívum naplója nem olvasható. Hibakód=") + std::to_string(err) + "\n");
        return kExitFile;
    }
    warnOfCopies(*h, io);
    return kExitWritten;
}

int history(const Options& o, const Io& io) {
    std::optional<AccountHistory> built;
    if (const int status = buildHistory(archiveFolderOf(o, settingsOf(o, io)), io, built); status != kExitWritten)
        return status;
    const AccountHistory& h = *built;
    const std::vector<HistoryRow> rows = h.rowsOf(*o.history);
    const bool json = o.format == Format::Json;
    std::string out = json ? "[" : "";
    for (const HistoryRow& row : rows) {
        const HistoryRow* r = &row;
        const HistoryReport& rep = h.reports()[r->report];
        const std::string table = utf8(tableName(r->table));
        if (json) {
            out += out.size() > 1 ? ",\n  {" : "\n  {";
            out += "\"time\": " + jsonString(rep.time) + ", \"copy\": " + jsonString(rep.copy) + ", \"table\": " +
                   jsonString(table) + ", \"code\": " + jsonString(utf8(r->code)) + ", \"companyNumber\": " +
                   jsonString(r->company) + ", \"taxNumber\": " + jsonString(r->tax) + ", \"account\": " +
                   jsonString(r->account) + ", \"opening\": " + jsonString(r->opening) + ", \"closing\": " +
                   jsonString(r->closing) + "}";
        } else {
            out += rep.time + " " + rep.copy + " " + table + " " + utf8(r->code) + " " + r->company + " " + r->tax + " " +
                   r->account + " " + r->opening + " " + r->closing + "\n";
        }
    }
    if (json) out += rows.empty() ? "]\n" : "\n]\n";
    io.out(out);
    if (rows.empty()) io.err(utf8("kovirant-cli: nincs találat: ") + *o.history + "\n");
    return rows.empty() ? kExitFaults : kExitWritten;
}

}  // namespace kovirant::cli
