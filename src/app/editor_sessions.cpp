#include "app/editor_sessions.h"

namespace kovirant {
namespace {

template <class Form, class Record, class FormOf>
EditorSession<Form> open(const AppState& state, EditorMode mode, ViewKind kind, FormOf formOf) {
    EditorSession<Form> session;
    session.mode = mode;
    if (mode == EditorMode::Modify) {
        const std::size_t row = state.tables.firstSelectedRow().value_or(0);
        session.row = row;
        Record record;
        if (row < state.tables.table(kind).rowCount()) state.tables.readRow(kind, row, record);
        session.form = formOf(record);
    }
    return session;
}

template <class Record>
std::optional<EditorMessage> store(AppState& state, Shell& shell, ViewKind kind, EditorMode mode, std::size_t row,
                                   const EditResult<Record>& result) {
    if (!result.ok()) return result.error;
    if (mode == EditorMode::New) {
        state.tables.appendRow(kind, result.record);
        shell.enableMenuItem(kCmdSaveReport, true);
        shell.enableMenuItem(kCmdNew, true);
    } else if (row < state.tables.table(kind).rowCount()) {
        state.tables.writeRow(kind, row, result.record);
    }
    state.tables.ReportPending = true;
    return std::nullopt;
}

}  // namespace

EditorSession<RegisterEntryForm> openRegisterEditor(const AppState& state, EditorMode mode) {
    return open<RegisterEntryForm, RegisterEntry>(state, mode, ViewRegister, registerEntryFormOf);
}

EditorSession<InstitutionForm> openInstitutionEditor(const AppState& state, EditorMode mode) {
    return open<InstitutionForm, InstitutionEntry>(state, mode, ViewInstitution, institutionFormOf);
}

EditorSession<AccountChangeForm> openAccountChangeEditor(const AppState& state, EditorMode mode) {
    return open<AccountChangeForm, AccountChangeEntry>(state, mode, ViewAccountChange, accountChangeFormOf);
}

std::optional<EditorMessage> saveRegisterEditor(AppState& state, Shell& shell,
                                                const EditorSession<RegisterEntryForm>& session,
                                                const RegisterEntryForm& form) {
    return store(state, shell, ViewRegister, session.mode, session.row,
                 ValidateRegisterEntry(form, state.maxtk, state.maxcf));
}

std::optional<EditorMessage> saveInstitutionEditor(AppState& state, Shell& shell,
                                                   const EditorSession<InstitutionForm>& session,
                                                   const InstitutionForm& form) {
    return store(state, shell, ViewInstitution, session.mode, session.row, ValidateInstitutionEntry(form, state.maxtk));
}

std::optional<EditorMessage> saveAccountChangeEditor(AppState& state, Shell& shell,
                                                     const EditorSession<AccountChangeForm>& session,
                                                     const AccountChangeForm& form) {
    return store(state, shell, ViewAccountChange, session.mode, session.row,
                 ValidateAccountChangeEntry(form, state.maxtk, state.maxcf));
}

std::optional<EditorMessage> saveDataSheetDialog(AppState& state, const DataSheetForm& form) {
    const DataSheetSaveResult r = saveDataSheet(form, state.settings(), state.maxtk, state.maxcf);
    if (!r.saved()) return r.message;
    state.DataSheetFilled = true;
    return std::nullopt;
}

namespace {

template <class Form, class Save>
EditorRequest<Form> requestOf(const EditorSession<Form>& session, Save save) {
    return {session.mode, session.form, [session, save](const Form& form) { return save(session, form); }};
}

}  // namespace

void runEditor(AppState& state, Shell& shell, ViewKind kind, EditorMode mode) {
    switch (kind) {
        case ViewRegister:
            shell.runRegisterEditor(requestOf(openRegisterEditor(state, mode), [&](const auto& session, const auto& f) {
                return saveRegisterEditor(state, shell, session, f);
            }));
            break;
        case ViewInstitution:
            shell.runInstitutionEditor(requestOf(openInstitutionEditor(state, mode), [&](const auto& session, const auto& f) {
                return saveInstitutionEditor(state, shell, session, f);
            }));
            break;
        case ViewAccountChange:
            shell.runAccountChangeEditor(requestOf(openAccountChangeEditor(state, mode), [&](const auto& session, const auto& f) {
                return saveAccountChangeEditor(state, shell, session, f);
            }));
            break;
    }
}

void runDataSheet(AppState& state, Shell& shell) {
    shell.runDataSheet({EditorMode::New, openDataSheet(state.settings()),
                        [&state](const DataSheetForm& form) { return saveDataSheetDialog(state, form); }});
}

}  // namespace kovirant
