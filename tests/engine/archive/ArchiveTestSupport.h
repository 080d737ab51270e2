#pragma once

#include "engine/archive/ImageArchive.h"
#include "engine/archive/ObjectStream.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

// An image archive whose items are written by hand, so tests can put anything in them.
inline std::vector<uint8_t> HandMadeArchive(const std::function<void(TObjectWriter&)>& items) {
    return WriteArchiveContainer("TPictureCollectionComponent", items);
}

// An archive with one item whose Picture.Data is the given record.
inline std::vector<uint8_t> ArchiveWithPictureRecord(const std::vector<uint8_t>& record) {
    return HandMadeArchive([&](TObjectWriter& out) {
        out.BeginItem();
        out.WritePropertyName("Name");
        out.WriteString("Pic");
        out.WritePropertyName("Picture.Data");
        out.WriteBinary(record);
        out.WriteEndOfList();
    });
}

inline std::vector<uint8_t> TDibRecord(const std::vector<uint8_t>& dib) {
    std::vector<uint8_t> record{4, 'T', 'D', 'I', 'B'};
    record.insert(record.end(), dib.begin(), dib.end());
    return record;
}

// The message of the archive error that reading bytes as an image archive raises.
inline std::string ImageReadFailure(const std::vector<uint8_t>& bytes) {
    try {
        ReadImageArchive(std::span<const uint8_t>(bytes));
    } catch (const EArchiveError& e) {
        return e.what();
    }
    return "(no failure)";
}
