#include "app/road_commands.h"

#include <system_error>

#include "app/approval_review.h"
#include "app/road_settings.h"
#include "app/working_folder.h"
#include "text/cp1250.h"
#include "util/file_io.h"
#include "util/os_file.h"
#include "version.h"

namespace kovirant {
namespace {

constexpr std::string_view kProgram = "Kovirant " KOVIRANT_VERSION_STRING;



// The step taken, and what came of it said.
RoadOutcome take(AppState& state, Shell& shell, RoadStep step) {
    step.approvalOn = state.approvalOn;
    step.program = std::string(kProgram);
    RoadOutcome o = moveReport(state.archiveFolder, step, state.now());
    const bool fine = o.ok() && o.headMismatch.empty() && !o.tookOver;
    notice(shell, roadText(o), fine ? MessageIcon::Information : MessageIcon::Warning);
    return o;
}

std::u16string reportLine(const ReportRoad& road) {
    return logPath(road.report.report).filename().u16string() + shellText(" (" + road.report.time + ", SHA-256: " +
                                                                road.report.sha256.substr(0, 12) + ", " +
                                                                std::string(stateName(road.state)) + ")");
}

bool ownReport(const ReportRoad& road) {
    const std::string me = accountName();
    for (const std::string& saver : road.savedBy)
        if (sameAccount(saver, me)) return true;
    return false;
}

}  // namespace

unsigned roadActions(const ReportRoad& road, bool approvalOn, const std::filesystem::path& outbox) {
    std::error_code ec;
    unsigned actions = 0;
    if (road.state == ReportState::AwaitingApproval ||
        (road.state == ReportState::Approved && approvalOn && !outbox.empty() &&
         !std::filesystem::exists(outboxFileOf(road, outbox), ec)))
        actions |= kLineApprove;
    if (road.state == ReportState::Approved || (road.state == ReportState::Saved && !approvalOn)) actions |= kLineMarkSent;
    if (road.state == ReportState::Sent) actions |= kLineReceipt;
    if (!road.receiptCopy.empty()) actions |= kLineOpenReceipt;
    return actions;
}

void approveFromList(AppState& state, Shell& shell, const std::vector<ReportRoad>& roads, std::size_t at) {
    const ReportRoad& road = roads[at];
    if (ownReport(road)) {
        notice(shell, "A jelentést Ön készítette; jóváhagyását másik ügyintéző adhatja meg.", MessageIcon::Warning);
        return;
    }
    RoadStep step;
    step.to = ReportState::Approved;
    step.prefix = road.report.sha256;
    step.outbox = state.outboxFolder;
    // Approved already, its file to sign missing: the copy is made again, there is nothing to review.
    if (road.state != ReportState::Approved) {
        const ApprovalAnswer answer = shell.runApproval({reportLine(road), shellText(approvalReview(state, roads, at))});
        if (answer.action == ApprovalAnswer::Action::Cancel) return;
        if (answer.action == ApprovalAnswer::Action::Return) {
            step.to = ReportState::Returned;
            step.note = cp1250ToUtf8(utf16ToCp1250(answer.reason));
        }
    }
    // An outbox policy value that cannot be used is said, and nothing approved.
    if (auto policy = policyPath(kOutboxPolicyValue); policy && step.to == ReportState::Approved)
        if (const std::string fault = policyValueFault(kOutboxPolicyValue, *policy); !fault.empty()) {
            notice(shell, fault, MessageIcon::Warning);
            return;
        }
    take(state, shell, step);
}

void markSentFromList(AppState& state, Shell& shell, const std::vector<ReportRoad>& roads, std::size_t at) {
    RoadStep step;
    step.to = ReportState::Sent;
    step.prefix = roads[at].report.sha256;
    const std::string now = minuteText(state.now());
    std::u16string offered = shellText(now);
    for (;;) {
        const std::optional<std::u16string> typed = shell.askSentTime(offered);
        if (!typed) return;
        const std::string when = utf16ToCp1250(*typed);
        // The time offered left as it is: sent now, the line's own time.
        step.sentAt = when == now ? std::string() : when;
        if (take(state, shell, step).status != RoadStatus::BadTime) return;
        offered = *typed;
    }
}

void receiptFromList(AppState& state, Shell& shell, const std::vector<ReportRoad>& roads, std::size_t at) {
    FileDialogSpec request;
    request.title = shellText("A regisztráció tértivevénye");
    request.filters = {{shellText("Minden állomány"), u"*.*"}};
    const std::optional<std::filesystem::path> chosen = shell.chooseFile(request);
    if (!chosen) return;
    std::string bytes;
    if (const int err = readFile(*chosen, bytes)) {
        notice(shell, "A tértivevényt (" + utf16ToCp1250(chosen->u16string()) + ") nem tudtam beolvasni. Hibakód=" +
                       std::to_string(err) + ".",
            MessageIcon::Warning);
        return;
    }
    // Only a sent report takes a receipt: those are offered, the one the receipt names first.
    const std::optional<std::size_t> named = reportOfReceipt(bytes, roads);
    const std::size_t proposed = named && roads[*named].state == ReportState::Sent ? *named : at;
    std::string().swap(bytes);
    ReceiptRequest ask;
    ask.file = chosen->u16string();
    std::vector<std::size_t> offered;
    for (std::size_t i = 0; i < roads.size(); ++i) {
        if (roads[i].state != ReportState::Sent && i != proposed) continue;
        if (i == proposed) ask.proposed = offered.size();
        offered.push_back(i);
        ask.reports.push_back(reportLine(roads[i]));
    }
    const std::optional<ReceiptAnswer> answer = shell.runReceipt(ask);
    if (!answer || answer->report >= offered.size()) return;
    RoadStep step;
    step.to = answer->accepted ? ReportState::Accepted : ReportState::Refused;
    step.prefix = roads[offered[answer->report]].report.sha256;
    step.receipt = *chosen;
    step.note = cp1250ToUtf8(utf16ToCp1250(answer->note));
    take(state, shell, step);
}

void openReceipt(const AppState& state, Shell& shell, const ReportRoad& road) {
    if (road.receiptCopy.empty()) return;
    shell.openDocument(copyPath(state.archiveFolder, road.receiptCopy));
}

}  // namespace kovirant
