// Constant initial tables of the block cipher (the fractional part of pi), copied into
// a context by every key setup.
#pragma once

#include <cstdint>

extern const std::uint32_t kBlowfishInitialP[18];
extern const std::uint32_t kBlowfishInitialS[4][256];
