#include "engine/archive/ObjectStream.h"

#include "engine/archive/ArchiveErrors.h"
#include "engine/archive/ColorNames.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <system_error>

namespace {

constexpr uint8_t ResourceMarker = 0xFF;
constexpr uint16_t ResourceTypeRCData = 10;
// The resource name must end within the first 79 bytes of the file.
constexpr size_t ResourceNameLimit = 79;
constexpr uint16_t ResourceFlags = 0x1030;
constexpr char Signature[4] = {'T', 'P', 'F', '0'};
constexpr uint8_t PrefixMarker = 0xF0;
constexpr uint8_t PrefixHasOrder = 2;
constexpr const char* ListProperty = "List";
constexpr const char* ColorTableProperty = "List.ColorTable";
// Nested objects are not expected at all; the limit only keeps a hostile file from
// recursing the stack away.
constexpr int MaxChildDepth = 8;

[[noreturn]] void ReadFailure() {
    throw EReadError(ArchiveMessages::StreamReadError);
}
[[noreturn]] void BadValue() {
    throw EReadError(ArchiveMessages::InvalidPropertyValue);
}
[[noreturn]] void BadFormat() {
    throw EStreamFormatError(ArchiveMessages::InvalidStreamFormat);
}

bool SameText(const std::string& a, const char* b) {
    const size_t n = std::strlen(b);
    if (a.size() != n)
        return false;
    for (size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// Windows-1252 bytes 0x80..0x9F by the character they stand for; 0 where the code page has a gap.
constexpr uint16_t Cp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

char ToAnsi(uint32_t codePoint) {
    if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF))
        return static_cast<char>(codePoint);
    for (int i = 0; i < 32; ++i)
        if (Cp1252High[i] != 0 && Cp1252High[i] == codePoint)
            return static_cast<char>(0x80 + i);
    return '?';
}

std::string FromUtf16(std::span<const uint8_t> bytes) {
    std::string out;
    out.reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        uint32_t unit = bytes[i] | (bytes[i + 1] << 8);
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 3 < bytes.size()) {
            const uint32_t low = bytes[i + 2] | (bytes[i + 3] << 8);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                i += 2;
                unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
            }
        }
        out.push_back(ToAnsi(unit));
    }
    return out;
}

std::string FromUtf8(std::span<const uint8_t> bytes) {
    std::string out;
    out.reserve(bytes.size());
    size_t i = 0;
    while (i < bytes.size()) {
        const uint8_t b = bytes[i];
        int extra = b < 0x80             ? 0
                    : (b & 0xE0) == 0xC0 ? 1
                    : (b & 0xF0) == 0xE0 ? 2
                    : (b & 0xF8) == 0xF0 ? 3
                                         : -1;
        if (extra < 0) {
            out.push_back('?');
            ++i;
            continue;
        }
        uint32_t cp = extra == 0 ? b : (b & (0x3F >> extra));
        bool ok = true;
        for (int k = 1; k <= extra; ++k) {
            if (i + k >= bytes.size() || (bytes[i + k] & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            cp = (cp << 6) | (bytes[i + k] & 0x3F);
        }
        if (!ok) {
            out.push_back('?');
            ++i;
            continue;
        }
        out.push_back(ToAnsi(cp));
        i += extra + 1;
    }
    return out;
}

} // namespace

// ---- TByteReader ----

uint8_t TByteReader::U8() {
    if (m_pos >= m_bytes.size())
        ReadFailure();
    return m_bytes[m_pos++];
}

uint8_t TByteReader::Peek() const {
    if (m_pos >= m_bytes.size())
        ReadFailure();
    return m_bytes[m_pos];
}

uint16_t TByteReader::U16() {
    const auto b = Bytes(2);
    return static_cast<uint16_t>(b[0] | (b[1] << 8));
}

int16_t TByteReader::I16() {
    return static_cast<int16_t>(U16());
}

uint32_t TByteReader::U32() {
    const auto b = Bytes(4);
    return static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
           (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24);
}

int32_t TByteReader::I32() {
    return static_cast<int32_t>(U32());
}

int64_t TByteReader::I64() {
    const uint64_t low = U32();
    const uint64_t high = U32();
    return static_cast<int64_t>(low | (high << 32));
}

std::span<const uint8_t> TByteReader::Bytes(uint64_t count) {
    if (count > Remaining())
        ReadFailure();
    const auto result = m_bytes.subspan(m_pos, static_cast<size_t>(count));
    m_pos += static_cast<size_t>(count);
    return result;
}

std::string TByteReader::ShortString() {
    const uint8_t length = U8();
    const auto chars = Bytes(length);
    return std::string(chars.begin(), chars.end());
}

// ---- TObjectReader ----

void TObjectReader::ReadResourceHeader() {
    if (m_in.U8() != ResourceMarker || m_in.U16() != ResourceTypeRCData)
        BadFormat();
    for (;;) {
        if (m_in.Position() >= ResourceNameLimit)
            BadFormat();
        if (m_in.U8() == 0)
            break;
    }
    m_in.U16(); // flags
    m_in.U32(); // data size
}

void TObjectReader::ReadSignature() {
    const auto sig = m_in.Bytes(sizeof(Signature));
    if (!std::equal(sig.begin(), sig.end(), Signature))
        BadFormat();
}

std::string TObjectReader::ReadObjectHeader() {
    if (m_in.Peek() >= PrefixMarker) {
        const uint8_t flags = m_in.U8() & 0x0F;
        if (flags & PrefixHasOrder)
            ReadInteger();
    }
    std::string className = m_in.ShortString();
    m_in.ShortString(); // object name
    return className;
}

bool TObjectReader::EndOfList() {
    if (m_in.Peek() != 0)
        return false;
    m_in.U8();
    return true;
}

TValueCode TObjectReader::ReadCode() {
    return static_cast<TValueCode>(m_in.U8());
}

int32_t TObjectReader::ReadIntegerAfter(TValueCode code) {
    switch (code) {
    case TValueCode::Int8:
        return static_cast<int8_t>(m_in.U8());
    case TValueCode::Int16:
        return m_in.I16();
    case TValueCode::Int32:
        return m_in.I32();
    case TValueCode::Int64: {
        const int64_t v = m_in.I64();
        if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max())
            BadValue();
        return static_cast<int32_t>(v);
    }
    default:
        BadValue();
    }
}

int32_t TObjectReader::ReadInteger() {
    return ReadIntegerAfter(ReadCode());
}

bool TObjectReader::ReadBoolean() {
    switch (ReadCode()) {
    case TValueCode::False:
        return false;
    case TValueCode::True:
        return true;
    default:
        BadValue();
    }
}

std::string TObjectReader::ReadString() {
    switch (ReadCode()) {
    case TValueCode::String:
        return m_in.ShortString();
    case TValueCode::LString: {
        const auto chars = m_in.Bytes(m_in.U32());
        return std::string(chars.begin(), chars.end());
    }
    case TValueCode::WString:
        return FromUtf16(m_in.Bytes(uint64_t{m_in.U32()} * 2));
    case TValueCode::Utf8String:
        return FromUtf8(m_in.Bytes(m_in.U32()));
    default:
        BadValue();
    }
}

std::span<const uint8_t> TObjectReader::ReadBinary() {
    if (ReadCode() != TValueCode::Binary)
        BadValue();
    return m_in.Bytes(m_in.U32());
}

int32_t TObjectReader::ReadColor() {
    const TValueCode code = ReadCode();
    if (code != TValueCode::Ident)
        return ReadIntegerAfter(code);
    const auto color = ColorFromIdent(m_in.ShortString());
    if (!color)
        BadValue();
    return *color;
}

void TObjectReader::ReadCollectionStart() {
    if (ReadCode() != TValueCode::Collection)
        BadValue();
}

bool TObjectReader::NextCollectionItem() {
    TValueCode code = ReadCode();
    if (code == TValueCode::Null)
        return false;
    if (code == TValueCode::Int8 || code == TValueCode::Int16 || code == TValueCode::Int32) {
        ReadIntegerAfter(code); // an ordering hint, not needed
        code = ReadCode();
    }
    if (code != TValueCode::List)
        BadValue();
    return true;
}

// ---- Whole archives ----

namespace {

void ReadCollection(TObjectReader& in, const TCollectionItemReader& items) {
    in.ReadCollectionStart();
    while (in.NextCollectionItem()) {
        items.BeginItem();
        try {
            while (!in.EndOfList())
                items.ReadProperty(in, in.ReadPropertyName());
        } catch (EArchiveError& e) {
            if (e.ItemName().empty() && items.ItemName)
                e.SetItemName(items.ItemName());
            throw;
        }
    }
}

// Child objects are not part of either archive; one that has properties fails on the
// first of them, since no child class is known.
void ReadChildren(TObjectReader& in, int depth) {
    while (!in.EndOfList()) {
        if (depth >= MaxChildDepth)
            BadFormat();
        in.ReadObjectHeader();
        if (!in.EndOfList())
            throw EReadError(ArchiveMessages::PropertyDoesNotExist(in.ReadPropertyName()));
        ReadChildren(in, depth + 1);
    }
}

} // namespace

std::string ReadArchiveContainer(std::span<const uint8_t> bytes, const TCollectionItemReader& items) {
    TObjectReader in(bytes);
    in.ReadResourceHeader();
    in.ReadSignature();
    std::string className = in.ReadObjectHeader();
    while (!in.EndOfList()) {
        const std::string property = in.ReadPropertyName();
        if (SameText(property, ListProperty))
            ReadCollection(in, items);
        else if (SameText(property, ColorTableProperty))
            in.ReadBinary(); // palette displays only; this display has none
        else
            throw EReadError(ArchiveMessages::PropertyDoesNotExist(property));
    }
    ReadChildren(in, 0);
    return className;
}

std::string ReadArchiveClassName(std::span<const uint8_t> bytes) {
    TObjectReader in(bytes);
    in.ReadResourceHeader();
    in.ReadSignature();
    return in.ReadObjectHeader();
}

std::vector<uint8_t> ReadArchiveFile(const std::string& fileName) {
    std::error_code ignored;
    if (std::filesystem::is_directory(fileName, ignored))
        throw EFOpenError(ArchiveMessages::CannotOpenFile(fileName, std::strerror(EISDIR)));
    std::ifstream file(fileName, std::ios::binary);
    if (!file) {
        const int error = errno;
        throw EFOpenError(
            ArchiveMessages::CannotOpenFile(fileName, std::strerror(error != 0 ? error : ENOENT)));
    }
    // In large pieces, into room of the file's size where it has one: byte by byte through the
    // stream, growing as it goes, took a tenth of the start-up and twice the memory.
    std::vector<uint8_t> bytes;
    file.seekg(0, std::ios::end);
    const std::streamoff size = file.tellg();
    file.clear();
    file.seekg(0, std::ios::beg);
    file.clear();
    if (size > 0)
        bytes.reserve(static_cast<size_t>(size));
    std::vector<char> piece(size_t{1} << 16);
    while (file) {
        file.read(piece.data(), static_cast<std::streamsize>(piece.size()));
        bytes.insert(bytes.end(), piece.data(), piece.data() + file.gcount());
    }
    if (file.bad())
        throw EReadError(ArchiveMessages::StreamReadError);
    return bytes;
}

void WriteArchiveFile(const std::string& fileName, const std::vector<uint8_t>& bytes) {
    std::ofstream file(fileName, std::ios::binary | std::ios::trunc);
    if (!file) {
        const int error = errno;
        throw EFOpenError(
            ArchiveMessages::CannotOpenFile(fileName, std::strerror(error != 0 ? error : EACCES)));
    }
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file)
        throw std::runtime_error("Cannot write file \"" + fileName + "\"");
}

// ---- TObjectWriter ----

void TObjectWriter::WriteU16(uint16_t v) {
    WriteU8(static_cast<uint8_t>(v));
    WriteU8(static_cast<uint8_t>(v >> 8));
}

void TObjectWriter::WriteU32(uint32_t v) {
    WriteU16(static_cast<uint16_t>(v));
    WriteU16(static_cast<uint16_t>(v >> 16));
}

void TObjectWriter::WriteShortString(const std::string& s) {
    if (s.size() > 255)
        throw std::length_error("Name longer than 255 characters: " + s.substr(0, 40) + "...");
    WriteU8(static_cast<uint8_t>(s.size()));
    m_out.insert(m_out.end(), s.begin(), s.end());
}

void TObjectWriter::WriteInteger(int32_t v) {
    if (v >= -128 && v <= 127) {
        WriteCode(TValueCode::Int8);
        WriteU8(static_cast<uint8_t>(v));
    } else if (v >= -32768 && v <= 32767) {
        WriteCode(TValueCode::Int16);
        WriteU16(static_cast<uint16_t>(v));
    } else {
        WriteCode(TValueCode::Int32);
        WriteU32(static_cast<uint32_t>(v));
    }
}

void TObjectWriter::WriteString(const std::string& s) {
    if (s.size() <= 255) {
        WriteCode(TValueCode::String);
        WriteShortString(s);
        return;
    }
    WriteCode(TValueCode::LString);
    WriteU32(static_cast<uint32_t>(s.size()));
    m_out.insert(m_out.end(), s.begin(), s.end());
}

void TObjectWriter::WriteIdentifier(const std::string& ident) {
    WriteCode(TValueCode::Ident);
    WriteShortString(ident);
}

void TObjectWriter::WriteBinary(std::span<const uint8_t> bytes) {
    if (bytes.size() > std::numeric_limits<uint32_t>::max())
        throw std::length_error("Binary value larger than 4 GB");
    WriteCode(TValueCode::Binary);
    WriteU32(static_cast<uint32_t>(bytes.size()));
    m_out.insert(m_out.end(), bytes.begin(), bytes.end());
}

void TObjectWriter::WriteColor(int32_t color) {
    if (const auto ident = ColorToIdent(color))
        WriteIdentifier(*ident);
    else
        WriteInteger(color);
}

std::vector<uint8_t> WriteArchiveContainer(const std::string& rootClassName,
                                           const std::function<void(TObjectWriter&)>& writeItems) {
    TObjectWriter stream;
    for (char c : Signature)
        stream.WriteU8(static_cast<uint8_t>(c));
    stream.WriteShortString(rootClassName);
    stream.WriteShortString("");
    stream.WritePropertyName(ListProperty);
    stream.BeginCollection();
    writeItems(stream);
    stream.WriteEndOfList(); // collection
    stream.WriteEndOfList(); // root properties
    stream.WriteEndOfList(); // root children

    TObjectWriter out;
    out.WriteU8(ResourceMarker);
    out.WriteU16(ResourceTypeRCData);
    std::string resourceName = rootClassName.substr(0, ResourceNameLimit - 4);
    std::transform(resourceName.begin(), resourceName.end(), resourceName.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    for (char c : resourceName)
        out.WriteU8(static_cast<uint8_t>(c));
    out.WriteU8(0);
    out.WriteU16(ResourceFlags);
    out.WriteU32(static_cast<uint32_t>(stream.Bytes().size()));
    out.Bytes().insert(out.Bytes().end(), stream.Bytes().begin(), stream.Bytes().end());
    return std::move(out.Bytes());
}
