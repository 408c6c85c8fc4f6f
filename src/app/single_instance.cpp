#include "app/single_instance.h"

#include <windows.h>

namespace app {

engine::Value getHaveRunshow(core::BridgeArgs) {
    static const int answer = [] {
        // Never closed: the mutex marks this process as running until it ends.
        CreateMutexW(nullptr, TRUE, L"tIdEwElL_rUn_fLag-2020_04_20-1607");
        return GetLastError() == ERROR_ALREADY_EXISTS ? 1 : 0;
    }();
    return answer;
}

}  // namespace app
