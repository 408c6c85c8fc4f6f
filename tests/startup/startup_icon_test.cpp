// The startup page's icons: which file stands for an entry, that only the
// listed entries' files are drawn, and the PNG the page receives.
#include "startup/startup_icon.h"

#include <gtest/gtest.h>

#include "app/document_source.h"
#include "startup/startup_item.h"
#include "support/png_reader.h"

namespace {

using startup::StartupItem;

StartupItem RunEntry(const std::wstring& program) {
    StartupItem item;
    item.iconPath = program;
    item.strPath = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    item.strName = L"QoIcon";
    item.hKey = HKEY_CURRENT_USER;
    item.uFilePathFlag = 1;
    return item;
}

StartupItem ShortcutEntry(const std::wstring& shortcut, const std::wstring& target) {
    StartupItem item;
    item.iconPath = shortcut;
    item.strPath = target;
    item.strName = L"QoIcon.lnk";
    item.uFilePathFlag = 0;
    return item;
}

// The process-wide list holds `items` while the owner lives.
class ListedEntries {
public:
    explicit ListedEntries(std::vector<StartupItem> items) : saved_(std::move(startup::StartupItemList())) {
        startup::StartupItemList() = std::move(items);
    }
    ~ListedEntries() { startup::StartupItemList() = std::move(saved_); }

private:
    std::vector<StartupItem> saved_;
};

const std::wstring kNotepad = L"C:\\windows\\notepad.exe";
const std::wstring kGoneShortcut = L"C:\\windows\\temp\\QoIcon gone.lnk";
const std::wstring kMissing = L"C:\\windows\\temp\\qo-no-such-program.exe";

TEST(StartupIcon, AnEntryIsDrawnFromItsFileThenAShortcutsTarget) {
    struct Case {
        const char* what;
        StartupItem item;
        std::vector<std::wstring> files;
    };
    const Case cases[] = {
        {"Run value: its program", RunEntry(kNotepad), {kNotepad}},
        {"shortcut: the file, then its target", ShortcutEntry(kGoneShortcut, kNotepad), {kGoneShortcut, kNotepad}},
        {"shortcut without a target", ShortcutEntry(kGoneShortcut, L""), {kGoneShortcut}},
        {"no file at all", RunEntry(L""), {}},
    };
    for (const Case& c : cases) EXPECT_EQ(startup::IconFilesOf(c.item), c.files) << c.what;

    const std::vector<StartupItem> items = {RunEntry(kNotepad), ShortcutEntry(kGoneShortcut, kNotepad)};
    EXPECT_EQ(startup::EntryWithIconPath(items, kNotepad), &items[0]);
    EXPECT_EQ(startup::EntryWithIconPath(items, kGoneShortcut), &items[1]);
    // A target is no entry's icon path; nor is anything unlisted or empty.
    EXPECT_EQ(startup::EntryWithIconPath({ShortcutEntry(kGoneShortcut, kNotepad)}, kNotepad), nullptr);
    EXPECT_EQ(startup::EntryWithIconPath(items, L"C:\\windows\\regedit.exe"), nullptr);
    EXPECT_EQ(startup::EntryWithIconPath(items, L""), nullptr);
}

// Whether some pixel is painted at all.
bool HasPaintedPixel(const common::RgbaImage& image) {
    for (std::size_t i = 3; i < image.pixels.size(); i += 4)
        if (image.pixels[i] != 0) return true;
    return false;
}

TEST(StartupIcon, ThePageGetsTheListedFilesOwnIconAsAPng) {
    const ListedEntries listed({RunEntry(kNotepad), ShortcutEntry(kGoneShortcut, kNotepad), RunEntry(kMissing)});
    const std::optional<std::vector<std::uint8_t>> program = startup::StartupIconPng(kNotepad);
    ASSERT_TRUE(program);
    const std::optional<common::RgbaImage> image = testsupport::ReadPng(*program);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, GetSystemMetrics(SM_CXICON));
    EXPECT_EQ(image->height, GetSystemMetrics(SM_CYICON));
    EXPECT_TRUE(HasPaintedPixel(*image));
    // The switched-off shortcut's file is gone: its target's icon stands in.
    EXPECT_EQ(startup::StartupIconPng(kGoneShortcut), program);
    // Nothing for a file without an icon, or one that no entry lists.
    EXPECT_EQ(startup::StartupIconPng(kMissing), std::nullopt);
    EXPECT_EQ(startup::StartupIconPng(L"C:\\windows\\regedit.exe"), std::nullopt);

    // The page's request reaches it as the data load of icon:<file>.
    struct Case {
        std::wstring url;
        engine::LoadResult result;
        std::optional<std::vector<std::uint8_t>> data;
    };
    const Case cases[] = {
        {L"icon:" + kNotepad, engine::LoadResult::Loaded, program},
        {L"icon:" + kMissing, engine::LoadResult::Discarded, std::nullopt},
        {L"icon:C:\\windows\\regedit.exe", engine::LoadResult::Discarded, std::nullopt},
    };
    for (const Case& c : cases) {
        engine::DataLoadRequest request(c.url);
        EXPECT_EQ(app::LoadDocument(request), c.result) << testing::PrintToString(c.url);
        EXPECT_EQ(request.Data(), c.data) << testing::PrintToString(c.url);
    }
}

}  // namespace
