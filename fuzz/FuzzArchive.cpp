// Any bytes given to the archive readers end in items or in an archive error; anything
// else (a crash, a sanitizer report, another exception) is a fault.

#include "engine/archive/ImageArchive.h"
#include "engine/archive/WaveArchive.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    try {
        ReadImageArchive(bytes);
    } catch (const EArchiveError&) {
    }
    try {
        ReadWaveArchive(bytes);
    } catch (const EArchiveError&) {
    }
    // Pictures straight away too, so that mutations reach the decoder without first
    // having to keep a whole archive intact.
    try {
        DecodePictureRecord(bytes);
    } catch (const EArchiveError&) {
    }
    return 0;
}
