// The one skeleton of the editing dialogs: a binding table of edit controls
// and a few hooks for the list boxes, run with an EditorRequest. Opening
// limits and guards the fields, centres the dialog over its owner, fills the
// lists and shows the form; the save button reads the form back and hands it
// to the request's save, which either closes the dialog or names what to mend.
#pragma once

#include <span>

#include "win32/dialogs.h"
#include "win32/form_binding.h"

namespace kovirant::win32 {

template <class Form>
struct EditingDialogSpec {
    int templateId;
    std::span<const EditBinding<Form>> edits;
    WORD saveId = IDOK;
    WORD discardId = IDCANCEL;   // a dialog whose discard is not IDCANCEL ignores Escape
    void (*prepare)(HWND dialog) = nullptr;                                  // lists filled, other limits
    void (*show)(HWND dialog, const Form& form, EditorMode mode) = nullptr;  // what the table does not show
    void (*read)(HWND dialog, Form& form) = nullptr;                         // what the table does not read
};

template <class Form>
struct EditingDialog {
    const EditingDialogSpec<Form>& spec;
    const EditorRequest<Form>& request;
    HWND hwnd = nullptr;

    BOOL onInit() {
        guardDigitFields<Form>(hwnd, spec.edits);
        limitFields<Form>(hwnd, spec.edits, request.mode);
        centerOverOwner(hwnd, GetWindow(hwnd, GW_OWNER));
        if (spec.prepare) spec.prepare(hwnd);
        if (spec.show) spec.show(hwnd, request.initial, request.mode);
        showFields<Form>(hwnd, spec.edits, request.initial);
        return request.mode == EditorMode::Modify ? TRUE : FALSE;
    }

    BOOL onCommand(WORD id, WORD) {
        return saveOrDiscard(hwnd, id, spec.saveId, spec.discardId, [&] {
            Form form;
            readFields<Form>(hwnd, spec.edits, form);
            if (spec.read) spec.read(hwnd, form);
            return request.save(form);
        });
    }
};

template <class Form>
void runEditingDialog(HINSTANCE instance, HWND owner, const EditingDialogSpec<Form>& spec,
                      const EditorRequest<Form>& request) {
    EditingDialog<Form> dialog{spec, request};
    DialogBoxParamW(instance, MAKEINTRESOURCEW(spec.templateId), owner, dialogProc<EditingDialog<Form>>,
                    reinterpret_cast<LPARAM>(&dialog));
}

}  // namespace kovirant::win32
