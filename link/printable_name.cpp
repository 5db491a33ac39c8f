#include "link/printable_name.h"

#include <utility>
#include <vector>

namespace qelisp {

namespace {

std::string escaped(char c) {
    const auto byte = static_cast<unsigned char>(c);
    switch (byte) {
        case '\n': return "\\n";
        case '\r': return "\\r";
        case '\t': return "\\t";
        default: break;
    }
    if (byte >= 0x20 && byte < 0x7F) return std::string(1, c);
    constexpr char kHex[] = "0123456789abcdef";
    return {'\\', 'x', kHex[byte >> 4], kHex[byte & 0x0F]};
}

// One printable piece of `text` from `at` on: the bytes it takes, and how it
// is shown. With `utf8`, a well-formed character that is safe to show is one
// piece as it is.
std::pair<std::size_t, std::string> piece(std::string_view text, std::size_t at, bool utf8) {
    const auto lead = static_cast<unsigned char>(text[at]);
    if (utf8 && lead >= 0xC2 && lead <= 0xF4) {
        const std::size_t length = lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        if (at + length <= text.size()) {
            char32_t code = lead & (length == 2 ? 0x1F : length == 3 ? 0x0F : 0x07);
            bool wellFormed = true;
            for (std::size_t i = 1; i < length; ++i) {
                const auto next = static_cast<unsigned char>(text[at + i]);
                wellFormed = wellFormed && (next & 0xC0) == 0x80;
                code = (code << 6) | (next & 0x3F);
            }
            const char32_t least = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
            const bool control = code <= 0x9F;  // C1
            const bool reorders = (code >= 0x202A && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069) ||
                                  code == 0x200E || code == 0x200F || code == 0x061C;  // bidi marks
            const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
            if (wellFormed && code >= least && code <= 0x10FFFF && !control && !reorders && !surrogate) {
                return {length, std::string(text.substr(at, length))};
            }
        }
    }
    return {1, escaped(text[at])};
}

std::size_t columns(const std::string& shown) {
    std::size_t n = 0;
    for (char c : shown) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

std::string printable(std::string_view name, std::size_t limit, bool utf8) {
    std::vector<std::string> pieces;
    std::size_t total = 0;
    for (std::size_t at = 0; at < name.size();) {
        auto [length, shown] = piece(name, at, utf8);
        total += columns(shown);
        pieces.push_back(std::move(shown));
        at += length;
    }
    std::string whole;
    for (const std::string& p : pieces) whole += p;
    if (total <= limit) return whole;

    constexpr std::string_view kGap = "...";
    const std::size_t room = limit > kGap.size() ? limit - kGap.size() : 0;
    const std::size_t tailRoom = room / 2;
    const std::size_t headRoom = room - tailRoom;
    std::string head;
    std::size_t headColumns = 0;
    std::size_t first = 0;
    for (; first < pieces.size() && headColumns + columns(pieces[first]) <= headRoom; ++first) {
        head += pieces[first];
        headColumns += columns(pieces[first]);
    }
    std::string tail;
    std::size_t tailColumns = 0;
    for (std::size_t last = pieces.size(); last > first && tailColumns + columns(pieces[last - 1]) <= tailRoom;
         --last) {
        tail.insert(0, pieces[last - 1]);
        tailColumns += columns(pieces[last - 1]);
    }
    return head + std::string(kGap) + tail;
}

}  // namespace

std::string printableName(std::string_view name, std::size_t limit) { return printable(name, limit, false); }

std::string printableText(std::string_view text, std::size_t limit) { return printable(text, limit, true); }

std::size_t displayColumns(std::string_view text) { return columns(std::string(text)); }

}  // namespace qelisp
