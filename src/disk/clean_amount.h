#pragma once
// The bytes freed by the last system disk clean: stored by the clean in the
// settings store as "DiskCleanRubbishSize", read back by GetDeleteDiskSize.
#include <cstdint>

#include "core/script_bridge.h"

namespace disk {

// Replaces the stored amount with `bytes`; a failed write is not reported.
void StoreCleanAmount(std::uint64_t bytes);

// Decimal text of "DiskCleanRubbishSize"; "0" when it was never written.
engine::Value GetDeleteDiskSize(core::BridgeArgs args);

}  // namespace disk
