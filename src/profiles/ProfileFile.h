#pragma once

#include <string>
#include <vector>

// A scanning profile is a text file "<name>.tsp": line 0 names the scanner
// (empty for the default one), every further line is a setting line
// "capability,type,value" (see SettingLine.h).

// Splits the bytes of a profile file into lines. CR LF, a lone LF and a lone
// CR each end a line; a line end at the very end adds no empty line, so an
// empty file has no lines. Bytes that are not valid UTF-8 are read as
// Latin-1, and a leading UTF-8 byte order mark is dropped.
std::vector<std::string> ProfileTextToLines(const std::string& bytes);

// The bytes of a profile file: every line followed by CR LF, in UTF-8. An
// empty list still gives the scanner line (an empty line).
std::string LinesToProfileText(const std::vector<std::string>& lines);

// Reads a profile file. Raises EFOpenError when it cannot be opened or is not
// an ordinary file, EReadError when it cannot be read.
std::vector<std::string> LoadProfileFile(const std::string& fileName);

// Writes a profile file through a temporary file renamed over the target, so
// a failed save leaves any existing file as it was. Raises EFCreateError or
// EWriteError.
void SaveProfileFile(const std::string& fileName, const std::vector<std::string>& lines);

// folder + name + ".tsp", with a path delimiter put between when the folder
// has none.
std::string ProfileFileName(const std::string& folder, const std::string& profileName);

// Load and save by profile name. A name that is empty or holds a path
// delimiter or a NUL names no file of the folder: loading raises
// EFOpenError, saving EFCreateError, and nothing outside the folder is read
// or written.
std::vector<std::string> LoadNamedProfile(const std::string& folder,
                                          const std::string& profileName);
void SaveNamedProfile(const std::string& folder, const std::string& profileName,
                      const std::vector<std::string>& lines);
