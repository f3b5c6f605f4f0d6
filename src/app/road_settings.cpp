#include "app/road_settings.h"

#include "text/cp1250.h"
#include "util/os_file.h"

namespace kovirant {

bool approvalRequired(const StartupSettings& settings) {
    if (const auto policy = policyNumber(kApprovalPolicyValue)) return *policy == 1;
    return settings.jovahagyas;
}

std::filesystem::path outboxFolder(const StartupSettings& settings) {
    if (auto policy = policyPath(kOutboxPolicyValue)) return *policy;
    const std::filesystem::path beside = settings.settingsPath.parent_path();
    if (settings.Kimeno.empty()) return beside / std::string(kOutboxFolderName);
    const std::filesystem::path named(cp1250ToUtf16(settings.Kimeno));
    return named.is_absolute() ? named : beside / named;
}

RoadLimits roadLimits(const StartupSettings& settings) { return {settings.kuldesiHatarido, settings.tertivevenyHatarido}; }

std::string roadLimitRefusals(const StartupSettings& settings) {
    std::string text;
    for (const auto& [key, value] : settings.limitsRefused) {
        const int fallback = key == kSendingDaysKey ? kDefaultSendingDays : kDefaultReceiptDays;
        if (!text.empty()) text += ' ';
        text += limitRefusal(key, value, fallback);
    }
    return text;
}

}  // namespace kovirant
