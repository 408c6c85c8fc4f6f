#include "cli/policy_check.h"

#include "cli/all_users.h"
#include "junk/category_ids.h"

namespace cli {

PolicyChecked CheckPolicy(const Command& command, const core::PolicyRead& policy) {
    PolicyChecked checked{command, std::nullopt};
    // What protects the user cannot be read: nothing is scanned or cleaned.
    if (policy.state == core::PolicyState::Unreadable) {
        checked.refused = NotPermitted(policy.error + ", so nothing is scanned or cleaned");
        return checked;
    }
    if (!command.words.empty()) {
        std::string unknown;
        for (const junk::CategoryId& category : junk::SelectCategories(command.words, &unknown))
            if (core::PolicyDisables(policy.policy, category.id)) {
                checked.refused = NotPermitted(std::string(category.id) + ": " + core::kTurnedOffByPolicy);
                return checked;
            }
        return checked;
    }
    // The default selection, less what policy turns off.
    for (const junk::CategoryId& category : junk::AllCategories()) {
        const bool taken = !command.allUsers || AllUsersRefusal(category).empty();
        if (taken && !core::PolicyDisables(policy.policy, category.id)) checked.command.words.emplace_back(category.id);
    }
    if (checked.command.words.empty()) checked.refused = NotPermitted(std::string("every category is ") + core::kTurnedOffByPolicy);
    return checked;
}

}  // namespace cli
