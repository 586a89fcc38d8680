#pragma once

#include <string>
#include <vector>

// Where scanning profiles live: the program's folder, and a folder of the
// user's own for when the program's folder cannot be written (an installed
// program usually sits in a folder only the administrator may change).
// Both are read. A profile found in the user's folder is read from there,
// so a profile the user saved over a read-only one shadows it.
class TProfileFolders {
public:
  // Folders with or without a trailing "/".
  TProfileFolders(std::string programFolder, std::string userFolder);

  // $XDG_CONFIG_HOME/tessivane, or ~/.config/tessivane when that is not set
  // to an absolute folder.
  static std::string DefaultUserFolder();

  const std::string& ProgramFolder() const { return FProgramFolder; }
  const std::string& UserFolder() const { return FUserFolder; }

  // The profile names of both folders, each name once, in the order of
  // ListProfiles.
  std::vector<std::string> List() const;
  // The folder the profile is read from: the user's when it holds the file,
  // else the program's when it does; empty when neither does or the name
  // names no file of a folder.
  std::string FolderOf(const std::string& profileName) const;
  bool Exists(const std::string& profileName) const { return !FolderOf(profileName).empty(); }
  // The lines of the profile's file. Raises EFOpenError when neither folder
  // holds it, or the error of reading it.
  std::vector<std::string> Load(const std::string& profileName) const;
  // The folder a save of the profile writes to: the folder it is read from
  // when that can be written, else the program's folder when that can be
  // written, else the user's folder.
  std::string SaveFolder(const std::string& profileName) const;
  // Writes the profile there (creating the user's folder when needed) and
  // returns the file written. Raises EFCreateError or EWriteError; an
  // existing file is then left as it was.
  std::string Save(const std::string& profileName, const std::vector<std::string>& lines) const;

private:
  std::string FProgramFolder;
  std::string FUserFolder;
};

// Whether the process may create files in the folder.
bool FolderWritable(const std::string& folder);
