#include <windows.h>
#include <ole2.h>

#include <span>

#include "app/log_file.h"
#include "db/local_database.h"
#include "engine/ui_archive.h"

extern "C" const std::uint8_t qoUiArchiveBegin[];
extern "C" const std::uint8_t qoUiArchiveEnd[];

namespace {
// The log level is settled during static initialisation, before anything else.
const bool logLevelRead = (app::LogFile::Instance().ReadLevel(L".\\config.ini"), true);
const bool databaseOpened = (db::Database().Open(), true);
}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    OleInitialize(nullptr);
    app::LogFile::Instance().Initialize(L"Orvane.log");
    engine::UiArchiveHandle archive =
        engine::OpenArchive(std::span<const std::uint8_t>(qoUiArchiveBegin, qoUiArchiveEnd));
    OleUninitialize();
    return archive ? 0 : -1;
}
