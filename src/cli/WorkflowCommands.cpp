#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/StandardErrorLog.h"
#include "workflow/BatchFolder.h"
#include "workflow/BatchProgress.h"
#include "workflow/PageOperations.h"
#include "workflow/ProcessAllImages.h"
#include "workflow/SaveBatch.h"

#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// "file k of n" on one line of a terminal, rewritten for each file.
class TTerminalProgress : public TBatchProgress {
public:
  void Begin(int maximum) override { FMaximum = maximum; }
  void Position(int position) override {
    std::fprintf(stderr, "\rfile %d of %d", position + 1, FMaximum);
    std::fflush(stderr);
  }
  void End() override { std::fprintf(stderr, "\r\033[K"); }

private:
  int FMaximum = 0;
};

// Progress is shown only to a person watching, never into a file or pipe.
TBatchProgress* ProgressForStderr(TTerminalProgress& progress) {
  return ::isatty(STDERR_FILENO) ? &progress : nullptr;
}

std::vector<std::string> BatchFilesOf(const std::string& folder) {
  TBatchFolder batch;
  if (!batch.Open(folder)) throw TUsageError{"Not a folder: " + folder};
  return batch.ListBatchFiles();
}

int SaveBatch(int argc, char** argv) {
  TCommandLine args(argc, argv);
  if (args.Positional().size() != 2) throw TUsageError{"save-batch needs a folder and an output"};
  const std::vector<std::string> files = BatchFilesOf(args.Positional()[0]);
  TTerminalProgress progress;
  const TBatchSaveResult result =
      SaveBatchAs(args.Positional()[1], files, ProgressForStderr(progress));
  std::printf("%s\n", CreatedFileText(result.FileName, result.Written).c_str());
  return 0;
}

std::string OperationWords() {
  std::string words;
  for (const TPageCommandInfo& info : PageCommands())
    words += std::string(words.empty() ? "" : ", ") + info.Word;
  return words;
}

int Process(int argc, char** argv) {
  TCommandLine args(argc, argv);
  if (args.Positional().size() != 2) throw TUsageError{"process needs a folder and an operation"};
  const auto command = PageCommandForWord(args.Positional()[1]);
  if (!command) throw TUsageError{"The operation is one of " + OperationWords()};
  const std::vector<std::string> files = BatchFilesOf(args.Positional()[0]);
  TStandardErrorLog log;
  TTerminalProgress progress;
  const TProcessSummary summary =
      ProcessAllImages(files, PageOperation(*command), log, ProgressForStderr(progress));
  std::printf("%d files, %d stored, %d failed\n", summary.Files, summary.Stored, summary.Failed);
  return summary.Failed > 0 ? 1 : 0;
}

const TCommandRegistration registrations[] = {
    TCommandRegistration({"process", "process FOLDER OPERATION", Process}),
    TCommandRegistration({"save-batch", "save-batch FOLDER OUT.tif|OUT.tiff|OUT.pdf", SaveBatch}),
};

} // namespace
