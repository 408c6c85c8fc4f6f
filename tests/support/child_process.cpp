#include "support/child_process.h"

namespace testsupport {

common::UniqueKernelHandle StartChild(std::wstring commandLine, const ChildStart& start) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = start.input;
    startup.hStdOutput = start.output;
    startup.hStdError = start.error;
    const wchar_t* folder = start.folder.empty() ? nullptr : start.folder.c_str();
    const DWORD flags = CREATE_NO_WINDOW | CREATE_UNICODE_ENVIRONMENT;
    void* environment = const_cast<wchar_t*>(start.environment);
    PROCESS_INFORMATION process{};
    const BOOL started = start.token ? CreateProcessAsUserW(start.token, nullptr, commandLine.data(), nullptr, nullptr,
                                                            TRUE, flags, environment, folder, &startup, &process)
                                     : CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, flags,
                                                      environment, folder, &startup, &process);
    if (!started) return {};
    CloseHandle(process.hThread);
    return common::UniqueKernelHandle(process.hProcess);
}

}  // namespace testsupport
