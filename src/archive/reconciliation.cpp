#include "archive/reconciliation.h"

#include <algorithm>
#include <bit>
#include <functional>
#include <numeric>
#include <tuple>

#include "archive/account_history.h"
#include "directory/separated_text.h"
#include "editing/pick_lists.h"
#include "text/cp1250.h"
#include "text/format.h"
#include "util/file_io.h"
#include "util/prefetch.h"

namespace kovirant {
namespace {

std::uint64_t accountKeyHash(const AccountKey& k) {
    std::uint64_t h = (std::uint64_t{k.group[0]} << 32 | k.group[1]) * 0x9E3779B97F4A7C15ull;
    h ^= (h >> 29) ^ (std::uint64_t{k.group[2]} * 0xBF58476D1CE4E5B9ull);
    h ^= h >> 31;
    return h * 0x94D049BB133111EBull;
}

std::uint32_t dateOf(std::string_view stored) {
    std::uint32_t date = 0;
    return readDateField(stored, date) == DateField::Date ? date : 0;
}

// The comparison: the register's lines found by account through a hash
// table of each account's first line, an account's later lines (rare)
// listed apart in the list's order (the list itself stays as read); each
// account of the bank's side is compared with its lines, and the accounts
// no account of the bank's side came to are what the bank does not know. A
// difference keeps, while the comparison lasts, the places of its register
// line and bank state in the reconciliation (+ 1, 0 for none); finish()
// makes them pointers once those vectors are whole.
class Comparer {
public:
    explicit Comparer(const std::vector<RegistryLine>& lines)
        : lines_(lines),
          slots_(std::bit_ceil(lines.size() * 2 + 2), 0),
          lineMask_(lines.size() < (std::size_t{1} << kLineBits) - 1 ? (std::uint32_t{1} << kLineBits) - 1 : ~std::uint32_t{0}),
          seen_(lines.size(), false) {
        for (std::size_t i = lines.size(); i-- > 0;) {
            if (i >= kBatch) prefetch(&slots_[accountKeyHash(lines[i - kBatch].account) & (slots_.size() - 1)]);
            const std::uint64_t hash = accountKeyHash(lines[i].account);
            std::uint32_t& slot = slots_[probe(lines[i].account, hash)];
            if (slot == 0) ++out_.registryAccounts;
            else later_.push_back({static_cast<std::uint32_t>(i + 1), slot & lineMask_});
            slot = (tagOf(hash) & ~lineMask_) | static_cast<std::uint32_t>(i + 1);
        }
    }

    // Many at once: each one's slot, then the line it names, is asked of
    // the memory before any is compared.
    void compare(std::span<const BankAccount> banks) {
        std::array<std::uint64_t, kBatch> hash;
        for (std::size_t i = 0; i < banks.size(); ++i) prefetch(&slots_[(hash[i] = accountKeyHash(banks[i].account)) & (slots_.size() - 1)]);
        for (std::size_t i = 0; i < banks.size(); ++i)
            if (const std::uint32_t slot = slots_[hash[i] & (slots_.size() - 1)]; slot != 0) prefetch(&lines_[(slot & lineMask_) - 1]);
        for (std::size_t i = 0; i < banks.size(); ++i) compare(banks[i], hash[i]);
    }
    static constexpr std::size_t kBatch = 32;

    void compare(const BankAccount& bank, std::uint64_t hash) {
        ++out_.bankAccounts;
        bankAt_ = 0;
        const std::uint32_t first = slots_[probe(bank.account, hash)] & lineMask_;
        if (first == 0) {
            if (bank.closing == 0) add(DifferenceKind::MissingFromRegister, bank.account, 0, &bank);
            else ++out_.agreeing;
            return;
        }
        seen_[first - 1] = true;
        if (disagree(first)) {
            for (std::uint32_t at = first; at != 0; at = nextOf(at))
                add(DifferenceKind::TwiceInRegister, bank.account, at, &bank);
            return;
        }
        const RegistryLine& r = lines_[first - 1];
        const bool bankOpen = bank.closing == 0;
        if (r.until != 0 && bankOpen) return add(DifferenceKind::MissingFromRegister, bank.account, first, &bank);
        if (r.closing == 0 && r.until == 0 && !bankOpen) return add(DifferenceKind::OpenInRegister, bank.account, first, &bank);
        bool differs = false;
        if ((bank.opening != 0 && bank.opening != r.opening) || bank.closing != r.closing) {
            add(DifferenceKind::DatesDiffer, bank.account, first, &bank);
            differs = true;
        }
        if ((bank.company != kNoCompany && bank.company != r.company) || bank.tax != r.tax) {
            add(DifferenceKind::NumbersDiffer, bank.account, first, &bank);
            differs = true;
        }
        if (!differs) ++out_.agreeing;
    }

    // `reportedOf`: what the reports said of an account, when the bank's
    // side is not the history itself.
    Reconciliation finish(const std::function<std::optional<BankAccount>(const AccountKey&)>& reportedOf = {}) {
        for (const std::uint32_t slot : slots_) {
            const std::uint32_t first = slot & lineMask_;
            if (first == 0 || seen_[first - 1]) continue;
            const RegistryLine& r = lines_[first - 1];
            if (disagree(first))
                for (std::uint32_t at = first; at != 0; at = nextOf(at))
                    add(DifferenceKind::TwiceInRegister, r.account, at, nullptr);
            else
                add(DifferenceKind::UnknownHere, r.account, first, nullptr);
        }
        std::vector<std::uint32_t> reported(out_.differences.size(), 0);
        for (std::size_t i = 0; i < reported.size(); ++i) {
            const AccountKey& account = out_.differences[i].account;
            if (!reportedOf) reported[i] = places_[i].bank;
            else if (i > 0 && out_.differences[i - 1].account == account) reported[i] = reported[i - 1];
            else if (const auto state = reportedOf(account)) {
                out_.bankStates.push_back(*state);
                reported[i] = static_cast<std::uint32_t>(out_.bankStates.size());
            }
        }
        auto at = [](auto& v, std::uint32_t place) { return place == 0 ? nullptr : &v[place - 1]; };
        for (std::size_t i = 0; i < out_.differences.size(); ++i) {
            Difference& d = out_.differences[i];
            d.registry = at(out_.registryLines, places_[i].registry);
            d.bank = at(out_.bankStates, places_[i].bank);
            d.reported = at(out_.bankStates, reported[i]);
        }
        places_ = {};
        // The kind last: one account's dates and numbers differ on the same line.
        std::sort(out_.differences.begin(), out_.differences.end(), [](const Difference& a, const Difference& b) {
            const std::uint32_t la = a.registry ? a.registry->line : 0, lb = b.registry ? b.registry->line : 0;
            return std::tie(a.account, la, a.kind) < std::tie(b.account, lb, b.kind);
        });
        return std::move(out_);
    }

private:
    // Whether an account's lines (its first + 1) disagree.
    bool disagree(std::uint32_t first) const {
        for (std::uint32_t at = nextOf(first); at != 0; at = nextOf(at))
            if (!sameState(lines_[at - 1], lines_[first - 1])) return true;
        return false;
    }
    // A line's (+ 1) account's next line + 1, 0 when it is its last.
    std::uint32_t nextOf(std::uint32_t line) const {
        const auto at = std::lower_bound(later_.begin(), later_.end(), line,
                                         [](const std::array<std::uint32_t, 2>& l, std::uint32_t v) { return l[0] > v; });
        return at != later_.end() && (*at)[0] == line ? (*at)[1] : 0;
    }
    // Where a slot holds the line's number, the bits above it hold the top
    // of the key's hash: most other keys' slots are passed without their line.
    static std::uint32_t tagOf(std::uint64_t hash) { return static_cast<std::uint32_t>(hash >> 32); }
    std::size_t probe(const AccountKey& key, std::uint64_t hash) const {
        const std::uint32_t tag = tagOf(hash) & ~lineMask_;
        std::size_t i = hash & (slots_.size() - 1);
        while (slots_[i] != 0 && ((slots_[i] & ~lineMask_) != tag || lines_[(slots_[i] & lineMask_) - 1].account != key))
            i = (i + 1) & (slots_.size() - 1);
        return i;
    }
    // `line`: the register's line + 1, 0 for none. The bank's state is
    // kept once for all its differences, a line once for consecutive ones.
    void add(DifferenceKind kind, const AccountKey& account, std::uint32_t line, const BankAccount* bank) {
        Places p;
        if (line != 0) {
            if (line != lastLine_) {
                out_.registryLines.push_back(lines_[line - 1]);
                lastLine_ = line;
            }
            p.registry = static_cast<std::uint32_t>(out_.registryLines.size());
        }
        if (bank) {
            if (bankAt_ == 0) {
                out_.bankStates.push_back(*bank);
                bankAt_ = static_cast<std::uint32_t>(out_.bankStates.size());
            }
            p.bank = bankAt_;
        }
        out_.differences.push_back({kind, account, nullptr, nullptr, nullptr});
        places_.push_back(p);
        ++out_.perKind[static_cast<std::size_t>(kind) - 1];
    }

    struct Places {
        std::uint32_t registry = 0, bank = 0;
    };
    const std::vector<RegistryLine>& lines_;
    std::vector<std::uint32_t> slots_;  // an account's first line + 1, below a tag of its hash
    static constexpr unsigned kLineBits = 26;  // a list of more lines keeps no tag
    std::uint32_t lineMask_;
    std::vector<std::array<std::uint32_t, 2>> later_;  // a line + 1 and its account's next + 1, by line from the last
    std::vector<bool> seen_;            // per first line: an account of the bank's side came to it
    std::vector<Places> places_;        // per difference
    std::uint32_t lastLine_ = 0;        // the line last kept + 1
    std::uint32_t bankAt_ = 0;          // the bank state being compared, once kept + 1
    Reconciliation out_;
};

// The directory's reader's test of an entry line: one of its fields is an
// account number.
bool looksLikeBankLine(std::string_view line, char separator) {
    for (std::string_view f : rawFields(line, separator))
        if (readAccountField(trimmed(unquoted(f)))) return true;
    return false;
}

bool sameHeader(std::string_view field, std::string_view name) {
    field = trimmed(field);
    if (field.size() != name.size()) return false;
    for (std::size_t i = 0; i < name.size(); ++i)
        if (lowerCp1250(static_cast<unsigned char>(field[i])) != lowerCp1250(static_cast<unsigned char>(name[i])))
            return false;
    return true;
}

constexpr std::size_t kTextMost = 256;

}  // namespace

std::string_view differenceLabel(DifferenceKind kind) {
    switch (kind) {
        case DifferenceKind::OpenInRegister: return "nyitott a cégjegyzékben, nálunk megszűnt";
        case DifferenceKind::MissingFromRegister: return "hiányzik a cégjegyzékből";
        case DifferenceKind::DatesDiffer: return "eltérő dátum";
        case DifferenceKind::NumbersDiffer: return "eltérő cégszám vagy törzsszám";
        case DifferenceKind::UnknownHere: return "nálunk ismeretlen";
        case DifferenceKind::TwiceInRegister: return "a cégjegyzékben kétszer";
    }
    return {};
}

std::optional<RegisterEntry> proposalOf(const Difference& d) {
    if (!d.bank || d.kind == DifferenceKind::UnknownHere || d.kind == DifferenceKind::TwiceInRegister)
        return std::nullopt;
    const BankAccount& b = *d.bank;
    RegisterEntry row;
    row[RegisterCol::companyNumber] = companyText(b.company);
    row[RegisterCol::taxBaseNumber] = taxText(b.tax);
    row[RegisterCol::accountNumber] = accountText(d.account);
    row[RegisterCol::openingDate] = dateText(b.opening);
    const auto codes = CodeList();
    switch (d.kind) {
        case DifferenceKind::OpenInRegister:
            row[RegisterCol::closingDate] = dateText(b.closing);
            row[RegisterCol::accountCode] = codes[kCodeTorles];
            break;
        case DifferenceKind::MissingFromRegister:
            row[RegisterCol::accountCode] = codes[kCodeBejegyzes];
            break;
        default:
            row[RegisterCol::closingDate] = dateText(b.closing);
            row[RegisterCol::accountCode] = codes[kCodeEgyeztetes];
            break;
    }
    return row;
}

Reconciliation reconcile(const AccountHistory& history, const RegistryListOutcome& registry) {
    Comparer comparer(registry.accounts);
    std::vector<BankAccount> batch;
    batch.reserve(Comparer::kBatch);
    history.eachLastState([&](const AccountHistory::AccountState& s) {
        BankAccount bank;
        if (!readAccountField(s.account, bank.account)) return;  // no account the register can hold
        bank.tax = readTaxField(s.tax).value_or(kNoTax);
        bank.company = s.company.empty() ? kNoCompany : readCompanyField(s.company).value_or(kNoCompany);
        bank.opening = dateOf(s.opening);
        bank.closing = dateOf(s.closing);
        batch.push_back(bank);
        if (batch.size() == Comparer::kBatch) {
            comparer.compare(batch);
            batch.clear();
        }
    });
    comparer.compare(batch);
    return comparer.finish();
}

namespace {

// What the reports last said of one account, from its rows (oldest first),
// as eachLastState says it.
std::optional<BankAccount> reportedState(const AccountHistory& history, const AccountKey& key) {
    const std::string account = accountText(key);
    const std::vector<HistoryRow> rows = history.rowsOf(account);
    std::optional<BankAccount> out;
    std::string_view tax;
    for (auto row = rows.rbegin(); row != rows.rend(); ++row) {
        const bool original = row->table == ViewAccountChange && row->originalAccount == account;
        if (!original && row->account != account) continue;
        const std::string_view opening = original ? row->originalOpening : row->opening;
        if (!out) {
            out.emplace();
            out->account = key;
            tax = row->tax;
            out->tax = readTaxField(tax).value_or(kNoTax);
            out->closing = dateOf(original ? row->originalClosing : row->closing);
        } else if (row->tax != tax) {
            continue;
        }
        if (out->opening == 0) out->opening = dateOf(opening);
        if (out->company == kNoCompany && row->company.size() == 10)
            out->company = readCompanyField(row->company).value_or(kNoCompany);
    }
    return out;
}

}  // namespace

Reconciliation reconcile(const BankListOutcome& bank, const RegistryListOutcome& registry, const AccountHistory* history) {
    Comparer comparer(registry.accounts);
    for (std::size_t i = 0; i < bank.accounts.size(); i += Comparer::kBatch)
        comparer.compare(std::span(bank.accounts).subspan(i, std::min(Comparer::kBatch, bank.accounts.size() - i)));
    if (!history) return comparer.finish([](const AccountKey&) { return std::optional<BankAccount>(); });
    return comparer.finish([history](const AccountKey& key) { return reportedState(*history, key); });
}

std::string differenceText(const Difference& d) {
    auto date = [](std::uint32_t v) { return v == 0 ? std::string("-") : dateText(v); };
    std::string out = std::string(differenceLabel(d.kind)) + ": " + accountText(d.account);
    if (d.registry) {
        const RegistryLine& r = *d.registry;
        out += "; cégjegyzék: " + taxText(r.tax) + " " + companyText(r.company) + " " + date(r.opening) + " " +
               date(r.closing) + " hattól " + date(r.from) + " hatig " + date(r.until);
    }
    if (d.bank) {
        const BankAccount& b = *d.bank;
        out += "; nálunk: " + taxText(b.tax) + " " + (b.company == kNoCompany ? std::string("-") : companyText(b.company)) +
               " " + date(b.opening) + " " + date(b.closing);
    }
    if (const auto row = proposalOf(d)) out += "; javasolt: " + (*row)[RegisterCol::accountCode];
    return out;
}

std::vector<RegisterEntry> proposalRows(const Reconciliation& r, std::span<const std::size_t> chosen) {
    std::vector<std::size_t> which(chosen.begin(), chosen.end());
    if (which.empty()) {
        which.resize(r.differences.size());
        std::iota(which.begin(), which.end(), std::size_t{0});
    }
    std::sort(which.begin(), which.end());  // the differences are in account order
    which.erase(std::unique(which.begin(), which.end()), which.end());
    std::vector<RegisterEntry> rows;
    for (std::size_t i : which) {
        if (i >= r.differences.size()) continue;
        auto row = proposalOf(r.differences[i]);
        if (row && (rows.empty() || rows.back() != *row)) rows.push_back(std::move(*row));
    }
    return rows;
}

std::string reconciliationCounts(const Reconciliation& r) {
    std::string out = std::to_string(r.differences.size()) + " eltérés, " + std::to_string(r.agreeing) + " egyező számla";
    for (std::size_t k = 0; k < kDifferenceKinds; ++k)
        out += "; " + std::string(differenceLabel(static_cast<DifferenceKind>(k + 1))) + ": " + std::to_string(r.perKind[k]);
    return out;
}

namespace {

// A spreadsheet takes 24 digits for a number it cannot hold and drops a
// company number's leading zero: the CSV gives both with their hyphens.
std::string hyphenated(std::string digits, std::initializer_list<std::size_t> cuts) {
    std::size_t shift = 0;
    for (std::size_t at : cuts)
        if (at + shift < digits.size()) digits.insert(at + shift++, 1, '-');
    return digits;
}

}  // namespace

std::string differenceListCsv(const Reconciliation& r) {
    std::string text;
    text.reserve(64 + r.differences.size() * 160);
    text += "Eltérés;Számlaszám;Sor;Cégjegyzék törzsszám;Cégjegyzék cégszám;Cégjegyzék nyitás;Cégjegyzék zárás;"
            "Hattól;Hatig;Bank törzsszám;Bank cégszám;Bank nyitás;Bank zárás;Jelentett nyitás;Jelentett zárás;Javasolt kód\r\n";
    for (const Difference& d : r.differences) {
        auto field = [&](std::string_view value) {
            appendField(text, value, ';');
            text += ';';
        };
        field(differenceLabel(d.kind));
        field(hyphenated(accountText(d.account), {8, 16}));
        const RegistryLine* g = d.registry;
        field(g ? std::to_string(g->line) : "");
        field(g ? taxText(g->tax) : "");
        field(g ? hyphenated(companyText(g->company), {2, 4}) : "");
        field(g ? dateText(g->opening) : "");
        field(g ? dateText(g->closing) : "");
        field(g ? dateText(g->from) : "");
        field(g ? dateText(g->until) : "");
        const BankAccount* b = d.bank;
        field(b ? taxText(b->tax) : "");
        field(b ? hyphenated(companyText(b->company), {2, 4}) : "");
        field(b ? dateText(b->opening) : "");
        field(b ? dateText(b->closing) : "");
        field(d.reported ? dateText(d.reported->opening) : "");
        field(d.reported ? dateText(d.reported->closing) : "");
        const auto row = proposalOf(d);
        appendField(text, row ? std::string_view((*row)[RegisterCol::accountCode]) : std::string_view(), ';');
        text += "\r\n";
    }
    return std::string(kUtf8ByteOrderMark) + cp1250ToUtf8(text);
}

DifferenceListSaveResult saveDifferenceList(const std::filesystem::path& target, const Reconciliation& r) {
    DifferenceListSaveResult out;
    out.errorCode = replaceFile(target, differenceListCsv(r));
    if (out.errorCode != 0) out.status = DifferenceListStatus::WriteFailed;
    else out.rows = r.differences.size();
    return out;
}

namespace {

// The bank's list's columns, each found by one of its names in the header.
enum BankCol { BankTax, BankAccountNumber, BankOpening, BankClosing, BankCompany, kBankCols };
using BankColumns = std::array<std::size_t, kBankCols>;
constexpr std::size_t kNoColumn = static_cast<std::size_t>(-1);

// Where the header names each column; the columns it lacks, named, or nothing.
std::string findBankColumns(const SeparatedRecord& header, BankColumns& at) {
    static constexpr std::string_view kNames[kBankCols][2] = {
        {"Törzsszám", "Adószám"}, {"Számlaszám", "Jelzőszám"}, {"Nyitás", ""}, {"Zárás", ""}, {"Cégszám", ""}};
    at.fill(kNoColumn);
    for (std::size_t f = 0; f < header.fields.size(); ++f)
        for (std::size_t c = 0; c < kBankCols; ++c)
            for (std::string_view name : kNames[c])
                if (!name.empty() && at[c] == kNoColumn && sameHeader(header.fields[f], name)) at[c] = f;
    std::string missing;
    for (std::size_t c = 0; c < kBankCols; ++c) {
        if (at[c] != kNoColumn) continue;
        if (!missing.empty()) missing += ", ";
        missing += kNames[c][0];
        if (!kNames[c][1].empty()) missing += std::string(" vagy ") + std::string(kNames[c][1]);
    }
    return missing;
}

// One data line of the bank's list into `b`; why it cannot be used, or nothing.
std::optional<std::string> readBankLine(const SeparatedRecord& record, const BankColumns& at, BankAccount& b) {
    auto cell = [&](BankCol c) { return at[c] < record.fields.size() ? trimmed(record.fields[at[c]]) : std::string_view(); };
    const auto account = readAccountField(cell(BankAccountNumber));
    if (!account) return "hibás számlaszám: " + std::string(cell(BankAccountNumber));
    b.account = *account;
    const auto tax = readTaxField(cell(BankTax));
    if (!tax) return "hibás törzsszám: " + std::string(cell(BankTax));
    b.tax = *tax;
    if (!cell(BankCompany).empty()) {
        const auto company = readCompanyField(cell(BankCompany));
        if (!company) return "hibás cégszám: " + std::string(cell(BankCompany));
        b.company = *company;
    }
    for (const auto& [c, date, name] :
         {std::tuple{BankOpening, &b.opening, "nyitás"}, std::tuple{BankClosing, &b.closing, "zárás"}})
        if (!cell(c).empty() && readDateField(cell(c), *date) != DateField::Date)
            return std::string("hibás ") + name + ": " + std::string(cell(c));
    return std::nullopt;
}

// Each account once: a later line answers, an earlier one is listed.
void keepLastOfEachAccount(std::vector<BankAccount>& read, BankListOutcome& out) {
    std::stable_sort(read.begin(), read.end(), [](const BankAccount& a, const BankAccount& b) { return a.account < b.account; });
    for (std::size_t i = 0; i < read.size(); ++i) {
        if (i + 1 < read.size() && read[i + 1].account == read[i].account) {
            out.unused.push_back({read[i].line, false,
                                  "a számla a " + std::to_string(read[i + 1].line) + ". sorban ismét szerepel", {}});
            continue;
        }
        out.accounts.push_back(read[i]);
    }
    std::sort(out.unused.begin(), out.unused.end(), [](const UnusedLine& a, const UnusedLine& b) { return a.line < b.line; });
}

}  // namespace

BankListOutcome parseBankAccountList(std::string_view bytes) {
    BankListOutcome out;
    if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) {
        out.status = BankListStatus::NotText;
        return out;
    }
    bool utf8 = false;
    if (bytes.starts_with(kUtf8ByteOrderMark)) {
        bytes.remove_prefix(kUtf8ByteOrderMark.size());
        utf8 = true;
    } else {
        utf8 = isUtf8Text(bytes);
    }
    const std::string converted = utf8 ? utf8ToCp1250(bytes) : std::string();
    const std::string_view text = utf8 ? std::string_view(converted) : bytes;
    const std::size_t lf = text.find('\n');
    const char eol = lf == std::string_view::npos && text.find('\r') != std::string_view::npos ? '\r' : '\n';
    const char separator = detectSeparator(text, eol, looksLikeBankLine);

    RecordReader reader(text, 0, separator, eol, looksLikeBankLine);
    SeparatedRecord record;
    BankColumns at{};
    bool header = false;
    std::size_t lineNumber = 1, counted = 0;  // the line of text[counted]
    auto lineOf = [&](std::string_view raw) {
        const auto to = static_cast<std::size_t>(raw.data() - text.data());
        lineNumber += static_cast<std::size_t>(std::count(text.begin() + static_cast<std::ptrdiff_t>(counted),
                                                          text.begin() + static_cast<std::ptrdiff_t>(to), eol));
        counted = to;
        return static_cast<std::uint32_t>(lineNumber);
    };
    auto unusable = [&](std::uint32_t line, std::string_view raw, std::string reason) {
        out.unused.push_back({line, false, std::move(reason), std::string(raw.substr(0, kTextMost))});
        ++out.unreadable;
    };
    std::vector<BankAccount> read;
    while (reader.next(record)) {
        if (!header) {
            if (trimmed(record.raw).empty() || separatorLine(record.raw)) continue;
            header = true;
            out.missingColumns = findBankColumns(record, at);
            if (!out.missingColumns.empty()) {
                out.status = BankListStatus::MissingColumns;
                return out;
            }
            continue;
        }
        ++out.lines;
        if (trimmed(record.raw).empty()) continue;
        const std::uint32_t line = lineOf(record.raw);
        if (record.broken) {
            unusable(line, record.raw, "lezáratlan idézőjel");
            continue;
        }
        BankAccount b;
        b.line = line;
        if (std::optional<std::string> fault = readBankLine(record, at, b)) unusable(line, record.raw, std::move(*fault));
        else read.push_back(b);
    }
    if (!header) {
        out.status = BankListStatus::MissingColumns;
        out.missingColumns = "Törzsszám vagy Adószám, Számlaszám vagy Jelzőszám, Nyitás, Zárás, Cégszám";
        return out;
    }
    keepLastOfEachAccount(read, out);
    return out;
}

BankListOutcome readBankAccountList(const std::filesystem::path& path) {
    std::string bytes;
    if (const int error = readFile(path, bytes); error != 0) {
        BankListOutcome out;
        out.status = BankListStatus::CannotOpen;
        out.errorCode = error;
        return out;
    }
    return parseBankAccountList(bytes);
}

std::string bankListFault(const BankListOutcome& o) {
    switch (o.status) {
        case BankListStatus::Read: return {};
        case BankListStatus::CannotOpen: return "A bank számlalistája nem olvasható (hibakód: " + std::to_string(o.errorCode) + ")";
        case BankListStatus::NotText: return "A bank számlalistája nem Windows-1250 vagy UTF-8 szöveg";
        case BankListStatus::MissingColumns: return "Hiányzó oszlop a bank számlalistájában: " + o.missingColumns;
    }
    return {};
}

}  // namespace kovirant
