#include "common/windows_version.h"

#include "common/handles.h"
#include "common/proc_address.h"

namespace common {

namespace {
std::optional<NtVersion> ReadNtVersion() {
    using RtlGetNtVersionNumbersFn = void(WINAPI*)(DWORD*, DWORD*, DWORD*);
    const UniqueModule ntdll(LoadLibraryW(L"ntdll.dll"));
    if (!ntdll) return std::nullopt;
    const auto getNumbers = GetProcAddressAs<RtlGetNtVersionNumbersFn>(ntdll.get(), "RtlGetNtVersionNumbers");
    if (!getNumbers) return std::nullopt;
    NtVersion version{};
    DWORD build = 0;
    getNumbers(&version.major, &version.minor, &build);
    return version;
}

ReportedVersion ReadReportedVersion() {
    OSVERSIONINFOEXW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    if (!GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info))) return {};
    return {info.dwMajorVersion, info.dwMinorVersion, info.wProductType};
}
}  // namespace

int ClassifyWindowsGeneration(std::optional<NtVersion> nt, const ReportedVersion& reported) {
    if (nt) {
        if (nt->major == 6 && nt->minor == 3) return 8;
        if (nt->major == 10 && nt->minor == 0) return 10;
    }
    if (reported.major == 6 && reported.minor == 1 && reported.productType == VER_NT_WORKSTATION) return 7;
    return 0;
}

int GetWindowsGeneration() { return ClassifyWindowsGeneration(ReadNtVersion(), ReadReportedVersion()); }

int CheckWindowsVersion() {
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    if (!GetVersionExW(&info)) return 0;
    return static_cast<int>(info.dwMajorVersion);
}

}  // namespace common
