// The report's road from "Korábbi jelentések": the second officer's
// approval (or return), the mark that it was sent, and the registry's
// receipt, attached and opened.
#pragma once

#include <cstddef>
#include <vector>

#include "app/app_state.h"
#include "app/shell.h"
#include "archive/report_state.h"

namespace kovirant {

// The steps the list offers for a report (ArchiveLineAction bits): approval
// while it awaits it (or, approved, while its file to sign is missing from
// the outbox), sending once it may be sent, a receipt once sent, the
// receipt's opening once it has one.
unsigned roadActions(const ReportRoad& road, bool approvalOn, const std::filesystem::path& outbox);

// Each takes roads[at] a step and says what came of it.
void approveFromList(AppState& state, Shell& shell, const std::vector<ReportRoad>& roads, std::size_t at);
void markSentFromList(AppState& state, Shell& shell, const std::vector<ReportRoad>& roads, std::size_t at);
// The receipt chosen proposes the report its bytes name, else roads[at].
void receiptFromList(AppState& state, Shell& shell, const std::vector<ReportRoad>& roads, std::size_t at);
void openReceipt(const AppState& state, Shell& shell, const ReportRoad& road);

}  // namespace kovirant
