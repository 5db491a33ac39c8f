#include "ui/win32/port_box.h"

#include "ui/win32/text_measure.h"

#include <algorithm>
#include <array>

namespace {

// Space around and between the columns of the dropped list, in pixels.
constexpr int kItemPadding = 4;
constexpr int kColumnGap = 12;

}  // namespace

void PortBox::Attach(HWND box) {
    box_ = box;
    // A pixel of air above and below each row's text.
    SendMessageW(box_, CB_SETITEMHEIGHT, 0, TextMeasure(box_).Height() + 2);
}

void PortBox::FontChanged() {
    const int height = TextMeasure(box_).Height() + 2;
    SendMessageW(box_, CB_SETITEMHEIGHT, 0, height);
    SendMessageW(box_, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), height);
    SetDroppedWidth();
}

void PortBox::SetEntries(const std::vector<qelisp::PortEntry>& entries, int selected) {
    const std::string shown = Text();
    const LRESULT current = SendMessageW(box_, CB_GETCURSEL, 0, 0);
    const bool typing = current < 0 || static_cast<std::size_t>(current) >= entries_.size()
                            ? !shown.empty()
                            : shown != entries_[static_cast<std::size_t>(current)].name;

    SendMessageW(box_, CB_RESETCONTENT, 0, 0);
    entries_ = entries;
    for (const qelisp::PortEntry& entry : entries_) {
        LRESULT item = SendMessageA(box_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.name.c_str()));
        if (item >= 0) SendMessageW(box_, CB_SETITEMDATA, static_cast<WPARAM>(item), static_cast<LPARAM>(entry.index));
    }
    SetDroppedWidth();
    ShowIndex(selected);
    if (typing) SetWindowTextA(box_, shown.c_str());
}

void PortBox::ShowIndex(int selected) {
    const LRESULT count = SendMessageW(box_, CB_GETCOUNT, 0, 0);
    for (LRESULT item = 0; item < count; ++item) {
        if (SendMessageW(box_, CB_GETITEMDATA, static_cast<WPARAM>(item), 0) == selected) {
            SendMessageW(box_, CB_SETCURSEL, static_cast<WPARAM>(item), 0);
            return;
        }
    }
    SendMessageW(box_, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
}

int PortBox::PickedIndex() const {
    const LRESULT item = SendMessageW(box_, CB_GETCURSEL, 0, 0);
    if (item == CB_ERR) return -1;
    return static_cast<int>(SendMessageW(box_, CB_GETITEMDATA, static_cast<WPARAM>(item), 0));
}

std::string PortBox::Text() const {
    std::array<char, 256> text{};
    const int n = GetWindowTextA(box_, text.data(), static_cast<int>(text.size()));
    return std::string(text.data(), n > 0 ? static_cast<std::size_t>(n) : 0);
}

bool PortBox::Dropped() const { return SendMessageW(box_, CB_GETDROPPEDSTATE, 0, 0) != FALSE; }

void PortBox::SetDroppedWidth() {
    TextMeasure measure(box_);
    nameColumn_ = 0;
    int descriptions = 0;
    for (const qelisp::PortEntry& entry : entries_) {
        nameColumn_ = std::max(nameColumn_, measure.Width(Wide(entry.name)));
        descriptions = std::max(descriptions, measure.Width(Wide(entry.description)));
    }
    RECT box{};
    GetWindowRect(box_, &box);
    // Room for the list's frame and its scroll bar, which is always shown.
    const int frame = 2 * GetSystemMetrics(SM_CXEDGE) + GetSystemMetrics(SM_CXVSCROLL);
    const int rows = kItemPadding + nameColumn_ + (descriptions > 0 ? kColumnGap + descriptions : 0) + kItemPadding;
    const int width =
        std::clamp(rows + frame, static_cast<int>(box.right - box.left), GetSystemMetrics(SM_CXSCREEN) / 2);
    SendMessageW(box_, CB_SETDROPPEDWIDTH, static_cast<WPARAM>(width), 0);
}

void PortBox::Draw(const DRAWITEMSTRUCT& item) const {
    if (item.itemID >= entries_.size()) return;  // also the empty list's -1
    const qelisp::PortEntry& entry = entries_[item.itemID];
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    FillRect(item.hDC, &item.rcItem, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    SetBkMode(item.hDC, TRANSPARENT);

    RECT name = item.rcItem;
    name.left += kItemPadding;
    name.right = std::min<LONG>(name.left + nameColumn_, item.rcItem.right);
    SetTextColor(item.hDC, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    const std::wstring nameText = Wide(entry.name);
    DrawTextW(item.hDC, nameText.c_str(), static_cast<int>(nameText.size()), &name,
              DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);

    RECT description = item.rcItem;
    description.left = name.right + kColumnGap;
    description.right -= kItemPadding;
    // The description a shade lighter, so that the names stand out.
    SetTextColor(item.hDC, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_GRAYTEXT));
    const std::wstring descriptionText = Wide(entry.description);
    DrawTextW(item.hDC, descriptionText.c_str(), static_cast<int>(descriptionText.size()), &description,
              DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    if (item.itemState & ODS_FOCUS) DrawFocusRect(item.hDC, &item.rcItem);
}
