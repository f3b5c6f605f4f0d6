#include "import/registry_list.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cassert>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "editing/rules.h"
#include "text/cp1250.h"
#include "text/format.h"
#include "util/file_io.h"

namespace kovirant {
namespace {

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

// The 0x80 bit of each byte of `x` that is a blank.
std::uint64_t blankBytes(std::uint64_t x) {
    auto equal = [x](std::uint64_t c) {
        const std::uint64_t t = x ^ c;
        return ~(((t & 0x7F7F7F7F7F7F7F7Full) + 0x7F7F7F7F7F7F7F7Full) | t | 0x7F7F7F7F7F7F7F7Full);
    };
    return equal(0x2020202020202020ull) | equal(0x0909090909090909ull);
}

// The line's tokens; whether a byte of it is above 0x7F (seen on the way,
// not in a pass of its own).
// A token's end is sought eight bytes at a time: the byte loop was a tenth of a reconciliation's samples.
bool tokenize(std::string_view line, std::vector<Token>& out) {
    out.clear();
    std::uint64_t high = 0;
    const char* p = line.data();
    const std::size_t n = line.size();
    for (std::size_t i = 0; i < n;) {
        if (isBlank(p[i])) {
            ++i;
            continue;
        }
        const std::size_t from = i;
        for (;;) {
            if (i + 8 <= n) {
                std::uint64_t x;
                std::memcpy(&x, p + i, sizeof x);
                high |= x;
                if (const std::uint64_t blanks = blankBytes(x); blanks != 0) {
                    i += static_cast<std::size_t>(std::countr_zero(blanks)) / 8;
                    break;
                }
                i += 8;
            } else {
                while (i < n && !isBlank(p[i])) high |= static_cast<unsigned char>(p[i++]);
                break;
            }
        }
        assert(i == n || isBlank(p[i]));
        assert(std::none_of(p + from, p + i, isBlank));
        out.push_back({line.substr(from, i - from), from});
    }
    return high & 0x8080808080808080ull;
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
    if (i < tokens.size() && isCompanyMark(tokens[i].text)) {
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
    if (!readAccountField(tokens[i].text, lead.entry.account)) {
        lead.fault = "hibás számlaszám: " + std::string(tokens[i].text);
        return lead;
    }
    lead.accountAt = tokens[i++].at;
    lead.firstDate = i;
    lead.read = true;
    return lead;
}

constexpr std::size_t kDates = 4;
constexpr std::size_t kTextMost = 256;  // of an unused line's text, kept to be shown
constexpr const char* kDateNames[kDates] = {"nyitás", "zárás", "hattól", "hatig"};

// What the data lines together say of the fields' places.
struct Layout {
    bool any = false;
    bool sameLength = true;
    std::size_t length = 0, taxAt = 0, accountAt = 0;
    std::vector<std::size_t> dateColumns;  // every column a date field starts at
    bool marksEmpty = false;               // some data line holds a placeholder
    bool fixed() const { return any && sameLength && dateColumns.size() == kDates; }
};

// Where the line from `at` ends: its CR or LF, or the text's end.
// Two memchr passes rather than a byte loop (the loop was 8% of a whole reconciliation's samples).
std::size_t lineEnd(std::string_view text, std::size_t at) {
    const char* from = text.data() + at;
    const std::size_t rest = text.size() - at;
    const void* lf = std::memchr(from, '\n', rest);
    const std::size_t toLf = lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - from) : rest;
    const void* cr = std::memchr(from, '\r', toLf);
    return at + (cr ? static_cast<std::size_t>(static_cast<const char*>(cr) - from) : toLf);
}

// Calls `visit(number, line)` for every line: CR LF, LF and CR end one.
template <class Visit>
void eachLine(std::string_view text, Visit&& visit) {
    std::size_t number = 0;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t end = lineEnd(text, at);
        if (!visit(++number, text.substr(at, end - at))) return;
        if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ++end;
        at = end + 1;
    }
}

}  // namespace

namespace {

// A line of fewer dates than fields is read as far as its dates go, the
// places of the dates it has kept (while the reading lasts) where its last
// date would go: the columns they start at, each the index of that column
// among the data lines' date columns in the order met (3 bits a date).
constexpr std::uint32_t kPlaced = 0x80000000u;
constexpr std::uint32_t kUnknownColumn = 7;

// A date that could not be read, its reason named by the field it stands
// in: in fixed columns that is known only at the end.
struct DateFault {
    std::size_t unused = 0;    // into the outcome's unused lines
    std::size_t position = 0;  // among the line's dates
    std::uint32_t column = kUnknownColumn;
    bool noSuchDay = false;
    std::string text;
};

std::string dateFaultText(const DateFault& f, std::size_t slot) {
    return std::string(f.noSuchDay ? "nincs ilyen nap (" : "hibás dátum (") + kDateNames[slot] + "): " + f.text;
}

// One reading of a list: the first pass over every line, then what the
// layout of all the data lines decides (fixed columns, placeholders).
struct ListReading {
    RegistryListOutcome out;
    Layout layout;
    std::vector<Token> tokens;
    std::vector<DateFault> dateFaults;
    std::size_t placed = 0;  // lines of fewer dates than fields
    bool valid = true, high = false;
    bool seenData = false;

    void unused(std::size_t number, std::string_view line, bool header, std::string reason) {
        UnusedLine u;
        u.line = static_cast<std::uint32_t>(number);
        u.header = header;
        u.reason = std::move(reason);
        u.text = std::string(line.substr(0, kTextMost));  // in the program's code page once that is known
        ++(header ? out.headers : out.unreadable);
        out.unused.push_back(std::move(u));
    }

    // The first pass's look at one line; false ends the reading.
    bool take(std::size_t number, std::string_view line) {
        if (number == 1) {
            if (line.starts_with("\xFF\xFE") || line.starts_with("\xFE\xFF")) {
                out.status = RegistryListStatus::NotText;
                return false;
            }
            if (line.starts_with(kUtf8ByteOrderMark)) {
                out.utf8 = true;
                line.remove_prefix(kUtf8ByteOrderMark.size());
            }
        }
        ++out.lines;
        if (tokenize(line, tokens) && valid) {
            high = true;
            valid = isValidUtf8(line);  // a character never spans a line end
        }
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
        noteLayout(line, lead);
        takeDates(number, line, lead);
        return true;
    }

    // The layout of every data line.
    void noteLayout(std::string_view line, const Lead& lead) {
        if (!layout.any) {
            layout.any = true;
            layout.length = line.size();
            layout.taxAt = lead.taxAt;
            layout.accountAt = lead.accountAt;
        } else if (line.size() != layout.length || lead.taxAt != layout.taxAt || lead.accountAt != layout.accountAt) {
            layout.sameLength = false;
        }
    }

    // A data line's dates: the line is an account, or a line not used.
    void takeDates(std::size_t number, std::string_view line, Lead& lead) {
        const std::size_t count = tokens.size() - lead.firstDate;
        std::array<std::uint32_t, kDates> columns{};
        for (std::size_t k = 0; k < count; ++k) {
            // Up to five columns are told apart: a fifth already means no fixed columns.
            auto& known = layout.dateColumns;
            const std::size_t column = tokens[lead.firstDate + k].at;
            const auto index = static_cast<std::size_t>(std::find(known.begin(), known.end(), column) - known.begin());
            if (index == known.size() && known.size() <= kDates) known.push_back(column);
            if (k < kDates) columns[k] = index <= kDates ? static_cast<std::uint32_t>(index) : kUnknownColumn;
        }
        if (count > kDates) {
            for (std::size_t k = lead.firstDate; k < tokens.size(); ++k) {
                std::uint32_t date = 0;
                if (readDateField(tokens[k].text, date) == DateField::Empty) layout.marksEmpty = true;
            }
            unused(number, line, false, "túl sok mező (" + std::to_string(count) + " dátum a négy helyén)");
            return;
        }
        std::array<std::uint32_t, kDates> dates{};
        std::optional<DateFault> fault;  // the first date that cannot be read
        for (std::size_t k = 0; k < count; ++k) {
            const Token& t = tokens[lead.firstDate + k];
            const DateField read = readDateField(t.text, dates[k]);
            if (read == DateField::Empty) {
                dates[k] = 0;
                layout.marksEmpty = true;
            } else if (read != DateField::Date && !fault) {
                fault = DateFault{out.unused.size(), k, columns[k], read == DateField::NoSuchDay, std::string(t.text)};
            }
        }
        if (fault) {
            unused(number, line, false, dateFaultText(*fault, fault->position));
            dateFaults.push_back(std::move(*fault));
            return;
        }
        lead.entry.opening = dates[0];
        lead.entry.closing = dates[1];
        lead.entry.from = dates[2];
        lead.entry.until = dates[3];
        if (count > 0 && count < kDates) {
            lead.entry.until = kPlaced | columns[0] | columns[1] << 3 | columns[2] << 6 | static_cast<std::uint32_t>(count) << 9;
            ++placed;
        }
        lead.entry.line = static_cast<std::uint32_t>(number);
        out.accounts.push_back(lead.entry);
    }

    // After the first pass: the text's code page, whether the columns are
    // fixed, and (then) each date column's field by its place on the line.
    std::array<std::size_t, kDates + 1> settleLayout() {
        out.utf8 = out.utf8 || (valid && high);
        if (out.utf8)
            for (UnusedLine& u : out.unused) u.text = utf8ToCp1250(u.text);
        out.fixedColumns = layout.fixed();
        // A column met as the i-th is the slot-th of the fields.
        std::array<std::size_t, kDates + 1> slotOf{};
        if (out.fixedColumns) {
            std::vector<std::size_t> sorted = layout.dateColumns;
            std::sort(sorted.begin(), sorted.end());
            for (std::size_t i = 0; i < layout.dateColumns.size(); ++i)
                slotOf[i] = static_cast<std::size_t>(std::find(sorted.begin(), sorted.end(), layout.dateColumns[i]) - sorted.begin());
            for (const DateFault& f : dateFaults)
                if (f.column < layout.dateColumns.size()) out.unused[f.unused].reason = dateFaultText(f, slotOf[f.column]);
        }
        return slotOf;
    }

    // Fewer dates than fields: the missing ones are the last only where
    // the file marks empty fields; in fixed columns the blanks say which.
    // Gives the lines where neither tells (they leave the accounts).
    std::vector<std::uint32_t> placeDates(const std::array<std::size_t, kDates + 1>& slotOf) {
        const bool ambiguous = !out.fixedColumns && !layout.marksEmpty;
        std::vector<std::uint32_t> unplaced;  // their lines
        std::size_t kept = 0;
        for (RegistryLine& a : out.accounts) {
            if (a.until & kPlaced) {
                const std::uint32_t code = a.until;
                a.until = 0;
                if (ambiguous) {
                    unplaced.push_back(a.line);
                    continue;
                }
                if (out.fixedColumns) {
                    const std::array<std::uint32_t, kDates> was = {a.opening, a.closing, a.from, 0};
                    std::array<std::uint32_t, kDates> now{};
                    for (std::uint32_t k = 0; k < ((code >> 9) & 7); ++k) now[slotOf[(code >> (3 * k)) & 7]] = was[k];
                    a.opening = now[0];
                    a.closing = now[1];
                    a.from = now[2];
                    a.until = now[3];
                }
            }
            out.accounts[kept++] = a;
        }
        out.accounts.resize(kept);
        return unplaced;
    }

    void readFailed(int error) {
        if (error == 0 || out.status != RegistryListStatus::Read) return;
        out.status = RegistryListStatus::ReadFailed;
        out.errorCode = error;
    }
};

// The list from a source of its lines: `eachLine(visit)` calls
// `visit(number, line)` for every line from the first, until it returns
// false, and returns 0 or the system's error code of a read that failed.
// One pass reads every line; what the layout of all the data lines decides
// (fixed columns, placeholders) is settled after it, and only a list of
// lines that cannot be placed is read a second time for their text.
template <class EachLine>
RegistryListOutcome readLines(EachLine&& eachLine, std::size_t expectedLines) {
    ListReading r;
    r.out.accounts.reserve(expectedLines);
    const int error = eachLine([&r](std::size_t number, std::string_view line) { return r.take(number, line); });
    if (r.out.status == RegistryListStatus::NotText) return std::move(r.out);
    r.readFailed(error);
    const std::array<std::size_t, kDates + 1> slotOf = r.settleLayout();
    if (r.placed == 0) return std::move(r.out);
    const std::vector<std::uint32_t> unplaced = r.placeDates(slotOf);
    if (unplaced.empty()) return std::move(r.out);
    // Their text, for the list of lines not used.
    RegistryListOutcome& out = r.out;
    std::size_t next = 0;
    const std::size_t before = out.unused.size();
    r.readFailed(eachLine([&](std::size_t number, std::string_view line) {
        if (number == 1 && line.starts_with(kUtf8ByteOrderMark)) line.remove_prefix(kUtf8ByteOrderMark.size());
        if (number != unplaced[next]) return true;
        tokenize(line, r.tokens);
        const std::size_t count = r.tokens.size() - readLead(r.tokens).firstDate;
        r.unused(number, line, false, std::to_string(count) + " dátum a négy helyén: nem dönthető el, melyik mező üres");
        if (out.utf8) out.unused.back().text = utf8ToCp1250(out.unused.back().text);
        return ++next < unplaced.size();
    }));
    std::inplace_merge(out.unused.begin(), out.unused.begin() + static_cast<std::ptrdiff_t>(before), out.unused.end(),
                       [](const UnusedLine& x, const UnusedLine& y) { return x.line < y.line; });
    return std::move(r.out);
}

// About how many lines a text of `size` bytes holds whose start is `sample`
// (the vector of lines is made that large at once, not grown by copies).
std::size_t linesExpected(std::string_view sample, std::uint64_t size) {
    std::size_t ends = static_cast<std::size_t>(std::count(sample.begin(), sample.end(), '\n'));
    if (ends == 0) ends = static_cast<std::size_t>(std::count(sample.begin(), sample.end(), '\r'));
    if (sample.empty() || ends == 0) return 1;
    const double perByte = static_cast<double>(ends) / static_cast<double>(sample.size());
    return static_cast<std::size_t>(perByte * static_cast<double>(size) * 1.01) + 16;
}

// The lines of an open file, read a piece at a time (a list of a million
// lines is never held whole). A line longer than kLineMost keeps its start.
class FileLines {
public:
    explicit FileLines(std::FILE* file) : file_(file), buffer_(1 << 20) {}
    // From the file's first piece and its size.
    std::size_t expectedLines() {
        std::rewind(file_);
        const std::size_t n = std::fread(buffer_.data(), 1, buffer_.size(), file_);
        std::uint64_t size = n;
        if (n == buffer_.size() && std::fseek(file_, 0, SEEK_END) == 0) {
            const long end = std::ftell(file_);
            if (end > 0) size = static_cast<std::uint64_t>(end);
        }
        std::clearerr(file_);
        return linesExpected({buffer_.data(), n}, size);
    }
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
                const std::size_t end = lineEnd(piece, 0);
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
    return readLines(
        [text](auto&& visit) {
            eachLine(text, [&](std::size_t number, std::string_view line) { return visit(number, line); });
            return 0;
        },
        linesExpected(text, text.size()));
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
    FileLines lines(opened.file.get());
    const std::size_t expected = lines.expectedLines();
    return readLines(lines, expected);
}

std::string registryListFault(const RegistryListOutcome& l) {
    switch (l.status) {
        case RegistryListStatus::Read: return {};
        case RegistryListStatus::CannotOpen:
            return "a cégjegyzék listája nem olvasható. Hibakód=" + std::to_string(l.errorCode);
        case RegistryListStatus::NotText: return "a cégjegyzék listája nem Windows-1250 vagy UTF-8 szöveg.";
        case RegistryListStatus::ReadFailed:
            return "a cégjegyzék listájának olvasása a " + std::to_string(l.lines) +
                   ". sor után megszakadt. Hibakód=" + std::to_string(l.errorCode);
    }
    return {};
}

std::string registryListCounts(const RegistryListOutcome& o) {
    return std::to_string(o.lines) + " sor, " + std::to_string(o.accounts.size()) + " számla, " +
           std::to_string(o.unreadable) + " olvashatatlan sor, " + std::to_string(o.headers) + " fejléc, " +
           std::to_string(o.blank) + " üres sor";
}

}  // namespace kovirant
