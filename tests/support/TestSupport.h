#pragma once

#include "core/Exception.h"

#include <cstdint>
#include <string>
#include <vector>

namespace test {

// The message of the error body raises, or "(no error)".
template <typename Body> std::string ErrorOf(Body&& body) {
  try {
    body();
  } catch (const Exception& error) {
    return error.Message();
  }
  return "(no error)";
}

// A fresh folder under the system's temporary folder, removed with all its
// contents when the object goes.
class TempDir {
public:
  TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir();
  const std::string& Path() const { return FPath; }
  std::string File(const std::string& name) const { return FPath + "/" + name; }

private:
  std::string FPath;
};

struct RunResult {
  int status = -1; // exit status, or -1 when the program did not exit normally
  std::string out; // standard output
  std::string err; // standard error
};

// Runs a program without a shell; arguments are passed as they are.
RunResult Run(const std::vector<std::string>& arguments);

// Paths of the project's own programs and test data.
std::string BinPath(const std::string& program);
std::string SourcePath(const std::string& relative);

std::vector<uint8_t> ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);
bool FileExists(const std::string& path);

} // namespace test
