// CRC-16/ARC (reflected polynomial 0xA001, no final XOR) over entry texts: the bit
// step, and a block form that takes a byte at a time from a table of those steps.
#include "terminal/crc16.h"

#include <array>

namespace {

constexpr std::uint16_t bit_step(std::uint8_t byte, std::uint16_t crc) {
  for (int round = 0; round < 8; ++round) {
    if ((byte ^ crc) & 1)
      crc = static_cast<std::uint16_t>((crc >> 1) ^ 0xA001);
    else
      crc = static_cast<std::uint16_t>(crc >> 1);
    byte = static_cast<std::uint8_t>(byte >> 1);
  }
  return crc;
}

// The register after eight bit steps depends on its low byte XOR the data byte only,
// shifted into the high byte: crc' = table[(crc ^ byte) & 0xFF] ^ (crc >> 8).
constexpr std::array<std::uint16_t, 256> make_table() {
  std::array<std::uint16_t, 256> table{};
  for (unsigned i = 0; i < 256; ++i) table[i] = bit_step(static_cast<std::uint8_t>(i), 0);
  return table;
}

constexpr std::array<std::uint16_t, 256> kTable = make_table();

}  // namespace

std::uint16_t crc16_byte(std::uint8_t byte, std::uint16_t crc) {
  return bit_step(byte, crc);
}

std::uint16_t crc16_block(const void* data, std::size_t length, std::uint16_t start) {
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  std::uint16_t crc = start;
  for (std::size_t i = 0; i < length; ++i)
    crc = static_cast<std::uint16_t>(kTable[(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8));
  return crc;
}
