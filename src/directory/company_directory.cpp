#include "directory/company_directory.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

#include "directory/separated_text.h"
#include "editing/rules.h"
#include "text/cp1250.h"
#include "text/format.h"
#include "util/file_io.h"
#include "util/os_file.h"

namespace kovirant {
namespace {

// Digits of `text` once blanks (and with `separators` '-' and '/') are
// dropped, padded on the left to `width`; empty when anything else is there
// or there are more than `width` or fewer than `least` digits.
std::string digitsPadded(std::string_view text, bool separators, std::size_t width, std::size_t least = 1) {
    std::array<char, 32> digits{};
    std::size_t n = 0;
    for (char c : text) {
        if (c == ' ' || (separators && (c == '-' || c == '/'))) continue;
        if (!isDigit(c) || n == width) return {};
        digits[n++] = c;
    }
    if (n == 0 || n < least) return {};
    std::string out(width - n, '0');
    out.append(digits.data(), n);
    return out;
}

std::uint32_t taxKey(std::string_view eightDigits) {
    std::uint32_t v = 0;
    for (char c : eightDigits) v = v * 10 + static_cast<std::uint32_t>(c - '0');
    return v;
}

// The slots' hash of a tax number: the number itself above (the tag), its
// home slot below, where nearby numbers get nearby slots (a sorted file
// fills the table in order); equal tags are equal numbers.
std::uint64_t slotHash(std::uint32_t tax) { return std::uint64_t{tax} << 32 | (tax ^ (tax >> 21)); }
constexpr auto kSameTax = [](std::uint64_t) { return true; };
constexpr std::size_t kLeastSlots = 64;

// A line that would be read as an entry on its own.
bool looksLikeEntry(std::string_view line, char separator) {
    const std::vector<std::string_view> f = rawFields(line, separator);
    return f.size() >= 2 && !normalizeTaxNumber(unquoted(f[0])).empty() &&
           !normalizeCompanyNumber(unquoted(f[1])).empty();
}

}  // namespace

DirectoryEntry::DirectoryEntry(std::string_view taxNumber, std::string_view companyNumber, std::string n)
    : name(std::move(n)) {
    taxNumber.copy(tax_, sizeof tax_);
    companyNumber.copy(company_, sizeof company_);
}

void DirectoryEntry::setCompanyNumber(std::string_view tenDigits) { tenDigits.copy(company_, sizeof company_); }

std::string normalizeTaxNumber(std::string_view text) {
    const std::string_view t = trimmed(text);
    if (t.size() == kTaxBaseLength && allDigits(t)) return std::string(t);  // as nearly every line has it
    return digitsPadded(t, false, kTaxBaseLength);
}

// Written with separators ("10-5-123456"), each part is padded on its own;
// without, only the one leading zero a spreadsheet drops is restored.
std::string normalizeCompanyNumber(std::string_view text) {
    // One pass, no allocation: a million-line directory reads every number.
    constexpr std::size_t kParts[] = {kAreaCodeLength, kFormCodeLength, kSerialLength};
    const std::string_view t = trimmed(text);
    // As nearly every line has it: 10 digits, or "01-09-123456".
    if (t.size() == kCompanyNumberLength && allDigits(t)) return std::string(t);
    constexpr std::size_t kFormAt = kAreaCodeLength + 1, kSerialAt = kFormAt + kFormCodeLength + 1;
    if (t.size() == kCompanyNumberLength + 2 && t[kFormAt - 1] == '-' && t[kSerialAt - 1] == '-' &&
        allDigits(t.substr(0, kAreaCodeLength)) && allDigits(t.substr(kFormAt, kFormCodeLength)) &&
        allDigits(t.substr(kSerialAt))) {
        std::string out;
        out.reserve(kCompanyNumberLength);
        out.append(t.substr(0, kAreaCodeLength)).append(t.substr(kFormAt, kFormCodeLength)).append(t.substr(kSerialAt));
        return out;
    }
    char parts[3][kCompanyNumberLength];
    std::size_t lengths[3] = {0, 0, 0};
    std::size_t part = 0, digits = 0;
    for (char c : t) {
        if (c == ' ') continue;
        if (c == '-' || c == '/') {
            if (++part == std::size(kParts)) return {};  // more than three parts
            continue;
        }
        if (!isDigit(c) || lengths[part] == kCompanyNumberLength) return {};
        parts[part][lengths[part]++] = c;
        ++digits;
    }
    char out[kCompanyNumberLength];
    if (part == 0) {
        // Without separators: 10 digits, or 9 whose leading zero a spreadsheet dropped.
        if (digits != kCompanyNumberLength && digits != kCompanyNumberLength - 1) return {};
        const std::size_t pad = kCompanyNumberLength - digits;
        std::fill(out, out + pad, '0');
        std::copy(parts[0], parts[0] + digits, out + pad);
        return std::string(out, kCompanyNumberLength);
    }
    if (part != std::size(kParts) - 1) return {};  // two parts
    std::size_t at = 0;
    for (std::size_t i = 0; i < std::size(kParts); ++i) {
        // Each part padded on its own to its width.
        if (lengths[i] == 0 || lengths[i] > kParts[i]) return {};
        const std::size_t pad = kParts[i] - lengths[i];
        std::fill(out + at, out + at + pad, '0');
        std::copy(parts[i], parts[i] + lengths[i], out + at + pad);
        at += kParts[i];
    }
    return std::string(out, kCompanyNumberLength);
}

std::string formatCompanyNumber(std::string_view d) {
    if (d.size() != kCompanyNumberLength) return std::string(d);
    std::string out;
    out.reserve(12);
    out.append(d.substr(0, 2)).append("-").append(d.substr(2, 2)).append("-").append(d.substr(4));
    return out;
}

CompanyDirectory CompanyDirectory::parse(std::string bytes, CompanyNumberLimits limits) {
    CompanyDirectory d;
    d.text_ = std::move(bytes);  // the file's bytes are kept, not copied
    const std::string_view text = d.text_;
    std::size_t from = 0;
    if (text.starts_with(kUtf8ByteOrderMark)) {
        d.encoding_ = DirectoryEncoding::Utf8WithMark;
        from = kUtf8ByteOrderMark.size();
    } else if (text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF")) {
        d.encoding_ = DirectoryEncoding::Foreign;  // UTF-16 (or 32): read as nothing, never written
        return d;
    } else if (isUtf8Text(text)) {
        d.encoding_ = DirectoryEncoding::Utf8;
    }
    const std::size_t lf = text.find('\n');
    if (lf != std::string_view::npos && (lf == 0 || text[lf - 1] != '\r')) d.lineEnd_ = "\n";
    else if (lf == std::string_view::npos && text.find('\r') != std::string_view::npos) d.lineEnd_ = "\r";
    const char eol = d.lineEnd_ == "\r" ? '\r' : '\n';
    d.separator_ = detectSeparator(text.substr(from), eol, looksLikeEntry);
    reserveLarge(d.entries_, text.size() / 32);
    d.slots_.presize(text.size() / 48, kLeastSlots);  // a key per 48 bytes; more grow the slots
    RecordReader reader(text, from, d.separator_, eol, looksLikeEntry);
    SeparatedRecord r;
    bool first = true;
    bool named = false;  // the first entry's name seen
    bool plain = false, hyphenated = false;  // the forms its company numbers are written in
    while (reader.next(r)) {
        if (trimmed(r.raw).empty()) continue;
        if (first && separatorLine(r.raw)) continue;  // kept as it is, read as no line
        const bool wasFirst = std::exchange(first, false);
        if (r.broken) {
            ++d.unreadable_;
            continue;
        }
        const std::string tax = normalizeTaxNumber(r.fields[0]);
        const std::string company = r.fields.size() > 1 ? normalizeCompanyNumber(r.fields[1]) : std::string();
        // A first line that is no entry is the header; new lines get as many fields.
        if (wasFirst && (tax.empty() || company.empty())) {
            d.columns_ = std::max<std::size_t>(3, r.fields.size());
            continue;
        }
        if (tax.empty() || company.empty() || !CheckAreaCode(std::string_view(company).substr(0, 2), limits.maxtk) ||
            !CheckFormCode(std::string_view(company).substr(2, 2), limits.maxcf)) {
            ++d.unreadable_;
            continue;
        }
        std::uint64_t& slot = d.slotFor(taxKey(tax));
        if (slot != 0) ++d.duplicates_;  // both lines stay; the later one answers
        slot = Slots::slotOf(slotHash(taxKey(tax)), d.entries_.size() + 1);
        DirectoryEntry& e =
            d.entries_.emplace_back(tax, company, std::string(r.fields.size() > 2 ? r.fields[2] : std::string_view()));
        e.begin_ = static_cast<std::size_t>(r.raw.data() - text.data());
        e.length_ = r.raw.size();
        (allDigits(trimmed(r.fields[1])) ? plain : hyphenated) = true;
        if (!std::exchange(named, true) && !e.name.empty()) {
            const std::vector<std::string_view> raw = rawFields(r.raw, d.separator_);
            d.quoteNames_ = raw.size() > 2 && raw[2].starts_with('"');
        }
    }
    // New numbers are written as the file's are: plain digits only where
    // every number is, else hyphenated.
    d.plainNumbers_ = plain && !hyphenated;
    return d;
}

std::string CompanyDirectory::writtenNumber(std::string_view tenDigits) const {
    return plainNumbers_ ? std::string(tenDigits) : formatCompanyNumber(tenDigits);
}

std::string CompanyDirectory::renderChanged(const DirectoryEntry& e) const {
    const std::string_view record = std::string_view(text_).substr(e.begin_, e.length_);
    std::vector<std::string_view> fields = rawFields(record, separator_);
    if (fields.size() < 3) fields.resize(3);
    const std::string company = writtenNumber(e.companyNumber());
    std::string name;
    appendField(name, e.name, separator_, quoteNames_);
    if (e.companyChanged_) fields[1] = company;
    if (e.nameChanged_) fields[2] = name;
    std::string out;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) out += separator_;
        out += fields[i];
    }
    return out;
}

std::string CompanyDirectory::renderNew(const DirectoryEntry& e) const {
    std::string out;
    out += e.taxNumber();
    out += separator_;
    out += writtenNumber(e.companyNumber());
    out += separator_;
    appendField(out, e.name, separator_, quoteNames_);
    out.append(columns_ - 3, separator_);
    return out;
}

std::string CompanyDirectory::serialize() const {
    std::string out;
    out.reserve(text_.size() + 64 + entries_.size() * 8);
    const std::string_view text = text_;
    const std::size_t mark = text.starts_with(kUtf8ByteOrderMark) ? kUtf8ByteOrderMark.size() : 0;
    const bool learnt = std::any_of(entries_.begin(), entries_.end(),
                                    [](const DirectoryEntry& e) { return e.begin_ == DirectoryEntry::kNewLine; });
    if (learnt && trimmed(text.substr(mark)).empty()) {
        // A new file: the program's header first.
        out.append(text.substr(0, mark));
        out += encoding_ == DirectoryEncoding::Utf8WithMark ? cp1250ToUtf8(kDirectoryHeader)
                                                            : std::string(kDirectoryHeader);
        out += lineEnd_;
    } else {
        std::size_t pos = 0;
        for (const DirectoryEntry& e : entries_) {
            if (e.begin_ == DirectoryEntry::kNewLine || !(e.companyChanged_ || e.nameChanged_)) continue;
            out.append(text.substr(pos, e.begin_ - pos));
            out += renderChanged(e);
            pos = e.begin_ + e.length_;
        }
        out.append(text.substr(pos));
    }
    bool lineOpen = !out.empty() && out.back() != lineEnd_.back();
    for (const DirectoryEntry& e : entries_) {
        if (e.begin_ != DirectoryEntry::kNewLine) continue;
        // The last line's end completed: a bare CR becomes CR LF.
        if (std::exchange(lineOpen, false)) out += out.back() == '\r' ? std::string_view("\n") : lineEnd_;
        out += renderNew(e);
        out += lineEnd_;
    }
    return out;
}

std::uint64_t& CompanyDirectory::slotFor(std::uint32_t tax) {
    slots_.makeRoom([](std::uint64_t s) { return slotHash(static_cast<std::uint32_t>(s >> 32)); }, kLeastSlots);
    return slots_[slots_.place(slotHash(tax), kSameTax)];
}

std::optional<std::string_view> CompanyDirectory::companyOf(std::string_view taxNumber) const {
    if (taxNumber.size() != kTaxBaseLength || !allDigits(taxNumber)) return std::nullopt;
    const std::uint64_t entry = slots_.find(slotHash(taxKey(taxNumber)), kSameTax);
    if (entry == 0) return std::nullopt;
    return entries_[static_cast<std::size_t>(entry - 1)].companyNumber();
}

bool CompanyDirectory::learn(std::string_view taxNumber, std::string_view companyNumber, std::string_view name,
                             LearnMode mode) {
    const std::string inFile = encoding_ == DirectoryEncoding::Windows1250 ? std::string(name) : cp1250ToUtf8(name);
    std::uint64_t& slot = slotFor(taxKey(taxNumber));
    if (slot == 0) {
        slot = Slots::slotOf(slotHash(taxKey(taxNumber)), entries_.size() + 1);
        entries_.emplace_back(taxNumber, companyNumber, inFile);
        return true;
    }
    if (mode == LearnMode::AddOnly) return false;
    DirectoryEntry& e = entries_[static_cast<std::size_t>(Slots::entryIn(slot) - 1)];
    bool changed = false;
    if (e.companyNumber() != companyNumber) {
        e.setCompanyNumber(companyNumber);
        e.companyChanged_ = changed = true;
    }
    if (!name.empty() && e.name != inFile) {
        e.name = inFile;
        e.nameChanged_ = changed = true;
    }
    return changed;
}

std::filesystem::path directoryPath(const std::filesystem::path& workingFolder) {
    return workingFolder / std::filesystem::path(std::string(kDirectoryFileName));
}

LoadedDirectory loadDirectory(const std::filesystem::path& file, CompanyNumberLimits limits) {
    LoadedDirectory out;
    std::string bytes;
    // A colleague's save replacing a shared file holds it for a moment
    // (Windows' sharing): it is read again for up to 3 s.
    int err = readFile(file, bytes);
    for (int tries = 0; err != 0 && isHeldElsewhere(err) && tries < 30; ++tries) {
        pauseMs(100);
        err = readFile(file, bytes);
    }
    if (err != 0) {
        out.status = isMissingFile(err) ? DirectoryStatus::Missing : DirectoryStatus::Unreadable;
        out.errorCode = err;
        return out;
    }
    out.status = DirectoryStatus::Read;
    out.directory = CompanyDirectory::parse(std::move(bytes), limits);
    return out;
}

int saveDirectory(const std::filesystem::path& file, const CompanyDirectory& directory) {
    return replaceFile(file, directory.serialize());
}

std::size_t learnFromTables(CompanyDirectory& directory, const RecordTables& tables, int maxtk, int maxcf,
                            LearnMode mode, const LearnRows& rows) {
    std::size_t learnt = 0;
    for (ViewKind kind : kAllKinds) {
        const std::size_t companyCol = columnOf(kind, ColumnRole::CompanyNumber);
        const std::size_t taxCol = columnOf(kind, ColumnRole::TaxBaseNumber);
        const std::size_t nameCol = columnOf(kind, ColumnRole::Name);  // the institution's
        const MemoryTable& t = tables.table(kind);
        for (std::size_t r = rows.from[kind], n = t.rowCount(); r < n; ++r) {
            const std::string_view company = tables.cell(kind, r, companyCol);
            const std::string_view tax = tables.cell(kind, r, taxCol);
            if (company.size() != kCompanyNumberLength || !allDigits(company) || tax.size() != kTaxBaseLength ||
                !allDigits(tax))
                continue;
            if (!CheckAreaCode(company.substr(0, 2), maxtk) || !CheckFormCode(company.substr(2, 2), maxcf)) continue;
            const std::string_view name = nameCol < columnCount(kind) ? tables.cell(kind, r, nameCol) : "";
            if (directory.learn(tax, company, name, mode)) ++learnt;
        }
    }
    return learnt;
}

FillResult fillCompanyNumbers(const CompanyDirectory& directory, RecordTables& tables) {
    FillResult result;
    for (ViewKind kind : {ViewRegister, ViewAccountChange}) {
        const std::size_t companyCol = columnOf(kind, ColumnRole::CompanyNumber);
        const std::size_t taxCol = columnOf(kind, ColumnRole::TaxBaseNumber);
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
    }
    return result;
}

}  // namespace kovirant
