#include "PrintCupsServer.h"

#include "core/Exception.h"

#include <cups/cups.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace apptest {

namespace {

using namespace std::chrono_literals;

// A PDF printer on A3 paper whose printable area is 18 points in from each
// edge; jobs go through the scheduler's own PDF filter to the device.
const char* const kPpd = R"ppd(*PPD-Adobe: "4.3"
*FormatVersion: "4.3"
*FileVersion: "1.0"
*LanguageVersion: English
*LanguageEncoding: ISOLatin1
*PCFileName: "TESSPDF.PPD"
*Manufacturer: "Tessivane"
*Product: "(Test PDF file)"
*ModelName: "Tessivane test PDF file"
*ShortNickName: "Test PDF file"
*NickName: "Tessivane test PDF file"
*PSVersion: "(3010.000) 0"
*LanguageLevel: "3"
*ColorDevice: True
*DefaultColorSpace: RGB
*FileSystem: False
*Throughput: "1"
*LandscapeOrientation: Plus90
*TTRasterizer: Type42
*cupsVersion: 2.4
*cupsFilter2: "application/vnd.cups-pdf application/pdf 0 -"
*OpenUI *PageSize/Media Size: PickOne
*OrderDependency: 10 AnySetup *PageSize
*DefaultPageSize: A3
*PageSize A3/A3: "<</PageSize[842 1191]>>setpagedevice"
*CloseUI: *PageSize
*OpenUI *PageRegion/Media Size: PickOne
*OrderDependency: 10 AnySetup *PageRegion
*DefaultPageRegion: A3
*PageRegion A3/A3: "<</PageSize[842 1191]>>setpagedevice"
*CloseUI: *PageRegion
*DefaultImageableArea: A3
*ImageableArea A3/A3: "18 18 824 1173"
*DefaultPaperDimension: A3
*PaperDimension A3/A3: "842 1191"
)ppd";

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path) << text;
}

// Whether the child has ended (and is reaped), or is no child of ours any more.
bool Exited(pid_t pid) {
  int status = 0;
  return waitpid(pid, &status, WNOHANG) != 0;
}

} // namespace

std::string TPrivateCupsServer::Program() {
  for (const char* path : {"/usr/sbin/cupsd", "/usr/local/sbin/cupsd"})
    if (access(path, X_OK) == 0) return path;
  return "";
}

void TPrivateCupsServer::WriteConfiguration() const {
  const std::string& root = FFolder.Path();
  for (const char* folder : {"conf", "conf/ppd", "spool", "tmp", "cache", "state", "log"})
    mkdir((root + "/" + folder).c_str(), 0755);
  // Run as root the scheduler hands filters to its unprivileged user, which
  // must reach the spool through the private folder.
  chmod(root.c_str(), 0755);
  WriteText(root + "/conf/cups-files.conf",
            "ServerRoot " + root + "/conf\nRequestRoot " + root + "/spool\nTempDir " + root +
                "/tmp\nCacheDir " + root + "/cache\nStateDir " + root + "/state\nErrorLog " + root +
                "/log/error_log\nAccessLog " + root + "/log/access_log\nPageLog " + root +
                "/log/page_log\nPrintcap " + root + "/state/printcap\nFileDevice Yes\n");
  WriteText(root + "/conf/cupsd.conf", "Listen " + FSocket +
                                           "\nLogLevel info\nBrowsing No\n"
                                           "BrowseLocalProtocols none\nWebInterface No\n"
                                           "DefaultAuthType None\n<Location />\nOrder "
                                           "allow,deny\nAllow all\n</Location>\n");
  // The queue's filter leaves the pages unscaled, so what lands on paper is
  // the placement the program chose.
  WriteText(root + "/conf/printers.conf",
            std::string("<DefaultPrinter ") + kQueue + ">\nInfo Test PDF file\nDeviceURI file://" +
                Output() +
                "\nOption print-scaling none\nState Idle\nAccepting Yes\nShared No\n"
                "</DefaultPrinter>\n");
  WriteText(root + "/conf/ppd/" + kQueue + ".ppd", kPpd);
  WriteText(root + "/conf/client.conf", "ServerName " + FSocket + "\n");
}

TPrivateCupsServer::TPrivateCupsServer() : FSocket(FFolder.File("cups.sock")) {
  WriteConfiguration();
  const std::string conf = FFolder.File("conf/cupsd.conf");
  const std::string files = FFolder.File("conf/cups-files.conf");
  const std::string program = Program();
  FPid = fork();
  if (FPid == 0) {
    // The scheduler goes with the test even when the test dies.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    execl(program.c_str(), program.c_str(), "-f", "-c", conf.c_str(), "-s", files.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  if (FPid < 0) throw Exception("cupsd could not be started");
  // The client library keeps the server it found first; point it here.
  FOldServer = getenv("CUPS_SERVER") ? getenv("CUPS_SERVER") : "";
  FOldServerRoot = getenv("CUPS_SERVERROOT") ? getenv("CUPS_SERVERROOT") : "";
  setenv("CUPS_SERVER", FSocket.c_str(), 1);
  setenv("CUPS_SERVERROOT", FFolder.File("conf").c_str(), 1);
  cupsSetServer(FSocket.c_str());
  const auto deadline = std::chrono::steady_clock::now() + 30s;
  for (;;) {
    if (cups_dest_t* queue = cupsGetNamedDest(CUPS_HTTP_DEFAULT, kQueue, nullptr)) {
      cupsFreeDests(1, queue);
      break;
    }
    if (Exited(FPid) || std::chrono::steady_clock::now() > deadline) {
      const std::string log = ErrorLog();
      Stop();
      throw Exception("cupsd did not come up: " + log);
    }
    std::this_thread::sleep_for(100ms);
  }
}

TPrivateCupsServer::~TPrivateCupsServer() {
  Stop();
}

void TPrivateCupsServer::Stop() {
  if (FPid > 0) {
    kill(FPid, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!Exited(FPid)) {
      if (std::chrono::steady_clock::now() > deadline) {
        kill(FPid, SIGKILL);
        waitpid(FPid, nullptr, 0);
        break;
      }
      std::this_thread::sleep_for(50ms);
    }
    FPid = -1;
  }
  cupsSetServer(nullptr);
  const auto restore = [](const char* name, const std::string& value) {
    if (value.empty())
      unsetenv(name);
    else
      setenv(name, value.c_str(), 1);
  };
  restore("CUPS_SERVER", FOldServer);
  restore("CUPS_SERVERROOT", FOldServerRoot);
}

std::vector<std::string> TPrivateCupsServer::EndedJobs(size_t count) const {
  const auto deadline = std::chrono::steady_clock::now() + 60s;
  for (;;) {
    cups_job_t* jobs = nullptr;
    const int listed = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, kQueue, 0, CUPS_WHICHJOBS_ALL);
    std::vector<std::pair<int, std::string>> ended;
    bool active = false;
    for (int i = 0; i < listed; ++i) {
      if (jobs[i].state < IPP_JSTATE_STOPPED)
        active = true;
      else
        ended.emplace_back(jobs[i].id,
                           std::string(jobs[i].title) +
                               (jobs[i].state == IPP_JSTATE_COMPLETED ? "" : " (not completed)"));
    }
    cupsFreeJobs(listed, jobs);
    if (!active && ended.size() >= count) {
      std::sort(ended.begin(), ended.end());
      std::vector<std::string> titles;
      for (const auto& job : ended) titles.push_back(job.second);
      return titles;
    }
    if (std::chrono::steady_clock::now() > deadline)
      throw Exception("The print jobs did not end: " + ErrorLog());
    std::this_thread::sleep_for(100ms);
  }
}

std::string TPrivateCupsServer::ErrorLog() const {
  std::ifstream log(FFolder.File("log/error_log"));
  std::ostringstream text;
  text << log.rdbuf();
  return text.str();
}

} // namespace apptest
