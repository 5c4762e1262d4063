// The three reading exports: the host's arguments go to the readers, the source argument
// narrowed to the 32 bits that archive positions and image lengths have.
#include "archive/readers.h"
#include "module/exports.h"

namespace {

// A pointer-sized argument is never cut to its low 32 bits: a file position that is
// negative or at or above 0x80000000 becomes 0x80000000, which the source refuses as it
// refuses any such position, and a memory image longer than 4 GiB - 1 is read as if it
// ended there. In a 32-bit build this changes no outcome.
uint32_t NarrowSourceArgument(intptr_t value, uint32_t flag) {
  if ((flag & kFlagSourceMask) != 0) {
    uintptr_t length = static_cast<uintptr_t>(value);
    return length > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(length);
  }
  if (value < 0 || static_cast<uintptr_t>(value) >= 0x80000000u) return 0x80000000u;
  return static_cast<uint32_t>(value);
}

}  // namespace

extern "C" int TARNWICK_API GetArchiveInfo(const char* source, intptr_t startOrLength, uint32_t flag,
                                           platform::MemoryHandle* outHandle) {
  return ListArchive<HostFileInfo>(source, NarrowSourceArgument(startOrLength, flag), flag, outHandle);
}

extern "C" int TARNWICK_API GetFileInfo(const char* source, intptr_t startOrLength, const char* wantedName,
                                        uint32_t flag, HostFileInfo* outRecord) {
  return FindEntry<HostFileInfo>(source, NarrowSourceArgument(startOrLength, flag), wantedName, flag, outRecord);
}

// The progress callback is never called and the user value never read.
extern "C" int TARNWICK_API GetFile(const char* source, intptr_t positionOrLength,
                                    platform::MemoryHandle* destination, uint32_t flag, ProgressCallback,
                                    intptr_t) {
  return ExtractEntry(source, NarrowSourceArgument(positionOrLength, flag), destination, flag);
}
