#include "archive/arcCrypt.h"

#include "platform/UTestHooks.h"

#include <chrono>
#include <libdeflate.h>
#include <random>

namespace vlm {

namespace {
constexpr std::array<uint32_t, 256> MakeCrcTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}
} // namespace

const std::array<uint32_t, 256> CrcTable = MakeCrcTable();

uint32_t Crc32Update(uint32_t crc, const void* data, size_t count) {
    // libdeflate's crc32 gives the same values as the byte-wise table, many times faster
    // (carry-less multiplication where the processor has it); it works on finished
    // values, so the running value is converted on the way in and out.
    return libdeflate_crc32(crc ^ CrcInit, data, count) ^ CrcInit;
}

uint32_t Crc32(const void* data, size_t count) {
    return Crc32Update(CrcInit, data, count) ^ CrcInit;
}

void TCipher::InitKeys(std::string_view password) {
    FKeys = InitialKeys;
    if (password.size() > MaxPasswordLength)
        password = password.substr(0, MaxPasswordLength);
    for (const char c : password)
        UpdateKeys(static_cast<uint8_t>(c));
}

void TCipher::UpdateKeys(uint8_t plain) {
    FKeys.Key0 = CrcTable[(FKeys.Key0 ^ plain) & 0xFF] ^ (FKeys.Key0 >> 8);
    FKeys.Key1 = (FKeys.Key1 + (FKeys.Key0 & 0xFF)) * 134775813u + 1;
    FKeys.Key2 = CrcTable[(FKeys.Key2 ^ (FKeys.Key1 >> 24)) & 0xFF] ^ (FKeys.Key2 >> 8);
}

uint8_t TCipher::StreamByte() const {
    const uint16_t t = static_cast<uint16_t>(FKeys.Key2 | 2);
    return static_cast<uint8_t>((static_cast<uint32_t>(t) * (t ^ 1u)) >> 8);
}

void TCipher::EncryptBytes(uint8_t* buffer, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const uint8_t k = StreamByte();
        UpdateKeys(buffer[i]);
        buffer[i] ^= k;
    }
}

void TCipher::DecryptBytes(uint8_t* buffer, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        buffer[i] ^= StreamByte();
        UpdateKeys(buffer[i]);
    }
}

std::array<uint8_t, EncryptionHeaderSize> TCipher::MakeEncryptionHeader(std::string_view password,
                                                                        uint32_t crc) {
    InitKeys(password);
    const auto now = std::chrono::high_resolution_clock::now().time_since_epoch().count();
    auto seed = static_cast<std::minstd_rand::result_type>(now ^ (now >> 32));
    if (uint32_t fixed = 0; hook_state::FixedHeaderSeed(fixed))
        seed = fixed;
    std::minstd_rand generator(seed);
    std::uniform_int_distribution<int> draw(0, 32766);
    std::array<uint8_t, EncryptionHeaderSize> header{};
    for (size_t i = 0; i < 10; ++i)
        header[i] = static_cast<uint8_t>(draw(generator) >> 7);
    header[10] = static_cast<uint8_t>(crc >> 16);
    header[11] = static_cast<uint8_t>(crc >> 24);
    EncryptBytes(header.data(), header.size());
    return header;
}

} // namespace vlm
