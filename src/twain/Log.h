#pragma once

#include "twain/Types.h"

#include <string>

// The trace-log settings. Nothing is written to the log file: the settings
// are kept for callers that read them back.
class TAcqTWAINLog {
public:
  // Takes the default log file name and deletes an existing file of that name.
  TAcqTWAINLog();

  // The settings file beside the user's configuration: <config>/AcqTWAIN.INI.
  std::string INIFile() const;
  const std::string& LogFilename() const { return FLogFilename; }
  // A different name is kept, and an existing file of that name deleted.
  void SetLogFilename(const std::string& fileName);
  bool LogToFile = false;
  TTwnErrorLevel MessageLevel = ML_NONE;

  // APPTWN.LOG in the user's state folder.
  static std::string DefaultLogFilename();

private:
  std::string FLogFilename;
};
