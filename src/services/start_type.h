#pragma once
// Service start types as the service page knows them, and changing them.
// The page's codes are Windows' own (2 automatic, 3 manual, 4 disabled) and
// 10 for automatic with delayed start, which Windows keeps as automatic plus
// a setting of its own. Boot and system start (0, 1) are drivers' start
// types: no listed service has them and none is set to them.
#include <windows.h>
#include <winsvc.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace services {

// Automatic, delayed (the value PowerShell's ServiceStartupType gives it).
inline constexpr int kDelayedAutoStart = 10;

// The start types a change can apply: 2, 10, 3 and 4.
bool IsApplicableStartType(int startType);

// The code the page sees for the manager's start type and delayed setting.
std::uint32_t ShownStartType(DWORD startType, bool delayed);

// Whether the service (opened with SERVICE_QUERY_CONFIG) starts delayed
// when it starts automatically; false when that cannot be read.
bool IsDelayedStart(SC_HANDLE service);

// A service's type (SERVICE_WIN32_OWN_PROCESS, SERVICE_KERNEL_DRIVER, ...)
// and its start type as the page sees it.
struct ServiceConfig {
    DWORD serviceType = 0;
    int startType = 0;
};

// The service's configuration now; nothing when the service or its
// configuration cannot be read.
std::optional<ServiceConfig> ReadServiceConfig(const std::wstring& serviceName);
std::optional<int> ReadServiceStartType(const std::wstring& serviceName);

// The name the service manager shows for the service ("Print Spooler" for
// "Spooler"); its key name when the service is gone or cannot be read.
std::wstring ServiceDisplayName(const std::wstring& serviceName);

// The service manager's calls that read and write a start (on a service
// opened with SERVICE_QUERY_CONFIG, and SERVICE_CHANGE_CONFIG to write). A
// test replaces them to run what only a manager that keeps the delayed
// setting answers (Wine 8 refuses that setting with ERROR_INVALID_LEVEL),
// and a manager that refuses the start type after the setting was changed.
struct StartCalls {
    std::function<bool(SC_HANDLE, bool& delayed)> readDelayed;
    std::function<bool(SC_HANDLE, bool delayed)> writeDelayed;
    std::function<bool(SC_HANDLE, DWORD startType)> writeStartType;
};

// The system's own calls, which the seam's calls may forward to.
const StartCalls& SystemStartCalls();

// A test's seam: the calls every read and change of a start goes through
// from now on; nothing gives the system's back.
void SetStartCallsForTest(std::optional<StartCalls> calls);

// Gives the service with key name `serviceName` exactly `startType` (one of
// the applicable ones): the start type, and for 2 and 10 the delayed
// setting. False, with the service as it was, when that cannot be done.
bool ChangeServiceStartType(int startType, const std::wstring& serviceName);

}  // namespace services
