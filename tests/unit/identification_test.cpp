// GetPluginInfo and IsSupported.
#include <cstring>
#include <string>

#include "module/exports.h"
#include "source/archive_source.h"
#include "tests/unit/test_support.h"

namespace {

using platform::standin::Service;

TEST(GetPluginInfo, CopiesAsMuchOfEachStringAsTheBufferTakes) {
  struct Case {
    int32_t index;
    int32_t length;
    int expected;
    const char* copied;  // the bytes written, terminator included where it fits
    size_t copiedSize;
  } cases[] = {
      {0, 5, 5, "00AM", 5},
      {0, 100, 5, "00AM", 5},
      {0, 3, 3, "00A", 3},
      {0, 0, 0, "", 0},
      {1, 260, 51, "Tarnwick - Ostrel extract library Ver 0.01 by tovi", 51},
      {1, 50, 50, "Tarnwick - Ostrel extract library Ver 0.01 by tovi", 50},
      {2, 6, 6, "*.DAT", 6},
      {3, 24, 24, "Larkhaven Ostrel format", 24},
      {4, 100, 0, "", 0},
      {-1, 100, 0, "", 0},
      {0x7FFFFFFF, 100, 0, "", 0},
      {0, -1, 0, "", 0},
      {1, INT32_MIN, 0, "", 0},
  };
  for (const Case& c : cases) {
    char buffer[128];
    memset(buffer, 0x5A, sizeof buffer);
    EXPECT_EQ(GetPluginInfo(c.index, buffer, c.length), c.expected) << c.index << "/" << c.length;
    EXPECT_EQ(memcmp(buffer, c.copied, c.copiedSize), 0) << c.index << "/" << c.length;
    EXPECT_EQ(buffer[c.copiedSize], 0x5A) << "wrote past the count, " << c.index << "/" << c.length;
  }
  EXPECT_EQ(GetPluginInfo(0, nullptr, 5), 0);
}

class IsSupportedTest : public StandInTest {};

const std::string kSignature("OST00\x1A\0\0", 8);

TEST_F(IsSupportedTest, AcceptsExactlyTheSignatureFromABuffer) {
  struct Case {
    const char* what;
    std::string firstBytes;
    int expected;
  } cases[] = {
      {"signature alone", kSignature, 1},
      {"signature then anything", kSignature + "\xFF\xFFxyz", 1},
      {"byte 5 is not 0x1A", std::string("OST00\x1B\0\0", 8), 0},
      {"lower case", std::string("ost00\x1A\0\0", 8), 0},
      {"byte 7 not zero", std::string("OST00\x1A\0\1", 8), 0},
      {"another format", "PK\x03\x04 and more", 0},
  };
  for (const Case& c : cases) {
    std::string buffer = c.firstBytes;
    buffer.resize(2048);  // a host hands over the file's first 2 KiB
    EXPECT_EQ(IsSupported("ANY.NAME", reinterpret_cast<uintptr_t>(buffer.data())), c.expected) << c.what;
  }
  EXPECT_EQ(Calls(Service::kReadFile), 0u) << "a buffer needs no system read";
}

TEST_F(IsSupportedTest, ReadsTheFirstBytesFromAHandle) {
  struct Case {
    const char* what;
    std::string file;
    int expected;
  } cases[] = {
      {"archive", kSignature + std::string(40, '\0'), 1},
      {"exactly 8 bytes", kSignature, 1},
      {"7 bytes that start like the signature", kSignature.substr(0, 7), 0},
      {"empty file", "", 0},
      {"byte 5 differs", std::string("OST00\x00\0\0abcdefgh", 16), 0},
      {"long file, signature first", kSignature + std::string(10000, 'x'), 1},
  };
  for (const Case& c : cases) {
    platform::FileHandle handle = platform::CreateFileA(ScratchFile(c.file).c_str());
    ASSERT_NE(handle, platform::kInvalidFile);
    ASSERT_LT(reinterpret_cast<uintptr_t>(handle), 0x10000u) << "handles must look like handles";
    platform::standin::Reset();
    EXPECT_EQ(IsSupported(nullptr, reinterpret_cast<uintptr_t>(handle)), c.expected) << c.what;
    EXPECT_EQ(Calls(Service::kReadFile), 1u) << c.what;
    // The handle is left after the bytes read, not moved back.
    EXPECT_EQ(platform::SetFilePointer(handle, 0, platform::kFromCurrent),
              std::min<size_t>(c.file.size(), kWindowSize))
        << c.what;
    platform::CloseHandle(handle);
  }
}

TEST_F(IsSupportedTest, AFailedReadIsNotAnArchive) {
  platform::FileHandle handle = platform::CreateFileA(ScratchFile(kSignature).c_str());
  platform::standin::FailCalls(Service::kReadFile, 1);
  EXPECT_EQ(IsSupported("A.DAT", reinterpret_cast<uintptr_t>(handle)), 0);
  platform::CloseHandle(handle);
}

}  // namespace
