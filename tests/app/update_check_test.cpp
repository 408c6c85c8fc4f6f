#include "app/update_check.h"
#include "app/bridge_table.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include "support/recording_host.h"
#include "support/scoped_state.h"
#include "support/temp_dir.h"

namespace {

using app::CfgVersion;
using engine::Value;

TEST(CfgVersion, ChecksLengthDotsAndDigitRuns) {
    struct Case {
        const wchar_t* read;
        CfgVersion version;
    };
    const Case cases[] = {
        {L"3.0.0.4", {L"3.0.0.4", true}},
        {L"3.0.0.4  ", {L"3.0.0.4", true}},
        {L"  3.0.0.4", {L"3.0.0.4", true}},
        {L"V3.0.0.4", {L"V3.0.0.4", true}},
        {L"2024.1", {L"2024.1", true}},
        {L"1.2.3.4.5", {L"1.2.3.4.5", false}},
        {L"12345.1", {L"12345.1", false}},
        {L"1.0", {L"", false}},
        {L"1.0  ", {L"1.0", true}},  // the length counts before trimming
        {L"", {L"", false}},
        {L"1.2.3.4.5.6.7.8.9.10", {L"1.2.3.4.5.6.7.8.9.10", false}},
        {L"1.2.3.4.5.6.7.8.9.100", {L"", false}},
        {L"abcde", {L"abcde", true}},
        {L"1234.5678.9999.0000", {L"1234.5678.9999.0000", true}},
    };
    for (const Case& c : cases) EXPECT_EQ(app::CheckCfgVersion(c.read), c.version) << testing::PrintToString(std::wstring(c.read));
}

// The maker's update server, played on loopback.
class UpdateServer {
public:
    UpdateServer() {
        server_.Get("/inst/update/orvaneupdatecfg.ini", [this](const httplib::Request& request, httplib::Response& response) {
            const std::lock_guard guard(lock_);
            queries_.push_back(request.get_param_value("skq"));
            if (served_) response.set_content(*served_, "text/plain");
            else response.status = 404;
        });
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        while (!server_.is_running()) Sleep(1);
    }
    ~UpdateServer() {
        server_.stop();
        thread_.join();
    }
    std::wstring Address() const { return L"http://127.0.0.1:" + std::to_wstring(port_); }
    void Serve(std::optional<std::string> content) {
        const std::lock_guard guard(lock_);
        served_ = std::move(content);
    }
    std::vector<std::string> Queries() {
        const std::lock_guard guard(lock_);
        return queries_;
    }

private:
    httplib::Server server_;
    int port_ = 0;
    std::thread thread_;
    std::mutex lock_;
    std::optional<std::string> served_;
    std::vector<std::string> queries_;
};

TEST(UpdateCheck, ComparesTheServedVersionWithTheInstalledOne) {
    // Nothing has been read yet in this process.
    EXPECT_EQ(app::AppVersionTexts(), app::VersionTexts{});
    EXPECT_EQ(app::NativeFunctions().Call("GetAppVersion", {}), Value::Array({Value(L""), Value(L"")}));

    UpdateServer server;
    testsupport::TempDir folder;
    const std::wstring programFolder = folder.Path() + L"\\";
    struct Case {
        const char* what;
        std::optional<std::string> served;
        std::string installed;
        app::VersionTexts texts;
        std::size_t notices;
    };
    const Case cases[] = {
        {"equal", "[System]\r\nversion=3.0.0.4\r\n", "3.0.0.4", {L"3.0.0.4", L"3.0.0.4"}, 0},
        {"newer", "[System]\nversion=3.0.0.5\n", "3.0.0.4", {L"3.0.0.4", L"3.0.0.5"}, 1},
        {"trailing blanks", "[System]\nversion=3.0.0.4  \n", "3.0.0.4", {L"3.0.0.4", L"3.0.0.4"}, 0},
        {"four dots", "[System]\nversion=1.2.3.4.5\n", "3.0.0.4", {L"3.0.0.4", L"1.2.3.4.5"}, 1},
        {"five digits", "[System]\nversion=12345.1\n", "3.0.0.4", {L"3.0.0.4", L"12345.1"}, 1},
        {"leading letter", "[System]\nversion=V3.0.0.4\n", "3.0.0.4", {L"3.0.0.4", L"V3.0.0.4"}, 1},
        {"installed unreadable", "[System]\nversion=3.0.0.4\n", "3", {L"", L"3.0.0.4"}, 1},
        // No latest version known: nothing is announced.
        {"too short", "[System]\nversion=1.0\n", "3.0.0.4", {L"3.0.0.4", L""}, 0},
        {"no version served", "[Other]\nversion=3.0.0.4\n", "3.0.0.4", {L"3.0.0.4", L""}, 0},
        {"not found", std::nullopt, "3.0.0.4", {L"3.0.0.4", L""}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        server.Serve(c.served);
        testsupport::WriteFile(programFolder + L"Orvaneupdatecfg.ini", "[System]\r\nversion=" + c.installed + "\r\n");
        testsupport::PublishedHost page;
        app::RunUpdateCheck(server.Address(), programFolder);
        EXPECT_EQ(app::AppVersionTexts(), c.texts);
        EXPECT_EQ(app::NativeFunctions().Call("GetAppVersion", {}),
                  Value::Array({Value(c.texts.current), Value(c.texts.latest)}));
        EXPECT_EQ(page.Calls(), std::vector<testsupport::ScriptCall>(c.notices, {"UpgradeTips", {Value(1)}}));
        // The download is read once and removed.
        EXPECT_FALSE(testsupport::Exists(programFolder + L"updatecfg_url.ini"));
    }
    // Every request carried a fresh tick count, so no cache could answer.
    EXPECT_EQ(server.Queries().size(), std::size(cases));
    for (const std::string& query : server.Queries()) EXPECT_NE(query.find_first_of("0123456789"), std::string::npos);
}

TEST(UpdateCheck, AServerThatCannotBeReachedAnnouncesNothing) {
    testsupport::TempDir folder;
    testsupport::WriteFile(folder / L"Orvaneupdatecfg.ini", "[System]\r\nversion=3.0.0.4\r\n");
    // A stale download of an earlier run does not pass for this one.
    testsupport::WriteFile(folder / L"updatecfg_url.ini", "[System]\r\nversion=3.0.0.5\r\n");
    testsupport::PublishedHost page;
    app::RunUpdateCheck(L"http://127.0.0.1:1", folder.Path() + L"\\");
    EXPECT_TRUE(page.Calls().empty());
    EXPECT_EQ(app::AppVersionTexts(), (app::VersionTexts{L"3.0.0.4", L""}));
    EXPECT_FALSE(testsupport::Exists(folder / L"updatecfg_url.ini"));
}

TEST(UpdateCheck, ABuildWithoutAnUpdateServerChecksNothing) {
    testsupport::TempDir folder;
    testsupport::WriteFile(folder / L"Orvaneupdatecfg.ini", "[System]\r\nversion=3.0.0.4\r\n");
    // Not even the window is waited for.
    app::RunUpdateCheck(L"", folder.Path() + L"\\");
    EXPECT_EQ(app::AppVersionTexts(), (app::VersionTexts{L"3.0.0.4", L""}));
}

// The organisation turned the notice off: the server is not even asked.
TEST(UpdateCheck, APolicyWithoutUpdateNoticeChecksNothing) {
    UpdateServer server;
    server.Serve("[System]\nversion=3.0.0.5\n");
    testsupport::TempDir folder;
    testsupport::WriteFile(folder / L"Orvaneupdatecfg.ini", "[System]\r\nversion=3.0.0.4\r\n");
    const testsupport::ScopedPolicy policy;
    policy.UpdateNotice(0);
    testsupport::PublishedHost page;
    app::RunUpdateCheck(server.Address(), folder.Path() + L"\\");
    EXPECT_TRUE(page.Calls().empty());
    EXPECT_TRUE(server.Queries().empty());
    EXPECT_EQ(app::AppVersionTexts(), (app::VersionTexts{L"3.0.0.4", L""}));
}

}  // namespace
