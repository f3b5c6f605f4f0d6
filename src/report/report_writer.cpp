#include "report/report_writer.h"

#include <array>
#include <cassert>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "editing/rules.h"
#include "text/cp1250.h"
#include "text/format.h"
#include "util/file_io.h"

namespace kovirant {

namespace {

// Bytes written as they are: everything but the four special characters,
// control characters other than tab (XML forbids them even as references),
// and bytes ISO-8859-2 reads otherwise.
struct PlainBytes {
    bool plain[256];
    PlainBytes() : plain() {
        for (int c = 0; c < 256; ++c) plain[c] = (c >= 0x20 || c == '\t') && sameInLatin2(static_cast<unsigned char>(c));
        for (char c : {'&', '<', '>', '"'}) plain[static_cast<unsigned char>(c)] = false;
    }
};
const PlainBytes kPlain;

// The most bytes one byte of a value becomes ("&#8482;").
constexpr std::size_t kMostPerByte = 7;

// Writes `value` escaped at `p`, which has room for kMostPerByte bytes per
// byte of it; returns the end.
char* putEscaped(char* p, std::string_view value) {
    std::size_t i = 0;
    auto put = [&p](std::string_view s) {
        std::memcpy(p, s.data(), s.size());
        p += s.size();
    };
    while (i < value.size()) {
        std::size_t run = i;
        while (run < value.size() && kPlain.plain[static_cast<unsigned char>(value[run])]) ++run;
        put(value.substr(i, run - i));
        if (run == value.size()) break;
        const char ch = value[run];
        i = run + 1;
        switch (ch) {
            case '&': put("&amp;"); continue;
            case '<': put("&lt;"); continue;
            case '>': put("&gt;"); continue;
            case '"': put("&quot;"); continue;
            default: break;
        }
        if (static_cast<unsigned char>(ch) < 0x20) {
            *p++ = ' ';
            continue;
        }
        auto cp = cp1250ToCodePoint(static_cast<unsigned char>(ch));
        if (!cp) {  // an unassigned byte has no character to refer to
            *p++ = ch;
            continue;
        }
        char buf[16];
        put(std::string_view(buf, static_cast<std::size_t>(std::snprintf(buf, sizeof buf, "&#%u;", static_cast<unsigned>(*cp)))));
    }
    return p;
}

}  // namespace

void appendEscaped(std::string& out, std::string_view value) {
    const std::size_t at = out.size();
    out.resize(at + value.size() * kMostPerByte);
    out.resize(static_cast<std::size_t>(putEscaped(out.data() + at, value) - out.data()));
}

std::size_t reportLengthOf(CellLength length) {
    switch (length) {
        case CellLength::CompanyNumber: return kCompanyNumberLength;
        case CellLength::TaxBaseNumber: return kTaxBaseLength;
        case CellLength::AccountNumber: return kAccountNumberLength;
        case CellLength::Date: return kDateLength;
        case CellLength::PostalCode: return kPostalCodeLength;
        case CellLength::AddressPart: return kAddressPartLength;
        case CellLength::Any: break;
    }
    return kFieldMax;
}

std::string reportStamp(std::time_t moment) {
#ifdef _WIN32
    _tzset();
#else
    tzset();
#endif
    const std::tm* local = std::localtime(&moment);
    char buf[64] = {};
    if (local != nullptr) std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%S-00:00", local);
    return buf;
}

namespace {

// Collects the document in a buffer and writes it out in large pieces. A
// line is put into the buffer by hand, with room made for the most it can
// take first.
constexpr std::size_t kBufferSize = 1 << 16;  // bytes collected before each write
class ReportStream {
public:
    ReportStream(AtomicFile& f, const ReportOptions& o) : file_(f), options_(o), buffer_(kBufferSize + 4096) {}

    // One line: `tabs` tab characters, the text, CR LF.
    void line(int tabs, std::string_view s) {
        char* p = begin(tabs, s.size());
        p = put(p, s);
        end(p);
    }
    // <tag>value</tag>
    void element(int tabs, std::string_view tag, std::string_view v) {
        char* p = begin(tabs, 2 * tag.size() + 5 + v.size() * kMostPerByte);
        *p++ = '<';
        p = put(p, tag);
        *p++ = '>';
        p = putEscaped(p, v);
        *p++ = '<';
        *p++ = '/';
        p = put(p, tag);
        *p++ = '>';
        end(p);
    }
    void elementIf(int tabs, std::string_view tag, std::string_view v) {
        if (!v.empty()) element(tabs, tag, v);
    }
    // <tag a="v" b="w">, with `gap` between the tag name and the first
    // attribute and one blank between attributes.
    using Attribute = std::pair<std::string_view, std::string_view>;
    void startTag(int tabs, std::string_view tag, std::initializer_list<Attribute> attributes,
                  std::string_view gap = " ") {
        startTag(tabs, tag, std::span(attributes.begin(), attributes.size()), gap);
    }
    void startTag(int tabs, std::string_view tag, std::span<const Attribute> attributes, std::string_view gap = " ") {
        std::size_t most = tag.size() + 2;
        for (const auto& [name, v] : attributes) most += gap.size() + name.size() + 3 + v.size() * kMostPerByte;
        char* p = begin(tabs, most);
        *p++ = '<';
        p = put(p, tag);
        bool first = true;
        for (const auto& [name, v] : attributes) {
            p = put(p, first ? gap : " ");
            first = false;
            p = put(p, name);
            *p++ = '=';
            *p++ = '"';
            p = putEscaped(p, v);
            *p++ = '"';
        }
        *p++ = '>';
        end(p);
    }
    // </tag>
    void endTag(int tabs, std::string_view tag) {
        char* p = begin(tabs, tag.size() + 3);
        *p++ = '<';
        *p++ = '/';
        p = put(p, tag);
        *p++ = '>';
        end(p);
    }

    void flush() {
        if (used_ == 0 || error_ != 0) {
            used_ = 0;
            return;
        }
        if (options_.keepWriting && !options_.keepWriting()) error_ = ECANCELED;
        else error_ = file_.write(std::string_view(buffer_.data(), used_));
        used_ = 0;
    }

    // Writes what is left, flushes to the disk and closes; 0 or the system
    // error code of the first failure.
    int finish() {
        flush();
        const int closed = file_.finish();
        return error_ != 0 ? error_ : closed;
    }

private:
    static char* put(char* p, std::string_view s) {
        std::memcpy(p, s.data(), s.size());
        return p + s.size();
    }
    // Room for the tabs, `most` bytes and the line end; the tabs put.
    char* begin(int tabs, std::size_t most) {
        const auto n = static_cast<std::size_t>(tabs);
        const std::size_t need = n + most + 2;
        if (buffer_.size() - used_ < need) {
            flush();
            if (buffer_.size() < need) buffer_.resize(need);  // a value of megabytes
        }
        char* p = buffer_.data() + used_;
        std::memset(p, '\t', n);
        return p + n;
    }
    void end(char* p) {
        *p++ = '\r';
        *p++ = '\n';
        used_ = static_cast<std::size_t>(p - buffer_.data());
        if (used_ >= kBufferSize) flush();
    }

    AtomicFile& file_;
    const ReportOptions& options_;
    std::vector<char> buffer_;
    std::size_t used_ = 0;
    int error_ = 0;
};

void writeHeader(ReportStream& out, const Profile& profile, std::time_t now, const ReportOptions& options) {
    auto key = [&](DsKey k) { return dataSheetValue(profile, k); };
    const std::string host(kReportSchemaHost);

    out.line(0, "<?xml version=\"1.0\" encoding=\"ISO-8859-2\"?>");
    out.line(0, "<!-- XML file generated by Kovirant v1.4b -->");
    if (options.wholeTables) out.line(0, kRecoveryMark);
    if (options.wholeTables && !options.recoveryNote.empty()) out.line(0, options.recoveryNote);
    out.line(0, "<?xml-stylesheet type=\"text/xsl\" href=\"http://" + host + "/schema/2002/k-lemo/XmlPj_v1.0.xslt\"?>");
    out.line(0, "<PénzintézetiJelentés xmlns=\"http://" + host + "/2002/04/k-lemo#\" xmlns:xsi=\"" +
                    std::string(kXsiNamespace) + "\"");
    out.line(0, "xsi:schemaLocation=\"http://" + host + "/2002/04/k-lemo#");
    out.line(0, "http://" + host + "/schema/2002/k-lemo/XmlPj_v1.1.xsd\">");

    out.line(1, "<Adatlap>");
    out.line(2, "<Alaptípus>irat</Alaptípus>");
    out.line(2, "<KísérőAdatok>");
    out.element(3, "Cím", key(DsKey::cim));
    out.element(3, "Tárgy", key(DsKey::targy));
    out.line(3, "<Ügyintéző>");
    out.elementIf(4, "Név", key(DsKey::Unev));
    out.elementIf(4, "Email", key(DsKey::Uemail));
    out.elementIf(4, "Telefon", key(DsKey::Utelefon));
    out.elementIf(4, "Fax", key(DsKey::Utelefax));
    out.line(3, "</Ügyintéző>");
    out.element(3, "Időpecsét", reportStamp(now));
    const std::string authorName = key(DsKey::SZnev);
    const std::string authorEmail = key(DsKey::SZemail);
    if (!authorName.empty() || !authorEmail.empty()) {
        out.line(3, "<Szerző>");
        out.elementIf(4, "Név", authorName);
        out.elementIf(4, "Email", authorEmail);
        out.line(3, "</Szerző>");
    }
    std::string company;
    appendZeroPad(company, key(DsKey::cjsz1), 2);
    appendZeroPad(company, key(DsKey::cjsz2), 2);
    appendZeroPad(company, key(DsKey::cjsz3), 6);
    const std::string adoszam = dataSheetValue(profile, DsKey::adoszam, kAdoszamCapacity);
    out.startTag(3, "Cég", {{"Cégszám", company}, {"Törzsszám", adoszam}}, "  ");
    out.element(4, "Név", key(DsKey::Cnev));
    out.line(4, "<TagoltCím>");
    out.elementIf(5, "Irsz", key(DsKey::irsz));
    out.elementIf(5, "Hely", key(DsKey::hely));
    out.elementIf(5, "Terület", key(DsKey::terulet));
    out.elementIf(5, "Jelleg", key(DsKey::jelleg));
    out.elementIf(5, "Hsz", key(DsKey::hazszam));
    out.elementIf(5, "Épület", key(DsKey::epulet));
    out.elementIf(5, "Ajtó", key(DsKey::ajto));
    out.elementIf(5, "Szint", key(DsKey::szint));
    out.line(4, "</TagoltCím>");
    out.line(3, "</Cég>");
    out.elementIf(3, "Kategória", key(DsKey::kategoria));
    out.elementIf(3, "Tárgyszó", key(DsKey::targyszo));
    out.line(2, "</KísérőAdatok>");
    out.line(1, "</Adatlap>");
}

// A row's cells, cut to the report's maximum for each or whole for recovery;
// the row's cells are found in one pass over it.
struct Cells {
    const RecordTables& tables;
    ViewKind kind;
    bool whole;
    std::array<std::string_view, kMostColumns> views{};
    void at(std::size_t row) { tables.table(kind).cellViews(row, std::span(views.data(), columnCount(kind))); }
    std::string_view operator()(std::size_t column, std::size_t max) const {
        return cut(views[column], whole ? kFieldMax : max);
    }
};

// A kind's rows as the column table lays them out: the lines around them,
// the row's attributes, then its cells in the report's order with each
// group's start tag (its attributes on it) and end tag between them.
struct RowPlan {
    struct Cell {
        std::string_view name;
        std::size_t column = 0;
        std::size_t max = 0;
        CellForm form = CellForm::Element;
    };
    enum class Op : unsigned char { OpenGroup, CloseGroup, Element };
    struct Step {
        Op op;
        std::string_view group;        // the group it opens, closes or stands in (empty: the row's own)
        Cell cell = {};                // Element
        std::size_t from = 0, to = 0;  // OpenGroup: its attributes in `attributes`
    };
    std::string sectionStart, innerStart, innerEnd, sectionEnd, rowEnd;
    std::vector<Cell> attributes;  // the row's [0, rowAttributes), then each group's
    std::size_t rowAttributes = 0;
    std::vector<Step> steps;
    std::size_t company = 0, companyMax = 0;  // the company number column, for a row that needs it whole
};

RowPlan planOf(ViewKind kind) {
    const ReportRows& frame = reportRowsOf(kind);
    auto tag = [](std::string_view open, std::string_view name) {
        std::string t(open);
        return t.append(name).append(">");
    };
    RowPlan plan;
    plan.sectionStart = tag("<", frame.section);
    plan.sectionEnd = tag("</", frame.section);
    if (!frame.inner.empty()) {
        plan.innerStart = tag("<", frame.inner);
        plan.innerEnd = tag("</", frame.inner);
    }
    plan.rowEnd = tag("</", frame.row);
    const std::span<const Column> columns = columnsOf(kind);
    std::vector<std::size_t> inOrder(columns.size());
    for (std::size_t c = 0; c < columns.size(); ++c) inOrder[static_cast<std::size_t>(columns[c].report.order)] = c;
    std::string_view group;
    for (std::size_t c : inOrder) {
        const ReportCell& r = columns[c].report;
        const RowPlan::Cell cell{r.name, c, reportLengthOf(r.length), r.form};
        if (r.group != group) {
            if (!group.empty()) plan.steps.push_back({RowPlan::Op::CloseGroup, group});
            group = r.group;
            plan.steps.push_back({RowPlan::Op::OpenGroup, group, {}, plan.attributes.size(), plan.attributes.size()});
        }
        if (r.form == CellForm::Attribute || r.form == CellForm::AttributeIfWhole) {
            plan.attributes.push_back(cell);
            if (group.empty()) ++plan.rowAttributes;
            else plan.steps.back().to = plan.attributes.size();
        } else {
            plan.steps.push_back({RowPlan::Op::Element, group, cell});
        }
    }
    if (!group.empty()) plan.steps.push_back({RowPlan::Op::CloseGroup, group});
    plan.company = columnOf(kind, ColumnRole::CompanyNumber);
    plan.companyMax = reportLengthOf(columns[plan.company].report.length);
    return plan;
}

const RowPlan& rowPlan(ViewKind kind) {
    static const PerKind<RowPlan> plans{planOf(ViewRegister), planOf(ViewInstitution), planOf(ViewAccountChange)};
    return plans[kind];
}

// A start tag with those of `cells` the row has: an attribute only at its
// whole length is left out at any other (for recovery: when empty).
using Attributes = std::array<ReportStream::Attribute, kMostColumns>;
void startTag(ReportStream& out, int tabs, std::string_view tag, std::span<const RowPlan::Cell> cells,
              const Cells& cell, Attributes& attributes) {
    assert(cells.size() <= attributes.size());
    std::size_t n = 0;
    for (const RowPlan::Cell& a : cells) {
        const std::string_view v = cell(a.column, a.max);
        if (a.form == CellForm::AttributeIfWhole && v.size() != a.max && !(cell.whole && !v.empty())) continue;
        attributes[n++] = {a.name, v};
    }
    out.startTag(tabs, tag, std::span<const ReportStream::Attribute>(attributes.data(), n));
}

// Writes a kind's rows, if it has any. Returns the index of a row without
// its whole company number where the kind needs it (unless every row is
// written whole).
std::optional<std::size_t> writeRows(ReportStream& out, const RecordTables& tables, ViewKind kind, std::size_t rows,
                                     bool whole) {
    if (rows == 0) return std::nullopt;
    const ReportRows& frame = reportRowsOf(kind);
    const RowPlan& plan = rowPlan(kind);
    const int depth = frame.inner.empty() ? 3 : 4;
    out.line(2, plan.sectionStart);
    if (!frame.inner.empty()) out.line(3, plan.innerStart);
    Cells cell{tables, kind, whole};
    const std::span<const RowPlan::Cell> attributes = plan.attributes;
    Attributes scratch;  // made once a kind: made for each tag, its views' zeroing was a tenth of the write's profile
    for (std::size_t r = 0; r < rows; ++r) {
        cell.at(r);
        if (frame.needsWholeCompany && !whole && cell(plan.company, plan.companyMax).size() < plan.companyMax) return r;
        startTag(out, depth, frame.row, attributes.first(plan.rowAttributes), cell, scratch);
        for (const RowPlan::Step& step : plan.steps) {
            switch (step.op) {
                case RowPlan::Op::OpenGroup:
                    startTag(out, depth + 1, step.group, attributes.subspan(step.from, step.to - step.from), cell,
                             scratch);
                    break;
                case RowPlan::Op::CloseGroup: out.endTag(depth + 1, step.group); break;
                case RowPlan::Op::Element: {
                    const int tabs = step.group.empty() ? depth + 1 : depth + 2;
                    const std::string_view v = cell(step.cell.column, step.cell.max);
                    if (step.cell.form == CellForm::ElementIfGiven) out.elementIf(tabs, step.cell.name, v);
                    else out.element(tabs, step.cell.name, v);
                    break;
                }
            }
        }
        out.line(depth, plan.rowEnd);
    }
    if (!frame.inner.empty()) out.line(3, plan.innerEnd);
    out.line(2, plan.sectionEnd);
    return std::nullopt;
}

}  // namespace

ReportOutcome WriteReport(const std::filesystem::path& target, const RecordTables& tables, const SettingsFile& settings,
                          const ReportOptions& options) {
    AtomicFile file(target);
    if (const int err = file.open()) return {ReportStatus::CannotOpen, 0, err};

    ReportStream out(file, options);
    const Profile read = options.profile ? Profile{} : loadProfile(settings.path());
    writeHeader(out, options.profile ? *options.profile : read, options.clock ? options.clock() : std::time(nullptr),
                options);
    out.line(1, "<VáltozásBejegyzés>");
    for (ViewKind kind : kReportOrder)
        if (auto faulty = writeRows(out, tables, kind, tables.table(kind).rowCount(), options.wholeTables))
            return {ReportStatus::FaultyRow, *faulty, 0};
    out.line(1, "</VáltozásBejegyzés>");
    out.line(0, "</PénzintézetiJelentés>");

    if (const int err = out.finish()) return {ReportStatus::WriteFailed, 0, err};
    // A target that cannot be replaced (held open, a folder, no permission)
    // is a report file that could not be created.
    if (const int err = file.replaceTarget()) return {ReportStatus::CannotOpen, 0, err};
    return {ReportStatus::Written, 0, 0};
}

}  // namespace kovirant
