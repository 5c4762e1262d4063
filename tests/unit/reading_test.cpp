// GetArchiveInfo, GetFileInfo and GetFile on archives made in the test, from a file and
// from a memory image, through the Linux stand-in.
#include <cstring>
#include <string>
#include <vector>

#include "archive/readers.h"
#include "module/exports.h"
#include "source/archive_source.h"
#include "tests/unit/test_support.h"
#include "tools/writer/archive_writer.h"

namespace {

using platform::standin::Service;

constexpr uint32_t kMemory = 1;
constexpr uint32_t kToMemory = 0x100;
platform::MemoryHandle const kUntouched = reinterpret_cast<platform::MemoryHandle>(0x5EA1ED);

std::string Bytes(size_t n, int seed) {
  std::string bytes(n, '\0');
  for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<char>((i * 13 + seed) & 0xFF);
  return bytes;
}

// Three entries, the last spanning several windows.
const std::vector<WriterEntry> kThree = {
    {"A.TXT", "hello"},
    {"IMAGE.BMP", Bytes(300, 1)},
    {"LAST", Bytes(5000, 2)},
};

// The record the plug-in gives for an entry.
std::string RecordOf(const std::string& name, uint32_t position, uint32_t size) {
  HostFileInfo info;
  memset(&info, 0, sizeof info);
  memcpy(info.method, "-OST-", 5);
  info.position = position;
  info.compsize = size;
  info.filesize = size;
  memcpy(info.filename, name.data(), name.size());
  return std::string(reinterpret_cast<const char*>(&info), sizeof info);
}

std::string ListOf(const std::vector<WriterEntry>& entries, const WriterLayout& layout = WriterLayout()) {
  std::string list;
  for (size_t i = 0; i < entries.size(); ++i)
    list += RecordOf(entries[i].name, DirectoryRecordPosition(entries, layout, i),
                     entries[i].overrideSize ? entries[i].declaredSize : static_cast<uint32_t>(entries[i].data.size()));
  return list + std::string(sizeof(HostFileInfo), '\0');
}

class ReadingTest : public StandInTest {
 protected:
  // The archive goes to the plug-in as a file when flag's low bits are 0, else as a
  // memory image.
  static Answer List(const std::string& archive, uint32_t flag, uint32_t start = 0) {
    return CallReader(Reader::kList, archive, PathFor(archive, flag), flag, start);
  }
  static Answer Lookup(const std::string& archive, uint32_t flag, const char* name) {
    return CallReader(Reader::kLookup, archive, PathFor(archive, flag), flag, 0, name);
  }
  static Answer Extract(const std::string& archive, uint32_t flag, uint32_t position) {
    return CallReader(Reader::kExtract, archive, PathFor(archive, flag), flag, position);
  }

 private:
  static std::string PathFor(const std::string& archive, uint32_t flag) {
    return (flag & 7) == 0 ? ScratchFile(archive) : std::string();
  }
};

TEST_F(ReadingTest, ListsEveryEntryThenAZeroRecord) {
  WriterLayout embedded;  // an archive 100 bytes into a file: positions count from byte 0
  embedded.overrideDirectoryField = true;
  embedded.directoryField = 100 + DirectoryRecordPosition(kThree, WriterLayout(), 0);
  std::vector<WriterEntry> twelve = {{"ABCDEFGHIJKL", "x"}, {"", "empty name"}, {"A.TXT", "again"}, {"A.TXT", ""}};
  WriterLayout directoryFirst;
  directoryFirst.placeDirectory = true;
  directoryFirst.directoryAt = 16 + 5 + 300 + 5000 + 7;  // past the data, with a gap

  struct Case {
    const char* what;
    std::string archive;
    uint32_t start;
    std::string expected;
  } cases[] = {
      {"no entries", WriteArchive({}), 0, std::string(sizeof(HostFileInfo), '\0')},
      {"three entries at d, d + 16, d + 32", WriteArchive(kThree), 0, ListOf(kThree)},
      {"directory after a gap", WriteArchive(kThree, directoryFirst), 0, ListOf(kThree, directoryFirst)},
      {"12-byte, empty and repeated names", WriteArchive(twelve), 0, ListOf(twelve)},
      {"start 0x80000000 reads the header at 0", WriteArchive(kThree), 0x80000000u, ListOf(kThree)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(List(c.archive, 0, c.start).bytes, c.expected) << c.what << ", from a file";
    EXPECT_EQ(List(c.archive, kMemory).bytes, c.expected) << c.what << ", from memory";
  }

  Answer fromStart100 = List(std::string(100, 'j') + WriteArchive(kThree, embedded), 0, 100);
  EXPECT_EQ(fromStart100.result, 0);
  uint32_t firstPosition;
  memcpy(&firstPosition, fromStart100.bytes.data() + offsetof(HostFileInfo, position), 4);
  EXPECT_EQ(firstPosition, embedded.directoryField);
}

TEST_F(ReadingTest, AnyNonzeroSourceBitsMeanAMemoryImage) {
  std::string archive = WriteArchive(kThree);
  for (uint32_t flag : {1u, 2u, 4u, 7u, 0x1F7u}) {
    platform::standin::Reset();
    EXPECT_EQ(List(archive, flag).bytes, ListOf(kThree)) << flag;
    EXPECT_EQ(Calls(Service::kCreateFile), 0u) << flag;
  }
}

TEST_F(ReadingTest, ListingRefusesBrokenArchives) {
  std::string three = WriteArchive(kThree);
  uint32_t d = DirectoryRecordPosition(kThree, WriterLayout(), 0);
  auto withDirectoryField = [](uint32_t field, uint16_t count) {
    WriterLayout layout;
    layout.overrideDirectoryField = true;
    layout.directoryField = field;
    layout.overrideCount = true;
    layout.count = count;
    return WriteArchive(kThree, layout);
  };
  WriterLayout otherSignature;
  otherSignature.signature = std::string("OST00\x1B\0\0", 8);

  struct Case {
    const char* what;
    std::string archive;
    int file;
    int memory;
  } cases[] = {
      {"directory cut in record 2", three.substr(0, d + 40), 2, 2},
      {"directory cut after record 1", three.substr(0, d + 32), 2, 2},
      {"header only 15 bytes", three.substr(0, 15), 2, 2},
      {"empty file", "", 2, 2},
      {"other signature", WriteArchive(kThree, otherSignature), 2, 2},
      {"directory past the end, count 1", withDirectoryField(100000, 1), 2, 2},
      {"directory past the end, count 0", withDirectoryField(100000, 0), 0, 0},
      {"directory at 0x80000000, count 0", withDirectoryField(0x80000000u, 0), 2, 2},
      {"directory at 0xFFFFFFF0, count 3", withDirectoryField(0xFFFFFFF0u, 3), 2, 2},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(List(c.archive, 0).result, c.file) << c.what << ", from a file";
    EXPECT_EQ(List(c.archive, kMemory).result, c.memory) << c.what << ", from memory";
  }
  platform::MemoryHandle out = kUntouched;
  EXPECT_EQ(GetArchiveInfo("/nonexistent/A.DAT", 0, 0, &out), 6);
  EXPECT_EQ(out, kUntouched);
}

TEST_F(ReadingTest, ListingReadsTheDirectoryOneWindowAtATime) {
  std::vector<WriterEntry> many(1000);
  for (size_t i = 0; i < many.size(); ++i) many[i].name = "E" + std::to_string(i);
  std::string archive = WriteArchive(many);
  Answer answer = List(archive, 0);
  EXPECT_EQ(answer.bytes, ListOf(many));
  // The header's window, then 16,000 directory bytes: 8 windows.
  EXPECT_EQ(Calls(Service::kReadFile), 1u + 8u);
  EXPECT_EQ(Calls(Service::kLocalAlloc), 1u);
}

TEST_F(ReadingTest, LookupFindsTheFirstMatchingName) {
  std::vector<WriterEntry> entries = {
      {"README.TXT", "first"},  {"DUP", "one"},          {"DUP", "two"},    {"", "nameless"},
      {"\x83\x41.BIN", "dbcs"}, {"ABCDEFGHIJKL", "12"},  {"@[Z", "marks"},
  };
  std::string archive = WriteArchive(entries);
  auto recordOf = [&](size_t i) {
    return RecordOf(entries[i].name, DirectoryRecordPosition(entries, WriterLayout(), i),
                    static_cast<uint32_t>(entries[i].data.size()));
  };
  struct Case {
    const char* what;
    const char* wanted;
    uint32_t flag;
    int expected;
    size_t entry;
  } cases[] = {
      {"exact name", "README.TXT", 0, 0, 0},
      {"small letters without folding", "readme.txt", 0, 2, 0},
      {"small letters folded by 0x8", "readme.txt", 0x8, 0, 0},
      {"small letters folded by 0x80, the hosts' bit", "readme.txt", 0x80, 0, 0},
      {"mixed case folded", "ReadMe.Txt", 0x88, 0, 0},
      {"repeated name: the first", "DUP", 0, 0, 1},
      {"empty wanted name matches the empty name", "", 0, 0, 3},
      {"two-byte character folded byte by byte", "\x83\x61.bin", 0x8, 0, 4},
      {"two-byte character exact", "\x83\x61.BIN", 0, 2, 0},
      {"12-byte name", "ABCDEFGHIJKL", 0, 0, 5},
      {"13-byte wanted name", "ABCDEFGHIJKLM", 0x8, 2, 0},
      {"prefix of a name", "README", 0, 2, 0},
      {"only 0x41..0x5A fold: @ [ are not ` {", "`{z", 0x8, 2, 0},
      {"Z folds to z", "@[z", 0x8, 0, 6},
      {"no such name", "MISSING", 0x8, 2, 0},
  };
  for (const Case& c : cases) {
    for (uint32_t kind : {0u, kMemory}) {
      Answer answer = Lookup(archive, c.flag | kind, c.wanted);
      EXPECT_EQ(answer.result, c.expected) << c.what << ", kind " << kind;
      if (c.expected == 0) {
        EXPECT_EQ(answer.bytes, recordOf(c.entry)) << c.what << ", kind " << kind;
      }
    }
  }
}

TEST_F(ReadingTest, LookupRecordIsTheListingRecord) {
  std::string archive = WriteArchive(kThree);
  std::string list = List(archive, 0).bytes;
  for (size_t i = 0; i < kThree.size(); ++i)
    EXPECT_EQ(Lookup(archive, 0, kThree[i].name.c_str()).bytes,
              list.substr(i * sizeof(HostFileInfo), sizeof(HostFileInfo)))
        << i;
}

TEST_F(ReadingTest, LookupStopsAtTheMatchAndFailsOnAShortDirectory) {
  std::string archive = WriteArchive(kThree);
  uint32_t d = DirectoryRecordPosition(kThree, WriterLayout(), 0);
  EXPECT_EQ(Lookup(archive.substr(0, d + 16), 0, "A.TXT").result, 0) << "records after the match are not read";
  EXPECT_EQ(Lookup(archive.substr(0, d + 40), 0, "LAST").result, 2) << "cut before the match";
  EXPECT_EQ(Lookup(archive.substr(0, d + 40), kMemory, "LAST").result, 2);
  EXPECT_EQ(Lookup(WriteArchive({}), 0, "").result, 2) << "no entries";
  EXPECT_EQ(Lookup(archive.substr(0, 12), 0, "A.TXT").result, 2) << "short header";
  fileInfo record;
  EXPECT_EQ(GetFileInfo("/nonexistent/A.DAT", 0, "A.TXT", 0, &record), 6);
}

TEST_F(ReadingTest, ExtractsTheBytesOfTheEntryAtAPosition) {
  std::string archive = WriteArchive(kThree);
  uint32_t d = DirectoryRecordPosition(kThree, WriterLayout(), 0);
  for (uint32_t flag : {0x100u, 0x700u, 0x200u}) {
    for (size_t i = 0; i < kThree.size(); ++i) {
      Answer answer = Extract(archive, flag, d + 16 * static_cast<uint32_t>(i));
      EXPECT_EQ(answer.result, 0) << i;
      EXPECT_EQ(answer.bytes, kThree[i].data) << "entry " << i << " flag " << flag;
    }
  }
}

TEST_F(ReadingTest, ExtractionEdgeCases) {
  std::string three = WriteArchive(kThree);
  uint32_t d = DirectoryRecordPosition(kThree, WriterLayout(), 0);
  std::string trailing = three + std::string(32, 't');
  std::vector<WriterEntry> pastTheEnd = {{"A", "abc"}, {"LONG", "xyz", true, 1000}};
  std::vector<WriterEntry> empty = {{"EMPTY", ""}, {"B", "b"}};
  std::vector<WriterEntry> highData = {{"A", "", true, 0x7FFFFFF0u}, {"B", "", true, 0x20}, {"C", "c"}};

  struct Case {
    const char* what;
    std::string archive;
    uint32_t position;
    int expected;
    std::string bytes;
  } cases[] = {
      {"between two records", three, d + 8, 8, ""},
      {"inside the data, 16 bytes readable", three, 16, 8, ""},
      {"the header's position", three, 0, 8, ""},
      {"after the last record, 16 bytes readable", trailing, d + 48, 8, ""},
      {"past the end of the file", three, d + 4096, 2, ""},
      {"at 0x80000000: taken as position 0", three, 0x80000000u, 8, ""},
      {"at 0xFFFFFFFF: taken as position 0", three, 0xFFFFFFFFu, 8, ""},
      {"between records of a cut directory", three.substr(0, d + 40), d + 8, 2, ""},
      {"data past the end of the file", WriteArchive(pastTheEnd), DirectoryRecordPosition(pastTheEnd, {}, 1), 6, ""},
      {"size 0", WriteArchive(empty), DirectoryRecordPosition(empty, {}, 0), 0, ""},
      {"entry after a size-0 entry", WriteArchive(empty), DirectoryRecordPosition(empty, {}, 1), 0, "b"},
      {"data at 0x80000000 or more", WriteArchive(highData), DirectoryRecordPosition(highData, {}, 2), 2, ""},
      {"the last of the records, 16 bytes only", three.substr(0, d + 48), d + 32, 0, kThree[2].data},
  };
  for (const Case& c : cases) {
    Answer answer = Extract(c.archive, kToMemory, c.position);
    EXPECT_EQ(answer.result, c.expected) << c.what;
    EXPECT_EQ(answer.bytes, c.bytes) << c.what;
  }
  platform::MemoryHandle out = kUntouched;
  EXPECT_EQ(GetFile("/nonexistent/A.DAT", 0, &out, kToMemory, nullptr, 0), 6);
  EXPECT_EQ(out, kUntouched);
}

TEST_F(ReadingTest, ExtractionToADiskFileIsRefusedBeforeAnythingOpens) {
  std::string path = ScratchFile(WriteArchive(kThree));
  platform::standin::Reset();
  platform::MemoryHandle out = kUntouched;
  for (uint32_t flag : {0x0u, 0x1u, 0x8u, 0x800u}) {
    EXPECT_EQ(GetFile(path.c_str(), 0, &out, flag, nullptr, 0), -1) << flag;
  }
  EXPECT_EQ(out, kUntouched);
  EXPECT_EQ(Calls(Service::kCreateFile), 0u);
  EXPECT_EQ(Calls(Service::kLocalAlloc), 0u);
}

TEST_F(ReadingTest, ExtractionFromMemoryTakesTheRecordAtPositionZero) {
  // With a memory image the second argument is the image's length, so the wanted record
  // is the one at position 0: only a directory that starts there can be found.
  std::string three = WriteArchive(kThree);
  uint32_t d = DirectoryRecordPosition(kThree, WriterLayout(), 0);
  EXPECT_EQ(Extract(three, kMemory | kToMemory, 0).result, 8);
  EXPECT_EQ(Extract(three.substr(0, d + 8), kMemory | kToMemory, 0).result, 2) << "cut directory";

  // A directory at 0 reads the header as its first record: name "OST00\x1A", size from
  // the directory field's upper half and the reserved field, here 0x00030000.
  std::string image = HeaderAsOnlyRecord(0x30000) + Bytes(0x30000, 9);
  Answer answer = Extract(image, kMemory | kToMemory, 0);
  EXPECT_EQ(answer.result, 0);
  EXPECT_EQ(answer.bytes, Bytes(0x30000, 9));
}

TEST_F(ReadingTest, ExtractionReadsTheDataWindowByWindow) {
  std::vector<WriterEntry> entries = {{"SMALL", "s"}, {"BIG", Bytes(10 * kWindowSize + 5, 4)}};
  std::string archive = WriteArchive(entries);
  std::string path = ScratchFile(archive);
  platform::standin::Reset();
  platform::MemoryHandle out = nullptr;
  ASSERT_EQ(GetFile(path.c_str(), DirectoryRecordPosition(entries, {}, 1), &out, kToMemory, nullptr, 0), 0);
  EXPECT_EQ(TakeBlock(out), entries[1].data);
  // The record at the position, the header, the directory, then 11 data windows.
  EXPECT_EQ(Calls(Service::kReadFile), 1u + 1u + 1u + 11u);
}

TEST_F(ReadingTest, BothInterfacesDescribeEntriesAlike) {
  // The 32-bit and the 64-bit record hold the same entry in their own layouts: the 64-bit
  // one widens the integers and ends with 4 bytes of zero padding.
  std::string path = ScratchFile(WriteArchive(kThree));
  platform::MemoryHandle narrow = nullptr, wide = nullptr;
  ASSERT_EQ(ListArchive<fileInfo>(path.c_str(), 0, 0, &narrow), 0);
  ASSERT_EQ(ListArchive<fileInfo64>(path.c_str(), 0, 0, &wide), 0);
  std::string narrowList = TakeBlock(narrow), wideList = TakeBlock(wide);
  ASSERT_EQ(narrowList.size(), 428u * 4);
  ASSERT_EQ(wideList.size(), 448u * 4);
  for (size_t i = 0; i < 4; ++i) {
    fileInfo a;
    fileInfo64 b;
    memcpy(&a, narrowList.data() + 428 * i, 428);
    memcpy(&b, wideList.data() + 448 * i, 448);
    EXPECT_EQ(memcmp(a.method, b.method, 8), 0) << i;
    // Packed fields are copied out: a reference to one may be misaligned.
    EXPECT_EQ(uint64_t{b.position}, uint64_t{a.position}) << i;
    EXPECT_EQ(uint64_t{b.compsize}, uint64_t{a.compsize}) << i;
    EXPECT_EQ(uint64_t{b.filesize}, uint64_t{a.filesize}) << i;
    EXPECT_EQ(uint64_t{b.timestamp}, 0u) << i;
    EXPECT_EQ(memcmp(a.path, b.path, 200), 0) << i;
    EXPECT_EQ(memcmp(a.filename, b.filename, 200), 0) << i;
    EXPECT_EQ(uint32_t{b.crc}, 0u) << i;
    EXPECT_EQ(std::string(reinterpret_cast<char*>(b.padding), 4), std::string(4, '\0')) << i;
    fileInfo64 found;
    if (i < 3) {
      ASSERT_EQ(FindEntry<fileInfo64>(path.c_str(), 0, kThree[i].name.c_str(), 0, &found), 0);
      EXPECT_EQ(memcmp(&found, &b, sizeof found), 0) << i;
    }
  }
  EXPECT_EQ(wideList.substr(3 * 448), std::string(448, '\0'));
}

TEST_F(ReadingTest, PointerSizedArgumentsAreNeverCutTo32Bits) {
  // In a 64-bit process the source argument is pointer-sized. A file position that is
  // negative or at or above 0x80000000 behaves as 0x80000000 (read from 0); an image
  // longer than 4 GiB - 1 reads as if it ended there. Cut to 32 bits, each row would
  // give another result.
  if (sizeof(intptr_t) < 8) GTEST_SKIP() << "pointer-sized arguments are 32 bits here";
  const int64_t k4GiB = int64_t{1} << 32;
  std::string archive = WriteArchive(kThree);
  std::string path = ScratchFile(archive);
  uint32_t d = DirectoryRecordPosition(kThree, WriterLayout(), 0);
  platform::MemoryHandle out = nullptr;
  ASSERT_EQ(GetArchiveInfo(path.c_str(), static_cast<intptr_t>(k4GiB + 16), 0, &out), 0) << "start 4 GiB + 16";
  EXPECT_EQ(TakeBlock(out), ListOf(kThree));
  ASSERT_EQ(GetArchiveInfo(path.c_str(), -16, 0, &out), 0) << "start -16";
  TakeBlock(out);
  EXPECT_EQ(GetFile(path.c_str(), static_cast<intptr_t>(k4GiB + d), &out, kToMemory, nullptr, 0), 8);
  ASSERT_EQ(GetArchiveInfo(archive.data(), static_cast<intptr_t>(k4GiB + 8), kMemory, &out), 0)
      << "length 4 GiB + 8";
  TakeBlock(out);
  HostFileInfo record;
  EXPECT_EQ(GetFileInfo(archive.data(), static_cast<intptr_t>(k4GiB + 8), "LAST", kMemory, &record), 0);
}

}  // namespace
