// The walk of every account's last state, which the reconciliation with
// the register compares.
#include <algorithm>
#include <array>
#include <functional>
#include <vector>

#include "archive/account_history.h"
#include "archive/history_keys.h"
#include "archive/history_layout.h"
#include "editing/rules.h"
#include "util/string_hash.h"

namespace kovirant {

// The reconciliation's walk: an account's chain starts at its newest row,
// the one reference no other of its layer names as its next, in the newest
// layer that holds the account. Each layer's rows are walked in their order,
// so its pool is read in its order too (the slots' order read it at random:
// a fifth of a whole reconciliation).
void AccountHistory::eachLastState(const std::function<void(const AccountState&)>& visit) const {
    auto account = [this](std::uint32_t ref) { return accountOf(ref); };
    std::array<std::string_view, AccountChangeCol::count> cells;  // the row's stored cells, read once
    for (const AccountHistory* layer = this; layer; layer = layer->below_.get()) {
        const std::span<const std::uint32_t> next = layer->nextByAccount_;
        const std::uint32_t firstRef = 2 * layer->first_;
        std::vector<std::uint64_t> named((next.size() + 63) / 64, 0);
        for (const std::uint32_t n : next)
            if (n > firstRef && n - firstRef <= next.size())
                named[(n - 1 - firstRef) / 64] |= std::uint64_t{1} << ((n - 1 - firstRef) % 64);
        for (std::uint32_t local = 0; local < layer->rows_.size(); ++local) {
            const auto table = static_cast<ViewKind>(layer->rows_[local].table);
            if (table == ViewInstitution) continue;
            const std::span<const std::size_t> columns = storedColumns(table);
            const char* p = layer->pool_.data() + layer->rows_[local].at;
            for (std::size_t k = 0; k < columns.size(); ++k) cells[k] = cellAt(p);
            auto cell = [&](std::size_t column) {
                return cells[static_cast<std::size_t>(std::find(columns.begin(), columns.end(), column) - columns.begin())];
            };
            for (std::uint32_t side = 0; side < (table == ViewAccountChange ? 2u : 1u); ++side) {
                const std::uint32_t at = local * 2 + side;
                if (named[at / 64] >> (at % 64) & 1) continue;
                const bool original = side == 1;
                AccountState state;
                state.account = cells[original ? kStoredOriginalAccount : kStoredAccount];
                // What the index does not hold: an empty account, an account change's original that is its new one.
                if (state.account.empty() || (original && state.account == cells[kStoredAccount])) continue;
                bool newer = false;  // the account in a layer above: its last state is there
                for (const AccountHistory* h = this; h != layer && !newer; h = h->below_.get())
                    newer = findKey(h->accounts_, stringHash(state.account), state.account, account) != 0;
                if (newer) continue;
                state.tax = cells[kStoredTax];
                const bool reg = table == ViewRegister;
                using namespace AccountChangeCol;
                state.closing = reg ? cell(RegisterCol::closingDate) : cell(original ? originalClosingDate : newClosingDate);
                state.opening = reg ? cell(RegisterCol::openingDate) : cell(original ? originalOpeningDate : newOpeningDate);
                if (const std::string_view c = cell(columnOf(table, ColumnRole::CompanyNumber)); c.size() == kCompanyNumberLength)
                    state.company = c;
                // What the row leaves empty, from the account's earlier rows (in this layer or below).
                for (std::uint32_t s = next[at]; s != 0 && (state.opening.empty() || state.company.empty());
                     s = nextOfAccount(s - 1)) {
                    const std::uint32_t r = (s - 1) / 2;
                    if (storedCell(r, kStoredTax) != state.tax) continue;
                    if (state.opening.empty()) state.opening = openingOf(s - 1);
                    const std::string_view company =
                        cellOfColumn(r, columnOf(static_cast<ViewKind>(rowOf(r).table), ColumnRole::CompanyNumber));
                    if (state.company.empty() && company.size() == kCompanyNumberLength) state.company = company;
                }
                visit(state);
            }
        }
    }
}

}  // namespace kovirant
