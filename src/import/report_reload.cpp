#include "import/report_reload.h"

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <cstring>
#include <initializer_list>

#include "import/line_reader.h"
#include "text/cp1250.h"
#include "util/file_io.h"

namespace kovirant {

namespace {
// A control character other than tab is stored as a blank, as the writer
// writes it.
char storable(char c) { return static_cast<unsigned char>(c) < 0x20 && c != '\t' ? ' ' : c; }
}  // namespace

void appendUnescaped(std::string& out, std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c != '&') {
            out.push_back(storable(c));
            ++i;
            continue;
        }
        // A reference is at most 10 characters long: the search for its ';'
        // stops there, so a line of bare '&' is read in linear time.
        const std::size_t semi = text.substr(i + 1, 10).find(';');
        if (semi != std::string_view::npos) {
            const std::size_t end = i + 1 + semi;
            const std::string_view name = text.substr(i + 1, semi);
            char decoded = 0;
            if (name == "amp") decoded = '&';
            else if (name == "lt") decoded = '<';
            else if (name == "gt") decoded = '>';
            else if (name == "quot") decoded = '"';
            else if (name == "apos") decoded = '\'';
            else if (name.size() >= 2 && name[0] == '#') {
                const bool hex = name[1] == 'x' || name[1] == 'X';
                std::string_view digits = name.substr(hex ? 2 : 1);
                unsigned long cp = 0;
                bool ok = !digits.empty();
                for (char d : digits) {
                    int v = -1;
                    if (d >= '0' && d <= '9') v = d - '0';
                    else if (hex && d >= 'a' && d <= 'f') v = d - 'a' + 10;
                    else if (hex && d >= 'A' && d <= 'F') v = d - 'A' + 10;
                    if (v < 0 || cp > 0x10FFFF) {
                        ok = false;
                        break;
                    }
                    cp = cp * (hex ? 16 : 10) + static_cast<unsigned long>(v);
                }
                if (ok && cp != 0) {
                    if (auto b = codePointToCp1250(static_cast<char32_t>(cp))) decoded = static_cast<char>(*b);
                }
            }
            if (decoded != 0) {
                out.push_back(storable(decoded));
                i = end + 1;
                continue;
            }
        }
        out.push_back(c);
        ++i;
    }
}

namespace {

// What a scanf pattern skips as white space.
bool isScanSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Matches a line against a pattern piece by piece, as a scanf format would:
// a blank in a literal matches any run of blanks, also none.
class Scanner {
public:
    explicit Scanner(std::string_view line) : rest_(line) {}

    bool literal(std::string_view lit) {
        for (char c : lit) {
            if (c == ' ') {
                while (!rest_.empty() && isScanSpace(rest_.front())) rest_.remove_prefix(1);
            } else if (!rest_.empty() && rest_.front() == c) {
                rest_.remove_prefix(1);
            } else {
                return false;
            }
        }
        return true;
    }

    // An attribute value: everything up to its closing quote.
    void attribute(std::string& field) {
        const std::size_t q = rest_.find('"');
        field.clear();
        appendUnescaped(field, rest_.substr(0, q));
        rest_.remove_prefix(q == std::string_view::npos ? rest_.size() : q);
    }

    // "%s": blanks skipped, then the run of non-blank characters; false when
    // there is none.
    bool word(std::string_view& w) {
        while (!rest_.empty() && isScanSpace(rest_.front())) rest_.remove_prefix(1);
        std::size_t n = 0;
        while (n < rest_.size() && !isScanSpace(rest_[n])) ++n;
        if (n == 0) return false;
        w = rest_.substr(0, n);
        return true;
    }

    std::string_view rest() const { return rest_; }

private:
    std::string_view rest_;
};

bool startsWith(std::string_view line, std::string_view prefix) { return line.substr(0, prefix.size()) == prefix; }

// "<tag>%s" with the word cut at the first "</".
bool wordElement(std::string_view line, std::string_view startTag, std::string& field) {
    Scanner s(line);
    std::string_view w;
    if (!s.literal(startTag) || !s.word(w)) return false;
    field.clear();
    appendUnescaped(field, w.substr(0, w.find("</")));
    return true;
}

// "<tag>%s" whose value is the exact text up to the first "</".
bool textElement(std::string_view line, std::string_view startTag, std::string& field) {
    Scanner s(line);
    std::string_view w;
    if (!s.literal(startTag)) return false;
    const std::string_view content = s.rest();
    if (!s.word(w)) return false;
    const std::size_t end = content.find("</");
    if (end == std::string_view::npos) return true;  // no end tag: the field stays
    field.clear();
    appendUnescaped(field, content.substr(0, end));
    return true;
}

template <std::size_t N>
void clearAll(std::array<std::string, N>& record) {
    for (std::string& f : record) f.clear();
}

// The lines the reload knows, made once from the column table: per kind its
// part's start and end, its row's start (the row's attributes scanned in the
// report's order) and end, and its cells' elements and group attributes.
struct ReloadTags {
    struct Scan {
        std::string literal;  // what comes before the value
        std::size_t column;
    };
    // An element's start tag and the cells it may fill: while a group of
    // theirs is open the first such, else the last (the original account
    // outside "EredetiSzámla" is the new one).
    struct Element {
        std::string startTag;
        bool word = false;
        std::vector<std::pair<std::size_t, int>> cells;  // column, its group's place in `groups` (-1: not kept)
    };
    struct Kind {
        std::string sectionStart, sectionEnd, rowStart, rowEnd;
        std::vector<Scan> rowAttributes;
        std::vector<std::vector<Scan>> groupAttributes;  // of each group that has any
        std::vector<Element> elements;
        bool needsCompany = false;
        std::size_t company = 0;
    };
    struct Group {
        std::string startTag, endTag;
    };
    // A line's rule, tried in this order: the parts' and the deciding
    // groups' start and end, a row's end, then per kind its row's start and
    // its cells (those only inside the kind's part).
    enum class Does : unsigned char { SectionStart, SectionEnd, GroupStart, GroupEnd, RowEnd, RowStart, GroupAttributes, Element };
    struct Rule {
        Does does;
        ViewKind kind;
        std::size_t index;  // GroupStart, GroupEnd: in `groups`; GroupAttributes: of the kind's; Element: its element
    };
    PerKind<Kind> kinds;
    std::vector<Group> groups;  // the groups whose cells share names with another group's: they decide where values go
    // The rules in order by their pattern's second byte (a pattern is "<" and a byte no blank), a line tries only
    // its byte's.
    // A line tries a handful of rules, not all: a 1,000,000-row report's reload takes 0.74 s of CPU, every rule 0.96 s.
    std::array<std::vector<Rule>, 256> bySecondByte;
};

std::string joined(std::initializer_list<std::string_view> parts) {
    std::string s;
    for (std::string_view p : parts) s += p;
    return s;
}

// The groups of a kind that hold a name another of its groups holds too.
void keepSharedGroups(std::span<const Column> columns, ReloadTags& tags) {
    for (const Column& a : columns)
        for (const Column& b : columns) {
            if (&a == &b || a.report.name != b.report.name || a.report.group == b.report.group) continue;
            const std::string start = joined({"<", a.report.group, ">"});
            const bool kept = std::any_of(tags.groups.begin(), tags.groups.end(),
                                          [&](const ReloadTags::Group& g) { return g.startTag == start; });
            if (!kept) tags.groups.push_back({start, joined({"</", a.report.group, ">"})});
        }
}

ReloadTags::Kind kindTags(ViewKind kind, const std::vector<ReloadTags::Group>& groups) {
    const ReportRows& frame = reportRowsOf(kind);
    const std::span<const Column> columns = columnsOf(kind);
    ReloadTags::Kind k;
    const std::string_view section = frame.inner.empty() ? frame.section : frame.inner;
    const std::string_view close = frame.reloadByNameStart ? "" : ">";
    k.sectionStart = joined({"<", section, close});
    k.sectionEnd = joined({"</", section, close});
    k.rowStart = joined({"<", frame.row, " "});
    k.rowEnd = joined({"</", frame.row, ">"});
    k.needsCompany = frame.reloadNeedsCompany;
    k.company = columnOf(kind, ColumnRole::CompanyNumber);
    std::vector<std::size_t> inOrder(columns.size());
    for (std::size_t c = 0; c < columns.size(); ++c) inOrder[static_cast<std::size_t>(columns[c].report.order)] = c;
    std::string_view group;
    for (std::size_t c : inOrder) {
        const ReportCell& r = columns[c].report;
        if (r.form == CellForm::Attribute || r.form == CellForm::AttributeIfWhole) {
            std::vector<ReloadTags::Scan>* scans = &k.rowAttributes;
            if (!r.group.empty()) {
                if (r.group != group) k.groupAttributes.emplace_back();
                scans = &k.groupAttributes.back();
            }
            const std::string_view element = r.group.empty() ? frame.row : r.group;
            scans->push_back({scans->empty() ? joined({"<", element, " ", r.name, "=\""}) : joined({"\" ", r.name, "=\""}), c});
        } else {
            const std::string start = joined({"<", r.name, ">"});
            auto e = std::find_if(k.elements.begin(), k.elements.end(),
                                  [&](const ReloadTags::Element& x) { return x.startTag == start; });
            if (e == k.elements.end()) e = k.elements.insert(e, {start, r.word, {}});
            const std::string groupStart = joined({"<", r.group, ">"});
            const auto g = std::find_if(groups.begin(), groups.end(),
                                        [&](const ReloadTags::Group& x) { return x.startTag == groupStart; });
            e->cells.emplace_back(c, g == groups.end() ? -1 : static_cast<int>(g - groups.begin()));
        }
        group = r.group;
    }
    return k;
}

void addRule(ReloadTags& t, std::string_view pattern, ReloadTags::Rule rule) {
    assert(pattern.size() >= 2 && pattern[0] == '<' && !isScanSpace(pattern[1]));
    t.bySecondByte[static_cast<unsigned char>(pattern[1])].push_back(rule);
}

void addRules(ReloadTags& t) {
    using Does = ReloadTags::Does;
    for (ViewKind kind : kReportOrder) {
        addRule(t, t.kinds[kind].sectionStart, {Does::SectionStart, kind, 0});
        addRule(t, t.kinds[kind].sectionEnd, {Does::SectionEnd, kind, 0});
    }
    for (std::size_t g = 0; g < t.groups.size(); ++g) {
        addRule(t, t.groups[g].startTag, {Does::GroupStart, ViewRegister, g});
        addRule(t, t.groups[g].endTag, {Does::GroupEnd, ViewRegister, g});
    }
    for (ViewKind kind : kReportOrder) addRule(t, t.kinds[kind].rowEnd, {Does::RowEnd, kind, 0});
    for (ViewKind kind : kReportOrder) {
        const ReloadTags::Kind& k = t.kinds[kind];
        addRule(t, k.rowStart, {Does::RowStart, kind, 0});
        for (std::size_t g = 0; g < k.groupAttributes.size(); ++g)
            addRule(t, k.groupAttributes[g].front().literal, {Does::GroupAttributes, kind, g});
        for (std::size_t e = 0; e < k.elements.size(); ++e) addRule(t, k.elements[e].startTag, {Does::Element, kind, e});
    }
}

const ReloadTags& reloadTags() {
    static const ReloadTags tags = [] {
        ReloadTags t;
        for (ViewKind kind : kReportOrder) keepSharedGroups(columnsOf(kind), t);
        for (ViewKind kind : kReportOrder) t.kinds[kind] = kindTags(kind, t.groups);
        addRules(t);
        return t;
    }();
    return tags;
}

// The tables as a sink, called directly (the window's reload pays no indirection).
struct TablesSink {
    RecordTables& tables;
    void row(ViewKind kind, std::span<const std::string> cells) { tables.appendRow(kind, cells); }
};

template <class Sink>
class Reloader {
public:
    Reloader(Sink& sink, const ReloadOptions& options)
        : sink_(sink), options_(options), tags_(reloadTags()), groupOpen_(tags_.groups.size(), false) {}

    void line(std::string_view line) {
        while (!line.empty() && line.front() == '\t') line.remove_prefix(1);
        if (!line.empty() && line.back() == '\n') line.remove_suffix(1);

        if (line.size() < 2 || line[0] != '<') return;
        for (const ReloadTags::Rule& rule : tags_.bySecondByte[static_cast<unsigned char>(line[1])])
            if (apply(rule, line)) return;
    }

    std::size_t appended() const { return appended_; }
    // The file line of the next line() call.
    void at(long long fileLine) { line_ = fileLine; }

private:
    void append(ViewKind kind) {
        sink_.row(kind, std::span<const std::string>(records_[kind].data(), columnCount(kind)));
        if (std::vector<std::uint32_t>* lines = options_.rowLines[kind])
            lines->push_back(static_cast<std::uint32_t>(start_[kind]));
        ++appended_;
        clearAll(records_[kind]);
    }

    // A row's start tag: the record starts empty and takes the attributes
    // as far as they are as the writer writes them.
    bool rowStart(ViewKind kind, std::string_view line) {
        const ReloadTags::Kind& k = tags_.kinds[kind];
        if (!startsWith(line, k.rowStart)) return false;
        clearAll(records_[kind]);
        start_[kind] = line_;
        Scanner s(line);
        for (const ReloadTags::Scan& a : k.rowAttributes) {
            if (!s.literal(a.literal)) return false;
            s.attribute(records_[kind][a.column]);
        }
        return true;
    }

    // Whether `rule` takes the line (a line it does not take goes on to the next rule).
    bool apply(const ReloadTags::Rule& rule, std::string_view line) {
        const ReloadTags::Kind& k = tags_.kinds[rule.kind];
        using Does = ReloadTags::Does;
        switch (rule.does) {
            case Does::SectionStart: return startsWith(line, k.sectionStart) && (inSection_[rule.kind] = true);
            case Does::SectionEnd: return startsWith(line, k.sectionEnd) && !(inSection_[rule.kind] = false);
            case Does::GroupStart: return startsWith(line, tags_.groups[rule.index].startTag) && (groupOpen_[rule.index] = true);
            case Does::GroupEnd: return startsWith(line, tags_.groups[rule.index].endTag) && !(groupOpen_[rule.index] = false);
            case Does::RowEnd:
                if (!startsWith(line, k.rowEnd) ||
                    !(options_.everyRecord || !k.needsCompany || !records_[rule.kind][k.company].empty()))
                    return false;
                append(rule.kind);
                return true;
            case Does::RowStart: return rowStart(rule.kind, line);
            case Does::GroupAttributes:
                return inSection_[rule.kind] && groupAttributes(k.groupAttributes[rule.index], records_[rule.kind], line);
            case Does::Element: return inSection_[rule.kind] && element(k.elements[rule.index], records_[rule.kind], line);
        }
        return false;
    }

    // A group's start tag: its attributes as far as they are as the writer writes them.
    static bool groupAttributes(const std::vector<ReloadTags::Scan>& scans, std::array<std::string, kMostColumns>& record,
                                std::string_view line) {
        Scanner s(line);
        if (!s.literal(scans.front().literal)) return false;
        s.attribute(record[scans.front().column]);
        for (std::size_t a = 1; a < scans.size() && s.literal(scans[a].literal); ++a) s.attribute(record[scans[a].column]);
        return true;
    }

    bool element(const ReloadTags::Element& e, std::array<std::string, kMostColumns>& record, std::string_view line) const {
        if (!startsWith(line, e.startTag)) return false;
        std::size_t column = e.cells.back().first;
        for (const auto& [c, g] : e.cells)
            if (g >= 0 && groupOpen_[static_cast<std::size_t>(g)]) {
                column = c;
                break;
            }
        return e.word ? wordElement(line, e.startTag, record[column]) : textElement(line, e.startTag, record[column]);
    }

    Sink& sink_;
    const ReloadOptions options_;
    const ReloadTags& tags_;
    PerKind<std::array<std::string, kMostColumns>> records_;
    PerKind<bool> inSection_{};
    std::vector<bool> groupOpen_;
    std::size_t appended_ = 0;
    long long line_ = 0;
    long long start_[kViewKindCount] = {};
};

}  // namespace

ReloadOutcome ReloadReport(const std::filesystem::path& path, RecordTables& tables, const ReloadOptions& options) {
    const OpenedFile opened = openFile(path, "rb");
    if (!opened) {
        ReloadOutcome out;
        out.status = ReloadStatus::CannotOpen;
        out.errorCode = opened.error;
        return out;
    }
    return ReloadReportStream(opened.file.get(), tables, options);
}

namespace {

// Tells a whole report from a file of another kind and from one cut short:
// its first element is the report's root, and the root's end tag comes.
class Framing {
public:
    void line(std::string_view line) {
        if (ended_) return;
        if (root_.empty()) return findRoot(line);
        while (!line.empty() && isScanSpace(line.front())) line.remove_prefix(1);
        if (startsWith(line, "</") && line.substr(2, kReportRootElement.size()) == kReportRootElement &&
            line.substr(2 + kReportRootElement.size(), 1) == ">")
            ended_ = true;
    }

    ReloadStatus status() const {
        if (root_ != kReportRootElement) return ReloadStatus::NotAReport;
        return ended_ ? ReloadStatus::Completed : ReloadStatus::Incomplete;
    }
    const std::string& root() const { return root_; }

private:
    // The first tag that is not the prologue, a processing instruction or a
    // comment names the root.
    void findRoot(std::string_view line) {
        std::size_t at = 0;
        while ((at = line.find('<', at)) != std::string_view::npos) {
            const std::string_view tag = line.substr(at);
            if (startsWith(tag, "<?") || startsWith(tag, "<!")) {
                const std::size_t end = line.find('>', at);
                if (end == std::string_view::npos) return;
                at = end + 1;
                continue;
            }
            std::size_t n = 1;
            while (n < tag.size() && !isScanSpace(tag[n]) && tag[n] != '>' && tag[n] != '/') ++n;
            root_.assign(tag.substr(1, n - 1));
            return;
        }
    }

    std::string root_;
    bool ended_ = false;
};

}  // namespace

namespace {

// The lines of a report in memory, in the pieces the file's reader gives
// (a Ctrl-Z ends it as it ends a file).
class BytesLineReader {
public:
    explicit BytesLineReader(std::string_view bytes) : rest_(bytes.substr(0, bytes.find('\x1A'))) {}
    bool next(std::string_view& piece) {
        if (rest_.empty()) return false;
        const std::size_t lf = rest_.find('\n');
        const std::size_t n = std::min(lf == std::string_view::npos ? rest_.size() : lf + 1, kReloadPieceMax);
        piece = rest_.substr(0, n);
        rest_.remove_prefix(n);
        return true;
    }
    int error() const { return 0; }

private:
    std::string_view rest_;
};

template <class Reader, class Sink>
ReloadOutcome reloadFrom(Reader& reader, Sink& sink, const ReloadOptions& options) {
    Reloader<Sink> reloader(sink, options);
    Framing framing;
    ReloadOutcome out;
    long long lines = 0;
    bool lineEnded = true;
    std::string_view piece;
    while (reader.next(piece)) {
        if (lineEnded) {
            ++lines;
            framing.line(piece);
            reloader.at(lines);
        }
        lineEnded = !piece.empty() && piece.back() == '\n';
        reloader.line(piece);
    }
    out.rowsAppended = reloader.appended();
    out.lines = lines;
    out.root = framing.root();
    out.status = framing.status();
    if (reader.error() != 0) {
        out.status = ReloadStatus::ReadFailed;
        out.errorCode = reader.error();
    }
    return out;
}

}  // namespace

ReloadOutcome ReloadReportStream(std::FILE* file, RecordTables& tables, const ReloadOptions& options) {
    TextLineReader reader(file, 1 << 20, kReloadPieceMax);
    TablesSink sink{tables};
    return reloadFrom(reader, sink, options);
}

ReloadOutcome ReloadReportBytes(std::string_view bytes, RecordTables& tables, const ReloadOptions& options) {
    BytesLineReader reader(bytes);
    TablesSink sink{tables};
    return reloadFrom(reader, sink, options);
}

ReloadOutcome ReloadReportBytes(std::string_view bytes, ReloadRowSink& sink, const ReloadOptions& options) {
    BytesLineReader reader(bytes);
    return reloadFrom(reader, sink, options);
}

}  // namespace kovirant
