#pragma once

#include <mutex>
#include <string>
#include <vector>

// Where the program's log lines go: the log window in the program, the
// standard error stream in the command-line tool, a list in tests. Lines are
// plain text without a line end; nothing is written to a log file. AddLine may
// be called from any thread; an implementation that shows lines in a window
// hands them to the user-interface thread itself.
class TLogSink {
public:
  virtual ~TLogSink() = default;
  virtual void AddLine(const std::string& line) = 0;
};

// Keeps the lines in memory, in the order they came; safe from any thread.
class TLogLines : public TLogSink {
public:
  void AddLine(const std::string& line) override;
  std::vector<std::string> Lines() const;
  void Clear();

private:
  mutable std::mutex FMutex;
  std::vector<std::string> FLines;
};
