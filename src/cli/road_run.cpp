#include "cli/road_run.h"

#include <algorithm>
#include <ctime>

#include "app/road_settings.h"
#include "archive/report_state.h"
#include "cli/findings.h"
#include "cli/run_files.h"
#include "report/settings.h"
#include "text/cp1250.h"
#include "util/file_io.h"
#include "version.h"

namespace kovirant::cli {
namespace {

// The settings the road needs (whether approval is on): a run without them
// could pass the bank's two-person release by.
bool readRoadSettings(const Options& o, const Io& io, StartupSettings& settings) {
    const std::filesystem::path file = settingsOf(o, io);
    if (const int err = readable(file)) {
        io.err("kovirant-cli: " + pathText(file) + utf8(": a beállítási állomány nem olvasható. Hibakód=") +
               std::to_string(err) + "\n");
        return false;
    }
    settings = readSettingsFile(file);
    if (const std::string refused = roadLimitRefusals(settings); !refused.empty())
        io.err(utf8("kovirant-cli: figyelmeztetés: ") + utf8(refused) + "\n");
    return true;
}

int exitOf(const RoadOutcome& r) {
    switch (r.status) {
        case RoadStatus::Done: return r.headMismatch.empty() ? kExitWritten : kExitFile;
        case RoadStatus::NoSuchReport:
        case RoadStatus::SeveralReports:
        case RoadStatus::NotAPrefix:
        case RoadStatus::BadTime: return kExitUsage;
        case RoadStatus::NotAllowed:
        case RoadStatus::OwnReport:
        case RoadStatus::NeedsApproval: return kExitFaults;
        default: return kExitFile;
    }
}

}  // namespace

int roadStep(const Options& o, const Io& io) {
    StartupSettings settings;
    if (!readRoadSettings(o, io, settings)) return kExitFile;
    RoadStep step;
    step.program = "kovirant-cli " KOVIRANT_VERSION_STRING;
    step.approvalOn = approvalRequired(settings);
    if (o.approve) {
        step.to = ReportState::Approved;
        step.prefix = *o.approve;
        step.outbox = outboxFolder(settings);
    } else if (o.returnReport) {
        step.to = ReportState::Returned;
        step.prefix = *o.returnReport;
        step.note = *o.reason;
    } else if (o.markSent) {
        step.to = ReportState::Sent;
        step.prefix = *o.markSent;
        step.sentAt = o.at.value_or("");
    } else {
        step.to = *o.accepted ? ReportState::Accepted : ReportState::Refused;
        step.prefix = *o.receiptFor;
        step.receipt = *o.receipt;
        step.note = o.note.value_or("");
    }
    const RoadOutcome r = moveReport(archiveFolderOf(o, settingsOf(o, io)), step, std::time(nullptr));
    io.err((r.ok() ? std::string() : std::string("kovirant-cli: ")) + utf8(roadText(r)) + "\n");
    return exitOf(r);
}

int archiveStatus(const Options& o, const Io& io) {
    StartupSettings settings;
    if (!readRoadSettings(o, io, settings)) return kExitFile;
    const std::filesystem::path folder = archiveFolderOf(o, settingsOf(o, io));
    int err = 0;
    std::vector<ReportRoad> roads = readReportRoads(folder, err);
    if (err != 0) {
        io.err("kovirant-cli: " + pathText(folder / std::string(kArchiveLogName)) +
               utf8(": az archívum naplója nem olvasható. Hibakód=") + std::to_string(err) + "\n");
        return kExitFile;
    }
    const std::time_t now = std::time(nullptr);
    const RoadLimits limits = roadLimits(settings);
    const std::vector<bool> mended = mendedReports(folder, roads);
    struct Line {
        const ReportRoad* road;
        bool overdue;
    };
    std::vector<Line> open;
    for (std::size_t i = 0; i < roads.size(); ++i)
        if (roads[i].state != ReportState::Accepted)
            open.push_back({&roads[i], isOverdue(roads[i], limits, now, mended[i])});
    std::stable_sort(open.begin(), open.end(),
                     [](const Line& a, const Line& b) { return a.road->report.time < b.road->report.time; });
    const bool json = o.format == Format::Json;
    std::string out = json ? "[" : "";
    std::size_t late = 0;
    for (const Line& l : open) {
        const ReportRoad& r = *l.road;
        late += l.overdue ? 1 : 0;
        const std::string state = utf8(stateName(r.state));
        const long long age = daysSince(r.report.time, now), waiting = daysSince(r.since, now);
        if (json) {
            out += out.size() > 1 ? ",\n  {" : "\n  {";
            out += "\"sha256\": " + jsonString(r.report.sha256) + ", \"time\": " + jsonString(r.report.time) +
                   ", \"copy\": " + jsonString(r.report.copy) + ", \"state\": " + jsonString(state) +
                   ", \"since\": " + jsonString(r.since) + ", \"ageDays\": " + std::to_string(age) +
                   ", \"daysInState\": " + std::to_string(waiting) + ", \"overdue\": " + (l.overdue ? "true" : "false") +
                   "}";
        } else {
            out += r.report.sha256.substr(0, 12) + " " + r.report.time + " " + state + " " + std::to_string(age) +
                   utf8(" napja") + (l.overdue ? utf8(" KÉSIK") : std::string()) + " " + r.report.copy + "\n";
        }
    }
    if (json) out += open.empty() ? "]\n" : "\n]\n";
    io.out(out);
    io.err(utf8("Nem elfogadott jelentés: ") + std::to_string(open.size()) + utf8(", késik: ") + std::to_string(late) +
           "\n");
    return late == 0 ? kExitWritten : kExitFaults;
}

}  // namespace kovirant::cli
