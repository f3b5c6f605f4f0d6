// DataSheetDialog (template 116): the report's header, kept in the settings
// file.
#include "../../resources/resource.h"
#include "win32/editing_dialog.h"

namespace kovirant::win32 {
namespace {

// The control of each data sheet key, in the keys' order.
constexpr int kControls[] = {
    IDE_DS_CIM,     IDE_DS_TARGY,   IDE_DS_UNEV,     IDE_DS_UEMAIL,  IDE_DS_UTELEFON, IDE_DS_UTELEFAX,
    IDE_DS_SZNEV,   IDE_DS_SZEMAIL, IDE_DS_CJSZ1,    IDE_DS_CJSZ2,   IDE_DS_CJSZ3,    IDE_DS_ADOSZAM,
    IDE_DS_CNEV,    IDE_DS_IRSZ,    IDE_DS_HELY,     IDE_DS_TERULET, IDE_DS_HAZSZAM,  IDE_DS_EPULET,
    IDE_DS_AJTO,    IDE_DS_KATEGORIA, IDE_DS_TARGYSZO, IDL_DS_JELLEG, IDL_DS_SZINT,
};
static_assert(std::size(kControls) == kDataSheetKeyCount);

int controlOf(const DataSheetKey& k) { return kControls[static_cast<std::size_t>(k.id)]; }

// The digits-only fields: the numbers among the keys, and the postal code.
bool digitsOnly(const DataSheetKey& k) { return k.storage == DsStorage::Number || k.id == DsKey::irsz; }

// The data sheet's fields come from the keys' own table, not a binding table:
// every hook walks the keys.
constexpr EditingDialogLayout<DataSheetForm> kLayout{
    IDD_DATA_SHEET,
    {},
    IDOK,
    IDCANCEL,
    [](HWND d) {
        for (const DataSheetKey& k : DataSheetKeys()) {
            if (k.storage == DsStorage::ListEntry) fillList(d, controlOf(k), k.entries());
            else limitText(d, controlOf(k), k.limit);
            if (digitsOnly(k)) guardDigitFields(d, {controlOf(k)});
        }
    },
    [](HWND d, const DataSheetForm& f, EditorMode) {
        for (const DataSheetKey& k : DataSheetKeys()) {
            if (k.storage == DsStorage::ListEntry) selectIndex(d, controlOf(k), f.*k.entry);
            else setText(d, controlOf(k), f.*k.text);
        }
    },
    [](HWND d, DataSheetForm& f) {
        for (const DataSheetKey& k : DataSheetKeys()) {
            if (k.storage == DsStorage::ListEntry) f.*k.entry = selectedIndex(d, controlOf(k));
            else f.*k.text = getText(d, controlOf(k));
        }
    },
};

}  // namespace

void runDataSheetDialog(HINSTANCE instance, HWND owner, const EditorRequest<DataSheetForm>& request) {
    runEditingDialog(instance, owner, kLayout, request);
}

}  // namespace kovirant::win32
