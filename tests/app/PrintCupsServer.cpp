#include "PrintCupsServer.h"
#include "WindowFixture.h"

#include "core/Exception.h"

#include <cups/cups.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace apptest {

namespace {

// A PDF printer on A3 paper, 18 points unprintable at each edge.
const char* const kPpd = R"ppd(*PPD-Adobe: "4.3"
*cupsFilter2: "application/vnd.cups-pdf application/pdf 0 -"
*OpenUI *PageSize: PickOne
*DefaultPageSize: A3
*PageSize A3: "<</PageSize[842 1191]>>setpagedevice"
*CloseUI: *PageSize
*DefaultImageableArea: A3
*ImageableArea A3: "18 18 824 1173"
*DefaultPaperDimension: A3
*PaperDimension A3: "842 1191"
)ppd";

} // namespace

TPrivateCupsServer::TPrivateCupsServer() {
  const std::string root = FFolder.Path(), socket = FFolder.File("cups.sock");
  for (const char* folder : {"ppd", "spool", "tmp", "cache", "state", "log"})
    mkdir((root + "/" + folder).c_str(), 0755);
  // Run as root the scheduler hands filters to its unprivileged user, which
  // must reach the spool through the private folder.
  chmod(root.c_str(), 0755);
  // Pages left unscaled: what lands on paper is the placement the program chose.
  const std::pair<std::string, std::string> files[] = {
      {"cups-files.conf", "ServerRoot " + root + "\nRequestRoot " + root + "/spool\nTempDir " +
                              root + "/tmp\nCacheDir " + root + "/cache\nStateDir " + root +
                              "/state\nErrorLog " + root + "/log/error_log\nAccessLog " + root +
                              "/log/access_log\nPageLog " + root + "/log/page_log\nPrintcap " +
                              root + "/state/printcap\nFileDevice Yes\n"},
      {"cupsd.conf", "Listen " + socket +
                         "\nBrowsing No\nBrowseLocalProtocols none\nWebInterface No\n"
                         "DefaultAuthType None\n<Location />\nOrder allow,deny\nAllow all\n"
                         "</Location>\n"},
      {"printers.conf", std::string("<DefaultPrinter ") + kQueue + ">\nDeviceURI file://" +
                            Output() +
                            "\nOption print-scaling none\nState Idle\nAccepting Yes\n"
                            "</DefaultPrinter>\n"},
      {std::string("ppd/") + kQueue + ".ppd", kPpd}};
  for (const auto& [name, text] : files) std::ofstream(root + "/" + name) << text;
  const std::string conf = root + "/cupsd.conf", programFiles = root + "/cups-files.conf";
  FPid = fork();
  if (FPid == 0) {
    // The scheduler goes with the test even when the test dies.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    execl("/usr/sbin/cupsd", "cupsd", "-f", "-c", conf.c_str(), "-s", programFiles.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  if (FPid < 0) throw Exception("cupsd could not be started");
  // Point this process's client here, away from the machine's client settings.
  setenv("CUPS_SERVER", socket.c_str(), 1);
  setenv("CUPS_SERVERROOT", root.c_str(), 1);
  cupsSetServer(socket.c_str());
  bool ended = false; // and reaped
  const auto listed = [&] {
    cups_dest_t* queue = cupsGetNamedDest(CUPS_HTTP_DEFAULT, kQueue, nullptr);
    cupsFreeDests(queue ? 1 : 0, queue);
    ended = !queue && waitpid(FPid, nullptr, WNOHANG) != 0;
    return queue || ended;
  };
  if (!WaitFor(listed, 30000) || ended) {
    FPid = ended ? -1 : FPid;
    const std::string log = ErrorLog();
    Stop();
    throw Exception("cupsd did not come up: " + log);
  }
}

void TPrivateCupsServer::Stop() {
  const auto reaped = [this] { return waitpid(FPid, nullptr, WNOHANG) != 0; };
  if (FPid > 0 && kill(FPid, SIGTERM) == 0 && !WaitFor(reaped) && kill(FPid, SIGKILL) == 0)
    waitpid(FPid, nullptr, 0);
  FPid = -1;
  cupsSetServer(nullptr);
  unsetenv("CUPS_SERVER");
  unsetenv("CUPS_SERVERROOT");
}

std::string TPrivateCupsServer::ErrorLog() const {
  return (std::ostringstream() << std::ifstream(FFolder.File("log/error_log")).rdbuf()).str();
}

} // namespace apptest
