#include "ui/about_text.h"

#include "tests/support/test_image.h"
#include "ui/main_window_model.h"

#include <gtest/gtest.h>

namespace qelisp::test {
namespace {

TEST(AboutText, KeepsTheFieldsTrailingSpacesAndTwoSpacesAfterVersion) {
    EXPECT_EQ(aboutText("QX-TEST        ", "2026.01.02     "),
              "QX-TEST        \r\n"
              "     Total Station In System Updata Software\r\n"
              "\r\n"
              "Version:  2026.01.02     ");
}

TEST(AboutText, WindowBuildsItFromTheImagesFifteenCharacterFields) {
    OwnedImage owned{makeImageBlock({0x60}, "QX-9", "2010.06.29")};
    PortAccess none{[] { return std::vector<std::string>{}; },
                    [](const std::string&, OpenMode) { return OpenResult{}; }};
    MainWindowModel window(owned.image, none);

    const std::string text = window.aboutText();
    EXPECT_EQ(text,
              "QX-9           \r\n     Total Station In System Updata Software\r\n\r\nVersion:  2010.06.29     ");
    // The fields are shown untrimmed in the Model and Version boxes as well.
    EXPECT_EQ(window.model(), "QX-9           ");
    EXPECT_EQ(window.version(), "2010.06.29     ");
}

}  // namespace
}  // namespace qelisp::test
