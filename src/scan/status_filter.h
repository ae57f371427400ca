// Status texts show names taken from the machine and the definitions; some of those are
// not fit to show, so offensive words are taken out before a text reaches the window.
#pragma once

#include <string>

namespace kx {

// Removes every occurrence of each listed word (ignoring case, also inside longer words),
// one word after the other; the first word is removed twice.
std::string FilterStatusWords(std::string text);

// The words, in removal order (41 of them).
const char* const* FilteredStatusWords(size_t& count);

}  // namespace kx
