#include "profiles/SettingLine.h"
#include "profiles/ParameterCatalogue.h"
#include "profiles/Text.h"

#include <gtest/gtest.h>

TEST(SettingLine, IsMadeOfThreeFieldsWithoutBlanks) {
  EXPECT_EQ(MakeSettingLine(257, 'I', "1"), "257,I,1");
  EXPECT_EQ(MakeSettingLine(4376, 'F', "300"), "4376,F,300");
  EXPECT_EQ(MakeSettingLine(4376, 'F', "?"), "4376,F,?");
}

TEST(SettingLine, ShowsAsTheEditorListsIt) {
  EXPECT_EQ(SettingDisplayText("257,I,1"), "PixelType=GrayScale");
  EXPECT_EQ(SettingDisplayText("4376,F,300"), "X Resolution=300");
  EXPECT_EQ(SettingDisplayText("4115,B,1"), "DuplexEnabled=Yes");
  EXPECT_EQ(SettingDisplayText("4115,B,0"), "DuplexEnabled=No");
  EXPECT_EQ(SettingDisplayText("1,I,-1"), "Pages to Scan (-1=all)=-1");
  EXPECT_EQ(SettingDisplayText("4097,S,Batch 7"), "Caption=Batch 7");
  // Shared capability: the first catalogue line names it.
  EXPECT_EQ(SettingDisplayText("4352,B,1"), "Auto Brightness=Yes");
  // Duplicate values: the first label wins.
  EXPECT_EQ(SettingDisplayText("4368,I,0"), "Orientation=Rot0");
  EXPECT_EQ(SettingDisplayText("4368,I,3"), "Orientation=Rot270");
  EXPECT_EQ(SettingDisplayText("34895,I,1"), "CFM Endorser Rotation=90\xC2\xB0");
  // The catalogue's type decides, not the letter stored in the line.
  EXPECT_EQ(SettingDisplayText("257,S,2"), "PixelType=Colors");
  // Text after a third comma is ignored.
  EXPECT_EQ(SettingDisplayText("257,I,0,whatever,else"), "PixelType=BW");
  // A value asked for at each scan shows as it is stored, for any parameter.
  EXPECT_EQ(SettingDisplayText("4376,F,?"), "X Resolution=?");
  EXPECT_EQ(SettingDisplayText("4386,I,?"), "Page Size=?");
  EXPECT_EQ(SettingDisplayText("4115,B,?"), "DuplexEnabled=?");
}

TEST(SettingLine, UnknownCapabilitiesShowTheirNumber) {
  EXPECT_EQ(SettingDisplayText("12345,I,7"), "12345=7");
  EXPECT_EQ(SettingDisplayText("12345"), "12345=");
  EXPECT_EQ(SettingDisplayText(""), "=");
  // The capability text must be the decimal number exactly.
  EXPECT_EQ(SettingDisplayText(" 257,I,0"), " 257=0");
  EXPECT_EQ(SettingDisplayText("0257,I,0"), "0257=0");
  EXPECT_EQ(SettingDisplayText("abc,I,0"), "abc=0");
}

TEST(SettingLine, BadNamedValuesRaise) {
  EXPECT_THROW(SettingDisplayText("257,I,Colors"), EConvertError);
  EXPECT_THROW(SettingDisplayText("257,I, 1"), EConvertError);
  EXPECT_THROW(SettingDisplayText("4115,B,"), EConvertError);
  EXPECT_THROW(SettingDisplayText("4352"), EConvertError);
  try {
    SettingDisplayText("4386,I,77");
    FAIL();
  } catch (const EParameterError& error) {
    EXPECT_EQ(error.Message(), "Value 77 is not a value of Page Size.");
  }
  EXPECT_THROW(SettingDisplayText("4115,B,2"), EParameterError);
}
