#include "support/WritePointFaults.h"

#include "core/WritePoint.h"

#include <atomic>
#include <csignal>
#include <dirent.h>
#include <exception>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace test {

namespace {

std::atomic<int> reached{0};
std::atomic<int> chosen{0};
std::atomic<int> chosenError{0};

int FailChosen() {
  return ++reached == chosen.load() ? chosenError.load() : 0;
}

int KillAtChosen() {
  if (++reached == chosen.load()) ::raise(SIGKILL);
  return 0;
}

// Runs body in a forked child; its wait status.
int InChild(const std::function<void()>& body) {
  const pid_t child = ::fork();
  if (child == 0) {
    // The child leaves at once, without the test framework's or the
    // sanitizers' exit work, which belongs to the parent.
    try {
      body();
    } catch (const std::exception&) {
      ::_exit(3);
    }
    ::_exit(0);
  }
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child) return -1;
  return status;
}

} // namespace

TWritePointFault::TWritePointFault(int point, int error) {
  reached = 0;
  chosen = point;
  chosenError = error;
  SetWritePointObserver(FailChosen);
}

TWritePointFault::~TWritePointFault() {
  SetWritePointObserver(nullptr);
}

int TWritePointFault::Passed() {
  return reached.load();
}

bool KilledAtWritePoint(int point, const std::function<void()>& body) {
  const int status = InChild([&] {
    reached = 0;
    chosen = point;
    SetWritePointObserver(KillAtChosen);
    body();
  });
  if (WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) return true;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) throw std::runtime_error("the child failed");
  return false;
}

bool RunInChildren(int count, const std::function<void(int)>& body) {
  std::vector<pid_t> children;
  for (int i = 0; i < count; ++i) {
    const pid_t child = ::fork();
    if (child == 0) {
      try {
        body(i);
      } catch (const std::exception&) {
        ::_exit(3);
      }
      ::_exit(0);
    }
    if (child > 0) children.push_back(child);
  }
  bool allGood = static_cast<int>(children.size()) == count;
  for (pid_t child : children) {
    int status = 0;
    allGood = ::waitpid(child, &status, 0) == child && WIFEXITED(status) &&
              WEXITSTATUS(status) == 0 && allGood;
  }
  return allGood;
}

std::set<std::string> FolderEntries(const std::string& folder) {
  std::set<std::string> names;
  if (DIR* directory = ::opendir(folder.c_str())) {
    while (dirent* entry = ::readdir(directory)) {
      const std::string name = entry->d_name;
      if (name != "." && name != "..") names.insert(name);
    }
    ::closedir(directory);
  }
  return names;
}

} // namespace test
