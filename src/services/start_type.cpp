#include "services/start_type.h"

#include <windows.h>
#include <winsvc.h>

#include "common/handles.h"

namespace services {

bool IsStartType(int startType) { return startType >= SERVICE_BOOT_START && startType <= SERVICE_DISABLED; }

bool ChangeServiceStartType(int startType, const std::wstring& serviceName) {
    if (!IsStartType(startType)) return false;
    const common::UniqueService manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) return false;
    const common::UniqueService service(OpenServiceW(manager.get(), serviceName.c_str(), SERVICE_CHANGE_CONFIG));
    if (!service) return false;
    return ChangeServiceConfigW(service.get(), SERVICE_NO_CHANGE, static_cast<DWORD>(startType), SERVICE_NO_CHANGE,
                                nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
}

}  // namespace services
