// orvane.exe: the window's cleaners and managers for administrators' scripts
// and management tools. The result goes to standard output (one JSON
// document with --json, else text lines ending with a summary), messages to
// standard error, and the exit code says how it went (HelpText).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/run_document.h"
#include "cli/run_trail.h"
#include "common/app_directory.h"
#include "common/crash_point.h"
#include "common/text.h"
#include "common/version.h"
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

// The console's output code page as it was before this run, given back on
// every way out: a script's later output must not change with ours.
UINT g_consoleCodePage = 0;

void RestoreConsoleCodePage() {
    if (g_consoleCodePage) SetConsoleOutputCP(g_consoleCodePage);
}

// Ctrl+C or Ctrl+Break stops a scan or clean between two items, so that the
// report still tells what was done. Closing the console ends the process
// after this returns: the code page goes back first.
BOOL WINAPI StopOnControl(DWORD event) {
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
        core::RaiseStopFlag();
        return TRUE;
    }
    RestoreConsoleCodePage();
    return FALSE;
}

void Print(FILE* stream, const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}

// With --json, whatever happens, one document on standard output.
bool AsksForJson(const std::vector<std::string>& words) {
    return std::any_of(words.begin(), words.end(), [](const std::string& word) { return common::AsciiLowerCase(word) == "--json"; });
}

// The end of a run: its error on standard error (with the help for a usage
// error), and its document or text lines on standard output.
int Finish(bool json, const cli::RunFacts& started, cli::Outcome outcome) {
    if (outcome.exitCode == cli::kUsage)
        Print(stderr, "orvane: " + outcome.error + "\n\n" + cli::HelpText());
    else if (!outcome.error.empty())
        Print(stderr, "orvane: " + outcome.error + "\n");
    if (json) {
        cli::RunFacts facts = started;
        facts.endedUtc = cli::UtcNow();
        const engine::Json document = cli::RunDocument(facts, outcome.json.get(), outcome.error, outcome.exitCode);
        Print(stdout, engine::PrintJson(*document) + "\n");
    } else {
        std::string text;
        for (const std::string& line : outcome.lines) text += line + "\n";
        Print(stdout, text);
    }
    return outcome.exitCode;
}

cli::Outcome Failure(int exitCode, std::string error) {
    cli::Outcome outcome;
    outcome.exitCode = exitCode;
    outcome.error = std::move(error);
    return outcome;
}

cli::Outcome Version() {
    cli::Outcome outcome;
    outcome.lines.push_back(std::string("orvane ") + QO_VERSION_TEXT);
    return outcome;
}

cli::Outcome Run(const cli::Command& command) {
    // Never the working folder instead: data is opened where the program is.
    const std::wstring programFolder = common::GetAppDirectory().Text();
    if (programFolder.empty()) {
        return Failure(cli::kNotPermitted, "the program's own folder cannot be found (its path may be longer than 260 "
                                           "characters): nothing is opened or done");
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
    if (cli::NeedsOperationLock(command)) {
        if (command.waitSeconds && *command.waitSeconds > 0)
            Print(stderr, "orvane: waiting up to " + std::to_string(*command.waitSeconds) +
                              " seconds for the operation lock\n");
        if (!lock.Take(command.waitSeconds.value_or(0) * 1000)) {
            // A lock that may not be used stops the work as a holder would.
            return Failure(cli::kBusy,
                           lock.Refusal().empty()
                               ? "busy: the Quillmark Orvane window or another orvane is at work"
                               : "the operation lock cannot be taken: " + engine::Utf8FromWide(lock.Refusal()));
        }
    }
    // The tests' seam for a run that fails by an exception.
    common::FaultPoint("orvane-run");
    const core::TaskScope task;
    cli::Outcome outcome = cli::RunCommand(command);
    lock.Release();
    return outcome;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    // A console shows the UTF-8 text as such; pipes and files get the same
    // bytes. Its own code page comes back on every way out.
    g_consoleCodePage = GetConsoleOutputCP();
    SetConsoleCtrlHandler(StopOnControl, TRUE);
    SetConsoleOutputCP(CP_UTF8);
    struct CodePageBack {
        ~CodePageBack() { RestoreConsoleCodePage(); }
    } codePageBack;
    std::vector<std::string> words;
    for (int i = 1; i < argc; ++i) words.push_back(engine::Utf8FromWide(argv[i]));
    const bool json = AsksForJson(words);
    const cli::RunFacts started = cli::CurrentRunFacts();
    try {
        const cli::Parsed parsed = cli::ParseArguments(words);
        if (!parsed.usable) return Finish(json, started, Failure(cli::kUsage, parsed.error));
        const cli::Command& command = parsed.command;
        if (command.verb == cli::Verb::Help) {
            Print(stdout, cli::HelpFor(command.helpTopic));
            return cli::kDone;
        }
        if (command.verb == cli::Verb::Version) return Finish(json, started, Version());
        // A run that changes something leaves one event in the Application
        // log, also when it ends by an exception (then with code 1).
        cli::RunTrail trail(command);
        cli::Outcome outcome = Run(command);
        trail.Ended(outcome.exitCode, outcome.json.get());
        return Finish(json, started, std::move(outcome));
    } catch (const std::exception& error) {
        return Finish(json, started, Failure(cli::kSomeLeft, std::string("failed: ") + error.what()));
    }
}
