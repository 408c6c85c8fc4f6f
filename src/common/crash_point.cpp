#include "common/crash_point.h"

#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <optional>
#include <stdexcept>
#include <string>

namespace common {

namespace {

struct Target {
    std::string name;
    unsigned pass = 1;
};

// Read once: the variable is the test's, set before the process starts.
const std::optional<Target>& CrashTarget() {
    static const std::optional<Target> target = []() -> std::optional<Target> {
        char text[256];
        const DWORD length = GetEnvironmentVariableA("QO_CRASH_AT", text, sizeof text);
        if (length == 0 || length >= sizeof text) return std::nullopt;
        Target wanted{std::string(text, length)};
        if (const std::size_t mark = wanted.name.find('#'); mark != std::string::npos) {
            wanted.pass = static_cast<unsigned>(std::strtoul(wanted.name.c_str() + mark + 1, nullptr, 10));
            wanted.name.resize(mark);
        }
        return wanted;
    }();
    return target;
}

}  // namespace

void CrashPoint(const char* name) {
    const std::optional<Target>& target = CrashTarget();
    if (!target || target->name != name) return;
    static std::atomic<unsigned> passes{0};
    if (++passes == target->pass) TerminateProcess(GetCurrentProcess(), kCrashExitCode);
}

void FaultPoint(const char* name) {
    const std::optional<Target>& target = CrashTarget();
    if (target && target->name == std::string("throw:") + name)
        throw std::runtime_error(std::string("a fault was injected at ") + name);
}

}  // namespace common
