#include "dsm/Chooser.h"

#include "dsm/SourceModule.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

bool GraphicalSession() {
  for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY"})
    if (const char* value = std::getenv(variable); value != nullptr && *value != '\0') return true;
  return false;
}

std::string ChooserPath() {
  if (const char* path = std::getenv(kChooserVariable); path != nullptr && *path != '\0')
    return path;
  return (std::filesystem::path(ManagerFolder()) / kChooserProgram).string();
}

// Pipe ends closed on every path.
struct TPipe {
  int Ends[2] = {-1, -1};
  ~TPipe() {
    for (int end : Ends)
      if (end >= 0) ::close(end);
  }
  void CloseEnd(int index) {
    ::close(Ends[index]);
    Ends[index] = -1;
  }
};

} // namespace

TChoice ChooseSource(const std::string& defaultName, const std::vector<std::string>& names,
                     std::string& chosen) {
  if (!GraphicalSession()) return TChoice::Unavailable;
  const std::string program = ChooserPath();
  if (::access(program.c_str(), X_OK) != 0) return TChoice::Unavailable;

  TPipe output;
  if (::pipe2(output.Ends, O_CLOEXEC) != 0) return TChoice::Unavailable;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, output.Ends[1], STDOUT_FILENO);

  std::vector<std::string> arguments{program, defaultName};
  arguments.insert(arguments.end(), names.begin(), names.end());
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);

  pid_t child = -1;
  const int spawned = posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return TChoice::Unavailable;
  output.CloseEnd(1);

  std::string text;
  char buffer[256];
  for (;;) {
    const ssize_t got = ::read(output.Ends[0], buffer, sizeof buffer);
    if (got > 0) {
      text.append(buffer, static_cast<size_t>(got));
    } else if (got < 0 && errno == EINTR) {
      continue;
    } else {
      break;
    }
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return TChoice::Cancelled;
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  chosen = text;
  return TChoice::Chosen;
}
