#include "directory/company_directory.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "editing/rules.h"
#include "text/cp1250.h"
#include "text/format.h"
#include "util/file_io.h"

namespace kovirant {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

// Digits of `text` once blanks (and with `separators` '-' and '/') are
// dropped, padded on the left to `width`; empty when anything else is there
// or there are too many digits.
std::string digitsPadded(std::string_view text, bool separators, std::size_t width) {
    std::array<char, 32> digits{};
    std::size_t n = 0;
    for (char c : text) {
        if (c == ' ' || (separators && (c == '-' || c == '/'))) continue;
        if (!isDigit(c) || n == width) return {};
        digits[n++] = c;
    }
    if (n == 0) return {};
    std::string out(width - n, '0');
    out.append(digits.data(), n);
    return out;
}

std::uint32_t taxKey(std::string_view eightDigits) {
    std::uint32_t v = 0;
    for (char c : eightDigits) v = v * 10 + static_cast<std::uint32_t>(c - '0');
    return v;
}

// One record of the semicolon-separated text from `pos`: its fields (quoted
// fields unquoted, "" as "), its raw text without the line end, and `pos`
// past the line end. A quoted field may hold line ends.
struct Record {
    std::vector<std::string_view> fields;
    std::string_view raw;
};

class RecordReader {
public:
    explicit RecordReader(std::string_view text) : text_(text) {}
    bool next(Record& r) {
        if (pos_ >= text_.size()) return false;
        r.fields.clear();
        const std::size_t start = pos_;
        // Most lines hold no quote: split them at their separators.
        const char* base = text_.data();
        const char* lineEnd = static_cast<const char*>(std::memchr(base + pos_, '\n', text_.size() - pos_));
        const std::size_t lf = lineEnd ? static_cast<std::size_t>(lineEnd - base) : text_.size();
        std::size_t end = lf;
        if (end > pos_ && text_[end - 1] == '\r') --end;
        if (std::memchr(base + pos_, '"', lf - pos_) == nullptr &&
            std::memchr(base + pos_, '\r', end - pos_) == nullptr) {
            std::size_t from = pos_;
            for (;;) {
                const char* semi = static_cast<const char*>(std::memchr(base + from, ';', end - from));
                const std::size_t to = semi ? static_cast<std::size_t>(semi - base) : end;
                r.fields.push_back(text_.substr(from, to - from));
                if (!semi) break;
                from = to + 1;
            }
            r.raw = text_.substr(start, end - start);
            pos_ = lf < text_.size() ? lf + 1 : lf;
            return true;
        }
        scratch_.clear();
        end = text_.size();
        for (;;) {
            std::size_t fieldEnd;
            if (pos_ < text_.size() && text_[pos_] == '"') {
                const std::size_t from = scratch_.size();
                ++pos_;
                while (pos_ < text_.size()) {
                    const char c = text_[pos_++];
                    if (c != '"') {
                        scratch_.push_back(c);
                    } else if (pos_ < text_.size() && text_[pos_] == '"') {
                        scratch_.push_back('"');
                        ++pos_;
                    } else {
                        break;
                    }
                }
                // Text after the closing quote up to the separator belongs to the field.
                while (pos_ < text_.size() && text_[pos_] != ';' && text_[pos_] != '\r' && text_[pos_] != '\n')
                    scratch_.push_back(text_[pos_++]);
                quoted_.push_back({r.fields.size(), from, scratch_.size() - from});
                r.fields.emplace_back();
                fieldEnd = pos_;
            } else {
                const std::size_t from = pos_;
                while (pos_ < text_.size() && text_[pos_] != ';' && text_[pos_] != '\r' && text_[pos_] != '\n') ++pos_;
                r.fields.push_back(text_.substr(from, pos_ - from));
                fieldEnd = pos_;
            }
            if (fieldEnd < text_.size() && text_[fieldEnd] == ';') {
                ++pos_;
                continue;
            }
            end = fieldEnd;
            if (pos_ < text_.size() && text_[pos_] == '\r') ++pos_;
            if (pos_ < text_.size() && text_[pos_] == '\n') ++pos_;
            break;
        }
        // The scratch buffer no longer moves: point the quoted fields into it.
        for (const Quoted& q : quoted_) r.fields[q.field] = std::string_view(scratch_).substr(q.from, q.length);
        quoted_.clear();
        r.raw = text_.substr(start, end - start);
        return true;
    }

private:
    struct Quoted {
        std::size_t field, from, length;
    };
    std::string_view text_;
    std::size_t pos_ = 0;
    std::string scratch_;
    std::vector<Quoted> quoted_;
};

// A name is quoted when a spreadsheet would otherwise read it differently.
void appendField(std::string& out, std::string_view value) {
    const bool quote = value.find_first_of(";\"\r\n") != std::string_view::npos ||
                       (!value.empty() && (isBlank(value.front()) || isBlank(value.back())));
    if (!quote) {
        out += value;
        return;
    }
    out += '"';
    for (char c : value) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

}  // namespace

DirectoryEntry::DirectoryEntry(std::string_view taxNumber, std::string_view companyNumber, std::string n)
    : name(std::move(n)) {
    taxNumber.copy(tax_, sizeof tax_);
    companyNumber.copy(company_, sizeof company_);
}

void DirectoryEntry::setCompanyNumber(std::string_view tenDigits) { tenDigits.copy(company_, sizeof company_); }

std::string normalizeTaxNumber(std::string_view text) { return digitsPadded(trimmed(text), false, 8); }

std::string normalizeCompanyNumber(std::string_view text) { return digitsPadded(trimmed(text), true, 10); }

std::string formatCompanyNumber(std::string_view d) {
    if (d.size() != 10) return std::string(d);
    std::string out;
    out.reserve(12);
    out.append(d.substr(0, 2)).append("-").append(d.substr(2, 2)).append("-").append(d.substr(4));
    return out;
}

CompanyDirectory CompanyDirectory::parse(std::string_view bytes) {
    std::string converted;
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        converted = utf8ToCp1250(bytes.substr(3));
        bytes = converted;
    }
    CompanyDirectory d;
    d.entries_.reserve(bytes.size() / 32);
    d.slots_.assign(std::max<std::size_t>(64, std::bit_ceil(bytes.size() / 16 + 1)), 0);
    RecordReader reader(bytes);
    Record r;
    bool first = true;
    while (reader.next(r)) {
        if (trimmed(r.raw).empty()) continue;
        const std::string tax = normalizeTaxNumber(r.fields[0]);
        const std::string company = r.fields.size() > 1 ? normalizeCompanyNumber(r.fields[1]) : std::string();
        // A first line that is no entry is the header; it is written back as it was.
        const bool header = first && (tax.empty() || company.empty());
        first = false;
        if (header) {
            d.header_.assign(r.raw);
            continue;
        }
        if (tax.empty() || company.empty()) {
            d.raw_.emplace_back(d.entries_.size(), std::string(r.raw));
            ++d.unreadable_;
            continue;
        }
        const std::string_view name = r.fields.size() > 2 ? r.fields[2] : std::string_view();
        const auto [at, added] = d.insert(taxKey(tax), d.entries_.size());
        if (!added) {
            ++d.duplicates_;  // the later line wins
            d.entries_[at] = DirectoryEntry(tax, company, std::string(name));
            continue;
        }
        d.entries_.emplace_back(tax, company, std::string(name));
    }
    return d;
}

std::string CompanyDirectory::serialize() const {
    std::string out;
    out.reserve(64 + entries_.size() * 40);
    // A kept first line that begins like a UTF-8 byte-order mark would make
    // the file read as UTF-8: the program's own header goes before it.
    if (header_.empty() || header_.starts_with("\xEF\xBB\xBF")) {
        out += kDirectoryHeader;
        out += "\r\n";
    }
    if (!header_.empty()) {
        out += header_;
        out += "\r\n";
    }
    std::size_t nextRaw = 0;
    auto rawLinesUpTo = [&](std::size_t entries) {
        for (; nextRaw < raw_.size() && raw_[nextRaw].first <= entries; ++nextRaw) {
            out += raw_[nextRaw].second;
            out += "\r\n";
        }
    };
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        rawLinesUpTo(i);
        const DirectoryEntry& e = entries_[i];
        out += e.taxNumber();
        out += ';';
        out += formatCompanyNumber(e.companyNumber());
        out += ';';
        appendField(out, e.name);
        out += "\r\n";
    }
    rawLinesUpTo(entries_.size());
    return out;
}

std::size_t CompanyDirectory::slotOf(std::uint32_t tax) const {
    const std::size_t mask = slots_.size() - 1;
    // Nearby tax numbers get nearby slots: a sorted file fills the table in order.
    std::size_t i = (tax ^ (tax >> 21)) & mask;
    while (slots_[i] != 0 && static_cast<std::uint32_t>((slots_[i] >> 32) - 1) != tax) i = (i + 1) & mask;
    return i;
}

std::pair<std::size_t, bool> CompanyDirectory::insert(std::uint32_t tax, std::size_t index) {
    if (slots_.empty() || (entries_.size() + 1) * 2 > slots_.size()) {
        std::vector<std::uint64_t> old = std::move(slots_);
        slots_.assign(std::max<std::size_t>(64, old.size() * 2), 0);
        for (std::uint64_t s : old)
            if (s != 0) slots_[slotOf(static_cast<std::uint32_t>((s >> 32) - 1))] = s;
    }
    std::uint64_t& slot = slots_[slotOf(tax)];
    if (slot != 0) return {static_cast<std::size_t>(slot & 0xFFFFFFFFu), false};
    slot = (static_cast<std::uint64_t>(tax) + 1) << 32 | index;
    return {index, true};
}

std::optional<std::string_view> CompanyDirectory::companyOf(std::string_view taxNumber) const {
    if (slots_.empty() || taxNumber.size() != 8 || !allDigits(taxNumber)) return std::nullopt;
    const std::uint64_t slot = slots_[slotOf(taxKey(taxNumber))];
    if (slot == 0) return std::nullopt;
    return entries_[static_cast<std::size_t>(slot & 0xFFFFFFFFu)].companyNumber();
}

bool CompanyDirectory::learn(std::string_view taxNumber, std::string_view companyNumber, std::string_view name) {
    const auto [at, added] = insert(taxKey(taxNumber), entries_.size());
    if (added) {
        entries_.emplace_back(taxNumber, companyNumber, std::string(name));
        return true;
    }
    DirectoryEntry& e = entries_[at];
    bool changed = false;
    if (e.companyNumber() != companyNumber) {
        e.setCompanyNumber(companyNumber);
        changed = true;
    }
    if (!name.empty() && e.name != name) {
        e.name.assign(name);
        changed = true;
    }
    return changed;
}

std::filesystem::path directoryPath(const std::filesystem::path& workingFolder) {
    return workingFolder / std::filesystem::path(std::string(kDirectoryFileName));
}

LoadedDirectory loadDirectory(const std::filesystem::path& file) {
    LoadedDirectory out;
    std::string bytes;
    if (const int err = readFile(file, bytes)) {
        out.status = isMissingFile(err) ? DirectoryStatus::Missing : DirectoryStatus::Unreadable;
        out.errorCode = err;
        return out;
    }
    out.status = DirectoryStatus::Read;
    out.directory = CompanyDirectory::parse(bytes);
    return out;
}

int saveDirectory(const std::filesystem::path& file, const CompanyDirectory& directory) {
    return replaceFile(file, directory.serialize());
}

std::size_t learnFromTables(CompanyDirectory& directory, const RecordTables& tables, int maxtk, int maxcf) {
    struct Source {
        ViewKind kind;
        std::size_t company, tax;
        int name;  // column, or -1
    };
    static constexpr Source kSources[] = {
        {ViewRegister, RegisterCol::companyNumber, RegisterCol::taxBaseNumber, -1},
        {ViewInstitution, InstitutionCol::companyNumber, InstitutionCol::taxBaseNumber, InstitutionCol::name},
        {ViewAccountChange, AccountChangeCol::companyNumber, AccountChangeCol::taxBaseNumber, -1},
    };
    std::size_t learnt = 0;
    for (const Source& s : kSources) {
        const TableWidget& t = tables.table(s.kind);
        for (std::size_t r = 0, n = t.rowCount(); r < n; ++r) {
            const std::string_view company = tables.cell(s.kind, r, s.company);
            const std::string_view tax = tables.cell(s.kind, r, s.tax);
            if (company.size() != 10 || !allDigits(company) || tax.size() != 8 || !allDigits(tax)) continue;
            if (!CheckAreaCode(company.substr(0, 2), maxtk) || !CheckFormCode(company.substr(2, 2), maxcf)) continue;
            const std::string_view name = s.name >= 0 ? tables.cell(s.kind, r, static_cast<std::size_t>(s.name)) : "";
            if (directory.learn(tax, company, name)) ++learnt;
        }
    }
    return learnt;
}

FillResult fillCompanyNumbers(const CompanyDirectory& directory, RecordTables& tables) {
    FillResult result;
    auto fill = [&](ViewKind kind, std::size_t companyCol, std::size_t taxCol) {
        for (std::size_t r = 0, n = tables.table(kind).rowCount(); r < n; ++r) {
            if (!tables.cell(kind, r, companyCol).empty()) continue;
            const auto company = directory.companyOf(tables.cell(kind, r, taxCol));
            if (!company) {
                ++result.missing;
                continue;
            }
            tables.writeCell(kind, r, companyCol, *company);
            ++result.filled;
        }
    };
    fill(ViewRegister, RegisterCol::companyNumber, RegisterCol::taxBaseNumber);
    fill(ViewAccountChange, AccountChangeCol::companyNumber, AccountChangeCol::taxBaseNumber);
    return result;
}

}  // namespace kovirant
