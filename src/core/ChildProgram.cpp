#include "core/ChildProgram.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

// Pipe ends closed on every path.
struct TPipe {
  int Ends[2] = {-1, -1};
  TPipe() = default;
  TPipe(const TPipe&) = delete;
  TPipe& operator=(const TPipe&) = delete;
  ~TPipe() {
    for (int end : Ends)
      if (end >= 0) ::close(end);
  }
  void CloseEnd(int index) {
    ::close(Ends[index]);
    Ends[index] = -1;
  }
};

struct TSpawnActions {
  posix_spawn_file_actions_t Actions;
  TSpawnActions() { posix_spawn_file_actions_init(&Actions); }
  TSpawnActions(const TSpawnActions&) = delete;
  TSpawnActions& operator=(const TSpawnActions&) = delete;
  ~TSpawnActions() { posix_spawn_file_actions_destroy(&Actions); }
};

// Feeds input and collects the output at the same time, so that neither
// side waits on a full pipe. False when waiting on the pipes failed: the
// output is then incomplete, and both ends are closed, so a child still
// writing or reading is not left blocked on them.
bool Exchange(TPipe& in, TPipe& out, const std::string& input, std::string& output) {
  size_t written = 0;
  if (input.empty()) in.CloseEnd(1);
  char buffer[4096];
  while (out.Ends[0] >= 0) {
    pollfd fds[2] = {{out.Ends[0], POLLIN, 0}, {in.Ends[1], POLLOUT, 0}};
    const nfds_t count = in.Ends[1] >= 0 ? 2 : 1;
    if (::poll(fds, count, -1) < 0) {
      if (errno == EINTR) continue;
      if (in.Ends[1] >= 0) in.CloseEnd(1);
      out.CloseEnd(0);
      return false;
    }
    if (count == 2 && (fds[1].revents & (POLLOUT | POLLERR | POLLHUP)) != 0) {
      const ssize_t put =
          ::send(in.Ends[1], input.data() + written, input.size() - written, MSG_NOSIGNAL);
      if (put > 0) written += static_cast<size_t>(put);
      if ((put < 0 && errno != EINTR && errno != EAGAIN) || written == input.size()) in.CloseEnd(1);
    }
    if ((fds[0].revents & (POLLIN | POLLERR | POLLHUP)) != 0) {
      const ssize_t got = ::read(out.Ends[0], buffer, sizeof buffer);
      if (got > 0)
        output.append(buffer, static_cast<size_t>(got));
      else if (got == 0 || errno != EINTR)
        out.CloseEnd(0);
    }
  }
  return true;
}

} // namespace

bool GraphicalSession() {
  for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY"})
    if (const char* value = std::getenv(variable); value != nullptr && *value != '\0') return true;
  return false;
}

TChildResult RunChild(const std::string& program, const std::vector<std::string>& arguments,
                      const std::string& input) {
  TChildResult result;
  if (::access(program.c_str(), X_OK) != 0) return result;
  TPipe in, out;
  // The input goes through a socket, whose writes can refuse a program that
  // stopped reading without raising SIGPIPE in this process.
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, in.Ends) != 0 ||
      ::pipe2(out.Ends, O_CLOEXEC) != 0)
    return result;
  TSpawnActions actions;
  posix_spawn_file_actions_adddup2(&actions.Actions, in.Ends[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions.Actions, out.Ends[1], STDOUT_FILENO);

  std::vector<std::string> all{program};
  all.insert(all.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& argument : all) argv.push_back(argument.data());
  argv.push_back(nullptr);

  pid_t child = -1;
  if (posix_spawn(&child, program.c_str(), &actions.Actions, nullptr, argv.data(), environ) != 0)
    return result;
  result.Started = true;
  in.CloseEnd(0);
  out.CloseEnd(1);
  const bool exchanged = Exchange(in, out, input, result.Output);

  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  result.Exited = exchanged && WIFEXITED(status);
  result.ExitStatus = result.Exited ? WEXITSTATUS(status) : -1;
  return result;
}
