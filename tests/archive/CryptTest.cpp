#include "archive/arcCrypt.h"
#include "archive/arcRecords.h"

#include "TestSupport.h"

#include <gtest/gtest.h>
#include <zlib.h>

using namespace vlm;

namespace {

TEST(Crc32, StandardValues) {
    const struct {
        std::string Data;
        uint32_t Crc;
    } cases[] = {
        {"", 0x00000000},
        {"a", 0xE8B7BE43},
        {"123456789", 0xCBF43926},
        {"The quick brown fox jumps over the lazy dog", 0x414FA339},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Crc32(c.Data.data(), c.Data.size()), c.Crc) << c.Data;
    // The table agrees with the byte-wise definition for every byte value.
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t crc = CrcInit;
        const uint8_t byte = static_cast<uint8_t>(n);
        crc = CrcTable[(crc ^ byte) & 0xFF] ^ (crc >> 8);
        EXPECT_EQ(crc, Crc32Update(CrcInit, &byte, 1)) << n;
    }
    // A running value over pieces equals the value over the whole.
    const std::string data = vlm::test::RandomBytes(100000);
    uint32_t running = CrcInit;
    for (size_t pos = 0; pos < data.size(); pos += 7777)
        running =
            Crc32Update(running, data.data() + pos, std::min<size_t>(7777, data.size() - pos));
    EXPECT_EQ(running ^ CrcInit,
              static_cast<uint32_t>(::crc32(0, reinterpret_cast<const Bytef*>(data.data()),
                                            static_cast<uInt>(data.size()))));
}

TEST(Cipher, HeaderKeyStateIsThePairwiseAndOfTheInitialKeys) {
    EXPECT_EQ(HeaderKeys.Key0, 0x12345678u & 0x34567890u);
    EXPECT_EQ(HeaderKeys.Key1, 0x12345678u & 0x23456789u);
    EXPECT_EQ(HeaderKeys.Key2, 0x34567890u & 0x23456789u);
}

TEST(Cipher, EncryptThenDecryptRestoresTheBytes) {
    const std::string plain = vlm::test::RandomBytes(1000, 7);
    std::string data = plain;
    TCipher writer;
    writer.InitKeys("Qm42Tx7150");
    writer.EncryptBytes(data.data(), data.size());
    EXPECT_NE(data, plain);
    TCipher reader;
    reader.InitKeys("Qm42Tx7150");
    reader.DecryptBytes(data.data(), data.size());
    EXPECT_EQ(data, plain);
    EXPECT_EQ(writer.Keys(), reader.Keys());
}

TEST(Cipher, EncryptionHeaderCarriesTheCrcTopBytesAndFreshRandomBytes) {
    const uint32_t crc = 0xA1B2C3D4;
    TCipher cipher;
    auto first = cipher.MakeEncryptionHeader("secret", crc);
    const TCipherKeys afterFirst = cipher.Keys();
    TCipher reader;
    reader.InitKeys("secret");
    reader.DecryptBytes(first.data(), first.size());
    EXPECT_EQ(first[10], 0xB2);
    EXPECT_EQ(first[11], 0xA1);
    EXPECT_EQ(reader.Keys(), afterFirst); // both continue into the data alike

    int differing = 0;
    for (int i = 0; i < 20; ++i) {
        auto a = cipher.MakeEncryptionHeader("secret", crc);
        auto b = cipher.MakeEncryptionHeader("secret", crc);
        differing += a != b;
    }
    EXPECT_GE(differing, 19);
}

TEST(Records, PackAndUnpackAtTheirOffsets) {
    TLocalHeader local;
    local.Flags = 1;
    local.Method = 8;
    local.Crc = 0x11223344;
    local.CompressedSize = 112;
    local.UncompressedSize = 100;
    local.NameLength = 9;
    const auto bytes = local.Pack();
    EXPECT_EQ(bytes[0], 0x50);
    EXPECT_EQ(bytes[1], 0x4B);
    EXPECT_EQ(bytes[2], 0x03);
    EXPECT_EQ(bytes[3], 0x04);
    EXPECT_EQ(GetU16(&bytes[4]), 20);
    EXPECT_EQ(GetU32(&bytes[14]), 0x11223344u);
    EXPECT_EQ(GetU32(&bytes[18]), 112u);
    EXPECT_EQ(GetU16(&bytes[26]), 9);
    const TLocalHeader back = TLocalHeader::Unpack(bytes.data());
    EXPECT_EQ(back.Pack(), bytes);

    TCentralHeader central;
    central.ExternalAttributes = 0x20;
    central.LocalHeaderOffset = 0xDEADBEEF;
    const auto cbytes = central.Pack();
    EXPECT_EQ(GetU32(&cbytes[42]), 0xDEADBEEFu);
    EXPECT_EQ(TCentralHeader::Unpack(cbytes.data()).Pack(), cbytes);

    TEndRecord end;
    end.TotalEntries = 3;
    end.CommentLength = 17;
    const auto ebytes = end.Pack();
    EXPECT_EQ(GetU16(&ebytes[20]), 17);
    EXPECT_EQ(TEndRecord::Unpack(ebytes.data()).Pack(), ebytes);
}

std::string LittleEndian(uint64_t value, size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(value >> (8 * i));
    return bytes;
}

template <class R> std::string PackedText(const R& record) {
    const auto bytes = record.Pack();
    return std::string(bytes.begin(), bytes.end());
}

// Packed, each record is the APPNOTE layout written out field by field; those bytes,
// unpacked and packed again, come back unchanged.
TEST(Records, Zip64RecordsAndExtraHeaderFollowTheirLayout) {
    TZip64EndRecord end;
    end.EntriesOnDisk = 0x10002;
    end.TotalEntries = 0x10003;
    end.DirectorySize = 0x123456789;
    end.DirectoryOffset = 0xABCDEF0123;
    TZip64Locator locator;
    locator.EndRecordOffset = 0x100000003;
    TExtraFieldHeader extra;
    extra.Id = Zip64ExtraId;
    extra.Size = 24;
    const auto L = LittleEndian;
    const std::string endBytes = L(0x06064B50, 4) + L(44, 8) + L(45, 2) + L(45, 2) + L(0, 4) +
                                 L(0, 4) + L(0x10002, 8) + L(0x10003, 8) + L(0x123456789, 8) +
                                 L(0xABCDEF0123, 8);
    const std::string locatorBytes = L(0x07064B50, 4) + L(0, 4) + L(0x100000003, 8) + L(1, 4);
    const std::string extraBytes = L(1, 2) + L(24, 2);
    const auto raw = [](const std::string& bytes) {
        return reinterpret_cast<const uint8_t*>(bytes.data());
    };
    const struct {
        const char* What;
        std::string Packed;
        std::string Expected;
        std::string Repacked;
    } cases[] = {
        {"Zip64 end record", PackedText(end), endBytes,
         PackedText(TZip64EndRecord::Unpack(raw(endBytes)))},
        {"Zip64 locator", PackedText(locator), locatorBytes,
         PackedText(TZip64Locator::Unpack(raw(locatorBytes)))},
        {"extra field header", PackedText(extra), extraBytes,
         PackedText(TExtraFieldHeader::Unpack(raw(extraBytes)))},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.Packed, c.Expected) << c.What;
        EXPECT_EQ(c.Repacked, c.Expected) << c.What;
    }
}

TEST(Records, HeaderEnciphermentRoundTripsRecordAndName) {
    TLocalHeader local;
    local.Signature = EncipheredLocalHeaderSignature;
    local.NameLength = 11;
    local.Crc = 0x01020304;
    auto record = local.Pack();
    const auto plainRecord = record;
    std::string name = "C:/site/a.h";
    const std::string plainName = name;
    EncipherHeader(record.data(), record.size(), reinterpret_cast<uint8_t*>(name.data()),
                   name.size());
    EXPECT_EQ(GetU32(record.data()), EncipheredLocalHeaderSignature); // signature stays plain
    for (size_t i = 4; i < record.size(); ++i)
        if (record[i] == plainRecord[i])
            ADD_FAILURE() << "plain byte at " << i; // possible by chance, not for this input
    EXPECT_NE(name, plainName);

    TCipher cipher = DecipherHeader(record.data(), record.size());
    EXPECT_EQ(record, plainRecord);
    cipher.DecryptBytes(name.data(), name.size());
    EXPECT_EQ(name, plainName);
}

} // namespace
