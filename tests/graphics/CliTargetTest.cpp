#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

std::string Cli() {
  return test::BinPath("tessivane-cli");
}

// Runs the command line with the file size limited to `kilobytes`, the
// signal that limit raises ignored, as on a full disk: writes fail.
test::RunResult RunWithFileLimit(int kilobytes, const std::vector<std::string>& arguments) {
  std::string command = "trap '' XFSZ; ulimit -f " + std::to_string(kilobytes) + "; exec";
  for (const std::string& argument : arguments) command += " '" + argument + "'";
  return test::Run({"sh", "-c", command});
}

} // namespace

// A write that fails is told with the file and the cause, the library's
// own message after them; the target stays as it was.
TEST(CliTargets, WriteFailuresNameTheFileAndTheCause) {
  test::TempDir dir;
  const std::string page = dir.File("page.tif");
  ASSERT_EQ(test::Run({Cli(), "make-page", page, "--width", "1200", "--height", "1200", "--dpi",
                       "150", "--bits", "8"})
                .status,
            0);
  const std::string batch = dir.File("batch.tif");
  ASSERT_EQ(test::Run({Cli(), "convert", page, batch, "--compression", "1"}).status, 0);
  const std::vector<uint8_t> kept = test::ReadFile(batch);
  const struct {
    std::vector<std::string> arguments;
    std::string target;
    std::string message;
    int limit; // kilobytes
  } cases[] = {
      {{"convert", page, dir.File("out.tif"), "--compression", "1"},
       dir.File("out.tif"),
       "File too large (TIFFWriteScanLine)",
       100},
      {{"topdf", dir.File("out.pdf"), page},
       dir.File("out.pdf"),
       "File too large (Stream write error)",
       4},
      {{"convert", page, batch, "--compression", "1", "--append"},
       batch,
       "File too large (TIFFWriteScanLine)",
       static_cast<int>(kept.size() / 1024) + 100},
  };
  for (const auto& c : cases) {
    std::vector<std::string> arguments = {Cli()};
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    const test::RunResult run = RunWithFileLimit(c.limit, arguments);
    EXPECT_EQ(run.status, 1) << c.arguments[0];
    EXPECT_EQ(run.err, c.target + ": " + c.message + "\n");
  }
  EXPECT_EQ(test::ReadFile(batch), kept);
  EXPECT_EQ(test::Run({"ls", "-A", dir.Path()}).out, "batch.tif\npage.tif\n");
}

// Pipes are refused at once as inputs, outputs and append targets; a device
// is written in place and stays a device.
TEST(CliTargets, PipesAreRefusedAndDevicesWrittenInPlace) {
  test::TempDir dir;
  const std::string page = dir.File("page.tif");
  ASSERT_EQ(test::Run({Cli(), "make-page", page, "--width", "200", "--height", "100", "--dpi", "72",
                       "--bits", "1"})
                .status,
            0);
  const std::string pipe = dir.File("pipe.tif");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
  const std::vector<std::vector<std::string>> commands = {
      {"info", pipe},
      {"convert", pipe, dir.File("out.tif")},
      {"deskew", pipe, dir.File("out.tif")},
      {"topdf", dir.File("out.pdf"), pipe},
      {"append", pipe, page},
      {"convert", page, pipe},
      {"convert", page, pipe, "--append"},
  };
  for (const auto& command : commands) {
    std::vector<std::string> arguments = {"timeout", "60", Cli()};
    arguments.insert(arguments.end(), command.begin(), command.end());
    const test::RunResult run = test::Run(arguments);
    EXPECT_EQ(run.status, 1) << command[0] << " " << command[1];
    EXPECT_NE(run.err.find(pipe), std::string::npos) << run.err;
  }
  EXPECT_EQ(test::Run({"ls", "-A", dir.Path()}).out, "page.tif\npipe.tif\n");

  EXPECT_EQ(test::Run({Cli(), "deskew", page, "/dev/null"}).status, 0);
  struct stat info {};
  ASSERT_EQ(::stat("/dev/null", &info), 0);
  EXPECT_TRUE(S_ISCHR(info.st_mode));
  const test::RunResult full = test::Run({Cli(), "convert", page, "/dev/full"});
  EXPECT_EQ(full.status, 1);
  EXPECT_EQ(full.err, "Cannot create file \"/dev/full\". No space left on device\n");
}
