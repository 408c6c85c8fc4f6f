#pragma once
// The system disk clean: deletes the files of the selected groups that the
// last scan listed, remembers the ones that could not be deleted, and stores
// the bytes freed.
#include <cstdint>
#include <vector>

#include "common/listed_delete.h"
#include "core/script_bridge.h"
#include "junk/result_rows.h"

namespace disk {

// Deletes the files of one group list while the stop flag is clear, then
// empties the list. Answers what went: its bytes freed are those of the
// files deleted now (a file gone by itself meanwhile frees nothing); a file
// that could not be deleted goes to the UndeletableList; a file kept since
// the scan stays.
common::DeleteTally CleanSystemDiskGroup(int group);

// The worker: the selection's groups ({"first":3,"second":0 to 3}) in order,
// then "DiskCleanRubbishSize".
void RunSystemDiskClean(const std::vector<junk::SelectionElement>& selection);

// Starts the clean of the selection text (the second argument is not read):
// 0, the busy word while a system disk scan or clean runs, -3 when the
// text is not a JSON array (or is too long to be a selection), or
// SystemDiskPolicyRefusal's answer.
engine::Value CleanSystemFile(core::BridgeArgs args);

}  // namespace disk
