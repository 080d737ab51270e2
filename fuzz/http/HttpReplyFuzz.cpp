// Feeds arbitrary bytes to the reply reader as if a server had sent them, then
// hands the cookies it finds to a jar: neither may crash, hang or allocate without bound.
#include "net/Cookies.h"
#include "net/HttpReply.h"
#include "net/NetErrors.h"
#include "net/Url.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Small limits so that every limit is within the fuzzer's reach.
    TReplyLimits limits;
    limits.MaxLine = 512;
    limits.MaxHeaderBytes = 4096;
    limits.MaxHeaderCount = 64;
    limits.MaxBody = 8192;
    limits.MaxInterimReplies = 4;

    static const TUrl url = SplitUrl("http://www.scores.example/cgi/version.pl?hs");
    TBufferSource source(std::string_view(reinterpret_cast<const char*>(data), size));
    TReplyReader reader(source, limits);
    try {
        THttpReplyHead head = ReadReplyHead(reader);
        TCookieJar jar;
        for (const std::string& value : head.HeadersNamed("Set-Cookie"))
            jar.Store(url, value);
        (void)jar.HeaderFor(url);
        TBodyPlan plan = PlanBody(head, limits);
        std::string body;
        ReadReplyBody(reader, plan, body);
        if (body.size() > limits.MaxBody)
            __builtin_trap();
    } catch (const ENetError&) {
    }
    return 0;
}
