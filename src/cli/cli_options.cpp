#include "cli/cli_options.h"

#include "editing/deadline.h"
#include "text/cp1250.h"

namespace kovirant::cli {

namespace {

// The switches that only set a flag, and those that take a path or a text.
struct FlagSwitch {
    std::string_view name;
    bool Options::*flag;
    bool value;
};
constexpr FlagSwitch kFlags[] = {
    {"--help", &Options::help, true},          {"-h", &Options::help, true},
    {"--version", &Options::version, true},    {"--archive-add", &Options::archiveAdd, true},
    {"--archive-status", &Options::archiveStatus, true}, {"--no-archive", &Options::noArchive, true},
    {"--no-fill", &Options::fill, false},      {"--no-learn", &Options::learn, false},
    {"--skip-faulty-lines", &Options::skipFaultyLines, true}, {"--check", &Options::checkOnly, true},
    {"--strict", &Options::strict, true},
};
struct PathSwitch {
    std::string_view name;
    std::optional<std::filesystem::path> Options::*path;
};
constexpr PathSwitch kPaths[] = {
    {"-o", &Options::output},       {"--output", &Options::output},   {"--settings", &Options::settings},
    {"--directory", &Options::directory}, {"--archive", &Options::archive}, {"--anchors", &Options::anchors},
    {"--log", &Options::log},       {"--reconcile", &Options::reconcile}, {"--accounts", &Options::accounts},
};
struct TextSwitch {
    std::string_view name;
    std::optional<std::string> Options::*text;
};
constexpr TextSwitch kTexts[] = {
    {"--history", &Options::history}, {"--approve", &Options::approve}, {"--return", &Options::returnReport},
    {"--mark-sent", &Options::markSent}, {"--reason", &Options::reason}, {"--at", &Options::at},
    {"--note", &Options::note},
};

template <class Switch, std::size_t N>
const Switch* named(const Switch (&table)[N], std::string_view a) {
    for (const Switch& s : table)
        if (s.name == a) return &s;
    return nullptr;
}

// What is wrong with the switches taken together (UTF-8), or nothing.
std::string combinationFault(const Options& o) {
    if (o.anchors && !o.verifyArchive) return cp1250ToUtf8("az --anchors csak a --verify-archive kapcsolóval együtt használható");
    if (o.accounts && !o.reconcile) return cp1250ToUtf8("az --accounts csak a --reconcile kapcsolóval együtt használható");
    if (o.reason && !o.returnReport) return cp1250ToUtf8("a --reason csak a --return kapcsolóval együtt használható");
    if (o.at && !o.markSent) return cp1250ToUtf8("az --at csak a --mark-sent kapcsolóval együtt használható");
    if ((o.note || o.accepted) && !o.receiptFor)
        return cp1250ToUtf8("a --note, --accepted, --refused csak a --receipt kapcsolóval együtt használható");
    if (o.help || o.version) return {};
    const int steps = (o.approve ? 1 : 0) + (o.returnReport ? 1 : 0) + (o.markSent ? 1 : 0) + (o.receiptFor ? 1 : 0) +
                      (o.archiveStatus ? 1 : 0);
    if (steps > 0) {
        if (steps > 1 || o.verifyArchive || o.history || o.archiveAdd || o.reconcile || o.output || o.checkOnly ||
            !o.inputs.empty())
            return cp1250ToUtf8("az --approve, --return, --mark-sent, --receipt, --archive-status egyedül adható meg");
        if (o.returnReport && (!o.reason || o.reason->empty()))
            return cp1250ToUtf8("a --return mellé adja meg a visszaadás okát (--reason)");
        if (o.receiptFor && !o.accepted) return cp1250ToUtf8("a --receipt mellé adja meg: --accepted vagy --refused");
        return {};
    }
    if (o.reconcile) {
        if (o.verifyArchive || o.history || o.archiveAdd)
            return cp1250ToUtf8("a --reconcile nem használható a --verify-archive, --history, --archive-add kapcsolóval");
        // Without a report the list is only compared; with one, inputs may come before the proposals.
        if (!o.output && !o.checkOnly && !o.inputs.empty())
            return cp1250ToUtf8("a --reconcile mellett bemenő állomány csak -o vagy --check kapcsolóval adható");
        return {};
    }
    if (o.verifyArchive || o.history) return {};
    if (o.inputs.empty()) return cp1250ToUtf8("nincs bemenő állomány");
    if (o.archiveAdd) return {};
    if (!o.checkOnly && !o.output) return cp1250ToUtf8("adja meg a jelentés állományát (-o) vagy a --check kapcsolót");
    return {};
}

}  // namespace

ParsedOptions parseOptions(const std::vector<Argument>& args) {
    ParsedOptions parsed;
    Options& o = parsed.options;
    auto fail = [&](std::string why) {
        parsed.error = std::move(why);
        return parsed;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i].text;
        auto value = [&]() -> const Argument* { return i + 1 < args.size() ? &args[++i] : nullptr; };
        if (const FlagSwitch* f = named(kFlags, a)) {
            o.*(f->flag) = f->value;
        } else if (const PathSwitch* p = named(kPaths, a)) {
            const Argument* v = value();
            if (v == nullptr) return fail(cp1250ToUtf8("hiányzik az érték: ") + a);
            o.*(p->path) = v->path;
        } else if (const TextSwitch* t = named(kTexts, a)) {
            const Argument* v = value();
            if (v == nullptr) return fail(cp1250ToUtf8("hiányzik az érték: ") + a);
            o.*(t->text) = v->text;
        } else if (a == "--verify-archive") {
            o.verifyArchive = true;
            if (i + 1 < args.size() && !args[i + 1].text.starts_with("-")) o.archive = args[++i].path;
        } else if (a == "--accepted" || a == "--refused") {
            if (o.accepted) return fail(cp1250ToUtf8("az --accepted és a --refused közül csak egy adható meg"));
            o.accepted = a == "--accepted";
        } else if (a == "--receipt") {
            const Argument* prefix = value();
            const Argument* file = value();
            if (file == nullptr) return fail(cp1250ToUtf8("a --receipt után a jelentés SHA-256-ja és a tértivevény állománya kell"));
            o.receiptFor = prefix->text;
            o.receipt = file->path;
        } else if (a == "--date" || a == "--format") {
            const Argument* v = value();
            if (v == nullptr) return fail(cp1250ToUtf8("hiányzik az érték: ") + a);
            if (a == "--date") {
                o.date = dayNumber(v->text);
                if (!o.date) return fail(cp1250ToUtf8("hibás dátum (ÉÉÉÉ-HH-NN): ") + v->text);
            } else if (v->text == "text") {
                o.format = Format::Text;
            } else if (v->text == "json") {
                o.format = Format::Json;
            } else {
                return fail(cp1250ToUtf8("ismeretlen formátum: ") + v->text);
            }
        } else if (a.size() > 1 && a[0] == '-') {
            return fail(cp1250ToUtf8("ismeretlen kapcsoló: ") + a);
        } else {
            o.inputs.push_back(args[i].path);
        }
    }
    parsed.error = combinationFault(o);
    return parsed;
}

std::string usageText() {
    return cp1250ToUtf8(
        "Használat: kovirant-cli [kapcsolók] BEMENET...\n"
        "  BEMENET               APEH protokoll állományok és korábbi jelentések a megadott sorrendben,\n"
        "                        mindegyik hozzáfűzve (a \"<?xml\" kezdetű állomány jelentés, más APEH protokoll)\n"
        "  -o, --output FILE     a jelentést ide írja (a régit csak a teljes jelentés váltja fel)\n"
        "  --settings FILE       az adatlapot tartalmazó beállítási állomány\n"
        "                        (alapértelmezés: Kovirant.ini a jelenlegi mappában)\n"
        "  --directory FILE      a cégtár (alapértelmezés: Cegtar.csv a beállítási állomány mellett)\n"
        "  --no-fill             nem tölti ki a cégszámokat a cégtárból\n"
        "  --no-learn            a megírt jelentésből nem tanul a cégtár\n"
        "  --skip-faulty-lines   átlépi a protokoll minden sorát, amelyre az ablakos program rákérdezne\n"
        "                        (alapértelmezés: ott megáll)\n"
        "  --check               csak ellenőriz, nem ír semmit\n"
        "  --format text|json    a megállapítások formája a szabványos kimeneten (alapértelmezés: text)\n"
        "  --strict              a figyelmeztetések is hibának számítanak\n"
        "  --date ÉÉÉÉ-HH-NN     a bejelentési határidőt ehhez a naphoz méri (alapértelmezés: a mai nap)\n"
        "  --archive DIR         az archívum mappája (alapértelmezés: a házirend Archivum értéke,\n"
        "                        különben Archivum a beállítási állomány mellett)\n"
        "  --no-archive          a megírt jelentést nem archiválja (próbafuttatáshoz)\n"
        "  --verify-archive [DIR] az archívum ellenőrzése: minden másolat és a napló lánca\n"
        "  --anchors FILE        a --verify-archive a láncot a rendszernaplóból (eseménynapló, syslog)\n"
        "                        kimentett horgonyokkal is összeveti (soronként egy SHA-256)\n"
        "  --archive-add FILE... korábban írt jelentések felvétele az archívumba (a saját időbélyegükkel)\n"
        "  --history SZÁM        a számlaszám vagy törzsszám minden archivált sora, a legrégebbivel kezdve\n"
        "                        (1: nincs találat)\n"
        "  --approve SHA256      a jóváhagyásra váró jelentés jóváhagyása (legalább 8 hexadecimális\n"
        "                        számjegy, amely egyetlen jelentést nevez meg; nem a készítője adhatja)\n"
        "  --return SHA256 --reason SZÖVEG  a jóváhagyásra váró jelentés visszaadása az okával\n"
        "  --mark-sent SHA256 [--at \"ÉÉÉÉ-HH-NN ÓÓ:PP\"]  a jelentés elküldöttnek jelölése (most vagy akkor)\n"
        "  --receipt SHA256 FILE --accepted|--refused [--note SZÖVEG]  a cégnyilvántartás tértivevénye:\n"
        "                        az archívumba másolja a jelentés mellé, az állapot elfogadva vagy elutasítva\n"
        "  --archive-status      minden még el nem fogadott jelentés állapota és kora, a legrégebbivel\n"
        "                        kezdve (--format json is; 1: van késésben lévő)\n"
        "  --log FILE            a futás megállapításait és összesítőjét az idejével FILE végéhez is fűzi\n"
        "  --reconcile LIST      a cégjegyzék számlalistájának egyeztetése az archívum szerinti utolsó\n"
        "                        állapottal: minden eltérés és olvashatatlan sor egy megállapítás\n"
        "                        (1: eltérés vagy olvashatatlan sor); -o FILE: a javasolt sorokból\n"
        "                        a szokásos futás jelentést ír\n"
        "  --accounts FILE       a --reconcile a bank saját számlalistájával (CSV) egyeztet\n"
        "  --help, --version\n"
        "\n"
        "Kilépési kód: 0 a jelentés elkészült (--check: nincs hiba); 1 hibát talált, nem írt semmit;\n"
        "2 hibás használat (a jelentés nem írhat az archívumba; az SHA-256 eleje egyetlen jelentést sem\n"
        "vagy többet nevez meg); 3 egy állomány nem olvasható vagy nem\n"
        "írható, vagy egy házirend-érték nem használható.\n");
}

}  // namespace kovirant::cli
