#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "core/Exception.h"
#include "profiles/ProfileFile.h"
#include "profiles/ProfileStore.h"
#include "profiles/SettingLine.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace {

// Prints the scanner, then every setting the way the profile editor lists it.
// A setting the editor could not show ends the listing with its line number.
int Show(const std::string& fileName) {
  const std::vector<std::string> lines = LoadProfileFile(fileName);
  const std::string scanner = ProfileScannerName(lines);
  std::printf("%s\n", scanner.empty() ? "(default scanner)" : scanner.c_str());
  for (size_t i = 1; i < lines.size(); ++i) {
    try {
      std::printf("%s\n", SettingDisplayText(lines[i]).c_str());
    } catch (const Exception& error) {
      std::fflush(stdout);
      std::fprintf(stderr, "%s, line %zu: %s\n", fileName.c_str(), i + 1, error.Message().c_str());
      return 1;
    }
  }
  return 0;
}

int List(const std::string& folder) {
  std::error_code error;
  if (!std::filesystem::is_directory(folder, error)) {
    std::fprintf(stderr, "Cannot open folder \"%s\".\n", folder.c_str());
    return 1;
  }
  std::vector<std::string> names;
  ListProfiles(folder, names);
  for (const std::string& name : names) std::printf("%s\n", name.c_str());
  return 0;
}

int Profile(int argc, char** argv) {
  TCommandLine args(argc, argv);
  const std::vector<std::string>& words = args.Positional();
  if (words.size() != 2) throw TUsageError{"profile needs show FILE or list FOLDER"};
  if (words[0] == "show") return Show(words[1]);
  if (words[0] == "list") return List(words[1]);
  throw TUsageError{"unknown profile command: " + words[0]};
}

const TCommandRegistration registrations[] = {
    TCommandRegistration({"profile", "profile show FILE | profile list FOLDER", Profile}),
};

} // namespace
