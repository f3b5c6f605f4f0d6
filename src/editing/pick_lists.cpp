#include "editing/pick_lists.h"

namespace kovirant {
namespace {

constexpr std::string_view kCodes[] = {"Bejegyzés", "Módosítás", "Törlés", "HibásAdat", "Egyeztetés"};

constexpr std::string_view kStreetTypes[] = {
    "",           "akna",        "alsó rakpart", "alsósor",    "bejáró",     "bokor",       "domb",
    "dűlő",       "fasor",       "felső rakpart", "felsősor",  "főtér",      "főút",        "határ",
    "határsor",   "határút",     "hegy",         "híd",        "járandó",    "járás",       "kapu",
    "kert",       "kerület",     "kis híd",      "kolónia",    "környék",    "körtér",      "körzet",
    "körönd",     "körút",       "köz",          "középső sor", "lakónegyed", "lakópark",   "lakótelep",
    "legelő",     "lejtő",       "lejáró",       "liget",      "lépcső",     "major",       "mélyút",
    "nagy híd",   "negyed",      "oldal",        "park",       "part",       "pincesor",    "puszta",
    "rakpart",    "sikátor",     "sor",          "sugárút",    "szektor",    "sziget",      "szél",
    "szőlő",      "sétány",      "tag",          "tanya",      "telep",      "település",   "tere",
    "tető",       "tér",         "tömb",         "tömbbelső",  "udvar",      "utca",        "utcája",
    "útfél",      "villasor",    "vár",          "várkert",    "város",      "városrész",   "völgy",
    "zug",        "árok",        "ártér",        "átjáró",     "épület",     "új sor",      "újtelep",
    "út",         "útfél",       "úti",          "útja",       "üdülőtelep",
};
static_assert(std::size(kStreetTypes) == 89);

constexpr std::string_view kFloors[] = {
    "",
    "-1. emelet", "-2. emelet", "-3. emelet", "-4. emelet", "-5. emelet", "1. emelet", "1.5 emelet",
    "10. emelet", "11. emelet", "12. emelet", "13. emelet", "14. emelet", "15. emelet", "16. emelet",
    "17. emelet", "18. emelet", "19. emelet", "2. emelet", "2.5 emelet", "2. emelet + tetőtér",
    "20-21. emelet", "20. emelet", "21. emelet", "22. emelet", "23. emelet", "3. emelet", "3.5 emelet",
    "4. emelet", "4.5 emelet", "5. emelet", "5.5 emelet", "6. emelet", "6.5 emelet", "7. emelet",
    "8. emelet", "9. emelet", "alagsor", "alagsor + fszt.", "alsó tetőszint", "emelet",
    "emelet + tetőtér", "felső tetőszint", "fogadószint", "fszt. + alagsor", "fszt. + tetőtér",
    "fszt. + 1. em.", "félemelet", "földszint", "fszt.", "kertszint", "kétszintes", "magasföldszint",
    "manzárd", "melléképület", "mélyföldszint", "mélygarázsszint", "padlás", "padlásszint",
    "padlástér", "pince", "pince és fszt.", "pinceszint", "szuterén", "tetőszint", "tetőtér + galéria",
    "tetőtér + padlás", "udvar", "udvari szárny", "utcaszint", "utcafronti", "épület",
};
static_assert(std::size(kFloors) == 72);

}  // namespace

std::span<const std::string_view> CodeList() { return kCodes; }
std::span<const std::string_view> StreetTypeList() { return kStreetTypes; }
std::span<const std::string_view> FloorList() { return kFloors; }

std::optional<int> lastEqualEntry(std::span<const std::string_view> list, std::string_view text) {
    std::optional<int> found;
    for (std::size_t i = 0; i < list.size(); ++i)
        if (list[i] == text) found = static_cast<int>(i);
    return found;
}

}  // namespace kovirant
