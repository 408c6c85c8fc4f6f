#include "support/temp_dir.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <stdexcept>

#include "junk/protected_folders.h"

namespace testsupport {

namespace {
std::wstring Join(const std::wstring& folder, std::wstring_view name) {
    return folder + L"\\" + std::wstring(name);
}

// "<local AppData>\qo-tests\", the local AppData as the cleaners know it:
// they take a TEMP value only inside it (as Windows has it), while Wine's
// own temporary folder is "<profile>\Temp". Not its "Temp" folder, which a
// refused TEMP falls back to and so may be cleaned.
const std::wstring& Base() {
    static const std::wstring base = [] {
        const std::optional<std::wstring> profile = junk::AccountProfile();
        if (!profile) throw std::runtime_error("this account's profile is not known");
        const std::wstring folder = *profile + L"\\AppData\\Local\\qo-tests\\";
        CreateDirectoryW(folder.c_str(), nullptr);
        return folder;
    }();
    return base;
}

}  // namespace

TempDir::TempDir() {
    const std::wstring& base = Base();
    static unsigned counter = 0;
    for (;;) {
        path_ = base + L"qo-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(++counter);
        if (CreateDirectoryW(path_.c_str(), nullptr)) return;
        if (GetLastError() != ERROR_ALREADY_EXISTS) throw std::runtime_error("cannot create a temporary folder");
    }
}

TempDir::~TempDir() { RemoveTree(path_); }

std::wstring TempDir::operator/(std::wstring_view relative) const { return Join(path_, relative); }

void RemoveTree(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        WIN32_FIND_DATAW data;
        HANDLE find = FindFirstFileW(Join(path, L"*").c_str(), &data);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring name = data.cFileName;
                if (name != L"." && name != L"..") RemoveTree(Join(path, name));
            } while (FindNextFileW(find, &data));
            FindClose(find);
        }
    }
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        RemoveDirectoryW(path.c_str());
    else
        DeleteFileW(path.c_str());
}

void WriteFile(const std::wstring& path, std::string_view content) {
    std::ofstream out(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    if (!out) throw std::runtime_error("cannot write a test file");
}

std::string ReadFile(const std::wstring& path) {
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void MakeFolder(const std::wstring& path) { std::filesystem::create_directories(std::filesystem::path(path)); }

void MakeFile(const std::wstring& path, std::size_t size, DWORD attributes) {
    MakeFolder(std::filesystem::path(path).parent_path().wstring());
    WriteFile(path, std::string(size, 'x'));
    if (attributes) SetFileAttributesW(path.c_str(), attributes);
}

CurrentDirectory::CurrentDirectory(const std::wstring& path) {
    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    previous_ = previous;
    SetCurrentDirectoryW(path.c_str());
}

CurrentDirectory::~CurrentDirectory() { SetCurrentDirectoryW(previous_.c_str()); }

std::wstring Environment(const wchar_t* name) {
    const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
    if (size == 0) return {};
    std::wstring value(size, L'\0');
    value.resize(GetEnvironmentVariableW(name, value.data(), size));
    return value;
}

std::wstring FromUnixPath(std::wstring_view unixPath) {
    std::wstring path = L"Z:" + std::wstring(unixPath);
    for (wchar_t& c : path)
        if (c == L'/') c = L'\\';
    return path;
}

}  // namespace testsupport
