#include "cli/arguments.h"

#include <algorithm>

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
};

Parsed Usage(std::string error) { return Parsed{false, {}, std::move(error)}; }

}  // namespace

Parsed ParseArguments(const std::vector<std::string>& arguments) {
    if (arguments.empty()) return Usage("no command given");
    const std::string& first = arguments[0];
    if (first == "--help" || first == "-h" || first == "/?" || first == "help") {
        Parsed help;
        help.usable = true;
        return help;
    }
    const Form* form = nullptr;
    for (const Form& candidate : kForms) {
        if (first != candidate.first) continue;
        if (!candidate.second || (arguments.size() > 1 && arguments[1] == candidate.second)) {
            form = &candidate;
            break;
        }
    }
    if (!form) {
        const bool known = std::any_of(std::begin(kForms), std::end(kForms),
                                       [&](const Form& candidate) { return first == candidate.first; });
        return Usage(known ? "unknown " + first + " command" : "unknown command: " + first);
    }
    Parsed parsed;
    parsed.command.verb = form->verb;
    parsed.command.enable = form->second && std::string_view(form->second) == "enable";
    for (std::size_t i = form->second ? 2 : 1; i < arguments.size(); ++i) {
        const std::string& word = arguments[i];
        if (word == "--json") {
            parsed.command.json = true;
        } else if (word == "--details" && form->details) {
            parsed.command.details = true;
        } else if (word == "--all-users" && (form->verb == Verb::Scan || form->verb == Verb::Clean)) {
            parsed.command.allUsers = true;
        } else if (word.starts_with("--")) {
            return Usage("unknown option: " + word);
        } else {
            parsed.command.words.push_back(word);
        }
    }
    const std::size_t count = parsed.command.words.size();
    if (count < form->minimumWords) return Usage("missing operand");
    if (count > form->maximumWords) return Usage("too many operands");
    parsed.usable = true;
    return parsed;
}

const char* HelpText() {
    return "usage: orvane COMMAND [OPTIONS]\n"
           "\n"
           "  list [--json]                       the category ids and their names\n"
           "  scan [--json] [--details] [ID...]   what a clean would remove (all categories by default)\n"
           "  clean [--json] ID...                clean the named categories (\"all\" names every one)\n"
           "  scan|clean --all-users [--json] ID...  the per-user file categories (junk.temp,\n"
           "                                      junk.rdp_cache, junk.recycle_bin, junk.thumbnails) of every\n"
           "                                      local user's profile, as SYSTEM or an administrator\n"
           "                                      (scan without an id: all four)\n"
           "  startup list [--json]               the startup entries, numbered\n"
           "  startup disable|enable N... [--json]  switch startup entries off or on\n"
           "  services list [--json]              the services and their start types\n"
           "  services set NAME TYPE [--json]     TYPE: auto, delayed, manual or disabled\n"
           "  undo list [--json]                  the changes that can be undone, newest first\n"
           "  undo restore ID [--json]            undo one (what exists again or was changed since is kept)\n"
           "  keep list [--json]                  the kept files, folders and registry keys and entries\n"
           "  keep add PATH_OR_KEY [--json]       never list or delete it (a folder or key: all below it)\n"
           "  keep remove PATH_OR_KEY [--json]    take it off the keep list\n"
           "  keep confirm [--json]               after the keep list was lost with a damaged database:\n"
           "                                      you have checked it, cleaning may go on\n"
           "\n"
           "An ID is a category id from \"orvane list\" (junk.temp, registry.software, ...), a group\n"
           "(junk.*, registry.*) or all. Registry entries are saved to a backup file before they go.\n"
           "With --json the result is one JSON document on standard output; otherwise its last line\n"
           "is a one-line summary. Messages go to standard error.\n"
           "\n"
           "Exit codes:\n"
           "  0  done\n"
           "  1  done, but some items could not be removed or changed\n"
           "  2  usage error (nothing was done)\n"
           "  3  busy: the Quillmark Orvane window or another orvane is at work\n"
           "  4  not permitted: the rights this needs are lacking (run it as an administrator), a per-user\n"
           "     category run as SYSTEM (use --all-users), a category --all-users does not take, the\n"
           "     change is refused (a driver, or a start type that could not be given back), or the keep\n"
           "     list cannot be read or was lost, so nothing is deleted, or the program's own folder\n"
           "     cannot be found (the message says why)\n";
}

}  // namespace cli
