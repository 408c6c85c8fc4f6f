#pragma once
// An object's owner and DACL read back with GetNamedSecurityInfoW, as SDDL
// ("O:BAD:P(A;OICI;FA;;;SY)..."), for tests to compare with what was asked.
#include <string>

namespace testsupport {

// "" when they cannot be read.
std::wstring SecurityText(const std::wstring& path);

}  // namespace testsupport
