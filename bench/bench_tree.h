#pragma once
// What the benchmarks share: the generated tree of small files, the bare
// enumeration the measured walks are compared with, and the clock.
#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;
double Seconds(Clock::time_point since);

// `folders` folders of `files` four-byte files each, below `root`: top
// folders of 99 sub-folders each ("group<n>\cache<m>").
void MakeTree(const std::wstring& root, int folders, int files);

// The bare walk: FindFirstFileW/FindNextFileW over the tree, counting files;
// the files' and the folders' paths are appended where asked for (folders
// after their contents).
std::size_t Enumerate(const std::wstring& folder, std::vector<std::wstring>* files, std::vector<std::wstring>* dirs);

}  // namespace bench
