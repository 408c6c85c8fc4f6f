#include "support/junk_fixtures.h"

#include <filesystem>

#include "app/worker_tasks.h"
#include "junk/junk_scan.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace junktest {

void MakeFolder(const std::wstring& path) { std::filesystem::create_directories(std::filesystem::path(path)); }

void MakeFile(const std::wstring& path, std::size_t size, DWORD attributes) {
    MakeFolder(std::filesystem::path(path).parent_path().wstring());
    testsupport::WriteFile(path, std::string(size, 'x'));
    if (attributes) SetFileAttributesW(path.c_str(), attributes);
}

std::vector<std::wstring> PathsOf(const junk::JunkFileList& list) {
    std::vector<std::wstring> paths;
    for (const junk::JunkFileEntry& entry : list) paths.push_back(list.PathOf(entry));
    return paths;
}

ScopedVariable::ScopedVariable(const wchar_t* name, const std::wstring& value) : name_(name) {
    if (GetEnvironmentVariableW(name, nullptr, 0)) previous_ = testsupport::Environment(name);
    SetEnvironmentVariableW(name, value.c_str());
}

ScopedVariable::~ScopedVariable() {
    SetEnvironmentVariableW(name_.c_str(), previous_ ? previous_->c_str() : nullptr);
}

ScopedUserTemp::ScopedUserTemp(const std::wstring& value) {
    DWORD size = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, L"Environment", L"TEMP", RRF_RT_ANY | RRF_NOEXPAND, &previousType_, nullptr,
                     &size) == ERROR_SUCCESS) {
        previous_.emplace(size);
        RegGetValueW(HKEY_CURRENT_USER, L"Environment", L"TEMP", RRF_RT_ANY | RRF_NOEXPAND, &previousType_,
                     previous_->data(), &size);
    }
    RegSetKeyValueW(HKEY_CURRENT_USER, L"Environment", L"TEMP", REG_SZ, value.c_str(),
                    static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

ScopedUserTemp::~ScopedUserTemp() {
    if (previous_)
        RegSetKeyValueW(HKEY_CURRENT_USER, L"Environment", L"TEMP", previousType_, previous_->data(),
                        static_cast<DWORD>(previous_->size()));
    else
        RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Environment", L"TEMP");
}

namespace {
void ResetState() {
    app::ZoneBits() = 0;
    app::StopFlag() = 0;
    junk::ResetJunkLists();
    junk::Undeletables().Clear();
}
}  // namespace

void JunkListsTest::SetUp() {
    ASSERT_TRUE(testsupport::WaitForWorkers());
    ResetState();
}

void JunkListsTest::TearDown() {
    EXPECT_TRUE(testsupport::WaitForWorkers());
    ResetState();
}

}  // namespace junktest
