#pragma once
// Services created in the test prefix for one test and deleted again at its
// end. They point to any program: they are listed and reconfigured, never
// started.
#include <windows.h>
#include <winsvc.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "common/handles.h"

namespace testsupport {

struct TestService {
    std::wstring name;
    std::wstring displayName;
    std::wstring binaryPath;
    DWORD startType = SERVICE_DEMAND_START;
    std::wstring description;  // none when empty
    DWORD serviceType = SERVICE_WIN32_OWN_PROCESS;  // or a driver's
};

class TestServices {
public:
    TestServices() : manager_(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS)) {
        if (!manager_) throw std::runtime_error("cannot open the service manager");
    }
    ~TestServices() {
        for (const std::wstring& name : names_) Delete(name);
    }
    TestServices(const TestServices&) = delete;
    TestServices& operator=(const TestServices&) = delete;

    void Create(const TestService& service) {
        const common::UniqueService created(CreateServiceW(
            manager_.get(), service.name.c_str(), service.displayName.c_str(), SERVICE_ALL_ACCESS,
            service.serviceType, service.startType, SERVICE_ERROR_IGNORE, service.binaryPath.c_str(), nullptr,
            nullptr, nullptr, nullptr, nullptr));
        if (!created) throw std::runtime_error("cannot create a test service");
        names_.push_back(service.name);
        if (service.description.empty()) return;
        std::wstring text = service.description;
        SERVICE_DESCRIPTIONW description{text.data()};
        if (!ChangeServiceConfig2W(created.get(), SERVICE_CONFIG_DESCRIPTION, &description))
            throw std::runtime_error("cannot describe a test service");
    }

    void Delete(const std::wstring& name) {
        const common::UniqueService service(OpenServiceW(manager_.get(), name.c_str(), DELETE));
        if (service) DeleteService(service.get());
    }

    // The service's start type as the manager has it; -1 when unreadable.
    int StartType(const std::wstring& name) const {
        const common::UniqueService service(OpenServiceW(manager_.get(), name.c_str(), SERVICE_QUERY_CONFIG));
        std::vector<BYTE> buffer(8192);
        DWORD needed = 0;
        if (!service || !QueryServiceConfigW(service.get(), reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data()),
                                             static_cast<DWORD>(buffer.size()), &needed))
            return -1;
        return static_cast<int>(reinterpret_cast<const QUERY_SERVICE_CONFIGW*>(buffer.data())->dwStartType);
    }

    // Sets the start type as another program (or the user) would.
    void SetStartType(const std::wstring& name, DWORD startType) {
        const common::UniqueService service(OpenServiceW(manager_.get(), name.c_str(), SERVICE_CHANGE_CONFIG));
        if (!service || !ChangeServiceConfigW(service.get(), SERVICE_NO_CHANGE, startType, SERVICE_NO_CHANGE, nullptr,
                                              nullptr, nullptr, nullptr, nullptr, nullptr, nullptr))
            throw std::runtime_error("cannot set a test service's start type");
    }

    SC_HANDLE Manager() const { return manager_.get(); }

private:
    common::UniqueService manager_;
    std::vector<std::wstring> names_;
};

}  // namespace testsupport
