#include "core/log_file.h"

#include <windows.h>

namespace core {

LogLevelSetting SettleLogLevel(int raw) {
    if (static_cast<unsigned>(raw) > 2) return {2, true};
    return {raw, false};
}

std::wstring LogBackupName(std::wstring_view path, int number) {
    const std::wstring suffix = L"_" + std::to_wstring(number);
    std::wstring name(path);
    const std::size_t dot = name.rfind(L'.');
    if (dot == std::wstring::npos) return name + suffix;
    return name.insert(dot, suffix);
}

std::vector<RotationStep> PlanLogRotation(std::wstring_view path, int backupCount,
                                          const std::function<bool(const std::wstring&)>& exists) {
    using Kind = RotationStep::Kind;
    if (backupCount == 0) return {{Kind::Delete, std::wstring(path), {}}};

    std::vector<std::wstring> names;
    std::vector<RotationStep> steps;
    for (int number = 1;; ++number) {
        names.push_back(LogBackupName(path, number));
        if (!exists(names.back())) break;
        if (number == backupCount) {
            steps.push_back({Kind::Delete, names.back(), {}});
            break;
        }
    }
    // The last name is free now (it did not exist, or was the fifth backup and
    // is deleted above), so the shift needs no further deletion.
    for (std::size_t k = names.size() - 1; k >= 1; --k) steps.push_back({Kind::Move, names[k - 1], names[k]});
    steps.push_back({Kind::Move, std::wstring(path), names.front()});
    return steps;
}

LogFile& LogFile::Instance() {
    static LogFile log;
    return log;
}

void LogFile::ReadLevel(const wchar_t* configPath) {
    const LogLevelSetting setting =
        SettleLogLevel(static_cast<int>(GetPrivateProfileIntW(L"LOG", L"LEVEL", 3, configPath)));
    if (setting.rewrite) WritePrivateProfileStringW(L"LOG", L"LEVEL", L"2", configPath);
    level_ = setting.level;
}

void LogFile::Initialize(std::wstring path) {
    backupCount_ = kBackupCount;
    sizeLimit_ = kSizeLimit;
    path_ = std::move(path);
    Open(true);
}

void LogFile::Write(std::string_view line) {
    if (!file_) return;
    const std::string record = std::string(line) + "\r\n";
    DWORD written = 0;
    if (WriteFile(file_.get(), record.data(), static_cast<DWORD>(record.size()), &written, nullptr))
        currentSize_ += written;
}

void LogFile::Open(bool mayRotate) {
    constexpr DWORD kAccess = GENERIC_READ | GENERIC_WRITE;
    constexpr DWORD kShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    file_.reset(CreateFileW(path_.c_str(), kAccess, kShare, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file_)
        file_.reset(CreateFileW(path_.c_str(), kAccess, kShare, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file_) return;

    currentSize_ = SetFilePointer(file_.get(), 0, nullptr, FILE_END);
    DWORD high = 0;
    const DWORD low = GetFileSize(file_.get(), &high);
    // Rotation reopens the log once; when a failed move leaves the old file in
    // place it is kept rather than rotated again and again.
    if (mayRotate && (high != 0 || low > sizeLimit_)) Rotate();
}

void LogFile::Rotate() {
    file_.reset();
    const auto exists = [](const std::wstring& name) {
        return static_cast<bool>(common::UniqueFile(CreateFileW(name.c_str(), GENERIC_READ,
                                                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                                OPEN_EXISTING, FILE_ATTRIBUTE_READONLY, nullptr)));
    };
    // Failed deletions and moves are ignored: the rotation goes on.
    for (const RotationStep& step : PlanLogRotation(path_, backupCount_, exists)) {
        if (step.kind == RotationStep::Kind::Delete)
            DeleteFileW(step.from.c_str());
        else
            MoveFileW(step.from.c_str(), step.to.c_str());
    }
    Open(false);
}

}  // namespace core
