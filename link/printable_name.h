#pragma once
// A port name as messages show it. The name comes from the user or the
// system and may hold anything: every byte that is not printable ASCII is
// escaped (\n, \r, \t, \x1b) so that it cannot move the cursor or recolour a
// terminal, and a long name keeps its start and end around "..." so that the
// reason after it stays in view. A backslash is kept as it is: Windows paths
// are full of them.
#include <cstddef>
#include <string>
#include <string_view>

namespace qelisp {

constexpr std::size_t kPrintableNameLimit = 80;

// At most `limit` characters (at least the "..." itself); an escape is never
// cut in half.
std::string printableName(std::string_view name, std::size_t limit = kPrintableNameLimit);

// The same for a terminal that shows UTF-8: a well-formed character beyond
// ASCII (an adapter's "Prolific USB-zu-Seriell") stays as it is; control
// characters, C1 controls and the marks that reorder text are escaped.
// `limit` counts characters as the terminal shows them.
std::string printableText(std::string_view text, std::size_t limit = kPrintableNameLimit);

// The columns a printable text takes: one per character.
std::size_t displayColumns(std::string_view text);

}  // namespace qelisp
