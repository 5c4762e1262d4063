// Memory blocks handed to the host: allocated fixed and zero-filled, locked for filling,
// unlocked and stored through the host's out argument only once complete. Until then the
// block is the caller's to release with LocalFree.
#pragma once

#include <cstdint>

#include "module/plugin_types.h"
#include "platform/platform.h"

// Allocates and locks a block of size bytes. ResultNoMemory leaves *block null;
// ResultMemoryError leaves it set for the caller to release.
ResultCode AllocateBlock(uint32_t size, platform::MemoryHandle* block, void** address);

// Unlocks the block and stores it through outHandle; *block becomes null, so the
// caller's clean-up no longer releases it.
void HandOverBlock(platform::MemoryHandle* block, platform::MemoryHandle* outHandle);

// Releases a block that was not handed over; nothing to do when *block is null.
void ReleaseBlock(platform::MemoryHandle* block);
