#include "ui/elide_middle.h"

#include <vector>

namespace qelisp {

std::string elideMiddle(const std::string& text, int width, const std::function<int(std::string_view)>& textWidth) {
    if (text.empty() || textWidth(text) <= width) return text;
    // Where each character starts: a cut never splits one.
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) starts.push_back(i);
    }
    const std::size_t count = starts.size();
    starts.push_back(text.size());
    std::string shortened;
    for (std::size_t kept = count - 1;; --kept) {
        const std::size_t head = kept / 2;
        const std::size_t tail = kept - head;
        shortened = text.substr(0, starts[head]);
        shortened += kEllipsis;
        shortened += text.substr(starts[count - tail]);
        if (kept == 0 || textWidth(shortened) <= width) return shortened;
    }
}

}  // namespace qelisp
