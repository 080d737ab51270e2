// spraydash-archive: lists, exports and builds the game's image and sound archives.

#include "Manifest.h"
#include "PngFile.h"
#include "engine/archive/ImageArchive.h"
#include "engine/archive/ObjectStream.h"
#include "engine/archive/WaveArchive.h"

#include <cstdio>
#include <iostream>
#include <string>
#include <strings.h>
#include <vector>

namespace {

constexpr const char* SoundArchiveClass = "TWaveCollectionComponent";

const char* Usage = "Usage:\n"
                    "  spraydash-archive list FILE               every item of an image or sound archive\n"
                    "  spraydash-archive export FILE NAME OUT.png  one item's picture as PNG\n"
                    "  spraydash-archive pack MANIFEST OUT       an image archive from PNG pictures\n"
                    "  spraydash-archive --help\n"
                    "\n"
                    "list prints, for pictures: name, picture size and bit count, pattern size, skips,\n"
                    "pattern count, transparency and transparent colour; for sounds: name, looped,\n"
                    "maximum playing count and the size of the WAVE data.\n"
                    "export takes the name without regard to case; of two items with one name, the later.\n"
                    "\n";

std::string ColorText(int32_t color) {
    char rgb[16];
    std::snprintf(rgb, sizeof rgb, "#%06X", ColorValueToRGB(color));
    if (const auto ident = ColorToIdent(color))
        return *ident + " (" + rgb + ")";
    return rgb;
}

void ListImages(const std::vector<TImageArchiveItem>& items) {
    std::printf("%-24s %-11s %4s %-11s %-9s %8s %-11s %s\n", "Name", "Picture", "Bits", "Pattern", "Skip",
                "Patterns", "Transparent", "Colour");
    for (const TImageArchiveItem& item : items) {
        std::string size = "-", bits = "-";
        int patterns = 0;
        if (item.Picture) {
            size = std::to_string(item.Picture->Width) + "x" + std::to_string(item.Picture->Height);
            bits = std::to_string(item.Picture->BitCount);
            patterns = ComputePatternCount(item);
        }
        const std::string pattern =
            std::to_string(item.PatternWidth) + "x" + std::to_string(item.PatternHeight);
        const std::string skip = std::to_string(item.SkipWidth) + "x" + std::to_string(item.SkipHeight);
        std::printf("%-24s %-11s %4s %-11s %-9s %8d %-11s %s%s\n", item.Name.c_str(), size.c_str(),
                    bits.c_str(), pattern.c_str(), skip.c_str(), patterns, item.Transparent ? "yes" : "no",
                    ColorText(item.TransparentColor).c_str(), item.SystemMemory ? "  systemmemory" : "");
    }
}

void ListWaves(const std::vector<TWaveArchiveItem>& items) {
    std::printf("%-24s %-6s %15s %10s\n", "Name", "Looped", "MaxPlayingCount", "WaveBytes");
    for (const TWaveArchiveItem& item : items)
        std::printf("%-24s %-6s %15d %10zu\n", item.Name.c_str(), item.Looped ? "yes" : "no",
                    item.MaxPlayingCount, item.Wave.size());
}

std::string Describe(const EArchiveError& e, const std::string& fileName) {
    std::string where = e.FileName().empty() ? fileName : e.FileName();
    if (!e.ItemName().empty())
        where += ": item \"" + e.ItemName() + "\"";
    return where + ": " + e.what();
}

int List(const std::string& fileName) {
    const std::vector<uint8_t> bytes = ReadArchiveFile(fileName);
    std::string className;
    try {
        className = ReadArchiveClassName(bytes);
    } catch (const EArchiveError&) {
        // The image reader reports what is wrong below.
    }
    if (className == SoundArchiveClass) {
        ListWaves(ReadWaveArchive(fileName));
        return 0;
    }
    try {
        ListImages(ReadImageArchive(fileName));
        return 0;
    } catch (const EArchiveError& imageError) {
        // Sounds written under another root class name.
        try {
            ListWaves(ReadWaveArchive(fileName));
            return 0;
        } catch (const EArchiveError&) {
            std::cerr << "spraydash-archive: " << Describe(imageError, fileName) << "\n";
            return 1;
        }
    }
}

int Export(const std::string& fileName, const std::string& name, const std::string& out) {
    const auto items = ReadImageArchive(fileName);
    const TImageArchiveItem* found = nullptr;
    for (const TImageArchiveItem& item : items)
        if (strcasecmp(item.Name.c_str(), name.c_str()) == 0)
            found = &item;
    if (!found) {
        std::cerr << "spraydash-archive: " << fileName << ": no item named \"" << name << "\"\n";
        return 1;
    }
    if (!found->Picture || found->Picture->Pixels.empty()) {
        std::cerr << "spraydash-archive: " << fileName << ": item \"" << found->Name << "\" has no picture\n";
        return 1;
    }
    WritePng(out, *found->Picture);
    return 0;
}

int Pack(const std::string& manifest, const std::string& out) {
    std::vector<TImageArchiveItem> items;
    for (TManifestEntry& entry : ReadManifest(manifest)) {
        std::vector<uint8_t> alpha;
        TDibPicture picture = ReadPng(entry.PngPath, &alpha);
        if (entry.Item.Transparent) {
            const uint32_t key = ColorValueToRGB(entry.Item.TransparentColor);
            for (size_t i = 0; i < picture.Pixels.size(); ++i)
                if (alpha[i] < 128)
                    picture.Pixels[i] = key;
        }
        entry.Item.Picture = std::move(picture);
        items.push_back(std::move(entry.Item));
    }
    WriteImageArchiveFile(out, items);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "--help" || args[0] == "-h") {
        std::cout << Usage << ManifestHelp;
        return args.empty() ? 2 : 0;
    }
    try {
        if (args[0] == "list" && args.size() == 2)
            return List(args[1]);
        if (args[0] == "export" && args.size() == 4)
            return Export(args[1], args[2], args[3]);
        if (args[0] == "pack" && args.size() == 3)
            return Pack(args[1], args[2]);
    } catch (const EArchiveError& e) {
        std::cerr << "spraydash-archive: " << Describe(e, args.size() > 1 ? args[1] : "") << "\n";
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "spraydash-archive: " << e.what() << "\n";
        return 1;
    }
    std::cerr << Usage << "Run with --help for the manifest format.\n";
    return 2;
}
