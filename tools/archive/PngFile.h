#pragma once

#include "engine/archive/Dib.h"

#include <string>

// PNG pictures as the archive tool reads and writes them. Failures throw std::runtime_error
// naming the file.

// Alpha in Alpha (one byte per pixel, 255 = opaque) when the caller wants it.
TDibPicture ReadPng(const std::string& fileName, std::vector<uint8_t>* alpha = nullptr);
void WritePng(const std::string& fileName, const TDibPicture& picture);
