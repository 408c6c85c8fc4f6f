#pragma once
// What `orvane` was asked to do, read from its arguments: a plain function
// over the words, so that every form and every usage error is a table row.
// Verbs, options and ids are read in any letter case.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace cli {

enum class Verb {
    Help, Version, List, Scan, Clean, StartupList, StartupSwitch, ServicesList, ServicesSet,
    UndoList, UndoRestore, KeepList, KeepAdd, KeepRemove, KeepConfirm,
};

struct Command {
    Verb verb = Verb::Help;
    bool json = false;
    bool details = false;
    bool allUsers = false;           // Scan, Clean: every local user's profile
    bool enable = false;             // StartupSwitch: enable, else disable
    std::vector<std::string> words;  // ids; startup entries; service NAME TYPE; a change; a kept item
    std::string helpTopic;           // Help: the verb `help VERB` or `VERB --help` asks about, lower case
    std::optional<std::uint32_t> waitSeconds;  // --wait: how long to wait for the operation lock
    std::optional<std::uint64_t> minBytes;     // scan --min-bytes: more found than this exits 1
};

struct Parsed {
    bool usable = false;
    Command command;
    std::string error;  // when not usable: what is wrong, one line
};

// The words after the program's name, UTF-8.
Parsed ParseArguments(const std::vector<std::string>& arguments);

// The text of `orvane --help`.
const char* HelpText();

// The help for one verb (`help scan`): its lines of HelpText, then the exit
// codes; the whole text when `topic` is empty.
std::string HelpFor(const std::string& topic);

}  // namespace cli
