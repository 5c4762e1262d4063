// The five functions a Susie host looks up by name. Every argument of the 32-bit
// interface is 32 bits wide; the 64-bit interface widens the source argument, the probe
// and the user value to pointer size, written here as intptr_t and uintptr_t.
#pragma once

#include <cstdint>

#include "module/plugin_types.h"
#include "platform/platform.h"

using ProgressCallback = int(TARNWICK_API*)(int done, int total, intptr_t userValue);

extern "C" {

// Copies string `index` of the plug-in information table; returns the bytes copied.
int TARNWICK_API GetPluginInfo(int32_t index, char* buffer, int32_t length);

// 1 when the file's first 8 bytes are the archive signature, else 0. probe is an open file
// handle, or the address of the file's first bytes when any bit above the lowest 16 is set.
int TARNWICK_API IsSupported(const char* name, uintptr_t probe);

int TARNWICK_API GetArchiveInfo(const char* source, intptr_t startOrLength, uint32_t flag,
                                platform::MemoryHandle* outHandle);

int TARNWICK_API GetFileInfo(const char* source, intptr_t startOrLength, const char* wantedName, uint32_t flag,
                             HostFileInfo* outRecord);

int TARNWICK_API GetFile(const char* source, intptr_t positionOrLength, platform::MemoryHandle* destination,
                         uint32_t flag, ProgressCallback progressCallback, intptr_t userValue);
}
