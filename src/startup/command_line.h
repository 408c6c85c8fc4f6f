#pragma once
// The program that a Run value's command line starts.
#include <string>
#include <string_view>

namespace startup {

// The command line up to the program: cut after its last double quote, the
// quotes removed, then cut after the first blank that follows the first ".".
// That blank stays, as the last character.
std::wstring CutCommandLine(std::wstring_view commandLine);

// The alternative (64-bit) path when it names a drive path, else the expanded one.
std::wstring ChooseProgramPath(const std::wstring& expanded, const std::wstring& alternative);

// CutCommandLine, then the environment token expanded.
std::wstring CommandLineToProgramPath(std::wstring_view commandLine);

}  // namespace startup
