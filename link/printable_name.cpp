#include "link/printable_name.h"

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

}  // namespace

std::string printableName(std::string_view name, std::size_t limit) {
    std::string whole;
    for (char c : name) whole += escaped(c);
    if (whole.size() <= limit) return whole;

    constexpr std::string_view kGap = "...";
    const std::size_t room = limit > kGap.size() ? limit - kGap.size() : 0;
    const std::size_t tailRoom = room / 2;
    const std::size_t headRoom = room - tailRoom;
    std::string head;
    std::size_t first = 0;
    while (first < name.size()) {
        std::string piece = escaped(name[first]);
        if (head.size() + piece.size() > headRoom) break;
        head += piece;
        ++first;
    }
    std::string tail;
    for (std::size_t last = name.size(); last > first; --last) {
        std::string piece = escaped(name[last - 1]);
        if (tail.size() + piece.size() > tailRoom) break;
        tail.insert(0, piece);
    }
    return head + std::string(kGap) + tail;
}

}  // namespace qelisp
