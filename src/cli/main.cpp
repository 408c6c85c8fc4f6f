// orvane.exe: the window's cleaners and managers for administrators' scripts
// and management tools. The result goes to standard output (one JSON
// document with --json, else text lines ending with a summary), messages to
// standard error, and the exit code says how it went (HelpText).
#include <windows.h>

#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "common/app_directory.h"
#include "core/data_stores.h"
#include "core/keep_list.h"
#include "core/operation_lock.h"
#include "core/store_databases.h"
#include "core/store_migration.h"
#include "core/worker_tasks.h"
#include "db/local_database.h"
#include "disk/move_recovery.h"
#include "engine/shell_launch.h"
#include "engine/wire_format.h"

namespace {

// Ctrl+C or Ctrl+Break stops a scan or clean between two items, so that the
// report still tells what was done.
BOOL WINAPI StopOnControl(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    core::RaiseStopFlag();
    return TRUE;
}

void Print(FILE* stream, const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}

int UsageError(const std::string& error) {
    Print(stderr, "orvane: " + error + "\n\n" + cli::HelpText());
    return cli::kUsage;
}

int Run(const std::vector<std::string>& words) {
    const cli::Parsed parsed = cli::ParseArguments(words);
    if (!parsed.usable) return UsageError(parsed.error);
    const cli::Command& command = parsed.command;
    if (command.verb == cli::Verb::Help) {
        Print(stdout, cli::HelpText());
        return cli::kDone;
    }
    // Never the working folder instead: data is opened where the program is.
    const std::wstring programFolder = common::GetAppDirectory().Text();
    if (programFolder.empty()) {
        Print(stderr, "orvane: the program's own folder cannot be found (its path may be longer than 260 "
                      "characters): nothing is opened or done\n");
        return cli::kNotPermitted;
    }
    // What an earlier version kept beside the program moves into the stores
    // at the first start that may rename it there; a standard user's orvane
    // only says that it is there and reads none of it.
    const bool elevated = engine::ProcessIsElevated();
    if (elevated) {
        const core::StoreFolder user = core::UserStore();
        for (const core::MigrationNote& note :
             {core::MigrateEarlierDatabase(programFolder),
              user ? core::CopyEarlierConfig(programFolder, user.path) : core::MigrationNote{}})
            if (!note.text.empty()) Print(stderr, "orvane: " + engine::Utf8FromWide(note.text) + "\n");
    } else if (core::EarlierDatabaseBeside(programFolder)) {
        Print(stderr, "orvane: an earlier version's database lies beside the program: the first start as an "
                      "administrator moves it into the data stores, and until then nothing of it is read\n");
    }
    // The window's stores: the service log, the journal and the keep list
    // are the same for both.
    for (const std::wstring& refusal : core::OpenStoreDatabases(elevated))
        Print(stderr, "orvane: " + engine::Utf8FromWide(refusal) + "\n");
    for (const db::Store store : db::kStores)
        if (const std::optional<db::DatabaseRecovery> recovery = db::Database(store).TakeRecovery())
            Print(stderr, "orvane: " + cli::RecoveryLine(*recovery) + "\n");
    disk::RecoverDownloadMoves();
    core::RefreshKeptItems();
    // Without elevation the machine's lock may not be opened: the account's
    // own lock keeps two of its orvanes apart.
    core::OperationLock lock(core::CommandLineScope(elevated));
    if (cli::NeedsOperationLock(command) && !lock.Take(0)) {
        // A lock that may not be used stops the work as a holder would.
        Print(stderr, lock.Refusal().empty()
                          ? "orvane: busy: the Quillmark Orvane window or another orvane is at work\n"
                          : "orvane: the operation lock cannot be taken: " + engine::Utf8FromWide(lock.Refusal()) + "\n");
        return cli::kBusy;
    }
    SetConsoleCtrlHandler(StopOnControl, TRUE);
    const core::TaskScope task;
    const cli::Outcome outcome = cli::RunCommand(command);
    lock.Release();
    if (outcome.exitCode == cli::kUsage) return UsageError(outcome.error);
    if (!outcome.error.empty()) Print(stderr, "orvane: " + outcome.error + "\n");
    if (command.json) {
        // Collectors always get one document, a failure's too.
        const engine::Json failure(outcome.json ? nullptr : cJSON_CreateObject());
        cJSON* json = outcome.json ? outcome.json.get() : failure.get();
        if (!outcome.error.empty()) cJSON_AddStringToObject(json, "error", outcome.error.c_str());
        cJSON_AddNumberToObject(json, "exitCode", outcome.exitCode);
        Print(stdout, engine::PrintJson(*json) + "\n");
    } else {
        std::string text;
        for (const std::string& line : outcome.lines) text += line + "\n";
        Print(stdout, text);
    }
    return outcome.exitCode;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    // A console shows the UTF-8 text as such; pipes and files get the same bytes.
    SetConsoleOutputCP(CP_UTF8);
    std::vector<std::string> words;
    for (int i = 1; i < argc; ++i) words.push_back(engine::Utf8FromWide(argv[i]));
    try {
        return Run(words);
    } catch (const std::exception& error) {
        Print(stderr, std::string("orvane: failed: ") + error.what() + "\n");
        return cli::kSomeLeft;
    }
}
