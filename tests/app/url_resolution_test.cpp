#include "app/url_resolution.h"

#include <gtest/gtest.h>

#include "app/document_source.h"
#include "support/temp_dir.h"

namespace {

using app::UrlSource;
using Kind = UrlSource::Kind;

TEST(UrlResolution, NamesTheSourceOfEachUrl) {
    struct Case {
        const wchar_t* url;
        UrlSource source;
    };
    const std::wstring longName(300, L'n');
    const Case cases[] = {
        {L"this://app/index.html", {Kind::Archive, L"index.html", {}}},
        {L"this://app/tis/Home.tis", {Kind::Archive, L"tis/Home.tis", {}}},
        {L"this://app///index.html", {Kind::Archive, L"index.html", {}}},
        {L"this://app////index.html", {Kind::Archive, L"/index.html", {}}},
        {L"this://app/", {Kind::Archive, L"", {}}},
        {L"res:page", {Kind::Resource, L"page", {}}},
        {L"res:page.HTM", {Kind::Resource, L"page", {}}},
        {L"res:page.Html", {Kind::Resource, L"page", {}}},
        {L"res:res:page.xml", {Kind::Resource, L"page", L"xml"}},
        {L"res://page.png", {Kind::Resource, L"page", L"png"}},
        {L"res:res://dir.name/page.css", {Kind::Resource, L"dir.name/page", L"css"}},
        {L"res:page.", {Kind::Resource, L"page", L""}},
        {L"res:", {Kind::Discarded, L"", {}}},
        {L"res:res:res:page", {Kind::Resource, L"res:page", {}}},
        {L"RES:page", {Kind::Browser, L"", {}}},
        {L"http://example.com/index.html", {Kind::Browser, L"", {}}},
        {L"this://app", {Kind::Browser, L"", {}}},
        {L"icon:C:\\Windows\\notepad.exe", {Kind::FileIcon, L"C:\\Windows\\notepad.exe", {}}},
        {L"icon:C:\\Startup\\My App.lnk", {Kind::FileIcon, L"C:\\Startup\\My App.lnk", {}}},
        {L"icon:", {Kind::Discarded, L"", {}}},
        {L"ICON:C:\\a.exe", {Kind::Browser, L"", {}}},
    };
    for (const Case& c : cases) EXPECT_EQ(app::ResolveUrl(c.url), c.source) << testing::PrintToString(std::wstring(c.url));
    // At most 260 characters of a resource URL count.
    EXPECT_EQ(app::ResolveUrl(L"res:" + longName + L".xml"), (UrlSource{Kind::Resource, longName.substr(0, 260), {}}));
}

TEST(DocumentSource, AnswersFromTheUiArchive) {
    const std::string archiveText =
        testsupport::ReadFile(testsupport::FromUnixPath(testsupport::Environment(L"QO_UI_ARCHIVE")));
    static std::vector<std::uint8_t> block;
    block.assign(archiveText.begin(), archiveText.end());
    ASSERT_TRUE(app::OpenUiArchive(block));
    const std::string index =
        testsupport::ReadFile(testsupport::FromUnixPath(testsupport::Environment(L"QO_UI_SOURCE")) + L"\\index.html");

    struct Case {
        const wchar_t* url;
        engine::LoadResult result;
        std::optional<std::string> data;
    };
    const Case cases[] = {
        {L"this://app/index.html", engine::LoadResult::Loaded, index},
        {L"this://app/INDEX.Html", engine::LoadResult::Loaded, index},
        {L"this://app///index.html", engine::LoadResult::Loaded, index},
        {L"this://app/missing.html", engine::LoadResult::Discarded, std::nullopt},
        {L"this://app/", engine::LoadResult::Discarded, std::nullopt},
        // The program carries no HTML resources.
        {L"res:index.html", engine::LoadResult::Discarded, std::nullopt},
        {L"res:", engine::LoadResult::Discarded, std::nullopt},
        {L"https://example.com/", engine::LoadResult::Loaded, std::nullopt},
    };
    for (const Case& c : cases) {
        engine::DataLoadRequest request(c.url);
        EXPECT_EQ(app::LoadDocument(request), c.result) << testing::PrintToString(std::wstring(c.url));
        const std::optional<std::string> data =
            request.Data() ? std::optional<std::string>(std::string(request.Data()->begin(), request.Data()->end()))
                           : std::nullopt;
        EXPECT_EQ(data, c.data) << testing::PrintToString(std::wstring(c.url));
    }
    EXPECT_FALSE(app::OpenUiArchive(std::vector<std::uint8_t>{1, 2, 3}));
    engine::DataLoadRequest afterFailure(L"this://app/index.html");
    EXPECT_EQ(app::LoadDocument(afterFailure), engine::LoadResult::Discarded);
}

}  // namespace
