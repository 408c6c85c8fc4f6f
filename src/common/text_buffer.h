#pragma once
// Caller-supplied text buffers of fixed capacity, as the exported functions
// receive them: text goes in whole, terminator included, or not at all.
#include <windows.h>

#include <cstddef>
#include <span>
#include <string_view>

namespace common {

// The capacity of every caller-supplied path or text buffer.
inline constexpr std::size_t kPathBufferUnits = MAX_PATH;

// Replaces the buffer's text by `text`. Answers false, leaving the buffer
// untouched, when the text and its terminator do not fit.
bool CopyToBuffer(std::span<wchar_t> buffer, std::wstring_view text);

// Appends `text` to the terminated text already in the buffer. Answers false,
// leaving the buffer untouched, when the result does not fit or the buffer
// holds no terminator.
bool AppendToBuffer(std::span<wchar_t> buffer, std::wstring_view text);

}  // namespace common
