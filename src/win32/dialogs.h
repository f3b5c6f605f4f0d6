// The modal dialogs of the main window; each runs to its end. The editing
// dialogs work on the data they are given and save through its callback.
#pragma once

#include "app/shell.h"
#include "win32/win32.h"

namespace kovirant::win32 {

void runAboutDialog(HINSTANCE instance, HWND owner);
void runRegisterEntryDialog(HINSTANCE instance, HWND owner, const EditorRequest<RegisterEntryForm>& request);
void runInstitutionDialog(HINSTANCE instance, HWND owner, const EditorRequest<InstitutionForm>& request);
void runAccountChangeDialog(HINSTANCE instance, HWND owner, const EditorRequest<AccountChangeForm>& request);
void runDataSheetDialog(HINSTANCE instance, HWND owner, const EditorRequest<DataSheetForm>& request);
std::optional<std::size_t> runFaultListDialog(HINSTANCE instance, HWND owner, const ListRequest& request);
ArchiveListChoice runArchiveListDialog(HINSTANCE instance, HWND owner, const ArchiveListRequest& request);
ApprovalAnswer runApprovalDialog(HINSTANCE instance, HWND owner, const ApprovalRequest& request);
std::optional<std::u16string> runSentTimeDialog(HINSTANCE instance, HWND owner, const std::u16string& now);
std::optional<ReceiptAnswer> runReceiptDialog(HINSTANCE instance, HWND owner, const ReceiptRequest& request);
void runAccountHistoryDialog(HINSTANCE instance, HWND owner, const AccountHistoryRequest& request);
// `open` holds the dialog while it runs.
ReconciliationChoice runReconciliationDialog(HINSTANCE instance, HWND owner, ReconciliationPort& port, HWND& open);
std::optional<std::u16string> runSearchDialog(HINSTANCE instance, HWND owner, const std::u16string& initial);

}  // namespace kovirant::win32
