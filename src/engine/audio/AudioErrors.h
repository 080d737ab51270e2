#pragma once

#include "engine/archive/ArchiveErrors.h"

#include <stdexcept>
#include <string>

// A recording whose RIFF header is not "RIFF....WAVE": "Wave is invalid". It surfaces while an
// archive loads, so it carries the file and item names like the archive's own errors.
class EWaveError : public EArchiveError {
  public:
    using EArchiveError::EArchiveError;
};

// An effect name the wave list does not hold: "Wave 'name' not found".
class EWaveCollectionError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The sound device cannot be opened: "DirectSound cannot be initialized".
class EDirectSoundError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A recording the mixer cannot take (format block missing, not PCM, out of range):
// "Sound Buffer cannot be made".
class EDirectSoundBufferError : public EDirectSoundError {
  public:
    using EDirectSoundError::EDirectSoundError;
};

namespace AudioMessages {
inline constexpr const char* WaveInvalid = "Wave is invalid";

inline std::string WaveNotFound(const std::string& name) {
    return "Wave '" + name + "' not found";
}
inline std::string CannotBeInitialized(const std::string& what) {
    return what + " cannot be initialized";
}
inline std::string CannotBeMade(const std::string& what) {
    return what + " cannot be made";
}
} // namespace AudioMessages
