#include "engine/ui_archive.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace {

std::vector<std::uint8_t> ReadBytes(const std::wstring& path) {
    const std::string text = testsupport::ReadFile(path);
    return {text.begin(), text.end()};
}

TEST(UiArchive, ServesEveryDocumentOfTheBuildByteForByte) {
    const std::vector<std::uint8_t> block = ReadBytes(testsupport::FromUnixPath(testsupport::Environment(L"QO_UI_ARCHIVE")));
    ASSERT_FALSE(block.empty());
    const engine::UiArchiveHandle archive = engine::OpenArchive(block);
    ASSERT_TRUE(archive);
    const std::wstring source = testsupport::FromUnixPath(testsupport::Environment(L"QO_UI_SOURCE"));
    EXPECT_EQ(engine::GetArchiveItem(*archive, u"index.html"), ReadBytes(source + L"\\index.html"));
    EXPECT_EQ(engine::GetArchiveItem(*archive, u"INDEX.Html"), ReadBytes(source + L"\\index.html"));
    EXPECT_TRUE(engine::GetArchiveItem(*archive, u"no-such-file.html").empty());
}

}  // namespace
