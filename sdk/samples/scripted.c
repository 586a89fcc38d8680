/*
 * Sample plug-in module whose answers are set from outside, for trying how
 * an application treats a module: the environment variable
 * TESSIVANE_SCRIPTED_PLUGIN holds settings "name=value" separated by ";":
 *
 *   description=TEXT  the description (read when the module is loaded)
 *   start=N           StartProcess's result (default 0)
 *   execute=N         ExecuteProcess's result (default 0); with 0 the page's
 *                     pixels are inverted, so the change can be seen
 *   end=N             EndProcess's result (default 0)
 *   damage=free|header|height
 *                     ExecuteProcess breaks the rules: frees the block,
 *                     spoils its header, or claims more rows than it holds
 *   record=PATH       every call is appended to PATH, one line each:
 *                     "start", "execute <pageIndex> <fileName>", "end", and
 *                     "unload <module path>" when the module is unloaded
 */
#define _GNU_SOURCE
#include "tessivane/plugin.h"

#include <dlfcn.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* The value of one setting into value (at most size bytes), or 0. */
static int setting(const char* name, char* value, size_t size) {
  const char* all = getenv("TESSIVANE_SCRIPTED_PLUGIN");
  if (all == NULL) return 0;
  const size_t length = strlen(name);
  for (const char* at = all; *at != '\0';) {
    const char* end = strchr(at, ';');
    const size_t item = end ? (size_t)(end - at) : strlen(at);
    if (item > length && strncmp(at, name, length) == 0 && at[length] == '=') {
      size_t copied = item - length - 1;
      if (copied >= size) copied = size - 1;
      memcpy(value, at + length + 1, copied);
      value[copied] = '\0';
      return 1;
    }
    at += item;
    if (*at == ';') ++at;
  }
  return 0;
}

static int32_t number(const char* name) {
  char value[32];
  return setting(name, value, sizeof value) ? (int32_t)strtol(value, NULL, 10) : 0;
}

static void record(const char* line, int32_t pageIndex, const char* fileName) {
  char path[1024];
  if (!setting("record", path, sizeof path)) return;
  FILE* file = fopen(path, "a");
  if (file == NULL) return;
  if (strcmp(line, "unload") == 0)
    fprintf(file, "%s %s\n", line, fileName);
  else if (fileName)
    fprintf(file, "%s %d %s\n", line, (int)pageIndex, fileName);
  else
    fprintf(file, "%s\n", line);
  fclose(file);
}

/* Runs when the module is unloaded: names the module's own file. */
__attribute__((destructor)) static void unloaded(void) {
  Dl_info info;
  if (dladdr((void*)&unloaded, &info) != 0 && info.dli_fname != NULL)
    record("unload", 0, info.dli_fname);
}

TSV_PLUGIN_EXPORT void GetProcessDescription(char* description) {
  if (!setting("description", description, TSV_DESCRIPTION_SIZE))
    snprintf(description, TSV_DESCRIPTION_SIZE, "Sample: scripted answers");
}

TSV_PLUGIN_EXPORT int32_t StartProcess(TSV_WINDOW mainWindow) {
  (void)mainWindow;
  record("start", 0, NULL);
  return number("start");
}

TSV_PLUGIN_EXPORT int32_t EndProcess(void) {
  record("end", 0, NULL);
  return number("end");
}

TSV_PLUGIN_EXPORT int32_t ExecuteProcess(const char* fileName, int32_t pageIndex, TSV_HANDLE page) {
  record("execute", pageIndex, fileName);
  char damage[16] = "";
  setting("damage", damage, sizeof damage);
  if (strcmp(damage, "free") == 0) {
    tsv_mem_free(page);
    return 0;
  }
  uint8_t* base = tsv_mem_lock(page);
  if (base == NULL) return 1;
  const size_t size = tsv_mem_size(page);
  tsv_bitmap_info_header header;
  if (size >= sizeof header) {
    memcpy(&header, base, sizeof header);
    if (strcmp(damage, "header") == 0) header.biSize = 12;
    if (strcmp(damage, "height") == 0) header.biHeight *= 4;
    memcpy(base, &header, sizeof header);
    const int32_t result = number("execute");
    if (result == 0 && damage[0] == '\0') {
      const size_t colours = header.biBitCount > 8 ? 0
                             : header.biClrUsed    ? header.biClrUsed
                                                   : 1u << header.biBitCount;
      const size_t rows = 40 + 4 * colours;
      for (size_t i = rows; i < size; ++i) base[i] = (uint8_t)~base[i];
    }
    tsv_mem_unlock(page);
    return result;
  }
  tsv_mem_unlock(page);
  return 1;
}
