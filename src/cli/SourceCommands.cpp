#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "core/CallQueueDispatcher.h"
#include "twain/AcqTWAIN.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The product names of the installed data sources, one a line: the
// default source first (the virtual scanner until the operator chooses
// another), then the others in the manager's order.
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
  TW_IDENTITY chosen{};
  if (twain.Triplet(DG_CONTROL, DAT_IDENTITY, MSG_GETDEFAULT, &chosen, sizeof chosen, false) ==
      TWRC_SUCCESS) {
    const auto found = std::find(
        names.begin(), names.end(),
        std::string(chosen.ProductName, strnlen(chosen.ProductName, sizeof chosen.ProductName)));
    if (found != names.end()) std::rotate(names.begin(), found, found + 1);
  }
  twain.CloseSourceMgr();
  for (const std::string& name : names) std::printf("%s\n", name.c_str());
  return 0;
}

const TCommandRegistration registrations[] = {
    TCommandRegistration({"sources", "sources", Sources}),
};

} // namespace
