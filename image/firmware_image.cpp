#include "image/firmware_image.h"

namespace qelisp {

std::string FirmwareImage::textField(std::size_t offset) const {
    auto field = block_.subspan(offset, kTextLength);
    return std::string(field.begin(), field.end());
}

std::string FirmwareImage::model() const { return textField(kModelOffset); }
std::string FirmwareImage::version() const { return textField(kVersionOffset); }

ImageRecord FirmwareImage::record(std::size_t slot) const {
    return ImageRecord(block_.subspan(kTableOffset + slot * kRecordSize).first<kRecordSize>());
}

std::optional<std::size_t> FirmwareImage::findStartRecord() const {
    for (std::size_t slot = 0; slot < kRecordSlots; ++slot) {
        ImageRecord rec = record(slot);
        if (rec.blockNumber() == kStartBlock) return slot;
        if (rec.isEndMarker()) break;
    }
    return std::nullopt;
}

}  // namespace qelisp
