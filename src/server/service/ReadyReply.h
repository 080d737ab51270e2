#pragma once

#include "server/service/ScoreService.h"

#include <memory>
#include <string>
#include <string_view>

// A reply made ready once and served as it is for as long as it holds: its header fields
// written out, a gzip copy of its body, its entity tag and time, and the short "304 Not
// Modified" answers for clients that hold it already.
struct TReadyReply {
    TServiceReply Plain;
    TServiceReply Gzip; // no Body when compressing does not pay
    TServiceReply NotModified;
    TServiceReply GzipNotModified;
    std::string ETag;
    std::string GzipETag;
    std::int64_t Built = 0; // Unix seconds

    // The variant for a request: compressed when asked for, 304 when the client's copy is current.
    TServiceReply For(const TServiceRequest& request) const;
};

// Makes reply ready (built at Unix time now); its Fields, if any, are replaced.
std::shared_ptr<const TReadyReply> MakeReady(TServiceReply reply, std::int64_t now);

// The body compressed as gzip.
std::string Gzip(std::string_view body);
