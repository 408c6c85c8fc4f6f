#pragma once
// A small wide-string holder that can write itself into a byte block and read
// itself back. The block: a 32-bit little-endian total length (characters × 2
// + 10), the UTF-16 characters, one 16-bit zero, and the ASCII marker "WSTR".
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace common {

// An object that travels as a self-describing byte block.
class MY_OBJECT {
public:
    virtual ~MY_OBJECT() = default;
    virtual std::vector<std::uint8_t> WriteBlock() const = 0;
    // Reads the block at the start of `bytes`; answers its length, or -1 when
    // no well-formed block starts there (the object is then unchanged).
    virtual int ReadBlock(std::span<const std::uint8_t> bytes) = 0;
};

class CMyStdWString : public MY_OBJECT {
public:
    CMyStdWString() = default;
    explicit CMyStdWString(std::wstring text) : text_(std::move(text)) {}

    const std::wstring& Text() const { return text_; }

    std::vector<std::uint8_t> WriteBlock() const override;
    int ReadBlock(std::span<const std::uint8_t> bytes) override;

private:
    std::wstring text_;
};

}  // namespace common
