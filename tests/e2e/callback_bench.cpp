// A program for the bridge benchmark (scripts/bench-bridge.sh): the program's
// documents and native functions, plus RunCallbacks(n), which starts a worker
// that calls the page's global function Tick(i) n times, each time waiting
// until the page has answered, and then BenchDone(n, milliseconds).
// usage: callback_bench.exe ARCHIVE   (prints the page address)
#include <windows.h>

#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

#include "app/document_source.h"
#include "app/script_bridge.h"
#include "engine/browser_window.h"

namespace {

class BenchHost : public engine::WindowHost {
public:
    engine::LoadResult OnDataLoad(engine::DataLoadRequest& request) override { return app::LoadDocument(request); }

    std::optional<engine::Value> OnScriptCall(std::string_view name, std::span<const engine::Value> args) override {
        if (name != "RunCallbacks" || args.size() != 1 || !args[0].AsInt()) return app::NativeFunctions().Call(name, args);
        const int count = *args[0].AsInt();
        std::thread([this, count] {
            const ULONGLONG start = GetTickCount64();
            int delivered = 0;
            for (int i = 0; i < count; ++i) delivered += window->CallFunction("Tick", {engine::Value(i)}) ? 1 : 0;
            const int elapsed = static_cast<int>(GetTickCount64() - start);
            window->CallFunction("BenchDone", {engine::Value(delivered), engine::Value(elapsed)});
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
