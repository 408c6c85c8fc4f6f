#include "support/security_text.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

namespace testsupport {

std::wstring SecurityText(const std::wstring& path) {
    constexpr SECURITY_INFORMATION kWhat = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, kWhat, nullptr, nullptr, nullptr, nullptr,
                              &descriptor) != ERROR_SUCCESS)
        return {};
    wchar_t* text = nullptr;
    std::wstring result;
    if (ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1, kWhat, &text, nullptr))
        result = text;
    LocalFree(text);
    LocalFree(descriptor);
    return result;
}

}  // namespace testsupport
