#pragma once
// One Windows service as the service page lists it, and the process-wide
// list the page works on: the page names a service by its index in the list.
#include <cstdint>
#include <string>
#include <vector>

namespace services {

struct ServiceEntry {
    std::wstring serviceName;  // the key name
    std::wstring displayName;
    std::uint32_t currentState = 0;
    // As the page sees it (services/start_type.h); 0 when the configuration
    // cannot be read.
    std::uint32_t startType = 0;
    std::uint32_t serviceType = 0;
    std::wstring description;
    std::wstring binaryPath;  // without its arguments
    // The recommendation of the first matching tbl_serversInitData row.
    std::int32_t suguestStatus = 0;
    std::int32_t forbitRate = 0;
    std::int32_t startTime = 0;
    std::int32_t categoty = 0;
};

// Only the UI thread touches it.
std::vector<ServiceEntry>& ServiceList();

}  // namespace services
