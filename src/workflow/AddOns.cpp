#include "workflow/AddOns.h"

#include "core/PageHandle.h"
#include "graphics/DibGraphic.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

namespace {

// The module's export of that name as the given function type, or null.
template <typename TFunction> TFunction Export(void* module, const char* name) {
  return reinterpret_cast<TFunction>(dlsym(module, name));
}

std::unique_ptr<TAddOnInfo> LoadAddOn(const std::string& path) {
  void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) return nullptr;
  auto info = std::make_unique<TAddOnInfo>();
  info->ModuleHandle = module;
  info->StartProcess = Export<TSV_StartProcess>(module, "StartProcess");
  info->EndProcess = Export<TSV_EndProcess>(module, "EndProcess");
  info->ExecuteProcess = Export<TSV_ExecuteProcess>(module, "ExecuteProcess");
  const auto describe = Export<TSV_GetProcessDescription>(module, "GetProcessDescription");
  if (!info->StartProcess || !info->EndProcess || !info->ExecuteProcess || !describe) {
    dlclose(module);
    return nullptr;
  }
  // The text ends at its first null, and within the buffer even when the
  // module wrote no null at all.
  char buffer[TSV_DESCRIPTION_SIZE + 1] = {};
  describe(buffer);
  info->Description.assign(buffer, strnlen(buffer, TSV_DESCRIPTION_SIZE));
  return info;
}

} // namespace

TAddOnList::TAddOnList(const std::string& folder) {
  std::vector<std::string> paths;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error))
    if (entry.path().extension() == ".so") paths.push_back(entry.path().string());
  std::sort(paths.begin(), paths.end());
  for (const std::string& path : paths)
    if (auto info = LoadAddOn(path)) FAddOns.push_back(std::move(info));
}

TAddOnList::~TAddOnList() {
  while (!FAddOns.empty()) {
    dlclose(FAddOns.back()->ModuleHandle);
    FAddOns.pop_back();
  }
}

std::vector<std::string> TAddOnList::Descriptions() const {
  std::vector<std::string> descriptions;
  for (const auto& addOn : FAddOns) descriptions.push_back(addOn->Description);
  return descriptions;
}

void CheckReturnedPage(TSV_HANDLE page) {
  const auto fail = [](const char* what) {
    throw EAddOnError(std::string("The plug-in module returned an invalid page: ") + what);
  };
  void* address = tsv_mem_lock(page);
  if (address == nullptr) fail("the page block was freed");
  const size_t size = tsv_mem_size(page);
  tsv_mem_unlock(page);
  tsv_bitmap_info_header header;
  if (size < sizeof header) fail("the block is shorter than a bitmap header");
  std::memcpy(&header, address, sizeof header);
  const unsigned bits = header.biBitCount;
  if (header.biSize != 40 || header.biCompression != 0) fail("the bitmap header was changed");
  if (header.biWidth <= 0 || header.biHeight <= 0) fail("the page has no rows or columns");
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24) fail("the bits per pixel are not valid");
  const uint64_t maxColours = bits == 24 ? 0 : uint64_t{1} << bits;
  const uint64_t colours = header.biClrUsed != 0 ? header.biClrUsed : maxColours;
  if (colours > maxColours) fail("the palette is larger than the depth allows");
  const uint64_t stride = (static_cast<uint64_t>(header.biWidth) * bits + 31) / 32 * 4;
  const uint64_t rows = 40 + 4 * colours;
  if (rows > size || (size - rows) / stride < static_cast<uint64_t>(header.biHeight))
    fail("the rows do not fit in the block");
}

int RunAddOn(TDibGraphic& graphic, const TRuntimeAddOnInfo& run) {
  TPageHandle page = graphic.ExportPageHandle();
  const int32_t result =
      run.AddOn->ExecuteProcess(run.PageFileName.c_str(), run.PageIndex, page.Get());
  CheckReturnedPage(page.Get());
  graphic.ImportPageHandle(page.Get());
  return result;
}

int RunAddOnOnFile(TDibGraphic& graphic, TRuntimeAddOnInfo& run, const std::string& fileName,
                   int32_t pageIndex) {
  run.PageFileName = fileName;
  run.PageIndex = pageIndex;
  return RunAddOn(graphic, run);
}

std::optional<int32_t> RunAddOnSession(const TAddOnInfo& addOn, TSV_WINDOW window,
                                       const std::function<void()>& work,
                                       const std::function<void(int32_t)>& onEnd) {
  if (addOn.StartProcess(window) < 0) return std::nullopt;
  int32_t ended = 0;
  try {
    work();
  } catch (...) {
    ended = addOn.EndProcess();
    onEnd(ended);
    throw;
  }
  ended = addOn.EndProcess();
  onEnd(ended);
  return ended;
}
