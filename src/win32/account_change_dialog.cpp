// AccountChangeDialog (template 117): a bank-technical change of a company's
// account number.
#include "../../resources/resource.h"
#include "app/editor_sessions.h"
#include "win32/dialog_support.h"
#include "win32/dialogs.h"
#include "win32/main_window.h"

namespace kovirant::win32 {
namespace {

struct DateIds {
    int year, month, day;
};
struct AccountIds {
    int group1, group2, group3;
};
constexpr AccountIds kOriginalAccount{IDE_ACC_ORIG_ACCOUNT1, IDE_ACC_ORIG_ACCOUNT2, IDE_ACC_ORIG_ACCOUNT3};
constexpr AccountIds kNewAccount{IDE_ACC_NEW_ACCOUNT1, IDE_ACC_NEW_ACCOUNT2, IDE_ACC_NEW_ACCOUNT3};
constexpr DateIds kOriginalOpening{IDE_ACC_ORIG_OPEN_YEAR, IDE_ACC_ORIG_OPEN_MONTH, IDE_ACC_ORIG_OPEN_DAY};
constexpr DateIds kOriginalClosing{IDE_ACC_ORIG_CLOSE_YEAR, IDE_ACC_ORIG_CLOSE_MONTH, IDE_ACC_ORIG_CLOSE_DAY};
constexpr DateIds kNewOpening{IDE_ACC_NEW_OPEN_YEAR, IDE_ACC_NEW_OPEN_MONTH, IDE_ACC_NEW_OPEN_DAY};
constexpr DateIds kNewClosing{IDE_ACC_NEW_CLOSE_YEAR, IDE_ACC_NEW_CLOSE_MONTH, IDE_ACC_NEW_CLOSE_DAY};
constexpr DateIds kDates[] = {kOriginalOpening, kOriginalClosing, kNewOpening, kNewClosing};
constexpr AccountIds kAccounts[] = {kOriginalAccount, kNewAccount};

struct AccountChangeDialog {
    MainWindow& window;
    EditorMode mode;
    HWND hwnd = nullptr;
    EditorSession<AccountChangeForm> session{};

    void setLimits() {
        limitText(hwnd, IDE_ACC_AREA_CODE, 2);
        limitText(hwnd, IDE_ACC_FORM_CODE, 2);
        limitText(hwnd, IDE_ACC_SERIAL, 6);
        limitText(hwnd, IDE_ACC_TAX, 8);
        for (const AccountIds& a : kAccounts)
            for (int id : {a.group1, a.group2, a.group3}) limitText(hwnd, id, 8);
        for (const DateIds& d : kDates) {
            limitText(hwnd, d.year, 4);
            limitText(hwnd, d.month, 2);
            limitText(hwnd, d.day, 2);
        }
    }

    void showDate(const DateIds& ids, const DateParts& d) {
        setText(hwnd, ids.year, d.year);
        setText(hwnd, ids.month, d.month);
        setText(hwnd, ids.day, d.day);
    }
    void showAccount(const AccountIds& ids, const AccountNumberParts& a) {
        setText(hwnd, ids.group1, a.group1);
        setText(hwnd, ids.group2, a.group2);
        setText(hwnd, ids.group3, a.group3);
    }
    DateParts readDate(const DateIds& ids) const {
        return {getText(hwnd, ids.year), getText(hwnd, ids.month), getText(hwnd, ids.day)};
    }
    AccountNumberParts readAccount(const AccountIds& ids) const {
        return {getText(hwnd, ids.group1), getText(hwnd, ids.group2), getText(hwnd, ids.group3)};
    }

    void show(const AccountChangeForm& f) {
        setText(hwnd, IDE_ACC_AREA_CODE, f.company.areaCode);
        setText(hwnd, IDE_ACC_FORM_CODE, f.company.formCode);
        setText(hwnd, IDE_ACC_SERIAL, f.company.serial);
        setText(hwnd, IDE_ACC_TAX, f.taxBaseNumber);
        showAccount(kOriginalAccount, f.originalAccount);
        showDate(kOriginalOpening, f.originalOpening);
        showDate(kOriginalClosing, f.originalClosing);
        showAccount(kNewAccount, f.newAccount);
        showDate(kNewOpening, f.newOpening);
        showDate(kNewClosing, f.newClosing);
    }

    AccountChangeForm read() const {
        AccountChangeForm f;
        f.company = {getText(hwnd, IDE_ACC_AREA_CODE), getText(hwnd, IDE_ACC_FORM_CODE), getText(hwnd, IDE_ACC_SERIAL)};
        f.taxBaseNumber = getText(hwnd, IDE_ACC_TAX);
        f.originalAccount = readAccount(kOriginalAccount);
        f.originalOpening = readDate(kOriginalOpening);
        f.originalClosing = readDate(kOriginalClosing);
        f.newAccount = readAccount(kNewAccount);
        f.newOpening = readDate(kNewOpening);
        f.newClosing = readDate(kNewClosing);
        return f;
    }

    BOOL onInit() {
        guardDigitFields(hwnd, {IDE_ACC_AREA_CODE, IDE_ACC_FORM_CODE, IDE_ACC_SERIAL, IDE_ACC_TAX});
        for (const AccountIds& a : kAccounts) guardDigitFields(hwnd, {a.group1, a.group2, a.group3});
        for (const DateIds& d : kDates) guardDigitFields(hwnd, {d.year, d.month, d.day});
        if (mode == EditorMode::New) {
            setLimits();
            centerOverOwner(hwnd, GetWindow(hwnd, GW_OWNER));
            show({});
            return FALSE;
        }
        centerOverOwner(hwnd, GetWindow(hwnd, GW_OWNER));
        session = openAccountChangeEditor(window.state, EditorMode::Modify);
        setLimits();
        show(session.form);
        return TRUE;
    }

    BOOL onCommand(WORD id, WORD) {
        return saveOrDiscard(hwnd, id, IDOK, IDCANCEL,
                             [&] { return saveAccountChangeEditor(window.state, window.shell, session, read()); });
    }
};

}  // namespace

void runAccountChangeDialog(MainWindow& window, EditorMode mode) {
    AccountChangeDialog dialog{window, mode};
    dialog.session.mode = mode;
    DialogBoxParamW(window.instance, MAKEINTRESOURCEW(IDD_ACCOUNT_CHANGE), window.hwnd,
                    dialogProc<AccountChangeDialog>, reinterpret_cast<LPARAM>(&dialog));
}

}  // namespace kovirant::win32
