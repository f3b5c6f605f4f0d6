// What the editors and the data sheet do when they open and when they save,
// apart from moving text between controls and forms.
#pragma once

#include <optional>

#include "app/app_state.h"
#include "app/shell.h"
#include "editing/account_change_editor.h"
#include "editing/institution_editor.h"
#include "editing/register_entry_editor.h"
#include "report/data_sheet.h"

namespace kovirant {

template <class Form>
struct EditorSession {
    EditorMode mode = EditorMode::New;
    std::size_t row = 0;  // Modify: the row being edited
    Form form{};          // what the dialog shows when it opens
};

// Modify mode reads the first selected row of the kind's table (which the
// command shows) into the form.
EditorSession<RegisterEntryForm> openRegisterEditor(const AppState& state, EditorMode mode);
EditorSession<InstitutionForm> openInstitutionEditor(const AppState& state, EditorMode mode);
EditorSession<AccountChangeForm> openAccountChangeEditor(const AppState& state, EditorMode mode);

// Validates; on success appends (New: also enables "Jelentés mentése..." and
// "Új adatok...") or writes the row back (Modify), and sets ReportPending.
// Gives the message to show when the dialog must stay open.
std::optional<EditorMessage> saveRegisterEditor(AppState& state, Shell& shell,
                                                const EditorSession<RegisterEntryForm>& session,
                                                const RegisterEntryForm& form);
std::optional<EditorMessage> saveInstitutionEditor(AppState& state, Shell& shell,
                                                   const EditorSession<InstitutionForm>& session,
                                                   const InstitutionForm& form);
std::optional<EditorMessage> saveAccountChangeEditor(AppState& state, Shell& shell,
                                                     const EditorSession<AccountChangeForm>& session,
                                                     const AccountChangeForm& form);

// The data sheet: saved, it sets DataSheetFilled.
std::optional<EditorMessage> saveDataSheetDialog(AppState& state, const DataSheetForm& form);

// Runs the editor of a table through the shell: the form of the selected row
// in Modify mode, the save into the table.
void runEditor(AppState& state, Shell& shell, ViewKind kind, EditorMode mode);
// Runs the data sheet with the settings file's values.
void runDataSheet(AppState& state, Shell& shell);

}  // namespace kovirant
