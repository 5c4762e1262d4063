// The two variants of ArchiveSource. A File source keeps this invariant: the `available`
// bytes from the cursor are the file's bytes at positions Tell() onwards.
#include "source/archive_source.h"

#include <cstring>

namespace {

uint32_t FileRefill(ArchiveSource* source) {
  source->cursorOrRemaining.cursor = source->windowOrCursor.windowStart;
  uint32_t count = 0;
  if (platform::ReadFile(source->handleOrImage.handle, source->window, kWindowSize, &count))
    source->available = count;  // 0 at the end of the file
  return source->available;
}

int FileReadByte(ArchiveSource* source) {
  if (source->available == 0) {
    uint32_t count = source->Refill(source);
    if (count == 0) return -1;
    source->available = count;
    source->cursorOrRemaining.cursor = source->windowOrCursor.windowStart;
  }
  source->available -= 1;
  return *source->cursorOrRemaining.cursor++;
}

uint32_t FileReadBlock(ArchiveSource* source, void* destination, uint32_t n) {
  if (n <= source->available) {  // the common case of a record inside the window
    memcpy(destination, source->cursorOrRemaining.cursor, n);
    source->cursorOrRemaining.cursor += n;
    source->available -= n;
    return n;
  }
  auto* out = static_cast<uint8_t*>(destination);
  uint32_t left = n;
  while (left != 0) {
    uint32_t c = source->available < left ? source->available : left;
    memcpy(out, source->cursorOrRemaining.cursor, c);
    out += c;
    source->cursorOrRemaining.cursor += c;
    source->available -= c;
    left -= c;
    if (left == 0 || source->Refill(source) == 0) break;
  }
  return n - left;
}

uint32_t FileTell(ArchiveSource* source) {
  uint32_t position = platform::SetFilePointer(source->handleOrImage.handle, 0, platform::kFromCurrent);
  if (position == platform::kInvalidSetFilePointer) return kUnknownPosition;
  return position - source->available;
}

int64_t FileSeek(ArchiveSource* source, uint32_t offset) {
  uint32_t previous = source->Tell(source);
  // A signed distance with no high part: the system refuses offsets of 0x80000000 and more.
  if (platform::SetFilePointer(source->handleOrImage.handle, static_cast<int32_t>(offset), platform::kFromBegin) ==
      platform::kInvalidSetFilePointer)
    return -1;
  source->available = 0;
  source->cursorOrRemaining.cursor = source->windowOrCursor.windowStart;
  return previous;
}

uint32_t MemoryRefill(ArchiveSource*) { return 0; }  // the whole image is there from the start

int MemoryReadByte(ArchiveSource* source) {
  if (source->cursorOrRemaining.remaining == 0) return -1;
  source->cursorOrRemaining.remaining -= 1;
  return *source->windowOrCursor.cursor++;
}

uint32_t MemoryReadBlock(ArchiveSource* source, void* destination, uint32_t n) {
  uint32_t c = source->cursorOrRemaining.remaining < n ? source->cursorOrRemaining.remaining : n;
  memcpy(destination, source->windowOrCursor.cursor, c);
  source->windowOrCursor.cursor += c;
  source->cursorOrRemaining.remaining -= c;
  return c;
}

uint32_t MemoryTell(ArchiveSource* source) {
  return static_cast<uint32_t>(source->windowOrCursor.cursor - source->handleOrImage.imageStart);
}

int64_t MemorySeek(ArchiveSource* source, uint32_t offset) {
  uint32_t previous = source->Tell(source);
  if (static_cast<int32_t>(offset) < 0) return -1;  // refused, as a file refuses it
  uint32_t length = previous + source->cursorOrRemaining.remaining;
  // Past the end the seek succeeds, as on a file, and leaves nothing to read: the cursor
  // stops at the image's end so that no read can leave the image.
  uint32_t target = offset < length ? offset : length;
  source->windowOrCursor.cursor = source->handleOrImage.imageStart + target;
  source->cursorOrRemaining.remaining = length - target;
  return previous;
}

struct SourceOperations {
  RefillOperation Refill;
  ReadByteOperation ReadByte;
  ReadBlockOperation ReadBlock;
  TellOperation Tell;
  SeekOperation Seek;
};

const SourceOperations kFileOperations = {
    FileRefill,
    FileReadByte,
    FileReadBlock,
    FileTell,
    FileSeek,
};

const SourceOperations kMemoryOperations = {
    MemoryRefill,
    MemoryReadByte,
    MemoryReadBlock,
    MemoryTell,
    MemorySeek,
};

void Bind(ArchiveSource* source, const SourceOperations& operations) {
  source->Refill = operations.Refill;
  source->ReadByte = operations.ReadByte;
  source->ReadBlock = operations.ReadBlock;
  source->Tell = operations.Tell;
  source->Seek = operations.Seek;
}

}  // namespace

int Open(ArchiveSource* source, const char* nameOrAddress, uint32_t startOrLength, uint32_t kind) {
  switch (kind) {
    case File: {
      platform::FileHandle handle = platform::CreateFileA(nameOrAddress);
      if (handle == platform::kInvalidFile) return 6;
      source->kind = File;
      source->handleOrImage.handle = handle;
      source->available = 0;
      source->windowOrCursor.windowStart = source->window;
      source->cursorOrRemaining.cursor = source->window;
      Bind(source, kFileOperations);
      source->Seek(source, startOrLength);  // a refused start leaves the source at 0
      return 0;
    }
    case Memory:
      source->kind = Memory;
      source->handleOrImage.imageStart = reinterpret_cast<const uint8_t*>(nameOrAddress);
      source->windowOrCursor.cursor = source->handleOrImage.imageStart;
      source->cursorOrRemaining.remaining = startOrLength;
      Bind(source, kMemoryOperations);
      return 0;
    default:
      return -1;
  }
}

int Close(ArchiveSource* source) {
  int result = 0;
  switch (source->kind) {
    case File:
      if (source->windowOrCursor.windowStart != nullptr) {
        source->windowOrCursor.windowStart = nullptr;
        source->cursorOrRemaining.cursor = nullptr;
      }
      if (source->handleOrImage.handle != platform::kInvalidFile) {
        platform::CloseHandle(source->handleOrImage.handle);
        source->handleOrImage.handle = platform::kInvalidFile;
      }
      source->available = 0;
      break;
    case Memory:
      source->cursorOrRemaining.remaining = 0;
      break;
    default:
      result = -1;
      break;
  }
  source->Refill = nullptr;
  source->ReadByte = nullptr;
  source->ReadBlock = nullptr;
  source->Tell = nullptr;
  source->Seek = nullptr;
  return result;
}
