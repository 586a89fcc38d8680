#include "profiles/ProfileFile.h"

#include "core/Exception.h"
#include "core/FileStream.h"
#include "profiles/Text.h"

#include <cerrno>
#include <sys/stat.h>

namespace {

bool IsFileName(const std::string& profileName) {
  return !profileName.empty() && profileName.find('/') == std::string::npos &&
         profileName.find('\0') == std::string::npos;
}

} // namespace

std::vector<std::string> ProfileTextToLines(const std::string& bytes) {
  static const std::string kByteOrderMark = "\xEF\xBB\xBF";
  const std::string text =
      DecodeUtf8OrLatin1(bytes.compare(0, kByteOrderMark.size(), kByteOrderMark) == 0
                             ? bytes.substr(kByteOrderMark.size())
                             : bytes);
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
  }
  return lines;
}

std::string LinesToProfileText(const std::vector<std::string>& lines) {
  if (lines.empty()) return "\r\n";
  std::string text;
  for (const std::string& line : lines) {
    text += line;
    text += "\r\n";
  }
  return text;
}

std::vector<std::string> LoadProfileFile(const std::string& fileName) {
  // Only an ordinary file is read: a folder or a pipe would fail or block.
  struct stat info {};
  if (::stat(fileName.c_str(), &info) != 0) throw EFOpenError(fileName, errno);
  if (!S_ISREG(info.st_mode)) throw EFOpenError(fileName, S_ISDIR(info.st_mode) ? EISDIR : EINVAL);
  TFileStream file(fileName, TFileStream::fmOpenRead);
  std::string bytes(static_cast<size_t>(file.Size()), '\0');
  file.ReadBuffer(bytes.data(), bytes.size());
  return ProfileTextToLines(bytes);
}

void SaveProfileFile(const std::string& fileName, const std::vector<std::string>& lines) {
  const std::string text = LinesToProfileText(lines);
  TReplacingFileStream file(fileName);
  file.WriteBuffer(text.data(), text.size());
  file.Commit();
}

std::string ProfileFileName(const std::string& folder, const std::string& profileName) {
  const bool delimited = folder.empty() || folder.back() == '/';
  return folder + (delimited ? "" : "/") + profileName + ".tsp";
}

std::vector<std::string> LoadNamedProfile(const std::string& folder,
                                          const std::string& profileName) {
  const std::string fileName = ProfileFileName(folder, profileName);
  if (!IsFileName(profileName)) throw EFOpenError(fileName, EINVAL);
  return LoadProfileFile(fileName);
}

void SaveNamedProfile(const std::string& folder, const std::string& profileName,
                      const std::vector<std::string>& lines) {
  const std::string fileName = ProfileFileName(folder, profileName);
  if (!IsFileName(profileName)) throw EFCreateError(fileName, EINVAL);
  SaveProfileFile(fileName, lines);
}
