// CRC-16/ARC (reflected polynomial 0xA001, no final XOR), the checksum each UPDSYSDB
// command carries for its entry text.
#pragma once

#include <cstddef>
#include <cstdint>

std::uint16_t crc16_byte(std::uint8_t byte, std::uint16_t crc);
std::uint16_t crc16_block(const void* data, std::size_t length, std::uint16_t start);
