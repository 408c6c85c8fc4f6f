#pragma once
// Whether this 32-bit process runs on 64-bit Windows.

namespace common {

// True when kernel32 has IsWow64Process and it reports TRUE for this process.
bool RunsUnderWow64();

}  // namespace common
