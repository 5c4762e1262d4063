// pack_archive OUT.DAT FILE...: writes the files into a new archive, each under its base
// name, data in the order given and the directory after it.
#include <cstdio>
#include <string>
#include <vector>

#include "tools/writer/archive_writer.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: pack_archive OUT.DAT FILE...\n");
    return 2;
  }
  std::vector<WriterEntry> entries;
  for (int i = 2; i < argc; ++i) {
    std::string path = argv[i];
    WriterEntry entry;
    entry.name = path.substr(path.find_last_of("/\\") + 1);
    if (entry.name.size() > kWriterMaxNameBytes) {
      fprintf(stderr, "pack_archive: %s: a name holds at most %zu bytes\n", path.c_str(), kWriterMaxNameBytes);
      return 1;
    }
    if (!ReadWholeFile(path, &entry.data)) {
      fprintf(stderr, "pack_archive: %s: cannot read\n", path.c_str());
      return 1;
    }
    entries.push_back(entry);
  }
  std::string archive = WriteArchive(entries);
  if (archive.empty()) {
    fprintf(stderr, "pack_archive: too many entries or too much data for one archive\n");
    return 1;
  }
  if (!WriteWholeFile(argv[1], archive)) {
    fprintf(stderr, "pack_archive: %s: cannot write\n", argv[1]);
    return 1;
  }
  return 0;
}
