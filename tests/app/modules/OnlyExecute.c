/* Exports ExecuteProcess alone: the program must not list it as a module. */
#include "tessivane/plugin.h"
TSV_PLUGIN_EXPORT int32_t ExecuteProcess(const char* fileName, int32_t pageIndex, TSV_HANDLE page) {
  return fileName && pageIndex >= 0 && page ? 0 : 1;
}
