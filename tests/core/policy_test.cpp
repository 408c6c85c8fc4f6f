// The organisation's policy as values: which words turn categories off,
// which keep texts it sets and how, and what it ignores and reports; and the
// reader against the machine's hive (HKEY_CURRENT_USER's copy counts for
// nothing).
#include "core/policy.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <map>

#include "core/keep_list.h"
#include "support/scoped_state.h"

namespace {

using common::RegistryValue;

const std::vector<std::string> kIds = {"junk.temp", "junk.recycle_bin", "registry.software", "disk"};

RegistryValue Bytes(DWORD type, std::wstring_view text) {
    RegistryValue value;
    value.type = type;
    const auto* bytes = reinterpret_cast<const BYTE*>(text.data());
    value.data.assign(bytes, bytes + text.size() * sizeof(wchar_t));
    return value;
}
RegistryValue MultiSz(std::wstring_view strings) { return Bytes(REG_MULTI_SZ, strings); }
RegistryValue Dword(DWORD number) {
    RegistryValue value{REG_DWORD, {}};
    value.data.assign(reinterpret_cast<const BYTE*>(&number), reinterpret_cast<const BYTE*>(&number) + 4);
    return value;
}

std::optional<std::wstring> Machine(const std::wstring& name) {
    static const std::map<std::wstring, std::wstring> variables = {{L"ProgramData", L"C:\\ProgramData"},
                                                                   {L"SystemRoot", L"C:\\windows"}};
    const auto found = variables.find(name);
    return found == variables.end() ? std::nullopt : std::optional(found->second);
}

struct DisabledCase {
    const char* what;
    RegistryValue value;
    std::vector<std::string> disabled;
    std::size_t ignored;
};

TEST(Policy, DisabledCategoriesTakeIdsAndGroupsInAnyCaseAndReportTheRest) {
    using namespace std::string_view_literals;
    const DisabledCase cases[] = {
        {"one id", MultiSz(L"junk.temp\0\0"sv), {"junk.temp"}, 0},
        {"case and groups", MultiSz(L"JUNK.Temp\0Registry\0DISK\0\0"sv), {"junk.temp", "registry", "disk"}, 0},
        {"starred group", MultiSz(L"junk.*\0\0"sv), {"junk"}, 0},
        {"empty strings inside", MultiSz(L"\0junk.temp\0\0registry\0\0"sv), {"junk.temp", "registry"}, 0},
        {"no terminator", MultiSz(L"disk"sv), {"disk"}, 0},
        {"twice", MultiSz(L"disk\0DISK\0\0"sv), {"disk"}, 0},
        {"unknown ignored", MultiSz(L"junk.nothing\0startup\0junk.temp\0\0"sv), {"junk.temp"}, 2},
        {"a prefix is no group", MultiSz(L"jun\0junk.\0\0"sv), {}, 2},
        {"wrong type", Bytes(REG_SZ, L"junk.temp"sv), {}, 1},
    };
    for (const DisabledCase& c : cases) {
        core::PolicyValues values;
        values.disabledCategories = c.value;
        const core::Policy policy = core::ParsePolicy(values, kIds, Machine);
        EXPECT_EQ(policy.disabled, c.disabled) << c.what;
        EXPECT_EQ(policy.ignored.size(), c.ignored) << c.what;
    }
}

TEST(Policy, DisablesAnIdByItselfOrByItsGroup) {
    core::Policy policy;
    policy.disabled = {"registry", "junk.temp", "disk"};
    EXPECT_TRUE(core::PolicyDisables(policy, "junk.temp"));
    EXPECT_FALSE(core::PolicyDisables(policy, "junk.recycle_bin"));
    EXPECT_TRUE(core::PolicyDisables(policy, "registry.software"));
    EXPECT_TRUE(core::PolicyDisables(policy, "disk"));
    EXPECT_FALSE(core::PolicyDisables(core::Policy{}, "junk.temp"));
}

struct KeepCase {
    const char* what;
    RegistryValue value;
    std::vector<std::wstring> keep;
    std::size_t ignored;
};

TEST(Policy, KeepValuesAreTextsExpandedWithTheMachinesVariables) {
    using namespace std::string_view_literals;
    const KeepCase cases[] = {
        {"plain", Bytes(REG_SZ, L"C:\\Data\\keep.txt\0"sv), {L"C:\\Data\\keep.txt"}, 0},
        {"registry key", Bytes(REG_SZ, L"HKLM\\Software\\Kept"sv), {L"HKLM\\Software\\Kept"}, 0},
        {"expanded", Bytes(REG_EXPAND_SZ, L"%ProgramData%\\App\\%SystemRoot%\0"sv), {L"C:\\ProgramData\\App\\C:\\windows"}, 0},
        {"REG_SZ not expanded", Bytes(REG_SZ, L"%ProgramData%\\x\0"sv), {L"%ProgramData%\\x"}, 0},
        {"undefined variable (a user's)", Bytes(REG_EXPAND_SZ, L"%USERPROFILE%\\x\0"sv), {}, 1},
        {"empty", Bytes(REG_SZ, L"\0"sv), {}, 0},
        {"wrong type", Dword(1), {}, 1},
        {"multi-sz", MultiSz(L"C:\\a\0\0"sv), {}, 1},
    };
    for (const KeepCase& c : cases) {
        core::PolicyValues values;
        values.keepList = {{L"any name", c.value}};
        const core::Policy policy = core::ParsePolicy(values, kIds, Machine);
        EXPECT_EQ(policy.keep, c.keep) << c.what;
        EXPECT_EQ(policy.ignored.size(), c.ignored) << c.what;
    }
}

TEST(Policy, UpdateNoticeIsOffOnlyForDwordZero) {
    const struct {
        std::optional<RegistryValue> value;
        bool notice;
        std::size_t ignored;
    } cases[] = {{std::nullopt, true, 0}, {Dword(0), false, 0}, {Dword(1), true, 0},
                 {Bytes(REG_SZ, L"0"), true, 1}, {RegistryValue{REG_DWORD, {0, 0}}, true, 1}};
    for (const auto& c : cases) {
        core::PolicyValues values;
        values.updateNotice = c.value;
        const core::Policy policy = core::ParsePolicy(values, kIds, Machine);
        EXPECT_EQ(policy.updateNotice, c.notice);
        EXPECT_EQ(policy.ignored.size(), c.ignored);
    }
}

TEST(Policy, TheReaderTakesTheMachinesKeyAndIgnoresTheUsers) {
    EXPECT_EQ(core::ReadPolicy(kIds).state, core::PolicyState::Absent);
    {
        const testsupport::ScopedPolicy user(HKEY_CURRENT_USER);
        user.Disable({L"junk.temp"});
        EXPECT_EQ(core::ReadPolicy(kIds).state, core::PolicyState::Absent);
    }
    const testsupport::ScopedPolicy machine;
    machine.Disable({L"Registry", L"", L"nothing"});
    machine.UpdateNotice(0);
    machine.Keep(L"1", L"%SystemRoot%\\qo-policy-kept", REG_EXPAND_SZ);
    const core::PolicyRead read = core::ReadPolicy(kIds);
    ASSERT_EQ(read.state, core::PolicyState::Read);
    EXPECT_EQ(read.policy.disabled, std::vector<std::string>{"registry"});
    EXPECT_EQ(read.policy.ignored.size(), 1u);
    EXPECT_FALSE(read.policy.updateNotice);
    wchar_t windows[MAX_PATH];
    GetEnvironmentVariableW(L"SystemRoot", windows, MAX_PATH);
    EXPECT_EQ(read.policy.keep, std::vector<std::wstring>{std::wstring(windows) + L"\\qo-policy-kept"});
}

// A key that is not there is no policy; one that is there but cannot be read
// (any other status, wherever the read failed) fails closed with the reason.
TEST(Policy, AKeyThatCannotBeReadIsUnreadableWithTheReason) {
    using namespace std::string_view_literals;
    core::PolicyValues disabling;
    disabling.disabledCategories = MultiSz(L"junk.temp\0\0"sv);
    const struct {
        core::PolicyKeyRead key;
        core::PolicyState state;
        std::string error;
        std::vector<std::string> disabled;
    } cases[] = {
        {{ERROR_FILE_NOT_FOUND, core::kPolicyKeyItself, disabling}, core::PolicyState::Absent, "", {}},
        {{ERROR_SUCCESS, "", disabling}, core::PolicyState::Read, "", {"junk.temp"}},
        {{ERROR_ACCESS_DENIED, "its key", disabling}, core::PolicyState::Unreadable,
         "the organisation's policy (its key) cannot be read: error 5", {}},
        {{ERROR_MORE_DATA, "KeepList", {}}, core::PolicyState::Unreadable,
         "the organisation's policy (KeepList) cannot be read: error 234", {}},
        // A keep value listed, then gone before it was read: not an absent key.
        {{ERROR_FILE_NOT_FOUND, "KeepList", {}}, core::PolicyState::Unreadable,
         "the organisation's policy (KeepList) cannot be read: error 2", {}},
        {{ERROR_INVALID_DATA, "DisabledCategories", {}}, core::PolicyState::Unreadable,
         "the organisation's policy (DisabledCategories) cannot be read: error 13", {}},
    };
    for (const auto& c : cases) {
        const core::PolicyRead read = core::PolicyOfKey(c.key, kIds, Machine);
        EXPECT_EQ(read.state, c.state) << c.key.status;
        EXPECT_EQ(read.error, c.error) << c.key.status;
        EXPECT_EQ(read.policy.disabled, c.disabled) << c.key.status;
    }
}

// The reader the tests swap in is the one every caller reads through, the
// keep list included (it fails closed), until the registry's comes back.
TEST(Policy, TheSwappedReaderIsReadUntilTheRegistrysComesBack) {
    const testsupport::ScopedPolicy machine;
    machine.Disable({L"junk.temp"});
    {
        const testsupport::UnreadablePolicy unreadable;
        const core::PolicyRead read = core::ReadPolicy(kIds);
        EXPECT_EQ(read.state, core::PolicyState::Unreadable);
        EXPECT_EQ(read.error, "the organisation's policy (its key) cannot be read: error 5");
        EXPECT_FALSE(core::PolicyKeepList());
        EXPECT_FALSE(core::RefreshKeptItems());
    }
    const core::PolicyRead read = core::ReadPolicy(kIds);
    ASSERT_EQ(read.state, core::PolicyState::Read);
    EXPECT_EQ(read.policy.disabled, std::vector<std::string>{"junk.temp"});
}

}  // namespace
