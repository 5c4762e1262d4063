#include "tests/windows/pe_image.h"

#include <cstring>

namespace {

struct Section {
  uint32_t virtualAddress;
  uint32_t virtualSize;
  uint32_t rawOffset;
  uint32_t rawSize;
  uint32_t characteristics;
};

uint32_t Load(const std::string& file, size_t at, int width) {
  uint32_t value = 0;
  for (int i = 0; i < width && at + i < file.size(); ++i)
    value |= static_cast<uint32_t>(static_cast<uint8_t>(file[at + i])) << (8 * i);
  return value;
}

bool ReadSections(const std::string& file, std::vector<Section>* sections, size_t* optionalAt, size_t* optionalSize) {
  if (file.size() < 64 || file.compare(0, 2, "MZ") != 0) return false;
  size_t pe = Load(file, 60, 4);
  if (pe + 24 > file.size() || file.compare(pe, 4, std::string("PE\0\0", 4)) != 0) return false;
  uint32_t count = Load(file, pe + 6, 2);
  *optionalSize = Load(file, pe + 20, 2);
  *optionalAt = pe + 24;
  size_t table = *optionalAt + *optionalSize;
  for (uint32_t i = 0; i < count; ++i) {
    size_t at = table + 40 * i;
    if (at + 40 > file.size()) return false;
    sections->push_back({Load(file, at + 12, 4), Load(file, at + 8, 4), Load(file, at + 20, 4), Load(file, at + 16, 4),
                         Load(file, at + 36, 4)});
  }
  return true;
}

// The file offset of a relative virtual address, or 0 when no section holds it.
size_t OffsetOf(const std::vector<Section>& sections, uint32_t rva) {
  for (const Section& s : sections)
    if (rva >= s.virtualAddress && rva < s.virtualAddress + s.rawSize) return s.rawOffset + (rva - s.virtualAddress);
  return 0;
}

std::string StringAt(const std::string& file, size_t at) {
  if (at == 0 || at >= file.size()) return std::string();
  return std::string(file.c_str() + at, strnlen(file.c_str() + at, file.size() - at));
}

}  // namespace

bool ReadPeImage(const std::string& file, PeImage* image) {
  std::vector<Section> sections;
  size_t optional = 0, optionalSize = 0;
  if (!ReadSections(file, &sections, &optional, &optionalSize)) return false;
  size_t pe = Load(file, 60, 4);
  image->machine = static_cast<uint16_t>(Load(file, pe + 4, 2));
  image->isDll = (Load(file, pe + 22, 2) & 0x2000) != 0;
  image->optionalMagic = static_cast<uint16_t>(Load(file, optional, 2));
  size_t directories = optional + (image->optionalMagic == 0x20B ? 112 : 96);

  uint32_t exportRva = Load(file, directories, 4);
  if (exportRva != 0) {
    size_t at = OffsetOf(sections, exportRva);
    if (at == 0) return false;
    image->dllName = StringAt(file, OffsetOf(sections, Load(file, at + 12, 4)));
    uint32_t base = Load(file, at + 16, 4);
    uint32_t names = Load(file, at + 24, 4);
    size_t namePointers = OffsetOf(sections, Load(file, at + 32, 4));
    size_t ordinals = OffsetOf(sections, Load(file, at + 36, 4));
    for (uint32_t i = 0; i < names; ++i) {
      std::string name = StringAt(file, OffsetOf(sections, Load(file, namePointers + 4 * i, 4)));
      image->exports.push_back({name, base + Load(file, ordinals + 2 * i, 2)});
    }
  }
  uint32_t importRva = Load(file, directories + 8, 4);
  if (importRva != 0) {
    for (size_t at = OffsetOf(sections, importRva); at != 0 && Load(file, at + 12, 4) != 0; at += 20)
      image->imports.push_back(StringAt(file, OffsetOf(sections, Load(file, at + 12, 4))));
  }
  image->valid = true;
  return true;
}

bool InReadOnlyData(const std::string& file, const std::string& text) {
  std::vector<Section> sections;
  size_t optional = 0, optionalSize = 0;
  if (!ReadSections(file, &sections, &optional, &optionalSize)) return false;
  const uint32_t kInitializedData = 0x40, kExecute = 0x20000000, kWrite = 0x80000000;
  for (const Section& s : sections) {
    if ((s.characteristics & kInitializedData) == 0 || (s.characteristics & (kExecute | kWrite)) != 0) continue;
    if (file.substr(s.rawOffset, s.rawSize).find(text) != std::string::npos) return true;
  }
  return false;
}
