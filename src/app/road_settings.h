// The bank's settings of the report's road after the save: the two-person
// release (policy value "Jovahagyas", REG_DWORD 1, machine before user; or
// "jovahagyas=1" in GENERAL) and the outbox the approved report is copied to
// (policy value or settings key "Kimeno"; default Kimeno beside the settings).
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "archive/report_state.h"
#include "report/settings.h"

namespace kovirant {

inline constexpr std::string_view kApprovalPolicyValue = "Jovahagyas";
inline constexpr std::string_view kOutboxPolicyValue = "Kimeno";
inline constexpr std::string_view kOutboxFolderName = "Kimeno";

bool approvalRequired(const StartupSettings& settings);
// The outbox folder; a relative settings value is taken beside the settings.
std::filesystem::path outboxFolder(const StartupSettings& settings);
// The limits of the road as the settings give them.
RoadLimits roadLimits(const StartupSettings& settings);
// The message for each refused limit, joined (Windows-1250; empty: none).
std::string roadLimitRefusals(const StartupSettings& settings);

}  // namespace kovirant
