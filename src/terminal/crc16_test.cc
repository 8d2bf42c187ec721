// Tests of the CRC-16/ARC used in UPDSYSDB lines.
#include "terminal/crc16.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(Crc16, CheckValueAndWorkedExamples) {
  EXPECT_EQ(crc16_block("123456789", 9, 0), 0xBB3D);
  EXPECT_EQ(crc16_block("STRING StoNr3 00003", 19, 0), 0x34F5);
  EXPECT_EQ(crc16_block("STRING StoNr30 00030", 20, 0), 0x02E7);
  EXPECT_EQ(crc16_block("", 0, 0), 0);
  EXPECT_EQ(crc16_block("", 0, 0x1234), 0x1234);
}

TEST(Crc16, BlockIsTheByteStepChained) {
  const char* text = "STRING StoNr1 7";
  std::uint16_t crc = 0;
  for (std::size_t i = 0; i < std::strlen(text); ++i)
    crc = crc16_byte(static_cast<std::uint8_t>(text[i]), crc);
  EXPECT_EQ(crc, crc16_block(text, std::strlen(text), 0));
  // A start value carries a split block on.
  EXPECT_EQ(crc16_block("56789", 5, crc16_block("1234", 4, 0)), 0xBB3D);
  EXPECT_EQ(crc16_byte(0x01, 0), 0xC0C1);
  EXPECT_EQ(crc16_byte(0x80, 0), 0xA001);  // high bits go through all eight rounds
  // The block form takes a byte at a time from a table: every byte value, from
  // registers with every low and high byte, must give what the bit step gives.
  for (unsigned start = 0; start <= 0xFFFF; start += 0x0101) {
    for (unsigned b = 0; b < 256; ++b) {
      auto byte = static_cast<std::uint8_t>(b);
      ASSERT_EQ(crc16_block(&byte, 1, static_cast<std::uint16_t>(start)),
                crc16_byte(byte, static_cast<std::uint16_t>(start)))
          << "byte " << b << " start " << start;
    }
  }
}
