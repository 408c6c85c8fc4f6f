#include "support/recording_host.h"

#include <windows.h>

#include "app/worker_tasks.h"

namespace testsupport {

PublishedHost::PublishedHost() { app::PublishMainWindow(this); }
PublishedHost::~PublishedHost() { app::PublishMainWindow(nullptr); }

bool WaitForWorkers() {
    for (int i = 0; i < 3000; ++i) {
        if (app::LiveWorkerBits() == 0) return true;
        Sleep(10);
    }
    return false;
}

}  // namespace testsupport
