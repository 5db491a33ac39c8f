// The dialogs' layout table against the Windows resource templates it is
// copied from, and the conversion of dialog units to pixels.
#include "ui/dialog_template.h"

#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <ostream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace qelisp::test {
namespace {

// The resource script is read where the build runs, not by a cross-built test.
#ifdef QELISP_SOURCE_DIR
struct ParsedControl {
    std::string text;
    DialogRect rect;
    bool operator==(const ParsedControl&) const = default;
    friend std::ostream& operator<<(std::ostream& out, const ParsedControl& c) {
        return out << '"' << c.text << "\" " << c.rect.x << "," << c.rect.y << "," << c.rect.width << ","
                   << c.rect.height;
    }
};

// A dialog of the resource script: its caption, font size and size, then
// each control's text (if quoted) and its first four numbers.
struct ParsedDialog {
    std::string title;
    int fontPoints = 0;
    DialogRect size{};
    std::vector<ParsedControl> controls;
};

ParsedDialog readDialog(const std::string& rc, const std::string& name) {
    static const std::regex rectLine(R"re(^\s*\w+\s+(?:"([^"]*)")?[^"]*?\b(\d+),\s*(\d+),\s*(\d+),\s*(\d+))re");
    static const std::regex caption(R"re(^CAPTION\s+"([^"]*)")re"), font(R"(^FONT\s+(\d+))");
    ParsedDialog dialog;
    std::stringstream in(rc.substr(rc.find(name + " DIALOGEX")));
    std::smatch m;
    for (std::string line; std::getline(in, line) && line.rfind("END", 0) != 0;) {
        if (std::regex_search(line, m, caption)) {
            dialog.title = m[1];
        } else if (std::regex_search(line, m, font)) {
            dialog.fontPoints = std::stoi(m[1]);
        } else if (std::regex_search(line, m, rectLine)) {
            DialogRect rect{std::stoi(m[2]), std::stoi(m[3]), std::stoi(m[4]), std::stoi(m[5])};
            if (dialog.size.width == 0) {
                dialog.size = rect;  // the DIALOGEX line itself
            } else {
                dialog.controls.push_back({m[1], rect});
            }
        }
    }
    return dialog;
}

TEST(DialogTemplate, TableMatchesTheWindowsResourceTemplates) {
    const std::string rc = readFile(QELISP_SOURCE_DIR "/ui/win32/qelisp.rc");
    ASSERT_FALSE(rc.empty());
    for (const auto& [name, table] :
         {std::pair{"IDD_QELISP_DIALOG", main_dialog::kTemplate}, std::pair{"IDD_ABOUTBOX", about_dialog::kTemplate}}) {
        ParsedDialog parsed = readDialog(rc, name);
        EXPECT_EQ(parsed.title, table.title) << name;
        EXPECT_EQ(parsed.fontPoints, table.fontPoints) << name;
        EXPECT_EQ(parsed.size.width, table.width) << name;
        EXPECT_EQ(parsed.size.height, table.height) << name;
        std::vector<ParsedControl> expected;
        for (const DialogControl& c : table.controls) expected.push_back({std::string(c.text), c.rect});
        EXPECT_EQ(parsed.controls, expected) << name;
    }
}
#endif

TEST(DialogTemplate, UnitsBecomePixelsAsWindowsMapsThem) {
    // MS Shell Dlg 8 pt at 96 dpi: 6 x 13 pixels.
    EXPECT_EQ(baseUnitsFromFont(311, 13).charWidth, 6);
    EXPECT_EQ(baseUnitsFromFont(338, 15).charWidth, 7) << "6.5 rounds up";
    const DialogBaseUnits units{6, 13};
    struct Case {
        DialogRect rect;
        int x, y, width, height;
    };
    for (const Case& c : {Case{{0, 0, 4, 8}, 0, 0, 6, 13},
                          // Corners round on their own: 4.5 -> 5, 276 -> 276.
                          Case{{3, 0, 181, 60}, 5, 0, 271, 98}, Case{{37, 11, 141, 12}, 56, 18, 211, 19}}) {
        PixelRect p = toPixels(c.rect, units);
        EXPECT_EQ((std::vector<int>{p.x, p.y, p.width, p.height}), (std::vector<int>{c.x, c.y, c.width, c.height}))
            << c.rect.x << "," << c.rect.y;
    }
    // Side by side in dialog units, side by side in pixels: no gap, no overlap.
    for (int x = 0; x < 40; ++x) {
        PixelRect left = toPixels({0, 0, x, 8}, units), right = toPixels({x, 0, 5, 8}, units);
        EXPECT_EQ(left.x + left.width, right.x) << x;
    }
}

TEST(DialogTemplate, CharacterWidthGrowsUntilNoTextIsClipped) {
    const DialogControl controls[] = {
        {"Model:", {10, 10, 22, 8}}, {"", {37, 11, 4, 12}}, {"Version:", {10, 24, 26, 8}}};
    // 10.5 pixels per character: "Version:" takes 84, which 26 units give
    // at 13, but with no air before its box; at 14 they give 91.
    auto width = [](std::string_view text) { return static_cast<int>(text.size()) * 21 / 2; };
    EXPECT_EQ(widenToFit({7, 15}, controls, width).charWidth, 14);
    EXPECT_EQ(widenToFit({14, 15}, controls, width).charWidth, 14) << "never narrower";
    EXPECT_EQ(widenToFit({7, 15}, controls, width).charHeight, 15);
}

}  // namespace
}  // namespace qelisp::test
