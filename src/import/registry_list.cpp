#include "import/registry_list.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "editing/rules.h"
#include "text/cp1250.h"
#include "text/format.h"
#include "util/file_io.h"

namespace kovirant {
namespace {

std::uint64_t numberOf(std::string_view digits) {
    std::uint64_t n = 0;
    for (char c : digits) n = n * 10 + static_cast<std::uint64_t>(c - '0');
    return n;
}

// Whether `text` is groups of digits of these lengths, joined by
// `separator` or by nothing at all (every group then, or none, separated);
// its digits go to `out` (room for all of them).
bool groups(std::string_view text, std::initializer_list<std::size_t> lengths, char separator, char* out) {
    std::size_t total = 0;
    for (std::size_t n : lengths) total += n;
    if (text.size() == total) {
        if (!allDigits(text)) return false;
        std::memcpy(out, text.data(), total);
        return true;
    }
    if (text.size() != total + lengths.size() - 1) return false;
    std::size_t at = 0;
    for (std::size_t n : lengths) {
        if (at != 0) {
            if (text[at] != separator) return false;
            ++at;
        }
        const std::string_view part = text.substr(at, n);
        if (!allDigits(part)) return false;
        out = std::copy(part.begin(), part.end(), out);
        at += n;
    }
    return true;
}

bool isValidUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::size_t n = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
        if (n == 0 || (n == 2 && c < 0xC2) || i + n > text.size()) return false;
        for (std::size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
        i += n;
    }
    return true;
}

struct Token {
    std::string_view text;
    std::size_t at = 0;  // its column in the line
};

bool isBlank(char c) { return c == ' ' || c == '\t'; }

void tokenize(std::string_view line, std::vector<Token>& out) {
    out.clear();
    for (std::size_t i = 0; i < line.size();) {
        if (isBlank(line[i])) {
            ++i;
            continue;
        }
        const std::size_t from = i;
        while (i < line.size() && !isBlank(line[i])) ++i;
        out.push_back({line.substr(from, i - from), from});
    }
}

bool isCgMark(std::string_view t) {
    return t.size() >= 3 && (t[0] == 'C' || t[0] == 'c') && (t[1] == 'g' || t[1] == 'G') && t[2] == '.';
}

// The first three fields of a line's tokens: the account line's lead.
struct Lead {
    RegistryLine entry;
    std::size_t firstDate = 0;  // the token after the account
    std::size_t taxAt = 0, accountAt = 0;
    bool read = false;
    bool looksLikeData = false;  // its first field is a company number or it holds an account number
    std::string fault;
};

Lead readLead(const std::vector<Token>& tokens) {
    Lead lead;
    // A line that is no account line may still be one that failed: it holds
    // an account number.
    auto looksLikeData = [&] {
        return std::any_of(tokens.begin(), tokens.end(), [](const Token& t) { return readAccountField(t.text).has_value(); });
    };
    std::size_t i = 0;
    std::string_view company;
    if (i < tokens.size() && isCgMark(tokens[i].text)) {
        company = tokens[i].text.substr(3);
        ++i;
        if (company.empty() && i < tokens.size()) company = tokens[i++].text;
    } else if (i < tokens.size()) {
        company = tokens[i++].text;
    }
    const auto companyNumber = readCompanyField(company);
    if (!companyNumber) {
        lead.looksLikeData = looksLikeData();
        lead.fault = "hibás cégjegyzékszám: " + std::string(company);
        return lead;
    }
    lead.looksLikeData = true;
    lead.entry.company = *companyNumber;
    if (i >= tokens.size()) {
        lead.fault = "hiányzik az adószám";
        return lead;
    }
    const auto tax = readTaxField(tokens[i].text);
    if (!tax) {
        lead.fault = "hibás adószám: " + std::string(tokens[i].text);
        return lead;
    }
    lead.entry.tax = *tax;
    lead.taxAt = tokens[i++].at;
    if (i >= tokens.size()) {
        lead.fault = "hiányzik a számlaszám";
        return lead;
    }
    const auto account = readAccountField(tokens[i].text);
    if (!account) {
        lead.fault = "hibás számlaszám: " + std::string(tokens[i].text);
        return lead;
    }
    lead.entry.account = *account;
    lead.accountAt = tokens[i++].at;
    lead.firstDate = i;
    lead.read = true;
    return lead;
}

constexpr std::size_t kDates = 4;
constexpr std::size_t kTextMost = 256;  // of an unused line's text, kept to be shown
constexpr const char* kDateNames[kDates] = {"nyitás", "zárás", "hattól", "hatig"};

// What the first pass finds out about the file's data lines.
struct Layout {
    bool any = false;
    std::size_t lines = 0;  // that read as account lines, as far as their lead
    bool sameLength = true;
    std::size_t length = 0, taxAt = 0, accountAt = 0;
    std::vector<std::size_t> dateColumns;  // every column a date field starts at
    bool marksEmpty = false;               // some data line holds a placeholder
    bool fixed() const { return any && sameLength && dateColumns.size() == kDates; }
};

// Calls `visit(number, line)` for every line: CR LF, LF and CR end one.
template <class Visit>
void eachLine(std::string_view text, Visit&& visit) {
    std::size_t number = 0;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t end = at;
        while (end < text.size() && text[end] != '\n' && text[end] != '\r') ++end;
        if (!visit(++number, text.substr(at, end - at))) return;
        if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ++end;
        at = end + 1;
    }
}

}  // namespace

std::optional<std::uint64_t> readCompanyField(std::string_view text) {
    if (isCgMark(text)) text.remove_prefix(3);
    char digits[10];
    if (!groups(text, {2, 2, 6}, '-', digits)) return std::nullopt;
    return numberOf({digits, sizeof digits});
}

std::optional<std::uint32_t> readTaxField(std::string_view text) {
    char digits[11];
    if (text.size() == 8 ? !groups(text, {8}, '-', digits) : !groups(text, {8, 1, 2}, '-', digits)) return std::nullopt;
    return static_cast<std::uint32_t>(numberOf({digits, 8}));
}

std::optional<AccountKey> readAccountField(std::string_view text) {
    char digits[24];
    if (!groups(text, {8, 8, 8}, '-', digits)) {
        if (!groups(text, {8, 8}, '-', digits)) return std::nullopt;
        std::fill(digits + 16, digits + 24, '0');
    }
    AccountKey key;
    for (std::size_t g = 0; g < 3; ++g) key.group[g] = static_cast<std::uint32_t>(numberOf({digits + g * 8, 8}));
    return key;
}

DateField readDateField(std::string_view text, std::uint32_t& date) {
    if (text == "-" || text == ".") return DateField::Empty;
    char digits[8];
    bool form = false;
    if (text.size() == 8) form = groups(text, {8}, '-', digits);
    else if (text.size() == 11 && text.back() == '.') form = groups(text.substr(0, 10), {4, 2, 2}, '.', digits);
    else if (text.size() == 10 && text[4] == text[7] && (text[4] == '-' || text[4] == '.' || text[4] == '/'))
        form = groups(text, {4, 2, 2}, text[4], digits);
    if (!form) return DateField::NotADate;
    const std::string_view d(digits, sizeof digits);
    if (d == "00000000") return DateField::Empty;
    const DateParts parts{std::string(d.substr(0, 4)), std::string(d.substr(4, 2)), std::string(d.substr(6, 2))};
    if (!IsValidDate(parts)) return DateField::NoSuchDay;
    date = static_cast<std::uint32_t>(numberOf(d));
    return DateField::Date;
}

std::string accountText(AccountKey account) {
    std::string out;
    for (std::uint32_t g : account.group) out += zeroPadNumber(g, 8);
    return out;
}

std::string companyText(std::uint64_t company) {
    if (company == kNoCompany) return {};
    return zeroPadNumber(static_cast<long long>(company), 10);
}

std::string taxText(std::uint32_t tax) { return tax == kNoTax ? std::string() : zeroPadNumber(tax, 8); }

std::string dateText(std::uint32_t date) {
    if (date == 0) return {};
    const std::string d = zeroPadNumber(date, 8);
    return d.substr(0, 4) + "-" + d.substr(4, 2) + "-" + d.substr(6, 2);
}

bool sameState(const RegistryLine& a, const RegistryLine& b) {
    return a.account == b.account && a.tax == b.tax && a.company == b.company && a.opening == b.opening &&
           a.closing == b.closing && a.from == b.from && a.until == b.until;
}

namespace {

// The list from a source of its lines: `eachLine(visit)` calls
// `visit(number, line)` for every line from the first, until it returns
// false, and returns 0 or the system's error code of a read that failed.
// Two passes: the first finds the code page and the data lines' layout.
template <class EachLine>
RegistryListOutcome readLines(EachLine&& eachLine) {
    RegistryListOutcome out;
    Layout layout;
    std::vector<Token> tokens;
    bool valid = true, high = false;
    auto withoutMark = [&](std::size_t number, std::string_view line) {
        if (number == 1 && line.starts_with(kUtf8ByteOrderMark)) line.remove_prefix(kUtf8ByteOrderMark.size());
        return line;
    };
    int error = eachLine([&](std::size_t number, std::string_view line) {
        if (number == 1 && (line.starts_with("\xFF\xFE") || line.starts_with("\xFE\xFF"))) {
            out.status = RegistryListStatus::NotText;
            return false;
        }
        if (number == 1 && line.starts_with(kUtf8ByteOrderMark)) out.utf8 = true;
        line = withoutMark(number, line);
        if (valid && std::any_of(line.begin(), line.end(), [](char c) { return c & 0x80; })) {
            high = true;
            valid = isValidUtf8(line);  // a character never spans a line end
        }
        tokenize(line, tokens);
        if (tokens.empty()) return true;
        const Lead lead = readLead(tokens);
        if (!lead.read) return true;
        ++layout.lines;
        if (!layout.any) {
            layout.any = true;
            layout.length = line.size();
            layout.taxAt = lead.taxAt;
            layout.accountAt = lead.accountAt;
        } else if (line.size() != layout.length || lead.taxAt != layout.taxAt || lead.accountAt != layout.accountAt) {
            layout.sameLength = false;
        }
        for (std::size_t i = lead.firstDate; i < tokens.size(); ++i) {
            std::uint32_t date = 0;
            if (readDateField(tokens[i].text, date) == DateField::Empty) layout.marksEmpty = true;
            auto& columns = layout.dateColumns;
            if (columns.size() <= kDates && std::find(columns.begin(), columns.end(), tokens[i].at) == columns.end())
                columns.push_back(tokens[i].at);
        }
        return true;
    });
    if (out.status == RegistryListStatus::NotText) return out;
    if (error != 0) {
        out.status = RegistryListStatus::ReadFailed;
        out.errorCode = error;
        return out;
    }
    out.utf8 = out.utf8 || (valid && high);
    std::sort(layout.dateColumns.begin(), layout.dateColumns.end());
    out.fixedColumns = layout.fixed();

    bool seenData = false;
    auto unused = [&](std::size_t number, std::string_view line, bool header, std::string reason) {
        UnusedLine u;
        u.line = static_cast<std::uint32_t>(number);
        u.header = header;
        u.reason = std::move(reason);
        const std::string_view shown = line.substr(0, kTextMost);
        u.text = out.utf8 ? utf8ToCp1250(shown) : std::string(shown);
        ++(header ? out.headers : out.unreadable);
        out.unused.push_back(std::move(u));
    };
    out.accounts.reserve(layout.lines);
    error = eachLine([&](std::size_t number, std::string_view line) {
        line = withoutMark(number, line);
        ++out.lines;
        tokenize(line, tokens);
        if (tokens.empty()) {
            ++out.blank;
            return true;
        }
        Lead lead = readLead(tokens);
        if (!lead.looksLikeData) {
            if (seenData) unused(number, line, false, "nem számlasor");
            else unused(number, line, true, "fejléc");
            return true;
        }
        seenData = true;
        if (!lead.read) {
            unused(number, line, false, lead.fault);
            return true;
        }
        const std::size_t count = tokens.size() - lead.firstDate;
        if (count > kDates) {
            unused(number, line, false, "túl sok mező (" + std::to_string(count) + " dátum a négy helyén)");
            return true;
        }
        std::array<std::uint32_t, kDates> dates{};
        for (std::size_t k = 0; k < count; ++k) {
            const Token& t = tokens[lead.firstDate + k];
            std::size_t slot = k;
            if (out.fixedColumns)
                slot = static_cast<std::size_t>(
                    std::find(layout.dateColumns.begin(), layout.dateColumns.end(), t.at) - layout.dateColumns.begin());
            std::uint32_t date = 0;
            switch (readDateField(t.text, date)) {
                case DateField::Date: break;
                case DateField::Empty: date = 0; break;
                case DateField::NotADate:
                    unused(number, line, false, std::string("hibás dátum (") + kDateNames[slot] + "): " + std::string(t.text));
                    return true;
                case DateField::NoSuchDay:
                    unused(number, line, false, std::string("nincs ilyen nap (") + kDateNames[slot] + "): " + std::string(t.text));
                    return true;
            }
            dates[slot] = date;
        }
        // Fewer dates than fields: the missing ones are the last only where
        // the file marks empty fields; in fixed columns the blanks say which.
        if (count > 0 && count < kDates && !out.fixedColumns && !layout.marksEmpty) {
            unused(number, line, false,
                   std::to_string(count) + " dátum a négy helyén: nem dönthető el, melyik mező üres");
            return true;
        }
        lead.entry.opening = dates[0];
        lead.entry.closing = dates[1];
        lead.entry.from = dates[2];
        lead.entry.until = dates[3];
        lead.entry.line = static_cast<std::uint32_t>(number);
        out.accounts.push_back(lead.entry);
        return true;
    });
    if (error != 0) {
        out.status = RegistryListStatus::ReadFailed;
        out.errorCode = error;
    }
    return out;
}

// The lines of an open file, read a piece at a time (a list of a million
// lines is never held whole). A line longer than kLineMost keeps its start.
class FileLines {
public:
    explicit FileLines(std::FILE* file) : file_(file), buffer_(1 << 20) {}
    template <class Visit>
    int operator()(Visit&& visit) {
        std::rewind(file_);
        std::string carry;
        bool afterCr = false;  // the last piece ended in CR: an LF first in the next ends nothing
        std::size_t number = 0;
        bool go = true;
        while (go) {
            const std::size_t n = std::fread(buffer_.data(), 1, buffer_.size(), file_);
            if (n == 0) break;
            std::string_view piece(buffer_.data(), n);
            if (afterCr && piece.front() == '\n') piece.remove_prefix(1);
            afterCr = false;
            while (go && !piece.empty()) {
                std::size_t end = 0;
                while (end < piece.size() && piece[end] != '\n' && piece[end] != '\r') ++end;
                if (end == piece.size()) {
                    carry.append(piece.substr(0, kLineMost - std::min(kLineMost, carry.size())));
                    break;
                }
                std::string_view line = piece.substr(0, end);
                if (!carry.empty()) {
                    carry.append(line.substr(0, kLineMost - std::min(kLineMost, carry.size())));
                    line = carry;
                }
                go = visit(++number, line);
                carry.clear();
                std::size_t next = end + 1;
                if (piece[end] == '\r') {
                    if (next < piece.size() && piece[next] == '\n') ++next;
                    else if (next == piece.size()) afterCr = true;
                }
                piece.remove_prefix(next);
            }
        }
        if (std::ferror(file_)) return lastSystemError() != 0 ? lastSystemError() : EIO;
        if (go && !carry.empty()) visit(++number, carry);
        return 0;
    }

private:
    static constexpr std::size_t kLineMost = 1 << 16;
    std::FILE* file_;
    std::vector<char> buffer_;
};

}  // namespace

RegistryListOutcome parseRegistryList(std::string_view text) {
    return readLines([text](auto&& visit) {
        eachLine(text, [&](std::size_t number, std::string_view line) { return visit(number, line); });
        return 0;
    });
}

RegistryListOutcome readRegistryList(const std::filesystem::path& path) {
    const OpenedFile opened = openFile(path, "rb");
    if (!opened) {
        RegistryListOutcome out;
        out.status = RegistryListStatus::CannotOpen;
        out.errorCode = opened.error;
        return out;
    }
    clearSystemError();
    return readLines(FileLines(opened.file.get()));
}

std::string registryListCounts(const RegistryListOutcome& o) {
    return std::to_string(o.lines) + " sor, " + std::to_string(o.accounts.size()) + " számla, " +
           std::to_string(o.unreadable) + " olvashatatlan sor, " + std::to_string(o.headers) + " fejléc, " +
           std::to_string(o.blank) + " üres sor";
}

}  // namespace kovirant
