#pragma once

#include "support/TestSupport.h"

#include <sys/types.h>

namespace apptest {

// A print scheduler of the test's own: cupsd with its configuration, spool,
// logs and Unix socket in a private folder, one queue that writes each job
// as a PDF file (A3 paper with 18-point unprintable margins), and the CUPS
// client of this process pointed at it. Nothing of the machine's printing
// setup is read or changed; the scheduler is stopped with the object.
class TPrivateCupsServer {
public:
  static constexpr const char* kQueue = "tessivane-pdf";

  // Starts the scheduler, waits until it lists the queue; else raises Exception.
  TPrivateCupsServer();
  TPrivateCupsServer(const TPrivateCupsServer&) = delete;
  TPrivateCupsServer& operator=(const TPrivateCupsServer&) = delete;
  ~TPrivateCupsServer() { Stop(); }
  // The file the queue writes; each job replaces it.
  std::string Output() const { return FFolder.File("out.pdf"); }
  std::string ErrorLog() const;

private:
  void Stop();
  test::TempDir FFolder;
  pid_t FPid = -1;
};

} // namespace apptest
