#pragma once
// The command line's names for the cleaners' categories: stable ids that
// scripts may rely on ("junk.temp"), their names as the window shows them in
// English, and how ids, groups ("junk.*") and "all" select categories.
#include <string>
#include <string_view>
#include <vector>

namespace cli {

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

}  // namespace cli
