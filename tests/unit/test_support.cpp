#include "tests/unit/test_support.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "module/exports.h"

#include "tools/writer/archive_writer.h"

namespace {

std::string ScratchFolder() {
  static std::string folder = [] {
    char pattern[] = "/tmp/tarnwick-test-XXXXXX";
    const char* made = mkdtemp(pattern);
    if (made == nullptr) abort();
    return std::string(made);
  }();
  return folder;
}

}  // namespace

std::string ScratchFile(const std::string& bytes) {
  static int counter = 0;
  std::string path = ScratchFolder() + "/archive" + std::to_string(++counter) + ".dat";
  if (!WriteWholeFile(path, bytes)) abort();
  return path;
}

std::string TakeBlock(platform::MemoryHandle block) {
  std::string bytes(static_cast<const char*>(block), platform::standin::BlockSize(block));
  platform::LocalFree(block);
  return bytes;
}

Answer CallReader(Reader reader, const std::string& archive, const std::string& path, uint32_t flag,
                  uint32_t positionOrStart, const char* wantedName) {
  bool memory = (flag & 7) != 0;
  const char* source = memory ? archive.data() : path.c_str();
  intptr_t second = memory ? static_cast<intptr_t>(archive.size()) : positionOrStart;
  platform::MemoryHandle const untouchedHandle = reinterpret_cast<platform::MemoryHandle>(0x5EA1ED);
  platform::MemoryHandle out = untouchedHandle;
  HostFileInfo record;
  memset(&record, 0xEE, sizeof record);
  const std::string untouchedRecord(sizeof record, '\xEE');
  int result = 0;
  switch (reader) {
    case Reader::kList:
      result = GetArchiveInfo(source, second, flag, &out);
      break;
    case Reader::kLookup: {
      result = GetFileInfo(source, second, wantedName, flag, &record);
      std::string bytes(reinterpret_cast<const char*>(&record), sizeof record);
      if (result == 0) return {result, bytes};
      EXPECT_EQ(bytes, untouchedRecord) << "a failed lookup wrote the record";
      return {result, ""};
    }
    case Reader::kExtract:
      result = GetFile(source, second, &out, flag, nullptr, 0);
      break;
  }
  if (result == 0) return {result, TakeBlock(out)};
  EXPECT_EQ(out, untouchedHandle) << "a failed call stored a handle";
  return {result, ""};
}
