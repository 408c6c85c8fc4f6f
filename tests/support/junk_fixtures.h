#pragma once
// Shared fixtures of the junk tests: files with attributes, an environment
// pointed at fixture folders, and the process-wide lists emptied around each
// test.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "junk/junk_lists.h"

namespace junktest {

// Writes a file of `size` bytes, creating its folders, with `attributes`
// added (FILE_ATTRIBUTE_HIDDEN and the like).
void MakeFile(const std::wstring& path, std::size_t size, DWORD attributes = 0);
void MakeFolder(const std::wstring& path);

// Full paths of a list's entries, in order.
std::vector<std::wstring> PathsOf(const junk::JunkFileList& list);

// Sets a process environment variable (and, with `user`, the TEMP value of
// HKEY_CURRENT_USER\Environment) for the owner's lifetime.
class ScopedVariable {
public:
    ScopedVariable(const wchar_t* name, const std::wstring& value);
    ~ScopedVariable();
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    std::wstring name_;
    std::optional<std::wstring> previous_;
};

class ScopedUserTemp {
public:
    explicit ScopedUserTemp(const std::wstring& value);
    ~ScopedUserTemp();
    ScopedUserTemp(const ScopedUserTemp&) = delete;
    ScopedUserTemp& operator=(const ScopedUserTemp&) = delete;

private:
    std::optional<std::vector<BYTE>> previous_;
    DWORD previousType_ = REG_SZ;
};

// Empties the junk lists, the EmptyFolderList and the UndeletableList and
// clears the busy word before and after each test.
class JunkListsTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};

}  // namespace junktest
