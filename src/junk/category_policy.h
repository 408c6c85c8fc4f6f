#pragma once
// The organisation's policy over the window's scans and cleans: a category
// it turns off is never scanned (its tile shows it turned off) nor cleaned,
// and while the policy cannot be read nothing is scanned or cleaned. The
// checks sit in the native functions the pages call, so a page that asks
// anyway is refused.
#include <string>
#include <vector>

#include "core/policy.h"
#include "core/script_bridge.h"
#include "junk/category_ids.h"
#include "junk/result_rows.h"

namespace junk {

// The policy for a start of a scan or clean, read now: `refusal` is the
// page's answer when the policy cannot be read (core::kPolicyUnreadable;
// the reason is logged), else 0.
struct StartPolicy {
    core::Policy policy;
    int refusal = 0;
};
StartPolicy PolicyForStart();

// The registry or junk category a selection element names; null for other
// kinds of rows (the files that failed to delete) and for no category.
const CategoryId* CategoryOf(const SelectionElement& element);

// Whether `policy` turns off `cleaner`'s category `index`.
bool TurnedOff(const core::Policy& policy, Cleaner cleaner, int index);

// Whether `selection` names a registry or junk category that `policy` turns
// off.
bool SelectsTurnedOff(const std::vector<SelectionElement>& selection, const core::Policy& policy);

// GetTurnedOffCategories: what the pages show turned off, as
// {"registry": [index...], "junk": [index...], "disk": bool}, or
// {"unreadable": reason} when the policy cannot be read.
engine::Value GetTurnedOffCategories(core::BridgeArgs args);

}  // namespace junk
