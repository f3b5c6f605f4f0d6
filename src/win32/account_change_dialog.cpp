// AccountChangeDialog (template 117): a bank-technical change of a company's
// account number.
#include "../../resources/resource.h"
#include "editing/check_warnings.h"
#include "win32/editing_dialog.h"

namespace kovirant::win32 {
namespace {

using F = AccountChangeForm;
constexpr auto kEdits = bindings<F>(
    companyNumberBindings<F, &F::company>(IDE_ACC_AREA_CODE, IDE_ACC_FORM_CODE, IDE_ACC_SERIAL),
    fieldBinding<F, &F::taxBaseNumber>(IDE_ACC_TAX, kTaxBaseLength, true),
    accountNumberBindings<F, &F::originalAccount>(IDE_ACC_ORIG_ACCOUNT1, IDE_ACC_ORIG_ACCOUNT2, IDE_ACC_ORIG_ACCOUNT3),
    dateBindings<F, &F::originalOpening>(IDE_ACC_ORIG_OPEN_YEAR, IDE_ACC_ORIG_OPEN_MONTH, IDE_ACC_ORIG_OPEN_DAY),
    dateBindings<F, &F::originalClosing>(IDE_ACC_ORIG_CLOSE_YEAR, IDE_ACC_ORIG_CLOSE_MONTH, IDE_ACC_ORIG_CLOSE_DAY),
    accountNumberBindings<F, &F::newAccount>(IDE_ACC_NEW_ACCOUNT1, IDE_ACC_NEW_ACCOUNT2, IDE_ACC_NEW_ACCOUNT3),
    dateBindings<F, &F::newOpening>(IDE_ACC_NEW_OPEN_YEAR, IDE_ACC_NEW_OPEN_MONTH, IDE_ACC_NEW_OPEN_DAY),
    dateBindings<F, &F::newClosing>(IDE_ACC_NEW_CLOSE_YEAR, IDE_ACC_NEW_CLOSE_MONTH, IDE_ACC_NEW_CLOSE_DAY));

constexpr EditingDialogLayout<F> kLayout{
    IDD_ACCOUNT_CHANGE, kEdits, IDOK, IDCANCEL, nullptr, nullptr, nullptr, [](const F& f) { return typingWarning(f); }};

}  // namespace

void runAccountChangeDialog(HINSTANCE instance, HWND owner, const EditorRequest<AccountChangeForm>& request) {
    runEditingDialog(instance, owner, kLayout, request);
}

}  // namespace kovirant::win32
