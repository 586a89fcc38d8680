#include "core/Exception.h"
#include "core/PageHandle.h"
#include "tessivane/pagemem.h"

#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

TEST(PageMemory, BlocksStartZeroedAndCountTheirLocks) {
  TSV_HANDLE h = tsv_mem_alloc(1000);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(tsv_mem_size(h), 1000u);
  auto* p = static_cast<unsigned char*>(tsv_mem_lock(h));
  ASSERT_NE(p, nullptr);
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(p[i], 0);
  EXPECT_EQ(tsv_mem_lock(h), p);
  EXPECT_EQ(tsv_mem_lock_count(h), 2u);
  EXPECT_EQ(tsv_mem_handle(p), h);
  EXPECT_EQ(tsv_mem_unlock(h), 1u);
  EXPECT_EQ(tsv_mem_unlock(h), 0u);
  EXPECT_EQ(tsv_mem_unlock(h), 0u); // not locked any more
  EXPECT_EQ(tsv_mem_free(h), nullptr);
}

TEST(PageMemory, ResizingKeepsContentsZeroesGrowthAndRefusesLockedBlocks) {
  TSV_HANDLE h = tsv_mem_alloc(4);
  auto* p = static_cast<unsigned char*>(tsv_mem_lock(h));
  std::memcpy(p, "page", 4);
  errno = 0;
  EXPECT_EQ(tsv_mem_realloc(h, 8), nullptr);
  EXPECT_EQ(errno, EBUSY);
  tsv_mem_unlock(h);
  ASSERT_EQ(tsv_mem_realloc(h, 8), h);
  p = static_cast<unsigned char*>(tsv_mem_lock(h));
  EXPECT_EQ(std::memcmp(p, "page\0\0\0\0", 8), 0);
  tsv_mem_unlock(h);
  ASSERT_EQ(tsv_mem_realloc(h, 2), h);
  EXPECT_EQ(tsv_mem_size(h), 2u);
  tsv_mem_free(h);
}

TEST(PageMemory, ForeignHandlesAndAddressesAreRefused) {
  int local = 0;
  EXPECT_EQ(tsv_mem_handle(&local), nullptr);
  TSV_HANDLE h = tsv_mem_alloc(16);
  void* p = tsv_mem_lock(h);
  EXPECT_EQ(tsv_mem_handle(static_cast<char*>(p) + 1), nullptr);
  tsv_mem_free(h);
  // The handle is gone: every operation refuses it.
  EXPECT_EQ(tsv_mem_lock(h), nullptr);
  EXPECT_EQ(tsv_mem_size(h), 0u);
  EXPECT_EQ(tsv_mem_free(h), h);
  EXPECT_EQ(tsv_mem_handle(p), nullptr);
}

TEST(PageMemory, ZeroSizedBlocksHaveAnAddress) {
  TSV_HANDLE h = tsv_mem_alloc(0);
  ASSERT_NE(h, nullptr);
  EXPECT_NE(tsv_mem_lock(h), nullptr);
  EXPECT_EQ(tsv_mem_size(h), 0u);
  tsv_mem_free(h);
}

TEST(PageMemory, OwnerAndLockObjectsReleaseOnEveryPath) {
  TSV_HANDLE raw;
  {
    TPageHandle page = TPageHandle::Allocate(64);
    raw = page.Get();
    TBlockLock lock(raw);
    EXPECT_EQ(tsv_mem_lock_count(raw), 1u);
  }
  EXPECT_EQ(tsv_mem_size(raw), 0u); // freed
  TPageHandle kept = TPageHandle::Allocate(8);
  TSV_HANDLE released = kept.Release();
  EXPECT_FALSE(kept);
  EXPECT_EQ(tsv_mem_size(released), 8u);
  tsv_mem_free(released);
  EXPECT_THROW(TBlockLock{released}, EOSError);
}

TEST(PageMemory, ThreadsShareTheRegistry) {
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([] {
      for (int i = 0; i < 2000; ++i) {
        TSV_HANDLE h = tsv_mem_alloc(static_cast<size_t>(i % 97));
        void* p = tsv_mem_lock(h);
        ASSERT_EQ(tsv_mem_handle(p), h);
        tsv_mem_unlock(h);
        ASSERT_EQ(tsv_mem_free(h), nullptr);
      }
    });
  for (auto& thread : threads) thread.join();
}
