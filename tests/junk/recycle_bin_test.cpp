#include "junk/recycle_bin.h"

#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "core/keep_list.h"
#include "core/worker_tasks.h"
#include "junk/junk_clean.h"
#include "support/junk_fixtures.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace {

TEST(RecycleSizeText, NumberTimesUnit) {
    struct Case {
        const wchar_t* text;
        std::uint64_t bytes;
    };
    const Case cases[] = {
        {L"1.5 KB", 1536},        {L"12 bytes", 12},   {L"1 kb", 1024},       {L"2 MB", 2097152},
        {L"3 GB", 3221225472ull}, {L"0 KB", 0},        {L"1024", 0},          {L" 5 KB", 0},
        {L"7 TB", 7},             {L"", 0},            {L"abc KB", 0},        {L"-3 KB", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(junk::ParseRecycleSizeText(c.text), c.bytes) << c.text;
}

// Wine keeps its recycle bin in the XDG trash of the test prefix's own HOME
// (scripts/wine-env.sh). Its shell may round the size column up to whole
// kilobytes ("1 KB" for 9 bytes) where Windows shows "9 bytes".
// Makes a file of 9 bytes named `prefix` and a number in `dir` and deletes
// it into the recycle bin; its name, or nothing when the shell refused.
std::optional<std::wstring> RecycledFile(const testsupport::TempDir& dir, const wchar_t* prefix) {
    const std::wstring name = prefix + std::to_wstring(GetTickCount()) + L".txt";
    junktest::MakeFile(dir / name, 9);
    std::wstring from = dir / name;
    from.push_back(L'\0');
    SHFILEOPSTRUCTW operation = {};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
    if (SHFileOperationW(&operation) != 0 || testsupport::Exists(dir / name)) return std::nullopt;
    return name;
}

TEST(RecycleBin, ADeletedFileIsListedWithItsNameFolderAndSize) {
    testsupport::TempDir dir;
    const std::optional<std::wstring> recycled = RecycledFile(dir, L"qo-recycled-");
    ASSERT_TRUE(recycled);
    const std::wstring& name = *recycled;

    junk::JunkFileList list;
    junk::ScanRecycleBin(list);
    const junk::JunkFileEntry* found = nullptr;
    for (const junk::JunkFileEntry& entry : list)
        if (entry.name == name) found = &entry;
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(list.FolderOf(*found).path, dir.Path() + L"\\");
    // The file's own 9 bytes, or that rounded up to the shell's next kilobyte.
    EXPECT_GE(found->size, 9u);
    EXPECT_LE(found->size, 1024u);
}

// The bin is emptied whole: not while it holds a kept item (kept by the path
// it was deleted from); once that is no longer kept, it is.
// A bin holding a kept item is not emptied, and the page learns that it was
// not cleaned: no "SetCleanEnd", the list stays, the score does not rise.
TEST(RecycleBin, ABinHoldingAKeptItemIsNotEmptied) {
    testsupport::TempDir dir;
    const std::optional<std::wstring> recycled = RecycledFile(dir, L"qo-kept-");
    ASSERT_TRUE(recycled);
    const std::wstring& name = *recycled;
    const auto inBin = [&] {
        junk::JunkFileList list;
        junk::ScanRecycleBin(list);
        return std::any_of(list.begin(), list.end(), [&](const junk::JunkFileEntry& entry) { return entry.name == name; });
    };
    ASSERT_TRUE(inBin());

    struct Forgotten {
        ~Forgotten() {
            core::PublishKeptItems({});
            junk::JunkList(junk::kRecycleBinCategory).Clear();
            core::ZoneBits() = 0;
        }
    } forgotten;
    testsupport::PublishedHost page;
    core::ZoneBits() = core::JUNKFILE_CLEAN_WORKING;
    junk::JunkFileList& listed = junk::JunkList(junk::kRecycleBinCategory);
    junk::ScanRecycleBin(listed);
    ASSERT_FALSE(listed.Empty());
    core::PublishKeptItems({common::NormalKeepText(dir.Path())});
    junk::CleanRun run;
    run.health = 50;
    junk::CleanJunkCategory(junk::kRecycleBinCategory, run);
    EXPECT_TRUE(inBin());
    EXPECT_FALSE(listed.Empty());
    EXPECT_EQ(run.health, 50);
    EXPECT_EQ(run.cleanedBytes, 0u);
    EXPECT_TRUE(page.CallsOf("SetCleanEnd").empty());

    core::PublishKeptItems({});
    junk::CleanJunkCategory(junk::kRecycleBinCategory, run);
    EXPECT_FALSE(inBin());
    EXPECT_TRUE(listed.Empty());
    EXPECT_GT(run.health, 50);
    EXPECT_EQ(page.CallsOf("SetCleanEnd").size(), 1u);
}

// Windows' shell empties the bin in one call: asked without confirmation,
// progress or sound, and only once the bin could be queried. A bin the shell
// did not empty keeps its list and is not reported cleaned. The shell's calls
// are the test's here (under Wine the bin is emptied item by item instead).
TEST(RecycleBin, TheShellEmptiesTheBinWithoutAskingAndARefusalLeavesItListed) {
    struct Case {
        const char* what;
        HRESULT query, empty;
        bool emptyCalled, cleaned;
    };
    const Case cases[] = {
        {"emptied", S_OK, S_OK, true, true},
        {"the bin cannot be queried", E_FAIL, S_OK, false, false},
        {"the shell refuses to empty it", S_OK, E_ACCESSDENIED, true, false},
    };
    struct Restored {
        ~Restored() {
            junk::SetRecycleBinCallsForTest(std::nullopt);
            junk::JunkList(junk::kRecycleBinCategory).Clear();
            core::ZoneBits() = 0;
        }
    } restored;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<DWORD> emptyFlags;
        junk::SetRecycleBinCallsForTest(junk::RecycleBinCalls{
            .query = [&] { return c.query; },
            .empty = [&](DWORD flags) { emptyFlags.push_back(flags); return c.empty; },
        });
        testsupport::PublishedHost page;
        core::ZoneBits() = core::JUNKFILE_CLEAN_WORKING;
        junk::JunkFileList& listed = junk::JunkList(junk::kRecycleBinCategory);
        listed.Clear();
        const std::uint32_t folder = listed.AddFolder(L"C:\\Users\\", 9);
        listed.Add(L"deleted.txt", folder, 1536);
        junk::CleanRun run;
        run.health = 50;
        const junk::CategoryCleaned done = junk::CleanJunkCategory(junk::kRecycleBinCategory, run);
        if (c.emptyCalled)
            EXPECT_EQ(emptyFlags, std::vector<DWORD>{SHERB_NOCONFIRMATION | SHERB_NOPROGRESSUI | SHERB_NOSOUND});
        else
            EXPECT_TRUE(emptyFlags.empty());
        EXPECT_EQ(done.cleaned, c.cleaned ? 1u : 0u);
        EXPECT_EQ(done.left, c.cleaned ? 0u : 1u);
        EXPECT_EQ(run.cleanedBytes, c.cleaned ? 1536u : 0u);
        EXPECT_EQ(run.health > 50, c.cleaned);
        EXPECT_EQ(listed.Empty(), c.cleaned);
        EXPECT_EQ(page.CallsOf("SetCleanEnd").size(), c.cleaned ? 1u : 0u);
    }
}

}  // namespace
