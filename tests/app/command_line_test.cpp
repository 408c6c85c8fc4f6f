#include "app/command_line.h"

#include <gtest/gtest.h>

namespace {

TEST(CommandLine, ReadsOnlyHeadlessAndPort) {
    struct Case {
        std::vector<std::wstring> words;
        app::CommandLineOptions options;
    };
    const Case cases[] = {
        {{}, {false, 0}},
        {{L"--headless"}, {true, 0}},
        {{L"--port", L"8123"}, {false, 8123}},
        {{L"--port", L"8123", L"--headless"}, {true, 8123}},
        {{L"--port"}, {false, 0}},
        {{L"--port", L"65536"}, {false, 0}},
        {{L"--port", L"-1"}, {false, 0}},
        {{L"--port", L"80x"}, {false, 0}},
        {{L"--port=8123"}, {false, 0}},
        {{L"--HEADLESS", L"/headless", L"headless"}, {false, 0}},
        {{L"--port", L"--headless"}, {false, 0}},
    };
    for (const Case& c : cases) EXPECT_EQ(app::ParseCommandLine(c.words), c.options) << testing::PrintToString(c.words);
}

}  // namespace
