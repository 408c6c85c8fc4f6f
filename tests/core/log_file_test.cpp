#include "core/log_file.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

using core::LogFile;
using core::RotationStep;
using testsupport::Exists;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

TEST(LogLevel, SettlesOutOfRangeValuesToTwo) {
    struct Case {
        int raw;
        int level;
        bool rewrite;
    };
    for (const Case& c : {Case{0, 0, false}, Case{1, 1, false}, Case{2, 2, false}, Case{3, 2, true},
                          Case{-1, 2, true}, Case{100, 2, true}}) {
        const core::LogLevelSetting setting = core::SettleLogLevel(c.raw);
        EXPECT_EQ(setting.level, c.level) << c.raw;
        EXPECT_EQ(setting.rewrite, c.rewrite) << c.raw;
    }
}

TEST(LogLevel, ConfigFileIsCreatedWithTwoWhenMissing) {
    TempDir dir;
    const std::wstring config = dir / L"config.ini";
    LogFile log;
    log.ReadLevel(config.c_str());
    EXPECT_EQ(log.Level(), 2);
    EXPECT_EQ(GetPrivateProfileIntW(L"LOG", L"LEVEL", -5, config.c_str()), 2u);
}

TEST(LogLevel, ValidLevelIsKeptAndTheFileNotRewritten) {
    TempDir dir;
    const std::wstring config = dir / L"config.ini";
    WriteFile(config, "[LOG]\r\nLEVEL=1\r\n");
    LogFile log;
    log.ReadLevel(config.c_str());
    EXPECT_EQ(log.Level(), 1);
    EXPECT_EQ(ReadFile(config), "[LOG]\r\nLEVEL=1\r\n");
}

TEST(LogLevel, NegativeLevelIsRewritten) {
    TempDir dir;
    const std::wstring config = dir / L"config.ini";
    WriteFile(config, "[LOG]\r\nLEVEL=-1\r\n");
    LogFile log;
    log.ReadLevel(config.c_str());
    EXPECT_EQ(log.Level(), 2);
    EXPECT_EQ(GetPrivateProfileIntW(L"LOG", L"LEVEL", -5, config.c_str()), 2u);
}

TEST(LogBackupName, InsertsTheNumberBeforeTheLastDot) {
    EXPECT_EQ(core::LogBackupName(L"Orvane.log", 1), L"Orvane_1.log");
    EXPECT_EQ(core::LogBackupName(L"a.b.log", 5), L"a.b_5.log");
    EXPECT_EQ(core::LogBackupName(L"Orvane", 2), L"Orvane_2");
}

TEST(LogRotationPlan, ShiftsExistingBackups) {
    using Kind = RotationStep::Kind;
    const auto plan = [](int existing) {
        return core::PlanLogRotation(L"Orvane.log", 5, [existing](const std::wstring& name) {
            for (int n = 1; n <= existing; ++n)
                if (name == core::LogBackupName(L"Orvane.log", n)) return true;
            return false;
        });
    };
    EXPECT_EQ(plan(0), (std::vector<RotationStep>{{Kind::Move, L"Orvane.log", L"Orvane_1.log"}}));
    EXPECT_EQ(plan(2), (std::vector<RotationStep>{{Kind::Move, L"Orvane_2.log", L"Orvane_3.log"},
                                                  {Kind::Move, L"Orvane_1.log", L"Orvane_2.log"},
                                                  {Kind::Move, L"Orvane.log", L"Orvane_1.log"}}));
    EXPECT_EQ(plan(5), (std::vector<RotationStep>{{Kind::Delete, L"Orvane_5.log", L""},
                                                  {Kind::Move, L"Orvane_4.log", L"Orvane_5.log"},
                                                  {Kind::Move, L"Orvane_3.log", L"Orvane_4.log"},
                                                  {Kind::Move, L"Orvane_2.log", L"Orvane_3.log"},
                                                  {Kind::Move, L"Orvane_1.log", L"Orvane_2.log"},
                                                  {Kind::Move, L"Orvane.log", L"Orvane_1.log"}}));
    EXPECT_EQ(core::PlanLogRotation(L"x.log", 0, [](const std::wstring&) { return true; }),
              (std::vector<RotationStep>{{Kind::Delete, L"x.log", L""}}));
}

class LogFileOnDisk : public testing::Test {
protected:
    TempDir dir;
    std::wstring Log() const { return dir / L"Orvane.log"; }
    std::wstring Backup(int n) const { return dir / core::LogBackupName(L"Orvane.log", n); }
};

TEST_F(LogFileOnDisk, CreatesTheLogWhenMissing) {
    LogFile log;
    log.Initialize(Log());
    EXPECT_TRUE(log.IsOpen());
    EXPECT_TRUE(Exists(Log()));
    EXPECT_FALSE(Exists(Backup(1)));
}

TEST_F(LogFileOnDisk, LogAtTheLimitIsNotRotated) {
    WriteFile(Log(), std::string(LogFile::kSizeLimit, 'x'));
    LogFile log;
    log.Initialize(Log());
    EXPECT_FALSE(Exists(Backup(1)));
    EXPECT_EQ(ReadFile(Log()).size(), LogFile::kSizeLimit);
}

TEST_F(LogFileOnDisk, LogOverTheLimitRotatesThroughAllFiveBackups) {
    for (int n = 1; n <= 5; ++n) WriteFile(Backup(n), "backup " + std::to_string(n));
    WriteFile(Log(), std::string(LogFile::kSizeLimit + 1, 'x'));
    LogFile log;
    log.Initialize(Log());
    EXPECT_TRUE(log.IsOpen());
    EXPECT_EQ(ReadFile(Log()), "");
    EXPECT_EQ(ReadFile(Backup(1)).size(), LogFile::kSizeLimit + 1);
    for (int n = 2; n <= 5; ++n) EXPECT_EQ(ReadFile(Backup(n)), "backup " + std::to_string(n - 1));
    EXPECT_FALSE(Exists(dir / L"Orvane_6.log"));
}

TEST_F(LogFileOnDisk, RotationThatCannotMoveTheLogKeepsIt) {
    // A log that cannot be moved away (here: its backup name is a folder that
    // is not empty) is reopened once and kept, not rotated without end.
    WriteFile(Log(), std::string(LogFile::kSizeLimit + 1, 'x'));
    for (int n = 1; n <= 5; ++n) {
        ASSERT_TRUE(CreateDirectoryW(Backup(n).c_str(), nullptr));
        WriteFile(Backup(n) + L"\\keep", "k");
    }
    LogFile log;
    log.Initialize(Log());
    EXPECT_TRUE(Exists(Log()));
}

}  // namespace
