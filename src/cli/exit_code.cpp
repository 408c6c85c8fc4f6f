#include "cli/exit_code.h"

namespace cli {

int CombinedExitCode(const RunTally& tally) {
    if (tally.keepListLost) return kNotPermitted;
    if (tally.parts > 0 && tally.refused == tally.parts) return kNotPermitted;
    return tally.stopped || tally.refused || tally.failed || tally.overThreshold ? kSomeLeft : kDone;
}

}  // namespace cli
