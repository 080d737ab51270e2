// Feeds arbitrary bytes to the submission decoder twice: once as the encoded symbols, once as
// an already decoded result text. Whatever is accepted must round-trip through its fields.

#include "server/service/ScoreCodec.h"
#include "server/TextEscape.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    std::string error;
    if (auto bytes = DecodeSymbols(input, error))
        (void)ParseScorePayload(*bytes, error);
    if (auto parsed = ParseScorePayload(input, error)) {
        if (parsed->Name.size() > kNameMaxLength || parsed->Crew.size() > kCrewMaxLength)
            std::abort();
        std::string rebuilt = "type=0|name=" + parsed->Name + "|score=" + std::to_string(parsed->Score) +
                              "|key=Q|p=|add=" + parsed->Crew + "|z=";
        while (rebuilt.size() % 5 != 0)
            rebuilt += '0';
        if (rebuilt != input)
            std::abort(); // accepted something other than what the game would have sent
        std::string html;
        AppendHtml(html, WindowsToUtf8(parsed->Name));
        std::string json;
        AppendJson(json, WindowsToUtf8(parsed->Crew));
    }
    return 0;
}
