// The registry's list and the bank's account list fed with arbitrary files:
// no crash; every line is an account, a header, a blank or an unreadable
// line, counted once; every account read is written back in its stored
// forms and read again as the same; the comparison of the two lists keeps
// its counts.
#include <string>

#include "archive/reconciliation.h"
#include "fuzz_input.h"

using namespace kovirant;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const RegistryListOutcome o = parseRegistryList(bytes);
    if (!o.ok()) return 0;
    fuzz::require(o.accounts.size() + o.unreadable + o.headers + o.blank == o.lines);
    fuzz::require(o.unused.size() == o.unreadable + o.headers);
    std::uint32_t last = 0;
    std::string again;
    for (const RegistryLine& a : o.accounts) {
        fuzz::require(a.line > last && a.line <= o.lines);
        last = a.line;
        auto date = [](std::uint32_t d) { return d == 0 ? std::string("-") : dateText(d); };
        again += companyText(a.company) + " " + taxText(a.tax) + " " + accountText(a.account) + " " + date(a.opening) +
                 " " + date(a.closing) + " " + date(a.from) + " " + date(a.until) + "\n";
    }
    const RegistryListOutcome back = parseRegistryList(again);
    fuzz::require(back.accounts.size() == o.accounts.size() && back.unused.empty());
    for (std::size_t i = 0; i < back.accounts.size(); ++i) {
        RegistryLine a = o.accounts[i];
        a.line = back.accounts[i].line;
        fuzz::require(sameState(a, back.accounts[i]));
    }
    const BankListOutcome bank = parseBankAccountList(bytes);
    for (std::size_t i = 1; i < bank.accounts.size(); ++i) fuzz::require(bank.accounts[i - 1].account < bank.accounts[i].account);
    const Reconciliation r = reconcile(bank, o);
    std::size_t total = 0;
    for (std::size_t n : r.perKind) total += n;
    fuzz::require(total == r.differences.size() && r.bankAccounts == bank.accounts.size());
    fuzz::require(proposalRows(r).size() <= r.differences.size());
    return 0;
}
