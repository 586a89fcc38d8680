#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "core/CallQueueDispatcher.h"
#include "twain/AcqTWAIN.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

// The product names of the installed data sources, one a line.
int Sources(int argc, char** argv) {
  TCommandLine args(argc, argv);
  if (!args.Positional().empty()) throw TUsageError{"sources takes no arguments"};
  TCallQueueDispatcher dispatcher;
  TAcqTWAIN twain(dispatcher);
  if (!twain.OpenSourceMgr()) {
    std::fprintf(stderr, "The TWAIN Data Source Manager cannot be opened\n");
    return 1;
  }
  std::vector<std::string> names;
  twain.GetSourceList(names);
  twain.CloseSourceMgr();
  for (const std::string& name : names) std::printf("%s\n", name.c_str());
  return 0;
}

const TCommandRegistration registrations[] = {
    TCommandRegistration({"sources", "sources", Sources}),
};

} // namespace
