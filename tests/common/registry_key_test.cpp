#include <gtest/gtest.h>

#include <string>

#include "program_exports.h"

namespace {

// A per-user key of this test process, removed afterwards.
class CheckRegistryKeyExport : public testsupport::ProgramExportsTest {
protected:
    const std::wstring parent = L"Software\\Quillmark\\OrvaneTest-" + std::to_wstring(GetCurrentProcessId());
    const std::wstring key = parent + L"\\Nested\\Key";

    void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, parent.c_str()); }

    // The REG_SZ value's text, or nothing when it is missing or of another type.
    std::optional<std::wstring> Value(const wchar_t* name) const {
        wchar_t data[64];
        DWORD type = 0, bytes = sizeof(data);
        if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name, RRF_RT_ANY, &type, data, &bytes) != ERROR_SUCCESS ||
            type != REG_SZ || bytes % sizeof(wchar_t) != 0 || bytes == 0 || data[bytes / sizeof(wchar_t) - 1] != 0)
            return std::nullopt;
        return std::wstring(data);
    }
};

TEST_F(CheckRegistryKeyExport, CreatesTheKeyAndWritesTheValue) {
    EXPECT_EQ(exports().checkRegistryKey(key.c_str(), L"Language", L"English"), ERROR_SUCCESS);
    EXPECT_EQ(Value(L"Language"), L"English");

    // An existing key is opened; the value is rewritten, a null text writes nothing.
    EXPECT_EQ(exports().checkRegistryKey(key.c_str(), L"Language", L"Chinese"), ERROR_SUCCESS);
    EXPECT_EQ(exports().checkRegistryKey(key.c_str(), L"Other", nullptr), ERROR_SUCCESS);
    EXPECT_EQ(Value(L"Language"), L"Chinese");
    EXPECT_EQ(Value(L"Other"), std::nullopt);

    // A null name is the key's default value.
    EXPECT_EQ(exports().checkRegistryKey(key.c_str(), nullptr, L""), ERROR_SUCCESS);
    EXPECT_EQ(Value(nullptr), L"");
}

TEST_F(CheckRegistryKeyExport, RefusesToNameTheUserRootItself) {
    EXPECT_EQ(exports().checkRegistryKey(nullptr, L"QoTestValue", L"x"), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(exports().checkRegistryKey(L"", L"QoTestValue", L"x"), ERROR_INVALID_PARAMETER);
    DWORD type = 0;
    EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, nullptr, L"QoTestValue", RRF_RT_ANY, &type, nullptr, nullptr),
              ERROR_FILE_NOT_FOUND);
}

}  // namespace
