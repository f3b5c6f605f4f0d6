#include <gtest/gtest.h>

#include <functional>

#include "editing/account_change_editor.h"
#include "editing/institution_editor.h"
#include "editing/register_entry_editor.h"

using namespace kovirant;

namespace {

// A walk: each step changes the form; the expected text is the first
// failing message after that change ("" once the form passes).
template <class Form>
struct Step {
    std::function<void(Form&)> change;
    const char* expected;
    const char* caption = "Hiba";
};

template <class Form, class Validate>
void walk(Form form, const std::vector<Step<Form>>& steps, Validate validate) {
    int n = 0;
    for (const Step<Form>& s : steps) {
        s.change(form);
        auto r = validate(form);
        if (*s.expected == '\0') {
            EXPECT_TRUE(r.ok()) << "step " << n << ": " << (r.error ? r.error->text : "");
        } else {
            ASSERT_FALSE(r.ok()) << "step " << n << " passed, expected " << s.expected;
            EXPECT_EQ(r.error->text, s.expected) << "step " << n;
            EXPECT_EQ(r.error->caption, s.caption) << "step " << n;
        }
        ++n;
    }
}

DateParts date(const char* y, const char* m, const char* d) { return {y, m, d}; }
AccountNumberParts acct() { return {"11111111", "22222222", "33333333"}; }

}  // namespace

TEST(RegisterEntryEditor, EveryMessageInItsOrder) {
    using F = RegisterEntryForm;
    auto v = [](const F& f) { return ValidateRegisterEntry(f, 20, 18); };
    walk<F>({}, {
        {[](F&) {}, "Hibás cégszám (területi kód)"},
        {[](F& f) { f.company.areaCode = "01"; }, "Hibás cégszám (cégforma kód)"},
        {[](F& f) { f.company.formCode = "19"; }, "Hibás cégszám (cégforma kód)"},
        {[](F& f) { f.company.formCode = "18"; }, "Kérem, válasszon számlaszám kódot!"},
        {[](F& f) { f.code = 2; }, "Hibás nyitás dátum"},
        {[](F& f) { f.opening = date("2005", "02", "29"); }, "Hibás nyitás dátum"},
        {[](F& f) { f.opening = date("2005", "03", "01"); }, "Hibás cégszám"},
        {[](F& f) { f.company.serial = "123456"; }, "Hibás törzsszám"},
        {[](F& f) { f.taxBaseNumber = "1234567"; }, "Hibás törzsszám"},
        {[](F& f) { f.taxBaseNumber = "12345678"; }, "Hibás jelzőszám"},
        {[](F& f) { f.account = {"11111111", "22222222", ""}; }, "Hibás jelzőszám"},
        {[](F& f) { f.account = acct(); }, "Kérem, adja meg a zárás dátumát!"},
        {[](F& f) { f.closing = date("2005", "", ""); }, "Kérem, adja meg a zárás dátumát!"},
        {[](F& f) { f.closing = date("2005", "02", "30"); }, "Hibás zárás dátum!"},
        {[](F& f) { f.closing = date("2005", "02", "28"); }, "A zárás dátuma korábbi mint a nyitásé!"},
        {[](F& f) { f.closing = date("2005", "03", "01"); }, ""},
        {[](F& f) { f.code = 0; }, "Bejegyzéshez ne adjon meg záró dátumot!"},
        {[](F& f) { f.closing = date("2005", "", ""); }, ""},
        {[](F& f) { f.code = 3; f.closing = {}; }, ""},
    }, v);
}

TEST(RegisterEntryEditor, BuildsTheRecordAndCountsAPartlyTypedClosingDateAsNone) {
    RegisterEntryForm f{{"01", "09", "123456"}, "123456789012", acct(), date("2005", "03", "01"),
                        date("2006", "1", "01"), 0};
    auto r = ValidateRegisterEntry(f, 20, 18);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.record, (RegisterEntry{"0109123456", "123456789012", "111111112222222233333333", "2005-03-01", "",
                                       "Bejegyzés"}));
    // The date is checked before the tax base number.
    f.opening = date("2005", "02", "29");
    f.taxBaseNumber = "";
    EXPECT_EQ(ValidateRegisterEntry(f, 20, 18).error->text, "Hibás nyitás dátum");
    // A one-digit area code passes the range test and fails the length.
    f = {{"5", "09", "123456"}, "12345678", acct(), date("2005", "03", "01"), {}, 1};
    EXPECT_EQ(ValidateRegisterEntry(f, 20, 18).error->text, "Hibás cégszám");
    // maxtk 0 (a setting without digits) rejects every area code.
    EXPECT_EQ(ValidateRegisterEntry(f, 0, 18).error->text, "Hibás cégszám (területi kód)");
}

TEST(InstitutionEditor, EveryMessageInItsOrder) {
    using F = InstitutionForm;
    auto v = [](const F& f) { return ValidateInstitutionEntry(f, 20); };
    const char* formMessage =
        "A cégforma (harmadik és negyedik számjegy) csak 02 (szövetkezet), 10 (részvénytársaság), 17 (külföldi "
        "vállalkozás magyarországi fióktelepe), vagy 20 (európai részvénytársaság) lehet!";
    walk<F>({}, {
        {[](F&) {}, "Hibás cégszám (területi kód)!"},
        {[](F& f) { f.company.areaCode = "05"; }, formMessage, "Hiba - Pénzintézet cégszáma"},
        {[](F& f) { f.company.formCode = "18"; }, formMessage, "Hiba - Pénzintézet cégszáma"},
        {[](F& f) { f.company.formCode = "10"; }, "Kérem, válasszon műveleti kódot!"},
        {[](F& f) { f.code = 0; }, "Hibás cégszám!"},
        {[](F& f) { f.company.serial = "123456"; }, "Hibás törzsszám!"},
        {[](F& f) { f.taxBaseNumber = "12345678"; }, "Hibás számjel!", "Hiba - Pénzintézet számjele"},
        {[](F& f) { f.codeNumber = "1234567"; }, "Hibás számjel!", "Hiba - Pénzintézet számjele"},
        {[](F& f) { f.codeNumber = "12345678"; }, "Hiányzó név!"},
        {[](F& f) { f.name = " "; }, "Hiányzó irányítószám!"},
        {[](F& f) { f.postalCode = "1"; }, "Hiányzó helységnév!"},
        {[](F& f) { f.place = "Győr"; }, "Hiányzó területnév!"},
        {[](F& f) { f.area = "Fő"; }, "Hiányzik a terület jellege!"},
        {[](F& f) { f.areaType = ""; }, "Hiányzik a terület jellege!"},
        {[](F& f) { f.areaType = "utca"; }, "Hiányzó házszám!"},
        {[](F& f) { f.houseNumber = "1"; }, ""},
        {[](F& f) { f.company.formCode = "20"; }, ""},  // beyond the default maxcf, accepted here
    }, v);
}

TEST(AccountChangeEditor, EveryMessageInItsOrder) {
    using F = AccountChangeForm;
    auto v = [](const F& f) { return ValidateAccountChangeEntry(f, 20, 18); };
    walk<F>({}, {
        {[](F&) {}, "Hibás törzsszám"},
        {[](F& f) { f.taxBaseNumber = "1234567"; }, "Hibás törzsszám"},
        {[](F& f) { f.company.serial = "12345"; }, "Hibás cégszám (területi kód)!"},
        {[](F& f) { f.company.areaCode = "01"; }, "Hibás cégszám (cégforma kód)!"},
        {[](F& f) { f.company.formCode = "09"; }, "Hibás cégszám!"},
        {[](F& f) { f.company.serial = "123456"; }, "Hibás törzsszám!"},
        {[](F& f) { f.taxBaseNumber = "12345678"; }, "Hibás régi nyitás dátum"},
        {[](F& f) { f.originalOpening = date("2001", "01", "01"); }, "Hibás új nyitás dátum"},
        {[](F& f) { f.newOpening = date("2005", "01", "02"); }, "Hibás régi zárás dátum"},
        {[](F& f) { f.originalClosing = date("2000", "12", "31"); f.newClosing = date("2006", "", ""); },
         "Hibás új zárás dátum"},
        {[](F& f) { f.newClosing = date("2005", "01", "01"); }, "Hibás régi jelzőszám"},
        {[](F& f) { f.originalAccount = acct(); }, "Hibás új jelzőszám"},
        {[](F& f) { f.newAccount = acct(); }, "A régi zárás dátuma korábbi mint a nyitásé!"},
        {[](F& f) { f.originalClosing = date("2005", "01", "01"); }, "Az új zárás dátuma korábbi mint a nyitásé!"},
        {[](F& f) { f.newClosing = date("2005", "01", "02"); f.newOpening = date("2000", "12", "31"); },
         "Az új nyitás dátuma korábbi mint a régi nyitásé!"},
        {[](F& f) { f.newOpening = date("2001", "01", "01"); }, ""},  // the same day passes
        {[](F& f) { f.newClosing = {}; f.company = {}; }, ""},
    }, v);
}

TEST(AccountChangeEditor, RecordWithoutCompanyNumberAndOptionalNewClosingDate) {
    AccountChangeForm f{{}, "12345678", acct(), date("2001", "01", "01"), date("2005", "01", "01"),
                        {"44444444", "55555555", "66666666"}, date("2005", "01", "02"), {}};
    auto r = ValidateAccountChangeEntry(f, 20, 18);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.record, (AccountChangeEntry{"12345678", "", "111111112222222233333333", "2001-01-01", "2005-01-01",
                                            "444444445555555566666666", "2005-01-02", ""}));
    // Dates are checked before accounts.
    f.newOpening = date("2005", "13", "01");
    f.originalAccount = {};
    EXPECT_EQ(ValidateAccountChangeEntry(f, 20, 18).error->text, "Hibás új nyitás dátum");
}

TEST(ModifyMode, RecordToFormToRecordKeepsEveryCell) {
    const RegisterEntry registers[] = {
        {"0109123456", "12345678", "111111112222222233333333", "2005-03-01", "", "Bejegyzés"},
        {"2018000001", "123456789012", "111111112222222200000000", "2005-03-01", "2006-03-01", "Törlés"},
        {"0101000001", "12345678", "111111112222222233333333", "2005-03-01", "2005-03-01", "Egyeztetés"},
    };
    for (const RegisterEntry& r : registers) {
        auto back = ValidateRegisterEntry(registerEntryFormOf(r), 20, 18);
        ASSERT_TRUE(back.ok()) << back.error->text;
        EXPECT_EQ(back.record, r);
    }
    const InstitutionEntry institutions[] = {
        {"Próba Bank & Társa", "0110012345", "12345678", "1051", "Budapest", "Nádor", "útfél", "16/B", "87654321",
         "B", "3", "Módosítás"},
        {std::string(511, 'N'), "2002000001", "123456789", "9", "  x  ", "y", "út", "1", "00000000", "", "",
         "HibásAdat"},
    };
    for (const InstitutionEntry& r : institutions) {
        auto back = ValidateInstitutionEntry(institutionFormOf(r), 20);
        ASSERT_TRUE(back.ok()) << back.error->text;
        EXPECT_EQ(back.record, r);
    }
    const AccountChangeEntry changes[] = {
        {"12345678", "0109123456", std::string(24, '1'), "2001-01-01", "2005-01-01", std::string(24, '2'),
         "2005-01-02", "2006-01-01"},
        {"12345678", "", std::string(24, '1'), "2001-01-01", "2005-01-01", std::string(24, '2'), "2001-01-01", ""},
    };
    for (const AccountChangeEntry& r : changes) {
        auto back = ValidateAccountChangeEntry(accountChangeFormOf(r), 20, 18);
        ASSERT_TRUE(back.ok()) << back.error->text;
        EXPECT_EQ(back.record, r);
    }
}

TEST(ModifyMode, RowsFromImportsAndOddCells) {
    // An imported closing: no company number, no opening date.
    RegisterEntryForm f = registerEntryFormOf({"", "12345678", std::string(24, '1'), "", "2005-03-01", "Törlés"});
    EXPECT_EQ(f.company.areaCode + f.company.formCode + f.company.serial, "");
    EXPECT_EQ(f.code, 2);
    EXPECT_EQ(ValidateRegisterEntry(f, 20, 18).error->text, "Hibás cégszám (területi kód)");
    f.company = {"01", "09", "123456"};
    EXPECT_EQ(ValidateRegisterEntry(f, 20, 18).error->text, "Hibás nyitás dátum");
    f.opening = date("2005", "01", "01");
    EXPECT_TRUE(ValidateRegisterEntry(f, 20, 18).ok());
    // A code outside the list leaves no selection.
    EXPECT_FALSE(registerEntryFormOf({"", "", "", "", "", "bejegyzés"}).code.has_value());
    // The institution splits by position; an unknown street type selects nothing.
    InstitutionForm i = institutionFormOf({"N", "01101234", "", "", "", "", "ösvény", "", "", "", "", "Törlés"});
    EXPECT_EQ(i.company.serial, "1234");
    EXPECT_FALSE(i.areaType.has_value());
    EXPECT_EQ(institutionFormOf({"N", "", "", "", "", "", "", "", "", "", "", ""}).areaType, std::optional<std::string>(""));
    // An account change whose tax base number is too long cannot be saved.
    AccountChangeForm a = accountChangeFormOf({"123456789", "", std::string(24, '1'), "2001-01-01", "2005-01-01",
                                               std::string(24, '2'), "2005-01-02", ""});
    EXPECT_EQ(ValidateAccountChangeEntry(a, 20, 18).error->text, "Hibás törzsszám");
}

TEST(Editors, OverlongAndPastedTextNeverCrashes) {
    RegisterEntryForm f{{std::string(511, '9'), "x1", std::string(511, 'a')}, std::string(511, '\xF5'),
                        {std::string(600, '1'), "", ""}, {std::string(511, '2'), "1a", "-1"}, {}, 4};
    EXPECT_FALSE(ValidateRegisterEntry(f, 20, 18).ok());
    f.company = {"1x", "2y", "123456"};  // values read up to the first non-digit
    f.opening = date("2005", "03", "01");
    f.account = acct();
    // The rules read values up to the first non-digit and count characters,
    // so pasted text passes them; the dialogs refuse non-digits.
    auto r = ValidateRegisterEntry(f, 20, 18);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.record[RegisterCol::companyNumber], "1x2y123456");
    InstitutionForm i;
    i.name = std::string(5000, 'n');
    EXPECT_FALSE(ValidateInstitutionEntry(i, 20).ok());
}
