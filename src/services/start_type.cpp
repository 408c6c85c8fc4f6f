#include "services/start_type.h"

#include <vector>

#include "common/handles.h"

namespace services {

namespace {

std::optional<StartCalls>& TestCalls() {
    static std::optional<StartCalls> calls;
    return calls;
}

const StartCalls& Calls() { return TestCalls() ? *TestCalls() : SystemStartCalls(); }

// The type and shown start type of the service (opened with SERVICE_QUERY_CONFIG).
std::optional<ServiceConfig> ReadConfig(SC_HANDLE service) {
    std::vector<BYTE> buffer(8192);
    DWORD needed = 0;
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    if (!QueryServiceConfigW(service, config, static_cast<DWORD>(buffer.size()), &needed)) {
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return std::nullopt;
        buffer.assign(needed, 0);
        config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
        if (!QueryServiceConfigW(service, config, needed, &needed)) return std::nullopt;
    }
    const DWORD startType = config->dwStartType;
    const bool delayed = startType == SERVICE_AUTO_START && IsDelayedStart(service);
    return ServiceConfig{config->dwServiceType, static_cast<int>(ShownStartType(startType, delayed))};
}

}  // namespace

bool IsApplicableStartType(int startType) {
    return startType == SERVICE_AUTO_START || startType == kDelayedAutoStart || startType == SERVICE_DEMAND_START ||
           startType == SERVICE_DISABLED;
}

std::uint32_t ShownStartType(DWORD startType, bool delayed) {
    return startType == SERVICE_AUTO_START && delayed ? kDelayedAutoStart : startType;
}

const StartCalls& SystemStartCalls() {
    static const StartCalls calls{
        .readDelayed =
            [](SC_HANDLE service, bool& delayed) {
                SERVICE_DELAYED_AUTO_START_INFO setting{};
                DWORD needed = 0;
                if (!QueryServiceConfig2W(service, SERVICE_CONFIG_DELAYED_AUTO_START_INFO,
                                          reinterpret_cast<BYTE*>(&setting), sizeof setting, &needed))
                    return false;
                delayed = setting.fDelayedAutostart != FALSE;
                return true;
            },
        .writeDelayed =
            [](SC_HANDLE service, bool delayed) {
                SERVICE_DELAYED_AUTO_START_INFO setting{delayed};
                return ChangeServiceConfig2W(service, SERVICE_CONFIG_DELAYED_AUTO_START_INFO, &setting) != FALSE;
            },
        .writeStartType =
            [](SC_HANDLE service, DWORD startType) {
                return ChangeServiceConfigW(service, SERVICE_NO_CHANGE, startType, SERVICE_NO_CHANGE, nullptr, nullptr,
                                            nullptr, nullptr, nullptr, nullptr, nullptr) != FALSE;
            },
    };
    return calls;
}

void SetStartCallsForTest(std::optional<StartCalls> calls) { TestCalls() = std::move(calls); }

bool IsDelayedStart(SC_HANDLE service) {
    bool delayed = false;
    return Calls().readDelayed(service, delayed) && delayed;
}

std::optional<ServiceConfig> ReadServiceConfig(const std::wstring& serviceName) {
    const common::UniqueService manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) return std::nullopt;
    const common::UniqueService service(OpenServiceW(manager.get(), serviceName.c_str(), SERVICE_QUERY_CONFIG));
    if (!service) return std::nullopt;
    return ReadConfig(service.get());
}

std::optional<int> ReadServiceStartType(const std::wstring& serviceName) {
    const std::optional<ServiceConfig> config = ReadServiceConfig(serviceName);
    if (!config) return std::nullopt;
    return config->startType;
}

std::wstring ServiceDisplayName(const std::wstring& serviceName) {
    const common::UniqueService manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) return serviceName;
    // 256 characters hold any display name (the manager's own limit).
    wchar_t name[257] = {};
    DWORD size = 257;
    if (!GetServiceDisplayNameW(manager.get(), serviceName.c_str(), name, &size) || name[0] == L'\0') return serviceName;
    return name;
}

bool ChangeServiceStartType(int startType, const std::wstring& serviceName) {
    if (!IsApplicableStartType(startType)) return false;
    const common::UniqueService manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) return false;
    const common::UniqueService service(
        OpenServiceW(manager.get(), serviceName.c_str(), SERVICE_CHANGE_CONFIG | SERVICE_QUERY_CONFIG));
    if (!service) return false;
    // The delayed setting matters only for automatic start; it is changed
    // only where automatic start is asked for and it differs.
    const bool automatic = startType == SERVICE_AUTO_START || startType == kDelayedAutoStart;
    const bool wasDelayed = automatic && IsDelayedStart(service.get());
    const bool delayed = startType == kDelayedAutoStart;
    const bool switchDelay = automatic && wasDelayed != delayed;
    const StartCalls& calls = Calls();
    if (switchDelay && !calls.writeDelayed(service.get(), delayed)) return false;
    if (calls.writeStartType(service.get(), static_cast<DWORD>(automatic ? SERVICE_AUTO_START : startType)))
        return true;
    if (switchDelay) calls.writeDelayed(service.get(), wasDelayed);
    return false;
}

}  // namespace services
