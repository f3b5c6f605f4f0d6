#include "directory/separated_text.h"

#include <cstring>

#include "text/format.h"

namespace kovirant {

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && isSpaceOrTab(s.front())) s.remove_prefix(1);
    while (!s.empty() && isSpaceOrTab(s.back())) s.remove_suffix(1);
    return s;
}

// The raw fields of a record's text, quotes kept.
std::vector<std::string_view> rawFields(std::string_view record, char separator) {
    std::vector<std::string_view> fields;
    bool quoted = false;
    std::size_t from = 0;
    for (std::size_t i = 0; i < record.size(); ++i) {
        if (record[i] == '"') quoted = !quoted;
        else if (record[i] == separator && !quoted) {
            fields.push_back(record.substr(from, i - from));
            from = i + 1;
        }
    }
    fields.push_back(record.substr(from));
    return fields;
}

std::string_view unquoted(std::string_view field) {
    field = trimmed(field);
    if (field.size() >= 2 && field.front() == '"' && field.back() == '"') field = field.substr(1, field.size() - 2);
    return field;
}

// A value is quoted when a spreadsheet would otherwise read it differently,
// or always where the file quotes every name.
void appendField(std::string& out, std::string_view value, char separator, bool always) {
    const bool quote = always || value.find_first_of("\"\r\n") != std::string_view::npos ||
                       value.find(separator) != std::string_view::npos ||
                       (!value.empty() && (isSpaceOrTab(value.front()) || isSpaceOrTab(value.back())));
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

// A file that is valid UTF-8 and has bytes above 127 is UTF-8.
bool isUtf8Text(std::string_view text) {
    bool wide = false;
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        wide = true;
        const std::size_t n = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c <= 0xDF ? 2 : 0;
        if (n == 0 || (c >= 0xE0 && n == 2) || i + n > text.size()) return false;
        for (std::size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
        i += n;
    }
    return wide;
}

// "sep=;" as Excel writes it above a table; a character that is part of the
// numbers or the quoting cannot separate them.
std::optional<char> separatorLine(std::string_view line) {
    if (line.size() != 5 || !line.starts_with("sep=")) return std::nullopt;
    const char c = line[4];
    if (isDigit(c) || std::string_view("\"-/ \r\n").find(c) != std::string_view::npos) return std::nullopt;
    return c;
}

namespace {

// Up to `max` non-blank lines from `from`, without their line ends.
std::vector<std::string_view> firstLines(std::string_view text, std::size_t max, char eol) {
    std::vector<std::string_view> lines;
    std::size_t from = 0;
    while (from < text.size() && lines.size() < max) {
        std::size_t lf = text.find(eol, from);
        if (lf == std::string_view::npos) lf = text.size();
        std::string_view line = text.substr(from, lf - from);
        if (eol == '\n' && !line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (!trimmed(line).empty()) lines.push_back(line);
        from = lf + 1;
    }
    return lines;
}

}  // namespace

// The separator that makes the most of the first lines entries; on a tie the
// one that splits the first line (the header) into the most fields; then ';',
// tab, ',' in that order. Separators inside quotes do not count.
char detectSeparator(std::string_view text, char eol, EntryTest isEntry) {
    const std::vector<std::string_view> lines = firstLines(text, 20, eol);
    if (lines.empty()) return ';';
    if (auto sep = separatorLine(lines.front())) return *sep;
    char best = ';';
    std::size_t bestEntries = 0, bestFields = 0;
    for (char c : {';', '\t', ','}) {
        std::size_t entries = 0;
        for (std::string_view line : lines) entries += isEntry(line, c) ? 1 : 0;
        const std::size_t fields = rawFields(lines.front(), c).size();
        if (entries > bestEntries || (entries == bestEntries && fields > bestFields)) {
            best = c;
            bestEntries = entries;
            bestFields = fields;
        }
    }
    return best;
}

bool RecordReader::next(SeparatedRecord& r) {
    if (pos_ >= text_.size()) return false;
    r.fields.clear();
    r.broken = false;
    const std::size_t start = pos_;
    // Most lines hold no quote: split them at their separators.
    const char* base = text_.data();
    const char* lineEnd = static_cast<const char*>(std::memchr(base + pos_, eol_, text_.size() - pos_));
    const std::size_t lf = lineEnd ? static_cast<std::size_t>(lineEnd - base) : text_.size();
    std::size_t end = lf;
    if (eol_ == '\n' && end > pos_ && text_[end - 1] == '\r') --end;
    const std::size_t next = lf < text_.size() ? lf + 1 : lf;
    if (std::memchr(base + pos_, '"', lf - pos_) == nullptr &&
        std::memchr(base + pos_, '\r', end - pos_) == nullptr) {
        std::size_t from = pos_;
        for (;;) {
            const char* semi = static_cast<const char*>(std::memchr(base + from, sep_, end - from));
            const std::size_t to = semi ? static_cast<std::size_t>(semi - base) : end;
            r.fields.push_back(text_.substr(from, to - from));
            if (!semi) break;
            from = to + 1;
        }
        r.raw = text_.substr(start, end - start);
        pos_ = next;
        return true;
    }
    const std::size_t lineEndAt = end;
    scratch_.clear();
    bool unclosed = false;
    for (;;) {
        if (pos_ < text_.size() && text_[pos_] == '"') {
            if (!readQuoted(r)) {
                unclosed = true;
                break;
            }
        } else {
            const std::size_t from = pos_;
            while (pos_ < text_.size() && text_[pos_] != sep_ && text_[pos_] != '\r' && text_[pos_] != '\n') ++pos_;
            r.fields.push_back(text_.substr(from, pos_ - from));
        }
        const std::size_t fieldEnd = pos_;
        if (fieldEnd < text_.size() && text_[fieldEnd] == sep_) {
            ++pos_;
            continue;
        }
        end = fieldEnd;
        if (pos_ < text_.size() && text_[pos_] == '\r') ++pos_;
        if (pos_ < text_.size() && text_[pos_] == '\n') ++pos_;
        break;
    }
    if (unclosed || (end > lf && swallowsEntries(next, end))) {
        // A stray quote: this line alone is unreadable; reading resumes on the next.
        quoted_.clear();
        r.fields.clear();
        r.broken = true;
        r.raw = text_.substr(start, lineEndAt - start);
        pos_ = next;
        return true;
    }
    // The scratch buffer no longer moves: point the quoted fields into it.
    for (const Quoted& q : quoted_) r.fields[q.field] = std::string_view(scratch_).substr(q.from, q.length);
    quoted_.clear();
    r.raw = text_.substr(start, end - start);
    return true;
}

bool RecordReader::readQuoted(SeparatedRecord& r) {
    const std::size_t from = scratch_.size();
    ++pos_;
    for (;;) {
        if (pos_ >= text_.size()) return false;
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
    while (pos_ < text_.size() && text_[pos_] != sep_ && text_[pos_] != '\r' && text_[pos_] != '\n')
        scratch_.push_back(text_[pos_++]);
    quoted_.push_back({r.fields.size(), from, scratch_.size() - from});
    r.fields.emplace_back();
    return true;
}

bool RecordReader::swallowsEntries(std::size_t from, std::size_t to) const {
    while (from < to) {
        std::size_t lf = text_.find(eol_, from);
        if (lf == std::string_view::npos) lf = text_.size();
        std::size_t e = lf;
        if (eol_ == '\n' && e > from && text_[e - 1] == '\r') --e;
        if (isEntry_(text_.substr(from, e - from), sep_)) return true;
        from = lf + 1;
    }
    return false;
}

}  // namespace kovirant
