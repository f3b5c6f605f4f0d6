// The account history's layers merged: the newest ones made one (their
// rows as they are, their keys indexed anew), as a build or, after the
// window's answer, settled() merges them.
#include <algorithm>
#include <bit>
#include <memory>
#include <optional>
#include <vector>

#include "archive/account_history.h"
#include "archive/history_keys.h"
#include "archive/history_layout.h"
#include "util/os_file.h"
#include "util/string_hash.h"

namespace kovirant {

bool AccountHistory::mergeOver(std::shared_ptr<const AccountHistory> keep) {
    std::optional<AccountHistory> m = merged(*this, std::move(keep));
    if (m) *this = std::move(*m);
    return m.has_value();
}

bool AccountHistory::mergeAll() {
    for (;;) {
        const std::shared_ptr<const AccountHistory> keep = mergedOver();
        if (keep == below_) return true;
        if (!mergeOver(keep)) return false;
    }
}

std::optional<AccountHistory> AccountHistory::merged(const AccountHistory& top, std::shared_ptr<const AccountHistory> keep) {
    std::vector<const AccountHistory*> layers;  // oldest first
    for (const AccountHistory* h = &top; h != keep.get(); h = h->below_.get()) layers.insert(layers.begin(), h);
    AccountHistory m;
    m.first_ = keep ? keep->rowCount() : 0;
    m.below_ = std::move(keep);
    std::size_t pool = 0, rows = 0, keys[3] = {0, 0, 0};
    for (const AccountHistory* h : layers) {
        pool += h->pool_.size();
        rows += h->rows_.size();
        for (std::size_t i = 0; const KeyIndexView* t : {&h->accounts_, &h->taxes_, &h->cells_}) keys[i++] += t->used;
    }
    if (pool > kMostPool) return std::nullopt;
    // The rows as they are (their references and chains are the whole
    // history's), each pool's cells after the one before.
    reserveLarge(m.built_.pool, pool);
    reserveLarge(m.built_.rows, rows);
    reserveLarge(m.built_.nextByAccount, rows * 2);
    reserveLarge(m.built_.nextByTax, rows);
    for (std::size_t i = 0; KeyIndex* t : {&m.built_.accounts, &m.built_.taxes, &m.built_.cells}) t->presize(keys[i++]);
    for (const AccountHistory* h : layers) {
        const auto at = static_cast<std::uint32_t>(m.built_.pool.size());
        m.built_.pool.insert(m.built_.pool.end(), h->pool_.begin(), h->pool_.end());
        for (StoredRow r : h->rows_) m.built_.rows.push_back({r.at + at, r.report, r.table});
        m.built_.nextByAccount.insert(m.built_.nextByAccount.end(), h->nextByAccount_.begin(), h->nextByAccount_.end());
        m.built_.nextByTax.insert(m.built_.nextByTax.end(), h->nextByTax_.begin(), h->nextByTax_.end());
    }
    m.bind();
    // The keys indexed anew, oldest layer first: a chain's head is the
    // newest layer's, the earliest row of some cells the oldest's.
    auto account = [&m](std::uint32_t ref) { return m.accountOf(ref); };
    auto taxOf = [&m](std::uint32_t ref) { return m.storedCell(ref, kStoredTax); };
    auto cellsAt = [&m](std::uint32_t ref) { return m.cellsOf(ref); };
    // A layer's keys in the order of their references, so that their cells
    // are read in the pool's order (the slots' order read them at random);
    // their hashes first, then their slots, each fetched a few keys ahead.
    auto reindex = [](KeyIndex& into, const KeyIndexView& from, const auto& keyOf, std::size_t firstRef,
                      std::size_t refs, bool newest) {
        std::vector<std::uint64_t> present((refs + 63) / 64, 0);
        for (const std::uint32_t s : from.slots)
            if (s != 0) present[(refIn(s) - 1 - firstRef) / 64] |= std::uint64_t{1} << ((refIn(s) - 1 - firstRef) % 64);
        std::vector<std::uint32_t> order;
        order.reserve(from.used);
        for (std::size_t w = 0; w < present.size(); ++w)
            for (std::uint64_t bits = present[w]; bits != 0; bits &= bits - 1)
                order.push_back(static_cast<std::uint32_t>(firstRef + w * 64 + static_cast<std::size_t>(std::countr_zero(bits))));
        std::vector<std::uint64_t> hashes(order.size());
        for (std::size_t j = 0; j < order.size(); ++j) hashes[j] = stringHash(keyOf(order[j]));
        for (std::size_t j = 0; j < order.size(); ++j) {
            if (j + kFetchAhead < order.size()) into.prefetch(hashes[j + kFetchAhead]);
            std::uint32_t& slot = keySlot(into, hashes[j], keyOf(order[j]), keyOf);
            if (newest || slot == 0) slot = slotFor(hashes[j], order[j] + 1);
        }
    };
    for (const AccountHistory* h : layers) {
        reindex(m.built_.accounts, h->accounts_, account, 2 * std::size_t{h->first_}, h->nextByAccount_.size(), true);
        reindex(m.built_.taxes, h->taxes_, taxOf, h->first_, h->rows_.size(), true);
        reindex(m.built_.cells, h->cells_, cellsAt, h->first_, h->rows_.size(), false);
    }
    m.bind();
    m.reports_ = top.reports_;
    m.proof_ = top.proof_;
    m.covered_ = top.covered_;
    m.copiesRead_ = top.copiesRead_;
    return m;
}

// The newest layers are merged kFanIn of a size at a time.
constexpr std::size_t kFanIn = 4;

// What the newest layers are merged over, tiered so that a merge copies
// rows some log4(reports) times and most reports are added alone: the run
// of kFanIn layers from the newest down, each of fewer than kFanIn times
// the newest's rows (a layer of many more ends it, as does the oldest);
// into the oldest only when it holds no more rows than the newest; two
// layers into one while there are too many. below_: nothing to merge.
std::shared_ptr<const AccountHistory> AccountHistory::mergedOver() const {
    if (!below_) return below_;
    const std::size_t top = rows_.size();
    std::shared_ptr<const AccountHistory> l = below_;
    std::size_t run = 1;
    while (l->below_ && l->rows_.size() < kFanIn * top && run < kFanIn) {
        ++run;
        l = l->below_;
    }
    if (run >= kFanIn) return l;
    if (!below_->below_ && below_->rows_.size() <= top) return nullptr;
    if (layers() > kMostLayers) return below_->below_;
    return below_;
}

std::shared_ptr<const AccountHistory> AccountHistory::settled(std::shared_ptr<const AccountHistory> history,
                                                             const std::filesystem::path& folder) {
    if (!history || !history->unsettled_) return history;
    history->unsettled_ = false;
    std::optional<AccountHistory> m;
    if (const auto keep = history->mergedOver(); keep != history->below_) m = merged(*history, keep);
    if (!m) {  // nothing to merge (or more than one layer holds: the layers stay)
        if (!history->rows_.empty()) history->writeCache(folder);
        return history;
    }
    m->mergeAll();  // (as far as one layer holds them)
    if (!m->rows_.empty()) m->writeCache(folder);
    m->fromCache_ = history->fromCache_;
    return std::make_shared<const AccountHistory>(std::move(*m));
}

}  // namespace kovirant
