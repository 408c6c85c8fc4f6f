#include "cli/arguments.h"

#include <algorithm>
#include <cstdint>
#include <optional>

#include "common/text.h"

namespace cli {

namespace {

struct Form {
    const char* first;
    const char* second;  // nullptr: the verb is one word
    Verb verb;
    std::size_t minimumWords;
    std::size_t maximumWords;
    bool details;  // accepts --details
};

constexpr std::size_t kAny = static_cast<std::size_t>(-1);

// Every command: its words, how many operands it takes, its options.
constexpr Form kForms[] = {
    {"list", nullptr, Verb::List, 0, 0, false},
    {"scan", nullptr, Verb::Scan, 0, kAny, true},
    // Nothing is cleaned by default: the categories are always named.
    {"clean", nullptr, Verb::Clean, 1, kAny, false},
    {"startup", "list", Verb::StartupList, 0, 0, false},
    {"startup", "disable", Verb::StartupSwitch, 1, kAny, false},
    {"startup", "enable", Verb::StartupSwitch, 1, kAny, false},
    {"services", "list", Verb::ServicesList, 0, 0, false},
    {"services", "set", Verb::ServicesSet, 2, 2, false},
    {"undo", "list", Verb::UndoList, 0, 0, false},
    {"undo", "restore", Verb::UndoRestore, 1, 1, false},
    {"keep", "list", Verb::KeepList, 0, 0, false},
    {"keep", "add", Verb::KeepAdd, 1, 1, false},
    {"keep", "remove", Verb::KeepRemove, 1, 1, false},
    {"keep", "confirm", Verb::KeepConfirm, 0, 0, false},
    {"version", nullptr, Verb::Version, 0, 0, false},
};

Parsed Usage(std::string error) { return Parsed{false, {}, std::move(error)}; }

bool IsHelpWord(const std::string& lowered) {
    return lowered == "--help" || lowered == "-h" || lowered == "-?" || lowered == "/?" || lowered == "/help";
}

bool IsFirstWord(const std::string& lowered) {
    return std::any_of(std::begin(kForms), std::end(kForms),
                       [&](const Form& candidate) { return lowered == candidate.first; });
}

Parsed Help(std::string topic) {
    Parsed help;
    help.usable = true;
    help.command.helpTopic = std::move(topic);
    return help;
}

// A whole number of decimal digits up to `limit`; nothing otherwise.
std::optional<std::uint64_t> Count(const std::string& word, std::uint64_t limit) {
    if (word.empty() || word.size() > 19 || word.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const std::uint64_t value = std::stoull(word);
    if (value > limit) return std::nullopt;
    return value;
}

}  // namespace

Parsed ParseArguments(const std::vector<std::string>& arguments) {
    if (arguments.empty()) return Usage("no command given");
    const std::string first = common::AsciiLowerCase(arguments[0]);
    if (IsHelpWord(first) || first == "help") {
        if (first != "help" || arguments.size() == 1) return Help({});
        const std::string topic = common::AsciiLowerCase(arguments[1]);
        if (!IsFirstWord(topic)) return Usage("unknown command: " + arguments[1]);
        return Help(topic);
    }
    if (first == "--version") {
        if (arguments.size() > 1) return Usage("too many operands");
        Parsed version;
        version.usable = true;
        version.command.verb = Verb::Version;
        return version;
    }
    // `VERB --help` anywhere after a known verb: that verb's help.
    if (IsFirstWord(first) &&
        std::any_of(arguments.begin() + 1, arguments.end(), [](const std::string& word) { return IsHelpWord(common::AsciiLowerCase(word)); }))
        return Help(first);
    const std::string second = arguments.size() > 1 ? common::AsciiLowerCase(arguments[1]) : std::string();
    const Form* form = nullptr;
    for (const Form& candidate : kForms) {
        if (first != candidate.first) continue;
        if (!candidate.second || second == candidate.second) {
            form = &candidate;
            break;
        }
    }
    if (!form) return Usage(IsFirstWord(first) ? "unknown " + first + " command" : "unknown command: " + arguments[0]);
    Parsed parsed;
    Command& command = parsed.command;
    command.verb = form->verb;
    command.enable = form->second && std::string_view(form->second) == "enable";
    for (std::size_t i = form->second ? 2 : 1; i < arguments.size(); ++i) {
        const std::string& word = arguments[i];
        const std::string option = common::AsciiLowerCase(word);
        // An option's value: the next word.
        const auto value = [&]() -> const std::string* { return i + 1 < arguments.size() ? &arguments[++i] : nullptr; };
        if (option == "--json") {
            command.json = true;
        } else if (option == "--details" && form->details) {
            command.details = true;
        } else if (option == "--all-users" && (form->verb == Verb::Scan || form->verb == Verb::Clean)) {
            command.allUsers = true;
        } else if (option == "--wait") {
            const std::string* seconds = value();
            // At most a day: a longer wait is a mistake, not a plan.
            const std::optional<std::uint64_t> count = seconds ? Count(*seconds, 86400) : std::nullopt;
            if (!count) return Usage("--wait takes a number of seconds (0 to 86400)");
            command.waitSeconds = static_cast<std::uint32_t>(*count);
        } else if (option == "--min-bytes" && form->verb == Verb::Scan) {
            const std::string* bytes = value();
            const std::optional<std::uint64_t> count = bytes ? Count(*bytes, UINT64_MAX / 2) : std::nullopt;
            if (!count) return Usage("--min-bytes takes a number of bytes");
            command.minBytes = *count;
        } else if (word.starts_with("--")) {
            return Usage("unknown option: " + word);
        } else {
            command.words.push_back(word);
        }
    }
    const std::size_t count = command.words.size();
    if (count < form->minimumWords) return Usage("missing operand");
    if (count > form->maximumWords) return Usage("too many operands");
    parsed.usable = true;
    return parsed;
}

const char* HelpText() {
    return "usage: orvane COMMAND [OPTIONS]\n"
           "\n"
           "  list [--json]                       the category ids and their names\n"
           "  scan [--json] [--details] [--min-bytes N] [ID...]  what a clean would remove (all categories\n"
           "                                      by default); exit code 1 when more than N bytes are found\n"
           "  clean [--json] ID...                clean the named categories (\"all\" names every one)\n"
           "  scan|clean --all-users [--json] ID...  the per-user file categories (junk.temp,\n"
           "                                      junk.rdp_cache, junk.recycle_bin, junk.thumbnails) of every\n"
           "                                      local user's profile, as SYSTEM or an administrator\n"
           "                                      (scan without an id: all four)\n"
           "  startup list [--json]               the startup entries, with their ids and numbers\n"
           "  startup disable|enable ENTRY... [--json]  switch startup entries off or on (an id such as\n"
           "                                      hkcu-run:NAME or startup-folder:FILE.lnk, or a number)\n"
           "  services list [--json]              the services and their start types\n"
           "  services set NAME TYPE [--json]     TYPE: auto, delayed, manual or disabled\n"
           "  undo list [--json]                  the changes that can be undone, newest first\n"
           "  undo restore ID [--json]            undo one (what exists again or was changed since is kept)\n"
           "  keep list [--json]                  the kept files, folders and registry keys and entries\n"
           "  keep add PATH_OR_KEY [--json]       never list or delete it (a folder or key: all below it)\n"
           "  keep remove PATH_OR_KEY [--json]    take it off the keep list\n"
           "  keep confirm [--json]               after the keep list was lost with a damaged database:\n"
           "                                      you have checked it, cleaning may go on\n"
           "  version [--json]                    the program's version (--version: the same, plain)\n"
           "  help [COMMAND]                      this help, or one command's (also COMMAND --help)\n"
           "\n"
           "Any command also takes --wait SECONDS: wait that long for the window or another orvane to\n"
           "finish instead of answering busy. Commands, ids, types and options are read in any letter case.\n"
           "An ID is a category id from \"orvane list\" (junk.temp, browser.chrome, registry.software, ...),\n"
           "a group (junk.*, browser.*, apps.*, registry.*) or all. A running browser's cache is left\n"
           "whole. Registry entries are saved to a backup file before they go.\n"
           "With --json the result is one JSON document on standard output; otherwise its last line\n"
           "is a one-line summary. Messages go to standard error.\n"
           "\n"
           "Exit codes:\n"
           "  0  done (files in use, left for the next clean, included)\n"
           "  1  done, but some items could not be removed or changed; a scan that found more than\n"
           "     --min-bytes; a change undone already\n"
           "  2  usage error (nothing was done)\n"
           "  3  busy: the Quillmark Orvane window or another orvane is at work\n"
           "  4  not permitted: the rights this needs are lacking (run it as an administrator), a per-user\n"
           "     category run as SYSTEM (use --all-users), a category --all-users does not take, the\n"
           "     change is refused (a driver, or a start type that could not be given back), or the keep\n"
           "     list cannot be read or was lost, so nothing is deleted, or the program's own folder\n"
           "     cannot be found (the message says why)\n";
}

std::string HelpFor(const std::string& topic) {
    const std::string text = HelpText();
    if (topic.empty()) return text;
    // The usage line, the topic's lines with their continuations, the exit codes.
    std::string help = "usage: orvane COMMAND [OPTIONS]\n\n";
    bool inTopic = false;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = text.find('\n', at);
        const std::string line = text.substr(at, end - at + 1);
        at = end + 1;
        const bool continuation = line.starts_with("        ");
        if (!continuation) inTopic = line.starts_with("  " + topic + " ") || line.starts_with("  " + topic + "|") ||
                                     line.starts_with("  scan|" + topic + " ");
        if (inTopic) help += line;
    }
    return help + text.substr(text.find("\nAny command"));
}

}  // namespace cli
