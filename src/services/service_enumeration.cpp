#include "services/service_enumeration.h"

#include <windows.h>
#include <winsvc.h>

#include <algorithm>
#include <vector>

#include "common/handles.h"
#include "services/start_type.h"

namespace services {

namespace {

// First sizes of the buffers; a record that needs more is asked for again
// with the size the manager names.
constexpr DWORD kEnumerationBytes = 65536;
constexpr DWORD kConfigBytes = 8192;
constexpr DWORD kDescriptionBytes = 520;
constexpr int kEnumerationAttempts = 16;

// Runs `query(buffer, size, &needed)` on a zero-filled buffer, once more with
// the needed size when the buffer was too small.
template <typename Query>
bool QueryGrowing(std::vector<BYTE>& buffer, Query query) {
    std::fill(buffer.begin(), buffer.end(), BYTE{0});
    DWORD needed = 0;
    if (query(buffer.data(), static_cast<DWORD>(buffer.size()), &needed)) return true;
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed <= buffer.size()) return false;
    buffer.assign(needed, 0);
    return query(buffer.data(), needed, &needed);
}

void AppendService(SC_HANDLE manager, const ENUM_SERVICE_STATUSW& record, std::vector<BYTE>& config,
                   std::vector<BYTE>& description, std::vector<ServiceEntry>& entries) {
    if (!record.lpServiceName || !*record.lpServiceName) return;
    const common::UniqueService service(OpenServiceW(manager, record.lpServiceName, SERVICE_QUERY_CONFIG));
    if (!service) return;
    ServiceEntry entry;
    entry.serviceName = record.lpServiceName;
    entry.currentState = record.ServiceStatus.dwCurrentState;
    if (QueryGrowing(config, [&](BYTE* buffer, DWORD size, DWORD* needed) {
            return QueryServiceConfigW(service.get(), reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer), size, needed);
        })) {
        const auto* read = reinterpret_cast<const QUERY_SERVICE_CONFIGW*>(config.data());
        if (read->lpBinaryPathName) entry.binaryPath = TrimBinaryPath(read->lpBinaryPathName);
        entry.startType = ShownStartType(
            read->dwStartType, read->dwStartType == SERVICE_AUTO_START && IsDelayedStart(service.get()));
        entry.serviceType = read->dwServiceType;
    }
    if (QueryGrowing(description, [&](BYTE* buffer, DWORD size, DWORD* needed) {
            return QueryServiceConfig2W(service.get(), SERVICE_CONFIG_DESCRIPTION, buffer, size, needed);
        })) {
        const auto* read = reinterpret_cast<const SERVICE_DESCRIPTIONW*>(description.data());
        if (read->lpDescription) entry.description = read->lpDescription;
    }
    if (record.lpDisplayName) entry.displayName = record.lpDisplayName;
    entries.push_back(std::move(entry));
}

}  // namespace

std::wstring TrimBinaryPath(std::wstring_view path) {
    const std::size_t slash = path.rfind(L'\\');
    if (slash == std::wstring_view::npos || slash == 0 || slash + 1 == path.size()) return std::wstring(path);
    return std::wstring(path.substr(0, path.find(L' ', slash)));
}

void EnumerateServices(std::vector<ServiceEntry>& entries) {
    const common::UniqueService manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) return;
    std::vector<BYTE> records(kEnumerationBytes);
    std::vector<BYTE> config(kConfigBytes);
    std::vector<BYTE> description(kDescriptionBytes);
    // Windows hands out the records that fit and a resume point for the
    // rest. Wine hands out the records that fit without a resume point: its
    // records are asked for again, from the start, in a buffer grown by the
    // size it names. The attempts are bounded against services that keep
    // appearing meanwhile.
    DWORD resume = 0;
    for (int attempt = 0; attempt < kEnumerationAttempts; ++attempt) {
        const DWORD resumedFrom = resume;
        DWORD needed = 0;
        DWORD returned = 0;
        const bool complete = EnumServicesStatusW(manager.get(), SERVICE_WIN32, SERVICE_STATE_ALL,
                                                  reinterpret_cast<ENUM_SERVICE_STATUSW*>(records.data()),
                                                  static_cast<DWORD>(records.size()), &needed, &returned, &resume);
        if (!complete && GetLastError() != ERROR_MORE_DATA) return;
        if (!complete && resume == resumedFrom) {
            records.assign(records.size() + needed, 0);
            continue;
        }
        const auto* first = reinterpret_cast<const ENUM_SERVICE_STATUSW*>(records.data());
        for (DWORD i = 0; i < returned; ++i) AppendService(manager.get(), first[i], config, description, entries);
        if (complete) return;
    }
}

}  // namespace services
