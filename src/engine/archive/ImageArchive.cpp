#include "engine/archive/ImageArchive.h"

#include "engine/archive/ObjectStream.h"

#include <strings.h>

namespace {

constexpr const char* RootClassName = "TPictureCollectionComponent";

bool Is(const std::string& property, const char* name) {
    return strcasecmp(property.c_str(), name) == 0;
}

void ReadItemProperty(TObjectReader& in, const std::string& property, TImageArchiveItem& item) {
    if (Is(property, "Name"))
        item.Name = in.ReadString();
    else if (Is(property, "PatternHeight"))
        item.PatternHeight = in.ReadInteger();
    else if (Is(property, "PatternWidth"))
        item.PatternWidth = in.ReadInteger();
    else if (Is(property, "SkipHeight"))
        item.SkipHeight = in.ReadInteger();
    else if (Is(property, "SkipWidth"))
        item.SkipWidth = in.ReadInteger();
    else if (Is(property, "SystemMemory"))
        item.SystemMemory = in.ReadBoolean();
    else if (Is(property, "Transparent"))
        item.Transparent = in.ReadBoolean();
    else if (Is(property, "TransparentColor"))
        item.TransparentColor = in.ReadColor();
    else if (Is(property, "Picture.Data"))
        item.Picture = DecodePictureRecord(in.ReadBinary());
    else
        throw EReadError(ArchiveMessages::PropertyDoesNotExist(property));
}

// Patterns along one side: whole cells, plus one more when what is left over is exactly one
// pattern (the last pattern needs no gap after it). A pattern size of 0 means the whole
// picture, which the plain formula would divide by.
int PatternsAlong(int size, int pattern, int skip) {
    if (size <= 0)
        return 0;
    if (pattern <= 0)
        return 1;
    const int64_t cell = int64_t{pattern} + skip;
    if (cell <= 0)
        return 0;
    int64_t count = size / cell;
    if (size - count * cell == pattern)
        ++count;
    return static_cast<int>(count);
}

} // namespace

int ComputePatternCount(const TImageArchiveItem& item) {
    if (!item.Picture)
        return 0;
    return PatternsAlong(item.Picture->Width, item.PatternWidth, item.SkipWidth) *
           PatternsAlong(item.Picture->Height, item.PatternHeight, item.SkipHeight);
}

std::vector<TImageArchiveItem> ReadImageArchive(std::span<const uint8_t> bytes) {
    return ReadArchiveItems<TImageArchiveItem>(bytes, ReadItemProperty);
}

std::vector<TImageArchiveItem> ReadImageArchive(const std::string& fileName) {
    return ReadArchiveItemsFromFile<TImageArchiveItem>(fileName, ReadItemProperty);
}

std::vector<uint8_t> WriteImageArchive(const std::vector<TImageArchiveItem>& items,
                                       const TDibWriteOptions& options) {
    return WriteArchiveContainer(RootClassName, [&](TObjectWriter& out) {
        const TImageArchiveItem defaults;
        for (const TImageArchiveItem& item : items) {
            out.BeginItem();
            out.WritePropertyName("Name");
            out.WriteString(item.Name);
            const std::pair<const char*, int32_t> numbers[] = {
                {"PatternHeight", item.PatternHeight},
                {"PatternWidth", item.PatternWidth},
                {"SkipHeight", item.SkipHeight},
                {"SkipWidth", item.SkipWidth},
            };
            for (const auto& [name, value] : numbers) {
                if (value != 0) {
                    out.WritePropertyName(name);
                    out.WriteInteger(value);
                }
            }
            if (item.SystemMemory != defaults.SystemMemory) {
                out.WritePropertyName("SystemMemory");
                out.WriteBoolean(item.SystemMemory);
            }
            if (item.Transparent != defaults.Transparent) {
                out.WritePropertyName("Transparent");
                out.WriteBoolean(item.Transparent);
            }
            if (item.TransparentColor != defaults.TransparentColor) {
                out.WritePropertyName("TransparentColor");
                out.WriteColor(item.TransparentColor);
            }
            if (item.Picture) {
                out.WritePropertyName("Picture.Data");
                out.WriteBinary(EncodePictureRecord(*item.Picture, options));
            }
            out.WriteEndOfList();
        }
    });
}

void WriteImageArchiveFile(const std::string& fileName, const std::vector<TImageArchiveItem>& items,
                           const TDibWriteOptions& options) {
    WriteArchiveFile(fileName, WriteImageArchive(items, options));
}
