// The bridge asked for its own window, through the engine and the manager:
// a scripted stand-in for the options program answers, as an operator would.
#include "SaneFixture.h"

#include <filesystem>
#include <fstream>

namespace test {
namespace {

struct TWindowCase {
  const char* Name;
  int Status;      // the stand-in's exit status, -1 when there is no program
  size_t Pages;    // delivered
  int CloseSource; // close requests the application saw
};

const TWindowCase kWindowCases[] = {
    {"ScanTakesTheChosenValues", 0, 1, 1},
    {"CancelScansNothing", 1, 0, 1},
    {"AMissingProgramScansAsSet", -1, 1, 0},
};

class SaneWindowTest : public SaneTest, public ::testing::WithParamInterface<TWindowCase> {};

TEST_P(SaneWindowTest, TheSessionEndsAsTheWindowDid) {
  const TWindowCase& window = GetParam();
  // In a graphical session, the stand-in keeps what it was given, answers and exits.
  setenv("DISPLAY", ":99", 1);
  if (window.Status >= 0) {
    std::ofstream(Dir.File("options.sh"))
        << "#!/bin/sh\ncat > " << Dir.File("given.txt")
        << "\nprintf 'mode\\tColor\\nresolution\\t50\\nbr-x\\t100\\nbr-y\\t80\\n'\nexit "
        << window.Status << "\n";
    std::filesystem::permissions(Dir.File("options.sh"), std::filesystem::perms::owner_all);
  }
  auto twain = MakeTwain();
  twain->ShowUI = true;
  twain->SetDIBHandleType(THDT_DIBRAW);
  twain->SetReturnHandle(true);
  twain->DisableAfterAcquire = window.Status != 0; // a scan: enabled until the source asks
  ASSERT_TRUE(twain->Acquire(kTestDevice));
  if (window.Status == 0) {
    ASSERT_TRUE(WaitFor([&] { return Events.CloseSource == 1; }));
    EXPECT_TRUE(twain->CloseSource() && twain->CloseSourceMgr());
  }
  ASSERT_TRUE(WaitClosed(*twain));
  ASSERT_EQ(Events.Images.size(), window.Pages);
  EXPECT_EQ(Events.CloseSource, window.CloseSource);
  EXPECT_TRUE(Events.Failures.empty());
  if (window.Status != 0) return;
  const TiffLook chosen =
      ScanImage({"--mode", "Color", "--resolution", "50", "-x", "100", "-y", "80"});
  TDIB page;
  View(page, Events.Images[0].Handle);
  ASSERT_EQ(page.Width(), chosen.width);
  EXPECT_TRUE(Looks(page) == chosen.pixels);
  // The window was given each well-known option with its choices.
  std::ifstream file(Dir.File("given.txt"));
  const std::string given((std::istreambuf_iterator<char>(file)), {});
  for (const char* line :
       {"mode\tScan mode\tstrings\tGray\tGray\tColor\n", "\nresolution\tScan resolution\tnumbers\t",
        "\ndepth\t", "\ntl-x\t", "\ntl-y\t", "\nbr-x\t", "\nbr-y\t"})
    EXPECT_NE(given.find(line), std::string::npos) << line << " in\n" << given;
}

INSTANTIATE_TEST_SUITE_P(Answers, SaneWindowTest, ::testing::ValuesIn(kWindowCases),
                         [](const auto& test) { return std::string(test.param.Name); });

} // namespace
} // namespace test
