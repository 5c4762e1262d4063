// The platform services on Windows: straight calls into the kernel.
#include "platform/platform.h"

#include <windows.h>

namespace platform {

FileHandle CreateFileA(const char* path) {
  return ::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
}

bool ReadFile(FileHandle handle, void* buffer, uint32_t size, uint32_t* countRead) {
  DWORD count = 0;
  BOOL ok = ::ReadFile(handle, buffer, size, &count, nullptr);
  *countRead = count;
  return ok != FALSE;
}

uint32_t SetFilePointer(FileHandle handle, int32_t distance, MoveMethod method) {
  return ::SetFilePointer(handle, distance, nullptr, method == kFromBegin ? FILE_BEGIN : FILE_CURRENT);
}

void CloseHandle(FileHandle handle) { ::CloseHandle(handle); }

MemoryHandle LocalAlloc(uint32_t size) { return ::LocalAlloc(LMEM_FIXED | LMEM_ZEROINIT, size); }

void* LocalLock(MemoryHandle block) { return ::LocalLock(block); }

void LocalUnlock(MemoryHandle block) { ::LocalUnlock(block); }

void LocalFree(MemoryHandle block) { ::LocalFree(block); }

}  // namespace platform
