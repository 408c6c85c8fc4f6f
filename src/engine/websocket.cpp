#include "engine/websocket.h"

#include <windows.h>
#include <bcrypt.h>

#include <memory>
#include <vector>

namespace engine::websocket {

namespace {

constexpr std::string_view kHandshakeGuid = "258EAFA5-E914-47DA-95CA-C5AB0DC85B11";

std::string Base64(const std::uint8_t* data, std::size_t size) {
    static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    for (std::size_t i = 0; i < size; i += 3) {
        const std::uint32_t group = data[i] << 16 | (i + 1 < size ? data[i + 1] << 8 : 0) | (i + 2 < size ? data[i + 2] : 0);
        text += kDigits[group >> 18 & 63];
        text += kDigits[group >> 12 & 63];
        text += i + 1 < size ? kDigits[group >> 6 & 63] : '=';
        text += i + 2 < size ? kDigits[group & 63] : '=';
    }
    return text;
}

struct AlgorithmCloser {
    void operator()(BCRYPT_ALG_HANDLE algorithm) const { BCryptCloseAlgorithmProvider(algorithm, 0); }
};
struct HashCloser {
    void operator()(BCRYPT_HASH_HANDLE hash) const { BCryptDestroyHash(hash); }
};

std::optional<std::array<std::uint8_t, 20>> Sha1(std::string_view text) {
    BCRYPT_ALG_HANDLE rawAlgorithm = nullptr;
    if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&rawAlgorithm, BCRYPT_SHA1_ALGORITHM, nullptr, 0))) return std::nullopt;
    const std::unique_ptr<void, AlgorithmCloser> algorithm(rawAlgorithm);
    BCRYPT_HASH_HANDLE rawHash = nullptr;
    if (!BCRYPT_SUCCESS(BCryptCreateHash(rawAlgorithm, &rawHash, nullptr, 0, nullptr, 0, 0))) return std::nullopt;
    const std::unique_ptr<void, HashCloser> hash(rawHash);
    std::array<std::uint8_t, 20> digest{};
    std::vector<UCHAR> input(text.begin(), text.end());
    if (!BCRYPT_SUCCESS(BCryptHashData(rawHash, input.data(), static_cast<ULONG>(input.size()), 0)) ||
        !BCRYPT_SUCCESS(BCryptFinishHash(rawHash, digest.data(), static_cast<ULONG>(digest.size()), 0)))
        return std::nullopt;
    return digest;
}

bool IsControl(Opcode opcode) { return static_cast<std::uint8_t>(opcode) >= 8; }

bool IsKnown(std::uint8_t opcode) { return opcode <= 2 || (opcode >= 8 && opcode <= 10); }

}  // namespace

std::string AcceptValue(std::string_view clientKey) {
    const std::optional<std::array<std::uint8_t, 20>> digest = Sha1(std::string(clientKey) + std::string(kHandshakeGuid));
    return digest ? Base64(digest->data(), digest->size()) : std::string();
}

std::string NewClientKey() {
    std::uint8_t bytes[16] = {};
    BCryptGenRandom(nullptr, bytes, sizeof bytes, BCRYPT_USE_SYSTEM_PREFERRED_RNG);
    return Base64(bytes, sizeof bytes);
}

std::string EncodeFrame(Opcode opcode, std::string_view payload, std::optional<std::array<std::uint8_t, 4>> mask) {
    std::string frame;
    frame += static_cast<char>(0x80 | static_cast<std::uint8_t>(opcode));
    const std::uint8_t maskBit = mask ? 0x80 : 0;
    const std::uint64_t size = payload.size();
    if (size < 126) {
        frame += static_cast<char>(maskBit | size);
    } else if (size <= 0xFFFF) {
        frame += static_cast<char>(maskBit | 126);
        frame += static_cast<char>(size >> 8);
        frame += static_cast<char>(size & 0xFF);
    } else {
        frame += static_cast<char>(maskBit | 127);
        for (int shift = 56; shift >= 0; shift -= 8) frame += static_cast<char>(size >> shift & 0xFF);
    }
    if (!mask) return frame + std::string(payload);
    frame.append(mask->begin(), mask->end());
    for (std::size_t i = 0; i < payload.size(); ++i) frame += static_cast<char>(payload[i] ^ (*mask)[i % 4]);
    return frame;
}

Decoded DecodeFrame(std::string_view bytes, bool masked, std::size_t maxPayload, Frame& frame, std::size_t& used) {
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(bytes[i]); };
    if (bytes.size() < 2) return Decoded::NeedMore;
    const std::uint8_t opcode = byte(0) & 0x0F;
    const bool final = byte(0) & 0x80;
    if ((byte(0) & 0x70) || !IsKnown(opcode) || static_cast<bool>(byte(1) & 0x80) != masked) return Decoded::Bad;
    std::uint64_t size = byte(1) & 0x7F;
    std::size_t offset = 2;
    if (size >= 126) {
        const std::size_t lengthBytes = size == 126 ? 2 : 8;
        if (bytes.size() < offset + lengthBytes) return Decoded::NeedMore;
        size = 0;
        for (std::size_t i = 0; i < lengthBytes; ++i) size = size << 8 | byte(offset + i);
        offset += lengthBytes;
    }
    if (IsControl(static_cast<Opcode>(opcode)) && (!final || size > 125)) return Decoded::Bad;
    if (size > maxPayload) return Decoded::Bad;
    std::array<std::uint8_t, 4> mask{};
    if (masked) {
        if (bytes.size() < offset + 4) return Decoded::NeedMore;
        for (std::size_t i = 0; i < 4; ++i) mask[i] = byte(offset + i);
        offset += 4;
    }
    if (bytes.size() < offset + size) return Decoded::NeedMore;
    frame.final = final;
    frame.opcode = static_cast<Opcode>(opcode);
    frame.payload.assign(bytes.substr(offset, static_cast<std::size_t>(size)));
    if (masked)
        for (std::size_t i = 0; i < frame.payload.size(); ++i) frame.payload[i] = static_cast<char>(frame.payload[i] ^ mask[i % 4]);
    used = offset + static_cast<std::size_t>(size);
    return Decoded::Frame;
}

}  // namespace engine::websocket
