// A scripted Shell: records what the commands show and answers from queues.
#pragma once

#include <deque>
#include <functional>
#include <map>

#include <gtest/gtest.h>

#include "app/shell.h"
#include "text/cp1250.h"

namespace kovirant {

struct FakeShell : Shell {
    std::map<int, bool> enabled{{kCmdLoadReport, true}, {kCmdLoadApeh, true}, {kCmdSaveReport, false},
                                {kCmdExit, true},        {kCmdNew, true},       {kCmdModify, false},
                                {kCmdDelete, false},     {kCmdDataSheet, true}, {kCmdAbout, true}};
    std::map<int, bool> checked{
        {kCmdViewRegister, true}, {kCmdViewInstitution, false}, {kCmdViewAccountChange, false}};
    std::vector<MessageBoxSpec> messages;  // shown and asked, in order
    std::deque<bool> answers;             // for askYesNo; empty: Yes
    std::deque<std::optional<std::filesystem::path>> files;
    std::vector<FileDialogSpec> fileDialogs;
    // Simulate the editor dialogs: each gets what the dialog would be run with.
    std::function<void(const EditorRequest<RegisterEntryForm>&)> registerEditor;
    std::function<void(const EditorRequest<InstitutionForm>&)> institutionEditor;
    std::function<void(const EditorRequest<AccountChangeForm>&)> accountChangeEditor;
    std::function<void(const EditorRequest<DataSheetForm>&)> dataSheet;
    std::vector<std::pair<ViewKind, EditorMode>> editorRuns;
    int dataSheetRuns = 0, aboutRuns = 0, quits = 0, modifyPosts = 0;
    std::vector<int> beeps;
    std::map<int, std::u16string> status;
    ViewKind shown = ViewRegister;
    std::function<void()> whileMessageShown;  // runs while a message box is open

    void showMessage(const MessageBoxSpec& box) override {
        messages.push_back(box);
        if (whileMessageShown) whileMessageShown();
    }
    bool askYesNo(const MessageBoxSpec& box) override {
        messages.push_back(box);
        if (answers.empty()) return true;
        bool a = answers.front();
        answers.pop_front();
        return a;
    }
    void enableMenuItem(int id, bool on) override { enabled[id] = on; }
    void checkMenuItem(int id, bool on) override { checked[id] = on; }
    std::map<int, std::u16string> menuTexts;
    void setMenuText(int id, const std::u16string& text) override { menuTexts[id] = text; }
    void showTable(ViewKind kind) override { shown = kind; }
    void setStatusText(int part, const std::u16string& text) override { status[part] = text; }
    std::optional<std::filesystem::path> chooseFile(const FileDialogSpec& request) override {
        fileDialogs.push_back(request);
        if (files.empty()) return std::nullopt;
        auto f = files.front();
        files.pop_front();
        return f;
    }
    void runRegisterEditor(const EditorRequest<RegisterEntryForm>& r) override {
        editorRuns.emplace_back(ViewRegister, r.mode);
        if (registerEditor) registerEditor(r);
    }
    void runInstitutionEditor(const EditorRequest<InstitutionForm>& r) override {
        editorRuns.emplace_back(ViewInstitution, r.mode);
        if (institutionEditor) institutionEditor(r);
    }
    void runAccountChangeEditor(const EditorRequest<AccountChangeForm>& r) override {
        editorRuns.emplace_back(ViewAccountChange, r.mode);
        if (accountChangeEditor) accountChangeEditor(r);
    }
    void runDataSheet(const EditorRequest<DataSheetForm>& r) override {
        ++dataSheetRuns;
        if (dataSheet) dataSheet(r);
    }
    void runAbout() override { ++aboutRuns; }
    void beep(int frequency, int) override { beeps.push_back(frequency); }
    void quit() override { ++quits; }
    void postModify() override { ++modifyPosts; }
    void scheduleRecovery(int milliseconds) override { recoverySchedules.push_back(milliseconds); }
    std::vector<SnapshotJob*> snapshotJobs;  // started; a test runs them
    void startSnapshot(SnapshotJob& job) override { snapshotJobs.push_back(&job); }
    std::function<std::optional<std::size_t>(const ListRequest&)> faultList;  // simulates the dialog
    std::optional<std::size_t> runFaultList(const ListRequest& r) override {
        ++faultListRuns;
        return faultList ? faultList(r) : std::nullopt;
    }
    std::function<ArchiveListChoice(const ArchiveListRequest&)> archiveList;  // simulates the dialog
    ArchiveListChoice runArchiveList(const ArchiveListRequest& r) override {
        ++archiveListRuns;
        return archiveList ? archiveList(r) : ArchiveListChoice{};
    }
    std::function<ApprovalAnswer(const ApprovalRequest&)> approval;  // simulates the dialog
    ApprovalAnswer runApproval(const ApprovalRequest& r) override { return approval ? approval(r) : ApprovalAnswer{}; }
    std::deque<std::optional<std::u16string>> sentTimes;  // answers of the sending's time; empty: the time offered
    std::optional<std::u16string> askSentTime(const std::u16string& now) override {
        if (sentTimes.empty()) return now;
        auto t = sentTimes.front();
        sentTimes.pop_front();
        return t;
    }
    std::function<std::optional<ReceiptAnswer>(const ReceiptRequest&)> receipt;  // simulates the dialog
    std::optional<ReceiptAnswer> runReceipt(const ReceiptRequest& r) override {
        return receipt ? receipt(r) : std::nullopt;
    }
    std::vector<std::filesystem::path> opened;  // openDocument's files
    void openDocument(const std::filesystem::path& file) override { opened.push_back(file); }
    std::function<void(const AccountHistoryRequest&)> accountHistory;  // simulates the dialog
    void runAccountHistory(const AccountHistoryRequest& r) override {
        if (accountHistory) accountHistory(r);
    }
    std::function<ReconciliationChoice(ReconciliationPort&)> reconciliation;  // simulates the dialog
    ReconciliationChoice runReconciliation(ReconciliationPort& port) override {
        return reconciliation ? reconciliation(port) : ReconciliationChoice{};
    }
    std::deque<std::vector<std::filesystem::path>> chosenFileSets;  // answers of the multiple-file dialog
    std::vector<std::filesystem::path> chooseFiles(const FileDialogSpec&) override {
        if (chosenFileSets.empty()) return {};
        auto files = chosenFileSets.front();
        chosenFileSets.pop_front();
        return files;
    }
    int archiveListRuns = 0;
    std::deque<std::optional<std::u16string>> searchTexts;  // answers of the search dialog
    std::optional<std::u16string> askSearchText(const std::u16string&) override {
        ++searchDialogs;
        if (searchTexts.empty()) return std::nullopt;
        auto t = searchTexts.front();
        searchTexts.pop_front();
        return t;
    }
    int faultListRuns = 0, searchDialogs = 0;
    std::vector<int> recoverySchedules;

    // The texts shown, in Windows-1250, for comparing with literals.
    std::vector<std::string> texts() const {
        std::vector<std::string> out;
        for (const MessageBoxSpec& m : messages) out.push_back(utf16ToCp1250(m.text));
        return out;
    }
    std::string lastText() const { return messages.empty() ? "" : utf16ToCp1250(messages.back().text); }

    // A register editor whose officer types a valid new row and saves it.
    void registerEditorSavesAValidRow() {
        registerEditor = [](const EditorRequest<RegisterEntryForm>& r) {
            RegisterEntryForm f = r.initial;
            f.company = {"01", "09", "123456"};
            f.taxBaseNumber = "12345678";
            f.account = {"11111111", "22222222", "33333333"};
            f.opening = {"2005", "03", "01"};
            f.code = 1;
            const auto message = r.save(f);
            if (message) ADD_FAILURE() << "the valid row was refused: " << message->text;
        };
    }
};

}  // namespace kovirant
