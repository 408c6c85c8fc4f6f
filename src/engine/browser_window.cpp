#include "engine/browser_window.h"

#include "engine/browser_launch.h"
#include "engine/request_guard.h"
#include "engine/standard_output.h"
#include "engine/tray_icon.h"
#include "engine/window_services.h"

namespace engine {

namespace {

constexpr UINT_PTR kPageGoneTimer = 1;

std::optional<std::vector<std::uint8_t>> Load(WindowHost& host, const std::wstring& url) {
    DataLoadRequest request(url);
    if (host.OnDataLoad(request) != LoadResult::Loaded) return std::nullopt;
    return std::move(request.Data());
}

}  // namespace

BrowserWindow::BrowserWindow(WindowHost& host, const WindowOptions& options)
    : host_(host), options_(options), server_(*this, callbacks_, options.requestLimits) {}

std::unique_ptr<BrowserWindow> BrowserWindow::Create(WindowHost& host, const WindowOptions& options) {
    std::unique_ptr<BrowserWindow> window(new BrowserWindow(host, options));
    if (!window->ui_.IsOpen()) return nullptr;
    BrowserWindow* self = window.get();
    window->callbacks_.OnPresenceChange([self](bool present) { self->ui_.Post([self, present] { self->PagePresence(present); }); });
    if (!window->server_.Start(options.port, NewPageKey())) return nullptr;
    return window;
}

BrowserWindow::~BrowserWindow() {
    Close();
    // The server's threads may be waiting for the UI thread: Close let them go.
    server_.Stop();
    if (icon_) DestroyIcon(icon_);
}

void BrowserWindow::LoadFile(std::wstring_view url) { url_ = url; }

void BrowserWindow::Show() {
    if (!tray_)
        // Exit closes the window once the tray's own message has been handled:
        // closing removes the tray.
        tray_ = std::make_unique<TrayIcon>(
            L"Quillmark Orvane", icon_,
            TrayIcon::Actions{[this] { OpenOrFocusPage(); }, [this] { ui_.Post([this] { Close(); }); }});
    OpenOrFocusPage();
}

void BrowserWindow::OpenOrFocusPage() {
    // Headless, whoever reads the address opens the page.
    if (options_.headless) {
        WriteStandardOutputLine(NewPageAddress());
        return;
    }
    if (hiddenWindow_ && IsWindow(hiddenWindow_)) {
        ShowWindow(hiddenWindow_, SW_SHOW);
        SetForegroundWindow(hiddenWindow_);
        hiddenWindow_ = nullptr;
        return;
    }
    hiddenWindow_ = nullptr;
    if (FocusProcessWindow(browserProcess_)) return;
    const std::vector<std::wstring> browsers = FindAppBrowsers();
    const std::string address = NewPageAddress();
    const OwnAccountStart start =
        StartAsOwnAccount(PlanBrowserLaunch(address, RunningUnderWine(), browsers, BrowserProfileFolder()));
    if (start.outcome == OwnAccountStart::Outcome::Started && start.processId) browserProcess_ = start.processId;
    if (start.outcome != OwnAccountStart::Outcome::NoOwnAccountRoute) return;
    // A browser of the desktop's account would hold the page's session for
    // that account. The address goes only to whoever started the program.
    constexpr std::string_view kNoOwnBrowser =
        "No browser started: the desktop belongs to another account, and none could be started with this "
        "program's own unelevated token. Open the address printed on standard output.";
    host_.Log(kNoOwnBrowser);
    WriteStandardOutputLine(kNoOwnBrowser);
    WriteStandardOutputLine(address);
}

void BrowserWindow::SetIcon(HICON icon) {
    if (!icon) return;
    if (tray_) tray_->SetIcon(icon);
    if (icon_) DestroyIcon(icon_);
    icon_ = icon;
}

void BrowserWindow::Close() {
    if (!ui_.IsOpen()) return;
    ui_.Close();
    host_.OnClosing();
    callbacks_.Shutdown();
    tray_.reset();
    if (options_.mainWindow) PostQuitMessage(0);
}

void BrowserWindow::PagePresence(bool present) {
    if (present) {
        closedToTray_ = false;
        return ui_.StopTimer(kPageGoneTimer);
    }
    // A page closed to the notification area is opened again from there.
    if (closedToTray_) return;
    ui_.StartTimer(kPageGoneTimer, static_cast<UINT>(options_.pageGoneGrace.count()), [this] { Close(); });
}

bool BrowserWindow::CallFunction(std::string_view name, const std::vector<Value>& args) {
    // The page is waiting for this very thread to answer its own call.
    if (ui_.IsCurrent()) return false;
    return callbacks_.Call(name, args);
}

std::optional<std::vector<std::uint8_t>> BrowserWindow::LoadDocument(const std::wstring& url) {
    std::optional<std::vector<std::uint8_t>> content;
    ui_.Run([&] { content = Load(host_, url); });
    return content;
}

std::optional<std::vector<std::uint8_t>> BrowserWindow::LoadFileIcon(const std::wstring& file) {
    return Load(host_, L"icon:" + file);
}

PageRequests::Answer BrowserWindow::CallNative(std::string_view name, std::vector<Value> args) {
    Answer answer{Answer::Status::WindowClosed, {}};
    ui_.Run([&] {
        std::optional<Value> result = host_.OnScriptCall(name, args);
        answer = result ? Answer{Answer::Status::Handled, std::move(*result)} : Answer{Answer::Status::NotHandled, {}};
    });
    return answer;
}

PageRequests::Answer BrowserWindow::CallService(std::string_view name, std::vector<Value> args) {
    const std::wstring text = args.size() == 1 && args[0].IsString() ? args[0].Text() : std::wstring();
    bool done = false;
    if (name == "windowState") {
        ui_.Run([&] { done = SetBrowserWindowState(text); });
    } else if (name == "launch") {
        done = OpenWebAddress(text);
    } else if (name == "explore") {
        done = ShowFolder(text);
    } else if (name == "selectFolder") {
        std::optional<std::wstring> url;
        ui_.Run([&] {
            if (const std::optional<std::wstring> folder = ChooseFolder()) url = FileUrlOf(*folder);
        });
        return {Answer::Status::Handled, url ? Value(*url) : Value::Null()};
    } else if (name == "scanFiles") {
        Value entries = Value::Array();
        for (FolderEntry& entry : ListFolder(text))
            entries.Append(Value::Array({std::move(entry.name), static_cast<int>(entry.attributes)}));
        return {Answer::Status::Handled, std::move(entries)};
    } else {
        return {Answer::Status::NotHandled, {}};
    }
    return {Answer::Status::Handled, Value(done)};
}

// On the UI thread. False when no browser window of ours is there (one the
// program did not start, or headless); the page then closes itself instead of
// hiding, and the program stays in the notification area.
bool BrowserWindow::SetBrowserWindowState(const std::wstring& state) {
    const std::optional<WindowState> wanted = ParseWindowState(state);
    if (!wanted) return false;
    if (*wanted == WindowState::Shown) {
        if (!hiddenWindow_ && !ProcessWindow(browserProcess_)) return false;
        OpenOrFocusPage();
        return true;
    }
    const HWND window = ProcessWindow(browserProcess_);
    if (!window) {
        if (*wanted == WindowState::Hidden && tray_) closedToTray_ = true;
        return false;
    }
    if (*wanted == WindowState::Hidden) hiddenWindow_ = window;
    ShowWindow(window, *wanted == WindowState::Hidden ? SW_HIDE : SW_MINIMIZE);
    return true;
}

void BrowserWindow::CloseView() {
    ui_.Run([this] { Close(); });
}

}  // namespace engine
