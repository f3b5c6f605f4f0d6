// InstitutionDialog (template 115): the reporting institution's base data.
#include "../../resources/resource.h"
#include "editing/check_warnings.h"
#include "editing/pick_lists.h"
#include "text/format.h"
#include "win32/editing_dialog.h"

namespace kovirant::win32 {
namespace {

using F = InstitutionForm;
constexpr int kMax = static_cast<int>(kFieldMax);
constexpr auto kEdits = bindings<F>(
    companyNumberBindings<F, &F::company>(IDE_INST_AREA_CODE, IDE_INST_FORM_CODE, IDE_INST_SERIAL),
    fieldBinding<F, &F::taxBaseNumber>(IDE_INST_TAX, kTaxBaseLength, true),
    fieldBinding<F, &F::codeNumber>(IDE_INST_BANK_CODE, kCodeNumberLength, true),
    fieldBinding<F, &F::name>(IDE_INST_NAME, kMax, false),
    fieldBinding<F, &F::postalCode>(IDE_INST_POSTAL_CODE, kPostalCodeLength, true),
    fieldBinding<F, &F::place>(IDE_INST_PLACE, kMax, false), fieldBinding<F, &F::area>(IDE_INST_AREA, kMax, false),
    fieldBinding<F, &F::houseNumber>(IDE_INST_HOUSE, kAddressPartLength, false),
    fieldBinding<F, &F::building>(IDE_INST_BUILDING, kAddressPartLength, false, true),
    fieldBinding<F, &F::door>(IDE_INST_DOOR, kAddressPartLength, false, true));

constexpr EditingDialogLayout<F> kLayout{
    IDD_INSTITUTION,
    kEdits,
    IDOK,
    IDCANCEL,
    [](HWND d) {
        fillList(d, IDL_INST_CODE, CodeList());
        fillList(d, IDL_INST_AREA_TYPE, StreetTypeList());  // the list box sorts them
    },
    [](HWND d, const F& f, EditorMode mode) {
        if (mode != EditorMode::Modify) return;
        selectIndex(d, IDL_INST_CODE, f.code);
        if (f.areaType) selectEqualEntries(d, IDL_INST_AREA_TYPE, *f.areaType);
    },
    [](HWND d, F& f) {
        f.areaType = selectedText(d, IDL_INST_AREA_TYPE);
        f.code = selectedIndex(d, IDL_INST_CODE);
    },
    [](const F& f) { return typingWarning(f); },
};

}  // namespace

void runInstitutionDialog(HINSTANCE instance, HWND owner, const EditorRequest<InstitutionForm>& request) {
    runEditingDialog(instance, owner, kLayout, request);
}

}  // namespace kovirant::win32
