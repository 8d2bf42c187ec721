// CRC-16/ARC (reflected polynomial 0xA001, no final XOR) over entry texts, bit by bit.
#include "terminal/dialogue.h"

std::uint16_t crc16_byte(std::uint8_t byte, std::uint16_t crc) {
  for (int round = 0; round < 8; ++round) {
    if ((byte ^ crc) & 1)
      crc = static_cast<std::uint16_t>((crc >> 1) ^ 0xA001);
    else
      crc = static_cast<std::uint16_t>(crc >> 1);
    byte = static_cast<std::uint8_t>(byte >> 1);
  }
  return crc;
}

std::uint16_t crc16_block(const void* data, std::size_t length, std::uint16_t start) {
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  std::uint16_t crc = start;
  for (std::size_t i = 0; i < length; ++i) crc = crc16_byte(bytes[i], crc);
  return crc;
}
