#include "engine/tray_icon.h"

#include <shellapi.h>

#include "engine/message_window.h"

namespace engine {

namespace {

constexpr UINT kIconId = 1;

NOTIFYICONDATAW IconData(HWND window) {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = window;
    data.uID = kIconId;
    return data;
}

}  // namespace

TrayIcon::TrayIcon(std::wstring tip, HICON icon, Actions actions)
    : tip_(std::move(tip)), icon_(icon ? icon : LoadIconW(nullptr, IDI_APPLICATION)), actions_(std::move(actions)) {
    // A hidden top-level window: it can take the foreground for the menu and
    // hears the shell announce a restarted taskbar.
    window_ = CreateMessageWindow(kWindowClass, WindowProc, nullptr, this);
    if (!window_) return;
    taskbarCreated_ = RegisterWindowMessageW(L"TaskbarCreated");
    shown_ = Add();
}

TrayIcon::~TrayIcon() {
    if (!window_) return;
    NOTIFYICONDATAW data = IconData(window_);
    Shell_NotifyIconW(NIM_DELETE, &data);
    DestroyWindow(window_);
}

bool TrayIcon::Add() {
    NOTIFYICONDATAW data = IconData(window_);
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = kNotifyMessage;
    data.hIcon = icon_;
    lstrcpynW(data.szTip, tip_.c_str(), ARRAYSIZE(data.szTip));
    return Shell_NotifyIconW(NIM_ADD, &data) != FALSE;
}

void TrayIcon::SetIcon(HICON icon) {
    if (!icon || !window_) return;
    icon_ = icon;
    NOTIFYICONDATAW data = IconData(window_);
    data.uFlags = NIF_ICON;
    data.hIcon = icon_;
    Shell_NotifyIconW(NIM_MODIFY, &data);
}

int TrayIcon::CommandForClick(UINT mouseMessage) {
    switch (mouseMessage) {
        case WM_LBUTTONUP:
        case WM_LBUTTONDBLCLK: return kShowCommand;
        case WM_RBUTTONUP:
        case WM_CONTEXTMENU: return 0;
        default: return -1;
    }
}

void TrayIcon::Run(UINT command) {
    if (command == kShowCommand && actions_.show) actions_.show();
    if (command == kExitCommand && actions_.exit) actions_.exit();
}

void TrayIcon::ShowMenu() {
    HMENU menu = CreatePopupMenu();
    if (!menu) return;
    AppendMenuW(menu, MF_STRING, kShowCommand, L"Show Window");
    AppendMenuW(menu, MF_STRING, kExitCommand, L"Exit");
    POINT cursor{};
    GetCursorPos(&cursor);
    // Without the foreground the menu would not close when the user clicks elsewhere.
    SetForegroundWindow(window_);
    const UINT command = static_cast<UINT>(
        TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, window_, nullptr));
    PostMessageW(window_, WM_NULL, 0, 0);
    DestroyMenu(menu);
    Run(command);
}

LRESULT CALLBACK TrayIcon::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = OwnerOf<TrayIcon>(window);
    if (self && message == kNotifyMessage) {
        const int command = CommandForClick(static_cast<UINT>(lParam));
        if (command == 0) self->ShowMenu();
        if (command > 0) self->Run(static_cast<UINT>(command));
        return 0;
    }
    if (self && message == WM_COMMAND) {
        self->Run(LOWORD(wParam));
        return 0;
    }
    if (self && self->taskbarCreated_ && message == self->taskbarCreated_) {
        self->shown_ = self->Add();
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace engine
