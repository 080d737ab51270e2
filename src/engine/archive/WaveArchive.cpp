#include "engine/archive/WaveArchive.h"

#include "engine/archive/ObjectStream.h"

#include <algorithm>
#include <strings.h>

namespace {

constexpr const char* RootClassName = "TWaveCollectionComponent";

bool Is(const std::string& property, const char* name) {
    return strcasecmp(property.c_str(), name) == 0;
}

void ReadItemProperty(TObjectReader& in, const std::string& property, TWaveArchiveItem& item) {
    if (Is(property, "Name")) {
        item.Name = in.ReadString();
    } else if (Is(property, "Looped")) {
        item.Looped = in.ReadBoolean();
    } else if (Is(property, "MaxPlayingCount")) {
        item.MaxPlayingCount = std::max(in.ReadInteger(), 0);
    } else if (Is(property, "Wave.WAVE")) {
        const auto wave = in.ReadBinary();
        item.Wave.assign(wave.begin(), wave.end());
    } else {
        throw EReadError(ArchiveMessages::PropertyDoesNotExist(property));
    }
}

} // namespace

std::vector<TWaveArchiveItem> ReadWaveArchive(std::span<const uint8_t> bytes) {
    return ReadArchiveItems<TWaveArchiveItem>(bytes, ReadItemProperty);
}

std::vector<TWaveArchiveItem> ReadWaveArchive(const std::string& fileName) {
    return ReadArchiveItemsFromFile<TWaveArchiveItem>(fileName, ReadItemProperty);
}

std::vector<uint8_t> WriteWaveArchive(const std::vector<TWaveArchiveItem>& items) {
    return WriteArchiveContainer(RootClassName, [&](TObjectWriter& out) {
        for (const TWaveArchiveItem& item : items) {
            out.BeginItem();
            out.WritePropertyName("Name");
            out.WriteString(item.Name);
            if (item.Looped) {
                out.WritePropertyName("Looped");
                out.WriteBoolean(true);
            }
            if (item.MaxPlayingCount > 0) {
                out.WritePropertyName("MaxPlayingCount");
                out.WriteInteger(item.MaxPlayingCount);
            }
            if (!item.Wave.empty()) {
                out.WritePropertyName("Wave.WAVE");
                out.WriteBinary(item.Wave);
            }
            out.WriteEndOfList();
        }
    });
}

void WriteWaveArchiveFile(const std::string& fileName, const std::vector<TWaveArchiveItem>& items) {
    WriteArchiveFile(fileName, WriteWaveArchive(items));
}
