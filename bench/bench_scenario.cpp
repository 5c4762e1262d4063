// One fixed scenario for callgrind, whose instruction count does not depend on the
// machine's load: list a 65,535-entry archive, look up and extract its last entry, and
// extract a 4 MiB entry, from a file and from a memory image. Only RunScenario is meant
// to be counted (--toggle-collect=RunScenario); making the archives is not.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "module/exports.h"
#include "tools/writer/archive_writer.h"

namespace {

struct Archives {
  std::string many, manyPath, big, bigPath;
  uint32_t lastPosition, bigPosition;
};

int Check(int result) {
  if (result != 0) {
    fprintf(stderr, "scenario call failed with %d\n", result);
    exit(1);
  }
  return result;
}

}  // namespace

extern "C" __attribute__((noinline)) void RunScenario(const Archives& a) {
  platform::MemoryHandle block = nullptr;
  HostFileInfo info;
  Check(GetArchiveInfo(a.manyPath.c_str(), 0, 0, &block));
  platform::LocalFree(block);
  Check(GetArchiveInfo(a.many.data(), static_cast<intptr_t>(a.many.size()), 1, &block));
  platform::LocalFree(block);
  Check(GetFileInfo(a.manyPath.c_str(), 0, "E65534", 0, &info));
  Check(GetFile(a.manyPath.c_str(), a.lastPosition, &block, 0x100, nullptr, 0));
  platform::LocalFree(block);
  Check(GetFile(a.bigPath.c_str(), a.bigPosition, &block, 0x100, nullptr, 0));
  platform::LocalFree(block);
}

int main() {
  Archives a;
  std::string folder = "/tmp/tarnwick-scenario-" + std::to_string(getpid());
  mkdir(folder.c_str(), 0700);
  std::vector<WriterEntry> many(65535);
  for (size_t i = 0; i < many.size(); ++i) many[i] = {"E" + std::to_string(i), std::string(16, 'd')};
  a.many = WriteArchive(many);
  a.manyPath = folder + "/MANY.DAT";
  a.lastPosition = DirectoryRecordPosition(many, {}, many.size() - 1);
  std::vector<WriterEntry> big = {{"BIG", std::string(4u << 20, 'b')}};
  a.big = WriteArchive(big);
  a.bigPath = folder + "/BIG.DAT";
  a.bigPosition = DirectoryRecordPosition(big, {}, 0);
  if (!WriteWholeFile(a.manyPath, a.many) || !WriteWholeFile(a.bigPath, a.big)) return 1;
  RunScenario(a);
  unlink(a.manyPath.c_str());
  unlink(a.bigPath.c_str());
  rmdir(folder.c_str());
  return 0;
}
