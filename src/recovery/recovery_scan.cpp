#include "recovery/recovery_scan.h"

#include <optional>
#include <system_error>

#include "recovery/snapshot_job.h"
#include "util/file_io.h"
#include "util/os_file.h"

namespace kovirant {

RecoveryScan scanRecovery(const std::filesystem::path& snapshotFile, const std::filesystem::path& journalFile) {
    RecoveryScan out;
    out.rows = readRecovery(snapshotFile);
    out.snapshotThere = out.rows.status != RecoveryStatus::Missing;
    if (out.rows.status == RecoveryStatus::Unreadable) {
        out.unreadableFile = snapshotFile;
        out.errorCode = out.rows.errorCode;
        return out;
    }
    out.journal = readJournal(journalFile);
    const JournalContents& j = out.journal;
    out.journalThere = j.status != JournalStatus::Missing;
    if (j.status == JournalStatus::Unreadable) {
        out.unreadableFile = journalFile;
        out.errorCode = j.errorCode;
        return out;
    }
    const bool snapshotWhole = out.rows.status == RecoveryStatus::Read;
    out.damaged = out.snapshotThere && !snapshotWhole;
    if (j.status == JournalStatus::Damaged) {
        out.damaged = true;
        out.lostChanges += j.lostRecords;
    }
    out.lastUnreadable = j.lastUnreadable;
    out.at = out.rows.at;

    // Changes on a snapshot cut short, or of another chain, cannot be placed.
    const JournalPosition& s = out.rows.at;
    if ((out.snapshotThere && !snapshotWhole) || (snapshotWhole && s.generation != 0 && j.generation != s.generation &&
                                                  !j.records.empty())) {
        out.damaged = true;
        out.lostChanges += j.records.size();
        return out;
    }
    // What a save (or leaving) said was saved is not offered again: a stop
    // between the removal of the two files leaves the older one.
    const JournalPosition saved = readSavedMark(snapshotFile.parent_path());
    const std::uint64_t chain = snapshotWhole ? s.generation : j.generation;
    const bool snapshotSaved = snapshotWhole && saved.generation != 0 && s.generation == saved.generation &&
                               s.sequence <= saved.sequence;
    if (saved.generation != 0 && chain == saved.generation && out.at.sequence < saved.sequence)
        out.at = saved;
    RecordTables tables = out.rows.tables();
    for (std::size_t i = 0; i < j.records.size(); ++i) {
        const JournalRecord& rec = j.records[i];
        const bool standsAlone = holdsWholeTables(rec.payload);
        // Already in the snapshot (or saved); a record of the whole tables of
        // another chain stands on its own.
        const bool sameChain = out.at.generation != 0 && j.generation == out.at.generation;
        if (!out.replayed && rec.sequence <= out.at.sequence && (!standsAlone || sameChain)) continue;
        // A gap: the changes between are missing, so none after them fits.
        if ((!standsAlone && rec.sequence != out.at.sequence + 1) || !applyJournalRecord(rec.payload, tables)) {
            out.damaged = true;
            out.lostChanges += j.records.size() - i;
            break;
        }
        out.at = {j.generation, rec.sequence};
        out.replayed = true;
    }
    if (out.replayed && !out.snapshotThere) out.rows.status = RecoveryStatus::Read;
    if (snapshotSaved && !out.replayed) {
        out.rows = RecoveredRows{};  // nothing unsaved
        out.rows.status = RecoveryStatus::Read;
        out.rows.at = s;
    }
    return out;
}

std::vector<std::filesystem::path> leftSnapshots(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> out;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::filesystem::path& p = it->path();
        if (p.filename() == std::filesystem::path(std::string(kSnapshotJobFileName)) ||
            (isStaleTemporary(p) && isRecoveryFile(p)))
            out.push_back(p);
    }
    return out;
}

RecoveryScan scanRecoveryWithLeftSnapshots(const std::filesystem::path& snapshotFile,
                                           const std::filesystem::path& journalFile,
                                           const std::vector<std::filesystem::path>& left) {
    RecoveryScan found = scanRecovery(snapshotFile, journalFile);
    if (!found.unreadableFile.empty()) return found;
    // A new journal (the whole tables) written beside the old one, its move not made.
    std::filesystem::path beside = journalFile;
    beside += std::string(kJournalTempSuffix);
    std::error_code ec;
    if (std::filesystem::exists(beside, ec)) {
        const JournalContents j = readJournal(beside);
        const bool newer = j.status == JournalStatus::Read && !j.records.empty() &&
                           holdsWholeTables(j.records.front().payload) &&
                           (found.nothing() || (j.generation == found.at.generation &&
                                                j.records.back().sequence > found.at.sequence));
        if (newer && renameReplacing(beside, journalFile) == 0) found = scanRecovery(snapshotFile, journalFile);
        else removeFile(beside);
    }
    if (left.empty()) return found;
    std::optional<std::size_t> best;
    JournalPosition bestAt = found.at;
    const bool nothingWhole = found.nothing() || (found.damaged && found.rows.rows() == 0);
    for (std::size_t i = 0; i < left.size(); ++i) {
        const RecoveredRows rows = readRecovery(left[i]);
        if (rows.status != RecoveryStatus::Read || rows.at.generation == 0) continue;
        const bool newer = (nothingWhole && !best) || (rows.at.generation == bestAt.generation && rows.at.sequence > bestAt.sequence);
        if (!newer) continue;
        best = i;
        bestAt = rows.at;
    }
    for (std::size_t i = 0; i < left.size(); ++i)
        if (i != best) removeFile(left[i]);
    if (!best || renameReplacing(left[*best], snapshotFile) != 0) return found;
    return scanRecovery(snapshotFile, journalFile);
}

}  // namespace kovirant
