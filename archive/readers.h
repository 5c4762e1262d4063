// The three readings of an archive behind GetArchiveInfo, GetFileInfo and GetFile. Each
// opens its own ArchiveSource on (source, startOrLength) as a file when flag & 0x7 is 0,
// else as a memory image, and closes it before it returns. On failure no out argument is
// written and no block is left behind.
#pragma once

#include <cstdint>

#include "module/plugin_types.h"
#include "platform/platform.h"

// A block of fileInfo records, one per entry in directory order, then one all-zero record.
template <class Info>
ResultCode ListArchive(const char* source, uint32_t startOrLength, uint32_t flag, platform::MemoryHandle* outHandle);

// The record of the first entry named wantedName; ASCII letters fold when flag has 0x8 or 0x80.
template <class Info>
ResultCode FindEntry(const char* source, uint32_t startOrLength, const char* wantedName, uint32_t flag,
                     Info* outRecord);

// The bytes of the entry whose directory record is at positionOrLength (a file source) or
// at 0 (a memory source), in a new block stored through destination.
ResultCode ExtractEntry(const char* source, uint32_t positionOrLength, platform::MemoryHandle* destination,
                        uint32_t flag);
