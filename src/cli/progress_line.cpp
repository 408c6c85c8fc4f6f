#include "cli/progress_line.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace cli {

ProgressLine::ProgressLine() {
    DWORD mode = 0;
    console_ = GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

ProgressLine::~ProgressLine() {
    if (console_ && shown_) std::fprintf(stderr, "\r%*s\r", static_cast<int>(shown_), "");
}

void ProgressLine::Show(std::string_view what, int percent) {
    if (!console_) return;
    std::string line(what);
    line += "  " + std::to_string(percent) + "%";
    // Spaces over what is left of a longer line before.
    const std::size_t width = line.size();
    if (shown_ > width) line.append(shown_ - width, ' ');
    std::fprintf(stderr, "\r%s", line.c_str());
    std::fflush(stderr);
    shown_ = width;
}

}  // namespace cli
