// The list view of the list dialogs: a ListRequest's lines shown on demand
// (LVS_OWNERDATA), so that a million faulty rows open at once.
#pragma once

#include <optional>
#include <span>
#include <string>

#include "app/shell.h"
#include "win32/win32.h"

namespace kovirant::win32 {

class VirtualList {
public:
    // Full-row selection, the request's columns (their widths, or
    // `defaultWidths`) and its lines; its focusLine selected and shown.
    void attach(HWND list, const ListRequest& request, std::span<const int> defaultWidths);
    // Other lines under the same columns.
    void show(const ListRequest& request);
    // Answers LVN_GETDISPINFOW from the request's text.
    void answer(const NMHDR& header);
    std::optional<std::size_t> selected() const;
    HWND hwnd() const { return list_; }

private:
    HWND list_ = nullptr;
    const ListRequest* request_ = nullptr;
    std::wstring cell_;  // the text handed to the list view, kept until the next request
};

}  // namespace kovirant::win32
