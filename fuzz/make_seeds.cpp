// Writes the seed corpus of the fuzz targets: small archives made by the archive writer,
// each behind the control bytes fuzz_reading reads first.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/writer/archive_writer.h"

namespace {

std::string Control(uint8_t choice, uint32_t flag, uint32_t position, const std::string& name) {
  std::string control(1 + 4 + 4 + 13, '\0');
  control[0] = static_cast<char>(choice);
  for (int i = 0; i < 4; ++i) control[1 + i] = static_cast<char>(flag >> (8 * i));
  for (int i = 0; i < 4; ++i) control[5 + i] = static_cast<char>(position >> (8 * i));
  control.replace(9, name.size(), name);
  return control;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: make_seeds READING_DIR IDENTIFICATION_DIR\n");
    return 2;
  }
  std::vector<WriterEntry> three = {{"A.TXT", "hello"}, {"IMAGE.BMP", std::string(300, 'i')}, {"LAST", "zz"}};
  std::string archive = WriteArchive(three);
  uint32_t d = DirectoryRecordPosition(three, {}, 0);
  const std::vector<std::pair<std::string, std::string>> reading = {
      {"list-file", Control(0, 0, 0, "") + archive},
      {"list-memory", Control(0x10, 1, 0, "") + archive},
      {"list-empty", Control(0x10, 1, 0, "") + WriteArchive({})},
      {"lookup-file", Control(1, 0x8, 0, "image.bmp") + archive},
      {"lookup-memory", Control(0x91, 1, 0, "LAST") + archive},
      {"extract-file", Control(0x22, 0x100, d + 16, "") + archive},
      {"extract-memory", Control(0x32, 0x100, 0, "") + HeaderAsOnlyRecord(0) + "trailing bytes"},
      {"extract-cut", Control(0x22, 0x100, d + 32, "") + archive.substr(0, d + 40)},
  };
  const std::vector<std::pair<std::string, std::string>> identification = {
      {"info-0", std::string("\0\0\0\0\5\0\0\0", 8) + archive.substr(0, 64)},
      {"info-1-short", std::string("\1\0\0\0\3\0\0\0", 8) + "not an archive"},
  };
  bool ok = true;
  for (const auto& seed : reading) ok = WriteWholeFile(std::string(argv[1]) + "/" + seed.first, seed.second) && ok;
  for (const auto& seed : identification)
    ok = WriteWholeFile(std::string(argv[2]) + "/" + seed.first, seed.second) && ok;
  return ok ? 0 : 1;
}
