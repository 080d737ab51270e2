#include "app/GameMain.h"

#include <gtest/gtest.h>

namespace {

TEST(ScoreServerAddress, TheEnvironmentOverridesTheBuiltInAddress) {
    const std::string builtIn = "http://scores.spraydash.example";
    struct TCase {
        const char* Environment;
        const char* Expected;
    } cases[] = {
        {nullptr, "http://scores.spraydash.example"},
        {"", "http://scores.spraydash.example"},
        {"   ", "http://scores.spraydash.example"},
        {"http://127.0.0.1:8080", "http://127.0.0.1:8080"},
        {" http://community.example:9000/ \n", "http://community.example:9000/"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Environment ? c.Environment : "(unset)");
        EXPECT_EQ(ScoreServerAddress(builtIn, c.Environment), c.Expected);
    }
}

} // namespace
