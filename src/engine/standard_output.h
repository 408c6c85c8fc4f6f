#pragma once
// One line of text on the program's standard output. The program is a GUI
// program: started from a shell it has no console of its own, so the line
// goes to the handle it inherited, or else to the console of the process that
// started it.
#include <string_view>

namespace engine {

bool WriteStandardOutputLine(std::string_view line);

}  // namespace engine
