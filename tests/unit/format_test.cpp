// The archive's records, constants and names, and the writer that the other tests use.
#include <gtest/gtest.h>

#include <cstring>

#include "archive/format.h"
#include "tools/writer/archive_writer.h"

namespace {

DirectoryRecord RecordNamed(const char* bytes, size_t n) {
  DirectoryRecord record = {};
  memcpy(record.name, bytes, n);
  record.size = 0xFFFFFFFF;  // the size right after the name must never leak into it
  return record;
}

TEST(NameToString, StopsAtTheFirstZeroOrAfterTwelveBytes) {
  struct Case {
    const char* what;
    const char* bytes;
    size_t n;
    const char* expected;
  } cases[] = {
      {"empty name", "", 0, ""},
      {"short name", "A.TXT", 5, "A.TXT"},
      {"twelve bytes, no zero", "ABCDEFGH.BMP", 12, "ABCDEFGH.BMP"},
      {"bytes after the first zero dropped", "AB\0CD", 5, "AB"},
      {"first byte zero", "\0BCD", 4, ""},
      {"two-byte characters kept as bytes", "\x83\x41\x83\x61.BIN", 8, "\x83\x41\x83\x61.BIN"},
  };
  for (const Case& c : cases) {
    NameString name = NameToString(RecordNamed(c.bytes, c.n));
    EXPECT_STREQ(name.text, c.expected) << c.what;
    EXPECT_EQ(name.text[kNameSize], '\0') << c.what;
    for (size_t i = strlen(c.expected); i <= kNameSize; ++i) EXPECT_EQ(name.text[i], '\0') << c.what << " pad " << i;
  }
}

TEST(ArchiveSignature, IsOst00WithItsEndMarks) {
  const uint8_t expected[8] = {0x4F, 0x53, 0x54, 0x30, 0x30, 0x1A, 0x00, 0x00};
  EXPECT_EQ(memcmp(ArchiveSignature, expected, 8), 0);
  EXPECT_TRUE(HasArchiveSignature(expected));
  for (int i = 0; i < 8; ++i) {
    uint8_t changed[8];
    memcpy(changed, expected, 8);
    changed[i] ^= 0x01;
    EXPECT_FALSE(HasArchiveSignature(changed)) << "byte " << i;
  }
  EXPECT_EQ(memcmp(MethodString, "-OST-\0", 6), 0);
}

TEST(ArchiveWriter, LaysOutHeaderDataAndDirectory) {
  std::vector<WriterEntry> entries = {{"ONE", "abc"}, {"TWELVE.BYTES", "defgh"}, {"", ""}};
  std::string bytes = WriteArchive(entries);
  ASSERT_EQ(bytes.size(), 16u + 8 + 3 * 16);
  ArchiveHeader header;
  memcpy(&header, bytes.data(), sizeof header);
  EXPECT_TRUE(HasArchiveSignature(header.signature));
  // Packed fields are copied out: a reference to one may be misaligned.
  EXPECT_EQ(uint16_t{header.entryCount}, 3);
  EXPECT_EQ(uint32_t{header.directoryPosition}, 24u);
  EXPECT_EQ(bytes.substr(16, 8), "abcdefgh");
  DirectoryRecord second;
  memcpy(&second, bytes.data() + 40, sizeof second);
  EXPECT_STREQ(NameToString(second).text, "TWELVE.BYTES");
  EXPECT_EQ(uint32_t{second.size}, 5u);
  EXPECT_EQ(DirectoryRecordPosition(entries, WriterLayout(), 2), 56u);
}

TEST(ArchiveWriter, RefusesWhatTheFormatCannotHold) {
  EXPECT_EQ(WriteArchive({{"THIRTEEN.BYTE", "x"}}), "");
  EXPECT_EQ(WriteArchive(std::vector<WriterEntry>(65536)), "");
  WriterLayout far;
  far.placeDirectory = true;
  far.directoryAt = 0xFFFFFFF8;
  EXPECT_EQ(WriteArchive({{"A", "x"}}, far), "");
}

}  // namespace
