#include "support/recording_host.h"

#include <windows.h>

#include "core/worker_tasks.h"

namespace testsupport {

PublishedHost::PublishedHost() { core::PublishMainWindow(this); }
PublishedHost::~PublishedHost() { core::PublishMainWindow(nullptr); }

bool WaitForWorkers() {
    for (int i = 0; i < 3000; ++i) {
        if (core::LiveWorkerCount() == 0) return true;
        Sleep(10);
    }
    return false;
}

}  // namespace testsupport
