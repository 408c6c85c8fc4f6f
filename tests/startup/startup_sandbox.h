#pragma once
// Autostart entries made for one test in the prefix's Run keys, approval
// values and Startup folders, each removed again at the end (with every
// approval value named like one of them), with the process's database in a
// scratch folder. Entries are named "QoTest ..." so that a test can pick
// them out of everything else the prefix starts.
#include <windows.h>
#include <shlobj.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/ansi_text.h"
#include "db/scratch_database.h"
#include "startup/shell_link.h"
#include "startup/startup_bridge.h"
#include "startup/startup_enumeration.h"
#include "startup/startup_item.h"
#include "support/temp_dir.h"

namespace testsupport {

inline const std::wstring kRunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline const std::wstring kRunKey32 = L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run";
inline const std::wstring kRunOnceKey32 = L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
inline const std::wstring kApprovedKey = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved";

using Bytes = std::vector<BYTE>;

// An approval value: its first four bytes, then eight more.
inline Bytes Approval(BYTE first) { return {first, 0, 0, 0, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88}; }

inline Bytes TextBytes(const std::wstring& text) {
    const auto* begin = reinterpret_cast<const BYTE*>(text.c_str());
    return Bytes(begin, begin + (text.size() + 1) * sizeof(wchar_t));
}

// A file of the program's folder, which also holds the test executables.
inline std::wstring ProgramFolderFile(const std::wstring& name) {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.rfind(L'\\') + 1) + name;
}
inline std::wstring ProgramFile() { return ProgramFolderFile(Environment(L"QO_PROGRAM")); }

inline std::wstring StartupFolder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    SHGetSpecialFolderPathW(nullptr, path, csidl, TRUE);
    return path;
}

class StartupSandbox {
public:
    StartupSandbox() = default;
    ~StartupSandbox() {
        for (const HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE})
            for (const wchar_t* subkey : {L"Run", L"Run32", L"StartupFolder"})
                for (const std::wstring& name : names_) values_.push_back({root, kApprovedKey + L"\\" + subkey, name});
        for (const auto& [root, path, name] : values_) {
            HKEY key = nullptr;
            if (RegOpenKeyExW(root, path.c_str(), 0, KEY_SET_VALUE | KEY_WOW64_64KEY, &key) == ERROR_SUCCESS) {
                RegDeleteValueW(key, name.c_str());
                RegCloseKey(key);
            }
        }
        for (const std::wstring& file : files_) DeleteFileW(file.c_str());
    }
    StartupSandbox(const StartupSandbox&) = delete;
    StartupSandbox& operator=(const StartupSandbox&) = delete;

    // Writes a value in the 64-bit view, creating the key if need be.
    void SetValue(HKEY root, const std::wstring& path, const std::wstring& name, DWORD type, const Bytes& data) {
        HKEY key = nullptr;
        if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &key,
                            nullptr) != ERROR_SUCCESS)
            throw std::runtime_error("cannot create a test key");
        const LONG status = RegSetValueExW(key, name.empty() ? nullptr : name.c_str(), 0, type, data.data(),
                                           static_cast<DWORD>(data.size()));
        RegCloseKey(key);
        if (status != ERROR_SUCCESS) throw std::runtime_error("cannot write a test value");
        values_.push_back({root, path, name});
        names_.push_back(name);
    }
    void SetRunValue(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& commandLine) {
        SetValue(root, path, name, REG_SZ, TextBytes(commandLine));
    }
    void SetApproval(HKEY root, const std::wstring& subkey, const std::wstring& name, const Bytes& data) {
        SetValue(root, kApprovedKey + L"\\" + subkey, name, REG_BINARY, data);
    }

    // A value's data in the 64-bit view; nothing when it is missing.
    static std::optional<Bytes> Value(HKEY root, const std::wstring& path, const std::wstring& name) {
        HKEY key = nullptr;
        if (RegOpenKeyExW(root, path.c_str(), 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS)
            return std::nullopt;
        Bytes data(1024);
        DWORD size = static_cast<DWORD>(data.size());
        const LONG status = RegQueryValueExW(key, name.c_str(), nullptr, nullptr, data.data(), &size);
        RegCloseKey(key);
        if (status != ERROR_SUCCESS) return std::nullopt;
        data.resize(size);
        return data;
    }
    static std::optional<Bytes> ApprovalValue(HKEY root, const std::wstring& subkey, const std::wstring& name) {
        return Value(root, kApprovedKey + L"\\" + subkey, name);
    }
    // The first byte of the approval value (02 on, 03 off); -1 without one.
    static int ApprovalState(HKEY root, const std::wstring& subkey, const std::wstring& name) {
        const std::optional<Bytes> value = ApprovalValue(root, subkey, name);
        return value && !value->empty() ? (*value)[0] : -1;
    }

    // Writes a shortcut to `target` into `folder`; its full path.
    std::wstring MakeShortcut(const std::wstring& folder, const std::wstring& name, const std::wstring& target) {
        const std::wstring path = folder + L"\\" + name;
        if (!startup::WriteShortcut(path, target, folder, L"")) throw std::runtime_error("cannot write a shortcut");
        Track(path, name);
        return path;
    }
    // A shortcut as an installer writes one: arguments, its own working
    // folder, a description, an icon, a hot key and a window state.
    std::wstring MakeRichShortcut(const std::wstring& folder, const std::wstring& name, const std::wstring& target) {
        const std::wstring path = folder + L"\\" + name;
        CoInitialize(nullptr);
        IShellLinkW* link = nullptr;
        IPersistFile* file = nullptr;
        bool saved = false;
        if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                       reinterpret_cast<void**>(&link)))) {
            link->SetPath(target.c_str());
            link->SetArguments(L"--minimized --profile \"Work Files\"");
            link->SetWorkingDirectory(L"C:\\windows\\temp");
            link->SetDescription(L"Starts the tool at log-on");
            link->SetIconLocation(L"C:\\windows\\system32\\shell32.dll", 12);
            link->SetHotkey(MAKEWORD('Q', HOTKEYF_CONTROL | HOTKEYF_ALT));
            link->SetShowCmd(SW_SHOWMINNOACTIVE);
            saved = SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
                    SUCCEEDED(file->Save(path.c_str(), TRUE));
            if (file) file->Release();
            link->Release();
        }
        CoUninitialize();
        if (!saved) throw std::runtime_error("cannot write a shortcut");
        Track(path, name);
        return path;
    }
    void MakeFile(const std::wstring& path, std::string_view content) {
        WriteFile(path, content);
        files_.push_back(path);
    }
    // Removes `path` again at the end, and approval values named `name`.
    void Track(const std::wstring& path, const std::wstring& name) {
        files_.push_back(path);
        names_.push_back(name);
    }

    const ScratchDatabase& Database() const { return database_; }

    // Stores a shortcut's row as earlier versions did when they switched it
    // off by deleting the file: its eight fields in tbl_startupinfo, texts
    // in the code page.
    void StoreOldRow(const startup::StartupItem& item) const {
        const auto text = [](const std::wstring& value) {
            std::string quoted = "'";
            for (const char c : common::ToAnsi(value)) quoted += c == '\'' ? std::string("''") : std::string(1, c);
            return quoted + "'";
        };
        const std::string sql = "insert into tbl_startupinfo\t\t\t(iconPath ,fileDescription ,companyName ,strPath "
                                ",strName ,hKey,uFilePathFlag,bStatus) values\t\t\t(" +
                                text(item.iconPath) + "\t\t," + text(item.fileDescription) + "\t\t\t," +
                                text(item.companyName) + "\t\t," + text(item.strPath) + "\t\t," +
                                text(item.strName) + "\t,0,0\t\t\t\t,1)";
        RunSql(database_.WorkingFile(), sql.c_str());
    }

private:
    struct ValueName {
        HKEY root;
        std::wstring path;
        std::wstring name;
    };
    ScratchDatabase database_;
    std::vector<ValueName> values_;
    std::vector<std::wstring> files_;
    std::vector<std::wstring> names_;
};

// The test's own entries of StartupItemList, each with its index there.
inline std::vector<std::pair<int, startup::StartupItem>> OwnEntries() {
    std::vector<std::pair<int, startup::StartupItem>> own;
    const std::vector<startup::StartupItem>& items = startup::StartupItemList();
    for (std::size_t i = 0; i < items.size(); ++i)
        if (items[i].strName.starts_with(L"QoTest")) own.emplace_back(static_cast<int>(i), items[i]);
    return own;
}

// The index of the test's entry named `name`; -1 when it is not listed.
inline int IndexOf(const std::wstring& name) {
    for (const auto& [index, item] : OwnEntries())
        if (item.strName == name) return index;
    return -1;
}

// Lists the entries again and switches the named one.
inline bool Switch(const std::wstring& name, bool disabled, int generation) {
    startup::EnumerateStartupItems(generation);
    return startup::SetStartupItemState(IndexOf(name), disabled, generation);
}

}  // namespace testsupport
