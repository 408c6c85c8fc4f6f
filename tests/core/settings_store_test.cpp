#include "core/settings_store.h"

#include <gtest/gtest.h>

#include "support/bridge_call.h"

#include <vector>

#include "core/script_bridge.h"
#include "core/settings_store_values.h"

namespace {

using engine::Value;

bool KeyExists(const wchar_t* path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

struct Stored {
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    bool operator==(const Stored&) const = default;
};

// Wine's registry readers report a text value with a terminator whether or not
// it was stored with one, so texts are compared without it.
std::optional<Stored> Read(const wchar_t* key, const wchar_t* name) {
    Stored stored;
    DWORD size = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_ANY | RRF_NOEXPAND, &stored.type, nullptr, &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    stored.data.resize(size);
    RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_ANY | RRF_NOEXPAND, &stored.type, stored.data.data(), &size);
    stored.data.resize(size);
    const bool text = stored.type == REG_SZ || stored.type == REG_EXPAND_SZ;
    while (text && stored.data.size() >= 2 && stored.data.back() == 0 && stored.data[stored.data.size() - 2] == 0)
        stored.data.resize(stored.data.size() - 2);
    return stored;
}

Stored Text(DWORD type, std::wstring_view text) {
    const auto* bytes = reinterpret_cast<const BYTE*>(text.data());
    return {type, std::vector<BYTE>(bytes, bytes + text.size() * sizeof(wchar_t))};
}

void Write(const wchar_t* key, const wchar_t* name, const Stored& value) {
    RegSetKeyValueW(HKEY_CURRENT_USER, key, name, value.type, value.data.data(), static_cast<DWORD>(value.data.size()));
}

using testsupport::CallNative;

class SettingsStore : public testing::Test {
protected:
    void SetUp() override { RegDeleteTreeW(HKEY_CURRENT_USER, core::kProductKey); }
    void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, core::kProductKey); }
};

TEST_F(SettingsStore, AFreshMachineGetsTheRootKeyAndEmptyOneClickTexts) {
    EXPECT_EQ(core::ReadHealthScore(), 0u);
    EXPECT_TRUE(KeyExists(core::kProductKey));
    EXPECT_FALSE(KeyExists(core::kOneClickKey));
    EXPECT_EQ(core::ReadWaitCleanSize(), L"");
    EXPECT_EQ(Read(core::kOneClickKey, L"WaitCleanSize"), Text(REG_SZ, L""));
    EXPECT_EQ(core::ReadRegistryIssueCount(), 0u);
    core::EnsureOneClickValue(L"LastOneClickTime");
    EXPECT_EQ(Read(core::kOneClickKey, L"LastOneClickTime"), Text(REG_SZ, L""));
    // An existing value is left as it is.
    Write(core::kOneClickKey, L"LastOneClickTime", Text(REG_SZ, L"2024-01-01 10:00:00"));
    core::EnsureOneClickValue(L"LastOneClickTime");
    EXPECT_EQ(Read(core::kOneClickKey, L"LastOneClickTime"), Text(REG_SZ, L"2024-01-01 10:00:00"));
}

TEST_F(SettingsStore, PendingJunkSizeIsReadWithOrWithoutTerminator) {
    core::WriteWaitCleanSize(123456789012);
    EXPECT_EQ(Read(core::kOneClickKey, L"WaitCleanSize"), Text(REG_SZ, L"123456789012"));
    EXPECT_EQ(core::ReadWaitCleanSize(), L"123456789012");
    Write(core::kOneClickKey, L"WaitCleanSize", Text(REG_SZ, std::wstring_view(L"42\0", 3)));
    EXPECT_EQ(core::ReadWaitCleanSize(), L"42");
}

TEST_F(SettingsStore, ScoreAndIssueCountAreDwords) {
    core::WriteHealthScore(80);  // the product key does not exist yet: nothing is written
    EXPECT_FALSE(KeyExists(core::kProductKey));
    EXPECT_EQ(core::ReadHealthScore(), 0u);
    core::WriteHealthScore(80);
    EXPECT_EQ(core::ReadHealthScore(), 80u);
    core::WriteRegistryIssueCount(3);
    EXPECT_EQ(Read(core::kOneClickKey, L"RegNoDelete")->type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(core::ReadRegistryIssueCount(), 3u);
}

TEST_F(SettingsStore, LanguageIsTakenOnlyFromAProperlyTerminatedTextNamingADocumentLanguage) {
    EXPECT_EQ(CallNative("GetShowLanguage"), Value(L"en"));
    const DWORD number = 7;
    struct Case {
        Stored stored;
        const wchar_t* language;
    };
    const Case cases[] = {
        {Text(REG_SZ, std::wstring_view(L"zh\0", 3)), L"zh"},
        {Text(REG_EXPAND_SZ, std::wstring_view(L"zh\0", 3)), L"zh"},
        {Text(REG_SZ, std::wstring_view(L"en\0", 3)), L"en"},
        {{REG_DWORD, {reinterpret_cast<const BYTE*>(&number), reinterpret_cast<const BYTE*>(&number) + 4}}, L"en"},
        {{REG_SZ, {}}, L"en"},
        {Text(REG_SZ, std::wstring(300, L'x') + L'\0'), L"en"},  // longer than the 520-byte buffer
        // Languages the documents have no table for are shown in English.
        {Text(REG_SZ, std::wstring_view(L"de\0", 3)), L"en"},
        {Text(REG_SZ, std::wstring_view(L"ZH\0", 3)), L"en"},
        {Text(REG_SZ, std::wstring_view(L"zh-CN\0", 6)), L"en"},
    };
    for (const Case& c : cases) {
        Write(core::kProductKey, L"lang", c.stored);
        EXPECT_EQ(CallNative("GetShowLanguage"), Value(c.language)) << c.language;
    }
    EXPECT_EQ(CallNative("SetShowLanguage", {L"zh"}), Value(1));
    EXPECT_EQ(Read(core::kProductKey, L"lang"), Text(REG_SZ, L"zh"));
    EXPECT_EQ(CallNative("GetShowLanguage"), Value(L"zh"));
}

TEST_F(SettingsStore, RightTopInfoInitialisesOnlyTheKeysThatExist) {
    EXPECT_EQ(CallNative("getRightTopInfo"), Value::Array({L"0 B", 0}));
    EXPECT_FALSE(KeyExists(core::kJunkCleanerKey));
    EXPECT_FALSE(KeyExists(core::kEvidenceCleanerKey));
    EXPECT_FALSE(KeyExists(core::kOneClickKey));

    HKEY created = nullptr;
    ASSERT_EQ(RegCreateKeyW(HKEY_CURRENT_USER, core::kJunkCleanerKey, &created), ERROR_SUCCESS);
    RegCloseKey(created);
    EXPECT_EQ(CallNative("getRightTopInfo"), Value::Array({L"0 B", 0}));
    EXPECT_EQ(Read(core::kJunkCleanerKey, L"TotalCleanSize"), (Stored{REG_DWORD, std::vector<BYTE>(8, 0)}));
    EXPECT_FALSE(KeyExists(core::kEvidenceCleanerKey));

    const std::uint64_t junk = 2048, evidence = 1024;
    const auto bytes = [](const std::uint64_t& v) {
        return std::vector<BYTE>(reinterpret_cast<const BYTE*>(&v), reinterpret_cast<const BYTE*>(&v) + 8);
    };
    Write(core::kJunkCleanerKey, L"TotalCleanSize", {REG_QWORD, bytes(junk)});
    Write(core::kEvidenceCleanerKey, L"TotalCleanSize", {REG_DWORD, bytes(evidence)});
    const DWORD times = 4;
    Write(core::kOneClickKey, L"CleanTimes", {REG_DWORD, {reinterpret_cast<const BYTE*>(&times), reinterpret_cast<const BYTE*>(&times) + 4}});
    EXPECT_EQ(CallNative("getRightTopInfo"), Value::Array({L"3 KB", 4}));
}

// Wine's registry reader adds a missing terminator, so the unterminated and
// odd-sized texts that Windows hands over are shown to the rule directly.
TEST(SettingsValues, RegistryTextMustBeProperlyTerminated) {
    struct Case {
        DWORD type;
        std::vector<BYTE> data;
        std::optional<std::wstring> text;
    };
    const Case cases[] = {
        {REG_SZ, {'z', 0, 'h', 0, 0, 0}, L"zh"},
        {REG_EXPAND_SZ, {'%', 0, 0, 0}, L"%"},
        {REG_SZ, {}, L""},
        {REG_SZ, {0, 0}, L""},
        // Up to the first terminator: a second one, or what follows it, is no part of the text.
        {REG_SZ, {'D', 0, ':', 0, 0, 0, 0, 0}, L"D:"},
        {REG_SZ, {'D', 0, 0, 0, 'x', 0, 0, 0}, L"D"},
        {REG_SZ, {'z', 0, 'h', 0}, std::nullopt},
        {REG_SZ, {'z', 0, 'h', 0, 0}, std::nullopt},
        {REG_MULTI_SZ, {'z', 0, 0, 0, 0, 0}, std::nullopt},
        {REG_DWORD, {0, 0, 0, 0}, std::nullopt},
        {REG_BINARY, {0, 0}, std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(core::TerminatedRegistryText(c.type, c.data), c.text) << c.type;
}

TEST(SettingsValues, PendingTotalsGoDownOnlyWhenTheyCoverWhatWasCleaned) {
    struct Case {
        const wchar_t* stored;
        std::uint64_t cleaned;
        std::optional<std::int64_t> left;
    };
    const Case cases[] = {{L"5000", 1024, 3976}, {L"1024", 1024, 0}, {L"100", 101, std::nullopt},
                          {L"", 0, 0},           {L"", 1, std::nullopt}, {L"-5", 1, std::nullopt},
                          {L"12abc", 2, 10},     {L"9223372036854775807", 7, 9223372036854775800}};
    for (const Case& c : cases) EXPECT_EQ(core::LoweredWaitCleanSize(c.stored, c.cleaned), c.left) << c.stored;
    EXPECT_EQ(core::LoweredIssueCount(3, 5), std::nullopt);
    EXPECT_EQ(core::LoweredIssueCount(5, 3), 2u);
}

}  // namespace
