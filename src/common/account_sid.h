#pragma once
// Which account this process runs as, as a SID text. One place answers it, so
// that a test can make the process stand for another account (SYSTEM): every
// Wine process runs as the one Wine account.
#include <string>
#include <string_view>

namespace common {

inline constexpr wchar_t kLocalSystemSid[] = L"S-1-5-18";

// The string form of the process token's user ("S-1-5-21-...", "S-1-5-18");
// empty when the token cannot be read.
std::wstring ProcessAccountSid();

// The token's own answer, which no test's seam changes: for what the system
// itself enforces with it (the DACLs of the account's own store).
std::wstring TokenAccountSid();

// A test's seam: ProcessAccountSid answers `sid` from now on; an empty text
// gives the token's answer back.
void SetProcessAccountSidForTest(std::wstring sid);

}  // namespace common
