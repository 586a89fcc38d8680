#include "profiles/PaperCodifier.h"

#include <gtest/gtest.h>

TEST(PaperCodifier, FindsPapersByExactName) {
  const TPaperCodifier papers;
  TPaperSize size{1, 2, "start"};
  papers.GetPaperSize("A4", size);
  EXPECT_EQ(size.Width, 8.27);
  EXPECT_EQ(size.Height, 11.69);
  EXPECT_EQ(size.Name, "A4");

  TPaperSize untouched{3.5, 4.5, "mine"};
  for (const char* name : {"a4", "A4 ", "", "B3", "Letter1", "LETTER"}) {
    papers.GetPaperSize(name, untouched);
    EXPECT_EQ(untouched.Width, 3.5) << name;
    EXPECT_EQ(untouched.Height, 4.5) << name;
    EXPECT_EQ(untouched.Name, "mine") << name;
  }

  papers.GetPaperSize("Ledger", size);
  EXPECT_EQ(size.Width, 17.0);
  EXPECT_EQ(size.Height, 11.0);
}

TEST(PaperCodifier, HoldsFourteenPapersInOrder) {
  const TPaperCodifier papers;
  ASSERT_EQ(papers.Count(), 14);
  const char* names[] = {"A0",     "A1",    "A2",        "A3",     "A4",        "A5", "A6",
                         "Letter", "Legal", "Executive", "Ledger", "Statement", "B4", "B5"};
  for (int i = 0; i < 14; ++i) {
    EXPECT_EQ(papers.Item(i).Name, names[i]);
    EXPECT_LE(papers.Item(i).Name.size(), 10u);
    // Every paper but Ledger stands upright.
    if (papers.Item(i).Name != "Ledger") {
      EXPECT_LT(papers.Item(i).Width, papers.Item(i).Height);
    }
  }
  // Each A size is the next larger one folded in half: its height is the larger one's width.
  for (int i = 1; i < 7; ++i) EXPECT_EQ(papers.Item(i).Height, papers.Item(i - 1).Width);
}

TEST(PaperCodifier, SupportedSizeCodesNamePapersOfTheTable) {
  const std::pair<int, const char*> known[] = {
      {1, "A4"},     {3, "Letter"},     {4, "Legal"}, {5, "A5"},        {6, "B4"},
      {9, "Ledger"}, {10, "Executive"}, {11, "A3"},   {13, "A6"},       {19, "A0"},
      {20, "A1"},    {21, "A2"},        {29, "B5"},   {52, "Statement"}};
  const TPaperCodifier papers;
  for (const auto& [code, name] : known) {
    EXPECT_EQ(SupportedSizePaperName(code), name);
    TPaperSize size{-1, -1, ""};
    papers.GetPaperSize(SupportedSizePaperName(code), size);
    EXPECT_EQ(size.Name, name) << "code " << code << " names no paper of the table";
  }
  for (int code : {0, 2, 7, 8, 12, 14, 15, 16, 53, 54, -1, 1000})
    EXPECT_EQ(SupportedSizePaperName(code), "") << code;
}
