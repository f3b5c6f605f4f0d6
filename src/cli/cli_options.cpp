#include "cli/cli_options.h"

#include "editing/deadline.h"
#include "text/cp1250.h"

namespace kovirant::cli {

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
        if (a == "--help" || a == "-h") {
            o.help = true;
        } else if (a == "--version") {
            o.version = true;
        } else if (a == "--verify-archive") {
            o.verifyArchive = true;
            if (i + 1 < args.size() && !args[i + 1].text.starts_with("-")) o.archive = args[++i].path;
        } else if (a == "--archive-add") {
            o.archiveAdd = true;
        } else if (a == "--no-archive") {
            o.noArchive = true;
        } else if (a == "-o" || a == "--output" || a == "--settings" || a == "--directory" || a == "--format" ||
                   a == "--date" || a == "--archive" || a == "--history" || a == "--anchors" || a == "--log" ||
                   a == "--reconcile" || a == "--accounts") {
            const Argument* v = value();
            if (v == nullptr) return fail(cp1250ToUtf8("hiányzik az érték: ") + a);
            if (a == "--log") {
                o.log = v->path;
            } else if (a == "--reconcile") {
                o.reconcile = v->path;
            } else if (a == "--accounts") {
                o.accounts = v->path;
            } else if (a == "--history") {
                o.history = v->text;
            } else if (a == "--anchors") {
                o.anchors = v->path;
            } else if (a == "--archive") {
                o.archive = v->path;
            } else if (a == "--date") {
                o.date = dayNumber(v->text);
                if (!o.date) return fail(cp1250ToUtf8("hibás dátum (ÉÉÉÉ-HH-NN): ") + v->text);
            } else if (a == "--format") {
                if (v->text == "text") o.format = Format::Text;
                else if (v->text == "json") o.format = Format::Json;
                else return fail(cp1250ToUtf8("ismeretlen formátum: ") + v->text);
            } else if (a == "--settings") {
                o.settings = v->path;
            } else if (a == "--directory") {
                o.directory = v->path;
            } else {
                o.output = v->path;
            }
        } else if (a == "--no-fill") {
            o.fill = false;
        } else if (a == "--no-learn") {
            o.learn = false;
        } else if (a == "--skip-faulty-lines") {
            o.skipFaultyLines = true;
        } else if (a == "--check") {
            o.checkOnly = true;
        } else if (a == "--strict") {
            o.strict = true;
        } else if (a.size() > 1 && a[0] == '-') {
            return fail(cp1250ToUtf8("ismeretlen kapcsoló: ") + a);
        } else {
            o.inputs.push_back(args[i].path);
        }
    }
    if (o.anchors && !o.verifyArchive) return fail(cp1250ToUtf8("az --anchors csak a --verify-archive kapcsolóval együtt használható"));
    if (o.accounts && !o.reconcile) return fail(cp1250ToUtf8("az --accounts csak a --reconcile kapcsolóval együtt használható"));
    if (o.help || o.version) return parsed;
    if (o.reconcile) {
        if (o.verifyArchive || o.history || o.archiveAdd)
            return fail(cp1250ToUtf8("a --reconcile nem használható a --verify-archive, --history, --archive-add kapcsolóval"));
        // Without a report the list is only compared; with one, inputs may come before the proposals.
        if (!o.output && !o.checkOnly && !o.inputs.empty())
            return fail(cp1250ToUtf8("a --reconcile mellett bemenő állomány csak -o vagy --check kapcsolóval adható"));
        return parsed;
    }
    if (o.verifyArchive || o.history) return parsed;
    if (o.inputs.empty()) return fail(cp1250ToUtf8("nincs bemenő állomány"));
    if (o.archiveAdd) return parsed;
    if (!o.checkOnly && !o.output) return fail(cp1250ToUtf8("adja meg a jelentés állományát (-o) vagy a --check kapcsolót"));
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
        "  --log FILE            a futás megállapításait és összesítőjét az idejével FILE végéhez is fűzi\n"
        "  --reconcile LIST      a cégjegyzék számlalistájának egyeztetése az archívum szerinti utolsó\n"
        "                        állapottal: minden eltérés és olvashatatlan sor egy megállapítás\n"
        "                        (1: eltérés vagy olvashatatlan sor); -o FILE: a javasolt sorokból\n"
        "                        a szokásos futás jelentést ír\n"
        "  --accounts FILE       a --reconcile a bank saját számlalistájával (CSV) egyeztet\n"
        "  --help, --version\n"
        "\n"
        "Kilépési kód: 0 a jelentés elkészült (--check: nincs hiba); 1 hibát talált, nem írt semmit;\n"
        "2 hibás használat (a jelentés nem írhat az archívumba); 3 egy állomány nem olvasható vagy nem\n"
        "írható, vagy egy házirend-érték nem használható.\n");
}

}  // namespace kovirant::cli
