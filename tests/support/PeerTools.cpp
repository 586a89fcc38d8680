#include "support/PeerTools.h"

namespace test {

std::string PythonWith(const std::vector<std::string>& modules) {
  std::string imports = "import sys";
  for (const std::string& module : modules) imports += ", " + module;
  for (const char* python : {"/usr/bin/python3", "python3"})
    if (Run({python, "-c", imports}).status == 0) return python;
  return {};
}

RunResult RunPython(const std::string& python, const std::string& script,
                    const std::vector<std::string>& arguments) {
  std::vector<std::string> command = {python, "-c", script};
  command.insert(command.end(), arguments.begin(), arguments.end());
  return Run(command);
}

} // namespace test
