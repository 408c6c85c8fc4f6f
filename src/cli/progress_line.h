#pragma once
// The progress of a scan or clean on standard error, one line rewritten in
// place, only when standard error is a console: never in a pipe or file
// that a script or management tool collects.
#include <string_view>

namespace cli {

class ProgressLine {
public:
    ProgressLine();
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    // "<what>  NN%".
    void Show(std::string_view what, int percent);

private:
    bool console_;
    std::size_t shown_ = 0;  // characters of the line now shown
};

}  // namespace cli
