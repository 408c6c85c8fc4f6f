#pragma once
// Shared fixtures of the system disk tests.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "db/scratch_database.h"
#include "disk/download_folders.h"
#include "engine/value.h"
#include "support/scoped_state.h"
#include "support/junk_fixtures.h"
#include "support/recording_host.h"
#include "support/scoped_state.h"

namespace disktest {

// A file of `size` bytes last written long before Windows last started, as
// the system disk scan collects them; its folders are created.
void MakeOldFile(const std::wstring& path, std::size_t size);

// The arguments of every call of `name`, in order.
std::vector<std::vector<engine::Value>> ArgumentsOf(const testsupport::RecordingHost& host, std::string_view name);

// Waits (bounded) until `host` has received `count` calls of `name`.
bool WaitForCalls(const testsupport::RecordingHost& host, std::string_view name, std::size_t count);

// The three download settings exactly: each one's data and type, empty
// when missing.
std::vector<std::vector<BYTE>> SettingsSnapshot();
// One shell setting's text.
std::wstring ShellSetting(const wchar_t* value);
// The journal's moves under way.
std::vector<db::MoveUnderwayRow> MovesUnderway();

// A temporary root with a Downloads folder and a move target in it, this
// prefix's download settings pointing at that Downloads folder (the third
// equal to it, so it lists nothing; Edge's removed) and put back
// afterwards, and a scratch database.
struct DownloadMoveState {
    DownloadMoveState();

    testsupport::TempDir root;
    const std::wstring downloads = root / L"Downloads";
    const std::wstring target = root / L"Moved";
    testsupport::ScopedUserValue shell{disk::kShellFoldersKey, disk::kShellDownloadValue};
    testsupport::ScopedUserValue third{disk::kShellFoldersKey, disk::kShellDownloadThirdValue};
    testsupport::ScopedUserValue edge{disk::kEdgeDownloadKey, disk::kEdgeDownloadValue};
    testsupport::ScratchDatabase database;
};

// The system disk lists start empty and are emptied again, besides what
// the junk tests reset (busy word, stop flag, UndeletableList).
class DiskStateTest : public junktest::JunkListsTest {
protected:
    void SetUp() override;
    void TearDown() override;
};

}  // namespace disktest
