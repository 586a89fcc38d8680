#include "core/Exception.h"
#include "core/FileStream.h"
#include "core/MemoryStream.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

TEST(MemoryStream, ReadsWritesAndSeeks) {
  TMemoryStream stream;
  stream.WriteBuffer("abcdef", 6);
  EXPECT_EQ(stream.Size(), 6);
  EXPECT_EQ(stream.Position(), 6);
  EXPECT_EQ(stream.Seek(-2, TSeekOrigin::soEnd), 4);
  char two[2];
  EXPECT_EQ(stream.Read(two, 2), 2u);
  EXPECT_EQ(std::string(two, 2), "ef");
  EXPECT_EQ(stream.Read(two, 2), 0u);
  EXPECT_THROW(stream.ReadBuffer(two, 1), EReadError);
  EXPECT_EQ(stream.Seek(-1, TSeekOrigin::soBeginning), -1);
  // Writing past the end leaves zeros in the gap.
  stream.SetPosition(8);
  stream.WriteBuffer("z", 1);
  EXPECT_EQ(stream.Size(), 9);
  EXPECT_EQ(stream.Memory()[6], 0);
  stream.SetSize(3);
  EXPECT_EQ(stream.Position(), 3);
}

TEST(FileStream, MissingFilesRaiseNamingTheFile) {
  test::TempDir dir;
  try {
    TFileStream file(dir.File("missing.tif"), TFileStream::fmOpenRead);
    FAIL();
  } catch (const EFOpenError& error) {
    EXPECT_NE(error.Message().find("Cannot open file \"" + dir.File("missing.tif") + "\""),
              std::string::npos);
  }
  EXPECT_THROW(TFileStream(dir.File("no/such/folder.tif"), TFileStream::fmCreate), EFCreateError);
}

TEST(FileStream, ReplacingWriterLeavesTheTargetAloneUntilCommit) {
  test::TempDir dir;
  const std::string target = dir.File("page.bmp");
  test::WriteFile(target, {'o', 'l', 'd'});
  ::chmod(target.c_str(), 0640);
  {
    TReplacingFileStream file(target);
    file.WriteBuffer("new", 3);
    EXPECT_EQ(test::ReadFile(target), (std::vector<uint8_t>{'o', 'l', 'd'}));
    // Dropped without Commit: as if the write had failed half way.
  }
  EXPECT_EQ(test::ReadFile(target), (std::vector<uint8_t>{'o', 'l', 'd'}));
  {
    TReplacingFileStream file(target);
    file.WriteBuffer("new!", 4);
    file.Commit();
  }
  EXPECT_EQ(test::ReadFile(target), (std::vector<uint8_t>{'n', 'e', 'w', '!'}));
  struct stat info {};
  ASSERT_EQ(::stat(target.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
  // Nothing else is left in the folder.
  EXPECT_EQ(test::Run({"ls", "-A", dir.Path()}).out, "page.bmp\n");
}

TEST(FileStream, CopyFromCopiesAWholeStream) {
  TMemoryStream source;
  std::vector<uint8_t> bytes(3 << 20);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7);
  source.WriteBuffer(bytes.data(), bytes.size());
  TMemoryStream target;
  EXPECT_EQ(target.CopyFrom(source, 0), static_cast<int64_t>(bytes.size()));
  EXPECT_EQ(target.Bytes(), bytes);
}
