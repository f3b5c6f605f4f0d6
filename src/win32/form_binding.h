// One table per editing dialog binds its edit controls to the form: a line
// per control with its id, typing limit, whether it takes digits only and
// which form field it shows. Preparing, showing and reading the form all walk
// the same table, so they cannot disagree.
#pragma once

#include <algorithm>
#include <array>
#include <span>
#include <string>

#include "app/shell.h"
#include "editing/rules.h"
#include "win32/dialog_support.h"

namespace kovirant::win32 {

template <class Form>
struct EditBinding {
    int id = 0;
    int limit = 0;  // EM_LIMITTEXT; 0 sets none
    bool digitsOnly = false;
    std::string& (*field)(Form&) = nullptr;
    bool limitInModifyOnly = false;  // intended: New mode leaves these fields unlimited
};

// One field of the form.
template <class Form, std::string Form::*Field>
constexpr std::array<EditBinding<Form>, 1> fieldBinding(int id, int limit, bool digitsOnly,
                                                        bool limitInModifyOnly = false) {
    return {{{id, limit, digitsOnly, [](Form& f) -> std::string& { return f.*Field; }, limitInModifyOnly}}};
}

// The three digit fields of a company number, an account number or a date.
template <class Form, CompanyNumberParts Form::*Parts>
constexpr std::array<EditBinding<Form>, 3> companyNumberBindings(int area, int form, int serial) {
    return {{{area, kAreaCodeLength, true, [](Form& f) -> std::string& { return (f.*Parts).areaCode; }},
             {form, kFormCodeLength, true, [](Form& f) -> std::string& { return (f.*Parts).formCode; }},
             {serial, kSerialLength, true, [](Form& f) -> std::string& { return (f.*Parts).serial; }}}};
}

template <class Form, AccountNumberParts Form::*Parts>
constexpr std::array<EditBinding<Form>, 3> accountNumberBindings(int first, int second, int third) {
    return {{{first, kAccountGroupLength, true, [](Form& f) -> std::string& { return (f.*Parts).group1; }},
             {second, kAccountGroupLength, true, [](Form& f) -> std::string& { return (f.*Parts).group2; }},
             {third, kAccountGroupLength, true, [](Form& f) -> std::string& { return (f.*Parts).group3; }}}};
}

template <class Form, DateParts Form::*Parts>
constexpr std::array<EditBinding<Form>, 3> dateBindings(int year, int month, int day) {
    return {{{year, kYearLength, true, [](Form& f) -> std::string& { return (f.*Parts).year; }},
             {month, kMonthLength, true, [](Form& f) -> std::string& { return (f.*Parts).month; }},
             {day, kDayLength, true, [](Form& f) -> std::string& { return (f.*Parts).day; }}}};
}

// The rows of a dialog's table, in its controls' order.
template <class Form, std::size_t... N>
constexpr std::array<EditBinding<Form>, (N + ...)> bindings(const std::array<EditBinding<Form>, N>&... parts) {
    std::array<EditBinding<Form>, (N + ...)> out{};
    std::size_t at = 0;
    ((std::copy(parts.begin(), parts.end(), out.begin() + static_cast<std::ptrdiff_t>(at)), at += N), ...);
    return out;
}

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
