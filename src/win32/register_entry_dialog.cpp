// RegisterEntryDialog (template 105): a company's account opening or closing.
#include "../../resources/resource.h"
#include "editing/check_warnings.h"
#include "editing/pick_lists.h"
#include "win32/editing_dialog.h"

namespace kovirant::win32 {
namespace {

using F = RegisterEntryForm;
constexpr auto kEdits = bindings<F>(
    companyNumberBindings<F, &F::company>(IDE_REG_AREA_CODE, IDE_REG_FORM_CODE, IDE_REG_SERIAL),
    fieldBinding<F, &F::taxBaseNumber>(IDE_REG_TAX, kTaxBaseLength, true),
    accountNumberBindings<F, &F::account>(IDE_REG_ACCOUNT1, IDE_REG_ACCOUNT2, IDE_REG_ACCOUNT3),
    dateBindings<F, &F::opening>(IDE_REG_OPEN_YEAR, IDE_REG_OPEN_MONTH, IDE_REG_OPEN_DAY),
    dateBindings<F, &F::closing>(IDE_REG_CLOSE_YEAR, IDE_REG_CLOSE_MONTH, IDE_REG_CLOSE_DAY));

constexpr EditingDialogLayout<F> kLayout{
    IDD_REGISTER_ENTRY,
    kEdits,
    IDB_REG_SAVE,
    IDB_REG_DISCARD,  // Escape (IDCANCEL) does not close this dialog
    [](HWND d) { fillList(d, IDL_REG_CODE, CodeList()); },
    [](HWND d, const F& f, EditorMode mode) {
        if (mode == EditorMode::Modify) selectIndex(d, IDL_REG_CODE, f.code);
    },
    [](HWND d, F& f) { f.code = selectedIndex(d, IDL_REG_CODE); },
    [](const F& f) { return typingWarning(f); },
};

}  // namespace

void runRegisterEntryDialog(HINSTANCE instance, HWND owner, const EditorRequest<RegisterEntryForm>& request) {
    runEditingDialog(instance, owner, kLayout, request);
}

}  // namespace kovirant::win32
