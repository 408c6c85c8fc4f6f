#include "common/account_sid.h"

#include <windows.h>
#include <sddl.h>

#include <mutex>
#include <vector>

#include "common/handles.h"

namespace common {

namespace {

std::mutex overrideLock;
std::wstring overrideSid;

}  // namespace

std::wstring TokenAccountSid() {
    UniqueKernelHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) return {};
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    std::vector<std::uint64_t> buffer(size / sizeof(std::uint64_t) + 1);  // aligned for the pointer in it
    auto* user = reinterpret_cast<TOKEN_USER*>(buffer.data());
    wchar_t* text = nullptr;
    if (size == 0 || !GetTokenInformation(token.get(), TokenUser, user, size, &size) ||
        !ConvertSidToStringSidW(user->User.Sid, &text))
        return {};
    std::wstring sid(text);
    LocalFree(text);
    return sid;
}

std::wstring ProcessAccountSid() {
    {
        const std::lock_guard guard(overrideLock);
        if (!overrideSid.empty()) return overrideSid;
    }
    return TokenAccountSid();
}

void SetProcessAccountSidForTest(std::wstring sid) {
    const std::lock_guard guard(overrideLock);
    overrideSid = std::move(sid);
}

}  // namespace common
