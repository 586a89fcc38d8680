#pragma once

#include <functional>
#include <set>
#include <string>

namespace test {

// Fails write point `point` (counting from 1) with `error` while the object
// lives; every other point passes. Passed() counts the points reached.
class TWritePointFault {
public:
  TWritePointFault(int point, int error);
  TWritePointFault(const TWritePointFault&) = delete;
  TWritePointFault& operator=(const TWritePointFault&) = delete;
  ~TWritePointFault();
  static int Passed();
};

// Runs `body` in a child process that is killed outright (SIGKILL, as
// kill -9) on reaching write point `point`. True when the child was killed
// there; false when the body finished before reaching it. A body that
// fails in the child fails the test.
bool KilledAtWritePoint(int point, const std::function<void()>& body);

// Runs `body` in `count` child processes at once and waits for all; each
// gets its number. True when every child exited 0.
bool RunInChildren(int count, const std::function<void(int)>& body);

// The names in a folder (without "." and "..").
std::set<std::string> FolderEntries(const std::string& folder);

} // namespace test
