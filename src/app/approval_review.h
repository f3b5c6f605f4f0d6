// What the second officer sees before approving a report: its rows per
// table, the check's faults and warnings on that very copy, and the rows it
// adds to and leaves out of the last approved report.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "archive/report_state.h"

namespace kovirant {

// How many lines of findings and of differences the review shows; the rest are counted.
inline constexpr std::size_t kReviewLines = 200;

// The review of roads[at] (Windows-1250, lines ended by CR LF).
std::string approvalReview(AppState& state, const std::vector<ReportRoad>& roads, std::size_t at);

// The last report before roads[at] (in the log's order) that a second
// officer approved, if any.
std::optional<std::size_t> lastApproved(const std::vector<ReportRoad>& roads, std::size_t at);

}  // namespace kovirant
