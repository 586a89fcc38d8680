#pragma once

#include <cstdint>

// Code words of ITU-T T.4: the bits of a code read as a number (leading zeros
// implied by the length) and its length in bits.
struct TFaxCode {
  uint16_t code;
  uint8_t length;
};

// Terminating codes for runs 0 to 63.
extern const TFaxCode kWhiteTerminating[64];
extern const TFaxCode kBlackTerminating[64];
// Make-up codes for runs 64 to 1728, index = run / 64 - 1.
extern const TFaxCode kWhiteMakeUp[27];
extern const TFaxCode kBlackMakeUp[27];
// Make-up codes 1792 to 2560 shared by both colours, index = run / 64 - 28.
extern const TFaxCode kExtendedMakeUp[13];

inline constexpr TFaxCode kEndOfLine = {0x001, 12};
inline constexpr TFaxCode kPassCode = {0x1, 4};       // 0001
inline constexpr TFaxCode kHorizontalCode = {0x1, 3}; // 001
// Vertical codes, index = a1 - b1 + 3: VL3, VL2, VL1, V0, VR1, VR2, VR3.
inline constexpr TFaxCode kVerticalCodes[7] = {{0x02, 7}, {0x02, 6}, {0x2, 3}, {0x1, 1},
                                               {0x3, 3},  {0x03, 6}, {0x03, 7}};
