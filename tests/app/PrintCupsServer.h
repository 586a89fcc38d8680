#pragma once

#include "support/TestSupport.h"

#include <string>
#include <sys/types.h>
#include <vector>

namespace apptest {

// A print scheduler of the test's own: cupsd with its configuration, spool,
// logs and Unix socket in a private folder, one queue that writes each job
// as a PDF file (A3 paper with 18-point unprintable margins), and the CUPS
// client of this process pointed at it. Nothing of the machine's printing
// setup is read or changed; the scheduler is stopped with the object.
class TPrivateCupsServer {
public:
  static constexpr const char* kQueue = "tessivane-pdf";

  // The scheduler program, or "" when it is not installed.
  static std::string Program();

  // Starts the scheduler and waits, within a bound, until it lists the
  // queue; raises Exception with its error log when it does not.
  TPrivateCupsServer();
  TPrivateCupsServer(const TPrivateCupsServer&) = delete;
  TPrivateCupsServer& operator=(const TPrivateCupsServer&) = delete;
  ~TPrivateCupsServer();

  // The file the queue writes; each job replaces it.
  std::string Output() const { return FFolder.File("out.pdf"); }
  // Waits, within a bound, until count jobs have ended; their titles, in the
  // order they were sent, with " (not completed)" after a job that failed.
  // Raises Exception when they do not end in time.
  std::vector<std::string> EndedJobs(size_t count) const;
  // The scheduler's error log.
  std::string ErrorLog() const;

private:
  void WriteConfiguration() const;
  void Stop();

  test::TempDir FFolder;
  std::string FSocket;
  // The client settings before the scheduler started, put back when it stops.
  std::string FOldServer, FOldServerRoot;
  pid_t FPid = -1;
};

} // namespace apptest
