// RegisterEntryDialog (template 105): a company's account opening or closing.
#include "../../resources/resource.h"
#include "editing/pick_lists.h"
#include "win32/dialogs.h"
#include "win32/form_binding.h"

namespace kovirant::win32 {
namespace {

using F = RegisterEntryForm;
constexpr EditBinding<F> kEdits[] = {
    {IDE_REG_AREA_CODE, kAreaCodeLength, true, [](F& f) -> std::string& { return f.company.areaCode; }},
    {IDE_REG_FORM_CODE, kFormCodeLength, true, [](F& f) -> std::string& { return f.company.formCode; }},
    {IDE_REG_SERIAL, kSerialLength, true, [](F& f) -> std::string& { return f.company.serial; }},
    {IDE_REG_TAX, kTaxBaseLength, true, [](F& f) -> std::string& { return f.taxBaseNumber; }},
    {IDE_REG_ACCOUNT1, kAccountGroupLength, true, [](F& f) -> std::string& { return f.account.group1; }},
    {IDE_REG_ACCOUNT2, kAccountGroupLength, true, [](F& f) -> std::string& { return f.account.group2; }},
    {IDE_REG_ACCOUNT3, kAccountGroupLength, true, [](F& f) -> std::string& { return f.account.group3; }},
    {IDE_REG_OPEN_YEAR, kYearLength, true, [](F& f) -> std::string& { return f.opening.year; }},
    {IDE_REG_OPEN_MONTH, kMonthLength, true, [](F& f) -> std::string& { return f.opening.month; }},
    {IDE_REG_OPEN_DAY, kDayLength, true, [](F& f) -> std::string& { return f.opening.day; }},
    {IDE_REG_CLOSE_YEAR, kYearLength, true, [](F& f) -> std::string& { return f.closing.year; }},
    {IDE_REG_CLOSE_MONTH, kMonthLength, true, [](F& f) -> std::string& { return f.closing.month; }},
    {IDE_REG_CLOSE_DAY, kDayLength, true, [](F& f) -> std::string& { return f.closing.day; }},
};

struct RegisterEntryDialog {
    const EditorRequest<F>& request;
    HWND hwnd = nullptr;

    BOOL onInit() {
        guardDigitFields<F>(hwnd, kEdits);
        const bool modify = request.mode == EditorMode::Modify;
        if (!modify) limitFields<F>(hwnd, kEdits, request.mode);
        centerOverOwner(hwnd, GetWindow(hwnd, GW_OWNER));
        fillList(hwnd, IDL_REG_CODE, CodeList());
        if (modify) {
            selectIndex(hwnd, IDL_REG_CODE, request.initial.code);
            limitFields<F>(hwnd, kEdits, request.mode);
        }
        showFields<F>(hwnd, kEdits, request.initial);
        return modify ? TRUE : FALSE;
    }

    // Escape (IDCANCEL) does not close this dialog.
    BOOL onCommand(WORD id, WORD) {
        return saveOrDiscard(hwnd, id, IDB_REG_SAVE, IDB_REG_DISCARD, [&] {
            F form;
            readFields<F>(hwnd, kEdits, form);
            form.code = selectedIndex(hwnd, IDL_REG_CODE);
            return request.save(form);
        });
    }
};

}  // namespace

void runRegisterEntryDialog(HINSTANCE instance, HWND owner, const EditorRequest<RegisterEntryForm>& request) {
    RegisterEntryDialog dialog{request};
    DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_REGISTER_ENTRY), owner, dialogProc<RegisterEntryDialog>,
                    reinterpret_cast<LPARAM>(&dialog));
}

}  // namespace kovirant::win32
