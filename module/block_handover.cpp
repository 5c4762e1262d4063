#include "module/block_handover.h"

ResultCode AllocateBlock(uint32_t size, platform::MemoryHandle* block, void** address) {
  *block = platform::LocalAlloc(size);
  if (*block == nullptr) return ResultNoMemory;
  *address = platform::LocalLock(*block);
  if (*address == nullptr) return ResultMemoryError;
  return ResultSuccess;
}

void HandOverBlock(platform::MemoryHandle* block, platform::MemoryHandle* outHandle) {
  platform::LocalUnlock(*block);
  *outHandle = *block;
  *block = nullptr;
}

void ReleaseBlock(platform::MemoryHandle* block) {
  if (*block == nullptr) return;
  platform::LocalFree(*block);
  *block = nullptr;
}
