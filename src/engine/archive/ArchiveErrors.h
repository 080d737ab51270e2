#pragma once

#include <stdexcept>
#include <string>

// Failures while reading an archive. what() is the bare message; the file and the item
// being read when it happened are kept beside it for whoever reports the error.
class EArchiveError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;

    const std::string& FileName() const { return m_fileName; }
    const std::string& ItemName() const { return m_itemName; }
    void SetFileName(const std::string& fileName) { m_fileName = fileName; }
    void SetItemName(const std::string& itemName) { m_itemName = itemName; }

  private:
    std::string m_fileName;
    std::string m_itemName;
};

// The file could not be opened: "Cannot open file "name". reason".
class EFOpenError : public EArchiveError {
  public:
    using EArchiveError::EArchiveError;
};

// The resource header or the object stream signature is wrong: "Invalid stream format".
class EStreamFormatError : public EArchiveError {
  public:
    using EArchiveError::EArchiveError;
};

// The object stream ends early or holds something that does not fit:
// "Stream read error", "Property %s does not exist", "Invalid property value".
class EReadError : public EArchiveError {
  public:
    using EArchiveError::EArchiveError;
};

// A picture that cannot be decoded: "DIB is invalid", "Bitcount in invalid (%d)",
// "PixelFormat in invalid".
class EInvalidGraphic : public EArchiveError {
  public:
    using EArchiveError::EArchiveError;
};

namespace ArchiveMessages {
inline constexpr const char* InvalidStreamFormat = "Invalid stream format";
inline constexpr const char* StreamReadError = "Stream read error";
inline constexpr const char* InvalidPropertyValue = "Invalid property value";
inline constexpr const char* DibInvalid = "DIB is invalid";
inline constexpr const char* PixelFormatInvalid = "PixelFormat in invalid";

inline std::string PropertyDoesNotExist(const std::string& name) {
    return "Property " + name + " does not exist";
}
inline std::string BitCountInvalid(int bitCount) {
    return "Bitcount in invalid (" + std::to_string(bitCount) + ")";
}
inline std::string CannotOpenFile(const std::string& fileName, const std::string& reason) {
    return "Cannot open file \"" + fileName + "\". " + reason;
}
} // namespace ArchiveMessages
