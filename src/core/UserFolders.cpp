#include "core/UserFolders.h"

#include "core/Exception.h"

#include <cerrno>
#include <cstdlib>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace {

// The home folder of the account the program runs as; empty when the
// account has none that is an absolute path.
std::string AccountHomeFolder() {
  const long suggested = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(suggested > 0 ? static_cast<size_t>(suggested) : 16384);
  passwd entry{};
  passwd* found = nullptr;
  int error = 0;
  while ((error = ::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found)) ==
             ERANGE &&
         buffer.size() < (1u << 20))
    buffer.resize(buffer.size() * 2);
  if (error != 0 || found == nullptr || found->pw_dir == nullptr || found->pw_dir[0] != '/')
    return {};
  return found->pw_dir;
}

} // namespace

std::string XdgUserFolder(const char* variable, const char* fallback) {
  if (const char* folder = std::getenv(variable); folder != nullptr && *folder == '/')
    return folder;
  if (const char* home = std::getenv("HOME"); home != nullptr && *home == '/')
    return std::string(home) + fallback;
  const std::string home = AccountHomeFolder();
  if (home.empty())
    throw Exception(std::string("The user's folders are unknown: neither ") + variable +
                    " nor HOME is set and the user account has no home folder");
  return home + fallback;
}

std::string UserStateFolder() {
  return XdgUserFolder("XDG_STATE_HOME", "/.local/state") + "/tessivane";
}
