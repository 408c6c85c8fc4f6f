#include "engine/tray_icon.h"

#include <gtest/gtest.h>

namespace {

using engine::TrayIcon;

TEST(TrayIcon, ClickShowsTheWindowAndTheMenuExits) {
    int shown = 0;
    int exited = 0;
    TrayIcon tray(L"Quillmark Orvane", nullptr, {[&] { ++shown; }, [&] { ++exited; }});
    ASSERT_NE(tray.Window(), nullptr);
    EXPECT_TRUE(tray.IsShown());

    SendMessageW(tray.Window(), TrayIcon::kNotifyMessage, 1, WM_MOUSEMOVE);
    SendMessageW(tray.Window(), TrayIcon::kNotifyMessage, 1, WM_LBUTTONDOWN);
    EXPECT_EQ(shown, 0);
    SendMessageW(tray.Window(), TrayIcon::kNotifyMessage, 1, WM_LBUTTONUP);
    EXPECT_EQ(shown, 1);
    SendMessageW(tray.Window(), WM_COMMAND, TrayIcon::kShowCommand, 0);
    EXPECT_EQ(shown, 2);
    SendMessageW(tray.Window(), WM_COMMAND, TrayIcon::kExitCommand, 0);
    EXPECT_EQ(exited, 1);
    EXPECT_EQ(TrayIcon::CommandForClick(WM_RBUTTONUP), 0);
}

}  // namespace
