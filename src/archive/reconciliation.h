// The reconciliation with the company register: the registry's list of the
// accounts it holds compared with the bank's side of each account (the last
// state the archived reports gave it, or the bank's own current account
// list), every difference with the register row that mends it.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "import/registry_list.h"
#include "records/record_kinds.h"

namespace kovirant {

class AccountHistory;

// The bank's side of an account. A date is YYYYMMDD; an opening of 0 is not
// known, a closing of 0 means the account is open.
struct BankAccount {
    AccountKey account;
    std::uint32_t tax = kNoTax;
    std::uint64_t company = kNoCompany;
    std::uint32_t opening = 0, closing = 0;
    std::uint32_t line = 0;  // the bank list's line; 0 from the history
};

enum class BankListStatus {
    Read,
    CannotOpen,      // the system's error code says why
    NotText,         // UTF-16 (or 32)
    MissingColumns,  // `missingColumns` names them
};

// The bank's own current account list: a CSV of any dialect (the company
// directory's reader), its columns found by their header: "Törzsszám" or
// "Adószám", "Számlaszám" or "Jelzőszám", "Nyitás", "Zárás", "Cégszám".
struct BankListOutcome {
    BankListStatus status = BankListStatus::Read;
    int errorCode = 0;
    std::string missingColumns;  // "Nyitás, Zárás" (Windows-1250)
    std::size_t lines = 0;       // records after the header, blank ones included
    std::size_t unreadable = 0;
    std::vector<BankAccount> accounts;  // in account-number order, each account once
    // Lines not used: unreadable ones, and an account's earlier lines where a
    // later line names it again (the later one answers).
    std::vector<UnusedLine> unused;
    bool ok() const { return status == BankListStatus::Read; }
};
BankListOutcome readBankAccountList(const std::filesystem::path& path);
BankListOutcome parseBankAccountList(std::string_view bytes);
// The message of a list that was not read (Windows-1250); empty when read.
std::string bankListFault(const BankListOutcome& outcome);

enum class DifferenceKind : std::uint8_t {
    OpenInRegister = 1,   // the register shows it open, the bank's side closed it
    MissingFromRegister,  // the bank's side has it open, the register not (or only deleted)
    DatesDiffer,
    NumbersDiffer,        // the company number or the tax base number
    UnknownHere,          // the bank's side does not know the account
    TwiceInRegister,      // several register lines of one account disagree
};
inline constexpr std::size_t kDifferenceKinds = 6;
// Its Hungarian label, as the list and the CSV show it (Windows-1250).
std::string_view differenceLabel(DifferenceKind kind);

// A difference points into its reconciliation, which holds the register's
// lines and the bank's states its differences name (each once): a million
// differences stay small.
struct Difference {
    DifferenceKind kind = DifferenceKind::DatesDiffer;
    AccountKey account;
    const RegistryLine* registry = nullptr;  // the register's line; none when it has no line
    const BankAccount* bank = nullptr;       // none when the bank's side does not know the account
    // What the archived reports last said of the account (with the bank's
    // list as the bank's side and a history given; from the history alone,
    // the bank's side itself); none when they never named it.
    const BankAccount* reported = nullptr;
};

// The register row that mends a difference, as the register editor stores
// it (company number 10 digits, dates YYYY-MM-DD, the code of the code list),
// with the bank's values; none for an account the bank's side does not know
// or one twice in the register. A row the editor would refuse (no company
// number known) is still given: the check lists what it lacks.
std::optional<RegisterEntry> proposalOf(const Difference& difference);

// A difference in one line, as a finding tells it (Windows-1250):
// "<label>: <account>; cégjegyzék: <tax> <company> <dates>; nálunk: <tax>
// <company> <dates>; javasolt: <code>", a side it has not left out, an empty
// date as "-".
std::string differenceText(const Difference& difference);

struct Reconciliation {
    std::vector<Difference> differences;  // in account-number order, then the register's line order
    std::array<std::size_t, kDifferenceKinds> perKind{};  // [kind - 1]
    std::size_t agreeing = 0;          // accounts both sides agree on (closed and not in the register too)
    std::size_t bankAccounts = 0;      // accounts of the bank's side
    std::size_t registryAccounts = 0;  // distinct accounts of the register's list
    std::size_t count(DifferenceKind kind) const { return perKind[static_cast<std::size_t>(kind) - 1]; }
    // What the differences point to: moved with them, never copied.
    std::vector<RegistryLine> registryLines;
    std::vector<BankAccount> bankStates;
    Reconciliation() = default;
    Reconciliation(Reconciliation&&) = default;
    Reconciliation& operator=(Reconciliation&&) = default;
    Reconciliation(const Reconciliation&) = delete;
    Reconciliation& operator=(const Reconciliation&) = delete;
};

// The bank's side from the history's last reported state of each account.
Reconciliation reconcile(const AccountHistory& history, const RegistryListOutcome& registry);
// The bank's side from its own current account list; the history, when
// given, says what was reported of each account that differs.
Reconciliation reconcile(const BankListOutcome& bank, const RegistryListOutcome& registry,
                         const AccountHistory* history = nullptr);

// The proposals of the chosen differences (indexes into `differences`; all
// when none is chosen), in account-number order, a row proposed twice for
// one account given once.
std::vector<RegisterEntry> proposalRows(const Reconciliation& reconciliation, std::span<const std::size_t> chosen = {});

// "N eltérés, M egyező számla" and the count of each kind (Windows-1250).
std::string reconciliationCounts(const Reconciliation& reconciliation);

// The whole difference list as CSV: UTF-8 with its mark, ';', CR LF, a
// header line, one line a difference (the register's line, the bank's side,
// what was reported, the proposed code); account and company numbers with
// their hyphens, so that a spreadsheet keeps them as they are.
std::string differenceListCsv(const Reconciliation& reconciliation);
enum class DifferenceListStatus { Saved, WriteFailed };
struct DifferenceListSaveResult {
    DifferenceListStatus status = DifferenceListStatus::Saved;
    std::size_t rows = 0;  // differences written
    int errorCode = 0;     // WriteFailed: the system's
    bool saved() const { return status == DifferenceListStatus::Saved; }
};
DifferenceListSaveResult saveDifferenceList(const std::filesystem::path& target, const Reconciliation& reconciliation);

}  // namespace kovirant
