#pragma once

#include <chrono>
#include <string>

// File system steps shared by the file streams.

// The file a name leads to through its symbolic links, also when the last
// link dangles (the file it would create). Raises EFCreateError on a loop.
std::string FollowLinks(const std::string& name);

std::string FolderOf(const std::string& path);
std::string BaseNameOf(const std::string& path);

// The name a replacing writer gives its new file while it is linked in but
// not yet renamed: ".NAME.tessivane-" and six random letters.
std::string TemporaryNameFor(const std::string& target);

// Removes the temporary files in `folder` that no process holds any more:
// each is locked by its writer from creation to rename.
void RemoveStaleTemporaries(const std::string& folder);

// Flushes a folder's entries to the disk; 0 or an error number.
int SyncFolder(const std::string& folder);

// Takes an exclusive lock on `fd`, retrying interruptions, waiting at most
// `timeout` for another holder; 0, or the error number (EWOULDBLOCK when
// the wait ran out).
int LockExclusive(int fd, std::chrono::milliseconds timeout);
