#include "suite/health_status.h"

#include <cwchar>

#include "core/settings_store.h"
#include "suite/health_rules.h"

namespace suite {

namespace {

int ProductNumber(const wchar_t* name) {
    const std::optional<std::wstring> text = core::ReadProductText(name);
    return text ? static_cast<int>(std::wcstol(text->c_str(), nullptr, 10)) : 0;
}

}  // namespace

std::wstring LastScanText(const std::wstring& lastScan, std::time_t now) {
    std::optional<std::tm> time = ParseOneClickTime(lastScan);
    if (!time) return kNeverScanned;
    const std::time_t then = std::mktime(&*time);
    if (then == static_cast<std::time_t>(-1)) return kNeverScanned;
    return ElapsedText(static_cast<std::int64_t>(now) - static_cast<std::int64_t>(then));
}

engine::Value GetHealthStatus(core::BridgeArgs) {
    const std::optional<std::wstring> status = core::ReadProductText(L"SystemStatus");
    const std::optional<std::wstring> lastScan = core::ReadLastOneClickTime();
    return engine::Value::Array({
        HealthStatusClass(status ? std::optional<std::wstring_view>(*status) : std::nullopt),
        lastScan ? LastScanText(*lastScan, std::time(nullptr)) : std::wstring(),
        static_cast<int>(core::ReadHealthScore()),
        ProductNumber(L"ErrorNumber"),
        ProductNumber(L"ErrorItems"),
        core::ReadWaitCleanSize(),
        0,
        static_cast<int>(core::ReadRegistryIssueCount()),
        0,
    });
}

}  // namespace suite
