#include "registry/registry_issue.h"

#include "common/text.h"

namespace registry {

std::array<RegistryIssueList, kRegistryCategoryCount>& RegistryIssueLists() {
    static std::array<RegistryIssueList, kRegistryCategoryCount> lists;
    return lists;
}

RegistryIssue KeyIssue(std::uint32_t root, std::wstring keyPath, std::wstring keyName) {
    return {IssueKind::Key, root, std::move(keyPath), std::move(keyName), {}};
}

RegistryIssue ValueIssue(std::uint32_t root, std::wstring keyPath, std::wstring keyName, std::wstring valueName) {
    return {IssueKind::Value, root, std::move(keyPath), std::move(keyName), std::move(valueName)};
}

std::wstring ShownValueName(const std::wstring& valueName) { return valueName.empty() ? L"(Default)" : valueName; }

std::wstring KeepTextOf(const RegistryIssue& issue) {
    std::wstring text(common::WithoutTrailingBackslashes(std::wstring(RootName(issue.root)) + L"\\" +
                                                         issue.keyPath + issue.keyName));
    if (issue.IsValueIssue()) text += L"\\" + ShownValueName(issue.valueName);
    return text;
}

void RemoveKept(RegistryIssueList& list, const common::KeptItems& kept) {
    if (kept.empty()) return;
    std::erase_if(list, [&kept](const RegistryIssue& issue) { return common::IsKept(kept, KeepTextOf(issue)); });
}

const wchar_t* RootName(std::uint32_t root) {
    switch (root) {
        case 0x80000000: return L"HKEY_CLASSES_ROOT";
        case 0x80000001: return L"HKEY_CURRENT_USER";
        case 0x80000002: return L"HKEY_LOCAL_MACHINE";
        case 0x80000003: return L"HKEY_USERS";
        case 0x80000005: return L"HKEY_CURRENT_CONFIG";
        default: return L"";
    }
}

}  // namespace registry
