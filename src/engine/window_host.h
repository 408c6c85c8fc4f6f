#pragma once
// The native object behind a window: it supplies the documents the window
// asks for and answers the script calls made on the window's view. The
// window calls it on the UI thread, except for the data loads of icon:<file>
// URLs: those read the file and come on the page server's request threads,
// several at once, so that the UI thread never waits on a file system; their
// answer touches nothing that only the UI thread owns.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/value.h"

namespace engine {

// One URL the window needs the content of.
class DataLoadRequest {
public:
    explicit DataLoadRequest(std::wstring url) : url_(std::move(url)) {}
    const std::wstring& Url() const { return url_; }
    // The data-ready operation: `data` is the content of the URL.
    void DataReady(std::span<const std::uint8_t> data) { data_.emplace(data.begin(), data.end()); }
    std::optional<std::vector<std::uint8_t>>& Data() { return data_; }

private:
    std::wstring url_;
    std::optional<std::vector<std::uint8_t>> data_;
};

enum class LoadResult { Loaded, Discarded };

class WindowHost {
public:
    virtual ~WindowHost() = default;
    // Answers through request.DataReady, or Discarded. Loaded without data
    // leaves the URL to the browser.
    virtual LoadResult OnDataLoad(DataLoadRequest& request) = 0;
    // The result, or empty when the call is not handled.
    virtual std::optional<Value> OnScriptCall(std::string_view name, std::span<const Value> args) = 0;
    // The window is closing, on its thread, before the callbacks still
    // waiting for the page fail: work that would carry on after a failed
    // callback is told to stop first.
    virtual void OnClosing() {}
    // A line for the program's log, from any thread.
    virtual void Log(std::string_view /*line*/) {}
};

}  // namespace engine
