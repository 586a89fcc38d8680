// The bridge asked for its own window, through the engine and the manager:
// a scripted stand-in for the options program answers, as an operator would.
#include "SaneFixture.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace test {
namespace {

constexpr const char* kProgramVariable = "TESSIVANE_SANE_OPTIONS";

class SaneWindowTest : public SaneTest {
protected:
  void TearDown() override {
    unsetenv(kProgramVariable);
    SaneTest::TearDown();
  }
  // The stand-in keeps what it was given, prints the answer and exits with
  // the status given.
  void Answer(const std::string& lines, int status) {
    const std::string path = Dir.File("options.sh");
    std::ofstream script(path);
    script << "#!/bin/sh\ncat > " << Dir.File("given.txt") << "\nprintf '" << lines << "'\nexit "
           << status << "\n";
    script.close();
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    setenv(kProgramVariable, path.c_str(), 1);
    setenv("DISPLAY", ":99", 1);
  }
  std::string Given() const {
    std::ifstream file(Dir.File("given.txt"));
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
  }
  // One window-shown acquisition; false when the source never closed.
  bool Acquire(TAcqTWAIN& twain) {
    twain.ShowUI = true;
    twain.SetDIBHandleType(THDT_DIBRAW);
    twain.SetReturnHandle(true);
    return twain.Acquire(kTestDevice) && WaitClosed(twain);
  }
};

struct TWindowScanCase {
  const char* Name;
  const char* Answer;               // the operator's choices
  std::vector<std::string> Options; // scanimage's for the same page
  int PageBits;
};

const TWindowScanCase kScanCases[] = {
    {"Colour100",
     "mode\\tColor\\nresolution\\t100\\n",
     {"--mode", "Color", "--resolution", "100"},
     24},
    {"Grey50AndArea",
     "mode\\tGray\\nresolution\\t50\\nbr-x\\t100\\nbr-y\\t80\\n",
     {"--mode", "Gray", "--resolution", "50", "-x", "100", "-y", "80"},
     8},
};

class SaneWindowScanTest : public SaneWindowTest,
                           public ::testing::WithParamInterface<TWindowScanCase> {};

TEST_P(SaneWindowScanTest, ScanTakesTheChosenValues) {
  const TWindowScanCase& chosen = GetParam();
  Answer(chosen.Answer, 0);
  auto twain = MakeTwain();
  ASSERT_TRUE(Acquire(*twain));
  ASSERT_EQ(Events.Images.size(), 1u);
  EXPECT_TRUE(Events.Failures.empty());
  const TPnmImage expected = ScanImage(chosen.Options);
  TDIB page;
  View(page, Events.Images[0].Handle);
  EXPECT_EQ(page.BitCount(), chosen.PageBits);
  EXPECT_EQ(page.Width(), expected.Width);
  EXPECT_EQ(page.Height(), expected.Height);
  // The window was given each well-known option with its choices.
  const std::string given = Given();
  for (const char* line :
       {"mode\tScan mode\tstrings\tGray\tGray\tColor", "resolution\tScan resolution\tnumbers\t"})
    EXPECT_NE(given.find(line), std::string::npos) << line << " in\n" << given;
  for (const char* name : {"depth\t", "tl-x\t", "tl-y\t", "br-x\t", "br-y\t"})
    EXPECT_NE(given.find(std::string("\n") + name), std::string::npos) << name;
}

INSTANTIATE_TEST_SUITE_P(Choices, SaneWindowScanTest, ::testing::ValuesIn(kScanCases),
                         [](const auto& test) { return std::string(test.param.Name); });

TEST_F(SaneWindowTest, AfterTheBatchFromTheWindowTheSourceAsksToBeClosed) {
  Answer("", 0);
  auto twain = MakeTwain();
  // Enabled until the source itself asks to be disabled.
  twain->DisableAfterAcquire = false;
  twain->ShowUI = true;
  ASSERT_TRUE(twain->Acquire(kTestDevice));
  ASSERT_TRUE(WaitFor([&] { return Events.CloseSource == 1; }));
  EXPECT_EQ(Events.Images.size(), 1u);
  EXPECT_TRUE(twain->CloseSource());
  EXPECT_TRUE(twain->CloseSourceMgr());
  EXPECT_TRUE(Events.Failures.empty());
}

struct TWindowEndCase {
  const char* Name;
  bool Program;    // the stand-in is there
  int Status;      // its exit status
  size_t Pages;    // delivered
  int CloseSource; // close requests the application saw
};

const TWindowEndCase kEndCases[] = {
    {"CancelScansNothing", true, 1, 0, 1},
    {"AFailedProgramCancels", true, 3, 0, 1},
    {"AMissingProgramScansAsSet", false, 0, 1, 0},
};

class SaneWindowEndTest : public SaneWindowTest,
                          public ::testing::WithParamInterface<TWindowEndCase> {};

TEST_P(SaneWindowEndTest, TheSessionEndsAsTheWindowDid) {
  const TWindowEndCase& end = GetParam();
  Answer("", end.Status);
  if (!end.Program) setenv(kProgramVariable, Dir.File("missing").c_str(), 1);
  auto twain = MakeTwain();
  ASSERT_TRUE(Acquire(*twain));
  EXPECT_EQ(Events.Images.size(), end.Pages);
  EXPECT_EQ(Events.CloseSource, end.CloseSource);
  EXPECT_TRUE(Events.Failures.empty());
}

INSTANTIATE_TEST_SUITE_P(Answers, SaneWindowEndTest, ::testing::ValuesIn(kEndCases),
                         [](const auto& test) { return std::string(test.param.Name); });

} // namespace
} // namespace test
