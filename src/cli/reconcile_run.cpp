#include "cli/reconcile_run.h"

#include <algorithm>
#include <cstdint>
#include <optional>

#include "archive/reconciliation.h"
#include "import/registry_list.h"
#include "text/cp1250.h"

namespace kovirant::cli {
namespace {

Finding lineFinding(const std::string& file, const UnusedLine& u, bool warning) {
    Finding f;
    f.file = file;
    f.line = u.line;
    f.warning = warning;
    f.message = utf8(u.reason);
    return f;
}

Finding differenceFinding(const std::string& list, const Difference& d) {
    Finding f;
    f.file = list;
    f.line = d.registry ? d.registry->line : 0;
    f.difference = true;
    const std::uint32_t tax = d.registry ? d.registry->tax : d.bank ? d.bank->tax : kNoTax;
    f.taxNumber = taxText(tax);
    f.message = utf8(differenceText(d));
    return f;
}

std::string jsonCounts(const std::string& list, const std::optional<std::string>& accounts, const Reconciliation& r,
                       std::size_t unreadable) {
    std::string out = "{\n  \"list\": " + jsonString(list) +
                      ",\n  \"accounts\": " + (accounts ? jsonString(*accounts) : std::string("null")) +
                      ",\n  \"differences\": " + std::to_string(r.differences.size()) +
                      ",\n  \"agreeing\": " + std::to_string(r.agreeing) +
                      ",\n  \"unreadable\": " + std::to_string(unreadable) + ",\n  \"perKind\": {";
    for (std::size_t k = 0; k < kDifferenceKinds; ++k)
        out += (k ? ", " : "") + jsonString(utf8(differenceLabel(static_cast<DifferenceKind>(k + 1)))) + ": " +
               std::to_string(r.perKind[k]);
    return out + "},\n  \"findings\": [";
}

}  // namespace

int reconcileList(const Options& o, const Io& io, const AccountHistory* history, ReconcileRows* rows) {
    const std::string list = pathText(*o.reconcile);
    const RegistryListOutcome registry = readRegistryList(*o.reconcile);
    if (!registry.ok()) {
        io.err("kovirant-cli: " + list + ": " + utf8(registryListFault(registry)) + "\n");
        return kExitFile;
    }
    std::optional<BankListOutcome> bank;
    std::optional<std::string> accounts;
    if (o.accounts) {
        accounts = pathText(*o.accounts);
        bank = readBankAccountList(*o.accounts);
        if (!bank->ok()) {
            io.err("kovirant-cli: " + *accounts + ": " + utf8(bankListFault(*bank)) + ".\n");
            return kExitFile;
        }
    }
    const Reconciliation r = bank ? reconcile(*bank, registry, history) : reconcile(*history, registry);

    // The lines not read: the list's headers are not faults; a bank line a
    // later one answers (it keeps no text) is only a warning.
    std::vector<Finding> lines;
    for (const UnusedLine& u : registry.unused)
        if (!u.header) lines.push_back(lineFinding(list, u, o.skipFaultyLines && rows));
    if (bank)
        for (const UnusedLine& u : bank->unused) lines.push_back(lineFinding(*accounts, u, u.text.empty()));
    const std::size_t unreadable = registry.unreadable + (bank ? bank->unreadable : 0);

    std::string counts = list + ": " + utf8(registryListCounts(registry)) + "\n";
    if (bank)
        counts += *accounts + ": " + std::to_string(bank->lines) + utf8(" sor, ") + std::to_string(bank->accounts.size()) +
                  utf8(" számla, ") + std::to_string(bank->unreadable) + utf8(" olvashatatlan sor") + "\n";
    counts += utf8("Egyeztetés: ") + utf8(reconciliationCounts(r)) + "\n";

    if (rows) {
        rows->list = list;
        rows->proposals = proposalRows(r);
        rows->unreadable = std::move(lines);
        io.err(counts + utf8("Javasolt sorok: ") + std::to_string(rows->proposals.size()) + "\n");
        return kExitWritten;
    }

    const bool json = o.format == Format::Json;
    std::string out = json ? jsonCounts(list, accounts, r, unreadable) : std::string();
    std::size_t count = 0;
    auto print = [&](const Finding& f) {
        if (json) appendJson(out, f, count);
        else appendText(out, f);
        ++count;
        if (out.size() >= (1u << 16)) {
            io.out(out);
            out.clear();
        }
    };
    // In line order: a difference the list has no line for comes last.
    std::vector<const Difference*> order;
    for (const Difference& d : r.differences) order.push_back(&d);
    std::stable_sort(order.begin(), order.end(), [](const Difference* a, const Difference* b) {
        const std::uint32_t la = a->registry ? a->registry->line : UINT32_MAX;
        const std::uint32_t lb = b->registry ? b->registry->line : UINT32_MAX;
        return la < lb;
    });
    std::size_t next = 0;
    for (const Difference* d : order) {
        const std::uint32_t line = d->registry ? d->registry->line : UINT32_MAX;
        for (; next < lines.size() && lines[next].file == list && lines[next].line < line; ++next) print(lines[next]);
        print(differenceFinding(list, *d));
    }
    for (; next < lines.size(); ++next) print(lines[next]);
    if (json) out += jsonTail(count);
    io.out(out);
    io.err(counts);
    return r.differences.empty() && unreadable == 0 ? kExitWritten : kExitFaults;
}

}  // namespace kovirant::cli
