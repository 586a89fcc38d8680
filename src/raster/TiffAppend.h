#pragma once

#include "core/Stream.h"

#include <functional>
#include <string>

// Adds a page to a TIFF file so that no moment leaves it broken. The page's
// data and directory go after the file's end first and are flushed to the
// disk; only then does one small write link the directory into the page
// chain, flushed again. Interrupted before the link, the file is the old
// one with unreachable bytes after its end; after it, the new one. A file
// whose chain is damaged is refused before anything is written, and a
// failed append leaves the file byte for byte as it was.

// `writePage` adds the page through libtiff opened on the stream it gets,
// in append mode. `flush` puts what was written on the disk (nothing for a
// stream in memory); it is called before and after the link.
void AppendTiffPage(TStream& stream, const std::function<void(TStream&)>& writePage,
                    const std::function<void()>& flush);

// Adds a page to the TIFF file `fileName`, creating the file when it is
// missing. Creating and appending are one locked step with respect to other
// writers doing the same: concurrent appends all land, in the order they
// got the lock. `writePage(stream, append)` writes one page, as a new file
// when `append` is false.
void AppendTiffPageToFile(const std::string& fileName,
                          const std::function<void(TStream&, bool)>& writePage);
