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
// The entry-information record of the 32-bit interface (TARNWICK.SPI): 428 bytes.
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

#pragma pack(push, 1)
// The entry-information record of the 64-bit interface (TARNWICK.SPH): 448 bytes, the
// same fields with 64-bit integers and 4 bytes of zero padding at the end.
struct fileInfo64 {
  uint8_t method[8];
  uint64_t position;
  uint64_t compsize;
  uint64_t filesize;
  uint64_t timestamp;
  char path[200];
  char filename[200];
  uint32_t crc;
  uint8_t padding[4];
};
#pragma pack(pop)

static_assert(sizeof(fileInfo64) == 448, "fileInfo64 is 448 bytes");
static_assert(offsetof(fileInfo64, method) == 0, "fileInfo64.method");
static_assert(offsetof(fileInfo64, position) == 8, "fileInfo64.position");
static_assert(offsetof(fileInfo64, compsize) == 16, "fileInfo64.compsize");
static_assert(offsetof(fileInfo64, filesize) == 24, "fileInfo64.filesize");
static_assert(offsetof(fileInfo64, timestamp) == 32, "fileInfo64.timestamp");
static_assert(offsetof(fileInfo64, path) == 40, "fileInfo64.path");
static_assert(offsetof(fileInfo64, filename) == 240, "fileInfo64.filename");
static_assert(offsetof(fileInfo64, crc) == 440, "fileInfo64.crc");
static_assert(offsetof(fileInfo64, padding) == 444, "fileInfo64.padding");

// The record the exports exchange: the build chooses the interface it serves, whatever
// the compiler's pointer size, so native tests cover both layouts.
#if defined(TARNWICK_INTERFACE_64)
using HostFileInfo = fileInfo64;
#else
using HostFileInfo = fileInfo;
#endif
