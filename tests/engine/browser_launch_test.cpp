#include "engine/browser_launch.h"

#include <gtest/gtest.h>

#include "engine/request_guard.h"

namespace {

using engine::ShellCommand;

TEST(BrowserLaunch, PicksAnAppWindowOfTheFirstBrowserElseTheShell) {
    const std::string url = "http://127.0.0.1:5000/app/index.html?k=0123";
    const std::wstring wideUrl = L"http://127.0.0.1:5000/app/index.html?k=0123";
    const std::wstring edge = L"C:\\Program Files (x86)\\Microsoft\\Edge\\Application\\msedge.exe";
    const std::wstring chrome = L"C:\\Program Files\\Google\\Chrome\\Application\\chrome.exe";
    const std::wstring profile = L"C:\\Users\\A User\\AppData\\Local\\Quillmark\\Quillmark Orvane\\Browser";
    const std::vector<std::wstring> both{edge, chrome};
    const std::vector<std::wstring> none;
    const ShellCommand shell{ShellCommand::Kind::Document, wideUrl, {}};

    EXPECT_EQ(engine::PlanBrowserLaunch(url, true, both, profile), shell);
    EXPECT_EQ(engine::PlanBrowserLaunch(url, false, none, profile), shell);
    EXPECT_EQ(engine::PlanBrowserLaunch(url, false, both, profile),
              (ShellCommand{ShellCommand::Kind::Program, edge,
                            L"--app=\"" + wideUrl + L"\" \"--user-data-dir=" + profile +
                                L"\" --window-size=842,582 --no-first-run --no-default-browser-check"}));
    EXPECT_EQ(engine::PlanBrowserLaunch(url, false, std::vector<std::wstring>{chrome}, profile).file, chrome);
}

TEST(PageKey, Is128RandomBitsInHex) {
    const std::string first = engine::NewPageKey();
    const std::string second = engine::NewPageKey();
    EXPECT_EQ(first.size(), 32u);
    EXPECT_EQ(first.find_first_not_of("0123456789abcdef"), std::string::npos);
    EXPECT_NE(first, second);
}

}  // namespace
