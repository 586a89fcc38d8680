#include "profiles/ParameterCatalogue.h"
#include "profiles/Text.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

// Parses a line and returns its value list.
TParameterValues ValuesOf(const std::string& line) {
  TParameterValues values;
  ParseParameterLine(line, &values);
  return values;
}

std::string ErrorOf(const std::string& line) {
  try {
    TParameterValues values;
    ParseParameterLine(line, &values);
  } catch (const Exception& error) {
    return error.Message();
  }
  return "no error";
}

std::string CatalogueLine(int row) {
  return AvailableParameters()[static_cast<size_t>(row - 1)];
}

} // namespace

// The compiled-in catalogue against an independent copy: every line's text,
// and its capability number against the TWAIN identifier written in hex.
TEST(Catalogue, MatchesTheGoldenCopyLineForLine) {
  const std::vector<uint8_t> bytes =
      test::ReadFile(test::SourcePath("tests/data/profiles/catalogue.tsv"));
  std::istringstream golden(std::string(bytes.begin(), bytes.end()));
  std::string record;
  size_t row = 0;
  while (std::getline(golden, record)) {
    ASSERT_LT(row, AvailableParameters().size());
    const size_t tab = record.find('\t');
    ASSERT_NE(tab, std::string::npos);
    const std::string line = record.substr(tab + 1);
    EXPECT_EQ(AvailableParameters()[row], line) << "row " << row + 1;
    const auto capability = static_cast<int32_t>(std::stol(record.substr(0, tab), nullptr, 16));
    EXPECT_EQ(ParseParameterLine(Trim(line)).Capability, capability) << "row " << row + 1;
    ++row;
  }
  EXPECT_EQ(row, 78u);
  EXPECT_EQ(AvailableParameters().size(), 78u);
}

TEST(Catalogue, EveryLineParsesWithAndWithoutValues) {
  for (const char* line : AvailableParameters()) {
    TParameterValues values;
    const TParameterInfo plain = ParseParameterLine(Trim(line));
    const TParameterInfo full = ParseParameterLine(Trim(line), &values);
    EXPECT_EQ(plain.DisplayName, full.DisplayName);
    EXPECT_EQ(plain.Capability, full.Capability);
    EXPECT_NE(std::string("IFBS").find(full.TypeLetter), std::string::npos) << line;
    if (full.TypeLetter == 'B') {
      EXPECT_EQ(values, (TParameterValues{{"Yes", 1}, {"No", 0}}));
    } else if (full.TypeLetter == 'F' || full.TypeLetter == 'S') {
      EXPECT_TRUE(values.empty()) << line;
    }
  }
}

TEST(Catalogue, SpecialLinesKeepTheirText) {
  // The degree signs are UTF-8 and survive into the value labels.
  EXPECT_EQ(
      ValuesOf(CatalogueLine(56)),
      (TParameterValues{{"None", 0}, {"90\xC2\xB0", 1}, {"180\xC2\xB0", 2}, {"270\xC2\xB0", 3}}));
  // The trailing blank is in the text and gone after trimming.
  EXPECT_EQ(CatalogueLine(63), "CFM Software Interpolation, 34870, B ");
  const TParameterInfo interpolation = ParseParameterLine(Trim(CatalogueLine(63)));
  EXPECT_EQ(interpolation.Capability, 34870);
  EXPECT_EQ(interpolation.TypeLetter, 'B');
  // Two lines share capability 4352; a lookup by number finds the first.
  EXPECT_EQ(ParseParameterLine(CatalogueLine(18)).Capability, 4352);
  EXPECT_EQ(ParseParameterLine(CatalogueLine(19)).Capability, 4352);
  EXPECT_EQ(ParseParameterLine(CatalogueLine(19)).DisplayName, "Auto Discard Blank Pages (!)");
  EXPECT_EQ(ParameterDisplayName(4352), "Auto Brightness");
  EXPECT_EQ(ParameterDisplayName(12345), "12345");
  EXPECT_EQ(ParameterDisplayName(-1), "-1");
  EXPECT_EQ(ParameterDisplayName(1), "Pages to Scan (-1=all)");
}

TEST(Catalogue, ValueLists) {
  const TParameterValues pageSizes = ValuesOf(CatalogueLine(10));
  ASSERT_EQ(pageSizes.size(), 19u);
  EXPECT_EQ(pageSizes[0], (TParameterValue{"MaxArea", 0}));
  EXPECT_EQ(pageSizes[2], (TParameterValue{"A5", 5}));
  EXPECT_EQ(pageSizes[18], (TParameterValue{"C5", 15}));

  // Resolutions list values, but only integer lines offer them.
  EXPECT_TRUE(ValuesOf(CatalogueLine(6)).empty());
  EXPECT_TRUE(ValuesOf(CatalogueLine(7)).empty());
  // An integer line without values is typed freely.
  EXPECT_TRUE(ValuesOf(CatalogueLine(1)).empty());

  // Bare integers are label and value at once.
  EXPECT_EQ(ValuesOf(CatalogueLine(3)), (TParameterValues{{"1", 1}, {"4", 4}, {"8", 8}}));

  const TParameterValues orientation = ValuesOf(CatalogueLine(36));
  ASSERT_EQ(orientation.size(), 6u);
  EXPECT_EQ(orientation[4], (TParameterValue{"Portrait", 0}));
  EXPECT_EQ(orientation[IndexOfValue(orientation, 0)].Label, "Rot0");
  EXPECT_EQ(orientation[IndexOfValue(orientation, 3)].Label, "Rot270");
  EXPECT_EQ(IndexOfValue(orientation, 4), -1);

  // A list passed in is cleared first.
  TParameterValues reused = orientation;
  ParseParameterLine(CatalogueLine(41), &reused);
  EXPECT_TRUE(reused.empty());
}

TEST(Catalogue, ParserFieldRules) {
  TParameterValues values;
  const TParameterInfo lower = ParseParameterLine("Name ,  42 , i , a =1 ,=7, -3", &values);
  EXPECT_EQ(lower.DisplayName, "Name");
  EXPECT_EQ(lower.Capability, 42);
  EXPECT_EQ(lower.TypeLetter, 'I');
  // The label is the text before the first equals sign, empty when there is none.
  EXPECT_EQ(values, (TParameterValues{{"a ", 1}, {"", 7}, {"-3", -3}}));
  EXPECT_EQ(ParseParameterLine("R line, 5, r").TypeLetter, 'R');
  // Values of lines other than integer ones are ignored, even bad ones.
  EXPECT_EQ(ParseParameterLine("S, 5, S, not a number", &values).TypeLetter, 'S');
  EXPECT_TRUE(values.empty());
  // Without a value list the values are not even read.
  EXPECT_EQ(ParseParameterLine("I, 5, I, x=y").Capability, 5);
}

TEST(Catalogue, ParserErrors) {
  EXPECT_EQ(ErrorOf(", 1, I"), "Nome parametro non valido.");
  EXPECT_EQ(ErrorOf("   "), "Nome parametro non valido.");
  EXPECT_EQ(ErrorOf("Name, 1, IF"), "Tipo parametro non valido.");
  EXPECT_EQ(ErrorOf("Name, 1, "), "Tipo parametro non valido.");
  EXPECT_EQ(ErrorOf("Name, 1"), "Tipo parametro non valido.");
  // A type letter outside ASCII is more than one byte and so not one letter.
  EXPECT_EQ(ErrorOf("Name, 1, \xC3\xA9"), "Tipo parametro non valido.");
  // Conversion errors name the text that is not a number.
  EXPECT_THROW(ParseParameterLine("Name, 0x10, I"), EConvertError);
  EXPECT_NE(ErrorOf("Name, 12a, I").find("12a"), std::string::npos);
  EXPECT_NE(ErrorOf("Name, 1, I, A=one").find("one"), std::string::npos);
  EXPECT_NE(ErrorOf("Name, 1, I, A=1,, B=2").find("\"\""), std::string::npos);
  // A comma at the very end leaves no further field.
  EXPECT_EQ(ValuesOf("Name, 1, I, A=1,"), (TParameterValues{{"A", 1}}));
  EXPECT_NE(ErrorOf("Name, 1, I, A= 1").find("\" 1\""), std::string::npos);
  EXPECT_NE(ErrorOf("Name, 1, I, seven").find("seven"), std::string::npos);
  // The capability is checked before the type.
  EXPECT_NE(ErrorOf("Name, , XX").find("\"\""), std::string::npos);
}

TEST(Catalogue, CutField) {
  std::string text = " a , b,,c";
  EXPECT_EQ(CutField(text), " a ");
  EXPECT_EQ(text, " b,,c");
  EXPECT_EQ(CutField(text), " b");
  EXPECT_EQ(CutField(text), "");
  EXPECT_EQ(CutField(text), "c");
  EXPECT_EQ(text, "");
  EXPECT_EQ(CutField(text), "");
  std::string trailing = "x,";
  EXPECT_EQ(CutField(trailing), "x");
  EXPECT_EQ(trailing, "");
}
