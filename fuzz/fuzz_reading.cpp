// Fuzzes GetArchiveInfo, GetFileInfo and GetFile over memory images and over files read
// through the Linux stand-in. The input chooses the export, the source kind, the flag,
// the position or start and the wanted name; the rest is the archive. Each run checks
// the invariants a host relies on and aborts when one breaks.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "module/exports.h"
#include "platform/standin_control.h"

namespace {

constexpr size_t kControlSize = 1 + 4 + 4 + 13;  // export and kind, flag, position, name

uint32_t LoadLittleEndian(const uint8_t* p, size_t width) {
  uint32_t value = 0;
  for (size_t i = 0; i < width; ++i) value |= static_cast<uint32_t>(p[i]) << (8 * i);
  return value;
}

void Require(bool condition, const char* what) {
  if (condition) return;
  fprintf(stderr, "invariant broken: %s\n", what);
  abort();
}

const std::string& ScratchPath() {
  static const std::string path = "/dev/shm/tarnwick-fuzz-" + std::to_string(getpid()) + ".dat";
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kControlSize) return 0;
  // Entry sizes come from the input, which is at most a few KiB: a block of 1 MiB already
  // takes the path of a short read (6), a larger one that of no memory (4). Zero-filling
  // bigger blocks would only slow the search.
  platform::standin::LimitBlockSize(1u << 20);
  uint8_t choice = data[0];
  uint32_t flag = LoadLittleEndian(data + 1, 4);
  uint32_t position = LoadLittleEndian(data + 5, 4);
  char name[14] = {};
  memcpy(name, data + 9, 13);
  // The archive in a heap block of its exact size, so any read past it is caught.
  size_t length = size - kControlSize;
  uint8_t* image = static_cast<uint8_t*>(malloc(length == 0 ? 1 : length));
  memcpy(image, data + kControlSize, length);

  bool memory = (choice & 0x10) != 0;
  flag = memory ? (flag | 1) : (flag & ~7u);
  const char* source = reinterpret_cast<const char*>(image);
  intptr_t second = static_cast<intptr_t>(length);
  if (!memory) {
    FILE* file = fopen(ScratchPath().c_str(), "wb");
    Require(file != nullptr && fwrite(image, 1, length, file) == length && fclose(file) == 0, "scratch file written");
    source = ScratchPath().c_str();
    second = static_cast<intptr_t>(position);
  }

  const uint32_t blocksBefore = platform::standin::LiveBlocks();
  platform::MemoryHandle const untouched = reinterpret_cast<platform::MemoryHandle>(0x5EA1ED);
  platform::MemoryHandle out = untouched;
  switch (choice % 3) {
    case 0: {
      int result = GetArchiveInfo(source, second, flag, &out);
      Require(result == 0 || result == 2 || result == 4 || result == 5 || result == 6, "GetArchiveInfo result");
      if (result != 0) {
        Require(out == untouched, "failed listing stored a handle");
        break;
      }
      // The list holds one record per entry the header counts, then the zero record.
      uint32_t start = memory || position >= 0x80000000u ? 0 : position;
      Require(static_cast<uint64_t>(start) + 16 <= length, "a header was there to read");
      uint32_t count = LoadLittleEndian(image + start + 8, 2);
      Require(platform::standin::BlockSize(out) == sizeof(HostFileInfo) * (count + 1), "list block size");
      const uint8_t* last = static_cast<const uint8_t*>(out) + platform::standin::BlockSize(out) - sizeof(HostFileInfo);
      for (size_t i = 0; i < sizeof(HostFileInfo); ++i) Require(last[i] == 0, "list ends with a zero record");
      Require(platform::standin::LiveBlocks() == blocksBefore + 1, "exactly one block handed over");
      platform::LocalFree(out);
      break;
    }
    case 1: {
      HostFileInfo record;
      memset(&record, 0xEE, sizeof record);
      int result = GetFileInfo(source, second, name, flag | (choice & 0x80), &record);
      Require(result == 0 || result == 2 || result == 6, "GetFileInfo result");
      if (result != 0) {
        const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&record);
        for (size_t i = 0; i < sizeof record; ++i) Require(bytes[i] == 0xEE, "failed lookup wrote the record");
      } else {
        Require(memcmp(record.method, "-OST-\0\0\0", 8) == 0, "record method");
        Require(record.filename[12] == 0, "record name terminated");
      }
      Require(platform::standin::LiveBlocks() == blocksBefore, "lookup allocates nothing");
      break;
    }
    default: {
      int result = GetFile(source, second, &out, flag | ((choice & 0x20) ? 0x100 : 0), nullptr, 0);
      Require(result == -1 || result == 0 || result == 2 || result == 4 || result == 5 || result == 6 || result == 8,
              "GetFile result");
      if (result != 0) {
        Require(out == untouched, "failed extraction stored a handle");
        break;
      }
      // The block is as long as the size in the record at the wanted position.
      uint32_t wanted = memory || position >= 0x80000000u ? 0 : position;
      Require(static_cast<uint64_t>(wanted) + 16 <= length, "a record was there to read");
      Require(platform::standin::BlockSize(out) == LoadLittleEndian(image + wanted + 12, 4), "entry block size");
      Require(platform::standin::LiveBlocks() == blocksBefore + 1, "exactly one block handed over");
      platform::LocalFree(out);
      break;
    }
  }
  Require(platform::standin::OpenHandles() == 0, "no handle left open");
  Require(platform::standin::LiveBlocks() == blocksBefore, "no block left live");
  free(image);
  return 0;
}
