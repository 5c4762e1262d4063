// Reads what a host's loader sees in a PE file: its kind, its export table and the DLLs it
// imports from, and where a byte string lies.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct PeExport {
  std::string name;
  uint32_t ordinal;
};

struct PeImage {
  bool valid = false;
  uint16_t machine = 0;  // 0x14C for x86, 0x8664 for x86-64
  uint16_t optionalMagic = 0;  // 0x10B PE32, 0x20B PE32+
  bool isDll = false;
  std::vector<PeExport> exports;  // in the order of the name table
  std::vector<std::string> imports;  // DLL names
  std::string dllName;               // the export directory's own name
};

// False when the bytes are not a PE file whose tables can be followed.
bool ReadPeImage(const std::string& file, PeImage* image);

// True when text occurs in a section of initialized data that cannot be written or run.
bool InReadOnlyData(const std::string& file, const std::string& text);
