// Shared by the unit tests: archives on disk, the host's side of block handover, and a
// fixture that checks the stand-in is left with no open handle and no live block.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "platform/platform.h"
#include "platform/standin_control.h"

// Writes bytes to a new file in the test's scratch folder and returns its path.
std::string ScratchFile(const std::string& bytes);

// What a host does with a block it received: read it whole, then LocalFree it.
std::string TakeBlock(platform::MemoryHandle block);

// A reader's answer, kept as bytes so the file and memory paths compare directly.
struct Answer {
  int result;
  std::string bytes;  // the block's or the record's bytes on success
};

enum class Reader { kList, kLookup, kExtract };

// Calls GetArchiveInfo, GetFileInfo or GetFile as a host would: on the file at path when
// flag's low bits are 0, else on the archive's bytes as a memory image. Checks that a
// failure writes no out argument, and releases a block it receives.
Answer CallReader(Reader reader, const std::string& archive, const std::string& path, uint32_t flag,
                  uint32_t positionOrStart, const char* wantedName = "");

class StandInTest : public ::testing::Test {
 protected:
  // Counted against what was open before, so that one leak fails one test only.
  void SetUp() override {
    platform::standin::Reset();
    handlesBefore_ = platform::standin::OpenHandles();
    blocksBefore_ = platform::standin::LiveBlocks();
  }
  void TearDown() override {
    platform::standin::Reset();
    EXPECT_EQ(platform::standin::OpenHandles(), handlesBefore_) << "a file handle was left open";
    EXPECT_EQ(platform::standin::LiveBlocks(), blocksBefore_) << "a memory block was left live";
  }
  static uint32_t Calls(platform::standin::Service service) { return platform::standin::CallCount(service); }

 private:
  uint32_t handlesBefore_ = 0;
  uint32_t blocksBefore_ = 0;
};
