#pragma once
// The recycle bin category: read through the shell's namespace (its items
// are not plain files in one folder) and emptied with one shell call.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

#include "junk/junk_lists.h"

namespace junk {

// The bytes of the shell's size column ("1.5 KB", "12 bytes"): the number
// before the first blank, times the unit after it (KB, MB, GB; any other
// unit leaves the number as it is). 0 without a blank.
std::uint64_t ParseRecycleSizeText(std::wstring_view text);

// Appends every item of the recycle bin as (name, folder it was deleted from,
// size as the shell shows it). Nothing when the bin cannot be read.
void ScanRecycleBin(JunkFileList& list);

// Empties the recycle bin of every drive without asking; true only when the
// bin could be queried and the shell reports it emptied. Under Wine, whose
// shell would delete the target of a link in the bin, each item goes through
// the deletion owner instead (links stay), true when every item went.
bool EmptyRecycleBin();

// The shell's calls that empty the bin where it is Windows' own: the query
// of every drive's bin, then the emptying with `flags`.
struct RecycleBinCalls {
    std::function<HRESULT()> query;
    std::function<HRESULT(DWORD flags)> empty;
};

// A test's seam: EmptyRecycleBin takes Windows' way through `calls` from now
// on, under Wine too; nothing gives the shell's own calls back.
void SetRecycleBinCallsForTest(std::optional<RecycleBinCalls> calls);

}  // namespace junk
