#pragma once
// The home page's health display, read from the settings store on every call.
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

#include "core/script_bridge.h"

namespace suite {

// The text of element 1: the time since `lastScan` as of `now`; the
// never-scanned text when it is empty or not a valid time (a stored time
// that fails the checks or the calendar conversion counts as never scanned).
std::wstring LastScanText(const std::wstring& lastScan, std::time_t now);

// getHealthStatus(): [status class, time since the last scan, score, errors,
// error items, pending junk size, 0, pending registry issues, 0].
engine::Value GetHealthStatus(core::BridgeArgs args);

}  // namespace suite
