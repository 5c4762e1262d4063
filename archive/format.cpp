#include "archive/format.h"

#include <cstring>

const uint8_t ArchiveSignature[8] = {'O', 'S', 'T', '0', '0', 0x1A, 0x00, 0x00};
const char MethodString[6] = "-OST-";

bool HasArchiveSignature(const uint8_t* firstBytes) {
  return memcmp(firstBytes, ArchiveSignature, kSignatureSize) == 0;
}

uint32_t NameLength(const DirectoryRecord& record) {
  const void* zero = memchr(record.name, 0, kNameSize);
  return zero == nullptr ? kNameSize : static_cast<uint32_t>(static_cast<const uint8_t*>(zero) - record.name);
}

NameString NameToString(const DirectoryRecord& record) {
  NameString name = {};
  memcpy(name.text, record.name, NameLength(record));
  return name;
}
