// A program for the bridge benchmark (scripts/bench-bridge.sh): the program's
// documents and native functions, plus RunCallbacks(n, w), which starts w
// workers that together call the page's global function Tick(i) n times, each
// worker waiting until the page has answered its call before making the next,
// and then BenchDone(answered, milliseconds).
// usage: callback_bench.exe ARCHIVE   (prints the page address)
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

#include "app/bridge_table.h"
#include "app/document_source.h"
#include "core/script_bridge.h"
#include "engine/browser_window.h"

namespace {

class BenchHost : public engine::WindowHost {
public:
    engine::LoadResult OnDataLoad(engine::DataLoadRequest& request) override { return app::LoadDocument(request); }

    std::optional<engine::Value> OnScriptCall(std::string_view name, std::span<const engine::Value> args) override {
        if (name != "RunCallbacks" || args.size() != 2 || !args[0].AsInt() || !args[1].AsInt())
            return app::NativeFunctions().Call(name, args);
        const int count = *args[0].AsInt();
        const int workers = std::max(1, *args[1].AsInt());
        std::thread([this, count, workers] {
            const ULONGLONG start = GetTickCount64();
            std::atomic<int> delivered{0};
            std::vector<std::thread> running;
            for (int w = 0; w < workers; ++w)
                running.emplace_back([&, w] {
                    for (int i = w; i < count; i += workers)
                        delivered += window->CallFunction("Tick", {engine::Value(i)}) ? 1 : 0;
                });
            for (std::thread& worker : running) worker.join();
            const int elapsed = static_cast<int>(GetTickCount64() - start);
            window->CallFunction("BenchDone", {engine::Value(delivered.load()), engine::Value(elapsed)});
        }).detach();
        return engine::Value(0);
    }

    engine::BrowserWindow* window = nullptr;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return 2;
    std::ifstream file(argv[1], std::ios::binary);
    static const std::vector<std::uint8_t> archive{std::istreambuf_iterator<char>(file), {}};
    if (!app::OpenUiArchive(archive)) return 2;
    BenchHost host;
    engine::WindowOptions options;
    options.headless = true;
    const std::unique_ptr<engine::BrowserWindow> window = engine::BrowserWindow::Create(host, options);
    if (!window) return -1;
    host.window = window.get();
    window->LoadFile(L"this://app/index.html");
    window->Show();
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    return static_cast<int>(message.wParam);
}
