#include "workflow/PageTestSupport.h"
#include "workflow/WorkflowTestSupport.h"

#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct TLimitedRun {
  int status = -1;
  std::string err;
};

// Runs tessivane-cli in a child whose files may not grow beyond limit bytes,
// as on a full disk: writes past it fail with EFBIG instead of a signal.
TLimitedRun RunWithFileLimit(const std::vector<std::string>& arguments, rlim_t limit,
                             const test::TempDir& scratch) {
  const std::string errName = scratch.File("stderr.txt");
  std::vector<std::string> words = arguments;
  words.insert(words.begin(), test::BinPath("tessivane-cli"));
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    const int err = ::open(errName.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (err < 0 || ::dup2(err, STDERR_FILENO) < 0) _exit(127);
    const int null = ::open("/dev/null", O_WRONLY);
    if (null < 0 || ::dup2(null, STDOUT_FILENO) < 0) _exit(127);
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit size{limit, limit};
    if (::setrlimit(RLIMIT_FSIZE, &size) != 0) _exit(127);
    ::execv(argv[0], argv.data());
    _exit(127);
  }
  TLimitedRun result;
  int status = 0;
  if (child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status))
    result.status = WEXITSTATUS(status);
  result.err = test::ReadText(errName);
  return result;
}

// A batch folder with two bilevel A4 pages at 300 dpi and a grey page.
struct TFullBatch {
  test::TempDir batch, scratch, out;
  std::vector<std::string> names = {"a.tif", "b.tif", "c.tif"};
  std::vector<std::vector<uint8_t>> bytes;
  TFullBatch() {
    for (size_t i = 0; i < names.size(); ++i) {
      EXPECT_EQ(
          test::Cli({"make-page", batch.File(names[i]), "--width", "2480", "--height", "3508",
                     "--dpi", "300", "--bits", i == 2 ? "8" : "1", "--seed", std::to_string(i + 1)})
              .status,
          0);
      bytes.push_back(test::ReadFile(batch.File(names[i])));
    }
  }
  void ExpectUnchanged() const {
    EXPECT_EQ(test::FolderNames(batch.Path()), names);
    for (size_t i = 0; i < names.size(); ++i)
      EXPECT_EQ(test::ReadFile(batch.File(names[i])), bytes[i]) << names[i];
  }
};

TEST(FullDisk, ARewriteThatRunsOutOfRoomLeavesEveryFileAsItWas) {
  TFullBatch files;
  for (const char* operation : {"negative", "rotate90"}) {
    SCOPED_TRACE(operation);
    const TLimitedRun run =
        RunWithFileLimit({"process", files.batch.Path(), operation}, 4096, files.scratch);
    EXPECT_EQ(run.status, 1);
    for (const std::string& name : files.names)
      EXPECT_NE(run.err.find("Error processing " + files.batch.File(name) + " - "),
                std::string::npos)
          << run.err;
    files.ExpectUnchanged();
  }
  // With room the same command works.
  EXPECT_EQ(test::Cli({"process", files.batch.Path(), "negative"}).status, 0);
  EXPECT_NE(test::ReadFile(files.batch.File("a.tif")), files.bytes[0]);
}

TEST(FullDisk, SavingTheBatchWithoutRoomLeavesNoFileAndTheBatchAlone) {
  TFullBatch files;
  for (const char* name : {"out.pdf", "out.tif"}) {
    SCOPED_TRACE(name);
    const std::string target = files.out.File(name);
    // Room for about one and a half pages.
    const rlim_t room = files.bytes[0].size() * 3 / 2;
    const TLimitedRun run =
        RunWithFileLimit({"save-batch", files.batch.Path(), target}, room, files.scratch);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err, "");
    files.ExpectUnchanged();
    // The output is made aside and never appears half written.
    EXPECT_EQ(test::FolderNames(files.out.Path()), std::vector<std::string>{});
  }
}

TEST(FullDisk, AppendingToAnExistingTiffWithoutRoomLeavesItAsItWas) {
  TFullBatch files;
  const std::string target = files.out.File("old.tif");
  ASSERT_EQ(test::Cli({"make-page", target, "--width", "200", "--height", "100", "--dpi", "100",
                       "--bits", "1"})
                .status,
            0);
  const auto before = test::ReadFile(target);
  const TLimitedRun run = RunWithFileLimit({"save-batch", files.batch.Path(), target},
                                           before.size() + 512, files.scratch);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err, "");
  EXPECT_EQ(test::ReadFile(target), before);
  EXPECT_EQ(test::FolderNames(files.out.Path()), std::vector<std::string>{"old.tif"});
  files.ExpectUnchanged();
}

} // namespace
