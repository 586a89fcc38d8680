#pragma once

#include "core/Exception.h"
#include "tessivane/plugin.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class TDibGraphic;

// A module that broke the rules of tessivane/plugin.h: the page block it
// hands back is no longer a valid packed bitmap, or it was freed.
class EAddOnError : public Exception {
public:
  using Exception::Exception;
};

// One loaded plug-in module.
struct TAddOnInfo {
  void* ModuleHandle = nullptr; // the library, as the dynamic loader names it
  std::string Description;      // what GetProcessDescription wrote
  TSV_StartProcess StartProcess = nullptr;
  TSV_EndProcess EndProcess = nullptr;
  TSV_ExecuteProcess ExecuteProcess = nullptr;
};

// The state of one plug-in run.
struct TRuntimeAddOnInfo {
  std::string PageFileName; // the file the page comes from; empty for a page with none
  int32_t PageIndex = 0;    // the page's number within that file, from 0
  const TAddOnInfo* AddOn = nullptr;
};

// The modules of a folder, loaded for the lifetime of the object and
// unloaded from the last to the first.
class TAddOnList {
public:
  TAddOnList() = default;
  // Loads every "*.so" of folder in the order of their names. A file that
  // does not load or lacks one of the four exports is unloaded and skipped
  // without a word.
  explicit TAddOnList(const std::string& folder);
  TAddOnList(const TAddOnList&) = delete;
  TAddOnList& operator=(const TAddOnList&) = delete;
  ~TAddOnList();

  const std::vector<std::unique_ptr<TAddOnInfo>>& Items() const { return FAddOns; }
  std::vector<std::string> Descriptions() const;

private:
  std::vector<std::unique_ptr<TAddOnInfo>> FAddOns;
};

// Raises EAddOnError unless the block holds a valid packed bitmap that fits
// it: a live block, a 40-byte header without compression, positive sizes,
// 1, 4, 8 or 24 bits, a palette the depth allows, and every row inside.
void CheckReturnedPage(TSV_HANDLE page);

// The page operation: the module's ExecuteProcess on a copy of the graphic's
// page, which the graphic takes back (after CheckReturnedPage) whatever the
// result; the block is freed in every case. Returns ExecuteProcess's result.
int RunAddOn(TDibGraphic& graphic, const TRuntimeAddOnInfo& run);
// The same for one page of a file of a batch run: the run's file name and
// page index are set first.
int RunAddOnOnFile(TDibGraphic& graphic, TRuntimeAddOnInfo& run, const std::string& fileName,
                   int32_t pageIndex);

// StartProcess, then work, then EndProcess, also when work raised. Returns
// none when StartProcess refused the run (work and EndProcess are then not
// called), otherwise EndProcess's result. onEnd gets that result before an
// error of work goes on, so that a reload the module asked for happens.
std::optional<int32_t> RunAddOnSession(const TAddOnInfo& addOn, TSV_WINDOW window,
                                       const std::function<void()>& work,
                                       const std::function<void(int32_t)>& onEnd);
