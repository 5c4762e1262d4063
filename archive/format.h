// The Ostrel archive format: a 16-byte header at position 0, the entries' bytes back to
// back from position 16, and a directory of 16-byte records wherever the header says.
// All integers are little-endian, as on the x86 machines the plug-in runs on.
#pragma once

#include <cstddef>
#include <cstdint>

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the archive records are read in place");

constexpr uint32_t kDataStart = 16;  // the first entry's bytes follow the header
constexpr uint32_t kNameSize = 12;   // bytes of a name in a directory record

#pragma pack(push, 1)
struct ArchiveHeader {
  uint8_t signature[8];  // ArchiveSignature
  uint16_t entryCount;
  uint32_t directoryPosition;
  uint16_t reserved;
};

struct DirectoryRecord {
  uint8_t name[kNameSize];  // ends at the first zero byte, or fills all 12
  uint32_t size;
};
#pragma pack(pop)

static_assert(sizeof(ArchiveHeader) == 16 && offsetof(ArchiveHeader, entryCount) == 8 &&
                  offsetof(ArchiveHeader, directoryPosition) == 10 && offsetof(ArchiveHeader, reserved) == 14,
              "ArchiveHeader layout");
static_assert(sizeof(DirectoryRecord) == 16 && offsetof(DirectoryRecord, size) == 12, "DirectoryRecord layout");

// "OST00", 0x1A, 0, 0: the first 8 bytes of every archive.
extern const uint8_t ArchiveSignature[8];
constexpr size_t kSignatureSize = sizeof(ArchiveHeader::signature);

// "-OST-" and its zero, written into the method field of every entry record.
extern const char MethodString[6];

// A name as a string: zero-terminated, 0 to 12 bytes, padded with zeros.
struct NameString {
  char text[kNameSize + 1];
};

bool HasArchiveSignature(const uint8_t* firstBytes);
NameString NameToString(const DirectoryRecord& record);
