/* A library that exports ExecuteProcess and none of the other three entry
 * points a plug-in module needs: the program must not list it. */
#include "tessivane/plugin.h"

TSV_PLUGIN_EXPORT int32_t ExecuteProcess(const char* fileName, int32_t pageIndex, TSV_HANDLE page) {
  (void)fileName;
  (void)pageIndex;
  (void)page;
  return 0;
}
