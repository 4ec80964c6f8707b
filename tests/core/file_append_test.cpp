// Appending to the program's log files: whole records after what the file holds, the header
// only on a new file, symbolic links followed, anything but a regular file refused, a file the
// check refuses left alone, and a write that fails part way cut back to where the file ended.
#include "core/file_append.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "support/file_text.h"
#include "support/temp_folder.h"

namespace {

TEST(FileAppend, AddsWholeRecordsAfterWhatTheFileHolds) {
  TempFolder folder;
  const std::string path = folder.file("log.txt");
  std::string error;
  ASSERT_TRUE(appendToFile(path, "HEAD\n", "one\n", nullptr, error)) << error;
  ASSERT_TRUE(appendToFile(path, "HEAD\n", "two\n", nullptr, error)) << error;
  EXPECT_EQ(fileText(path), "HEAD\none\ntwo\n");

  // Through a symbolic link to its target; the link stays a link.
  const std::string link = folder.file("link.txt");
  std::filesystem::create_symlink(path, link);
  ASSERT_TRUE(appendToFile(link, "HEAD\n", "three\n", nullptr, error)) << error;
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(fileText(path), "HEAD\none\ntwo\nthree\n");

  // The check sees the head and may refuse: nothing is written.
  const AppendHeadCheck refuse = [](const std::string& head) {
    return head.starts_with("HEAD") ? std::string("not this one") : std::string();
  };
  EXPECT_FALSE(appendToFile(path, "", "four\n", refuse, error));
  EXPECT_EQ(error, "not this one: " + path);
  EXPECT_EQ(fileText(path), "HEAD\none\ntwo\nthree\n");

  // A last line left unterminated (edited by hand, cut off) is ended before the next record.
  std::ofstream(path, std::ios::app) << "<CALL:4>X1AB <EOR>";
  ASSERT_TRUE(appendToFile(path, "HEAD\n", "five\n", nullptr, error)) << error;
  EXPECT_EQ(fileText(path), "HEAD\none\ntwo\nthree\n<CALL:4>X1AB <EOR>\nfive\n");

  // The folder path of a new log is made first.
  EXPECT_TRUE(createFolderPath(folder.file("new/deeper"), error)) << error;
  EXPECT_TRUE(std::filesystem::is_directory(folder.file("new/deeper")));
  EXPECT_FALSE(createFolderPath(path + "/below", error));
  EXPECT_NE(error.find(path + "/below"), std::string::npos) << error;
}

TEST(FileAppend, RefusesWhatIsNotAFileAndSaysWhyInOneLine) {
  TempFolder folder;
  const std::string fifo = folder.file("pipe");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::string error;
  for (const std::string& path : {folder.path().string(), fifo, folder.file("missing/log.txt"), std::string()}) {
    EXPECT_FALSE(appendToFile(path, "", "x\n", nullptr, error)) << path;
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
  }
  EXPECT_FALSE(appendToFile(fifo, "", "x\n", nullptr, error));
  EXPECT_EQ(error, "This is not a file: " + fifo);
}

TEST(FileAppend, AFailedWriteLeavesTheEarlierRecordsExactlyAsTheyWere) {
  TempFolder folder;
  const std::string path = folder.file("log.txt");
  std::string error;
  ASSERT_TRUE(appendToFile(path, "", std::string(1000, 'a') + "\n", nullptr, error));
  // The file may not grow beyond 1500 bytes: the next record is cut off by the system part way.
  struct rlimit old {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
  const auto oldSignal = ::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old;
  small.rlim_cur = 1500;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool written = appendToFile(path, "", std::string(1000, 'b') + "\n", nullptr, error);
  ::setrlimit(RLIMIT_FSIZE, &old);
  ::signal(SIGXFSZ, oldSignal);
  EXPECT_FALSE(written);
  EXPECT_TRUE(error.starts_with("The file cannot be written (")) << error;
  EXPECT_EQ(fileText(path), std::string(1000, 'a') + "\n");
}

}  // namespace
