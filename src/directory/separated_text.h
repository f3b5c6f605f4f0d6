// The spreadsheet dialect of the directory file: records of fields
// separated by ';', ',' or tabs (found from the file, or from Excel's
// "sep=" line), quoted as spreadsheets quote them, a quoted field holding
// line ends; in UTF-8 or Windows-1250.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kovirant {

inline bool isSpaceOrTab(char c) { return c == ' ' || c == '\t'; }
std::string_view trimmed(std::string_view s);

// One record of the separated text: its fields (quoted fields unquoted, ""
// as "), its raw text without the line end. A quoted field may hold line
// ends; a quote that would swallow lines reading as entries of their own (or
// never closes) leaves only its own line, `broken`.
struct SeparatedRecord {
    std::vector<std::string_view> fields;
    std::string_view raw;
    bool broken = false;
};

// The raw fields of a record's text, quotes kept; a field without its
// blanks and quotes.
std::vector<std::string_view> rawFields(std::string_view record, char separator);
std::string_view unquoted(std::string_view field);

// Whether a line would be read as an entry of the file on its own (the
// directory's rule): a stray quote must not swallow such lines.
using EntryTest = bool (*)(std::string_view line, char separator);

class RecordReader {
public:
    // `eol` ends a line: LF (a CR before it goes too), or CR in a file of
    // CR-only line ends, so that finding a line end never scans the whole rest.
    RecordReader(std::string_view text, std::size_t from, char separator, char eol, EntryTest isEntry)
        : text_(text), pos_(from), sep_(separator), eol_(eol), isEntry_(isEntry) {}
    // The next record; false at the end of the text.
    bool next(SeparatedRecord& r);

private:
    // Whether a line from `from` up to the record's end at `to` reads as an
    // entry of its own.
    bool swallowsEntries(std::size_t from, std::size_t to) const;
    // The quoted field at pos_ (a doubled quote is one, text after the
    // closing quote up to the separator is the field's); false when no quote closes it.
    bool readQuoted(SeparatedRecord& r);

    struct Quoted {
        std::size_t field, from, length;
    };
    std::string_view text_;
    std::size_t pos_ = 0;
    char sep_;
    char eol_;
    EntryTest isEntry_;
    std::string scratch_;
    std::vector<Quoted> quoted_;
};

// A value quoted when a spreadsheet would otherwise read it differently,
// or always where the file quotes every name.
void appendField(std::string& out, std::string_view value, char separator, bool always = false);

// "sep=;" as Excel writes it above a table; a character that is part of the
// numbers or the quoting cannot separate them.
std::optional<char> separatorLine(std::string_view line);
// A file that is valid UTF-8 and has bytes above 127 is UTF-8.
bool isUtf8Text(std::string_view text);
// The separator that makes the most of the first lines entries; on a tie the
// one that splits the first line (the header) into the most fields; then ';',
// tab, ',' in that order. Separators inside quotes do not count.
char detectSeparator(std::string_view text, char eol, EntryTest isEntry);

}  // namespace kovirant
