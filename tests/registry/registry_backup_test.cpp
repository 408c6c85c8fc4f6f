#include "registry/registry_backup.h"

#include <gtest/gtest.h>

namespace {

using registry::BackupKey;
using registry::BackupValue;

std::vector<BYTE> Utf16Bytes(std::wstring_view text) {
    const auto* bytes = reinterpret_cast<const BYTE*>(text.data());
    std::vector<BYTE> data(bytes, bytes + text.size() * sizeof(wchar_t));
    data.push_back(0);
    data.push_back(0);
    return data;
}

TEST(RegistryBackupFormat, WritesEachValueTypeAsRegeditReadsIt) {
    const BackupKey key{L"HKEY_CURRENT_USER\\Software\\Test",
                        {
                            {L"", REG_SZ, Utf16Bytes(L"default")},
                            {L"C:\\Tools\\a\"b.exe", REG_SZ, Utf16Bytes(L"C:\\x \"y\"")},
                            {L"Count", REG_DWORD, {0x0A, 0x00, 0x01, 0x00}},
                            {L"Blob", REG_BINARY, {0x00, 0xFF}},
                            {L"Path", REG_EXPAND_SZ, Utf16Bytes(L"%a")},
                            {L"Lines", REG_SZ, Utf16Bytes(L"a\r\nb")},
                            {L"Empty", REG_SZ, {}},
                        }};
    EXPECT_EQ(registry::FormatBackupKey(key),
              L"\r\n[HKEY_CURRENT_USER\\Software\\Test]\r\n"
              L"@=\"default\"\r\n"
              L"\"C:\\\\Tools\\\\a\\\"b.exe\"=\"C:\\\\x \\\"y\\\"\"\r\n"
              L"\"Count\"=dword:0001000a\r\n"
              L"\"Blob\"=hex:00,ff\r\n"
              L"\"Path\"=hex(2):25,00,61,00,00,00\r\n"
              L"\"Lines\"=hex(1):61,00,0d,00,0a,00,62,00,00,00\r\n"
              L"\"Empty\"=hex(1):\r\n");
}

TEST(RegistryBackupFormat, NamesTheKeyThatTheViewReaches) {
    struct Case {
        std::uint32_t root;
        const wchar_t* path;
        REGSAM view;
        bool wow64;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {0x80000002, L"SOFTWARE\\Microsoft\\SharedDLLs\\", KEY_WOW64_64KEY, true,
         L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\SharedDLLs"},
        {0x80000002, L"SOFTWARE\\Microsoft\\SharedDLLs\\", KEY_WOW64_32KEY, true,
         L"HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Microsoft\\SharedDLLs"},
        {0x80000002, L"Software\\WOW6432Node\\X", KEY_WOW64_32KEY, true, L"HKEY_LOCAL_MACHINE\\Software\\WOW6432Node\\X"},
        {0x80000002, L"SOFTWARE\\Microsoft\\X", KEY_WOW64_32KEY, false, L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\X"},
        {0x80000001, L"Software\\Empty", KEY_WOW64_32KEY, true, L"HKEY_CURRENT_USER\\Software\\Empty"},
        {0x80000000, L".xyz", KEY_WOW64_64KEY, true, L"HKEY_CLASSES_ROOT\\.xyz"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(registry::BackupKeyPath(c.root, c.path, c.view, c.wow64), c.expected) << c.path;
}

}  // namespace
