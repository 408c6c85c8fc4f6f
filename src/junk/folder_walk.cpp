#include "junk/folder_walk.h"

#include <ctime>
#include <functional>
#include <limits>

#include "common/handles.h"
#include "common/listed_delete.h"
#include "core/worker_tasks.h"

namespace junk {

namespace {

const std::int64_t kBootTime = static_cast<std::int64_t>(std::time(nullptr)) -
                               static_cast<std::int64_t>(GetTickCount64() / 1000);

constexpr std::uint32_t kNoFolder = std::numeric_limits<std::uint32_t>::max();

bool IsDots(const wchar_t* name) { return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0)); }

std::uint64_t SizeOf(const WIN32_FIND_DATAW& data) {
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// What a walk decides for one file: collect it or not.
using FileFilter = std::function<bool(const WIN32_FIND_DATAW&)>;

// One recursive walk. `path_` holds the current folder with its trailing
// backslash; each folder's text enters a list once, when the first entry
// that lies in it is added.
class FolderWalk {
public:
    FolderWalk(JunkFileList& files, JunkFileList& emptyFolders, const std::wstring& root, FileFilter collect,
               bool skipSystemFolders, bool stoppable)
        : files_(files),
          emptyFolders_(emptyFolders),
          collect_(std::move(collect)),
          skipSystemFolders_(skipSystemFolders),
          stoppable_(stoppable),
          path_(root) {
        if (path_.empty() || path_.back() != L'\\') path_ += L'\\';
        rootLength_ = path_.size();
    }

    bool Run() { return Folder(); }

private:
    bool Folder() {
        const std::size_t length = path_.size();
        path_ += L"*.*";
        WIN32_FIND_DATAW data;
        const common::UniqueFind find(FindFirstFileW(path_.c_str(), &data));
        path_.resize(length);
        if (!find) return true;
        bool empty = true;
        std::uint32_t fileFolder = kNoFolder;
        std::uint32_t emptyFolder = kNoFolder;
        do {
            if (stoppable_ && core::StopRequested()) return false;
            if (IsDots(data.cFileName)) continue;
            if (IsLink(data.dwFileAttributes)) {
                empty = false;
                continue;
            }
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                if (skipSystemFolders_ && (data.dwFileAttributes & FILE_ATTRIBUTE_SYSTEM)) continue;
                path_.append(data.cFileName) += L'\\';
                const bool subEmpty = Folder();
                path_.resize(length);
                if (!subEmpty) {
                    empty = false;
                } else {
                    if (emptyFolder == kNoFolder) emptyFolder = emptyFolders_.AddFolder(path_, rootLength_);
                    emptyFolders_.Add(data.cFileName, emptyFolder, 0);
                }
                continue;
            }
            empty = false;
            if (data.cFileName[0] == 0 || !collect_(data)) continue;
            if (fileFolder == kNoFolder) fileFolder = files_.AddFolder(path_, rootLength_);
            files_.Add(data.cFileName, fileFolder, SizeOf(data));
        } while (FindNextFileW(find.get(), &data));
        return empty;
    }

    JunkFileList& files_;
    JunkFileList& emptyFolders_;
    FileFilter collect_;
    bool skipSystemFolders_;
    bool stoppable_;
    std::wstring path_;
    std::size_t rootLength_ = 0;
};

}  // namespace

std::int64_t BootTime() { return kBootTime; }

std::int64_t UnixSeconds(const FILETIME& time) {
    constexpr std::int64_t kUnixEpoch = 116444736000000000;  // 1970-01-01 in 100 ns units since 1601
    const auto ticks = static_cast<std::int64_t>((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) |
                                                 time.dwLowDateTime);
    return (ticks - kUnixEpoch) / 10000000;
}

bool IsLink(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }

bool HasListedExtension(std::wstring_view name, const std::vector<std::wstring>& extensions) {
    const std::size_t dot = name.rfind(L'.');
    if (dot == std::wstring_view::npos) return false;
    const std::wstring_view extension = name.substr(dot);
    for (const std::wstring& listed : extensions)
        if (extension == listed) return true;
    return false;
}

bool ScanJunkFolder(JunkFileList& list, JunkFileList& emptyFolders, const std::wstring& folder, int mode) {
    const std::optional<std::wstring> root = common::ResolvedFolder(folder);
    if (!root) return true;
    const bool sinceBoot = mode == kWalkSinceBoot;
    const std::int64_t bootTime = BootTime();
    FolderWalk walk(
        list, emptyFolders, *root,
        [sinceBoot, bootTime](const WIN32_FIND_DATAW& data) {
            if (data.dwFileAttributes & FILE_ATTRIBUTE_SYSTEM) return false;
            return !sinceBoot || UnixSeconds(data.ftLastWriteTime) <= bootTime;
        },
        true, !sinceBoot);
    return walk.Run();
}

void ListSingleFile(JunkFileList& list, const std::wstring& path) {
    const std::size_t slash = path.rfind(L'\\');
    if (slash == std::wstring::npos) return;
    const std::optional<std::wstring> folder = common::ResolvedFolder(path.substr(0, slash));
    if (!folder) return;
    std::wstring text = *folder;
    if (text.back() != L'\\') text += L'\\';
    WIN32_FIND_DATAW data;
    const common::UniqueFind find(FindFirstFileW((text + path.substr(slash + 1)).c_str(), &data));
    if (!find || (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || IsLink(data.dwFileAttributes)) return;
    const std::size_t length = text.size();
    list.Add(data.cFileName, list.AddFolder(std::move(text), length), SizeOf(data));
}

bool ScanFolderByExtension(JunkFileList& list, JunkFileList& emptyFolders, const ExtensionRule& rule) {
    const std::optional<std::wstring> root = common::ResolvedFolder(rule.folder);
    if (!root) return true;
    FolderWalk walk(
        list, emptyFolders, *root,
        [&rule](const WIN32_FIND_DATAW& data) {
            if (data.dwFileAttributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM)) return false;
            return HasListedExtension(data.cFileName, rule.extensions);
        },
        false, true);
    return walk.Run();
}

}  // namespace junk
