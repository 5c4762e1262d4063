// ArchiveSource over a file (through the stand-in) and over a memory image.
#include <string>
#include <vector>

#include "source/archive_source.h"
#include "tests/unit/test_support.h"

namespace {

using platform::standin::Service;

std::string Pattern(size_t n) {
  std::string bytes(n, '\0');
  for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
  return bytes;
}

class ArchiveSourceTest : public StandInTest {
 protected:
  // Opens `bytes` as the given kind: a file in the scratch folder, or the image itself.
  int OpenAs(SourceKind kind, const std::string& bytes, uint32_t start = 0) {
    if (kind == File) return Open(&source, ScratchFile(bytes).c_str(), start, File);
    return Open(&source, bytes.data(), static_cast<uint32_t>(bytes.size()), Memory);
  }
  std::string Read(uint32_t n) {
    std::string bytes(n, '\0');
    bytes.resize(source.ReadBlock(&source, &bytes[0], n));
    return bytes;
  }
  ArchiveSource source;
};

TEST_F(ArchiveSourceTest, FileTellCountsFromTheFirstByteOfTheFile) {
  struct Case {
    const char* what;
    size_t fileSize;
    uint32_t start;
    uint32_t tellAfterOpen;
    uint32_t tellAfterRead16;
  } cases[] = {
      {"start 100 in a long file", 200, 100, 100, 116},
      {"start 100, file ends at 110", 110, 100, 100, 110},
      {"start 0", 50, 0, 0, 16},
      {"start 0x80000000 is refused: reading begins at 0", 50, 0x80000000u, 0, 16},
      {"start 0xFFFFFFFF is refused too", 50, 0xFFFFFFFFu, 0, 16},
      {"start past the end is accepted", 50, 60, 60, 60},
  };
  for (const Case& c : cases) {
    std::string bytes = Pattern(c.fileSize);
    ASSERT_EQ(OpenAs(File, bytes, c.start), 0) << c.what;
    EXPECT_EQ(source.Tell(&source), c.tellAfterOpen) << c.what;
    std::string read = Read(16);
    EXPECT_EQ(read, bytes.substr(std::min<size_t>(c.tellAfterOpen, bytes.size()), 16)) << c.what;
    EXPECT_EQ(source.Tell(&source), c.tellAfterRead16) << c.what;
    EXPECT_EQ(Close(&source), 0);
  }
}

TEST_F(ArchiveSourceTest, FileReadBlockReadsOneWindowPerSystemRead) {
  // From an empty window, n bytes cost one ReadFile per 2048 bytes, a last part window
  // counting as one; what the last window holds beyond n is delivered by the next read
  // without another ReadFile.
  const std::string bytes = Pattern(5 * kWindowSize + 100);
  for (uint32_t n : {1u, 16u, 2047u, 2048u, 2049u, 4095u, 4096u, 4097u, 10240u}) {
    ASSERT_EQ(OpenAs(File, bytes), 0);
    platform::standin::Reset();
    EXPECT_EQ(Read(n), bytes.substr(0, n)) << n;
    uint32_t windows = (n + kWindowSize - 1) / kWindowSize;
    EXPECT_EQ(Calls(Service::kReadFile), windows) << n;
    uint32_t rest = windows * kWindowSize - n;
    EXPECT_EQ(Read(rest), bytes.substr(n, rest)) << n;
    EXPECT_EQ(Calls(Service::kReadFile), windows) << n;
    Close(&source);
  }
}

TEST_F(ArchiveSourceTest, ZeroByteReadMakesNoSystemRead) {
  ASSERT_EQ(OpenAs(File, Pattern(100)), 0);
  platform::standin::Reset();
  EXPECT_EQ(Read(0), "");
  EXPECT_EQ(Calls(Service::kReadFile), 0u);
  Close(&source);
}

TEST_F(ArchiveSourceTest, BothKindsDeliverTheSameBytesInAnyPieces) {
  // Odd piece sizes around the window's edges, with seeks between, shake out cursor and
  // count bugs; the memory image is the reference.
  const std::string bytes = Pattern(3 * kWindowSize + 77);
  for (uint32_t piece : {1u, 7u, 16u, 2047u, 2049u, 5000u}) {
    for (SourceKind kind : {File, Memory}) {
      ASSERT_EQ(OpenAs(kind, bytes), 0);
      std::string all;
      for (std::string got; !(got = Read(piece)).empty();) all += got;
      EXPECT_EQ(all, bytes) << "piece " << piece << " kind " << kind;
      EXPECT_EQ(source.ReadByte(&source), -1) << "at the end, kind " << kind;
      EXPECT_EQ(source.Seek(&source, 2040), static_cast<int64_t>(bytes.size())) << kind;
      EXPECT_EQ(source.ReadByte(&source), static_cast<uint8_t>(bytes[2040])) << kind;
      EXPECT_EQ(Read(piece), bytes.substr(2041, piece)) << "piece " << piece << " kind " << kind;
      EXPECT_EQ(source.Tell(&source), std::min<size_t>(2041 + piece, bytes.size())) << kind;
      Close(&source);
    }
  }
}

TEST_F(ArchiveSourceTest, SeekReturnsThePositionBeforeTheMove) {
  const std::string bytes = Pattern(64);
  for (SourceKind kind : {File, Memory}) {
    ASSERT_EQ(OpenAs(kind, bytes), 0);
    Read(16);
    EXPECT_EQ(source.Seek(&source, 0), 16) << kind;
    EXPECT_EQ(source.Tell(&source), 0u) << kind;
    EXPECT_EQ(source.Seek(&source, 40), 0) << kind;
    EXPECT_EQ(Read(4), bytes.substr(40, 4)) << kind;
    Close(&source);
  }
}

TEST_F(ArchiveSourceTest, SeeksToHighOffsetsAreRefusedAndChangeNothing) {
  const std::string bytes = Pattern(64);
  for (SourceKind kind : {File, Memory}) {
    for (uint32_t offset : {0x80000000u, 0xFFFFFFF0u, 0xFFFFFFFFu}) {
      ASSERT_EQ(OpenAs(kind, bytes), 0);
      Read(10);
      EXPECT_EQ(source.Seek(&source, offset), -1) << kind << " " << offset;
      EXPECT_EQ(source.Tell(&source), 10u) << kind;
      EXPECT_EQ(Read(4), bytes.substr(10, 4)) << kind;
      Close(&source);
    }
  }
}

TEST_F(ArchiveSourceTest, SeeksToOrPastTheEndLeaveNothingToRead) {
  const std::string bytes = Pattern(64);
  for (SourceKind kind : {File, Memory}) {
    for (uint32_t offset : {64u, 65u, 5000u, 0x7FFFFFFFu}) {
      ASSERT_EQ(OpenAs(kind, bytes), 0);
      EXPECT_EQ(source.Seek(&source, offset), 0) << kind << " " << offset;
      EXPECT_EQ(Read(16), "") << kind << " " << offset;
      EXPECT_EQ(source.ReadByte(&source), -1) << kind << " " << offset;
      // A file stands where it was sent; an image's cursor stops at its end.
      int64_t standing = kind == File ? offset : 64;
      EXPECT_EQ(source.Tell(&source), standing) << kind;
      EXPECT_EQ(source.Seek(&source, 60), standing) << kind;
      EXPECT_EQ(Read(16), bytes.substr(60)) << "a later seek back reads again, kind " << kind;
      Close(&source);
    }
  }
}

TEST_F(ArchiveSourceTest, OpenAndCloseHoldNothingOnFailureOrTwice) {
  EXPECT_EQ(Open(&source, "/nonexistent/archive.dat", 0, File), 6);
  EXPECT_EQ(Open(&source, "/tmp", 0, File), 6) << "a folder is not an archive file";
  std::string path = ScratchFile("x");
  platform::standin::Reset();
  platform::standin::FailCalls(Service::kCreateFile, 1);
  EXPECT_EQ(Open(&source, path.c_str(), 0, File), 6);
  EXPECT_EQ(Open(&source, "x", 1, 2), -1) << "unknown kind";
  EXPECT_EQ(platform::standin::OpenHandles(), 0u);

  ASSERT_EQ(OpenAs(File, Pattern(10)), 0);
  EXPECT_EQ(platform::standin::OpenHandles(), 1u);
  platform::standin::Reset();
  EXPECT_EQ(Close(&source), 0);
  EXPECT_EQ(source.ReadBlock, nullptr);
  EXPECT_EQ(source.Seek, nullptr);
  EXPECT_EQ(source.handleOrImage.handle, platform::kInvalidFile);
  EXPECT_EQ(Close(&source), 0) << "closing again touches no handle";
  EXPECT_EQ(Calls(Service::kCloseHandle), 1u);

  ASSERT_EQ(OpenAs(Memory, Pattern(10)), 0);
  EXPECT_EQ(Close(&source), 0);
  EXPECT_EQ(source.cursorOrRemaining.remaining, 0u);
  EXPECT_EQ(source.Refill, nullptr);
  source.kind = static_cast<SourceKind>(5);
  EXPECT_EQ(Close(&source), -1);
}

TEST_F(ArchiveSourceTest, AFailedSystemReadLooksLikeTheEnd) {
  const std::string bytes = Pattern(3 * kWindowSize);
  ASSERT_EQ(OpenAs(File, bytes), 0);
  platform::standin::Reset();
  platform::standin::FailCalls(Service::kReadFile, 2);
  EXPECT_EQ(Read(3 * kWindowSize), bytes.substr(0, kWindowSize));
  Close(&source);
}

}  // namespace
