#pragma once
// A window whose document is shown by a browser: the page is served over
// loopback HTTP (page_server.h), its script calls run on the UI thread, and
// workers reach its global functions through CallFunction. Closing the window
// (the main document's view.close(), the tray's Exit, or the page staying
// gone for a while, as when its browser window is closed) ends the message
// loop when it is the application's main window.
#include <windows.h>

#include <chrono>
#include <memory>
#include <string>
#include <string_view>

#include "engine/callback_queue.h"
#include "engine/page_server.h"
#include "engine/script_host.h"
#include "engine/ui_thread.h"
#include "engine/window_host.h"

namespace engine {

class TrayIcon;

struct WindowOptions {
    // No browser: the page's address goes to standard output (again at the
    // tray's "Show Window").
    bool headless = false;
    int port = 0;  // 0: a free port
    bool mainWindow = true;
    // How long the page may stay gone before the window closes.
    std::chrono::milliseconds pageGoneGrace{5000};
    // What a client of the page server may send and hold.
    RequestLimits requestLimits;
};

class BrowserWindow final : public ScriptHost, private PageRequests {
public:
    // On the UI thread. Empty when the window cannot be created (no random
    // key, or the port cannot be had).
    static std::unique_ptr<BrowserWindow> Create(WindowHost& host, const WindowOptions& options);
    ~BrowserWindow() override;

    // The document to show, an engine URL such as "this://app/index.html".
    void LoadFile(std::wstring_view url);
    // A new address of it, whose token admits one load (request_guard.h);
    // each address handed out gets one. From any thread once LoadFile ran.
    std::string NewPageAddress() const { return server_.NewAddressOf(url_); }
    // The port the page is served on.
    int PagePort() const { return server_.Port(); }
    // Opens the page, with the tray icon: a browser window, or, headless, the
    // address on standard output. A browser that cannot be started as the
    // program's own account is not started: the program logs why and prints
    // the address, as headless.
    void Show();
    // The small icon, shown in the notification area. The window owns it.
    void SetIcon(HICON icon);
    // On the UI thread.
    void Close();
    // After the message loop: ends the page server once the requests under
    // way are answered.
    void StopServer() { server_.Stop(); }
    bool IsOpen() const { return ui_.IsOpen(); }

    bool CallFunction(std::string_view name, const std::vector<Value>& args) override;

private:
    BrowserWindow(WindowHost& host, const WindowOptions& options);

    std::optional<std::vector<std::uint8_t>> LoadDocument(const std::wstring& url) override;
    std::optional<std::vector<std::uint8_t>> LoadFileIcon(const std::wstring& file) override;
    Answer CallNative(std::string_view name, std::vector<Value> args) override;
    Answer CallService(std::string_view name, std::vector<Value> args) override;
    void CloseView() override;
    bool SetBrowserWindowState(const std::wstring& state);

    void PagePresence(bool present);
    void OpenOrFocusPage();

    WindowHost& host_;
    const WindowOptions options_;
    UiThread ui_;
    CallbackQueue callbacks_;
    PageServer server_;
    std::unique_ptr<TrayIcon> tray_;
    HICON icon_ = nullptr;
    std::wstring url_;
    DWORD browserProcess_ = 0;
    // The browser window while the page has hidden it (minimize to the
    // notification area); shown again by the tray or the next Show.
    HWND hiddenWindow_ = nullptr;
    // The page closed itself to the notification area (a browser window the
    // program cannot hide): its going away does not close the window, and
    // its coming back ends that.
    bool closedToTray_ = false;
};

}  // namespace engine
