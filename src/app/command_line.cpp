#include "app/command_line.h"

#include <windows.h>
#include <shellapi.h>

#include <vector>

namespace app {

namespace {

int PortNumber(const std::wstring& text) {
    if (text.empty() || text.size() > 5) return 0;
    int port = 0;
    for (const wchar_t c : text) {
        if (c < L'0' || c > L'9') return 0;
        port = port * 10 + (c - L'0');
    }
    return port <= 65535 ? port : 0;
}

}  // namespace

CommandLineOptions ParseCommandLine(std::span<const std::wstring> arguments) {
    CommandLineOptions options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == L"--headless") options.headless = true;
        if (arguments[i] == L"--port" && i + 1 < arguments.size()) options.port = PortNumber(arguments[++i]);
    }
    return options;
}

CommandLineOptions ProcessCommandLine() {
    int count = 0;
    wchar_t** words = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!words) return {};
    const std::vector<std::wstring> arguments(words + (count > 0 ? 1 : 0), words + count);
    LocalFree(words);
    return ParseCommandLine(arguments);
}

}  // namespace app
