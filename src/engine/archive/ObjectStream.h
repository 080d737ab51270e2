#pragma once

#include "engine/archive/ArchiveErrors.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

// The container both archive kinds share: a resource header, then a serialized object
// stream ("TPF0") whose root object holds one collection in its property "List".

// Reads little-endian numbers from a byte range; every read past the end raises
// "Stream read error", so callers never look beyond what the data holds.
class TByteReader {
  public:
    explicit TByteReader(std::span<const uint8_t> bytes) : m_bytes(bytes) {}

    uint8_t U8();
    uint16_t U16();
    int16_t I16();
    uint32_t U32();
    int32_t I32();
    int64_t I64();
    std::span<const uint8_t> Bytes(uint64_t count);
    void Skip(uint64_t count) { Bytes(count); }
    // A length byte followed by that many characters.
    std::string ShortString();

    uint8_t Peek() const;
    size_t Position() const { return m_pos; }
    size_t Remaining() const { return m_bytes.size() - m_pos; }
    bool AtEnd() const { return m_pos >= m_bytes.size(); }

  private:
    std::span<const uint8_t> m_bytes;
    size_t m_pos = 0;
};

// Value codes of the object stream.
enum class TValueCode : uint8_t {
    Null = 0,
    List = 1,
    Int8 = 2,
    Int16 = 3,
    Int32 = 4,
    Extended = 5,
    String = 6,
    Ident = 7,
    False = 8,
    True = 9,
    Binary = 10,
    Set = 11,
    LString = 12,
    Nil = 13,
    Collection = 14,
    Single = 15,
    Currency = 16,
    Date = 17,
    WString = 18,
    Int64 = 19,
    Utf8String = 20,
};

// Reads the values of the object stream. Each reader takes the value code and raises
// "Invalid property value" when the code does not fit the value asked for.
class TObjectReader {
  public:
    explicit TObjectReader(std::span<const uint8_t> bytes) : m_in(bytes) {}

    void ReadResourceHeader();
    void ReadSignature();
    // Optional prefix, class name and object name; returns the class name.
    std::string ReadObjectHeader();
    // Consumes the 0 that ends a list and returns true, or returns false before anything else.
    bool EndOfList();
    std::string ReadPropertyName() { return m_in.ShortString(); }

    int32_t ReadInteger();
    bool ReadBoolean();
    std::string ReadString();
    std::span<const uint8_t> ReadBinary();
    // An integer or a colour identifier such as clFuchsia.
    int32_t ReadColor();

    void ReadCollectionStart();
    // Reads the next item's opening (optional order hint, list start) and returns true,
    // or consumes the collection's closing 0 and returns false.
    bool NextCollectionItem();

    TByteReader& Bytes() { return m_in; }

  private:
    TValueCode ReadCode();
    int32_t ReadIntegerAfter(TValueCode code);

    TByteReader m_in;
};

// Collects the items of one kind: BeginItem starts a new item, ReadProperty reads one
// (name, value) pair into it (and raises for a name the item does not have), ItemName
// tells which item a failure belongs to.
struct TCollectionItemReader {
    std::function<void()> BeginItem;
    std::function<void(TObjectReader&, const std::string& property)> ReadProperty;
    std::function<std::string()> ItemName;
};

// Reads a whole archive; returns the root object's class name.
std::string ReadArchiveContainer(std::span<const uint8_t> bytes, const TCollectionItemReader& items);

// The root object's class name alone, which tells the archive kinds apart.
std::string ReadArchiveClassName(std::span<const uint8_t> bytes);

// The whole file, or EFOpenError.
std::vector<uint8_t> ReadArchiveFile(const std::string& fileName);
void WriteArchiveFile(const std::string& fileName, const std::vector<uint8_t>& bytes);

// The items of an archive of one kind; readProperty(reader, name, item) reads one property.
template <typename Item, typename ReadProperty>
std::vector<Item> ReadArchiveItems(std::span<const uint8_t> bytes, ReadProperty readProperty) {
    std::vector<Item> items;
    TCollectionItemReader reader;
    reader.BeginItem = [&] { items.emplace_back(); };
    reader.ReadProperty = [&](TObjectReader& in, const std::string& property) {
        readProperty(in, property, items.back());
    };
    // Items without a name yet are told apart by their place in the collection.
    reader.ItemName = [&] {
        std::string name = items.back().Name;
        if (name.empty())
            name.append("#").append(std::to_string(items.size()));
        return name;
    };
    ReadArchiveContainer(bytes, reader);
    return items;
}

// The same from a file; a failure names the file.
template <typename Item, typename ReadProperty>
std::vector<Item> ReadArchiveItemsFromFile(const std::string& fileName, ReadProperty readProperty) {
    const std::vector<uint8_t> bytes = ReadArchiveFile(fileName);
    try {
        return ReadArchiveItems<Item>(std::span<const uint8_t>(bytes), readProperty);
    } catch (EArchiveError& e) {
        e.SetFileName(fileName);
        throw;
    }
}

// Writes object stream values in the same codes the reader takes, each number in its
// smallest code.
class TObjectWriter {
  public:
    void WriteU8(uint8_t v) { m_out.push_back(v); }
    void WriteU16(uint16_t v);
    void WriteU32(uint32_t v);
    void WriteShortString(const std::string& s);
    void WriteCode(TValueCode code) { WriteU8(static_cast<uint8_t>(code)); }

    void WritePropertyName(const std::string& name) { WriteShortString(name); }
    void WriteInteger(int32_t v);
    void WriteBoolean(bool v) { WriteCode(v ? TValueCode::True : TValueCode::False); }
    void WriteString(const std::string& s);
    void WriteIdentifier(const std::string& ident);
    void WriteBinary(std::span<const uint8_t> bytes);
    void WriteColor(int32_t color); // as its identifier when it has one
    void WriteEndOfList() { WriteCode(TValueCode::Null); }
    void BeginCollection() { WriteCode(TValueCode::Collection); }
    void BeginItem() { WriteCode(TValueCode::List); }

    std::vector<uint8_t>& Bytes() { return m_out; }

  private:
    std::vector<uint8_t> m_out;
};

// Resource header and object stream around a collection written by writeItems (which
// writes each item from BeginItem to its closing end-of-list).
std::vector<uint8_t> WriteArchiveContainer(const std::string& rootClassName,
                                           const std::function<void(TObjectWriter&)>& writeItems);
