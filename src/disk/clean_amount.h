#pragma once
// GetDeleteDiskSize: the bytes freed by the last system disk clean, as the
// clean stored them in the settings store.
#include "app/script_bridge.h"

namespace disk {

// Decimal text of "DiskCleanRubbishSize"; "0" when it was never written.
engine::Value GetDeleteDiskSize(app::BridgeArgs args);

}  // namespace disk
