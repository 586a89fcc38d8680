#include "twain/Locale.h"

#include <array>
#include <cstddef>

namespace {

// TWCY_ codes in the order of TAcqCountry.
constexpr std::array<uint16_t, kAcqCountryCount> kCountryCodes = {
  1001, 213, 684, 33, 1002, 8090, 8091, 54, 297, 247, 61, 43,
  8092, 973, 880, 8093, 32, 501, 229, 8094, 1003, 591, 267, 6,
  8095, 55, 673, 359, 1004, 1005, 1006, 237, 2, 238, 8096, 1007,
  1008, 56, 86, 1009, 1009, 57, 1010, 1011, 1012, 506, 5, 357,
  42, 45, 1013, 8097, 8098, 1014, 593, 20, 503, 1015, 251, 1016,
  298, 679, 358, 33, 596, 594, 689, 1043, 241, 220, 49, 233,
  350, 30, 299, 8099, 8015, 590, 671, 5399, 502, 224, 1017, 592,
  509, 504, 852, 36, 354, 91, 62, 98, 964, 353, 972, 39,
  225, 8010, 81, 962, 254, 1018, 82, 965, 1019, 1020, 231, 218,
  41, 352, 853, 1021, 265, 60, 960, 1022, 356, 692, 1023, 230,
  3, 691, 508, 33, 1024, 8011, 212, 1025, 264, 1026, 977, 31,
  599, 8012, 687, 64, 505, 227, 234, 1027, 1028, 47, 968, 92,
  1029, 507, 595, 51, 63, 1030, 675, 48, 351, 974, 1031, 40,
  250, 670, 39, 1033, 966, 221, 1034, 1035, 65, 1036, 1037, 27,
  34, 94, 1032, 8013, 8014, 508, 8015, 1038, 597, 268, 46, 41,
  1039, 886, 255, 66, 8016, 228, 676, 8016, 216, 90, 8017, 1040,
  256, 7, 971, 44, 1, 598, 1041, 39, 58, 1042, 1043, 1044,
  1045, 1046, 38, 243, 260, 263, 355, 374, 994, 375, 387, 855,
  385, 420, 246, 291, 372, 995, 371, 266, 370, 389, 269, 373,
  95, 850, 787, 7, 381, 421, 386, 82, 380, 340, 84,
};

} // namespace

uint16_t CountryCode(TAcqCountry country) { return kCountryCodes[static_cast<size_t>(country)]; }

TAcqCountry CountryFromCode(uint16_t code) {
  for (size_t i = 0; i < kCountryCodes.size(); ++i)
    if (kCountryCodes[i] == code) return static_cast<TAcqCountry>(i);
  return TAcqCountry::UNITEDKINGDOM;
}

int16_t LanguageCode(TAcqLanguage language) { return static_cast<int16_t>(static_cast<int>(language) - 1); }

TAcqLanguage LanguageFromCode(int16_t code) {
  if (code < -1 || code > kAcqLanguageCount - 2) return TAcqLanguage::ENGLISH_INTL;
  return static_cast<TAcqLanguage>(code + 1);
}
