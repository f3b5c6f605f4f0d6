#include "app/reconcile_commands.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "app/archive_commands.h"
#include "app/commands.h"
#include "archive/reconciliation.h"
#include "archive/report_archive.h"
#include "import/registry_list.h"
#include "text/cp1250.h"

namespace kovirant {
namespace {

std::string named(const std::filesystem::path& file) { return utf16ToCp1250(file.u16string()); }


// The list's columns: the register's line, the bank's side, the proposal;
// an unreadable line's reason and text in the last.
enum Column : int { Kind, Line, Account, Tax, Company, Opening, Closing, From, Until, BankTax, BankCompany,
                    BankOpening, BankClosing, Code, Note };

// A line of the list: a difference, or a line of either file not used.
struct Shown {
    enum class Of : std::uint8_t { Difference, RegistryLine, BankLine } of;
    std::size_t index;
};

class Session final : public ReconciliationPort {
public:
    Session(AppState& state, Shell& shell) : state_(state), shell_(shell) {
        view_.list.headers = {shellText("Eltérés"),          shellText("Sor"),          shellText("Számlaszám"),    shellText("Törzsszám"),
                              shellText("Cégszám"),          shellText("Nyitás"),       shellText("Zárás"),         shellText("Hattól"),
                              shellText("Hatig"),            shellText("Törzsszám nálunk"), shellText("Cégszám nálunk"), shellText("Nyitás nálunk"),
                              shellText("Zárás nálunk"),     shellText("Javasolt kód"), shellText("Megjegyzés")};
        view_.list.widths = {230, 40, 190, 70, 80, 75, 75, 75, 75, 100, 100, 85, 85, 80, 260};
        view_.list.rightAligned = {Line};
        view_.list.text = [this](std::size_t line, int column) { return cell(line, column); };
        describe();
    }

    const ReconciliationView& view() const override { return view_; }

    void chooseRegistryList() override {
        const auto file = shell_.chooseFile(openRequest(shellText("A cégjegyzék számlalistájának megnyitása"), state_.lastRegistryList,
                                                        {{shellText("Minden állomány"), u"*.*"}, {shellText("szöveg"), u"*.txt"}}, u"txt"));
        if (!file) return;
        state_.lastRegistryList = *file;
        RegistryListOutcome read = readRegistryList(*file);
        if (!read.ok()) {
            std::string fault = registryListFault(read);
            fault[0] = 'A';  // "a cégjegyzék ..." begins the box
            notice(shell_, fault + (fault.ends_with(".") ? "" : ".") + "\n" + named(*file), MessageIcon::Error);
            return;
        }
        registryFile_ = *file;
        registry_ = std::move(read);
        compare();
    }

    void chooseBankList() override {
        const auto file = shell_.chooseFile(openRequest(shellText("A bank számlalistájának megnyitása"), state_.lastBankList,
                                                        {{shellText("Minden állomány"), u"*.*"}, {u"CSV", u"*.csv"}}, u"csv"));
        if (!file) return;
        state_.lastBankList = *file;
        BankListOutcome read = readBankAccountList(*file);
        if (!read.ok()) {
            std::string fault = bankListFault(read);
            if (!fault.empty() && fault[0] >= 'a' && fault[0] <= 'z') fault[0] = static_cast<char>(fault[0] - 'a' + 'A');
            notice(shell_, fault + ".\n" + named(*file), MessageIcon::Error);
            return;
        }
        bankFile_ = *file;
        bank_ = std::move(read);
        compare();
    }

    void showChoice(std::size_t choice) override {
        view_.choice = std::min(choice, view_.choices.empty() ? std::size_t{0} : view_.choices.size() - 1);
        shown_.clear();
        const bool all = view_.choice == 0, unreadable = view_.choice == kDifferenceKinds + 1;
        for (std::size_t i = 0; i < result_.differences.size(); ++i)
            if (all || static_cast<std::size_t>(result_.differences[i].kind) == view_.choice)
                shown_.push_back({Shown::Of::Difference, i});
        if (all || unreadable) {
            for (std::size_t i = 0; i < registry_.unused.size(); ++i)
                if (!registry_.unused[i].header) shown_.push_back({Shown::Of::RegistryLine, i});
            if (bank_)
                for (std::size_t i = 0; i < bank_->unused.size(); ++i) shown_.push_back({Shown::Of::BankLine, i});
        }
        view_.list.count = shown_.size();
        view_.list.focusLine = 0;
    }

    void saveList() override {
        if (!view_.compared) return;
        FileDialogSpec request;
        request.save = true;
        request.title = shellText("Az eltérések listájának mentése");
        request.filters = {{shellText("Minden állomány"), u"*.*"}, {u"CSV", u"*.csv"}};
        request.filterIndex = 2;
        request.defaultExtension = u"csv";
        request.initialDirectory = registryFile_.parent_path();
        request.initialName = "elteresek.csv";
        const auto target = shell_.chooseFile(request);
        if (!target) return;
        // The archive's folder holds only its own files.
        if (!state_.archiveFolder.empty() && insideArchive(state_.archiveFolder, *target)) {
            notice(shell_, "Az eltérések listája nem kerülhet az archívum mappájába (" + named(state_.archiveFolder) + ").",
                   MessageIcon::Error);
            return;
        }
        const DifferenceListSaveResult saved = saveDifferenceList(*target, result_);
        if (saved.saved())
            notice(shell_, "Az eltérések listáját elmentettem: " + std::to_string(saved.rows) + " eltérés.\n" + named(*target),
                   MessageIcon::Information);
        else
            notice(shell_, "Az eltérések listája nem írható: " + named(*target) + ". Hibakód=" + std::to_string(saved.errorCode),
                   MessageIcon::Error);
    }

    // The proposals of the differences among the lines chosen (every line
    // shown when none is), in account-number order.
    std::vector<RegisterEntry> proposals(const std::vector<std::size_t>& lines) const {
        std::vector<std::size_t> differences;
        auto take = [&](std::size_t line) {
            if (line < shown_.size() && shown_[line].of == Shown::Of::Difference) differences.push_back(shown_[line].index);
        };
        if (lines.empty())
            for (std::size_t line = 0; line < shown_.size(); ++line) take(line);
        for (std::size_t line : lines) take(line);
        if (differences.empty()) return {};  // none chosen is not all of them
        return proposalRows(result_, differences);
    }

private:
    FileDialogSpec openRequest(std::u16string title, const std::filesystem::path& last, std::vector<FileFilter> filters,
                               std::u16string extension) const {
        FileDialogSpec request;
        request.title = std::move(title);
        request.filters = std::move(filters);
        request.filterIndex = 2;
        request.defaultExtension = std::move(extension);
        // Each list's last file, else the working folder.
        request.initialDirectory = !last.empty() ? last.parent_path() : state_.settingsPath.parent_path();
        request.initialName = last.filename();
        return request;
    }

    void compare() {
        // Without the bank's list the archive is the bank's side; an empty
        // archive knows no account.
        history_ = archivedHistory(state_);
        static const AccountHistory kEmpty;
        result_ = bank_ ? reconcile(*bank_, registry_, history_.get()) : reconcile(history_ ? *history_ : kEmpty, registry_);
        view_.compared = true;
        describe();
    }

    void describe() {
        if (!view_.compared) {
            view_.files = shellText("Válassza ki a cégjegyzék számlalistáját.");
            view_.countText.clear();
        } else {
            std::string files = "Cégjegyzék: ";
            files.append(named(registryFile_)).append("; bank: ");
            files.append(bank_      ? named(bankFile_)
                         : history_ ? std::string("az archivált jelentések szerint")
                                    : std::string("az archívumban nincs olvasható jelentés, adja meg a bank számlalistáját"));
            // A copy the history could not use leaves its accounts out: named (the first; how many more).
            if (const std::vector<std::string> warnings = history_ ? history_->copyWarnings() : std::vector<std::string>();
                !warnings.empty()) {
                files.append(". Figyelmeztetés: ").append(warnings.front());
                if (warnings.size() > 1) files.append(" (és még ").append(std::to_string(warnings.size() - 1)).append(")");
            }
            view_.files = shellText(files);
            std::string counts = "Cégjegyzék listája: ";
            counts.append(registryListCounts(registry_)).append(".");
            if (bank_)
                counts.append(" Banki lista: ")
                    .append(std::to_string(bank_->lines))
                    .append(" sor, ")
                    .append(std::to_string(bank_->accounts.size()))
                    .append(" számla, ")
                    .append(std::to_string(bank_->unreadable))
                    .append(" olvashatatlan sor.");
            counts.append("\n").append(reconciliationCounts(result_)).append(".");
            view_.countText = shellText(counts);
        }
        view_.choices.clear();
        view_.choices.push_back(shellText("Minden eltérés és olvashatatlan sor (" + std::to_string(result_.differences.size()) + ")"));
        for (std::size_t k = 1; k <= kDifferenceKinds; ++k)
            view_.choices.push_back(shellText(std::string(differenceLabel(static_cast<DifferenceKind>(k))) + " (" +
                                      std::to_string(result_.perKind[k - 1]) + ")"));
        const std::size_t unreadable = registry_.unreadable + (bank_ ? bank_->unused.size() : 0);
        view_.choices.push_back(shellText("olvashatatlan sorok (" + std::to_string(unreadable) + ")"));
        showChoice(view_.choice);
    }

    std::u16string cell(std::size_t line, int column) const {
        if (line >= shown_.size()) return {};
        const Shown s = shown_[line];
        if (s.of != Shown::Of::Difference) {
            const bool bank = s.of == Shown::Of::BankLine;
            const UnusedLine& l = bank ? bank_->unused[s.index] : registry_.unused[s.index];
            switch (column) {
                // A bank line a later line of the same account answers keeps no text.
                case Kind:
                    return shellText(!bank ? "olvashatatlan sor"
                             : l.text.empty() ? "nem használt sor (banki lista)"
                                              : "olvashatatlan sor (banki lista)");
                case Line: return shellText(std::to_string(l.line));
                case Note: return shellText(l.text.empty() ? l.reason : l.reason + ": " + l.text);
                default: return {};
            }
        }
        const Difference& d = result_.differences[s.index];
        const RegistryLine* g = d.registry;
        const BankAccount* b = d.bank;
        switch (column) {
            case Kind: return shellText(differenceLabel(d.kind));
            case Line: return g ? shellText(std::to_string(g->line)) : std::u16string();
            case Account: return shellText(accountText(d.account));
            case Tax: return g ? shellText(taxText(g->tax)) : std::u16string();
            case Company: return g ? shellText(companyText(g->company)) : std::u16string();
            case Opening: return g ? shellText(dateText(g->opening)) : std::u16string();
            case Closing: return g ? shellText(dateText(g->closing)) : std::u16string();
            case From: return g ? shellText(dateText(g->from)) : std::u16string();
            case Until: return g ? shellText(dateText(g->until)) : std::u16string();
            case BankTax: return b ? shellText(taxText(b->tax)) : std::u16string();
            case BankCompany: return b ? shellText(companyText(b->company)) : std::u16string();
            case BankOpening: return b ? shellText(dateText(b->opening)) : std::u16string();
            case BankClosing: return b ? shellText(dateText(b->closing)) : std::u16string();
            case Code: {
                const auto row = proposalOf(d);
                return row ? shellText((*row)[RegisterCol::accountCode]) : std::u16string();
            }
            default: return {};
        }
    }

    AppState& state_;
    Shell& shell_;
    std::filesystem::path registryFile_, bankFile_;
    RegistryListOutcome registry_;
    std::optional<BankListOutcome> bank_;
    std::shared_ptr<const AccountHistory> history_;
    Reconciliation result_;
    std::vector<Shown> shown_;
    ReconciliationView view_;
};

}  // namespace

void reconcileWithRegister(AppState& state, Shell& shell) {
    Session session(state, shell);
    session.chooseRegistryList();
    if (!session.view().compared) return;
    const ReconciliationChoice choice = shell.runReconciliation(session);
    if (!choice.append) return;
    const std::vector<RegisterEntry> rows = session.proposals(choice.lines);
    if (rows.empty()) {
        notice(shell, "A kijelölt eltérésekhez nincs javasolt sor.", MessageIcon::Information);
        return;
    }
    // One step of the history: the command runs as one.
    const std::size_t first = state.tables.table(ViewRegister).rowCount();
    for (const RegisterEntry& row : rows) state.tables.appendRow(ViewRegister, row);
    state.tables.ReportPending = true;
    shell.enableMenuItem(kCmdSaveReport, true);
    jumpToRow(state, shell, ViewRegister, first);
    notice(shell, "A cégjegyzék táblába felvettem " + std::to_string(rows.size()) +
                      " javasolt sort. A jelentés előtt ellenőrizze őket (Ellenőrzés...).",
           MessageIcon::Information);
}

}  // namespace kovirant
