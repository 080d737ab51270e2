#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Where reply bytes come from: a socket in the client, a byte buffer in tests and fuzzing.
class TByteSource {
  public:
    virtual ~TByteSource() = default;
    // Reads up to size bytes; 0 means the peer closed the connection. Raises on failure or timeout.
    virtual std::size_t Read(char* data, std::size_t size) = 0;
};

class TBufferSource : public TByteSource {
  public:
    explicit TBufferSource(std::string_view data) : m_data(data) {}
    std::size_t Read(char* data, std::size_t size) override;

  private:
    std::string_view m_data;
};

// Size limits on what a reply may hold; breaking one is an EHttpProtocolError.
struct TReplyLimits {
    std::size_t MaxLine = 8 * 1024;
    std::size_t MaxHeaderBytes = 64 * 1024;
    std::size_t MaxHeaderCount = 200;
    std::size_t MaxBody = 1024 * 1024;
    int MaxInterimReplies = 16;
};

// Buffers a source and hands out lines and counted bytes, never more than the limits allow.
class TReplyReader {
  public:
    TReplyReader(TByteSource& source, const TReplyLimits& limits) : m_source(source), m_limits(limits) {}

    // One line without its line end (LF, with or without CR before it).
    std::string ReadLine();
    // Exactly count bytes appended to out; the connection closing first is an error.
    void ReadExact(std::size_t count, std::string& out);
    // Everything up to the peer's close appended to out, within the body limit.
    void ReadToClose(std::string& out);

    const TReplyLimits& Limits() const { return m_limits; }
    // Bytes received but not yet used: a tidy server leaves none after a reply.
    bool HasBufferedBytes() const { return m_pos < m_buffer.size(); }
    std::size_t BytesReceived() const { return m_received; }

  private:
    bool Fill(); // false when the peer closed

    TByteSource& m_source;
    TReplyLimits m_limits;
    std::string m_buffer;
    std::size_t m_pos = 0;
    std::size_t m_received = 0;
};

struct THttpReplyHead {
    int VersionMinor = 1; // HTTP/1.x
    int Status = 0;
    std::string StatusText;
    std::vector<std::pair<std::string, std::string>> Headers; // names as sent, values trimmed

    // The first header of that name, compared without case.
    std::optional<std::string> Header(std::string_view name) const;
    std::vector<std::string> HeadersNamed(std::string_view name) const;
};

enum class TBodyFraming { None, Length, Chunked, UntilClose };

struct TBodyPlan {
    TBodyFraming Framing = TBodyFraming::None;
    std::size_t Length = 0;
};

// Reads status lines and header blocks, skipping interim 1xx replies, up to the final reply's head.
THttpReplyHead ReadReplyHead(TReplyReader& reader);
// How the body of this reply is delimited; raises on a bad or oversized Content-Length.
TBodyPlan PlanBody(const THttpReplyHead& head, const TReplyLimits& limits);
// Reads the body as planned (chunked trailers included) into body, which keeps
// what had arrived when reading fails.
void ReadReplyBody(TReplyReader& reader, const TBodyPlan& plan, std::string& body);

// The case-insensitive token test used for Connection and Transfer-Encoding values.
bool HeaderHasToken(std::string_view value, std::string_view token);
