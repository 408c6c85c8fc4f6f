#include <windows.h>
#include <ole2.h>

#include <span>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/document_source.h"
#include "app/main_frame.h"
#include "common/app_directory.h"
#include "core/data_stores.h"
#include "core/log_file.h"
#include "core/store_databases.h"
#include "core/store_migration.h"
#include "core/worker_tasks.h"
#include "disk/move_recovery.h"
#include "engine/shell_launch.h"
#include "engine/standard_output.h"
#include "engine/wire_format.h"

extern "C" const std::uint8_t qoUiArchiveBegin[];
extern "C" const std::uint8_t qoUiArchiveEnd[];

namespace {

// Shown before the page can be: in both of the program's languages.
constexpr wchar_t kNoProgramFolder[] =
    L"Quillmark Orvane cannot find its own folder (its path may be longer than 260 characters), so it does not "
    L"start: it opens its data nowhere else.\n\n"
    L"Quillmark Orvane 找不到自己所在的文件夹（路径可能超过 260 个字符），因此不会启动：它不会在别处打开数据。";

// The log and the settings it is read with live in the stores: the log in
// the machine's, config.ini in the account's (copied there from beside the
// program once). A store that is refused leaves the log closed.
void OpenLog(const std::wstring& programFolder) {
    std::wstring note;
    if (const core::StoreFolder user = core::UserStore()) {
        note = core::CopyEarlierConfig(programFolder, user.path).text;
        core::LogFile::Instance().ReadLevel((user.path + L"\\config.ini").c_str());
    } else {
        note = user.refusal;
    }
    const core::StoreFolder machine = core::MachineStore();
    if (!machine) return;
    core::LogFile::Instance().Initialize(machine.path + L"\\Orvane.log");
    if (!note.empty()) core::LogFile::Instance().Write(engine::Utf8FromWide(note));
}

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
    // Never the working folder instead: a shortcut's "Start in" or a
    // scheduler would make the program open some other folder's data.
    const app::CommandLineOptions options = app::ProcessCommandLine();
    const std::wstring programFolder = common::GetAppDirectory().Text();
    if (programFolder.empty()) {
        // Without a window, whoever started it reads why.
        if (!options.headless || !engine::WriteStandardOutputLine(engine::Utf8FromWide(kNoProgramFolder)))
            MessageBoxW(nullptr, kNoProgramFolder, L"Quillmark Orvane", MB_OK | MB_ICONERROR);
        return 1;
    }
    OpenLog(programFolder);
    // Before anything opens the stores' databases.
    const core::MigrationNote migration = core::MigrateEarlierDatabase(programFolder);
    if (!migration.text.empty()) core::LogFile::Instance().Write(engine::Utf8FromWide(migration.text));
    for (const std::wstring& refusal : core::OpenStoreDatabases(engine::ProcessIsElevated()))
        core::LogFile::Instance().Write(engine::Utf8FromWide(refusal));
    OleInitialize(nullptr);
    const int result = RunUi(options);
    OleUninitialize();
    return result;
}
