#pragma once

#include <string>

// The desktop's file-type association for profile files: a MIME type for
// "*.tsp" and a desktop entry that opens such files with the program, both
// in the user's data folder. Existing files are never replaced, so an
// association the user changed stays as it is.

extern const char* const kProfileMimeType;        // "application/x-tspfile"
extern const char* const kProfileMimeComment;     // its description
extern const char* const kProfileMimePackageFile; // relative to the data folder
extern const char* const kProfileDesktopFile;     // relative to the data folder

// XDG_DATA_HOME when it is an absolute path, else ~/.local/share; empty when
// no home folder is known.
std::string UserDataFolder();

// Writes the MIME package and the desktop entry where they are absent and
// refreshes the user's MIME and desktop caches after writing. Every failure
// is ignored: the association is a convenience, never a reason to stop.
void RegisterProfileFileType(const std::string& executablePath) noexcept;
void RegisterProfileFileType(const std::string& executablePath,
                             const std::string& dataFolder) noexcept;

// The desktop entry's Exec value that starts the executable with one file.
std::string DesktopExecLine(const std::string& executablePath);
