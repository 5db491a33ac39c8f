#pragma once
// The port box (an owner-drawn editable drop-down): the edit part shows the
// bare port name, the dropped list each name with its description beside
// it, in a list as wide as they need. A name too long for the edit or the
// list shows its head and its tail (ui/elide_middle.h): in the edit unless
// someone types in it or the list is open, so that what is typed is whole.
// The dialog forwards WM_DRAWITEM, the box's notices and the edit's input.
#include "ui/main_window_model.h"
#include "ui/win32/windows_api.h"

#include <string>
#include <vector>

class PortBox {
public:
    // The dialog's combo box; its rows get the height of its font.
    void Attach(HWND box);
    // The dialog gave the box a font for another DPI: rows, the edit part
    // and the dropped list's width follow it.
    void FontChanged();
    HWND Handle() const { return box_; }
    HWND Edit() const;

    // The model's entries, in order, with the one at model index `selected`
    // shown; each item's data is its index in the model's list. Text typed
    // and not yet confirmed stays in the edit.
    void SetEntries(const std::vector<qelisp::PortEntry>& entries, int selected);
    // The entry whose model index is `selected` (-1: none) is shown.
    void ShowIndex(int selected);
    // The model index of the entry picked in the list; -1 for none.
    int PickedIndex() const;
    // The name in the edit, whole also while it shows it shortened.
    std::string Text() const;
    bool Dropped() const;

    // A key, a click or a paste in the edit: the name whole for typing.
    void StartEditing();
    // CBN_DROPDOWN, CBN_CLOSEUP: the box finds the entry to mark by the
    // edit's text, so the name is whole while the list is open.
    void ListDropped(bool open);
    // After a pick, Enter, or the focus gone: the edit shows an entry again.
    void EntryShown();
    // The whole name while the edit shows it shortened (for its tip); "" else.
    const std::string& ShortenedName() const { return whole_; }

    void Draw(const DRAWITEMSTRUCT& item) const;

private:
    void SetDroppedWidth();
    void Select(int selected);
    // The edit's text, keeping the entry picked, which the box lets go of
    // when its edit changes, and the text's being all selected.
    void SetEditText(const std::wstring& text);
    void Shorten();
    void Unshorten();
    std::wstring EditText() const;

    HWND box_ = nullptr;
    std::vector<qelisp::PortEntry> entries_;  // what the list holds, for drawing
    int nameColumn_ = 0;                      // pixels: the widest name, or what the list has room for
    bool editing_ = false;
    bool listOpen_ = false;
    std::string whole_;       // the name the edit shows shortened
    std::wstring shortened_;  // what it shows instead
};
