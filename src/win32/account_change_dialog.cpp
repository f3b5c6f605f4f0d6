// AccountChangeDialog (template 117): a bank-technical change of a company's
// account number.
#include "../../resources/resource.h"
#include "win32/dialogs.h"
#include "win32/form_binding.h"

namespace kovirant::win32 {
namespace {

using F = AccountChangeForm;
constexpr EditBinding<F> kEdits[] = {
    {IDE_ACC_AREA_CODE, kAreaCodeLength, true, [](F& f) -> std::string& { return f.company.areaCode; }},
    {IDE_ACC_FORM_CODE, kFormCodeLength, true, [](F& f) -> std::string& { return f.company.formCode; }},
    {IDE_ACC_SERIAL, kSerialLength, true, [](F& f) -> std::string& { return f.company.serial; }},
    {IDE_ACC_TAX, kTaxBaseLength, true, [](F& f) -> std::string& { return f.taxBaseNumber; }},
    {IDE_ACC_ORIG_ACCOUNT1, kAccountGroupLength, true, [](F& f) -> std::string& { return f.originalAccount.group1; }},
    {IDE_ACC_ORIG_ACCOUNT2, kAccountGroupLength, true, [](F& f) -> std::string& { return f.originalAccount.group2; }},
    {IDE_ACC_ORIG_ACCOUNT3, kAccountGroupLength, true, [](F& f) -> std::string& { return f.originalAccount.group3; }},
    {IDE_ACC_ORIG_OPEN_YEAR, kYearLength, true, [](F& f) -> std::string& { return f.originalOpening.year; }},
    {IDE_ACC_ORIG_OPEN_MONTH, kMonthLength, true, [](F& f) -> std::string& { return f.originalOpening.month; }},
    {IDE_ACC_ORIG_OPEN_DAY, kDayLength, true, [](F& f) -> std::string& { return f.originalOpening.day; }},
    {IDE_ACC_ORIG_CLOSE_YEAR, kYearLength, true, [](F& f) -> std::string& { return f.originalClosing.year; }},
    {IDE_ACC_ORIG_CLOSE_MONTH, kMonthLength, true, [](F& f) -> std::string& { return f.originalClosing.month; }},
    {IDE_ACC_ORIG_CLOSE_DAY, kDayLength, true, [](F& f) -> std::string& { return f.originalClosing.day; }},
    {IDE_ACC_NEW_ACCOUNT1, kAccountGroupLength, true, [](F& f) -> std::string& { return f.newAccount.group1; }},
    {IDE_ACC_NEW_ACCOUNT2, kAccountGroupLength, true, [](F& f) -> std::string& { return f.newAccount.group2; }},
    {IDE_ACC_NEW_ACCOUNT3, kAccountGroupLength, true, [](F& f) -> std::string& { return f.newAccount.group3; }},
    {IDE_ACC_NEW_OPEN_YEAR, kYearLength, true, [](F& f) -> std::string& { return f.newOpening.year; }},
    {IDE_ACC_NEW_OPEN_MONTH, kMonthLength, true, [](F& f) -> std::string& { return f.newOpening.month; }},
    {IDE_ACC_NEW_OPEN_DAY, kDayLength, true, [](F& f) -> std::string& { return f.newOpening.day; }},
    {IDE_ACC_NEW_CLOSE_YEAR, kYearLength, true, [](F& f) -> std::string& { return f.newClosing.year; }},
    {IDE_ACC_NEW_CLOSE_MONTH, kMonthLength, true, [](F& f) -> std::string& { return f.newClosing.month; }},
    {IDE_ACC_NEW_CLOSE_DAY, kDayLength, true, [](F& f) -> std::string& { return f.newClosing.day; }},
};

struct AccountChangeDialog {
    const EditorRequest<F>& request;
    HWND hwnd = nullptr;

    BOOL onInit() {
        guardDigitFields<F>(hwnd, kEdits);
        const bool modify = request.mode == EditorMode::Modify;
        if (!modify) limitFields<F>(hwnd, kEdits, request.mode);
        centerOverOwner(hwnd, GetWindow(hwnd, GW_OWNER));
        if (modify) limitFields<F>(hwnd, kEdits, request.mode);
        showFields<F>(hwnd, kEdits, request.initial);
        return modify ? TRUE : FALSE;
    }

    BOOL onCommand(WORD id, WORD) {
        return saveOrDiscard(hwnd, id, IDOK, IDCANCEL, [&] {
            F form;
            readFields<F>(hwnd, kEdits, form);
            return request.save(form);
        });
    }
};

}  // namespace

void runAccountChangeDialog(HINSTANCE instance, HWND owner, const EditorRequest<AccountChangeForm>& request) {
    AccountChangeDialog dialog{request};
    DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_ACCOUNT_CHANGE), owner, dialogProc<AccountChangeDialog>,
                    reinterpret_cast<LPARAM>(&dialog));
}

}  // namespace kovirant::win32
