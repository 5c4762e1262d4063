// Test controls of the Linux stand-in for the platform services: count calls, open
// handles and live blocks, and make a chosen service fail at chosen calls.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace platform::standin {

enum class Service : int {
  kCreateFile,
  kReadFile,
  kSetFilePointer,
  kCloseHandle,
  kLocalAlloc,
  kLocalLock,
  kLocalUnlock,
  kLocalFree,
  kCount
};

const char* ServiceName(Service service);

// Zeroes the call counters and clears the fault plan. Open handles and live blocks are
// not forgotten: a leak shows across tests.
void Reset();

// Calls number first .. first + count - 1 of the service, counted from the last Reset
// and starting at 1, fail: CreateFile returns kInvalidFile, ReadFile false with a count
// of 0, SetFilePointer kInvalidSetFilePointer, LocalAlloc and LocalLock null. The plug-in
// ignores the results of CloseHandle, LocalUnlock and LocalFree, so a planned failure of
// those is counted but the call still does its work.
void FailCalls(Service service, uint32_t first, uint32_t count = 1);

// LocalAlloc refuses blocks larger than this, as a process short of address space would;
// 0 (the default) sets no limit. Reset does not change it.
void LimitBlockSize(uint32_t bytes);

uint32_t CallCount(Service service);
uint32_t OpenHandles();
uint32_t LiveBlocks();
// The size a live block was allocated with (LocalSize).
uint32_t BlockSize(MemoryHandle block);

}  // namespace platform::standin
