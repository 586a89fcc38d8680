#include "profiles/FileAssociation.h"

#include "core/FileStream.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <pwd.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

const char* const kProfileMimeType = "application/x-tspfile";
const char* const kProfileMimeComment = "Vellumtrace Twain Settings Parameters File";
const char* const kProfileMimePackageFile = "mime/packages/tessivane-tspfile.xml";
const char* const kProfileDesktopFile = "applications/tessivane-tspfile.desktop";

namespace {

std::string MimePackage() {
  return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                     "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
                     "  <mime-type type=\"") +
         kProfileMimeType + "\">\n    <comment>" + kProfileMimeComment +
         "</comment>\n"
         "    <sub-class-of type=\"text/plain\"/>\n"
         "    <glob pattern=\"*.tsp\"/>\n"
         "  </mime-type>\n"
         "</mime-info>\n";
}

// A desktop entry string value: backslashes and control characters escaped.
std::string DesktopString(const std::string& text) {
  std::string escaped;
  for (char c : text) {
    switch (c) {
    case '\\':
      escaped += "\\\\";
      break;
    case '\n':
      escaped += "\\n";
      break;
    case '\t':
      escaped += "\\t";
      break;
    case '\r':
      escaped += "\\r";
      break;
    default:
      escaped += c;
    }
  }
  return escaped;
}

std::string DesktopEntry(const std::string& executablePath) {
  return std::string("[Desktop Entry]\n"
                     "Type=Application\n"
                     "Name=Tessivane\n"
                     "Exec=") +
         DesktopString(DesktopExecLine(executablePath)) + "\nMimeType=" + kProfileMimeType +
         ";\nNoDisplay=true\nTerminal=false\n";
}

// Creates the file with the given text when nothing of that name exists.
// Returns whether it wrote the file.
bool WriteIfAbsent(const std::filesystem::path& file, const std::string& text) {
  std::error_code error;
  if (std::filesystem::symlink_status(file, error).type() !=
          std::filesystem::file_type::not_found ||
      (error && error != std::errc::no_such_file_or_directory))
    return false;
  std::filesystem::create_directories(file.parent_path(), error);
  if (error) return false;
  TReplacingFileStream stream(file.string());
  stream.WriteBuffer(text.data(), text.size());
  stream.Commit();
  return true;
}

// Runs a cache tool on a folder and waits for it; its output is discarded.
void RunTool(const char* tool, const std::string& folder) {
  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) return;
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::string argument = folder;
  char* argv[] = {const_cast<char*>(tool), argument.data(), nullptr};
  pid_t pid = 0;
  const int spawned = ::posix_spawnp(&pid, tool, &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return;
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
}

} // namespace

std::string UserDataFolder() {
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  if (dataHome != nullptr && dataHome[0] == '/') return dataHome;
  std::string home;
  if (const char* variable = std::getenv("HOME"); variable != nullptr && variable[0] == '/') {
    home = variable;
  } else {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr && found->pw_dir[0] == '/')
      home = found->pw_dir;
  }
  return home.empty() ? std::string() : home + "/.local/share";
}

std::string DesktopExecLine(const std::string& executablePath) {
  // The path is quoted as one argument; inside the quotes ", `, $ and \ take a
  // backslash, and % is doubled so it is no field code. %f is the file opened.
  std::string quoted = "\"";
  for (char c : executablePath) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
    if (c == '%') quoted += '%';
    quoted += c;
  }
  return quoted + "\" %f";
}

void RegisterProfileFileType(const std::string& executablePath) noexcept {
  try {
    const std::string dataFolder = UserDataFolder();
    if (!dataFolder.empty()) RegisterProfileFileType(executablePath, dataFolder);
  } catch (...) {
  }
}

void RegisterProfileFileType(const std::string& executablePath,
                             const std::string& dataFolder) noexcept {
  // The two parts fail independently: a MIME folder that cannot be written
  // still lets the desktop entry be added, and the other way round.
  try {
    const std::filesystem::path data(dataFolder);
    if (WriteIfAbsent(data / kProfileMimePackageFile, MimePackage()))
      RunTool("update-mime-database", (data / "mime").string());
  } catch (...) {
  }
  try {
    const std::filesystem::path data(dataFolder);
    if (WriteIfAbsent(data / kProfileDesktopFile, DesktopEntry(executablePath)))
      RunTool("update-desktop-database", (data / "applications").string());
  } catch (...) {
  }
}
