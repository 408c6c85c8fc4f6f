#include "common/gate_point.h"

#include <windows.h>

#include <optional>
#include <string>

namespace common {

namespace {

// Read once: the variable is the test's, set before the process starts.
const std::optional<std::string>& GateFolder() {
    static const std::optional<std::string> folder = []() -> std::optional<std::string> {
        char text[MAX_PATH];
        const DWORD length = GetEnvironmentVariableA("QO_GATE_FOLDER", text, sizeof text);
        if (length == 0 || length >= sizeof text) return std::nullopt;
        return std::string(text, length);
    }();
    return folder;
}

}  // namespace

void GatePoint(const char* name) {
    const std::optional<std::string>& folder = GateFolder();
    if (!folder) return;
    const std::string gate = *folder + "\\" + name;
    // Waits on the test, not on a clock: the gate stays closed until opened.
    while (GetFileAttributesA(gate.c_str()) != INVALID_FILE_ATTRIBUTES) Sleep(20);
}

}  // namespace common
