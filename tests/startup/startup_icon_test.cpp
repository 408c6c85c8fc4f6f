// The startup page's icons: which file stands for an entry, that only the
// listed entries' files on local fixed disks are read and drawn, and the PNG
// the page receives.
#include "startup/startup_icon.h"

#include <gtest/gtest.h>

#include "app/document_source.h"
#include "common/handles.h"
#include "startup/startup_item.h"
#include "startup/startup_sandbox.h"
#include "support/bridge_call.h"
#include "support/png_reader.h"
#include "support/scoped_state.h"
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

// The entries whose icons the page may have drawn are `items` while the
// owner lives, none after.
class ListedEntries {
public:
    explicit ListedEntries(const std::vector<StartupItem>& items) { startup::PublishListedIcons(items); }
    ~ListedEntries() { startup::PublishListedIcons({}); }
    ListedEntries(const ListedEntries&) = delete;
    ListedEntries& operator=(const ListedEntries&) = delete;
};

// Stands in for the file reader: records every file it is asked to read and
// answers each with the stock program icon, so that what is read is drawn.
class CountingReader {
public:
    startup::IconReader Reader() {
        return [this](const std::wstring& file) {
            const std::lock_guard guard(lock_);
            files_.push_back(file);
            return common::UniqueIcon(CopyIcon(LoadIconW(nullptr, IDI_APPLICATION)));
        };
    }
    std::vector<std::wstring> Files() {
        const std::lock_guard guard(lock_);
        return std::exchange(files_, {});
    }

private:
    std::mutex lock_;
    std::vector<std::wstring> files_;
};

// The icon file the tests draw; on drive Z:, which Wine counts as a fixed disk.
std::wstring IconFile() { return testsupport::FromUnixPath(testsupport::Environment(L"QO_UI_SOURCE")) + L"\\icon.ico"; }

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
    const std::wstring iconFile = IconFile();
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
    // stock program icon.
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

// Only files on local fixed disks are read: a UNC path would send the
// administrator's credentials to its server and keep the request waiting on
// the network, a device path opens a device or a pipe.
TEST(StartupIcon, OnlyFilesOnLocalFixedDisksAreRead) {
    struct Case {
        const char* what;
        StartupItem item;
        std::vector<std::wstring> read;
    };
    const std::wstring local = L"C:\\qo-startup\\a.exe";
    const Case cases[] = {
        {"UNC path", RunEntry(L"\\\\server\\share\\a.exe"), {}},
        {"long UNC path", RunEntry(L"\\\\?\\UNC\\server\\share\\a.exe"), {}},
        {"pipe", RunEntry(L"\\\\.\\pipe\\a"), {}},
        {"device name", RunEntry(L"CON"), {}},
        {"device name in a folder", RunEntry(L"C:\\qo-startup\\nul.exe"), {}},
        {"alternate data stream", RunEntry(local + L":s"), {}},
        {"relative path", RunEntry(L"qo-startup\\a.exe"), {}},
        {"local fixed disk", RunEntry(local), {local}},
        {"long form of a local path", RunEntry(L"\\\\?\\" + local), {L"\\\\?\\" + local}},
        {"shortcut to a share: only the shortcut", ShortcutEntry(L"C:\\qo-startup\\a.lnk", L"\\\\server\\s\\a.exe"),
         {L"C:\\qo-startup\\a.lnk"}},
    };
    CountingReader reader;
    for (const Case& c : cases) {
        const ListedEntries listed({c.item});
        const std::optional<std::vector<std::uint8_t>> png = startup::StartupIconPng(c.item.iconPath, reader.Reader());
        EXPECT_EQ(reader.Files(), c.read) << c.what;
        EXPECT_EQ(png.has_value(), !c.read.empty()) << c.what;
    }

    // The system would open the device form of a readable icon file; the
    // page still gets nothing drawn from it.
    const std::wstring device = L"\\\\.\\" + IconFile();
    const ListedEntries listed({RunEntry(device)});
    ASSERT_NE(GetFileAttributesW(device.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(startup::StartupIconPng(device), std::nullopt);
}

// A file without an icon of its own is drawn with the stock program icon,
// never with what its type's registration names: any user registers types
// (HKCU\Software\Classes), with icons and icon handlers that the shell
// would load into the elevated program.
TEST(StartupIcon, AFilesTypeRegisteredByTheUserDrawsNothingOfItsOwn) {
    const testsupport::ScopedUserValue type(L"Software\\Classes\\.qoicontest", L"");
    const testsupport::ScopedUserValue typeIcon(L"Software\\Classes\\QoIconTest.File\\DefaultIcon", L"");
    type.Set(L"QoIconTest.File");
    typeIcon.Set(kNotepad + L",0");
    wchar_t merged[64] = {};
    LONG size = sizeof merged;
    if (RegQueryValueW(HKEY_CLASSES_ROOT, L".qoicontest", merged, &size) != ERROR_SUCCESS)
        GTEST_SKIP() << "the user's types are not part of HKEY_CLASSES_ROOT here (Wine 8 does not merge "
                        "HKCU\\Software\\Classes into it), so no shell would draw what they name";
    const testsupport::TempDir folder;
    const std::wstring document = folder / L"entry.qoicontest";
    testsupport::WriteFile(document, "not a program");
    wchar_t self[MAX_PATH] = {};  // a program without an icon of its own
    ASSERT_NE(GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
    const ListedEntries listed({RunEntry(document), RunEntry(self), RunEntry(kNotepad)});

    const std::optional<std::vector<std::uint8_t>> drawn = startup::StartupIconPng(document);
    ASSERT_TRUE(drawn);
    EXPECT_EQ(drawn, startup::StartupIconPng(self));
    EXPECT_NE(drawn, startup::StartupIconPng(kNotepad));
}

// The page's list names the entries whose icons it may then ask for; an
// entry on a share is listed by its file name, and neither its version
// texts nor its icon are read.
TEST(StartupIcon, TheListedEntriesAreTheOnesDrawnAndAShareIsNeverRead) {
    testsupport::StartupSandbox sandbox;
    const std::wstring share = L"\\\\qo-no-server\\share\\tool.exe";
    sandbox.SetRunValue(HKEY_CURRENT_USER, testsupport::kRunKey, L"QoTest icon local", IconFile());
    sandbox.SetRunValue(HKEY_CURRENT_USER, testsupport::kRunKey, L"QoTest icon share", share);

    const engine::Value list = testsupport::CallNative("GetStartupInfo");
    const int onShare = testsupport::IndexOf(L"QoTest icon share");
    ASSERT_GE(onShare, 0);
    EXPECT_EQ(list.Items()[static_cast<std::size_t>(onShare)],
              engine::Value::Array({L"tool.exe", L"", share, 0, onShare}));

    CountingReader reader;
    EXPECT_TRUE(startup::StartupIconPng(IconFile(), reader.Reader()));
    EXPECT_EQ(reader.Files(), std::vector<std::wstring>{IconFile()});
    EXPECT_EQ(startup::StartupIconPng(share, reader.Reader()), std::nullopt);
    EXPECT_EQ(reader.Files(), std::vector<std::wstring>{});
    startup::PublishListedIcons({});
}

}  // namespace
