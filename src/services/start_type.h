#pragma once
// Changing a service's start type.
#include <string>

namespace services {

// The start types a change accepts: 0 boot, 1 system, 2 automatic,
// 3 manual, 4 disabled.
bool IsStartType(int startType);

// Changes only the start type of the service with key name `serviceName`;
// false for a type outside the accepted ones or a change that failed.
bool ChangeServiceStartType(int startType, const std::wstring& serviceName);

}  // namespace services
