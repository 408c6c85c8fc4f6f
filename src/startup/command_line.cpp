#include "startup/command_line.h"

#include <algorithm>

#include "common/env_path.h"

namespace startup {

std::wstring CutCommandLine(std::wstring_view commandLine) {
    std::wstring text(commandLine);
    if (const std::size_t quote = text.rfind(L'"'); quote != std::wstring::npos) text.resize(quote + 1);
    std::erase(text, L'"');
    if (const std::size_t dot = text.find(L'.'); dot != std::wstring::npos)
        if (const std::size_t blank = text.find(L' ', dot + 1); blank != std::wstring::npos) text.resize(blank + 1);
    return text;
}

std::wstring ChooseProgramPath(const std::wstring& expanded, const std::wstring& alternative) {
    return alternative.find(L":\\") != std::wstring::npos ? alternative : expanded;
}

std::wstring CommandLineToProgramPath(std::wstring_view commandLine) {
    std::wstring expanded;
    std::wstring alternative;
    common::ExpandEnvironmentPath(CutCommandLine(commandLine), expanded, alternative);
    return ChooseProgramPath(expanded, alternative);
}

}  // namespace startup
