#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Texts shown to a person in a dialog or on a terminal may carry bytes from damaged files (an
// archive's names, say). Those could garble the dialog or drive the terminal, so every byte that
// is not part of a printable UTF-8 character becomes a visible \xNN. Line breaks stay. A text
// longer than maxBytes is cut at a character boundary and ends in "...".
std::string PrintableMessage(std::string_view text, std::size_t maxBytes = 4000);
