// One table per editing dialog binds its edit controls to the form: a line
// per control with its id, typing limit, whether it takes digits only and
// which form field it shows. Preparing, showing and reading the form all walk
// the same table, so they cannot disagree.
#pragma once

#include <span>
#include <string>

#include "app/shell.h"
#include "win32/dialog_support.h"

namespace kovirant::win32 {

template <class Form>
struct EditBinding {
    int id;
    int limit;  // EM_LIMITTEXT; 0 sets none
    bool digitsOnly;
    std::string& (*field)(Form&);
    bool limitInModifyOnly = false;  // intended: New mode leaves these fields unlimited
};

// The typing limits of the fields, as `mode` sets them.
template <class Form>
void limitFields(HWND dialog, std::span<const EditBinding<Form>> table, EditorMode mode) {
    for (const EditBinding<Form>& b : table)
        if (b.limit > 0 && (!b.limitInModifyOnly || mode == EditorMode::Modify)) limitText(dialog, b.id, b.limit);
}

template <class Form>
void guardDigitFields(HWND dialog, std::span<const EditBinding<Form>> table) {
    for (const EditBinding<Form>& b : table)
        if (b.digitsOnly) guardDigitFields(dialog, {b.id});
}

template <class Form>
void showFields(HWND dialog, std::span<const EditBinding<Form>> table, Form form) {
    for (const EditBinding<Form>& b : table) setText(dialog, b.id, b.field(form));
}

template <class Form>
void readFields(HWND dialog, std::span<const EditBinding<Form>> table, Form& form) {
    for (const EditBinding<Form>& b : table) b.field(form) = getText(dialog, b.id);
}

}  // namespace kovirant::win32
