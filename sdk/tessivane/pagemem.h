/*
 * Relocatable memory blocks shared by the application, the TWAIN manager,
 * data sources and plug-in modules.
 *
 * A page crosses between these parts as one block: a packed device-independent
 * bitmap (40-byte information header, palette, rows bottom-up). Whoever
 * received a block last frees it.
 *
 * A block is reached through its handle. Locking returns the block's address
 * and counts; the address stays valid until the matching unlock brings the
 * count back to zero. A block can only be resized while it is unlocked, so
 * no locked address is ever left dangling. All functions are thread-safe and
 * reject handles they did not hand out.
 */
#ifndef TESSIVANE_PAGEMEM_H
#define TESSIVANE_PAGEMEM_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct tsv_mem_block* TSV_HANDLE;

/* A new zero-filled block of `size` bytes, or NULL when memory is short
 * (errno ENOMEM). A size of 0 gives a valid, empty block. */
TSV_HANDLE tsv_mem_alloc(size_t size);

/* Locks the block and returns its address, or NULL for an invalid handle. */
void* tsv_mem_lock(TSV_HANDLE handle);

/* Undoes one lock. Returns the number of locks still held; 0 also for an
 * invalid or unlocked handle (errno EINVAL then). */
unsigned tsv_mem_unlock(TSV_HANDLE handle);

/* Number of locks held, 0 for an invalid handle. */
unsigned tsv_mem_lock_count(TSV_HANDLE handle);

/* Resizes an unlocked block, keeping its contents; bytes gained are zero.
 * Returns the handle (unchanged) or NULL when the block is locked (errno
 * EBUSY), memory is short (ENOMEM) or the handle is invalid (EINVAL); the
 * block is untouched on failure. */
TSV_HANDLE tsv_mem_realloc(TSV_HANDLE handle, size_t size);

/* Size in bytes, 0 for an invalid handle. */
size_t tsv_mem_size(TSV_HANDLE handle);

/* Frees the block, locked or not. Returns NULL on success and the handle
 * itself when it was not a valid one. */
TSV_HANDLE tsv_mem_free(TSV_HANDLE handle);

/* The handle of the block whose address `address` is (as returned by
 * tsv_mem_lock), or NULL. */
TSV_HANDLE tsv_mem_handle(const void* address);

#ifdef __cplusplus
}
#endif

#endif
