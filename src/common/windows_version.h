#pragma once
// Which Windows runs the program. GetVersionExW answers what the system tells
// an application whose manifest declares no supported versions (6.2 on
// Windows 8.1 and 10); ntdll's RtlGetNtVersionNumbers tells the truth.
#include <windows.h>

#include <optional>

namespace common {

struct NtVersion {
    DWORD major;
    DWORD minor;
};

// What GetVersionExW reports with an OSVERSIONINFOEXW.
struct ReportedVersion {
    DWORD major;
    DWORD minor;
    BYTE productType;
};

// 10 for the 10.0 line, 8 for 8.1 (by the true version), 7 for a Windows 7
// workstation (by the reported version), 0 for anything else, Windows 8 and
// server editions of 6.1 included. `nt` is empty when ntdll lacks the call.
int ClassifyWindowsGeneration(std::optional<NtVersion> nt, const ReportedVersion& reported);

// The generation of the running Windows: 10, 8, 7 or 0.
int GetWindowsGeneration();

// The major version that GetVersionExW reports to this process.
int CheckWindowsVersion();

}  // namespace common
