#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "pdf/BatchPdf.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

// Every page of every input file, in order, into one PDF file, as saving a
// batch does.
int ToPdf(int argc, char** argv) {
  TCommandLine args(argc, argv);
  const std::vector<std::string>& words = args.Positional();
  if (words.size() < 2) throw TUsageError{"topdf needs an output and at least one input"};
  const std::string output = std::filesystem::absolute(words[0]).string();
  const std::vector<std::string> inputs(words.begin() + 1, words.end());
  const int written = SaveBatchAsPdf(output, inputs);
  std::printf("Created file %s with %d images.\n", output.c_str(), written);
  return 0;
}

const TCommandRegistration registrations[] = {
    TCommandRegistration({"topdf", "topdf OUT.pdf IN...", ToPdf}),
};

} // namespace
