#pragma once
// The exit code of an `orvane` run, combined from what its parts came to: a
// plain function, so that each combination is a table row.
#include <cstddef>

namespace cli {

enum ExitCode : int { kDone = 0, kSomeLeft = 1, kUsage = 2, kBusy = 3, kNotPermitted = 4 };

struct RunTally {
    std::size_t parts = 0;      // the categories or entries asked for
    std::size_t refused = 0;    // of those: not permitted
    std::size_t failed = 0;     // items left for another reason than being in use
    bool stopped = false;       // Ctrl+C ended the run early
    bool keepListLost = false;  // the keep list could not be read during the run: it stopped
    bool overThreshold = false; // a scan found more than --min-bytes
};

// 4 when the keep list stopped the run or nothing asked for was permitted;
// 1 when anything was left, refused or stopped, or a scan found more than
// its threshold; else 0. Files in use are no failure: a live machine always
// has some, and the next clean takes them.
int CombinedExitCode(const RunTally& tally);

}  // namespace cli
