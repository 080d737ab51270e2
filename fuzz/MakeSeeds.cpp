// Writes archives in every stored form into a folder, as a starting corpus for fuzz_archive.

#include "engine/archive/ImageArchive.h"
#include "engine/archive/WaveArchive.h"

#include <fstream>
#include <iostream>
#include <string>

namespace {

void Save(const std::string& folder, const std::string& name, const std::vector<uint8_t>& bytes) {
    std::ofstream(folder + "/" + name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: fuzz_archive_seeds FOLDER\n";
        return 2;
    }
    const std::string folder = argv[1];
    TDibPicture picture;
    picture.Width = 9;
    picture.Height = 3;
    const uint32_t colours[4] = {0x000000, 0xFF00FF, 0x00FF00, 0xFFFFFF};
    for (int i = 0; i < 27; ++i)
        picture.Pixels.push_back(colours[(i < 4 ? 1 : i) % 4]);
    TImageArchiveItem item;
    item.Name = "Item";
    item.PatternWidth = 3;
    item.PatternHeight = 3;
    item.SkipWidth = 1;
    item.TransparentColor = 0xFF00FF;
    item.Picture = picture;
    TImageArchiveItem plain;
    plain.Name = "Plain";
    plain.Transparent = false;
    plain.TransparentColor = *ColorFromIdent("clBtnFace");

    struct Form {
        const char* Name;
        int Bits;
        TDibCompression Compression;
        bool Core, TopDown, BitmapFile;
    };
    using C = TDibCompression;
    const Form forms[] = {
        {"b1", 1, C::None, false, false, false},        {"b4", 4, C::None, false, false, false},
        {"b8", 8, C::None, false, true, false},         {"b16", 16, C::BitFields, false, false, false},
        {"b16p", 16, C::None, false, false, false},     {"b24", 24, C::None, false, false, true},
        {"b32", 32, C::BitFields, false, false, false}, {"rle8", 8, C::Rle, false, false, false},
        {"rle4", 4, C::Rle, false, false, true},        {"core8", 8, C::None, true, false, false},
    };
    for (const Form& f : forms) {
        TDibWriteOptions options;
        options.BitCount = f.Bits;
        options.Compression = f.Compression;
        options.CoreHeader = f.Core;
        options.TopDown = f.TopDown;
        options.AsBitmapFile = f.BitmapFile;
        TImageArchiveItem it = item;
        if (f.Bits == 1) {
            for (uint32_t& p : it.Picture->Pixels)
                p = p == 0xFF00FF ? 0xFF00FF : 0;
        }
        Save(folder, std::string("image_") + f.Name + ".dxg", WriteImageArchive({it, plain}, options));
        Save(folder, std::string("picture_") + f.Name + ".bin", EncodePictureRecord(*it.Picture, options));
    }
    TWaveArchiveItem wave;
    wave.Name = "Engine";
    wave.Looped = true;
    wave.MaxPlayingCount = 2;
    wave.Wave = {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'};
    Save(folder, "sounds.dxw", WriteWaveArchive({wave, TWaveArchiveItem{}}));
    return 0;
}
