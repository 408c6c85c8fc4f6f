#pragma once
// The program's icon in the notification area. A click on it, or "Show
// Window" in its menu, shows the UI; "Exit" in its menu closes it.
#include <windows.h>

#include <functional>
#include <string>

namespace engine {

class TrayIcon {
public:
    struct Actions {
        std::function<void()> show;
        std::function<void()> exit;
    };
    // The message the icon sends its window; lParam is the mouse message.
    static constexpr UINT kNotifyMessage = WM_APP + 2;
    // The icon's (hidden) window, which also takes the menu's commands.
    static constexpr wchar_t kWindowClass[] = L"QuillmarkOrvaneTray";
    enum Command : UINT { kShowCommand = 1, kExitCommand = 2 };

    // On the UI thread.
    TrayIcon(std::wstring tip, HICON icon, Actions actions);
    ~TrayIcon();
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    bool IsShown() const { return shown_; }
    void SetIcon(HICON icon);
    HWND Window() const { return window_; }

    // What a mouse message on the icon leads to: kShowCommand, 0 for the
    // menu (right button), or nothing (-1).
    static int CommandForClick(UINT mouseMessage);

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    bool Add();
    void Run(UINT command);
    void ShowMenu();

    std::wstring tip_;
    HICON icon_;
    Actions actions_;
    HWND window_ = nullptr;
    UINT taskbarCreated_ = 0;
    bool shown_ = false;
};

}  // namespace engine
