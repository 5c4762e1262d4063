#include "archive/format.h"

#include <cstring>

const uint8_t ArchiveSignature[8] = {'O', 'S', 'T', '0', '0', 0x1A, 0x00, 0x00};
const char MethodString[6] = "-OST-";

bool HasArchiveSignature(const uint8_t* firstBytes) {
  return memcmp(firstBytes, ArchiveSignature, kSignatureSize) == 0;
}

NameString NameToString(const DirectoryRecord& record) {
  NameString name = {};
  for (uint32_t i = 0; i < kNameSize && record.name[i] != 0; ++i) name.text[i] = static_cast<char>(record.name[i]);
  return name;
}
