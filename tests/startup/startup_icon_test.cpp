// The startup page's icons: which file stands for an entry, that only the
// listed entries' files are drawn, and the PNG the page receives.
#include "startup/startup_icon.h"

#include <gtest/gtest.h>

#include "app/document_source.h"
#include "common/handles.h"
#include "startup/startup_item.h"
#include "support/png_reader.h"
#include "support/temp_dir.h"

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

TEST(StartupIcon, AnEntryIsDrawnFromItsProgram) {
    struct Case {
        const char* what;
        StartupItem item;
        std::vector<std::wstring> files;
    };
    const Case cases[] = {
        {"Run value: its program", RunEntry(kNotepad), {kNotepad}},
        {"shortcut: its target, then the shortcut", ShortcutEntry(kGoneShortcut, kNotepad), {kNotepad, kGoneShortcut}},
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

TEST(StartupIcon, ThePageGetsTheListedFilesOwnIconAsAPng) {
    const std::wstring iconFile = testsupport::FromUnixPath(testsupport::Environment(L"QO_UI_SOURCE")) + L"\\icon.ico";
    wchar_t self[MAX_PATH] = {};  // a program without an icon of its own
    ASSERT_NE(GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
    const ListedEntries listed({RunEntry(iconFile), RunEntry(kNotepad), RunEntry(self),
                                ShortcutEntry(kGoneShortcut, iconFile), RunEntry(kMissing)});

    // The file's own icon, as the system loads it from the file.
    const std::optional<std::vector<std::uint8_t>> own = startup::StartupIconPng(iconFile);
    ASSERT_TRUE(own);
    const std::optional<common::RgbaImage> image = testsupport::ReadPng(*own);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, GetSystemMetrics(SM_CXICON));
    const common::UniqueIcon loaded(static_cast<HICON>(
        LoadImageW(nullptr, iconFile.c_str(), IMAGE_ICON, image->width, image->height, LR_LOADFROMFILE)));
    EXPECT_EQ(image, common::IconImage(loaded.get()));
    // Notepad has an icon of its own too; a program without one gets the
    // shell's icon for programs.
    const std::optional<std::vector<std::uint8_t>> notepad = startup::StartupIconPng(kNotepad);
    const std::optional<std::vector<std::uint8_t>> plain = startup::StartupIconPng(self);
    ASSERT_TRUE(notepad && plain);
    EXPECT_NE(notepad, own);
    EXPECT_NE(plain, own);
    EXPECT_NE(plain, notepad);
    // A shortcut shows its target's icon (its file is gone here).
    EXPECT_EQ(startup::StartupIconPng(kGoneShortcut), own);
    // Nothing for a file that is not there, or one that no entry lists.
    EXPECT_EQ(startup::StartupIconPng(kMissing), std::nullopt);
    EXPECT_EQ(startup::StartupIconPng(L"C:\\windows\\regedit.exe"), std::nullopt);

    // The page's request reaches it as the data load of icon:<file>.
    struct Case {
        std::wstring url;
        engine::LoadResult result;
        std::optional<std::vector<std::uint8_t>> data;
    };
    const Case cases[] = {
        {L"icon:" + iconFile, engine::LoadResult::Loaded, own},
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
