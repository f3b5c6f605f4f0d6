// The one skeleton of the editing dialogs: a binding table of edit controls
// and a few hooks for the list boxes, run with an EditorRequest. Opening
// limits and guards the fields, centres the dialog over its owner, fills the
// lists and shows the form; the save button reads the form back and hands it
// to the request's save, which either closes the dialog or names what to mend.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "../../resources/resource.h"

#include "win32/dialogs.h"
#include "win32/form_binding.h"

namespace kovirant::win32 {

template <class Form>
struct EditingDialogLayout {
    int templateId;
    std::span<const EditBinding<Form>> edits;
    WORD saveId = IDOK;
    WORD discardId = IDCANCEL;   // a dialog whose discard is not IDCANCEL ignores Escape
    void (*prepare)(HWND dialog) = nullptr;                                  // lists filled, other limits
    void (*show)(HWND dialog, const Form& form, EditorMode mode) = nullptr;  // what the table does not show
    void (*read)(HWND dialog, Form& form) = nullptr;                         // what the table does not read
    // A warning about what is typed (a failing check digit), shown in the
    // static IDT_CHECK_HINT as the officer types; empty: none. Only a hint:
    // the save goes on as without it.
    std::string_view (*hint)(const Form& form) = nullptr;
};

template <class Form>
struct EditingDialog {
    const EditingDialogLayout<Form>& layout;
    const EditorRequest<Form>& request;
    HWND hwnd = nullptr;
    std::string shownHint;  // what IDT_CHECK_HINT shows

    BOOL onInit() {
        guardDigitFields<Form>(hwnd, layout.edits);
        limitFields<Form>(hwnd, layout.edits, request.mode);
        centerOverOwner(hwnd, GetWindow(hwnd, GW_OWNER));
        if (layout.prepare) layout.prepare(hwnd);
        if (layout.show) layout.show(hwnd, request.initial, request.mode);
        showFields<Form>(hwnd, layout.edits, request.initial);
        updateHint();
        return TRUE;  // the focus in the first field, in New mode too
    }

    BOOL onCommand(WORD id, WORD code) {
        if (code == EN_CHANGE) {
            updateHint();
            return FALSE;
        }
        return saveOrDiscard(hwnd, id, layout.saveId, layout.discardId, [&] { return request.save(typed()); });
    }

    // The hint in the system's warning colour (dark red on the dialog's face).
    INT_PTR onColorStatic(HDC dc, HWND control) {
        if (GetDlgCtrlID(control) != IDT_CHECK_HINT) return 0;
        SetTextColor(dc, RGB(0xC0, 0, 0));
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
    }

    Form typed() const {
        Form form;
        readFields<Form>(hwnd, layout.edits, form);
        if (layout.read) layout.read(hwnd, form);
        return form;
    }

    void updateHint() {
        if (layout.hint == nullptr || GetDlgItem(hwnd, IDT_CHECK_HINT) == nullptr) return;
        const std::string_view text = layout.hint(typed());
        if (text == shownHint) return;
        shownHint.assign(text);
        setText(hwnd, IDT_CHECK_HINT, text);
        // A screen reader reads the changed line out as it changes.
        HWND line = GetDlgItem(hwnd, IDT_CHECK_HINT);
        NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, line, OBJID_CLIENT, CHILDID_SELF);
#ifdef EVENT_OBJECT_LIVEREGIONCHANGED
        NotifyWinEvent(EVENT_OBJECT_LIVEREGIONCHANGED, line, OBJID_CLIENT, CHILDID_SELF);
#endif
    }
};

template <class Form>
void runEditingDialog(HINSTANCE instance, HWND owner, const EditingDialogLayout<Form>& layout,
                      const EditorRequest<Form>& request) {
    EditingDialog<Form> dialog{layout, request, nullptr, {}};
    DialogBoxParamW(instance, MAKEINTRESOURCEW(layout.templateId), owner, dialogProc<EditingDialog<Form>>,
                    reinterpret_cast<LPARAM>(&dialog));
}

}  // namespace kovirant::win32
