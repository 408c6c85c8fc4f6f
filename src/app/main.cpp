#include <windows.h>
#include <ole2.h>

#include <span>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/document_source.h"
#include "app/main_frame.h"
#include "common/app_directory.h"
#include "core/log_file.h"
#include "core/store_databases.h"
#include "core/worker_tasks.h"
#include "engine/shell_launch.h"
#include "engine/wire_format.h"
#include "disk/move_recovery.h"

extern "C" const std::uint8_t qoUiArchiveBegin[];
extern "C" const std::uint8_t qoUiArchiveEnd[];

namespace {
// What the program keeps beside itself is found there whatever folder it was
// started from.
std::wstring BesideProgram(const wchar_t* name) { return common::GetAppDirectory().Text() + name; }

// The log level is settled during static initialisation, before anything else.
const bool logLevelRead = (core::LogFile::Instance().ReadLevel(BesideProgram(L"config.ini").c_str()), true);
const std::vector<std::wstring> storeRefusals = core::OpenStoreDatabases(engine::ProcessIsElevated());

// The result is the wParam of the quit message.
int RunMessagePump() {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

// -1 when the engine window cannot be created.
int RunUi(const app::CommandLineOptions& options) {
    core::LogFile::Instance().Initialize(BesideProgram(L"Orvane.log"));
    for (const std::wstring& refusal : storeRefusals) core::LogFile::Instance().Write(engine::Utf8FromWide(refusal));
    disk::RecoverDownloadMoves();
    app::OpenUiArchive(std::span<const std::uint8_t>(qoUiArchiveBegin, qoUiArchiveEnd));
    engine::WindowOptions windowOptions;
    windowOptions.headless = options.headless;
    windowOptions.port = options.port;
    // Never destroyed: a worker may still hold the published window when the
    // loop ends, and the process ends right after.
    auto* frame = new app::MainFrame(windowOptions);
    engine::BrowserWindow* window = frame->Window();
    if (!window) return -1;
    window->LoadFile(L"this://app/index.html");
    window->Show();
    // The address's token is for whoever reads standard output, never for a file.
    if (options.headless)
        core::LogFile::Instance().Write("Headless page served on port " + std::to_string(window->PagePort()));
    core::PublishMainWindow(window);
    const int result = RunMessagePump();
    core::PublishMainWindow(nullptr);
    // The page's last requests (its close among them) are answered. Scans
    // and cleans were told to stop when the window closed; a worker still
    // running after that must not see the process-wide lists and the log
    // destroyed under it: the process then ends without static destructors.
    window->StopServer();
    if (!core::StopAllWorkers(3000)) {
        core::LogFile::Instance().Write("Ending with workers still running");
        TerminateProcess(GetCurrentProcess(), static_cast<UINT>(result));
    }
    return result;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    app::KeepInstanceHandle(instance);
    OleInitialize(nullptr);
    const int result = RunUi(app::ProcessCommandLine());
    OleUninitialize();
    return result;
}
