#include "disk/path_sizes.h"

#include <algorithm>

#include "app/settings_store_values.h"
#include "app/worker_tasks.h"
#include "disk/file_walk.h"

namespace disk {

std::uint64_t PathSize(const std::wstring& path) {
    std::uint64_t total = 0;
    ForEachFile(path, [&total](std::wstring_view, std::uint64_t size) { total += size; });
    return total;
}

void RunPathSizes(const std::vector<std::wstring>& paths) {
    engine::Value sizes = engine::Value::Array();
    for (const std::wstring& path : paths)
        sizes.Append(engine::Value::Array({path, app::DecimalText(static_cast<std::int64_t>(PathSize(path)))}));
    app::CallScriptFunction("SetFileOrDirSize", {std::move(sizes)});
}

engine::Value GetFileOrDirSize(app::BridgeArgs args) {
    std::vector<std::wstring> paths;
    for (const engine::Value& item : args[0].Items()) {
        std::wstring path = item.ToText();
        std::replace(path.begin(), path.end(), L'/', L'\\');
        paths.push_back(std::move(path));
    }
    app::StartDetachedWorker([paths = std::move(paths)] { RunPathSizes(paths); });
    return 0;
}

}  // namespace disk
