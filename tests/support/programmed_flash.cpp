#include "tests/support/programmed_flash.h"

#include "image/firmware_image.h"

#include <algorithm>

namespace qelisp::test {

std::string programmedFlash() {
    std::string flash(1u << 20, '\xFF');
    const FirmwareImage& image = embeddedImage();
    image.walk(*image.findStartRecord(), [&](const ImageRecord& record) {
        auto data = record.data();
        std::copy(data.begin(), data.end(), flash.begin() + record.address());
        return true;
    });
    return flash;
}

}  // namespace qelisp::test
