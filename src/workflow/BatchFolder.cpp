#include "workflow/BatchFolder.h"

#include "workflow/BatchFiles.h"
#include "workflow/BatchTexts.h"

#include <QCollator>
#include <QFile>
#include <QLocale>
#include <QString>

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

std::string FileNameOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool EqualsIgnoringCase(const std::string& a, const char* b) {
  const std::string other(b);
  return a.size() == other.size() &&
         std::equal(a.begin(), a.end(), other.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// True for an entry of any kind, a dangling symbolic link included.
bool EntryExists(const std::string& path) {
  struct stat status {};
  return lstat(path.c_str(), &status) == 0;
}

} // namespace

bool TBatchFolder::HasBatchExtension(const std::string& fileName) {
  const size_t dot = fileName.find_last_of('.');
  if (dot == std::string::npos) return false;
  const std::string extension = fileName.substr(dot + 1);
  static constexpr std::array kExtensions{"tif", "tiff", "pdf", "jpg", "bmp"};
  return std::any_of(kExtensions.begin(), kExtensions.end(),
                     [&](const char* known) { return EqualsIgnoringCase(extension, known); });
}

bool TBatchFolder::IsBatchFile(const std::string& path) {
  const std::string name = FileNameOf(path);
  if (name.empty() || name[0] == '.' || !HasBatchExtension(name)) return false;
  struct stat status {};
  return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

bool TBatchFolder::Exists() const {
  std::error_code error;
  return IsOpen() && fs::is_directory(FBatchFolder, error);
}

bool TBatchFolder::Open(const std::string& path) {
  std::error_code error;
  if (path.empty() || !fs::is_directory(path, error)) {
    FBatchFolder.clear();
    return false;
  }
  FBatchFolder = path.back() == '/' ? path : path + "/";
  return true;
}

std::vector<std::string> TBatchFolder::ListBatchFiles() const {
  std::vector<std::string> files;
  if (!IsOpen()) return files;
  std::error_code error;
  fs::directory_iterator entries(FBatchFolder, error);
  if (error) return files;
  for (const fs::directory_entry& entry : entries) {
    const std::string path = FBatchFolder + entry.path().filename().native();
    if (IsBatchFile(path)) files.push_back(path);
  }
  SortBatchOrder(files);
  return files;
}

int TBatchFolder::CountBatchFiles() const {
  return static_cast<int>(ListBatchFiles().size());
}

std::string TBatchFolder::NewBatchFileName(const std::string& extension) {
  if (!IsOpen()) throw EBatchFileError(kNoBatchFolderText);
  for (;;) {
    std::string number = std::to_string(FNextFileNumber);
    if (number.size() < 8) number.insert(0, 8 - number.size(), '0');
    std::string candidate = FBatchFolder + number + extension;
    ++FNextFileNumber;
    if (!EntryExists(candidate)) return candidate;
  }
}

void SortBatchOrder(std::vector<std::string>& paths) {
  // Case is folded before collating, because the collator of the "C" locale
  // compares code points and would otherwise put every capital first.
  QCollator collator{QLocale()};
  collator.setCaseSensitivity(Qt::CaseInsensitive);
  std::vector<std::pair<QCollatorSortKey, std::string>> keyed;
  keyed.reserve(paths.size());
  for (std::string& path : paths)
    keyed.emplace_back(
        collator.sortKey(QFile::decodeName(QByteArray::fromStdString(path)).toCaseFolded()),
        std::move(path));
  std::sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) {
    const int order = a.first.compare(b.first);
    return order != 0 ? order < 0 : a.second < b.second;
  });
  for (size_t i = 0; i < paths.size(); ++i) paths[i] = std::move(keyed[i].second);
}

bool SameBatchPath(const std::string& a, const std::string& b) {
  return fs::path(a).lexically_normal() == fs::path(b).lexically_normal();
}

std::optional<std::string> MovePartner(const std::vector<std::string>& files,
                                       const std::string& path, TMoveDirection direction) {
  const auto found = std::find_if(files.begin(), files.end(), [&](const std::string& file) {
    return SameBatchPath(file, path);
  });
  if (found == files.end()) return std::nullopt;
  if (direction == TMoveDirection::Prior)
    return found == files.begin() ? std::nullopt : std::optional(*(found - 1));
  return found + 1 == files.end() ? std::nullopt : std::optional(*(found + 1));
}
