// What the five exports share with the host: result codes, the bits of `flag`, the
// entry-information record, and the calling form.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#define TARNWICK_API __stdcall
#else
#define TARNWICK_API
#endif

// Results of GetArchiveInfo, GetFileInfo and GetFile.
enum ResultCode : int32_t {
  ResultNotImplemented = -1,  // GetFile asked to write a disk file
  ResultSuccess = 0,
  ResultUnknownFormat = 2,  // short header or record, wrong signature, refused seek, no such name
  ResultNoMemory = 4,       // LocalAlloc gave no block
  ResultMemoryError = 5,    // LocalLock gave no address
  ResultFileReadError = 6,  // the archive cannot be opened, or the entry's data reads short
  ResultInternalError = 8,  // GetFile found no directory record at the position asked for
};

// Bits of `flag`.
constexpr uint32_t kFlagSourceMask = 0x7;         // 0: a file path; else a memory image
constexpr uint32_t kFlagFoldCase = 0x8;           // GetFileInfo: fold ASCII letters
constexpr uint32_t kFlagFoldCaseHost = 0x80;      // the same, as Susie hosts pass it
constexpr uint32_t kFlagDestinationMask = 0x700;  // GetFile: 0 a disk file; else a memory block

#pragma pack(push, 1)
// The entry-information record of the 32-bit interface: 428 bytes, little-endian.
struct fileInfo {
  uint8_t method[8];  // "-OST-" then zeros
  uint32_t position;  // position of the entry's directory record
  uint32_t compsize;
  uint32_t filesize;
  int32_t timestamp;
  char path[200];
  char filename[200];
  uint32_t crc;
};
#pragma pack(pop)

static_assert(sizeof(fileInfo) == 428, "fileInfo is 428 bytes");
static_assert(offsetof(fileInfo, method) == 0, "fileInfo.method");
static_assert(offsetof(fileInfo, position) == 8, "fileInfo.position");
static_assert(offsetof(fileInfo, compsize) == 12, "fileInfo.compsize");
static_assert(offsetof(fileInfo, filesize) == 16, "fileInfo.filesize");
static_assert(offsetof(fileInfo, timestamp) == 20, "fileInfo.timestamp");
static_assert(offsetof(fileInfo, path) == 24, "fileInfo.path");
static_assert(offsetof(fileInfo, filename) == 224, "fileInfo.filename");
static_assert(offsetof(fileInfo, crc) == 424, "fileInfo.crc");
