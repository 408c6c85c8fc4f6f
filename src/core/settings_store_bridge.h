#pragma once
// Native functions that are plain settings accessors.
#include "core/script_bridge.h"

namespace core {

// The documents' language code: the stored one when it is a proper text
// naming a language the documents have ("zh"), else "en".
engine::Value GetShowLanguage(BridgeArgs args);
// Stores the language code; 1 when stored, else 0.
engine::Value SetShowLanguage(BridgeArgs args);
// [total bytes cleaned as size text, count of one-click optimisations].
engine::Value getRightTopInfo(BridgeArgs args);

}  // namespace core
