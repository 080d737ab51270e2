#pragma once

#include "context/Comforts.h"

#include <string>

// The comforts' file: plain text, one "name = value" a line, "#" starting a comment. Unknown
// names are kept and written back; a value that cannot be read falls back to its default, and
// Problem names each such line (once, for one warning).
struct TComfortsLoad {
    bool Missing = false;
    std::string Problem;
};

TComfortsLoad LoadComforts(const std::string& fileName, TComforts& comforts);
// Written like the save files: temporary file, sync, rename. Throws naming the file.
void SaveComforts(const std::string& fileName, const TComforts& comforts);
