#include "support/earlier_database.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <algorithm>
#include <stdexcept>

#include "db/scratch_database.h"
#include "engine/wire_format.h"
#include "registry/registry_backup.h"
#include "registry/registry_issue.h"
#include "registry/registry_repair.h"
#include "support/temp_dir.h"

namespace testsupport {

namespace {

// The tables as the version before the stores made them.
constexpr const char* kEarlierSchema =
    "create table tbl_serversOperation (id integer primary key,servrName char NOT NULL,"
    "oldStatus integer,newStatus integer,data data ,time time);"
    "create table tbl_serversInitData (id integer primary key,servrName char NOT NULL,"
    "suguestStatus integer,forbitRate integer,startTime integer ,categoty integer);"
    "create table tbl_startupinfo (id integer primary key,iconPath TEXT,fileDescription TEXT,companyName TEXT,"
    "strPath TEXT,strName TEXT,hKey integer,uFilePathFlag integer,bStatus integer);"
    "create table tbl_startupkept (id integer primary key,iconPath TEXT,fileDescription TEXT,"
    "companyName TEXT,strPath TEXT,strName TEXT,hKey integer,uFilePathFlag integer,valueType integer,"
    "content BLOB,data data,time time);"
    "create table tbl_registryclean (id integer primary key,stamp integer,backup TEXT,entries integer,"
    "restored integer);"
    "create table tbl_startupswitch (id integer primary key,stamp integer,iconPath TEXT,"
    "fileDescription TEXT,strPath TEXT,strName TEXT,hKey integer,uFilePathFlag integer,bStatus integer,"
    "restored integer);"
    "create table tbl_downloadmove (id integer primary key,stamp integer,target TEXT,restored integer);"
    "create table tbl_downloadsetting (move integer,key TEXT,value TEXT,existed integer,type integer,data BLOB);"
    "create table tbl_keeplist (id integer primary key,item TEXT,stamp integer);"
    "create table tbl_moveunderway (id integer primary key,stamp integer,user TEXT,target TEXT,"
    "parts TEXT,settings integer);"
    "create table tbl_movemade (move integer,path TEXT,source TEXT,size integer,written integer,"
    "volume integer,fileindex integer);"
    "create table tbl_keeplistloss (id integer primary key,stamp integer,aside TEXT,recovered integer);";

std::string Quote(const std::wstring& text) {
    std::string quoted = "'";
    for (const char c : engine::Utf8FromWide(text)) quoted += c == '\'' ? std::string("''") : std::string(1, c);
    return quoted + "'";
}

}  // namespace

void MakeEarlierDatabase(const std::wstring& path, const std::wstring& userStartup, const std::wstring& backup) {
    // Hives as stored: HKEY_CURRENT_USER -2147483647, HKEY_LOCAL_MACHINE -2147483646.
    const std::string rows =
        std::string(kEarlierSchema) +
        "insert into tbl_serversOperation values(3,'QoOldService',2,4,'01/02/2020','10:11:12');"
        "insert into tbl_serversInitData values(7,'QoOldRecommended',3,40,0,1);"
        "insert into tbl_startupinfo values(4,'C:\\QoOld\\Deleted.lnk','Deleted','Maker','C:\\QoOld\\d.exe',"
        "'Deleted.lnk',0,0,1);"
        "insert into tbl_startupkept values(2,'C:\\QoOld\\user.exe','UserKept','Maker','Software\\Microsoft\\Windows"
        "\\CurrentVersion\\Run','QoUserKept',-2147483647,1,1,x'4300',  '01/02/2020','10:11:12');"
        "insert into tbl_startupkept values(5,'C:\\QoOld\\machine.exe','MachineKept','Maker','Software\\Microsoft"
        "\\Windows\\CurrentVersion\\Run','QoMachineKept',-2147483646,1,1,x'4400','01/02/2020','10:11:12');"
        "insert into tbl_registryclean values(6,1600000000," + Quote(backup) + ",2,0);"
        "insert into tbl_startupswitch values(8,1600000001,'C:\\QoOld\\user.exe','UserRun','Software\\Microsoft"
        "\\Windows\\CurrentVersion\\Run','QoUserRun',-2147483647,1,1,0);"
        "insert into tbl_startupswitch values(9,1600000002,'C:\\QoOld\\machine.exe','MachineRun','Software"
        "\\Microsoft\\Windows\\CurrentVersion\\Run','QoMachineRun',-2147483646,1,1,0);"
        "insert into tbl_startupswitch values(10,1600000003," + Quote(userStartup + L"\\QoOld.lnk") +
        ",'UserShortcut','C:\\QoOld\\s.exe','QoOld.lnk',0,0,1,0);"
        "insert into tbl_downloadmove values(5,1600000004,'D:\\Old\\First',0);"
        "insert into tbl_downloadmove values(9,1600000005,'D:\\Old\\Second',0);"
        "insert into tbl_downloadsetting values(5,'Software\\Microsoft\\Windows\\CurrentVersion\\Explorer"
        "\\User Shell Folders','{374DE290-123F-4565-9164-39C4925E467B}',1,2,x'4100');"
        "insert into tbl_downloadsetting values(9,'Software\\Microsoft\\Edge','DownloadDirectory',0,0,null);"
        "insert into tbl_keeplist values(1,'C:\\QoOld\\keep.txt',1600000006);"
        "insert into tbl_keeplist values(2,'junk.temp',1600000007);"
        "insert into tbl_moveunderway values(4,1600000008,'S-1-5-21-1-2-3-1001','D:\\Old\\Underway','.qo',9);"
        "insert into tbl_movemade values(4,'D:\\Old\\Underway\\a.txt','C:\\Old\\a.txt',3,4,5,6);"
        "insert into tbl_movemade values(4,'D:\\Old\\Underway\\sub','',0,0,5,7);"
        "insert into tbl_keeplistloss values(1,1600000009,'C:\\QoOld\\mydatabase.unreadable-x.db',1);";
    RunSql(path, rows.c_str());
}

void MakeEarlierInstall(const std::wstring& folder) {
    HKEY key = nullptr;
    const std::wstring data = L"yes";
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kCleanedKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
            ERROR_SUCCESS ||
        RegSetValueExW(key, kCleanedValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                       static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t))) != ERROR_SUCCESS)
        throw std::runtime_error("cannot write the value an earlier clean removed");
    RegCloseKey(key);
    MakeFolder(folder + L"\\Backups");
    const std::wstring backupPath = folder + L"\\Backups\\old.reg";
    registry::RegistryBackup backup(backupPath);
    const std::wstring name = std::wstring(kCleanedKey).substr(std::wstring(kCleanedKey).find(L'\\') + 1);
    if (registry::RepairCategory({registry::ValueIssue(0x80000001, L"Software\\", name, kCleanedValue)}, backup) !=
        registry::RepairCount{1, 0})
        throw std::runtime_error("cannot clean the value as an earlier version did");
    wchar_t* startup = nullptr;
    if (FAILED(SHGetKnownFolderPath(FOLDERID_Startup, KF_FLAG_DONT_VERIFY, nullptr, &startup)))
        throw std::runtime_error("no Startup folder");
    const std::wstring userStartup = startup;
    CoTaskMemFree(startup);
    MakeEarlierDatabase(folder + L"\\mydatabase.db", userStartup, backupPath);
    WriteFile(folder + L"\\config.ini", kConfig);
}

std::map<std::string, int> ChangesByKind(const ProgramRun& list) {
    std::map<std::string, int> kinds;
    const cJSON* changes = JsonItem(list.json.get(), "changes");
    for (const cJSON* change = changes ? changes->child : nullptr; change; change = change->next) {
        const std::string id = JsonText(change, "id");
        ++kinds[id.substr(0, id.find('-'))];
    }
    return kinds;
}

std::vector<std::wstring> FilesIn(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    const HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(data.cFileName);
    } while (FindNextFileW(search, &data));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

std::size_t MigratedDatabases(const std::vector<std::wstring>& names) {
    return static_cast<std::size_t>(std::count_if(names.begin(), names.end(), [](const std::wstring& name) {
        return name.starts_with(L"mydatabase.migrated-") && name.ends_with(L".db");
    }));
}

}  // namespace testsupport
