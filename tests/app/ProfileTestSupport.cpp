#include "ProfileTestSupport.h"

#include <sys/stat.h>
#include <unistd.h>

namespace apptest {

std::string UserProfileFolder() {
  return ConfigHome() + "/tessivane";
}

void WriteProfile(const std::string& path, const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  test::WriteFile(path, std::vector<uint8_t>(text.begin(), text.end()));
}

std::string FileText(const std::string& path) {
  const std::vector<uint8_t> bytes = test::ReadFile(path);
  return {bytes.begin(), bytes.end()};
}

TReadOnlyFolder::TReadOnlyFolder(const std::string& folder) : FFolder(folder) {
  ::chmod(folder.c_str(), 0555);
  // Root writes past the mode bits but not past the immutable attribute.
  if (::access(folder.c_str(), W_OK) == 0) test::Run({"chattr", "+i", folder});
  FMade = ::access(folder.c_str(), W_OK) != 0;
}

TReadOnlyFolder::~TReadOnlyFolder() {
  test::Run({"chattr", "-i", FFolder});
  ::chmod(FFolder.c_str(), 0755);
}

} // namespace apptest
