#pragma once
// Test fixtures on the Windows side: a temporary folder removed afterwards,
// file helpers, and the paths the build passes in through the environment.
#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace testsupport {

// A fresh, empty folder inside this account's local AppData, removed with everything in it when the
// owner goes away. Links inside it are removed, never followed.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::wstring& Path() const { return path_; }
    // Path() + L"\\" + relative
    std::wstring operator/(std::wstring_view relative) const;

private:
    std::wstring path_;
};

// Removes a folder tree without following links.
void RemoveTree(const std::wstring& path);

void WriteFile(const std::wstring& path, std::string_view content);
std::string ReadFile(const std::wstring& path);
bool Exists(const std::wstring& path);
// Writes a file of `size` bytes, creating its folders, with `attributes`
// added (FILE_ATTRIBUTE_HIDDEN and the like).
void MakeFile(const std::wstring& path, std::size_t size, DWORD attributes = 0);
void MakeFolder(const std::wstring& path);

// Makes the current directory `path` for the owner's lifetime.
class CurrentDirectory {
public:
    explicit CurrentDirectory(const std::wstring& path);
    ~CurrentDirectory();
    CurrentDirectory(const CurrentDirectory&) = delete;
    CurrentDirectory& operator=(const CurrentDirectory&) = delete;

private:
    std::wstring previous_;
};

// An environment variable as text ("" when unset).
std::wstring Environment(const wchar_t* name);
// A Linux path as Wine sees it through drive Z:.
std::wstring FromUnixPath(std::wstring_view unixPath);

}  // namespace testsupport
