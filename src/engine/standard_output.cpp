#include "engine/standard_output.h"

#include <windows.h>

#include <string>

#include "common/handles.h"

namespace engine {

namespace {

bool WriteAll(HANDLE output, const std::string& text) {
    DWORD written = 0;
    return WriteFile(output, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
           written == text.size();
}

}  // namespace

bool WriteStandardOutputLine(std::string_view line) {
    const std::string text = std::string(line) + "\n";
    const HANDLE inherited = GetStdHandle(STD_OUTPUT_HANDLE);
    if (inherited && inherited != INVALID_HANDLE_VALUE && WriteAll(inherited, text)) return true;
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) return false;
    const common::UniqueFile console(CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                 OPEN_EXISTING, 0, nullptr));
    return console && WriteAll(console.get(), text);
}

}  // namespace engine
