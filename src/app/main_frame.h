#pragma once
// MainFrame: the program's one window. It owns the engine window that shows
// the main document, supplies that window's documents (document_source.h)
// and answers the script calls on its view through the table of native
// functions. The busy word and the last worker's handle live with the worker
// machinery (worker_tasks.h), the version texts with the update check.
#include <memory>

#include "engine/browser_window.h"
#include "engine/window_host.h"

namespace app {

class MainFrame final : public engine::WindowHost {
public:
    // Creates the window and starts the update check.
    explicit MainFrame(const engine::WindowOptions& options);
    MainFrame(const MainFrame&) = delete;
    MainFrame& operator=(const MainFrame&) = delete;

    // Empty when the window could not be created.
    engine::BrowserWindow* Window() const { return window_.get(); }

    engine::LoadResult OnDataLoad(engine::DataLoadRequest& request) override;
    std::optional<engine::Value> OnScriptCall(std::string_view name, std::span<const engine::Value> args) override;
    // Scans and cleans stop at their next file or entry.
    void OnClosing() override;
    void Log(std::string_view line) override;

private:
    std::unique_ptr<engine::BrowserWindow> window_;
};

}  // namespace app
