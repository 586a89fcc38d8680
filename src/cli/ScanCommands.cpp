#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/StandardErrorLog.h"
#include "core/CallQueueDispatcher.h"
#include "profiles/ProfileFile.h"
#include "twain/AcqTWAIN.h"
#include "workflow/BatchFolder.h"
#include "workflow/BatchTexts.h"
#include "workflow/OperatorPrompt.h"
#include "workflow/PageSaver.h"
#include "workflow/ProfileNegotiation.h"
#include "workflow/ScanTarget.h"

#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

// Without an operator every question takes its default: an input box keeps
// the value it offers, a message box is closed.
class TUnattendedPrompt : public TOperatorPrompt {
public:
  TAnswer MessageBox(TMessageKind, const std::string&, TButtons buttons,
                     const std::string&) override {
    return ClosedAnswer(buttons);
  }
  std::optional<TFileDialogResult> OpenFiles(const TFileDialogOptions&) override { return {}; }
  std::optional<TFileDialogResult> SaveFile(const TFileDialogOptions&) override { return {}; }
  std::optional<std::string> SelectFolder(const TFolderDialogOptions&) override { return {}; }
  std::optional<std::string> InputBox(const std::string&, const std::string&,
                                      const std::string&) override {
    return {};
  }
};

// Scans from a source with a profile's settings: into a batch folder (a new
// numbered file per page), into one TIFF or PDF file, or only counting the
// pages. Prints each file written; status 1 when the scan could not start
// or a page could not be written.
int Scan(int argc, char** argv) {
  TCommandLine args(argc, argv, {"count-only"});
  if (!args.Positional().empty()) throw TUsageError{"scan takes no positional arguments"};
  const int targets = int(args.Has("batch")) + int(args.Has("file")) + int(args.Has("count-only"));
  if (targets != 1) throw TUsageError{"give one of --batch, --file and --count-only"};

  std::vector<std::string> profile;
  if (args.Has("profile")) profile = LoadProfileFile(args.Text("profile"));
  std::string source = args.Text("source", profile.empty() ? "" : profile.front());
  if (profile.empty()) profile.push_back(source);

  TBatchFolder batch;
  const std::string file = args.Text("file");
  if (args.Has("batch") && !batch.Open(args.Text("batch"))) {
    std::fprintf(stderr, "%s\n", kScanWithoutBatchFolderText);
    return 1;
  }
  if (args.Has("file")) ScanFileFormat(file);

  TCallQueueDispatcher dispatcher;
  TStandardErrorLog log;
  TUnattendedPrompt prompt;
  int pages = 0;
  // Pages for different files may finish in any order; their names are
  // printed in the order the pages arrived, each once every earlier page is over.
  std::map<int, std::string> finished; // page number -> file written, or "" when not
  int nextToPrint = 1;
  TPageSaver saver(dispatcher, log, [&](const TSavedPage& page) {
    finished[page.Number] = page.Written ? page.FileName : "";
    for (auto next = finished.find(nextToPrint); next != finished.end();
         next = finished.find(++nextToPrint)) {
      if (!next->second.empty()) std::printf("%s\n", next->second.c_str());
      finished.erase(next);
    }
  });
  TAcqTWAIN twain(dispatcher);
  twain.ShowUI = false;
  twain.OnNegotiation = [&](TTwnObject*) { ApplyProfileSettings(twain, profile, log, prompt); };
  twain.OnImageReady = [&](TTwnObject*, void*, TTwnBitmapInfo*, TW_HANDLE image,
                           const std::string&) {
    if (image == nullptr) return;
    ++pages;
    std::string target;
    if (args.Has("batch")) target = batch.NewBatchFileName();
    if (args.Has("file")) target = file;
    saver.Submit(static_cast<TSV_HANDLE>(image), target, args.Has("batch"));
  };
  saver.BeginScan();
  twain.SetXferCount(-1);
  if (!twain.Acquire(source)) {
    std::fprintf(stderr, "The scan could not start\n");
    return 1;
  }
  dispatcher.ProcessUntil([&] { return twain.State() == 1 && !twain.DSMOpen(); }, 0xFFFFFFFFu);
  saver.WaitIdle(0xFFFFFFFFu);
  if (args.Has("count-only")) std::printf("%d\n", pages);
  return saver.Failures() == 0 ? 0 : 1;
}

const TCommandRegistration registrations[] = {
    TCommandRegistration({"scan",
                          "scan [--profile FILE] [--source NAME] (--batch FOLDER | --file "
                          "OUT.tif|OUT.pdf | --count-only)",
                          Scan}),
};

} // namespace
