// CRC-32 and the traditional PKWARE encryption (APPNOTE 6.1), with the header key state
// that header encipherment uses.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vlm {

// The standard table for the reflected polynomial 0xEDB88320 (APPNOTE 4.4.7, IEEE 802.3).
extern const std::array<uint32_t, 256> CrcTable;

// A running CRC starts at 0xFFFFFFFF; the final value is the running value XOR 0xFFFFFFFF.
inline constexpr uint32_t CrcInit = 0xFFFFFFFF;
uint32_t Crc32Update(uint32_t crc, const void* data, size_t count);
// The finished CRC-32 of a buffer.
uint32_t Crc32(const void* data, size_t count);

struct TCipherKeys {
    uint32_t Key0;
    uint32_t Key1;
    uint32_t Key2;
    friend bool operator==(const TCipherKeys&, const TCipherKeys&) = default;
};

// The initial keys of the traditional encryption (APPNOTE 6.1.5).
inline constexpr TCipherKeys InitialKeys{0x12345678, 0x23456789, 0x34567890};
// The header key state: pairwise ANDs of the initial keys; it does not depend on the password.
inline constexpr TCipherKeys HeaderKeys{InitialKeys.Key0 & InitialKeys.Key2,
                                        InitialKeys.Key0& InitialKeys.Key1,
                                        InitialKeys.Key2& InitialKeys.Key1};

// Length of the encryption header in front of encrypted member data.
inline constexpr size_t EncryptionHeaderSize = 12;
// Passwords are cut to this many characters.
inline constexpr size_t MaxPasswordLength = 255;

// One key state. The writer and the reader each own theirs, so they are reentrant.
class TCipher {
public:
    // The password state: the initial keys updated with each password byte.
    void InitKeys(std::string_view password);
    void SetKeys(const TCipherKeys& keys) { FKeys = keys; }
    const TCipherKeys& Keys() const { return FKeys; }

    void UpdateKeys(uint8_t plain);
    uint8_t StreamByte() const;
    void EncryptBytes(uint8_t* buffer, size_t count);
    void DecryptBytes(uint8_t* buffer, size_t count);
    void EncryptBytes(char* buffer, size_t count) {
        EncryptBytes(reinterpret_cast<uint8_t*>(buffer), count);
    }
    void DecryptBytes(char* buffer, size_t count) {
        DecryptBytes(reinterpret_cast<uint8_t*>(buffer), count);
    }

    // InitKeys(password), then ten random bytes and the CRC's bits 16-23 and 24-31, all
    // encrypted; the key state continues into the member data. The random bytes come
    // from a generator seeded afresh from a nanosecond clock.
    std::array<uint8_t, EncryptionHeaderSize> MakeEncryptionHeader(std::string_view password,
                                                                   uint32_t crc);

private:
    TCipherKeys FKeys = InitialKeys;
};

} // namespace vlm
