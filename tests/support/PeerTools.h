#pragma once

#include "support/TestSupport.h"

#include <string>
#include <vector>

namespace test {

// The Python interpreter that has every one of the modules (Debian's own
// first), or an empty text when none has them: tests that make their files
// with Python's imaging modules skip then.
std::string PythonWith(const std::vector<std::string>& modules);

// Runs a Python script with that interpreter; the arguments are sys.argv[1:].
RunResult RunPython(const std::string& python, const std::string& script,
                    const std::vector<std::string>& arguments = {});

} // namespace test
