// Plain files read directly and through their file thread, with and without cache and
// asynchronous reads: the same answers in every mode.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "file/plain_file.h"
#include "file_fixture.h"

namespace {
using qr::file::PlainFile;
using qr::file::PlainFileAtEnd;
using qr::file::PlainFileClose;
using qr::file::PlainFileIsIdle;
using qr::file::PlainFileOpen;
using qr::file::PlainFileRead;
using qr::file::PlainFileSeek;
using qr::file::PlainFileTell;

struct Mode {
  const char* name;
  int cache;
  int async;
};

class PlainFileModes : public qr::testing::FileTest, public ::testing::WithParamInterface<Mode> {
 protected:
  PlainFile* Open(const char* path) {
    return PlainFileOpen(path, GetParam().cache, 1, GetParam().async);
  }
  // Reads and, for an asynchronous file, waits until the bytes have arrived.
  size_t Read(void* buffer, size_t size, size_t count, PlainFile* file) {
    size_t result = PlainFileRead(buffer, size, count, file);
    while (PlainFileIsIdle(file) != 1) std::this_thread::yield();
    return result;
  }
};

TEST_P(PlainFileModes, EndFlagIsSetOnlyByAReadThatFindsNothing) {
  MakeFile("ten.bin", "0123456789");
  PlainFile* file = Open("ten.bin");
  ASSERT_NE(file, nullptr);
  char buffer[16] = {};
  EXPECT_EQ(Read(buffer, 5, 2, file), 2u);
  EXPECT_EQ(std::string(buffer, 10), "0123456789");
  EXPECT_EQ(PlainFileTell(file), 10);
  EXPECT_EQ(PlainFileAtEnd(file), 0);  // reading exactly up to the end is not hitting it
  EXPECT_EQ(Read(buffer, 1, 1, file), 0u);
  EXPECT_EQ(PlainFileAtEnd(file), -1);
  EXPECT_EQ(PlainFileSeek(file, 3, 0), 0);
  EXPECT_EQ(PlainFileAtEnd(file), 0);
  EXPECT_EQ(Read(buffer, 1, 2, file), 2u);
  EXPECT_EQ(std::string(buffer, 2), "34");
  EXPECT_EQ(PlainFileClose(file), 0);
}

TEST_P(PlainFileModes, ShortReadGivesWholeElementsOnly) {
  MakeFile("ten.bin", "0123456789");
  PlainFile* file = Open("ten.bin");
  ASSERT_NE(file, nullptr);
  char buffer[16];
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(Read(buffer, 4, 3, file), 2u);
  EXPECT_EQ(std::string(buffer, 10), "01234567##");
  EXPECT_EQ(PlainFileTell(file), 8);
  EXPECT_EQ(PlainFileAtEnd(file), 0);
  // Two bytes remain, not one whole element of four.
  EXPECT_EQ(Read(buffer, 4, 1, file), 0u);
  EXPECT_EQ(PlainFileAtEnd(file), -1);
  EXPECT_EQ(PlainFileTell(file), 8);
  // Element size 0 reads nothing and changes nothing.
  PlainFileSeek(file, 1, 0);
  EXPECT_EQ(Read(buffer, 0, 5, file), 0u);
  EXPECT_EQ(PlainFileTell(file), 1);
  EXPECT_EQ(PlainFileAtEnd(file), 0);
  // A count whose byte total would overflow is cut to what the file holds.
  EXPECT_EQ(Read(buffer, 3, SIZE_MAX, file), 3u);
  EXPECT_EQ(std::string(buffer, 9), "123456789");
  PlainFileClose(file);
}

TEST_P(PlainFileModes, SeekThenReadFromEveryOrigin) {
  std::string bytes = Pattern(1000);
  MakeFile("k.bin", bytes);
  PlainFile* file = Open("k.bin");
  ASSERT_NE(file, nullptr);
  char buffer[100];
  ASSERT_EQ(PlainFileSeek(file, 600, 0), 0);
  ASSERT_EQ(Read(buffer, 100, 1, file), 1u);
  EXPECT_EQ(std::string(buffer, 100), bytes.substr(600, 100));
  ASSERT_EQ(PlainFileSeek(file, -50, 1), 0);
  EXPECT_EQ(PlainFileTell(file), 650);
  ASSERT_EQ(Read(buffer, 1, 10, file), 10u);
  EXPECT_EQ(std::string(buffer, 10), bytes.substr(650, 10));
  ASSERT_EQ(PlainFileSeek(file, -10, 2), 0);
  ASSERT_EQ(Read(buffer, 10, 1, file), 1u);
  EXPECT_EQ(std::string(buffer, 10), bytes.substr(990, 10));

  // Before the start is refused and keeps the position; past the end reads nothing.
  EXPECT_EQ(PlainFileSeek(file, -1, 0), -1);
  EXPECT_EQ(PlainFileSeek(file, -2000, 1), -1);
  EXPECT_EQ(PlainFileTell(file), 1000);
  ASSERT_EQ(PlainFileSeek(file, 500, 2), 0);
  EXPECT_EQ(PlainFileTell(file), 1500);
  EXPECT_EQ(Read(buffer, 1, 1, file), 0u);
  EXPECT_EQ(PlainFileAtEnd(file), -1);
  PlainFileClose(file);
}

TEST_P(PlainFileModes, ManyReadsInARowGiveTheWholeFile) {
  // Larger than the cache, so that cached, partly cached and uncached reads all occur.
  std::string bytes = Pattern(300001);
  MakeFile("big.bin", bytes);
  PlainFile* file = Open("big.bin");
  ASSERT_NE(file, nullptr);
  std::string got(bytes.size(), '\0');
  size_t at = 0;
  for (size_t chunk : {1u, 4096u, 70000u, 131072u, 60000u}) {
    ASSERT_EQ(Read(&got[at], 1, chunk, file), chunk);
    at += chunk;
  }
  while (at < got.size()) at += Read(&got[at], 1, 3000, file);
  EXPECT_EQ(got, bytes);
  PlainFileClose(file);
}

TEST_P(PlainFileModes, WhatCannotBeOpenedGivesNull) {
  std::filesystem::create_directory(dir / "folder");
  EXPECT_EQ(Open("missing.bin"), nullptr);
  EXPECT_EQ(Open("folder"), nullptr);
  EXPECT_EQ(Open(""), nullptr);
}

TEST_P(PlainFileModes, PathsOfMoreThan259BytesAreRefused) {
  // Folder elements of 100 bytes; the last element sets the length.
  std::string stem = std::string(100, 'a') + "/" + std::string(100, 'b') + "/";
  std::string longest = stem + std::string(259 - stem.size(), 'c');
  std::string tooLong = stem + std::string(260 - stem.size(), 'c');
  MakeFile(longest, "ok");
  MakeFile(tooLong, "no");
  PlainFile* file = Open(longest.c_str());
  ASSERT_NE(file, nullptr);
  PlainFileClose(file);
  EXPECT_EQ(Open(tooLong.c_str()), nullptr);
}

INSTANTIATE_TEST_SUITE_P(, PlainFileModes,
                         ::testing::Values(Mode{"Direct", 0, 0}, Mode{"Thread", 1, 0},
                                           Mode{"Async", 0, 1}, Mode{"CachedAsync", 1, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

class PlainFileThread : public qr::testing::FileTest {};

TEST_F(PlainFileThread, AsyncReadArrivesOnceIdle) {
  std::string bytes = Pattern(50000);
  MakeFile("a.bin", bytes);
  PlainFile* file = PlainFileOpen("a.bin", 0, 1, 1);
  ASSERT_NE(file, nullptr);
  std::string got(bytes.size(), '\0');
  EXPECT_EQ(PlainFileRead(got.data(), 2, 25000, file), 25000u);  // the count, at once
  EXPECT_EQ(PlainFileTell(file), 50000);
  while (PlainFileIsIdle(file) != 1) std::this_thread::yield();
  EXPECT_EQ(got, bytes);
  PlainFileClose(file);
}

TEST_F(PlainFileThread, CacheServesReadsFromMemory) {
  std::string before = Pattern(200000, 0);
  std::string after = Pattern(200000, 1);
  auto path = MakeFile("c.bin", before);
  PlainFile* file = PlainFileOpen("c.bin", 1, 1, 0);
  ASSERT_NE(file, nullptr);
  // The thread reads ahead in its idle time until the cache is full.
  for (int i = 0; i < 500 && file->thread->cacheFill.load() < qr::file::kFileCacheSize; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_EQ(file->thread->cacheFill.load(), qr::file::kFileCacheSize);

  // Overwrite the file in place: what is cached still comes from the cache.
  {
    std::fstream out(path, std::ios::in | std::ios::out | std::ios::binary);
    out.write(after.data(), std::streamsize(after.size()));
  }
  char buffer[1000];
  ASSERT_EQ(PlainFileRead(buffer, 1000, 1, file), 1u);
  EXPECT_EQ(std::string(buffer, 1000), before.substr(0, 1000));
  // The rest of the cache moved to the front and serves the next read.
  ASSERT_EQ(PlainFileRead(buffer, 1, 1000, file), 1000u);
  EXPECT_EQ(std::string(buffer, 1000), before.substr(1000, 1000));
  // A read elsewhere bypasses the cache and sees the file.
  ASSERT_EQ(PlainFileSeek(file, 150000, 0), 0);
  ASSERT_EQ(PlainFileRead(buffer, 1000, 1, file), 1u);
  EXPECT_EQ(std::string(buffer, 1000), after.substr(150000, 1000));
  PlainFileClose(file);
}

TEST_F(PlainFileThread, EachThreadedFileHasItsOwnThread) {
  MakeFile("x.bin", Pattern(10));
  PlainFile* first = PlainFileOpen("x.bin", 0, 1, 1);
  PlainFile* second = PlainFileOpen("x.bin", 1, 1, 0);
  PlainFile* direct = PlainFileOpen("x.bin", 0, 1, 0);
  ASSERT_TRUE(first && second && direct);
  EXPECT_TRUE(first->threadMode && second->threadMode);
  EXPECT_FALSE(direct->threadMode);
  EXPECT_EQ(direct->thread, nullptr);
  EXPECT_NE(first->thread->thread.get_id(), second->thread->thread.get_id());
  EXPECT_EQ(PlainFileIsIdle(direct), 1);
  PlainFileClose(first);
  PlainFileClose(second);
  PlainFileClose(direct);
}

}  // namespace
