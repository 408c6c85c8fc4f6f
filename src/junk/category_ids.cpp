#include "junk/category_ids.h"

#include "common/text.h"

namespace junk {

const std::vector<CategoryId>& AllCategories() {
    static const std::vector<CategoryId> categories = {
        {"junk.temp", "Temporary Files", Cleaner::Junk, 0, false},
        {"junk.winsxs_backup", "WINSXS Backup Cache", Cleaner::Junk, 1, true},
        {"junk.iis_logs", "IIS Log Files", Cleaner::Junk, 2, true},
        {"junk.rdp_cache", "Server Client Caching", Cleaner::Junk, 3, false},
        {"junk.defender_scans", "Scan History", Cleaner::Junk, 4, true},
        {"junk.defender_backup", "Data Cache", Cleaner::Junk, 5, true},
        {"junk.prefetch", "WINDOWS Read-ahead File", Cleaner::Junk, 6, true},
        {"junk.font_cache", "Font Cache", Cleaner::Junk, 7, true},
        {"junk.memory_dumps", "Memory Save File", Cleaner::Junk, 8, true},
        {"junk.manifest_cache", "ManifestCache Cache", Cleaner::Junk, 9, true},
        {"junk.recycle_bin", "Recycle Bin", Cleaner::Junk, 10, false},
        {"junk.thumbnails", "Thumbnail Cache", Cleaner::Junk, 11, false},
        {"junk.error_reports", "Error Report", Cleaner::Junk, 12, true},
        {"browser.chrome", "Chrome Cache", Cleaner::Junk, 13, false},
        {"browser.edge", "Edge Cache", Cleaner::Junk, 14, false},
        {"browser.brave", "Brave Cache", Cleaner::Junk, 15, false},
        {"browser.vivaldi", "Vivaldi Cache", Cleaner::Junk, 16, false},
        {"browser.opera", "Opera Cache", Cleaner::Junk, 17, false},
        {"browser.firefox", "Firefox Cache", Cleaner::Junk, 18, false},
        {"apps.shader_cache", "Shader Cache", Cleaner::Junk, 19, false},
        {"apps.crash_dumps", "Crash Dumps", Cleaner::Junk, 20, false},
        {"registry.firewall", "Invalid Firewall", Cleaner::Registry, 0, true},
        {"registry.mui_cache", "Invalid MUI Cache", Cleaner::Registry, 1, false},
        {"registry.software", "Invalid Software Information", Cleaner::Registry, 2, false},
        {"registry.shared_dlls", "Invalid DLL", Cleaner::Registry, 3, true},
        {"registry.uninstall", "Invalid Uninstall Program", Cleaner::Registry, 4, true},
        {"registry.startup", "Invalid Startup Item", Cleaner::Registry, 5, true},
        {"registry.file_associations", "Invalid File Association", Cleaner::Registry, 6, true},
    };
    return categories;
}

std::vector<CategoryId> SelectCategories(const std::vector<std::string>& words, std::string* unknown) {
    const std::vector<CategoryId>& all = AllCategories();
    std::vector<bool> chosen(all.size(), false);
    for (const std::string& given : words) {
        const std::string word = common::AsciiLowerCase(given);
        const bool group = word.size() > 2 && word.ends_with(".*");
        const std::string_view prefix = group ? std::string_view(word).substr(0, word.size() - 1) : std::string_view();
        bool named = false;
        for (std::size_t i = 0; i < all.size(); ++i) {
            const std::string_view id = all[i].id;
            if (word == "all" || id == word || (group && id.starts_with(prefix))) chosen[i] = named = true;
        }
        if (!named) {
            if (unknown) *unknown = given;
            return {};
        }
    }
    std::vector<CategoryId> selected;
    for (std::size_t i = 0; i < all.size(); ++i)
        if (chosen[i]) selected.push_back(all[i]);
    return selected;
}

const CategoryId* FindCategory(Cleaner cleaner, int index) {
    for (const CategoryId& category : AllCategories())
        if (category.cleaner == cleaner && category.index == index) return &category;
    return nullptr;
}

std::vector<std::string> PolicyCategoryIds() {
    std::vector<std::string> ids = {"disk"};
    for (const CategoryId& category : AllCategories()) ids.emplace_back(category.id);
    return ids;
}

}  // namespace junk
