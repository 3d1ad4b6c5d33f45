// Whole files and the log.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "rt/rt.h"
#include "test_util.h"

namespace {

TEST(Files, ReadWholeFilesWithATrailingZeroAlsoByWindowsPaths) {
  TempDir dir;
  mkdir("data", 0755);
  spit("data/a.txt", std::string("hello\0world", 11));
  int size = -1;
  char* p = (char*)file_read("data\\a.txt", &size);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(std::string(p, size + 1), std::string("hello\0world\0", 12));
  mem_free(p);
  EXPECT_EQ(file_exists("data\\a.txt"), 1);
  EXPECT_EQ(file_write("data\\out.bin", "a longer first version", 22), 1);
  EXPECT_EQ(file_write("data\\out.bin", "abc", 3), 1);
  EXPECT_EQ(slurp("data/out.bin"), "abc") << "the old file is replaced, not overwritten in place";

  EXPECT_EQ(file_write("empty", "", 0), 1);
  p = (char*)file_read("empty", &size);
  ASSERT_NE(p, nullptr) << "an empty file is a one-byte buffer";
  EXPECT_EQ(size, 0);
  EXPECT_EQ(p[0], 0);
  mem_free(p);
}

TEST(Files, MissingFilesAndFoldersAreNotReadOrWritten) {
  TempDir dir;
  mkdir("folder", 0755);
  int size = 1234;
  EXPECT_EQ(file_read("folder", &size), nullptr);
  EXPECT_EQ(file_read("missing.txt", &size), nullptr);
  EXPECT_EQ(size, 1234) << "the size is untouched on failure";
  EXPECT_EQ(file_exists("folder") + file_exists("missing.txt"), 0);
  EXPECT_EQ(file_write("folder", "x", 1), 0);
  EXPECT_EQ(file_write("no/such/folder/f.bin", "x", 1), 0);
}

TEST(Log, LinesEndInCrLfAreFlushedAndCutAt509) {
  TempDir dir;
  log_open("skidline.log");
  log_printf("%s starting, cmd: %s", "SKIDLINE", "prog --race 2");
  EXPECT_EQ(slurp("skidline.log"), "SKIDLINE starting, cmd: prog --race 2\r\n") << "flushed at once";
  std::string longText(600, 'x');
  log_printf("%s!", longText.c_str());
  log_printf("%d", 42);
  std::string want = "SKIDLINE starting, cmd: prog --race 2\r\n" + std::string(509, 'x') + "\r\n42\r\n";
  EXPECT_EQ(slurp("skidline.log"), want);

  std::string exact(509, 'y');
  log_printf("%s", exact.c_str());
  log_printf("%s", (exact + "z").c_str());
  EXPECT_EQ(slurp("skidline.log"), want + exact + "\r\n" + exact + "\r\n");

  log_open("skidline.log");  // replaces the old log
  log_printf("fresh");
  EXPECT_EQ(slurp("skidline.log"), "fresh\r\n");
}

}  // namespace
