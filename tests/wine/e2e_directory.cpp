// End-to-end checks of the company directory: a spreadsheet-made Cegtar.csv
// fills the imported rows it knows, the officer completes the rest by hand,
// the saved report teaches the directory, and a later import is filled whole.
// The road's user actions are counted against typing every company number.
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "../../resources/resource.h"
#include "e2e_shared.h"
#include "import/report_reload.h"
#include "records/memory_table.h"

namespace e2e {
namespace {


// Tax base number -> company number of the example report, which was made
// from the example protocol file.
std::map<std::string, std::string> examplePairs() {
    kovirant::MemoryTable reg(kovirant::ViewRegister), inst(kovirant::ViewInstitution), acc(kovirant::ViewAccountChange);
    kovirant::RecordTables tables(reg, inst, acc);
    kovirant::ReloadReport(std::filesystem::path(path(examples, L"report.xml")), tables);
    std::map<std::string, std::string> pairs;
    for (std::size_t r = 0; r < reg.rowCount(); ++r) pairs[std::string(reg.cell(r, 1))] = std::string(reg.cell(r, 0));
    return pairs;
}

void importProtocol(App& app) {
    app.command(IDM_LOAD_APEH);
    openFile(app, L"APEH protokoll forr\u00E1s file megnyit\u00E1sa", path(examples, L"apeh-protocol.txt"), "APEH load");
    if (app.rowCount(0) > 0 || !app.noDialog()) {
        HWND q = app.waitDialog(L"", 3000);
        if (q && App::messageText(q) != kCompanyWarning) {
            App::press(q, IDNO);  // replace the earlier rows
            waitFor([&] { return !IsWindow(q); }, 5000);
        }
    }
    answer(app, kCompanyWarning, IDOK, "the company-number warning");
}

std::wstring fill(App& app, const std::string& what) {
    app.command(IDM_FILL_FROM_DIRECTORY);
    HWND box = app.waitDialog(L"Kovirant");
    const std::wstring text = box ? App::messageText(box) : L"";
    results.check(box && GetWindow(box, GW_OWNER) == app.main(), what + ": \"" + narrow(text) + "\"");
    if (box) App::press(box, IDOK);
    waitFor([&] { return box == nullptr || !IsWindow(box); }, 5000);
    return text;
}

}  // namespace

void companyDirectory() {
    const std::wstring dir = freshFolder(L"directory", true);
    const auto pairs = examplePairs();
    results.check(pairs.size() == 36, "the example report pairs 36 tax numbers with company numbers");

    // A directory as a spreadsheet saves it: UTF-8 with a byte-order mark,
    // quoted names, leading zeros lost, one line it cannot read; 30 companies.
    std::string original;
    {
        std::ostringstream csv;
        csv << "\xEF\xBB\xBF" "T\xC3\xB6rzssz\xC3\xA1m;C\xC3\xA9gsz\xC3\xA1m;C\xC3\xA9gn\xC3\xA9v\r\n";
        int n = 0;
        for (const auto& [tax, company] : pairs) {
            if (n++ == 30) break;
            const std::string shown = company.substr(company[0] == '0' ? 1 : 0);  // "0109..." lost its zero
            csv << tax << ";" << shown.substr(0, shown.size() - 8) << "-" << company.substr(2, 2) << "-"
                << company.substr(4) << ";\"C\xC3\xA9g " << n << "; \"\"R\xC3\xA9szv\xC3\xA9ny\"\"\"\r\n";
        }
        csv << "ez;nem;sor\r\n";
        original = csv.str();
        std::ofstream(std::filesystem::path(path(dir, L"Cegtar.csv")), std::ios::binary) << original;
    }

    App app;
    if (!app.start(exe, dir)) return;
    importProtocol(app);
    const std::wstring first = fill(app, "the first fill");
    results.check(first.find(L"30 sor c\u00E9gsz\u00E1m\u00E1t") != std::wstring::npos &&
                      first.find(L"maradt: 6 sor") != std::wstring::npos &&
                      first.find(L"1 sora nem olvashat\u00F3") != std::wstring::npos,
                  "30 rows filled, 6 left, one unreadable line named");
    results.check(app.menuEnabled(IDM_SAVE_REPORT), "the fill enables \"Jelentés mentése...\"");
    bool right = true;
    for (int r = 0; r < app.rowCount(0); ++r) {
        const std::string company = narrow(app.cell(0, r, 0));
        const auto known = pairs.find(narrow(app.cell(0, r, 1)));
        if (!company.empty()) right = right && known != pairs.end() && known->second == company;
    }
    results.check(right, "every filled company number is the directory's, zeros restored");
    shot(L"directory-filled");

    // A colleague's save teaches the shared directory a company this table
    // lacks: the next fill reads the file as it is now and fills it at once.
    for (int r = 0; r < app.rowCount(0); ++r) {
        if (!app.cell(0, r, 0).empty()) continue;
        const std::string tax = narrow(app.cell(0, r, 1));
        const std::string company = pairs.at(tax);
        const std::string line = tax + ";" + company.substr(0, 2) + "-" + company.substr(2, 2) + "-" +
                                 company.substr(4) + ";Koll\xC3\xA9ga Kft.\r\n";
        std::ofstream(std::filesystem::path(path(dir, L"Cegtar.csv")), std::ios::binary | std::ios::app) << line;
        original += line;
        break;
    }
    const std::wstring again = fill(app, "the fill after a colleague's save");
    results.check(again.find(L"1 sor c\u00E9gsz\u00E1m\u00E1t") != std::wstring::npos &&
                      again.find(L"maradt: 5 sor") != std::wstring::npos,
                  "the colleague's company is filled at once: \"" + narrow(again) + "\"");

    // The officer completes the other six; each costs a double click, the
    // ten digits of the company number with two moves between its fields,
    // an opening date where the import left none, and the save button.
    int handActions = 0, everyRowActions = 0;
    for (int r = 0; r < app.rowCount(0); ++r) {
        const int dateActions = app.cell(0, r, 3).empty() ? 8 + 2 : 0;
        everyRowActions += 1 + 10 + 2 + dateActions + 1;
        if (!app.cell(0, r, 0).empty()) continue;
        const std::string company = pairs.at(narrow(app.cell(0, r, 1)));
        app.selectRow(0, r);
        app.command(IDM_MODIFY);
        HWND d = app.waitDialog(kRegisterCaption);
        if (!d) break;
        App::setText(d, IDE_REG_AREA_CODE, std::wstring(company.begin(), company.begin() + 2));
        App::setText(d, IDE_REG_FORM_CODE, std::wstring(company.begin() + 2, company.begin() + 4));
        App::setText(d, IDE_REG_SERIAL, std::wstring(company.begin() + 4, company.end()));
        if (App::text(d, IDE_REG_OPEN_YEAR).empty()) {
            App::setText(d, IDE_REG_OPEN_YEAR, L"2001");
            App::setText(d, IDE_REG_OPEN_MONTH, L"01");
            App::setText(d, IDE_REG_OPEN_DAY, L"01");
        }
        App::press(d, IDB_REG_SAVE);
        waitFor([&] { return !IsWindow(d); }, 5000);
        handActions += 1 + 10 + 2 + dateActions + 1;
    }
    const int roadActions = 2 + 1 + handActions;  // the menu command, its box, the six rows
    std::printf("info the officer's road: %d user actions with the directory, %d typing all %d company numbers\n",
                roadActions, everyRowActions, app.rowCount(0));
    results.check(waitFor([&] {
                      for (int r = 0; r < app.rowCount(0); ++r)
                          if (app.cell(0, r, 0).empty()) return false;
                      return true;
                  }),
                  "every row has its company number");

    app.command(IDM_SAVE_REPORT);
    openFile(app, L"Sz\u00E1mla ment\u00E9s file megad\u00E1sa", path(dir, L"road.xml"), "report save");
    answer(app, L"A jelent\u00E9s sikeresen elk\u00E9sz\u00FClt", IDOK, "the report is saved");
    results.check(app.noDialog(), "the directory learns without a word");
    // (The save's box comes before the archiving and the learning: the file is waited for.)
    results.check(waitFor([&] {
                      const std::string csv = readBytes(path(dir, L"Cegtar.csv"));
                      return csv.rfind(original, 0) == 0 && csv.size() > original.size();
                  }),
                  "the directory stays UTF-8 with its mark, every line it had byte for byte, the learnt ones added");

    // A later import is filled whole from what the report taught.
    importProtocol(app);
    const std::wstring second = fill(app, "the second fill");
    results.check(second.find(L"36 sor c\u00E9gsz\u00E1m\u00E1t") != std::wstring::npos &&
                      second.find(L"maradt: 0 sor") != std::wstring::npos,
                  "the saved report taught the directory every company");
    app.kill();
}

}  // namespace e2e
