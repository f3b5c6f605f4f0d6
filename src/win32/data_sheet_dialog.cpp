// DataSheetDialog (template 116): the report's header, kept in the settings
// file.
#include "../../resources/resource.h"
#include "app/editor_sessions.h"
#include "editing/pick_lists.h"
#include "win32/dialog_support.h"
#include "win32/dialogs.h"
#include "win32/main_window.h"

namespace kovirant::win32 {
namespace {

// The edit of each data sheet key.
int controlOf(std::string_view key) {
    static constexpr std::pair<std::string_view, int> kIds[] = {
        {"cim", IDE_DS_CIM},         {"targy", IDE_DS_TARGY},     {"Unev", IDE_DS_UNEV},
        {"Uemail", IDE_DS_UEMAIL},   {"Utelefon", IDE_DS_UTELEFON}, {"Utelefax", IDE_DS_UTELEFAX},
        {"SZnev", IDE_DS_SZNEV},     {"SZemail", IDE_DS_SZEMAIL}, {"cjsz1", IDE_DS_CJSZ1},
        {"cjsz2", IDE_DS_CJSZ2},     {"cjsz3", IDE_DS_CJSZ3},     {"adoszam", IDE_DS_ADOSZAM},
        {"Cnev", IDE_DS_CNEV},       {"irsz", IDE_DS_IRSZ},       {"hely", IDE_DS_HELY},
        {"terulet", IDE_DS_TERULET}, {"hazszam", IDE_DS_HAZSZAM}, {"epulet", IDE_DS_EPULET},
        {"ajto", IDE_DS_AJTO},       {"kategoria", IDE_DS_KATEGORIA}, {"targyszo", IDE_DS_TARGYSZO},
    };
    for (const auto& [k, id] : kIds)
        if (k == key) return id;
    return 0;
}

struct DataSheetDialog {
    MainWindow& window;
    HWND hwnd = nullptr;

    BOOL onInit() {
        for (const DataSheetField& f : DataSheetFields()) limitText(hwnd, controlOf(f.key), f.limit);
        guardDigitFields(hwnd, {IDE_DS_CJSZ1, IDE_DS_CJSZ2, IDE_DS_CJSZ3, IDE_DS_ADOSZAM, IDE_DS_IRSZ});
        fillList(hwnd, IDL_DS_JELLEG, StreetTypeList());
        fillList(hwnd, IDL_DS_SZINT, FloorList());
        centerOverOwner(hwnd, GetWindow(hwnd, GW_OWNER));
        const DataSheetForm form = openDataSheet(window.state.settings());
        for (const DataSheetField& f : DataSheetFields()) setText(hwnd, controlOf(f.key), form.*f.member);
        selectIndex(hwnd, IDL_DS_JELLEG, form.jelleg);
        selectIndex(hwnd, IDL_DS_SZINT, form.szint);
        return FALSE;
    }

    BOOL onCommand(WORD id, WORD) {
        return saveOrDiscard(hwnd, id, IDOK, IDCANCEL, [&] {
            DataSheetForm form;
            for (const DataSheetField& f : DataSheetFields()) form.*f.member = getText(hwnd, controlOf(f.key));
            form.jelleg = selectedIndex(hwnd, IDL_DS_JELLEG);
            form.szint = selectedIndex(hwnd, IDL_DS_SZINT);
            return saveDataSheetDialog(window.state, form);
        });
    }
};

}  // namespace

void runDataSheetDialog(MainWindow& window) {
    DataSheetDialog dialog{window};
    DialogBoxParamW(window.instance, MAKEINTRESOURCEW(IDD_DATA_SHEET), window.hwnd, dialogProc<DataSheetDialog>,
                    reinterpret_cast<LPARAM>(&dialog));
}

}  // namespace kovirant::win32
