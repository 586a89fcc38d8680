#pragma once

#include "workflow/LogSink.h"

#include <cstdio>
#include <string>

// The command-line tool's log: each line on the standard error stream.
class TStandardErrorLog : public TLogSink {
public:
  void AddLine(const std::string& line) override { std::fprintf(stderr, "%s\n", line.c_str()); }
};
