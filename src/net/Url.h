#pragma once

#include <string>
#include <string_view>

// An absolute request address taken apart the way the client needs it.
struct TUrl {
    std::string Scheme; // lower case, "http" when the address names none
    std::string Host;   // as written; an IPv6 literal keeps its brackets
    int Port = 0;
    std::string Target; // path, document and "?" with the query, exactly as written

    // The Host header value: the port is added only when it is not 80.
    std::string HostHeader() const;
    // Host without IPv6 brackets, as handed to the resolver.
    std::string LookupHost() const;
};

inline constexpr int HttpDefaultPort = 80;
inline constexpr int HttpsDefaultPort = 443;

// Splits an address; raises EHttpProtocolError for one that cannot be sent
// (no host, a bad port, spaces or control characters that would break the request line).
TUrl SplitUrl(std::string_view url);
