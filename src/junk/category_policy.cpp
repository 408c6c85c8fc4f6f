#include "junk/category_policy.h"

#include <algorithm>

#include "core/log_file.h"
#include "core/worker_tasks.h"
#include "engine/wire_format.h"
#include "junk/result_kinds.h"

namespace junk {

StartPolicy PolicyForStart() {
    core::PolicyRead read = core::ReadPolicy(PolicyCategoryIds());
    if (read.state != core::PolicyState::Unreadable) return {std::move(read.policy), 0};
    core::LogFile::Instance().Write(read.error + ", so nothing is scanned or cleaned");
    return {{}, core::kPolicyUnreadable};
}

const CategoryId* CategoryOf(const SelectionElement& element) {
    if (element.kind == kRegistryRows) return FindCategory(Cleaner::Registry, element.category);
    if (element.kind == kJunkRows) return FindCategory(Cleaner::Junk, element.category);
    return nullptr;
}

bool TurnedOff(const core::Policy& policy, Cleaner cleaner, int index) {
    const CategoryId* category = FindCategory(cleaner, index);
    return category && core::PolicyDisables(policy, category->id);
}

bool SelectsTurnedOff(const std::vector<SelectionElement>& selection, const core::Policy& policy) {
    return std::ranges::any_of(selection, [&](const SelectionElement& element) {
        const CategoryId* category = CategoryOf(element);
        return category && core::PolicyDisables(policy, category->id);
    });
}

engine::Value GetTurnedOffCategories(core::BridgeArgs) {
    const core::PolicyRead read = core::ReadPolicy(PolicyCategoryIds());
    if (read.state == core::PolicyState::Unreadable)
        return engine::Value::Map({{L"unreadable", engine::WideFromUtf8(read.error)}});
    std::vector<engine::Value> registry, junk;
    for (const CategoryId& category : AllCategories())
        if (core::PolicyDisables(read.policy, category.id))
            (category.cleaner == Cleaner::Registry ? registry : junk).emplace_back(category.index);
    return engine::Value::Map({{L"registry", engine::Value::Array(std::move(registry))},
                               {L"junk", engine::Value::Array(std::move(junk))},
                               {L"disk", core::PolicyDisables(read.policy, "disk")}});
}

}  // namespace junk
