// InstitutionDialog (template 115): the reporting institution's base data.
#include "../../resources/resource.h"
#include "editing/pick_lists.h"
#include "text/format.h"
#include "win32/dialogs.h"
#include "win32/form_binding.h"

namespace kovirant::win32 {
namespace {

using F = InstitutionForm;
constexpr int kMax = static_cast<int>(kFieldMax);
constexpr EditBinding<F> kEdits[] = {
    {IDE_INST_AREA_CODE, kAreaCodeLength, true, [](F& f) -> std::string& { return f.company.areaCode; }},
    {IDE_INST_FORM_CODE, kFormCodeLength, true, [](F& f) -> std::string& { return f.company.formCode; }},
    {IDE_INST_SERIAL, kSerialLength, true, [](F& f) -> std::string& { return f.company.serial; }},
    {IDE_INST_TAX, kTaxBaseLength, true, [](F& f) -> std::string& { return f.taxBaseNumber; }},
    {IDE_INST_BANK_CODE, kCodeNumberLength, true, [](F& f) -> std::string& { return f.codeNumber; }},
    {IDE_INST_NAME, kMax, false, [](F& f) -> std::string& { return f.name; }},
    {IDE_INST_POSTAL_CODE, kPostalCodeLength, true, [](F& f) -> std::string& { return f.postalCode; }},
    {IDE_INST_PLACE, kMax, false, [](F& f) -> std::string& { return f.place; }},
    {IDE_INST_AREA, kMax, false, [](F& f) -> std::string& { return f.area; }},
    {IDE_INST_HOUSE, kAddressPartLength, false, [](F& f) -> std::string& { return f.houseNumber; }},
    {IDE_INST_BUILDING, kAddressPartLength, false, [](F& f) -> std::string& { return f.building; }, true},
    {IDE_INST_DOOR, kAddressPartLength, false, [](F& f) -> std::string& { return f.door; }, true},
};

struct InstitutionDialog {
    const EditorRequest<F>& request;
    HWND hwnd = nullptr;

    void fillLists() {
        fillList(hwnd, IDL_INST_CODE, CodeList());
        fillList(hwnd, IDL_INST_AREA_TYPE, StreetTypeList());  // the list box sorts them
    }

    BOOL onInit() {
        guardDigitFields<F>(hwnd, kEdits);
        const bool modify = request.mode == EditorMode::Modify;
        if (!modify) limitFields<F>(hwnd, kEdits, request.mode);
        centerOverOwner(hwnd, GetWindow(hwnd, GW_OWNER));
        fillLists();
        if (modify) {
            selectIndex(hwnd, IDL_INST_CODE, request.initial.code);
            if (request.initial.areaType) selectEqualEntries(hwnd, IDL_INST_AREA_TYPE, *request.initial.areaType);
            limitFields<F>(hwnd, kEdits, request.mode);
        }
        showFields<F>(hwnd, kEdits, request.initial);
        return modify ? TRUE : FALSE;
    }

    BOOL onCommand(WORD id, WORD) {
        return saveOrDiscard(hwnd, id, IDOK, IDCANCEL, [&] {
            F form;
            readFields<F>(hwnd, kEdits, form);
            form.areaType = selectedText(hwnd, IDL_INST_AREA_TYPE);
            form.code = selectedIndex(hwnd, IDL_INST_CODE);
            return request.save(form);
        });
    }
};

}  // namespace

void runInstitutionDialog(HINSTANCE instance, HWND owner, const EditorRequest<InstitutionForm>& request) {
    InstitutionDialog dialog{request};
    DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_INSTITUTION), owner, dialogProc<InstitutionDialog>,
                    reinterpret_cast<LPARAM>(&dialog));
}

}  // namespace kovirant::win32
