#include "common/text_buffer.h"

#include <algorithm>

namespace common {

namespace {
bool WriteAt(std::span<wchar_t> buffer, std::size_t offset, std::wstring_view text) {
    if (offset >= buffer.size() || text.size() >= buffer.size() - offset) return false;
    std::ranges::copy(text, buffer.begin() + static_cast<std::ptrdiff_t>(offset));
    buffer[offset + text.size()] = L'\0';
    return true;
}
}  // namespace

bool CopyToBuffer(std::span<wchar_t> buffer, std::wstring_view text) { return WriteAt(buffer, 0, text); }

bool AppendToBuffer(std::span<wchar_t> buffer, std::wstring_view text) {
    const auto terminator = std::ranges::find(buffer, L'\0');
    if (terminator == buffer.end()) return false;
    return WriteAt(buffer, static_cast<std::size_t>(terminator - buffer.begin()), text);
}

}  // namespace common
