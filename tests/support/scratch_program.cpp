#include "support/scratch_program.h"

#include <shlobj.h>

#include <filesystem>
#include <stdexcept>
#include <thread>
#include <vector>

#include "core/data_stores.h"
#include "common/handles.h"
#include "support/child_process.h"
#include "support/fresh_stores.h"

namespace testsupport {

namespace {

std::string ReadAll(HANDLE pipe) {
    std::string text;
    char buffer[4096];
    DWORD read = 0;
    while (::ReadFile(pipe, buffer, sizeof buffer, &read, nullptr) && read) text.append(buffer, read);
    return text;
}

// This process's environment without QO_CRASH_AT, with `crashAt` as its
// value when not empty: a block for CreateProcessW.
std::vector<wchar_t> ChildEnvironment(const std::string& crashAt) {
    std::vector<wchar_t> block;
    wchar_t* strings = GetEnvironmentStringsW();
    for (const wchar_t* entry = strings; *entry; entry += wcslen(entry) + 1)
        if (_wcsnicmp(entry, L"QO_CRASH_AT=", 12) != 0) block.insert(block.end(), entry, entry + wcslen(entry) + 1);
    FreeEnvironmentStringsW(strings);
    if (!crashAt.empty()) {
        const std::wstring entry = L"QO_CRASH_AT=" + engine::WideFromUtf8(crashAt);
        block.insert(block.end(), entry.c_str(), entry.c_str() + entry.size() + 1);
    }
    block.push_back(L'\0');
    return block;
}

}  // namespace

void RemoveStores() {
    for (const std::wstring& store : {MachineStorePath(), UserStorePath()}) {
        std::error_code ignored;
        std::filesystem::remove_all(std::filesystem::path(store), ignored);
    }
}

std::wstring StoreDatabase(db::Store store) {
    return (store == db::Store::Machine ? MachineStorePath() : UserStorePath()) + L"\\mydatabase.db";
}

bool OpenPrefixStores(const std::wstring& account) {
    const core::StoreFolder machine = core::MachineStore();
    const core::StoreFolder user = core::UserStore();
    if (!machine || !user) return false;
    db::Database(db::Store::Machine).Open(machine.path + L"\\", account);
    db::Database(db::Store::User).Open(user.path + L"\\", account);
    return db::Database(db::Store::Machine).IsOpen() && db::Database(db::Store::User).IsOpen();
}

ScratchProgram::ScratchProgram(const std::wstring& name) : name_(name) {
    RemoveStores();
    if (!CopyFileW(Environment(L"QO_ORVANE").c_str(), Program().c_str(), FALSE))
        throw std::runtime_error("cannot copy orvane.exe");
}

std::wstring ScratchProgram::Add(const std::wstring& builtName) const {
    const std::wstring copy = folder_ / builtName;
    if (!CopyFileW(builtName.c_str(), copy.c_str(), FALSE)) throw std::runtime_error("cannot copy a test helper");
    return copy;
}

ProgramRun ScratchProgram::Run(const std::wstring& executable, const std::wstring& arguments,
                               const std::string& crashAt, HANDLE token) const {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE outRead = nullptr, outWrite = nullptr, errRead = nullptr, errWrite = nullptr;
    if (!CreatePipe(&outRead, &outWrite, &inherit, 0) || !CreatePipe(&errRead, &errWrite, &inherit, 0))
        throw std::runtime_error("no pipe");
    const common::UniqueKernelHandle outReader(outRead), errReader(errRead);
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
    const std::vector<wchar_t> environment = ChildEnvironment(crashAt);
    const common::UniqueKernelHandle child = StartChild(L"\"" + executable + L"\" " + arguments,
                                                        {nullptr, outWrite, errWrite, folder_.Path(), token,
                                                         environment.data()});
    // The child's ends go, so that reading ends when the child does.
    CloseHandle(outWrite);
    CloseHandle(errWrite);
    if (!child) throw std::runtime_error("cannot start a program (error " + std::to_string(GetLastError()) + ")");
    ProgramRun run;
    std::thread errors([&] { run.err = ReadAll(errRead); });
    run.out = ReadAll(outRead);
    errors.join();
    WaitForSingleObject(child.get(), 60000);
    GetExitCodeProcess(child.get(), &run.exitCode);
    run.json = engine::ParseJson(run.out);
    return run;
}

const cJSON* JsonItem(const cJSON* object, const char* name) {
    return cJSON_GetObjectItemCaseSensitive(object, name);
}

std::string JsonText(const cJSON* object, const char* name) {
    const cJSON* item = JsonItem(object, name);
    return cJSON_IsString(item) ? item->valuestring : "";
}

double JsonNumber(const cJSON* object, const char* name) {
    const cJSON* item = JsonItem(object, name);
    return cJSON_IsNumber(item) ? item->valuedouble : -1;
}

common::UniqueKernelHandle UnelevatedToken() {
    common::UniqueKernelHandle own;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, own.put())) return {};
    TOKEN_LINKED_TOKEN linked{};
    DWORD size = 0;
    if (!GetTokenInformation(own.get(), TokenLinkedToken, &linked, sizeof linked, &size)) return {};
    common::UniqueKernelHandle token(linked.LinkedToken);
    TOKEN_ELEVATION elevation{};
    if (!GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &size) ||
        elevation.TokenIsElevated)
        return {};
    return token;
}

}  // namespace testsupport
