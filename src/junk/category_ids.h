#pragma once
// The names of the cleaners' categories: stable ids that scripts, the
// organisation's policy and the trail rely on ("junk.temp"), their names as
// the window shows them in English, and how ids, groups ("junk.*") and "all"
// select categories. Both programs use this one table; it lives with the junk
// cleaner, whose result list holds the registry categories too.
#include <string>
#include <string_view>
#include <vector>

namespace junk {

enum class Cleaner { Junk, Registry };

struct CategoryId {
    const char* id;
    const char* name;
    Cleaner cleaner;
    int index;         // the cleaner's own category index
    bool machineWide;  // cleaning it needs an administrator's rights
};

// Every category, junk first, each in its cleaner's order.
const std::vector<CategoryId>& AllCategories();

// The categories `words` name, each once, in the table's order: an id, a
// group ("junk.*", "browser.*", "apps.*", "registry.*") or "all", in any letter case. The first word that names
// nothing goes to `unknown`, and the answer is empty.
std::vector<CategoryId> SelectCategories(const std::vector<std::string>& words, std::string* unknown);

// The category with `cleaner`'s index `index`; null when there is none.
const CategoryId* FindCategory(Cleaner cleaner, int index);

// The words a policy may name: every category's id, and "disk" (the window's
// system-disk page, which has no categories of its own here).
std::vector<std::string> PolicyCategoryIds();

}  // namespace junk
