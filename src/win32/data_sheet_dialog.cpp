// DataSheetDialog (template 116): the report's header, kept in the settings
// file.
#include "../../resources/resource.h"
#include "win32/dialogs.h"
#include "win32/form_binding.h"

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

struct DataSheetDialog {
    const EditorRequest<DataSheetForm>& request;
    HWND hwnd = nullptr;

    BOOL onInit() {
        for (const DataSheetKey& k : DataSheetKeys())
            if (k.storage != DsStorage::ListEntry) limitText(hwnd, controlOf(k), k.limit);
        for (const DataSheetKey& k : DataSheetKeys())
            if (digitsOnly(k)) guardDigitFields(hwnd, {controlOf(k)});
        for (const DataSheetKey& k : DataSheetKeys())
            if (k.storage == DsStorage::ListEntry) fillList(hwnd, controlOf(k), k.entries());
        centerOverOwner(hwnd, GetWindow(hwnd, GW_OWNER));
        for (const DataSheetKey& k : DataSheetKeys()) {
            if (k.storage == DsStorage::ListEntry) selectIndex(hwnd, controlOf(k), request.initial.*k.entry);
            else setText(hwnd, controlOf(k), request.initial.*k.text);
        }
        return FALSE;
    }

    BOOL onCommand(WORD id, WORD) {
        return saveOrDiscard(hwnd, id, IDOK, IDCANCEL, [&] {
            DataSheetForm form;
            for (const DataSheetKey& k : DataSheetKeys()) {
                if (k.storage == DsStorage::ListEntry) form.*k.entry = selectedIndex(hwnd, controlOf(k));
                else form.*k.text = getText(hwnd, controlOf(k));
            }
            return request.save(form);
        });
    }
};

}  // namespace

void runDataSheetDialog(HINSTANCE instance, HWND owner, const EditorRequest<DataSheetForm>& request) {
    DataSheetDialog dialog{request};
    DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_DATA_SHEET), owner, dialogProc<DataSheetDialog>,
                    reinterpret_cast<LPARAM>(&dialog));
}

}  // namespace kovirant::win32
