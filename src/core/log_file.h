#pragma once
// The program's rotating log: "Orvane.log" beside the program, kept
// below 5 MiB by rotating it into Orvane_1.log (newest) .. Orvane_5.log.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "common/handles.h"

namespace core {

// The level that a raw "LEVEL" value settles to, and whether the stored value
// must be rewritten: anything above 2 taken as unsigned (negative values too)
// becomes 2.
struct LogLevelSetting {
    int level;
    bool rewrite;
};
LogLevelSetting SettleLogLevel(int raw);

// `path` with "_<number>" before its last '.', or at its end when it has none.
std::wstring LogBackupName(std::wstring_view path, int number);

struct RotationStep {
    enum class Kind { Delete, Move } kind;
    std::wstring from;  // Delete: the file to delete
    std::wstring to;
    bool operator==(const RotationStep&) const = default;
};

// The deletions and moves that rotate the log at `path`, given which backup
// names exist now.
std::vector<RotationStep> PlanLogRotation(std::wstring_view path, int backupCount,
                                          const std::function<bool(const std::wstring&)>& exists);

class LogFile {
public:
    static constexpr std::uint32_t kSizeLimit = 5242880;
    static constexpr int kBackupCount = 5;

    // The process's one log.
    static LogFile& Instance();

    // Reads "LEVEL" of section "LOG" from the INI file, writing 2 back when
    // the value is missing or out of range. Runs before anything else.
    void ReadLevel(const wchar_t* configPath);
    void Initialize(std::wstring path);
    // Appends one line (UTF-8) when the log is open.
    void Write(std::string_view line);

    int Level() const { return level_; }
    bool IsOpen() const { return static_cast<bool>(file_); }

private:
    void Open(bool mayRotate);
    void Rotate();

    int level_ = 0;
    std::wstring path_;
    common::UniqueFile file_;
    std::uint64_t currentSize_ = 0;
    std::uint32_t sizeLimit_ = kSizeLimit;
    int backupCount_ = kBackupCount;
};

}  // namespace core
