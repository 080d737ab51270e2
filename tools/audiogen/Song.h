#pragma once
#include <istream>
#include <string>

#include "XmModule.h"

namespace audiogen {

// Reads a composition in the note format of assets/music (see the header comment of its files) and
// builds the module, rendering every instrument's sample. Throws std::runtime_error naming sourceName
// and the line of the first problem.
XmModule ParseSong(std::istream& in, const std::string& sourceName);

// Seconds from the start until the order list wraps round, at the module's fixed speed and tempo.
double SongDuration(const XmModule& module);

} // namespace audiogen
