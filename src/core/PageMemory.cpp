#include "tessivane/pagemem.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <unordered_map>
#include <unordered_set>

// The block registry: every live handle, and the address of every block, so
// that a handle or address that is not ours is refused instead of followed.
struct tsv_mem_block {
  unsigned char* data;
  size_t size;
  unsigned locks;
};

namespace {

struct Registry {
  std::mutex mutex;
  std::unordered_set<tsv_mem_block*> handles;
  std::unordered_map<const void*, tsv_mem_block*> addresses;
};

Registry& registry() {
  static Registry* instance = new Registry; // lives until the process ends
  return *instance;
}

// One byte at least, so every block has an address of its own.
unsigned char* allocate_zeroed(size_t size) {
  return static_cast<unsigned char*>(std::calloc(size == 0 ? 1 : size, 1));
}

bool is_valid(Registry& r, tsv_mem_block* block) {
  return r.handles.count(block) != 0;
}

} // namespace

extern "C" {

TSV_HANDLE tsv_mem_alloc(size_t size) {
  unsigned char* data = allocate_zeroed(size);
  if (data == nullptr) {
    errno = ENOMEM;
    return nullptr;
  }
  auto* block = new (std::nothrow) tsv_mem_block{data, size, 0};
  if (block == nullptr) {
    std::free(data);
    errno = ENOMEM;
    return nullptr;
  }
  Registry& r = registry();
  std::lock_guard guard(r.mutex);
  try {
    r.handles.insert(block);
    r.addresses.emplace(data, block);
  } catch (const std::bad_alloc&) {
    r.handles.erase(block);
    std::free(data);
    delete block;
    errno = ENOMEM;
    return nullptr;
  }
  return block;
}

void* tsv_mem_lock(TSV_HANDLE handle) {
  Registry& r = registry();
  std::lock_guard guard(r.mutex);
  if (!is_valid(r, handle)) {
    errno = EINVAL;
    return nullptr;
  }
  ++handle->locks;
  return handle->data;
}

unsigned tsv_mem_unlock(TSV_HANDLE handle) {
  Registry& r = registry();
  std::lock_guard guard(r.mutex);
  if (!is_valid(r, handle) || handle->locks == 0) {
    errno = EINVAL;
    return 0;
  }
  return --handle->locks;
}

unsigned tsv_mem_lock_count(TSV_HANDLE handle) {
  Registry& r = registry();
  std::lock_guard guard(r.mutex);
  return is_valid(r, handle) ? handle->locks : 0;
}

TSV_HANDLE tsv_mem_realloc(TSV_HANDLE handle, size_t size) {
  Registry& r = registry();
  std::lock_guard guard(r.mutex);
  if (!is_valid(r, handle)) {
    errno = EINVAL;
    return nullptr;
  }
  if (handle->locks != 0) {
    errno = EBUSY;
    return nullptr;
  }
  if (size == handle->size) return handle;
  unsigned char* data = allocate_zeroed(size);
  if (data == nullptr) {
    errno = ENOMEM;
    return nullptr;
  }
  try {
    r.addresses.emplace(data, handle);
  } catch (const std::bad_alloc&) {
    std::free(data);
    errno = ENOMEM;
    return nullptr;
  }
  std::memcpy(data, handle->data, size < handle->size ? size : handle->size);
  r.addresses.erase(handle->data);
  std::free(handle->data);
  handle->data = data;
  handle->size = size;
  return handle;
}

size_t tsv_mem_size(TSV_HANDLE handle) {
  Registry& r = registry();
  std::lock_guard guard(r.mutex);
  return is_valid(r, handle) ? handle->size : 0;
}

TSV_HANDLE tsv_mem_free(TSV_HANDLE handle) {
  Registry& r = registry();
  std::lock_guard guard(r.mutex);
  if (!is_valid(r, handle)) {
    errno = EINVAL;
    return handle;
  }
  r.handles.erase(handle);
  r.addresses.erase(handle->data);
  std::free(handle->data);
  delete handle;
  return nullptr;
}

TSV_HANDLE tsv_mem_handle(const void* address) {
  Registry& r = registry();
  std::lock_guard guard(r.mutex);
  auto found = r.addresses.find(address);
  return found == r.addresses.end() ? nullptr : found->second;
}

} // extern "C"
