#include "disk/path_sizes.h"

#include <algorithm>
#include <mutex>
#include <optional>

#include "core/settings_store_values.h"
#include "core/worker_tasks.h"
#include "disk/file_walk.h"

namespace disk {

namespace {

// One size worker at a time, however often the page asks: a request made
// while it works waits, and a later one replaces it (the page asks anew for
// the tree it shows; the sizes of a tree it no longer shows are of no use).
struct SizeRequests {
    std::mutex lock;
    std::optional<std::vector<std::wstring>> pending;
    bool working = false;
};

SizeRequests& Requests() {
    static SizeRequests requests;
    return requests;
}

// The worker: `paths`, then the waiting request, until none waits.
void RunSizeRequests(std::vector<std::wstring> paths) {
    SizeRequests& requests = Requests();
    for (;;) {
        try {
            RunPathSizes(paths);
        } catch (...) {
            // The exception ends the worker (worker_tasks.h); the next request starts another.
            const std::lock_guard guard(requests.lock);
            requests.working = false;
            throw;
        }
        const std::lock_guard guard(requests.lock);
        if (!requests.pending) {
            requests.working = false;
            return;
        }
        paths = std::move(*requests.pending);
        requests.pending.reset();
    }
}

}  // namespace

std::uint64_t PathSize(const std::wstring& path) {
    std::uint64_t total = 0;
    ForEachFile(path, [&total](std::wstring_view, std::uint64_t size) { total += size; });
    return total;
}

void RunPathSizes(const std::vector<std::wstring>& paths) {
    engine::Value sizes = engine::Value::Array();
    for (const std::wstring& path : paths)
        sizes.Append(engine::Value::Array({path, core::DecimalText(static_cast<std::int64_t>(PathSize(path)))}));
    core::CallScriptFunction("SetFileOrDirSize", {std::move(sizes)});
}

engine::Value GetFileOrDirSize(core::BridgeArgs args) {
    std::vector<std::wstring> paths;
    for (const engine::Value& item : args[0].Items()) {
        std::wstring path = item.ToText();
        std::replace(path.begin(), path.end(), L'/', L'\\');
        paths.push_back(std::move(path));
    }
    SizeRequests& requests = Requests();
    const std::lock_guard guard(requests.lock);
    if (requests.working) {
        requests.pending = std::move(paths);
        return 0;
    }
    requests.working = core::StartDetachedWorker([paths = std::move(paths)] { RunSizeRequests(paths); });
    return 0;
}

}  // namespace disk
