#include "cli/records/image_info.h"

#include "cli/records/sha256.h"
#include "jobs/status_text.h"

#include <algorithm>

namespace qelisp::cli {

ImageSummary summarize(const FirmwareImage& image) {
    ImageSummary s;
    s.model = image.model();
    s.version = image.version();
    image.walk(0, [&](const ImageRecord&) {
        ++s.tableRecords;
        return true;
    });
    auto start = image.findStartRecord();
    if (!start) return s;
    s.hasStart = true;
    Sha256 hash;
    std::uint32_t first = 0xFFFFFFFF;
    std::uint32_t last = 0;
    image.walk(*start, [&](const ImageRecord& record) {
        ++s.sentRecords;
        first = std::min(first, record.address());
        last = std::max(last, record.address() + static_cast<std::uint32_t>(kRecordDataSize) - 1);
        hash.update(record.data());
        return true;
    });
    s.firstAddress = s.sentRecords ? first : 0;
    s.lastAddress = last;
    s.sha256 = Sha256::hex(hash.finish());
    return s;
}

std::string formatSummary(const ImageSummary& s) {
    std::string out;
    out += "model:    \"" + s.model + "\"\n";
    out += "version:  \"" + s.version + "\"\n";
    out +=
        "records:  " + std::to_string(s.tableRecords) + " in the table, " + std::to_string(s.sentRecords) + " sent\n";
    if (!s.hasStart) {
        out += "range:    none: the table has no record for 03000H, so every job ends with \"" +
               std::string(kDataError) + "\"\n";
        return out;
    }
    out += addressStatus("range:    ", s.firstAddress) + addressStatus("-", s.lastAddress) + "\n";
    out += "sha256:   " + s.sha256 + " (the records sent, 128 bytes each, in order)\n";
    return out;
}

std::string formatVersion(std::string_view programVersion, const ImageSummary& s) {
    auto trimmed = [](std::string text) { return text.erase(text.find_last_not_of(' ') + 1); };
    std::string out = "qelisp-cli " + std::string(programVersion) + "\n";
    out += "firmware: " + trimmed(s.model) + " " + trimmed(s.version) + "\n";
    out += "sha256:   " + (s.hasStart ? s.sha256 : std::string("none: the table has no record for 03000H")) + "\n";
    return out;
}

}  // namespace qelisp::cli
