#include "win32/virtual_list.h"

#include <algorithm>

#include "win32/dialog_support.h"
#include "win32/dpi.h"

namespace kovirant::win32 {

void VirtualList::attach(HWND list, const ListRequest& request, std::span<const int> defaultWidths) {
    list_ = list;
    ListView_SetExtendedListViewStyle(list_, LVS_EX_FULLROWSELECT);
    const int dpi = dpiOf(list_);
    for (std::size_t c = 0; c < request.headers.size(); ++c) {
        std::wstring header = wide(request.headers[c]);
        const int width = c < request.widths.size() ? request.widths[c] : c < defaultWidths.size() ? defaultWidths[c] : 80;
        LVCOLUMNW col{};
        col.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        const bool right = std::find(request.rightAligned.begin(), request.rightAligned.end(), static_cast<int>(c)) !=
                           request.rightAligned.end();
        col.fmt = right ? LVCFMT_RIGHT : LVCFMT_LEFT;
        col.cx = scaled(width, dpi);
        col.pszText = header.data();
        col.iSubItem = static_cast<int>(c);
        ListView_InsertColumn(list_, static_cast<int>(c), &col);
    }
    show(request);
}

void VirtualList::show(const ListRequest& request) {
    request_ = &request;
    ListView_SetItemCountEx(list_, static_cast<int>(request.count), 0);
    InvalidateRect(list_, nullptr, TRUE);
    if (request.count == 0) return;
    const int line = static_cast<int>(std::min(request.focusLine, request.count - 1));
    ListView_SetItemState(list_, line, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_EnsureVisible(list_, line, FALSE);
}

void VirtualList::answer(const NMHDR& header) {
    if (header.hwndFrom != list_ || header.code != LVN_GETDISPINFOW || request_ == nullptr) return;
    auto& item = const_cast<NMLVDISPINFOW&>(reinterpret_cast<const NMLVDISPINFOW&>(header)).item;
    if ((item.mask & LVIF_TEXT) == 0 || item.pszText == nullptr || item.cchTextMax <= 0) return;
    if (item.iItem < 0 || static_cast<std::size_t>(item.iItem) >= request_->count) return;
    cell_ = wide(request_->text(static_cast<std::size_t>(item.iItem), item.iSubItem));
    lstrcpynW(item.pszText, cell_.c_str(), item.cchTextMax);
}

std::optional<std::size_t> VirtualList::selected() const {
    const int i = ListView_GetNextItem(list_, -1, LVNI_SELECTED);
    if (i < 0) return std::nullopt;
    return static_cast<std::size_t>(i);
}

}  // namespace kovirant::win32
