// The three reading exports: the host's arguments go unchanged to the readers.
#include "archive/readers.h"
#include "module/exports.h"

extern "C" int TARNWICK_API GetArchiveInfo(const char* source, intptr_t startOrLength, uint32_t flag,
                                           platform::MemoryHandle* outHandle) {
  return ListArchive<fileInfo>(source, static_cast<uint32_t>(startOrLength), flag, outHandle);
}

extern "C" int TARNWICK_API GetFileInfo(const char* source, intptr_t startOrLength, const char* wantedName,
                                        uint32_t flag, fileInfo* outRecord) {
  return FindEntry<fileInfo>(source, static_cast<uint32_t>(startOrLength), wantedName, flag, outRecord);
}

// The progress callback is never called and the user value never read.
extern "C" int TARNWICK_API GetFile(const char* source, intptr_t positionOrLength,
                                    platform::MemoryHandle* destination, uint32_t flag, ProgressCallback,
                                    intptr_t) {
  return ExtractEntry(source, static_cast<uint32_t>(positionOrLength), destination, flag);
}
