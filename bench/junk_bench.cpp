// The junk scan and clean on a large generated tree, against bare loops of
// the same Win32 calls in the same run; memory per collected entry; the time
// of a detail page at the end of a long list; the scan of the browsers'
// caches against the bare enumeration of their folders. Prints figures only.
// usage: junk_bench.exe WORK_FOLDER [FOLDERS FILES_PER_FOLDER]
#include <windows.h>
#include <shlobj.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <new>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "common/keep_match.h"
#include "common/listed_delete.h"
#include "core/keep_list.h"
#include "core/worker_tasks.h"
#include "bench_tree.h"
#include "db/local_database.h"
#include "junk/app_caches.h"
#include "junk/folder_walk.h"
#include "junk/junk_categories.h"
#include "junk/junk_clean.h"
#include "junk/junk_lists.h"
#include "junk/junk_scan.h"
#include "junk/result_rows.h"

// Live heap bytes, counted by the global allocation functions.
namespace {
std::atomic<std::size_t> liveBytes{0};
std::atomic<std::size_t> peakBytes{0};
}  // namespace

void* operator new(std::size_t size) {
    auto* block = static_cast<std::size_t*>(std::malloc(size + sizeof(std::max_align_t)));
    if (!block) throw std::bad_alloc();
    *block = size;
    const std::size_t live = liveBytes += size;
    for (std::size_t peak = peakBytes; live > peak && !peakBytes.compare_exchange_weak(peak, live);) {
    }
    return reinterpret_cast<char*>(block) + sizeof(std::max_align_t);
}
void operator delete(void* pointer) noexcept {
    if (!pointer) return;
    auto* block = reinterpret_cast<std::size_t*>(static_cast<char*>(pointer) - sizeof(std::max_align_t));
    liveBytes -= *block;
    std::free(block);
}
void operator delete(void* pointer, std::size_t) noexcept { operator delete(pointer); }

namespace {

// Three browsers with two profiles each, 20 000 cache files in all, beside
// what stays of each profile: the scan of the three categories (profiles
// found from each layout, every cache folder resolved and walked) against
// the bare enumeration of the same cache folders. Best of three.
void BrowserCacheScan(const std::wstring& work) {
    using bench::Clock;
    using bench::Seconds;
    const std::wstring local = work + L"\\browsers\\Local";
    struct Browser {
        int category;
        const wchar_t* profiles;
    };
    const Browser browsers[] = {{junk::kChromeCategory, L"\\Google\\Chrome\\User Data"},
                                {junk::kEdgeCategory, L"\\Microsoft\\Edge\\User Data"},
                                {junk::kFirefoxCategory, L"\\Mozilla\\Firefox\\Profiles"}};
    const wchar_t* const chromiumCaches[] = {L"Cache\\Cache_Data", L"Code Cache\\js", L"GPUCache"};
    const wchar_t* const firefoxCaches[] = {L"cache2\\entries", L"startupCache"};
    constexpr int kFiles = 20000;
    std::vector<std::wstring> folders;
    for (const Browser& browser : browsers) {
        const bool firefox = browser.category == junk::kFirefoxCategory;
        for (const wchar_t* profile : firefox ? std::vector<const wchar_t*>{L"a1.default", L"b2.work"}
                                              : std::vector<const wchar_t*>{L"Default", L"Profile 1"}) {
            const std::wstring base = local + browser.profiles + L"\\" + profile;
            bench::MakeTree(base + L"\\Local Storage", 1, 20);  // stays: not walked
            if (firefox)
                for (const wchar_t* cache : firefoxCaches) folders.push_back(base + L"\\" + cache);
            else
                for (const wchar_t* cache : chromiumCaches) folders.push_back(base + L"\\" + cache);
        }
    }
    const int perFolder = kFiles / static_cast<int>(folders.size());
    for (const std::wstring& folder : folders) {
        SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
        for (int i = 0; i < perFolder; ++i) {
            const HANDLE file = CreateFileW((folder + L"\\f_" + std::to_wstring(i)).c_str(), GENERIC_WRITE, 0, nullptr,
                                            CREATE_ALWAYS, 0, nullptr);
            CloseHandle(file);
        }
    }
    junk::CategorySources sources;
    sources.variable = [](const wchar_t*) { return std::wstring(); };
    sources.expand = [](const std::wstring& path) { return path; };
    sources.localAppData = local;
    sources.localAppDataFinal = junk::FinalPathOf(local).value_or(local);
    double bare = 1e9, scan = 1e9;
    std::size_t found = 0, listed = 0;
    for (int round = 0; round < 3; ++round) {
        Clock::time_point start = Clock::now();
        found = 0;
        for (const std::wstring& folder : folders) found += bench::Enumerate(folder, nullptr, nullptr);
        bare = std::min(bare, Seconds(start));
        junk::ResetJunkLists();
        start = Clock::now();
        for (const Browser& browser : browsers) junk::ScanJunkCategory(browser.category, sources);
        scan = std::min(scan, Seconds(start));
        listed = 0;
        for (const Browser& browser : browsers) listed += junk::JunkList(browser.category).Count();
    }
    std::printf("browser caches (3 browsers x 2 profiles, %zu files): scan %.3f s, bare enumeration of the cache "
                "folders %.3f s, ratio %.2f (best of 3)%s\n",
                found, scan, bare, scan / bare, listed == found ? "" : " - the scan listed another number of files");
    junk::ResetJunkLists();
    std::vector<std::wstring> files, dirs;
    bench::Enumerate(work + L"\\browsers", &files, &dirs);
    for (const std::wstring& file : files) DeleteFileW(file.c_str());
    for (const std::wstring& dir : dirs) RemoveDirectoryW(dir.c_str());
    RemoveDirectoryW((work + L"\\browsers").c_str());
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    using bench::Clock;
    using bench::Enumerate;
    using bench::MakeTree;
    using bench::Seconds;
    if (argc < 2) {
        std::fprintf(stderr, "usage: junk_bench.exe WORK_FOLDER [FOLDERS FILES_PER_FOLDER]\n");
        return 2;
    }
    const std::wstring work = argv[1];
    const int folders = argc > 3 ? _wtoi(argv[2]) : 4000;
    const int files = argc > 3 ? _wtoi(argv[3]) : 50;
    const std::wstring junkTree = work + L"\\junk", copyTree = work + L"\\copy";
    CreateDirectoryW(work.c_str(), nullptr);

    auto start = Clock::now();
    MakeTree(junkTree, folders, files);
    MakeTree(copyTree, folders, files);
    std::printf("tree: %d folders x %d files, twice, made in %.1f s\n", folders, files, Seconds(start));
    BrowserCacheScan(work);

    Enumerate(junkTree, nullptr, nullptr);  // warm both the same way
    double bare = 1e9, scan = 1e9;
    std::size_t entries = 0, nameBytes = 0, heapPerEntry = 0;
    for (int round = 0; round < 3; ++round) {
        start = Clock::now();
        const std::size_t found = Enumerate(junkTree, nullptr, nullptr);
        bare = std::min(bare, Seconds(start));

        junk::JunkList(0).Clear();
        junk::EmptyFolderList(0).Clear();
        const std::size_t heapBefore = liveBytes;
        peakBytes = heapBefore;
        start = Clock::now();
        junk::ScanJunkFolder(junk::JunkList(0), junk::EmptyFolderList(0), junkTree, junk::kWalkAll);
        scan = std::min(scan, Seconds(start));
        entries = junk::JunkList(0).Count();
        nameBytes = 0;
        for (const auto& entry : junk::JunkList(0)) nameBytes += entry.name.size() * sizeof(wchar_t);
        heapPerEntry = (peakBytes - heapBefore - nameBytes) / entries;
        if (found != entries) std::printf("mismatch: %zu enumerated, %zu collected\n", found, entries);
    }
    std::printf("scan: %.3f s, bare enumeration: %.3f s, ratio %.2f (best of 3)\n", scan, bare, scan / bare);
    std::printf("memory per entry beyond the name's characters: %zu bytes at the heap peak "
                "(requested bytes; the allocator adds its block header to each name longer than 7 characters)\n",
                heapPerEntry);

    const std::size_t count = junk::JunkList(0).Count();
    const std::vector<engine::Value> page = {1, 0, static_cast<int>(count - 50), static_cast<int>(count)};
    constexpr int kPages = 1000;
    std::size_t length = 0;
    start = Clock::now();
    for (int i = 0; i < kPages; ++i) length += junk::GetErrorDetails(page).Text().size();
    std::printf("GetErrorDetails page of 50 rows at the end of %zu: %.1f us (%zu characters)\n", count,
                Seconds(start) / kPages * 1e6, length / kPages);

    // What the clean's check costs per file: reading the final path through
    // the handle it deletes with, beside opening and closing that handle;
    // best of five, in turns.
    std::vector<std::wstring> sampleFiles;
    Enumerate(copyTree + L"\\group0", &sampleFiles, nullptr);
    sampleFiles.resize(std::min<std::size_t>(sampleFiles.size(), 2000));
    const auto openEach = [&sampleFiles](bool readFinalPath) {
        wchar_t finalPath[2 * MAX_PATH];
        const Clock::time_point begin = Clock::now();
        for (const std::wstring& path : sampleFiles) {
            const HANDLE file = CreateFileW(path.c_str(), DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                            OPEN_EXISTING, 0, nullptr);
            if (readFinalPath) GetFinalPathNameByHandleW(file, finalPath, 2 * MAX_PATH, VOLUME_NAME_DOS);
            CloseHandle(file);
        }
        return Seconds(begin) / static_cast<double>(sampleFiles.size()) * 1e6;
    };
    double opened = 1e9, checked = 1e9;
    for (int round = 0; round < 5; ++round) {
        opened = std::min(opened, openEach(false));
        checked = std::min(checked, openEach(true));
    }
    std::printf("check per file: %.1f us for the final path (open and close alone: %.1f us)\n", checked - opened,
                opened);

    // The keep list as the window has it: read from the machine's and the
    // account's databases (here one file of the bench's own serves as both),
    // which each deletion asks whether another program changed them.
    for (const db::Store store : db::kStores) db::Database(store).Open(work + L"\\");
    if (!core::RefreshKeptItems()) {
        std::fprintf(stderr, "the keep list cannot be read\n");
        return 1;
    }
    double keepCheck = 1e9;
    for (int round = 0; round < 5; ++round) {
        const Clock::time_point begin = Clock::now();
        for (int i = 0; i < 2000; ++i) core::KeptItemsForDeletion();
        keepCheck = std::min(keepCheck, Seconds(begin) / 2000 * 1e6);
    }
    std::printf("keep-list check per file: %.1f us\n", keepCheck);

    // The clean against bare deletion loops, one top folder of each tree at a
    // time (a top folder is a walk's own folder, which the clean keeps: both
    // keep it). The clean shares a list of kSharedFrom files or more between
    // two threads: the bare loop deletes its halves on two threads the same
    // way. The deletion owner's own loop (keep check, open, final-path check,
    // delete through the handle) on one thread is compared with a one-thread
    // bare loop as well. The top folders take the pairs in turns, each side
    // first in every other one; best of its folders for each side.
    junk::ResetJunkLists();
    constexpr std::size_t kSharedFrom = 256;  // junk_clean.cpp's threshold
    const auto deleteBare = [](const std::vector<std::wstring>& files, std::size_t first, std::size_t last) {
        for (std::size_t i = first; i < last; ++i) DeleteFileW(files[i].c_str());
    };
    const auto deleteOwned = [](const std::vector<std::wstring>& files) {
        for (const std::wstring& file : files) {
            const std::shared_ptr<const common::KeptItems> kept = core::KeptItemsForDeletion();
            if (!kept) break;
            if (!common::IsKept(*kept, file)) common::DeleteListedFile(file);
        }
    };
    double clean = 1e9, bareTwo = 1e9, owned = 1e9, bareOne = 1e9;
    std::size_t cleanThreads = 0, groupFiles = 0;
    for (int group = 0;; ++group) {
        const std::wstring name = L"\\group" + std::to_wstring(group);
        if (GetFileAttributesW((junkTree + name).c_str()) == INVALID_FILE_ATTRIBUTES) break;
        std::vector<std::wstring> junkFiles, junkDirs, copyFiles, copyDirs;
        Enumerate(junkTree + name, &junkFiles, &junkDirs);
        Enumerate(copyTree + name, &copyFiles, &copyDirs);
        groupFiles = copyFiles.size();
        const bool twoThreadPair = group / 2 % 2 == 0, measuredFirst = group % 2 == 0;
        double measured = 0, bare = 0;
        const auto measure = [&] {
            if (twoThreadPair) {
                junk::ScanJunkFolder(junk::JunkList(0), junk::EmptyFolderList(0), junkTree + name, junk::kWalkAll);
                cleanThreads = junk::JunkList(0).Count() >= kSharedFrom ? 2 : 1;
                core::ZoneBits() = core::JUNKFILE_CLEAN_WORKING;
                start = Clock::now();
                junk::RunClean({{1, 0}});
                measured = Seconds(start);
            } else {
                start = Clock::now();
                deleteOwned(junkFiles);
                for (const std::wstring& dir : junkDirs) common::DeleteListedFolder(dir);
                measured = Seconds(start);
            }
        };
        const auto loop = [&] {
            const std::size_t half = twoThreadPair && copyFiles.size() >= kSharedFrom ? copyFiles.size() / 2
                                                                                      : copyFiles.size();
            start = Clock::now();
            std::thread helper;
            if (half < copyFiles.size()) helper = std::thread(deleteBare, std::cref(copyFiles), half, copyFiles.size());
            deleteBare(copyFiles, 0, half);
            if (helper.joinable()) helper.join();
            for (const std::wstring& dir : copyDirs) RemoveDirectoryW(dir.c_str());
            bare = Seconds(start);
        };
        if (measuredFirst) {
            measure();
            loop();
        } else {
            loop();
            measure();
        }
        if (twoThreadPair) {
            clean = std::min(clean, measured);
            bareTwo = std::min(bareTwo, bare);
        } else {
            owned = std::min(owned, measured);
            bareOne = std::min(bareOne, bare);
        }
        RemoveDirectoryW((junkTree + name).c_str());
        RemoveDirectoryW((copyTree + name).c_str());
    }
    std::printf("clean (%zu threads): %.3f s, bare deletion loop (the same %zu threads): %.3f s, ratio %.2f\n",
                cleanThreads, clean, cleanThreads, bareTwo, clean / bareTwo);
    std::printf("deletion owner's loop (1 thread): %.3f s, bare deletion loop (1 thread): %.3f s, ratio %.2f\n", owned,
                bareOne, owned / bareOne);
    // Where a second thread does not speed the bare loop up (Wine's file
    // calls queue at its server), the faster bare loop is the fair measure.
    std::printf("clean against the faster bare loop (%s): ratio %.2f\n", bareOne < bareTwo ? "1 thread" : "2 threads",
                clean / std::min(bareOne, bareTwo));
    std::printf("(best per top folder of %zu files, the folders taking the two pairs in turns and each side first in "
                "every other one; the clean's figure holds all of it: its keep-list and final-path checks, the empty "
                "folders' removal, the page's messages and the figures it stores)\n",
                groupFiles);
    std::printf("left behind: %zu entries in the junk tree, %zu undeletable\n",
                Enumerate(junkTree, nullptr, nullptr), junk::Undeletables().Count());
    RemoveDirectoryW(junkTree.c_str());
    RemoveDirectoryW(copyTree.c_str());
    for (const db::Store store : db::kStores) db::Database(store).Close();
    DeleteFileW((work + L"\\mydatabase.db").c_str());
    RemoveDirectoryW(work.c_str());
    return 0;
}
