#include "ui/win32/port_box.h"

#include "ui/elide_middle.h"
#include "ui/win32/text_measure.h"

#include <algorithm>

namespace {

// Space around and between the columns of the dropped list, in pixels.
constexpr int kItemPadding = 4;
constexpr int kColumnGap = 12;

std::wstring Shortened(const std::string& name, int width, const TextMeasure& measure) {
    return Wide(qelisp::elideMiddle(name, width, [&](std::string_view text) { return measure.Width(Wide(text)); }));
}

std::string Utf8(const std::wstring& text) {
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(std::max(size, 0)), '\0');
    if (size > 0) {
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
    }
    return out;
}

}  // namespace

void PortBox::Attach(HWND box) {
    box_ = box;
    // A pixel of air above and below each row's text.
    SendMessageW(box_, CB_SETITEMHEIGHT, 0, TextMeasure(box_).Height() + 2);
}

void PortBox::FontChanged() {
    Unshorten();
    const int height = TextMeasure(box_).Height() + 2;
    SendMessageW(box_, CB_SETITEMHEIGHT, 0, height);
    SendMessageW(box_, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), height);
    SetDroppedWidth();
    Shorten();
}

HWND PortBox::Edit() const {
    COMBOBOXINFO info{};
    info.cbSize = sizeof(info);
    return GetComboBoxInfo(box_, &info) ? info.hwndItem : nullptr;
}

std::wstring PortBox::EditText() const {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(box_)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(box_, text.data(), static_cast<int>(text.size()))));
    return text;
}

void PortBox::SetEditText(const std::wstring& text) {
    COMBOBOXINFO info{};
    info.cbSize = sizeof(info);
    if (!GetComboBoxInfo(box_, &info) || !info.hwndItem) return;
    const LRESULT picked = SendMessageW(box_, CB_GETCURSEL, 0, 0);
    const auto selection = static_cast<DWORD>(SendMessageW(info.hwndItem, EM_GETSEL, 0, 0));
    const bool allSelected = LOWORD(selection) == 0 && HIWORD(selection) > 0 && HIWORD(selection) >= EditText().size();
    SetWindowTextW(info.hwndItem, text.c_str());
    SendMessageW(info.hwndList, LB_SETCURSEL, static_cast<WPARAM>(picked), 0);
    if (allSelected) SendMessageW(info.hwndItem, EM_SETSEL, 0, -1);
}

void PortBox::Shorten() {
    if (!whole_.empty() && EditText() == shortened_) return;
    whole_.clear();
    shortened_.clear();
    HWND edit = Edit();
    if (!edit || editing_ || listOpen_) return;
    const std::string whole = Text();
    RECT client{};
    GetClientRect(edit, &client);
    const auto margins = static_cast<DWORD>(SendMessageW(edit, EM_GETMARGINS, 0, 0));
    const std::wstring shown =
        Shortened(whole, client.right - client.left - LOWORD(margins) - HIWORD(margins), TextMeasure(edit));
    if (shown == Wide(whole)) return;
    SetEditText(shown);
    whole_ = whole;
    shortened_ = shown;
}

void PortBox::Unshorten() {
    if (whole_.empty()) return;
    const std::string whole = Text();
    whole_.clear();
    shortened_.clear();
    SetEditText(Wide(whole));
}

void PortBox::StartEditing() {
    editing_ = true;
    Unshorten();
}

void PortBox::ListDropped(bool open) {
    listOpen_ = open;
    if (open) Unshorten();
}

void PortBox::EntryShown() {
    editing_ = false;
    Shorten();
}

void PortBox::SetEntries(const std::vector<qelisp::PortEntry>& entries, int selected) {
    Unshorten();
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
    Select(selected);
    if (typing) SetWindowTextW(box_, Wide(shown).c_str());
    Shorten();
}

void PortBox::ShowIndex(int selected) {
    Unshorten();
    editing_ = false;
    Select(selected);
    Shorten();
}

void PortBox::Select(int selected) {
    const LRESULT count = SendMessageW(box_, CB_GETCOUNT, 0, 0);
    LRESULT shown = -1;
    for (LRESULT item = 0; item < count && shown < 0; ++item) {
        if (SendMessageW(box_, CB_GETITEMDATA, static_cast<WPARAM>(item), 0) == selected) shown = item;
    }
    SendMessageW(box_, CB_SETCURSEL, static_cast<WPARAM>(shown), 0);
}

int PortBox::PickedIndex() const {
    const LRESULT item = SendMessageW(box_, CB_GETCURSEL, 0, 0);
    if (item == CB_ERR) return -1;
    return static_cast<int>(SendMessageW(box_, CB_GETITEMDATA, static_cast<WPARAM>(item), 0));
}

std::string PortBox::Text() const {
    const std::wstring text = EditText();
    return !whole_.empty() && text == shortened_ ? whole_ : Utf8(text);
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
    // Never wider than half the screen: a name too long for that gives up
    // its middle, leaving the descriptions at least a third.
    const int frame = 2 * GetSystemMetrics(SM_CXEDGE) + GetSystemMetrics(SM_CXVSCROLL);
    const int widest = std::max(static_cast<int>(box.right - box.left), GetSystemMetrics(SM_CXSCREEN) / 2);
    const int room = widest - frame - 2 * kItemPadding;
    nameColumn_ =
        std::min(nameColumn_, descriptions > 0 ? std::max(room - kColumnGap - descriptions, room * 2 / 3) : room);
    const int rows = kItemPadding + nameColumn_ + (descriptions > 0 ? kColumnGap + descriptions : 0) + kItemPadding;
    const int width = std::clamp(rows + frame, static_cast<int>(box.right - box.left), widest);
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
    // With no description beside it, the name may take the row.
    name.right = entry.description.empty() ? item.rcItem.right - kItemPadding
                                           : std::min<LONG>(name.left + nameColumn_, item.rcItem.right);
    SetTextColor(item.hDC, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    const std::wstring nameText = Shortened(entry.name, name.right - name.left, TextMeasure(box_));
    DrawTextW(item.hDC, nameText.c_str(), static_cast<int>(nameText.size()), &name,
              DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);

    RECT description = item.rcItem;
    description.left = item.rcItem.left + kItemPadding + nameColumn_ + kColumnGap;
    description.right -= kItemPadding;
    // The description a shade lighter, so that the names stand out.
    SetTextColor(item.hDC, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_GRAYTEXT));
    const std::wstring descriptionText = Wide(entry.description);
    DrawTextW(item.hDC, descriptionText.c_str(), static_cast<int>(descriptionText.size()), &description,
              DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    if (item.itemState & ODS_FOCUS) DrawFocusRect(item.hDC, &item.rcItem);
}
