#include "recovery/recovery_scan.h"

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
    RecordTables tables = out.rows.tables();
    for (std::size_t i = 0; i < j.records.size(); ++i) {
        const JournalRecord& rec = j.records[i];
        const bool standsAlone = holdsWholeTables(rec.payload);
        if (!out.replayed && !standsAlone && rec.sequence <= out.at.sequence) continue;  // already in the snapshot
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
    return out;
}

}  // namespace kovirant
