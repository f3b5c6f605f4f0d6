#include "report/report_writer.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
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

// A cell of a row cut to the report's maximum for it, or whole for recovery;
// the row's cells are found in one pass over it.
struct Cells {
    const RecordTables& tables;
    ViewKind kind;
    bool whole;
    std::array<std::string_view, InstitutionCol::count> views{};  // the widest row
    void at(std::size_t row) { tables.table(kind).cellViews(row, std::span(views.data(), columnCount(kind))); }
    std::string_view operator()(std::size_t column, std::size_t max) const {
        return cut(views[column], whole ? kFieldMax : max);
    }
    // The report's name for the column.
    std::string_view name(std::size_t column) const { return columns[column].element; }
    std::span<const Column> columns = columnsOf(kind);
};

void writeInstitutions(ReportStream& out, const RecordTables& tables, std::size_t rows, bool whole) {
    if (rows == 0) return;
    out.line(2, "<Cégnyilvántartás>");
    out.line(3, "<Törzsadatok>");
    Cells cell{tables, ViewInstitution, whole};
    for (std::size_t r = 0; r < rows; ++r) {
        cell.at(r);
        out.startTag(4, "Pénzintézet",
                     {{cell.name(InstitutionCol::companyNumber), cell(InstitutionCol::companyNumber, kCompanyNumberLength)},
                      {cell.name(InstitutionCol::taxBaseNumber), cell(InstitutionCol::taxBaseNumber, kTaxBaseLength)},
                      {cell.name(InstitutionCol::operationCode), cell(InstitutionCol::operationCode, kFieldMax)}});
        out.element(5, cell.name(InstitutionCol::codeNumber), cell(InstitutionCol::codeNumber, kFieldMax));
        out.element(5, cell.name(InstitutionCol::name), cell(InstitutionCol::name, kFieldMax));
        out.line(5, "<TagoltCím>");
        out.element(6, cell.name(InstitutionCol::postalCode), cell(InstitutionCol::postalCode, kPostalCodeLength));
        out.element(6, cell.name(InstitutionCol::place), cell(InstitutionCol::place, kFieldMax));
        out.elementIf(6, cell.name(InstitutionCol::area), cell(InstitutionCol::area, kFieldMax));
        out.elementIf(6, cell.name(InstitutionCol::areaType), cell(InstitutionCol::areaType, kFieldMax));
        out.elementIf(6, cell.name(InstitutionCol::houseNumber), cell(InstitutionCol::houseNumber, kAddressPartLength));
        out.elementIf(6, cell.name(InstitutionCol::building), cell(InstitutionCol::building, kAddressPartLength));
        out.elementIf(6, cell.name(InstitutionCol::door), cell(InstitutionCol::door, kAddressPartLength));
        out.line(5, "</TagoltCím>");
        out.line(4, "</Pénzintézet>");
    }
    out.line(3, "</Törzsadatok>");
    out.line(2, "</Cégnyilvántartás>");
}

// An account's number, opening date (also when empty) and closing date
// (only when given), one tab deeper than its parent element: the three
// columns from `account` on.
static_assert(RegisterCol::openingDate == RegisterCol::accountNumber + 1 && RegisterCol::closingDate == RegisterCol::accountNumber + 2);
static_assert(AccountChangeCol::originalClosingDate == AccountChangeCol::originalAccountNumber + 2 &&
              AccountChangeCol::newClosingDate == AccountChangeCol::newAccountNumber + 2);
void writeAccount(ReportStream& out, int tabs, const Cells& cell, std::size_t account) {
    out.element(tabs, cell.name(account), cell(account, kAccountNumberLength));
    out.element(tabs, cell.name(account + 1), cell(account + 1, kDateLength));
    out.elementIf(tabs, cell.name(account + 2), cell(account + 2, kDateLength));
}

// Returns the index of a register row without a 10-character company number
// (unless every row is written whole).
std::optional<std::size_t> writeRegister(ReportStream& out, const RecordTables& tables, std::size_t rows, bool whole) {
    if (rows == 0) return std::nullopt;
    out.line(2, "<Cégjegyzék>");
    Cells cell{tables, ViewRegister, whole};
    for (std::size_t r = 0; r < rows; ++r) {
        cell.at(r);
        const std::string_view company = cell(RegisterCol::companyNumber, kCompanyNumberLength);
        if (company.size() < kCompanyNumberLength && !whole) return r;
        out.startTag(3, "CégMutató",
                     {{cell.name(RegisterCol::companyNumber), company},
                      {cell.name(RegisterCol::taxBaseNumber), cell(RegisterCol::taxBaseNumber, kTaxBaseLength)}});
        out.startTag(4, "Számlaszám", {{cell.name(RegisterCol::accountCode), cell(RegisterCol::accountCode, kFieldMax)}});
        writeAccount(out, 5, cell, RegisterCol::accountNumber);
        out.line(4, "</Számlaszám>");
        out.line(3, "</CégMutató>");
    }
    out.line(2, "</Cégjegyzék>");
    return std::nullopt;
}

void writeAccountChanges(ReportStream& out, const RecordTables& tables, std::size_t rows, bool whole) {
    if (rows == 0) return;
    out.line(2, "<SzámlaszámVáltozás>");
    Cells cell{tables, ViewAccountChange, whole};
    for (std::size_t r = 0; r < rows; ++r) {
        cell.at(r);
        const std::string_view company = cell(AccountChangeCol::companyNumber, kCompanyNumberLength);
        const std::string_view tax = cell(AccountChangeCol::taxBaseNumber, kTaxBaseLength);
        const std::string_view taxName = cell.name(AccountChangeCol::taxBaseNumber);
        if (company.size() == kCompanyNumberLength || (whole && !company.empty()))
            out.startTag(3, "Tulajdonos", {{taxName, tax}, {cell.name(AccountChangeCol::companyNumber), company}});
        else out.startTag(3, "Tulajdonos", {{taxName, tax}});
        out.line(4, "<EredetiSzámla>");
        writeAccount(out, 5, cell, AccountChangeCol::originalAccountNumber);
        out.line(4, "</EredetiSzámla>");
        out.line(4, "<ÚjSzámla>");
        writeAccount(out, 5, cell, AccountChangeCol::newAccountNumber);
        out.line(4, "</ÚjSzámla>");
        out.line(3, "</Tulajdonos>");
    }
    out.line(2, "</SzámlaszámVáltozás>");
}

}  // namespace

ReportOutcome WriteReport(const std::filesystem::path& target, const RecordTables& tables, const SettingsFile& settings,
                          const ReportOptions& options) {
    const std::size_t registerRows = tables.table(ViewRegister).rowCount();
    const std::size_t institutionRows = tables.table(ViewInstitution).rowCount();
    const std::size_t accountChangeRows = tables.table(ViewAccountChange).rowCount();

    AtomicFile file(target);
    if (const int err = file.open()) return {ReportStatus::CannotOpen, 0, err};

    ReportStream out(file, options);
    const Profile read = options.profile ? Profile{} : loadProfile(settings.path());
    writeHeader(out, options.profile ? *options.profile : read, options.clock ? options.clock() : std::time(nullptr),
                options);
    out.line(1, "<VáltozásBejegyzés>");
    writeInstitutions(out, tables, institutionRows, options.wholeTables);
    if (auto faulty = writeRegister(out, tables, registerRows, options.wholeTables))
        return {ReportStatus::FaultyRow, *faulty, 0};
    writeAccountChanges(out, tables, accountChangeRows, options.wholeTables);
    out.line(1, "</VáltozásBejegyzés>");
    out.line(0, "</PénzintézetiJelentés>");

    if (const int err = out.finish()) return {ReportStatus::WriteFailed, 0, err};
    // A target that cannot be replaced (held open, a folder, no permission)
    // is a report file that could not be created.
    if (const int err = file.replaceTarget()) return {ReportStatus::CannotOpen, 0, err};
    return {ReportStatus::Written, 0, 0};
}

}  // namespace kovirant
