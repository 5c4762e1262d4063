#include "tools/writer/archive_writer.h"

#include <cstdio>
#include <cstring>

namespace {

void PutLittleEndian(std::string* bytes, size_t at, uint64_t value, int width) {
  for (int i = 0; i < width; ++i) (*bytes)[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

uint64_t DataEnd(const std::vector<WriterEntry>& entries) {
  uint64_t end = 16;
  for (const WriterEntry& entry : entries) end += entry.data.size();
  return end;
}

uint64_t DirectoryStart(const std::vector<WriterEntry>& entries, const WriterLayout& layout) {
  return layout.placeDirectory ? layout.directoryAt : DataEnd(entries);
}

}  // namespace

uint32_t DirectoryRecordPosition(const std::vector<WriterEntry>& entries, const WriterLayout& layout, size_t i) {
  return static_cast<uint32_t>(DirectoryStart(entries, layout) + 16 * i);
}

std::string WriteArchive(const std::vector<WriterEntry>& entries, const WriterLayout& layout) {
  if (entries.size() > kWriterMaxEntries && !layout.overrideCount) return std::string();
  for (const WriterEntry& entry : entries)
    if (entry.name.size() > kWriterMaxNameBytes) return std::string();
  uint64_t dataEnd = DataEnd(entries);
  uint64_t directoryStart = DirectoryStart(entries, layout);
  uint64_t directoryEnd = directoryStart + 16 * entries.size();
  uint64_t end = dataEnd > directoryEnd ? dataEnd : directoryEnd;
  if (end > 0xFFFFFFFFull) return std::string();

  std::string bytes(static_cast<size_t>(end), '\0');
  size_t at = 16;
  for (const WriterEntry& entry : entries) {
    memcpy(&bytes[at], entry.data.data(), entry.data.size());
    at += entry.data.size();
  }
  at = static_cast<size_t>(directoryStart);
  for (const WriterEntry& entry : entries) {
    memset(&bytes[at], 0, 12);
    memcpy(&bytes[at], entry.name.data(), entry.name.size());
    PutLittleEndian(&bytes, at + 12, entry.overrideSize ? entry.declaredSize : entry.data.size(), 4);
    at += 16;
  }
  memcpy(&bytes[0], layout.signature.data(), layout.signature.size() < 8 ? layout.signature.size() : 8);
  PutLittleEndian(&bytes, 8, layout.overrideCount ? layout.count : entries.size(), 2);
  PutLittleEndian(&bytes, 10, layout.overrideDirectoryField ? layout.directoryField : directoryStart, 4);
  PutLittleEndian(&bytes, 14, layout.reserved, 2);
  return bytes;
}

std::string HeaderAsOnlyRecord(uint32_t size) {
  WriterLayout layout;
  layout.placeDirectory = true;
  layout.directoryAt = 0;
  layout.overrideCount = true;
  layout.count = 1;
  layout.reserved = static_cast<uint16_t>(size >> 16);  // the directory field's upper half is 0
  return WriteArchive({}, layout);
}

bool ReadWholeFile(const std::string& path, std::string* bytes) {
  FILE* file = fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  bytes->clear();
  char buffer[65536];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, file)) > 0) bytes->append(buffer, n);
  bool ok = ferror(file) == 0;
  fclose(file);
  return ok;
}

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
  FILE* file = fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  bool ok = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return fclose(file) == 0 && ok;
}
