#include "support/earlier_database.h"

#include "db/scratch_database.h"
#include "engine/wire_format.h"

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

}  // namespace testsupport
