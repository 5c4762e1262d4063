// The eight Windows kernel services the plug-in calls, as it calls them: four for files,
// four for local memory. On Windows they are the system's own; on Linux a stand-in
// (platform_standin.cpp) gives the same results over POSIX files and the C heap.
#pragma once

#include <cstdint>

namespace platform {

using FileHandle = void*;    // a kernel file handle (HANDLE)
using MemoryHandle = void*;  // a local memory block (HLOCAL)

// What CreateFileA returns when the file cannot be opened.
inline FileHandle const kInvalidFile = reinterpret_cast<FileHandle>(static_cast<intptr_t>(-1));
// What SetFilePointer returns when a move is refused.
constexpr uint32_t kInvalidSetFilePointer = 0xFFFFFFFFu;

enum MoveMethod : uint32_t { kFromBegin = 0, kFromCurrent = 1 };

// CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, no security, OPEN_EXISTING, 0, no template).
FileHandle CreateFileA(const char* path);
// ReadFile(handle, buffer, size, &count, no overlapped). False on failure; count is 0 past the end.
bool ReadFile(FileHandle handle, void* buffer, uint32_t size, uint32_t* countRead);
// SetFilePointer(handle, distance, no high part, method): the new position, or
// kInvalidSetFilePointer for a target before the first byte.
uint32_t SetFilePointer(FileHandle handle, int32_t distance, MoveMethod method);
void CloseHandle(FileHandle handle);

// LocalAlloc(LMEM_FIXED | LMEM_ZEROINIT, size): a zero-filled block, or null.
MemoryHandle LocalAlloc(uint32_t size);
// The block's address, or null.
void* LocalLock(MemoryHandle block);
void LocalUnlock(MemoryHandle block);
void LocalFree(MemoryHandle block);

}  // namespace platform
