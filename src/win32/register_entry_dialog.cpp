// RegisterEntryDialog (template 105): a company's account opening or closing.
#include "../../resources/resource.h"
#include "app/editor_sessions.h"
#include "editing/pick_lists.h"
#include "win32/dialog_support.h"
#include "win32/dialogs.h"
#include "win32/main_window.h"

namespace kovirant::win32 {
namespace {

struct PartField {
    int id;
    int limit;
};
constexpr PartField kFields[] = {
    {IDE_REG_AREA_CODE, 2},  {IDE_REG_FORM_CODE, 2},  {IDE_REG_SERIAL, 6},      {IDE_REG_TAX, 8},
    {IDE_REG_ACCOUNT1, 8},   {IDE_REG_ACCOUNT2, 8},   {IDE_REG_ACCOUNT3, 8},    {IDE_REG_OPEN_YEAR, 4},
    {IDE_REG_OPEN_MONTH, 2}, {IDE_REG_OPEN_DAY, 2},   {IDE_REG_CLOSE_YEAR, 4},  {IDE_REG_CLOSE_MONTH, 2},
    {IDE_REG_CLOSE_DAY, 2},
};

struct RegisterEntryDialog {
    MainWindow& window;
    EditorMode mode;
    HWND hwnd = nullptr;
    EditorSession<RegisterEntryForm> session{};

    void setLimits() {
        for (const PartField& f : kFields) limitText(hwnd, f.id, f.limit);
    }

    void show(const RegisterEntryForm& f) {
        setText(hwnd, IDE_REG_AREA_CODE, f.company.areaCode);
        setText(hwnd, IDE_REG_FORM_CODE, f.company.formCode);
        setText(hwnd, IDE_REG_SERIAL, f.company.serial);
        setText(hwnd, IDE_REG_TAX, f.taxBaseNumber);
        setText(hwnd, IDE_REG_ACCOUNT1, f.account.group1);
        setText(hwnd, IDE_REG_ACCOUNT2, f.account.group2);
        setText(hwnd, IDE_REG_ACCOUNT3, f.account.group3);
        setText(hwnd, IDE_REG_OPEN_YEAR, f.opening.year);
        setText(hwnd, IDE_REG_OPEN_MONTH, f.opening.month);
        setText(hwnd, IDE_REG_OPEN_DAY, f.opening.day);
        setText(hwnd, IDE_REG_CLOSE_YEAR, f.closing.year);
        setText(hwnd, IDE_REG_CLOSE_MONTH, f.closing.month);
        setText(hwnd, IDE_REG_CLOSE_DAY, f.closing.day);
    }

    RegisterEntryForm read() const {
        RegisterEntryForm f;
        f.company = {getText(hwnd, IDE_REG_AREA_CODE), getText(hwnd, IDE_REG_FORM_CODE), getText(hwnd, IDE_REG_SERIAL)};
        f.taxBaseNumber = getText(hwnd, IDE_REG_TAX);
        f.account = {getText(hwnd, IDE_REG_ACCOUNT1), getText(hwnd, IDE_REG_ACCOUNT2), getText(hwnd, IDE_REG_ACCOUNT3)};
        f.opening = {getText(hwnd, IDE_REG_OPEN_YEAR), getText(hwnd, IDE_REG_OPEN_MONTH), getText(hwnd, IDE_REG_OPEN_DAY)};
        f.closing = {getText(hwnd, IDE_REG_CLOSE_YEAR), getText(hwnd, IDE_REG_CLOSE_MONTH),
                     getText(hwnd, IDE_REG_CLOSE_DAY)};
        f.code = selectedIndex(hwnd, IDL_REG_CODE);
        return f;
    }

    BOOL onInit() {
        for (const PartField& f : kFields) guardDigitFields(hwnd, {f.id});
        if (mode == EditorMode::New) {
            setLimits();
            centerOverOwner(hwnd, GetWindow(hwnd, GW_OWNER));
            fillList(hwnd, IDL_REG_CODE, CodeList());
            show({});
            return FALSE;
        }
        centerOverOwner(hwnd, GetWindow(hwnd, GW_OWNER));
        session = openRegisterEditor(window.state, EditorMode::Modify);
        fillList(hwnd, IDL_REG_CODE, CodeList());
        selectIndex(hwnd, IDL_REG_CODE, session.form.code);
        setLimits();
        show(session.form);
        return TRUE;
    }

    // Escape (IDCANCEL) does not close this dialog.
    BOOL onCommand(WORD id, WORD) {
        return saveOrDiscard(hwnd, id, IDB_REG_SAVE, IDB_REG_DISCARD,
                             [&] { return saveRegisterEditor(window.state, window.shell, session, read()); });
    }
};

}  // namespace

void runRegisterEntryDialog(MainWindow& window, EditorMode mode) {
    RegisterEntryDialog dialog{window, mode};
    dialog.session.mode = mode;
    DialogBoxParamW(window.instance, MAKEINTRESOURCEW(IDD_REGISTER_ENTRY), window.hwnd,
                    dialogProc<RegisterEntryDialog>, reinterpret_cast<LPARAM>(&dialog));
}

}  // namespace kovirant::win32
