#include "program_version.h"
#include "tests/support/test_image.h"
#include "ui/main_window_model.h"

#include <gtest/gtest.h>

namespace qelisp::test {
namespace {

TEST(AboutText, IsExactWithTheImagesFieldsTrailingSpacesKept) {
    OwnedImage owned{makeImageBlock({0x60}, "QX-9", "2010.06.29")};
    PortAccess none{[] { return std::vector<PortInfo>{}; }, [](const std::string&, OpenMode) { return OpenResult{}; }};
    MainWindowModel window(owned.image, none);

    EXPECT_EQ(window.aboutText(),
              "QX-9           \r\n     Total Station In System Updata Software\r\n\r\nVersion:  2010.06.29     ");
    // The Model and Version boxes show them untrimmed as well.
    EXPECT_EQ(window.model(), "QX-9           ");
    EXPECT_EQ(window.version(), "2010.06.29     ");
    // The notice under it names this program's version.
    EXPECT_EQ(window.makerNotice(), "QelIsp " QELISP_PROGRAM_VERSION " \u2014 firmware updater");
}

}  // namespace
}  // namespace qelisp::test
