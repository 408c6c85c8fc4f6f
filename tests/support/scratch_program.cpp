#include "support/scratch_program.h"

#include <stdexcept>
#include <thread>
#include <vector>

#include "common/handles.h"

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

ScratchProgram::ScratchProgram(const std::wstring& name) : name_(name) {
    if (!CopyFileW(Environment(L"QO_ORVANE").c_str(), Program().c_str(), FALSE))
        throw std::runtime_error("cannot copy orvane.exe");
}

std::wstring ScratchProgram::Add(const std::wstring& builtName) const {
    const std::wstring copy = folder_ / builtName;
    if (!CopyFileW(builtName.c_str(), copy.c_str(), FALSE)) throw std::runtime_error("cannot copy a test helper");
    return copy;
}

ProgramRun ScratchProgram::Run(const std::wstring& executable, const std::wstring& arguments,
                               const std::string& crashAt) const {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE outRead = nullptr, outWrite = nullptr, errRead = nullptr, errWrite = nullptr;
    if (!CreatePipe(&outRead, &outWrite, &inherit, 0) || !CreatePipe(&errRead, &errWrite, &inherit, 0))
        throw std::runtime_error("no pipe");
    const common::UniqueKernelHandle outReader(outRead), errReader(errRead);
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = outWrite;
    startup.hStdError = errWrite;
    std::wstring line = L"\"" + executable + L"\" " + arguments;
    std::vector<wchar_t> environment = ChildEnvironment(crashAt);
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE,
                                        CREATE_NO_WINDOW | CREATE_UNICODE_ENVIRONMENT, environment.data(),
                                        folder_.Path().c_str(), &startup, &process);
    // The child's ends go, so that reading ends when the child does.
    CloseHandle(outWrite);
    CloseHandle(errWrite);
    if (!started) throw std::runtime_error("cannot start a program");
    const common::UniqueKernelHandle thread(process.hThread), child(process.hProcess);
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

}  // namespace testsupport
