// InstitutionDialog (template 115): the reporting institution's base data.
#include "../../resources/resource.h"
#include "app/editor_sessions.h"
#include "editing/pick_lists.h"
#include "win32/dialog_support.h"
#include "win32/dialogs.h"
#include "win32/main_window.h"

namespace kovirant::win32 {
namespace {

struct InstitutionDialog {
    MainWindow& window;
    EditorMode mode;
    HWND hwnd = nullptr;
    EditorSession<InstitutionForm> session{};

    void setLimits() {
        limitText(hwnd, IDE_INST_AREA_CODE, 2);
        limitText(hwnd, IDE_INST_FORM_CODE, 2);
        limitText(hwnd, IDE_INST_SERIAL, 6);
        limitText(hwnd, IDE_INST_TAX, 8);
        limitText(hwnd, IDE_INST_BANK_CODE, 8);
        limitText(hwnd, IDE_INST_NAME, 511);
        limitText(hwnd, IDE_INST_POSTAL_CODE, 4);
        limitText(hwnd, IDE_INST_PLACE, 511);
        limitText(hwnd, IDE_INST_AREA, 511);
        limitText(hwnd, IDE_INST_HOUSE, 10);
        if (mode == EditorMode::Modify) {
            limitText(hwnd, IDE_INST_BUILDING, 10);
            limitText(hwnd, IDE_INST_DOOR, 10);
        }
    }

    void fillLists() {
        fillList(hwnd, IDL_INST_CODE, CodeList());
        fillList(hwnd, IDL_INST_AREA_TYPE, StreetTypeList());  // the list box sorts them
    }

    void show(const InstitutionForm& f) {
        setText(hwnd, IDE_INST_AREA_CODE, f.company.areaCode);
        setText(hwnd, IDE_INST_FORM_CODE, f.company.formCode);
        setText(hwnd, IDE_INST_SERIAL, f.company.serial);
        setText(hwnd, IDE_INST_TAX, f.taxBaseNumber);
        setText(hwnd, IDE_INST_BANK_CODE, f.codeNumber);
        setText(hwnd, IDE_INST_NAME, f.name);
        setText(hwnd, IDE_INST_POSTAL_CODE, f.postalCode);
        setText(hwnd, IDE_INST_PLACE, f.place);
        setText(hwnd, IDE_INST_AREA, f.area);
        setText(hwnd, IDE_INST_HOUSE, f.houseNumber);
        setText(hwnd, IDE_INST_BUILDING, f.building);
        setText(hwnd, IDE_INST_DOOR, f.door);
    }

    InstitutionForm read() const {
        InstitutionForm f;
        f.company = {getText(hwnd, IDE_INST_AREA_CODE), getText(hwnd, IDE_INST_FORM_CODE),
                     getText(hwnd, IDE_INST_SERIAL)};
        f.taxBaseNumber = getText(hwnd, IDE_INST_TAX);
        f.codeNumber = getText(hwnd, IDE_INST_BANK_CODE);
        f.name = getText(hwnd, IDE_INST_NAME);
        f.postalCode = getText(hwnd, IDE_INST_POSTAL_CODE);
        f.place = getText(hwnd, IDE_INST_PLACE);
        f.area = getText(hwnd, IDE_INST_AREA);
        f.houseNumber = getText(hwnd, IDE_INST_HOUSE);
        f.building = getText(hwnd, IDE_INST_BUILDING);
        f.door = getText(hwnd, IDE_INST_DOOR);
        f.areaType = selectedText(hwnd, IDL_INST_AREA_TYPE);
        f.code = selectedIndex(hwnd, IDL_INST_CODE);
        return f;
    }

    BOOL onInit() {
        guardDigitFields(hwnd, {IDE_INST_AREA_CODE, IDE_INST_FORM_CODE, IDE_INST_SERIAL, IDE_INST_TAX,
                                IDE_INST_BANK_CODE, IDE_INST_POSTAL_CODE});
        if (mode == EditorMode::New) {
            setLimits();
            centerOverOwner(hwnd, GetWindow(hwnd, GW_OWNER));
            fillLists();
            show({});
            return FALSE;
        }
        centerOverOwner(hwnd, GetWindow(hwnd, GW_OWNER));
        session = openInstitutionEditor(window.state, EditorMode::Modify);
        fillLists();
        selectIndex(hwnd, IDL_INST_CODE, session.form.code);
        if (session.form.areaType) selectEqualEntries(hwnd, IDL_INST_AREA_TYPE, *session.form.areaType);
        setLimits();
        show(session.form);
        return TRUE;
    }

    BOOL onCommand(WORD id, WORD) {
        return saveOrDiscard(hwnd, id, IDOK, IDCANCEL,
                             [&] { return saveInstitutionEditor(window.state, window.shell, session, read()); });
    }
};

}  // namespace

void runInstitutionDialog(MainWindow& window, EditorMode mode) {
    InstitutionDialog dialog{window, mode};
    dialog.session.mode = mode;
    DialogBoxParamW(window.instance, MAKEINTRESOURCEW(IDD_INSTITUTION), window.hwnd, dialogProc<InstitutionDialog>,
                    reinterpret_cast<LPARAM>(&dialog));
}

}  // namespace kovirant::win32
