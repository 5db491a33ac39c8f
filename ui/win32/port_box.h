#pragma once
// The port box (an owner-drawn editable drop-down): the edit part shows the
// bare port name, the dropped list each name with its description beside
// it, in a list as wide as they need. The dialog forwards WM_DRAWITEM.
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

    // The model's entries, in order, with the one at model index `selected`
    // shown; each item's data is its index in the model's list. Text typed
    // and not yet confirmed stays in the edit.
    void SetEntries(const std::vector<qelisp::PortEntry>& entries, int selected);
    // The entry whose model index is `selected` (-1: none) is shown.
    void ShowIndex(int selected);
    // The model index of the entry picked in the list; -1 for none.
    int PickedIndex() const;
    std::string Text() const;
    bool Dropped() const;

    void Draw(const DRAWITEMSTRUCT& item) const;

private:
    void SetDroppedWidth();

    HWND box_ = nullptr;
    std::vector<qelisp::PortEntry> entries_;  // what the list holds, for drawing
    int nameColumn_ = 0;                      // pixels: the widest name
};
