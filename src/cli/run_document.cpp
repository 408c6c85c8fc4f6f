#include "cli/run_document.h"

#include <sddl.h>

#include <cstdio>

#include "common/account_sid.h"
#include "common/version.h"
#include "engine/shell_launch.h"

namespace cli {

std::string UtcText(const SYSTEMTIME& time) {
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02uZ", time.wYear, time.wMonth, time.wDay, time.wHour,
                  time.wMinute, time.wSecond);
    return text;
}

std::string UtcFromLocalText(const std::wstring& local) {
    SYSTEMTIME when{};
    unsigned year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    wchar_t rest = 0;
    if (std::swscanf(local.c_str(), L"%4u-%2u-%2u %2u:%2u:%2u%lc", &year, &month, &day, &hour, &minute, &second,
                     &rest) != 6)
        return {};
    when.wYear = static_cast<WORD>(year);
    when.wMonth = static_cast<WORD>(month);
    when.wDay = static_cast<WORD>(day);
    when.wHour = static_cast<WORD>(hour);
    when.wMinute = static_cast<WORD>(minute);
    when.wSecond = static_cast<WORD>(second);
    SYSTEMTIME utc{};
    FILETIME check{};
    // Validates the fields, then converts with the rules of that date's zone.
    if (!SystemTimeToFileTime(&when, &check) || !TzSpecificLocalTimeToSystemTime(nullptr, &when, &utc)) return {};
    return UtcText(utc);
}

engine::Json RunDocument(const RunFacts& facts, cJSON* members, const std::string& error, int exitCode) {
    engine::Json document(cJSON_CreateObject());
    cJSON* root = document.get();
    cJSON_AddNumberToObject(root, "schemaVersion", kSchemaVersion);
    cJSON_AddStringToObject(root, "version", facts.version.c_str());
    cJSON_AddStringToObject(root, "computer", facts.computer.c_str());
    cJSON* account = cJSON_AddObjectToObject(root, "account");
    cJSON_AddStringToObject(account, "name", facts.accountName.c_str());
    cJSON_AddStringToObject(account, "sid", facts.accountSid.c_str());
    cJSON_AddBoolToObject(root, "elevated", facts.elevated);
    cJSON_AddStringToObject(root, "startedUtc", facts.startedUtc.c_str());
    // The command's members, with the frame's own names left to the frame.
    while (members && members->child) {
        cJSON* member = cJSON_DetachItemViaPointer(members, members->child);
        if (cJSON_GetObjectItemCaseSensitive(root, member->string) || std::string_view(member->string) == "endedUtc" ||
            std::string_view(member->string) == "error" || std::string_view(member->string) == "exitCode")
            cJSON_Delete(member);
        else
            cJSON_AddItemToObject(root, member->string, member);
    }
    cJSON_AddStringToObject(root, "endedUtc", facts.endedUtc.c_str());
    if (!error.empty()) cJSON_AddStringToObject(root, "error", error.c_str());
    cJSON_AddNumberToObject(root, "exitCode", exitCode);
    return document;
}

std::string UtcNow() {
    SYSTEMTIME now{};
    GetSystemTime(&now);
    return UtcText(now);
}

namespace {

std::string AccountName(const std::wstring& sidText) {
    PSID sid = nullptr;
    if (!ConvertStringSidToSidW(sidText.c_str(), &sid)) return {};
    wchar_t name[256], domain[256];
    DWORD nameLength = 256, domainLength = 256;
    SID_NAME_USE use{};
    const bool found = LookupAccountSidW(nullptr, sid, name, &nameLength, domain, &domainLength, &use);
    LocalFree(sid);
    if (!found) return {};
    return engine::Utf8FromWide(domainLength ? std::wstring(domain) + L"\\" + name : std::wstring(name));
}

}  // namespace

RunFacts CurrentRunFacts() {
    RunFacts facts;
    facts.version = QO_VERSION_TEXT;
    wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
    if (GetComputerNameW(computer, &length)) facts.computer = engine::Utf8FromWide(std::wstring(computer, length));
    const std::wstring sid = common::ProcessAccountSid();
    facts.accountSid = engine::Utf8FromWide(sid);
    facts.accountName = AccountName(sid);
    facts.elevated = engine::ProcessIsElevated();
    facts.startedUtc = UtcNow();
    return facts;
}

}  // namespace cli
