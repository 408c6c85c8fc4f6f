#pragma once
// The program reads two options, for automation and tests:
//   --headless   no browser window: the page's address goes to standard output
//   --port N     the page server's port (1 to 65535); else a free one
// Anything else on the command line is ignored.
#include <span>
#include <string>

namespace app {

struct CommandLineOptions {
    bool headless = false;
    int port = 0;
    bool operator==(const CommandLineOptions&) const = default;
};

// `arguments`: the command line's words after the program's name.
CommandLineOptions ParseCommandLine(std::span<const std::wstring> arguments);
// The process's own command line.
CommandLineOptions ProcessCommandLine();

}  // namespace app
