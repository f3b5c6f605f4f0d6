#include "app/recovery_commands.h"

#include <cstdio>
#include <system_error>

#include "recovery/recovery_file.h"
#include "text/cp1250.h"

namespace kovirant {
namespace {

std::filesystem::path fileOf(const AppState& state) { return recoveryPath(state.settingsPath.parent_path()); }

void warnOnce(AppState& state, Shell& shell, int code) {
    if (state.recovery.warned) return;
    state.recovery.warned = true;
    char text[400];
    std::snprintf(text, sizeof text,
                  "A nem mentett sorok védelme nem működik: a visszaállítási állomány (%s) nem írható, "
                  "Hibakód=%d. A sorok a jelentés mentéséig csak a memóriában vannak.",
                  std::string(kRecoveryFileName).c_str(), code);
    shell.showMessage(messageBox(text, kProgramCaption, MessageIcon::Warning, true));
}

// Takes this run's hold of the recovery file; false while another running
// copy in the same folder has it. Decided once: a copy that started second
// never writes the file, so it cannot overwrite rows the first one left.
bool ownsRecoveryFile(AppState& state) {
    RecoveryState& r = state.recovery;
    if (r.hold.held()) return true;
    if (r.heldElsewhere) return false;
    const int err = r.hold.take(recoveryHoldPath(state.settingsPath.parent_path()));
    r.heldElsewhere = err != 0 && isHeldElsewhere(err);
    // Where no hold can be made at all, the file's own write decides.
    return !r.heldElsewhere;
}

void warnHeldElsewhere(AppState& state, Shell& shell) {
    if (state.recovery.warned) return;
    state.recovery.warned = true;
    const std::string text =
        "A nem mentett sorok védelme ebben az ablakban nem működik: a Kovirant egy másik példánya már fut ebben a "
        "mappában, és az a saját sorait őrzi a visszaállítási állományban (" + std::string(kRecoveryFileName) +
        "). Az itt felvitt sorok a jelentés mentéséig csak a memóriában vannak.";
    shell.showMessage(messageBox(text, kProgramCaption, MessageIcon::Warning, true));
}

void removeFile(AppState& state) {
    if (!state.recovery.onDisk) return;
    std::error_code ec;
    std::filesystem::remove(fileOf(state), ec);
    state.recovery.onDisk = false;
}

}  // namespace

void writePendingRecovery(AppState& state, Shell& shell) {
    state.recovery.waiting = false;
    if (state.settingsPath.empty() || state.recovery.dropped || !state.tables.ReportPending) return;
    const auto change = state.tables.changeCount();
    if (state.recovery.onDisk && state.recovery.writtenAt == change) return;
    if (!ownsRecoveryFile(state)) {
        warnHeldElsewhere(state, shell);
        return;
    }
    if (const int err = writeRecovery(fileOf(state), state.tables, state.settings())) {
        warnOnce(state, shell, err);
        return;
    }
    state.recovery.onDisk = true;
    state.recovery.writtenAt = change;
}

void keepRecovery(AppState& state, Shell& shell) {
    if (state.settingsPath.empty() || state.recovery.dropped) return;
    if (!ownsRecoveryFile(state)) {
        if (state.tables.ReportPending) warnHeldElsewhere(state, shell);
        return;
    }
    if (!state.tables.ReportPending) {
        removeFile(state);
        return;
    }
    if (state.recovery.onDisk && state.recovery.writtenAt == state.tables.changeCount()) return;
    if (state.tables.totalRows() <= kRecoveryImmediateRows) {
        writePendingRecovery(state, shell);
    } else if (!state.recovery.waiting) {
        state.recovery.waiting = true;
        shell.scheduleRecovery(kRecoveryIdleMs);
    }
}

void dropRecovery(AppState& state) {
    state.recovery.waiting = false;
    state.recovery.dropped = true;
    removeFile(state);
}

void offerRecovery(AppState& state, Shell& shell, std::time_t now) {
    if (state.settingsPath.empty()) return;
    // The file of a copy still running is that copy's, not left over.
    if (!ownsRecoveryFile(state)) return;
    const std::filesystem::path file = fileOf(state);
    const RecoveredRows found = readRecovery(file);
    if (found.status == RecoveryStatus::Missing) return;

    if (found.status != RecoveryStatus::Read) {
        const AsideOutcome aside = putAside(file, now);
        std::string text = "Az előző futásból maradt visszaállítási állomány (" + std::string(kRecoveryFileName) +
                           ") sérült vagy nem olvasható, ezért nem töltöttem vissza.";
        if (found.errorCode != 0) text += " Hibakód=" + std::to_string(found.errorCode) + ".";
        if (aside.moved()) text += " Félretettem ezen a néven: " + utf16ToCp1250(aside.aside.filename().u16string());
        shell.showMessage(messageBox(text, kProgramCaption, MessageIcon::Warning, true));
        return;
    }
    if (found.rows() == 0) {  // nothing was unsaved but the flag
        std::error_code ec;
        std::filesystem::remove(file, ec);
        return;
    }
    char text[600];
    std::snprintf(text, sizeof text,
                  "A program előző futása %zu nem mentett sorral ért véget (cégjegyzék: %zu, pénzintézet: %zu, "
                  "számlaszámváltozás: %zu). Visszatöltsem őket?\n\nNem: a sorokat egy dátummal jelölt állományba "
                  "teszem félre, amelyet később az \"XML állomány betöltése...\" paranccsal is betölthet.",
                  found.rows(), found.reg.rowCount(), found.inst.rowCount(), found.acc.rowCount());
    if (!shell.askYesNo(messageBox(text, kProgramCaption, MessageIcon::Question, true))) {
        putAside(file, now);
        return;
    }
    restoreRows(found, state.tables);
    state.tables.ReportPending = true;
    shell.enableMenuItem(kCmdSaveReport, true);
    state.recovery.onDisk = true;  // the file holds exactly these rows
    state.recovery.writtenAt = state.tables.changeCount();
}

}  // namespace kovirant
