#include "profiles/Text.h"

#include <gtest/gtest.h>

#include <iconv.h>
#include <random>

namespace {

// Converts with the C library's iconv; false when the input is not valid in
// the source encoding.
bool Iconv(const char* to, const char* from, const std::string& input, std::string& output) {
  iconv_t cd = ::iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  std::string in = input;
  std::string out(input.size() * 4 + 16, '\0');
  char* inPointer = in.data();
  char* outPointer = out.data();
  size_t inLeft = in.size(), outLeft = out.size();
  const bool ok =
      ::iconv(cd, &inPointer, &inLeft, &outPointer, &outLeft) != static_cast<size_t>(-1);
  ::iconv_close(cd);
  out.resize(out.size() - outLeft);
  output = out;
  return ok && inLeft == 0;
}

bool IsValidUtf8(const std::string& text) {
  std::string ignored;
  return Iconv("UTF-32LE", "UTF-8", text, ignored);
}

} // namespace

TEST(Text, StrToIntIsStrictDecimal) {
  EXPECT_EQ(StrToInt("0"), 0);
  EXPECT_EQ(StrToInt("-1"), -1);
  EXPECT_EQ(StrToInt("+17"), 17);
  EXPECT_EQ(StrToInt("007"), 7);
  EXPECT_EQ(StrToInt("2147483647"), 2147483647);
  EXPECT_EQ(StrToInt("-2147483648"), -2147483647 - 1);
  for (const char* bad : {"", "-", "+", " 1", "1 ", "1.0", "0x10", "$10", "1e3", "2147483648",
                          "-2147483649", "99999999999999999999", "--1", "12a"}) {
    try {
      StrToInt(bad);
      ADD_FAILURE() << "accepted " << bad;
    } catch (const EConvertError& error) {
      EXPECT_EQ(error.Message(), "\"" + std::string(bad) + "\" is not a valid integer");
    }
  }
}

TEST(Text, TrimUpperCaseAndCompare) {
  EXPECT_EQ(Trim(" \t a b \r\n"), "a b");
  EXPECT_EQ(Trim("   "), "");
  EXPECT_EQ(Trim("\xC2\xB0 "), "\xC2\xB0");
  EXPECT_EQ(UpperCase("i f\xC3\xA9z"), "I F\xC3\xA9Z");
  EXPECT_EQ(CompareText("office", "OFFICE"), 0);
  EXPECT_LT(CompareText("alpha", "Beta"), 0);
  EXPECT_GT(CompareText("b", "A"), 0);
  EXPECT_LT(CompareText("ab", "ABC"), 0);
  EXPECT_LT(CompareText("_", "a"), 0); // letters compare as lower case
}

TEST(Text, DecodeKeepsUtf8AndReadsOtherBytesAsLatin1) {
  EXPECT_EQ(DecodeUtf8OrLatin1("Scanner \xC2\xB0"), "Scanner \xC2\xB0");
  EXPECT_EQ(DecodeUtf8OrLatin1("Citt\xE0"), "Citt\xC3\xA0");
  // Mixed: a valid sequence stays, a lone byte beside it is Latin-1.
  EXPECT_EQ(DecodeUtf8OrLatin1("\xC3\xA9\xE9"), "\xC3\xA9\xC3\xA9");
  // Overlong forms, surrogates, values past U+10FFFF and cut sequences are not UTF-8.
  EXPECT_EQ(DecodeUtf8OrLatin1("\xC0\xAF"), "\xC3\x80\xC2\xAF");
  EXPECT_EQ(DecodeUtf8OrLatin1("\xED\xA0\x80"), "\xC3\xAD\xC2\xA0\xC2\x80");
  EXPECT_EQ(DecodeUtf8OrLatin1("\xF4\x90\x80\x80"), "\xC3\xB4\xC2\x90\xC2\x80\xC2\x80");
  EXPECT_EQ(DecodeUtf8OrLatin1("\xE2\x82"), "\xC3\xA2\xC2\x82");
  EXPECT_EQ(DecodeUtf8OrLatin1("\xF0\x9F\x93\x84"), "\xF0\x9F\x93\x84");
  EXPECT_EQ(DecodeUtf8OrLatin1(std::string("a\0b", 3)), std::string("a\0b", 3));
}

// Against the C library's converter on random input: valid UTF-8 comes back
// unchanged, text whose high bytes stand alone reads as Latin-1, and any
// bytes at all give valid UTF-8 that decodes to itself.
TEST(Text, DecodeAgreesWithIconvOnRandomInput) {
  std::mt19937 random(6);
  for (int round = 0; round < 2000; ++round) {
    std::u32string codePoints;
    for (int i = random() % 20; i > 0; --i) {
      char32_t c = static_cast<char32_t>(random() % 0x110000);
      if (c >= 0xD800 && c <= 0xDFFF) c = 'x';
      codePoints += c;
    }
    std::string utf8;
    ASSERT_TRUE(
        Iconv("UTF-8", "UTF-32LE",
              std::string(reinterpret_cast<const char*>(codePoints.data()), codePoints.size() * 4),
              utf8));
    EXPECT_EQ(DecodeUtf8OrLatin1(utf8), utf8);

    std::string latin1;
    for (int i = random() % 20; i > 0; --i) {
      latin1 += static_cast<char>('a' + random() % 26);
      latin1 += static_cast<char>(0x80 + random() % 0x80);
    }
    std::string expected;
    ASSERT_TRUE(Iconv("UTF-8", "ISO-8859-1", latin1, expected));
    EXPECT_EQ(DecodeUtf8OrLatin1(latin1), expected);

    std::string bytes;
    for (int i = random() % 32; i > 0; --i) bytes += static_cast<char>(random() % 256);
    const std::string decoded = DecodeUtf8OrLatin1(bytes);
    EXPECT_TRUE(IsValidUtf8(decoded));
    EXPECT_EQ(DecodeUtf8OrLatin1(decoded), decoded);
  }
}
