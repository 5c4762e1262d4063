// Makes Ostrel archives in memory, for tests, the demo and the tools: well-formed ones
// with the directory after the data or anywhere else, and deliberately broken ones
// (another signature, a count or directory position that lies, sizes past the end).
// The plug-in itself writes nothing; this code is not part of it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct WriterEntry {
  std::string name;  // 0 to 12 bytes, written as they are
  std::string data;
  bool overrideSize = false;  // write declaredSize in the record instead of data.size()
  uint32_t declaredSize = 0;
};

struct WriterLayout {
  // Where the directory records go; by default right after the data. Records placed over
  // the data or the header overwrite them (the header is written last).
  bool placeDirectory = false;
  uint32_t directoryAt = 0;
  // What the header claims, when it should not tell the truth.
  bool overrideDirectoryField = false;
  uint32_t directoryField = 0;
  bool overrideCount = false;
  uint16_t count = 0;
  std::string signature = std::string("OST00\x1A\0\0", 8);
  uint16_t reserved = 0;
};

constexpr size_t kWriterMaxNameBytes = 12;
constexpr size_t kWriterMaxEntries = 65535;

// The archive's bytes, or an empty string when a name is longer than 12 bytes, there are
// more than 65,535 entries, or the layout needs positions beyond 32 bits.
std::string WriteArchive(const std::vector<WriterEntry>& entries, const WriterLayout& layout = WriterLayout());

// An image whose directory starts at 0 over its own header, so that the header is read
// as the one record at position 0: name "OST00\x1A", size from the header's last four
// bytes, here `size` (a multiple of 0x10000). It is the one kind of image whose entry
// GetFile can extract from memory; append `size` bytes of data to the header it returns.
std::string HeaderAsOnlyRecord(uint32_t size);

// The position of entry i's directory record in an archive written with that layout.
uint32_t DirectoryRecordPosition(const std::vector<WriterEntry>& entries, const WriterLayout& layout, size_t i);

// Reads and writes whole files; false on any failure.
bool ReadWholeFile(const std::string& path, std::string* bytes);
bool WriteWholeFile(const std::string& path, const std::string& bytes);
