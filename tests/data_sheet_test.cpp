#include <gtest/gtest.h>

#include "report/data_sheet.h"
#include "text/format.h"
#include "test_support.h"

using namespace kovirant;

namespace {

DataSheetForm validForm() {
    DataSheetForm f;
    f.cim = "Pénzintézeti jelentés";
    f.targy = "Tárgy";
    f.Uemail = "ugyintezo@bank.hu";
    f.cjsz1 = "1";
    f.cjsz2 = "10";
    f.cjsz3 = "1234";
    f.adoszam = "01234567";
    f.Cnev = "Próba Bank Zrt.";
    f.irsz = "1051";
    f.hely = "Budapest";
    f.terulet = "Nádor";
    f.hazszam = "16";
    f.kategoria = "Kötelezettség";
    f.jelleg = 68;  // "utca"
    return f;
}

}  // namespace

TEST(DataSheet, OpeningWithoutSettingsFileShowsTheDefaults) {
    auto dir = freshTempDir("ds-open");
    DataSheetForm f = openDataSheet(SettingsFile(dir / "Kovirant.ini"));
    EXPECT_EQ(f.cim, "Pénzintézeti jelentés");
    EXPECT_EQ(f.targy, "Cégek pénzforgalmi számlaszám változásainak jelentése");
    EXPECT_EQ(f.kategoria, "Kötelezettség");
    EXPECT_EQ(f.Cnev, "");
    EXPECT_FALSE(f.jelleg.has_value());
    EXPECT_FALSE(f.szint.has_value());
}

TEST(DataSheet, OpeningShowsLongTextsWholeAndSelectsTheLastEqualEntry) {
    auto dir = freshTempDir("ds-open2");
    writeFile(dir / "Kovirant.ini", "[ADATLAP]\nhazszam=" + std::string(40, '7') + "\njelleg=útfél\nszint=fszt.\n"
                                    "cjsz1=junk\n");
    DataSheetForm f = openDataSheet(SettingsFile(dir / "Kovirant.ini"));
    EXPECT_EQ(f.hazszam, std::string(40, '7'));
    EXPECT_EQ(f.jelleg, 85);
    EXPECT_EQ(f.szint, 49);
    EXPECT_EQ(f.cjsz1, "junk");
    writeFile(dir / "Kovirant.ini", "[ADATLAP]\njelleg=Utca\nszint=\n");
    f = openDataSheet(SettingsFile(dir / "Kovirant.ini"));
    EXPECT_FALSE(f.jelleg.has_value());
    EXPECT_FALSE(f.szint.has_value());
}

TEST(DataSheet, EveryTestInItsOrder) {
    struct Step {
        std::function<void(DataSheetForm&)> change;
        const char* expected;
    };
    const Step steps[] = {
        {[](DataSheetForm&) {}, "Hibás cégszám (területi kód)"},
        {[](DataSheetForm& f) { f.cjsz1 = "21"; }, "Hibás cégszám (területi kód)"},
        {[](DataSheetForm& f) { f.cjsz1 = "1"; }, "Hibás cégszám (cégforma kód)"},
        {[](DataSheetForm& f) { f.cjsz2 = "19"; }, "Hibás cégszám (cégforma kód)"},
        {[](DataSheetForm& f) { f.cjsz2 = "18"; }, "Hibás törzsszám!"},
        {[](DataSheetForm& f) { f.adoszam = "00000007"; }, "Hibás törzsszám!"},
        {[](DataSheetForm& f) { f.adoszam = "00000008"; }, "Hiányzó név!"},
        {[](DataSheetForm& f) { f.Cnev = "Bank"; }, "Hiányzó irányítószám!"},
        {[](DataSheetForm& f) { f.irsz = "1"; }, "Hiányzó helységnév!"},
        {[](DataSheetForm& f) { f.hely = "Győr"; }, "Hiányzó területnév!"},
        {[](DataSheetForm& f) { f.terulet = "Fő"; }, "Hiányzik a terület jellege!"},
        {[](DataSheetForm& f) { f.jelleg = 0; }, "Hiányzik a terület jellege!"},
        {[](DataSheetForm& f) { f.jelleg = 1; }, "Hiányzó házszám!"},
        {[](DataSheetForm& f) { f.hazszam = "1"; }, "Hiányzik az ügyintéző email címe!"},
        {[](DataSheetForm& f) { f.Uemail = "a@b"; f.SZnev = "Szerző"; }, "Hiányzik az ügyintéző email címe!"},
        {[](DataSheetForm& f) { f.SZnev = ""; f.SZemail = "sz@b"; }, "Hiányzik az ügyintéző neve!"},
        {[](DataSheetForm& f) { f.SZnev = "Szerző"; }, ""},
    };
    DataSheetForm f;
    int n = 0;
    for (const Step& s : steps) {
        s.change(f);
        auto m = checkDataSheet(f, 20, 18);
        if (*s.expected == '\0') {
            EXPECT_FALSE(m.has_value()) << n;
        } else {
            ASSERT_TRUE(m.has_value()) << n;
            EXPECT_EQ(m->text, s.expected) << n;
            EXPECT_EQ(m->caption, "Hiba");
        }
        ++n;
    }
}

TEST(DataSheet, FirstSaveCreatesTheSectionWithAll23KeysInOrder) {
    auto dir = freshTempDir("ds-save");
    SettingsFile settings(dir / "Kovirant.ini");
    DataSheetForm f = validForm();
    f.hazszam = "12345678901234";  // only 10 characters are stored
    DataSheetSaveResult r = saveDataSheet(f, settings, 20, 18);
    ASSERT_TRUE(r.saved());
    EXPECT_EQ(readFile(settings.path()),
              "[ADATLAP]\r\ncim=Pénzintézeti jelentés\r\ntargy=Tárgy\r\nUnev=\r\nUemail=ugyintezo@bank.hu\r\n"
              "Utelefon=\r\nUtelefax=\r\nSZnev=\r\nSZemail=\r\ncjsz1=01\r\ncjsz2=10\r\ncjsz3=001234\r\n"
              "adoszam=01234567\r\nCnev=Próba Bank Zrt.\r\nirsz=1051\r\nhely=Budapest\r\nterulet=Nádor\r\n"
              "hazszam=1234567890\r\nepulet=\r\najto=\r\nkategoria=Kötelezettség\r\ntargyszo=\r\njelleg=utca\r\n"
              "szint=\r\n");
    // Reopening shows the saved values and selections.
    DataSheetForm back = openDataSheet(settings);
    EXPECT_EQ(back.cjsz3, "001234");
    EXPECT_EQ(back.jelleg, 68);
}

TEST(DataSheet, AFailedTestWritesNothingAndAFailedWriteGivesTheCode) {
    auto dir = freshTempDir("ds-fail");
    SettingsFile settings(dir / "Kovirant.ini");
    writeFile(settings.path(), "[ADATLAP]\nUnev=old\n");
    DataSheetForm f = validForm();
    f.Unev = "new";
    f.SZemail = "author@bank.hu";  // without a name
    DataSheetSaveResult r = saveDataSheet(f, settings, 20, 18);
    EXPECT_FALSE(r.saved());
    EXPECT_EQ(r.message->text, "Hiányzik az ügyintéző neve!");
    EXPECT_EQ(readFile(settings.path()), "[ADATLAP]\nUnev=old\n");

    SettingsFile nowhere(dir / "missing" / "Kovirant.ini");
    r = saveDataSheet(validForm(), nowhere, 20, 18);
    EXPECT_FALSE(r.saved());
    const std::string prefix =
        "Nem sikerült az adatlapot menteni. Ellenőrizze hogy az a könyvtár ahol az kovirant program van, nem "
        "írásvédett-e! Hibakód=";
    ASSERT_EQ(r.message->text.substr(0, prefix.size()), prefix);
    EXPECT_NE(r.message->text.substr(prefix.size()), "0");
}

TEST(DataSheet, SavingKeepsOtherSectionsAndLines) {
    auto dir = freshTempDir("ds-keep");
    SettingsFile settings(dir / "Kovirant.ini");
    writeFile(settings.path(), "[GENERAL]\r\nmaxtk=20\r\n; comment\r\n[ADATLAP]\r\ncim=old\r\n");
    ASSERT_TRUE(saveDataSheet(validForm(), settings, 20, 18).saved());
    const std::string text = readFile(settings.path());
    EXPECT_EQ(text.rfind("[GENERAL]\r\nmaxtk=20\r\n; comment\r\n[ADATLAP]\r\n", 0), 0u);
    EXPECT_NE(text.find("cim=Pénzintézeti jelentés\r\ntargy="), std::string::npos);
}

// Every key of the master list: a missing file gives its default, a save
// stores it in its form, and reopening gives back what was saved.
TEST(DataSheet, EveryKeyDefaultsStoresAndRoundTrips) {
    auto dir = freshTempDir("ds-every-key");
    const SettingsFile settings(dir / "Kovirant.ini");
    const DataSheetForm defaults = openDataSheet(settings);
    DataSheetForm f = validForm();
    f.szint = 3;
    for (const DataSheetKey& k : DataSheetKeys()) {
        if (k.storage == DsStorage::ListEntry) {
            EXPECT_FALSE((defaults.*k.entry).has_value()) << k.key;
        } else {
            EXPECT_EQ(defaults.*k.text, k.defaultValue) << k.key;
            if (k.storage == DsStorage::Text && (f.*k.text).empty()) f.*k.text = "v_" + std::string(k.key);
        }
    }
    f.SZemail = "szerzo@bank.hu";
    ASSERT_TRUE(saveDataSheet(f, settings, 20, 18).saved());
    const Profile stored = loadProfile(settings.path());
    for (const DataSheetKey& k : DataSheetKeys()) {
        std::string expected;
        switch (k.storage) {
            case DsStorage::Text: expected = f.*k.text; break;
            case DsStorage::Number: expected = zeroPadNumber(readNumber(f.*k.text), k.limit); break;
            case DsStorage::ListEntry: expected = std::string(k.entries()[static_cast<std::size_t>(*(f.*k.entry))]); break;
        }
        EXPECT_EQ(profileValue(stored, kSectionDataSheet, k.key, "?", kDataSheetCapacity), expected) << k.key;
    }
    const DataSheetForm back = openDataSheet(settings);
    for (const DataSheetKey& k : DataSheetKeys()) {
        if (k.storage == DsStorage::ListEntry) {
            EXPECT_EQ(back.*k.entry, f.*k.entry) << k.key;
        } else if (k.storage == DsStorage::Text) {
            EXPECT_EQ(back.*k.text, f.*k.text) << k.key;
        }
    }
    EXPECT_EQ(back.cjsz1, "01");
}
