#include "import/report_reload.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

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

class Reloader {
public:
    Reloader(RecordTables& tables, const ReloadOptions& options) : tables_(tables), options_(options) {}

    void line(std::string_view line) {
        while (!line.empty() && line.front() == '\t') line.remove_prefix(1);
        if (!line.empty() && line.back() == '\n') line.remove_suffix(1);

        if (startsWith(line, "<Törzsadatok")) { inInstitutionData_ = true; return; }
        if (startsWith(line, "</Törzsadatok")) { inInstitutionData_ = false; return; }
        if (startsWith(line, "<Cégjegyzék>")) { inRegister_ = true; return; }
        if (startsWith(line, "</Cégjegyzék>")) { inRegister_ = false; return; }
        if (startsWith(line, "<SzámlaszámVáltozás>")) { inAccountChange_ = true; return; }
        if (startsWith(line, "</SzámlaszámVáltozás>")) { inAccountChange_ = false; return; }
        if (startsWith(line, "<EredetiSzámla>")) { inOriginalAccount_ = true; return; }
        if (startsWith(line, "</EredetiSzámla>")) { inOriginalAccount_ = false; return; }
        if (startsWith(line, "</Pénzintézet>") &&
            (options_.everyRecord || !institution_[InstitutionCol::companyNumber].empty())) {
            append(ViewInstitution, institution_);
            return;
        }
        if (startsWith(line, "</CégMutató>") && (options_.everyRecord || !register_[RegisterCol::companyNumber].empty())) {
            append(ViewRegister, register_);
            return;
        }
        if (startsWith(line, "</Tulajdonos>")) {
            append(ViewAccountChange, accountChange_);
            return;
        }
        if (institutionStart(line)) return;
        if (inInstitutionData_ && institutionField(line)) return;
        if (registerStart(line)) return;
        if (inRegister_ && registerField(line)) return;
        if (ownerStart(line)) return;
        if (inAccountChange_) accountChangeField(line);
    }

    std::size_t appended() const { return appended_; }
    // The file line of the next line() call.
    void at(long long fileLine) { line_ = fileLine; }

private:
    template <std::size_t N>
    void append(ViewKind kind, std::array<std::string, N>& record) {
        tables_.appendRow(kind, record);
        if (std::vector<std::uint32_t>* lines = options_.rowLines[kind])
            lines->push_back(static_cast<std::uint32_t>(start_[kind]));
        ++appended_;
        clearAll(record);
    }

    bool institutionStart(std::string_view line) {
        if (!startsWith(line, "<Pénzintézet ")) return false;
        clearAll(institution_);  // every record starts empty
        start_[ViewInstitution] = line_;
        Scanner s(line);
        if (!s.literal("<Pénzintézet Cégszám=\"")) return false;
        s.attribute(institution_[InstitutionCol::companyNumber]);
        if (!s.literal("\" Törzsszám=\"")) return false;
        s.attribute(institution_[InstitutionCol::taxBaseNumber]);
        if (!s.literal("\" kód=\"")) return false;
        s.attribute(institution_[InstitutionCol::operationCode]);
        return true;
    }

    bool institutionField(std::string_view line) {
        using namespace InstitutionCol;
        return wordElement(line, "<Számjel>", institution_[codeNumber]) ||
               textElement(line, "<Név>", institution_[name]) ||
               wordElement(line, "<Irsz>", institution_[postalCode]) ||
               textElement(line, "<Hely>", institution_[place]) ||
               textElement(line, "<Terület>", institution_[area]) ||
               textElement(line, "<Jelleg>", institution_[areaType]) ||
               textElement(line, "<Hsz>", institution_[houseNumber]) ||
               textElement(line, "<Épület>", institution_[building]) ||
               textElement(line, "<Ajtó>", institution_[door]);
    }

    bool registerStart(std::string_view line) {
        if (!startsWith(line, "<CégMutató ")) return false;
        clearAll(register_);
        start_[ViewRegister] = line_;
        Scanner s(line);
        if (!s.literal("<CégMutató Cégszám=\"")) return false;
        s.attribute(register_[RegisterCol::companyNumber]);
        if (!s.literal("\" Törzsszám=\"")) return false;
        s.attribute(register_[RegisterCol::taxBaseNumber]);
        return true;
    }

    bool registerField(std::string_view line) {
        using namespace RegisterCol;
        Scanner s(line);
        if (s.literal("<Számlaszám kód=\"")) {
            s.attribute(register_[accountCode]);
            return true;
        }
        return wordElement(line, "<Jelzőszám>", register_[accountNumber]) ||
               wordElement(line, "<Nyitás>", register_[openingDate]) ||
               wordElement(line, "<Zárás>", register_[closingDate]);
    }

    bool ownerStart(std::string_view line) {
        if (!startsWith(line, "<Tulajdonos ")) return false;
        clearAll(accountChange_);
        start_[ViewAccountChange] = line_;
        Scanner s(line);
        if (!s.literal("<Tulajdonos Törzsszám=\"")) return false;
        s.attribute(accountChange_[AccountChangeCol::taxBaseNumber]);
        if (!s.literal("\" Cégszám=\"")) return false;
        s.attribute(accountChange_[AccountChangeCol::companyNumber]);
        return true;
    }

    void accountChangeField(std::string_view line) {
        using namespace AccountChangeCol;
        const bool original = inOriginalAccount_;
        wordElement(line, "<Jelzőszám>", accountChange_[original ? originalAccountNumber : newAccountNumber]) ||
            wordElement(line, "<Nyitás>", accountChange_[original ? originalOpeningDate : newOpeningDate]) ||
            wordElement(line, "<Zárás>", accountChange_[original ? originalClosingDate : newClosingDate]);
    }

    RecordTables& tables_;
    const ReloadOptions options_;
    RegisterEntry register_;
    InstitutionEntry institution_;
    AccountChangeEntry accountChange_;
    bool inInstitutionData_ = false;
    bool inRegister_ = false;
    bool inAccountChange_ = false;
    bool inOriginalAccount_ = false;
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

template <class Reader>
ReloadOutcome reloadFrom(Reader& reader, RecordTables& tables, const ReloadOptions& options) {
    Reloader reloader(tables, options);
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
    return reloadFrom(reader, tables, options);
}

ReloadOutcome ReloadReportBytes(std::string_view bytes, RecordTables& tables, const ReloadOptions& options) {
    BytesLineReader reader(bytes);
    return reloadFrom(reader, tables, options);
}

}  // namespace kovirant
