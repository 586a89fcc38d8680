#pragma once

#include <string>
#include <vector>

namespace test {

// Writes text as a file's whole content.
void WriteText(const std::string& path, const std::string& text);
// A file's whole content; "(missing)" when it cannot be read.
std::string ReadText(const std::string& path);
// The names in a folder (hidden ones included), sorted by their bytes.
std::vector<std::string> FolderNames(const std::string& folder);

} // namespace test
