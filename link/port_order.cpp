#include "link/port_order.h"

#include <cctype>
#include <cstddef>

namespace qelisp {

namespace {

bool isDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

// -1, 0 or 1 for the digit runs a[i..) and b[j..), by value; moves i and j
// past them. Leading zeros do not count, so no number is too long.
int compareNumbers(std::string_view a, std::size_t& i, std::string_view b, std::size_t& j) {
    while (i < a.size() && a[i] == '0') ++i;
    while (j < b.size() && b[j] == '0') ++j;
    std::size_t startA = i, startB = j;
    while (i < a.size() && isDigit(a[i])) ++i;
    while (j < b.size() && isDigit(b[j])) ++j;
    std::string_view x = a.substr(startA, i - startA), y = b.substr(startB, j - startB);
    if (x.size() != y.size()) return x.size() < y.size() ? -1 : 1;
    return x < y ? -1 : (y < x ? 1 : 0);
}

}  // namespace

bool portNameLess(std::string_view a, std::string_view b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            int order = compareNumbers(a, i, b, j);
            if (order != 0) return order < 0;
            continue;
        }
        const int x = std::toupper(static_cast<unsigned char>(a[i]));
        const int y = std::toupper(static_cast<unsigned char>(b[j]));
        if (x != y) return x < y;
        ++i;
        ++j;
    }
    if ((a.size() - i) != (b.size() - j)) return (a.size() - i) < (b.size() - j);
    // Names alike but for case or leading zeros: any fixed order will do.
    return a < b;
}

}  // namespace qelisp
