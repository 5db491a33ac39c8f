// The dialogs' layout table against the Windows resource templates it is
// copied from, and the conversion of dialog units to pixels.
#include "ui/dialog_template.h"

#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <sstream>
#include <string>
#include <vector>

namespace qelisp::test {
namespace {

struct ParsedControl {
    std::string text;
    DialogRect rect;
    bool operator==(const ParsedControl&) const = default;
};

struct ParsedDialog {
    std::string title;
    int fontPoints = 0;
    int width = 0, height = 0;
    std::vector<ParsedControl> controls;
};

std::string trim(const std::string& s) {
    auto b = s.find_first_not_of(" \t\r");
    auto e = s.find_last_not_of(" \t\r");
    return b == std::string::npos ? "" : s.substr(b, e - b + 1);
}

bool isNumber(const std::string& s) { return !s.empty() && std::all_of(s.begin(), s.end(), ::isdigit); }

std::string quoted(const std::string& line) {
    auto open = line.find('"');
    return open == std::string::npos ? "" : line.substr(open + 1, line.find('"', open + 1) - open - 1);
}

// The first four whole-number fields of a comma-separated resource line.
std::vector<int> firstRect(const std::string& line) {
    std::vector<std::string> fields;
    std::stringstream in(line);
    for (std::string f; std::getline(in, f, ',');) fields.push_back(trim(f));
    for (std::size_t i = 0; i + 3 < fields.size(); ++i) {
        if (isNumber(fields[i]) && isNumber(fields[i + 1]) && isNumber(fields[i + 2]) && isNumber(fields[i + 3])) {
            return {std::stoi(fields[i]), std::stoi(fields[i + 1]), std::stoi(fields[i + 2]), std::stoi(fields[i + 3])};
        }
    }
    return {};
}

ParsedDialog readDialog(const std::string& rc, const std::string& name) {
    ParsedDialog dialog;
    std::stringstream in(rc);
    bool inside = false, body = false;
    for (std::string raw; std::getline(in, raw);) {
        const std::string line = trim(raw);
        if (!inside) {
            if (line.rfind(name + " DIALOGEX", 0) != 0) continue;
            inside = true;
            auto r = firstRect(line.substr(line.find("DIALOGEX") + 8));
            if (r.size() == 4) dialog.width = r[2], dialog.height = r[3];
        } else if (line == "BEGIN") {
            body = true;
        } else if (line == "END") {
            break;
        } else if (!body && line.rfind("CAPTION", 0) == 0) {
            dialog.title = quoted(line);
        } else if (!body && line.rfind("FONT", 0) == 0) {
            dialog.fontPoints = std::atoi(line.c_str() + 4);
        } else if (body && !line.empty() && line.rfind("//", 0) != 0) {
            auto r = firstRect(line);
            if (r.size() == 4) dialog.controls.push_back({quoted(line), {r[0], r[1], r[2], r[3]}});
        }
    }
    return dialog;
}

TEST(DialogTemplate, TableMatchesTheWindowsResourceTemplates) {
#ifndef QELISP_SOURCE_DIR
    GTEST_SKIP() << "the resource script is read where the build runs";
#else
    const std::string rc = readFile(QELISP_SOURCE_DIR "/ui/win32/qelisp.rc");
    ASSERT_FALSE(rc.empty());
    for (const auto& [name, table] : {std::pair{"IDD_QELISP_DIALOG", main_dialog::kTemplate},
                                      std::pair{"IDD_ABOUTBOX", about_dialog::kTemplate}}) {
        ParsedDialog parsed = readDialog(rc, name);
        EXPECT_EQ(parsed.title, table.title) << name;
        EXPECT_EQ(parsed.fontPoints, table.fontPoints) << name;
        EXPECT_EQ(parsed.width, table.width) << name;
        EXPECT_EQ(parsed.height, table.height) << name;
        std::vector<ParsedControl> expected;
        for (const DialogControl& c : table.controls) expected.push_back({std::string(c.text), c.rect});
        EXPECT_EQ(parsed.controls, expected) << name;
    }
#endif
}

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
                          Case{{3, 0, 181, 60}, 5, 0, 271, 98},
                          Case{{37, 11, 141, 12}, 56, 18, 211, 19}}) {
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
    const DialogControl controls[] = {{"Model:", {10, 10, 22, 8}}, {"", {37, 11, 4, 12}}, {"Version:", {10, 24, 26, 8}}};
    // Ten pixels per character: "Version:" needs 80, 26 units give 80 at 12.3.
    auto width = [](std::string_view text) { return static_cast<int>(text.size()) * 10; };
    EXPECT_EQ(widenToFit({7, 15}, controls, width).charWidth, 13);
    EXPECT_EQ(widenToFit({14, 15}, controls, width).charWidth, 14) << "never narrower";
    EXPECT_EQ(widenToFit({7, 15}, controls, width).charHeight, 15);
}

}  // namespace
}  // namespace qelisp::test
