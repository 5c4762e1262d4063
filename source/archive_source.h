// ArchiveSource: one stream over an archive, either a file read through a 2048-byte window
// or an image in memory. Open binds the five operation slots to the file or the memory
// variants; callers always go through the slots; Close clears them. A source lives for
// one export call and allocates nothing.
#pragma once

#include <cstdint>

#include "platform/platform.h"

constexpr uint32_t kWindowSize = 2048;

// What Tell returns when the system cannot say where a file stands. No position a reader
// meets reaches it: seeks stop below 0x80000000 and directories hold 65,535 records.
constexpr uint32_t kUnknownPosition = 0xFFFFFFFFu;

enum SourceKind : uint32_t { File = 0, Memory = 1 };

struct ArchiveSource;

using RefillOperation = uint32_t (*)(ArchiveSource* source);
using ReadByteOperation = int (*)(ArchiveSource* source);                                      // 0..255, -1 at the end
using ReadBlockOperation = uint32_t (*)(ArchiveSource* source, void* destination, uint32_t n);  // count copied
using TellOperation = uint32_t (*)(ArchiveSource* source);
using SeekOperation = int64_t (*)(ArchiveSource* source, uint32_t offset);  // previous position, or -1

struct ArchiveSource {
  SourceKind kind;
  uint8_t window[kWindowSize];  // File: bytes read from the file
  union {
    platform::FileHandle handle;  // File: kInvalidFile once closed
    const uint8_t* imageStart;    // Memory
  } handleOrImage;
  union {
    uint8_t* windowStart;   // File: start of window, null once closed
    const uint8_t* cursor;  // Memory: next byte to read
  } windowOrCursor;
  union {
    const uint8_t* cursor;  // File: next unread byte in window
    uint32_t remaining;     // Memory: bytes from the cursor to the image's end
  } cursorOrRemaining;
  uint32_t available;  // File: unread bytes in window from the cursor

  RefillOperation Refill;
  ReadByteOperation ReadByte;
  ReadBlockOperation ReadBlock;
  TellOperation Tell;
  SeekOperation Seek;
};

// Opens a File source on the path nameOrAddress, positioned at startOrLength (a start of
// 0x80000000 or more is refused by the seek and reading begins at 0), or a Memory source
// on the image at nameOrAddress of startOrLength bytes. Returns 0; 6 when the file cannot
// be opened, and -1 for another kind, in both cases with nothing to close.
int Open(ArchiveSource* source, const char* nameOrAddress, uint32_t startOrLength, uint32_t kind);

// Releases the file handle and empties the slots. Returns 0, or -1 for an unknown kind.
int Close(ArchiveSource* source);
