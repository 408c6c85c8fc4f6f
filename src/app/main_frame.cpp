#include "app/main_frame.h"

#include "app/bridge_table.h"
#include "app/document_source.h"
#include "app/update_check.h"
#include "common/app_directory.h"
#include "core/log_file.h"
#include "core/worker_tasks.h"
#include "junk/junk_lists.h"

namespace app {

MainFrame::MainFrame(const engine::WindowOptions& options) : window_(engine::BrowserWindow::Create(*this, options)) {
    // "Icon.ico" beside the program, whatever folder it was started in; a
    // missing one leaves the default icon.
    const std::wstring icon = common::GetAppDirectory().Text() + L"Icon.ico";
    if (window_)
        window_->SetIcon(static_cast<HICON>(LoadImageW(nullptr, icon.c_str(), IMAGE_ICON, 32, 32, LR_LOADFROMFILE)));
    core::ZoneBits() = 0;
    junk::Undeletables().Clear();
    StartUpdateCheck();
}

engine::LoadResult MainFrame::OnDataLoad(engine::DataLoadRequest& request) { return LoadDocument(request); }

std::optional<engine::Value> MainFrame::OnScriptCall(std::string_view name, std::span<const engine::Value> args) {
    return NativeFunctions().Call(name, args);
}

void MainFrame::OnClosing() { core::RaiseStopFlag(); }

void MainFrame::Log(std::string_view line) { core::LogFile::Instance().Write(line); }

}  // namespace app
