// The real plug-in in a real Windows process: loads the module given on the command line
// by file name, checks what its PE file offers a host's loader, and runs the export cases
// with real file handles, real local memory and images that end right before a page that
// cannot be read, so that an over-read fails loudly. One launch runs every case; the
// last line is "N passed, M failed".
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tests/windows/pe_image.h"
#include "tools/host/susie_interface.h"
#include "tools/writer/archive_writer.h"

namespace {

int passed = 0;
int failed = 0;
const char* currentCase = "start";

void Check(bool ok, const char* what, int line, const std::string& row = std::string()) {
  if (ok) {
    ++passed;
    return;
  }
  ++failed;
  printf("FAIL [%s] line %d: %s%s%s\n", currentCase, line, what, row.empty() ? "" : " -- ", row.c_str());
  fflush(stdout);
}
#define CHECK(condition) Check((condition), #condition, __LINE__)
#define CHECK_ROW(condition, row) Check((condition), #condition, __LINE__, (row))

// Under qemu a fault arrives as an illegal instruction (0xC000001D), not an access
// violation; either way the case that made it is named and the run fails.
LONG WINAPI ReportFault(EXCEPTION_POINTERS* info) {
  printf("FAIL [%s]: exception 0x%08lX at %p\n", currentCase, info->ExceptionRecord->ExceptionCode,
         info->ExceptionRecord->ExceptionAddress);
  printf("%d passed, %d failed\n", passed, failed + 1);
  fflush(stdout);
  ExitProcess(3);
}

// A copy of bytes that ends right before a page no one may touch.
class GuardedBytes {
 public:
  explicit GuardedBytes(const std::string& bytes) {
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    size_t page = system.dwPageSize;
    size_t dataPages = (bytes.size() + page - 1) / page;
    base_ = static_cast<char*>(
        VirtualAlloc(nullptr, (dataPages + 1) * page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    DWORD old;
    VirtualProtect(base_ + dataPages * page, page, PAGE_NOACCESS, &old);
    data_ = base_ + dataPages * page - bytes.size();
    memcpy(data_, bytes.data(), bytes.size());
  }
  ~GuardedBytes() { VirtualFree(base_, 0, MEM_RELEASE); }
  GuardedBytes(const GuardedBytes&) = delete;
  GuardedBytes& operator=(const GuardedBytes&) = delete;
  const char* data() const { return data_; }

 private:
  char* base_ = nullptr;
  char* data_ = nullptr;
};

std::string scratch;  // a folder of this run's own

std::string WriteScratch(const std::string& name, const std::string& bytes) {
  std::string path = scratch + "\\" + name;
  if (!WriteWholeFile(path, bytes)) {
    printf("cannot write %s\n", path.c_str());
    ExitProcess(2);
  }
  return path;
}

std::string Bytes(size_t n, int seed) {
  std::string bytes(n, '\0');
  for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<char>((i * 31 + seed) & 0xFF);
  return bytes;
}

// Reads a block the plug-in handed over, checks its size, and releases it as a host does.
std::string TakeBlock(HLOCAL block) {
  std::string bytes(static_cast<const char*>(LocalLock(block)), LocalSize(block));
  LocalUnlock(block);
  CHECK(LocalFree(block) == nullptr);
  return bytes;
}

// The handles this process holds, counted by the kernel.
long CountHandles() {
  typedef LONG(WINAPI * QueryFunction)(ULONG, void*, ULONG, ULONG*);
  auto query = reinterpret_cast<QueryFunction>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
  if (query == nullptr) return -1;
  struct Entry {
    USHORT process;
    USHORT backTrace;
    UCHAR type;
    UCHAR attributes;
    USHORT value;
    void* object;
    ULONG access;
  };
  std::vector<char> buffer(1 << 20);
  ULONG needed = 0;
  const ULONG kSystemHandleInformation = 16;
  while (query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed) ==
         static_cast<LONG>(0xC0000004))
    buffer.resize(buffer.size() * 2);
  ULONG count = *reinterpret_cast<ULONG*>(buffer.data());
  const Entry* entries = reinterpret_cast<const Entry*>(buffer.data() + sizeof(void*));
  long mine = 0;
  for (ULONG i = 0; i < count; ++i)
    if (entries[i].process == static_cast<USHORT>(GetCurrentProcessId())) ++mine;
  return mine;
}

SusiePlugin plugin;
std::string pluginPath;

void CheckModuleFile() {
  currentCase = "module file";
  std::string file;
  CHECK(ReadWholeFile(pluginPath, &file));
  PeImage image;
  CHECK(ReadPeImage(file, &image));
#ifdef _WIN64
  CHECK(image.machine == 0x8664);
  CHECK(image.optionalMagic == 0x20B);
#else
  CHECK(image.machine == 0x14C);
  CHECK(image.optionalMagic == 0x10B);
#endif
  CHECK(image.isDll);
  const char* expected[] = {"GetArchiveInfo", "GetFile", "GetFileInfo", "GetPluginInfo", "IsSupported"};
  CHECK(image.exports.size() == 5);
  for (size_t i = 0; i < image.exports.size() && i < 5; ++i) {
    CHECK_ROW(image.exports[i].name == expected[i], image.exports[i].name);
    CHECK_ROW(image.exports[i].ordinal == i + 1, image.exports[i].name);
  }
  CHECK(!image.imports.empty());
  for (const std::string& dll : image.imports)
    CHECK_ROW(lstrcmpiA(dll.c_str(), "KERNEL32.dll") == 0 || lstrcmpiA(dll.c_str(), "msvcrt.dll") == 0, dll);
  CHECK(InReadOnlyData(file, "Susie Plugin. support Larkhaven's Ostrel format"));
}

void CheckPluginInfo() {
  currentCase = "GetPluginInfo";
  struct Row {
    int index;
    int length;
    int expected;
    const char* copied;
  } rows[] = {
      {0, 5, 5, "00AM"},
      {0, 3, 3, "00A"},
      {0, 0, 0, ""},
      {1, 256, 51, "Tarnwick - Ostrel extract library Ver 0.01 by tovi"},
      {2, 256, 6, "*.DAT"},
      {3, 256, 24, "Larkhaven Ostrel format"},
      {4, 256, 0, ""},
      {-1, 256, 0, ""},
      {0, -5, 0, ""},
  };
  for (const Row& r : rows) {
    char buffer[300];
    memset(buffer, 'Z', sizeof buffer);
    std::string row = std::to_string(r.index) + "/" + std::to_string(r.length);
    CHECK_ROW(plugin.GetPluginInfo(r.index, buffer, r.length) == r.expected, row);
    CHECK_ROW(memcmp(buffer, r.copied, r.expected) == 0 && buffer[r.expected] == 'Z', row);
  }
}

void CheckIsSupported() {
  currentCase = "IsSupported";
  const std::string signature("OST00\x1A\0\0", 8);
  struct Row {
    const char* what;
    std::string firstBytes;
    int expected;
  } rows[] = {
      {"archive", WriteArchive({{"A", "a"}}), 1},
      {"signature alone", signature, 1},
      {"7 bytes of the signature", signature.substr(0, 7), 0},
      {"byte 5 differs", std::string("OST00\x1B\0\0", 8), 0},
      {"empty", "", 0},
      {"text", "Larkhaven, a text and not an archive\r\n", 0},
  };
  for (const Row& r : rows) {
    std::string path = WriteScratch("probe.bin", r.firstBytes);
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    CHECK_ROW(file != INVALID_HANDLE_VALUE, r.what);
    CHECK_ROW(plugin.IsSupported("PROBE.DAT", file) == r.expected, r.what);
    CHECK_ROW(SetFilePointer(file, 0, nullptr, FILE_CURRENT) == r.firstBytes.size(), r.what);
    CloseHandle(file);
    // From a host's buffer only the first 8 bytes may be read: the probe ends right there.
    if (r.firstBytes.size() >= 8) {
      GuardedBytes guarded(r.firstBytes.substr(0, 8));
      CHECK_ROW(plugin.IsSupported("PROBE.DAT", const_cast<char*>(guarded.data())) == r.expected, r.what);
    }
  }
}

// The three reading exports, on a file path or on a guarded memory image.
struct Reading {
  int result;
  std::string bytes;
};

const HLOCAL kUntouched = reinterpret_cast<HLOCAL>(0x5EA1ED);

Reading List(const std::string& archive, bool memory, LONG_PTR start = 0, unsigned flag = 0) {
  HLOCAL list = kUntouched;
  int result;
  if (memory) {
    GuardedBytes image(archive);
    result = plugin.GetArchiveInfo(image.data(), static_cast<LONG_PTR>(archive.size()), flag | 1, &list);
  } else {
    result = plugin.GetArchiveInfo(WriteScratch("list.dat", archive).c_str(), start, flag, &list);
  }
  if (result != 0) {
    CHECK(list == kUntouched);
    return {result, ""};
  }
  return {result, TakeBlock(list)};
}

Reading Lookup(const std::string& archive, bool memory, const char* name, unsigned flag) {
  SusieFileInfo info;
  memset(&info, 0xEE, sizeof info);
  int result;
  if (memory) {
    GuardedBytes image(archive);
    result = plugin.GetFileInfo(image.data(), static_cast<LONG_PTR>(archive.size()), name, flag | 1, &info);
  } else {
    result = plugin.GetFileInfo(WriteScratch("lookup.dat", archive).c_str(), 0, name, flag, &info);
  }
  std::string bytes(reinterpret_cast<const char*>(&info), sizeof info);
  if (result != 0) {
    CHECK(bytes == std::string(sizeof info, '\xEE'));
    return {result, ""};
  }
  return {result, bytes};
}

Reading Extract(const std::string& archive, bool memory, LONG_PTR position, unsigned flag = 0x100) {
  HLOCAL data = kUntouched;
  int result;
  if (memory) {
    GuardedBytes image(archive);
    result = plugin.GetFile(image.data(), static_cast<LONG_PTR>(archive.size()), reinterpret_cast<LPSTR>(&data),
                            flag | 1, nullptr, 0);
  } else {
    result = plugin.GetFile(WriteScratch("extract.dat", archive).c_str(), position, reinterpret_cast<LPSTR>(&data),
                            flag, nullptr, 0);
  }
  if (result != 0) {
    CHECK(data == kUntouched);
    return {result, ""};
  }
  return {result, TakeBlock(data)};
}

std::string RecordOf(const std::string& name, uint32_t position, uint32_t size) {
  SusieFileInfo info;
  memset(&info, 0, sizeof info);
  memcpy(info.method, "-OST-", 5);
  info.position = position;
  info.compsize = size;
  info.filesize = size;
  memcpy(info.filename, name.data(), name.size());
  return std::string(reinterpret_cast<const char*>(&info), sizeof info);
}

const std::vector<WriterEntry> kEntries = {
    {"README.TXT", "Larkhaven harbour log\r\n"},
    {"PICTURE.BMP", Bytes(7000, 3)},
    {"ABCDEFGHIJKL", Bytes(2048, 5)},
    {"EMPTY", ""},
};

void CheckListing() {
  currentCase = "GetArchiveInfo";
  std::string archive = WriteArchive(kEntries);
  std::string expected;
  for (size_t i = 0; i < kEntries.size(); ++i)
    expected += RecordOf(kEntries[i].name, DirectoryRecordPosition(kEntries, {}, i),
                         static_cast<uint32_t>(kEntries[i].data.size()));
  expected += std::string(sizeof(SusieFileInfo), '\0');
  for (bool memory : {false, true}) {
    const char* kind = memory ? "memory" : "file";
    Reading listed = List(archive, memory);
    CHECK_ROW(listed.result == 0, kind);
    CHECK_ROW(listed.bytes == expected, kind);
    Reading empty = List(WriteArchive({}), memory);
    CHECK_ROW(empty.result == 0 && empty.bytes == std::string(sizeof(SusieFileInfo), '\0'), kind);
    uint32_t d = DirectoryRecordPosition(kEntries, {}, 0);
    CHECK_ROW(List(archive.substr(0, d + 40), memory).result == 2, kind);
    CHECK_ROW(List(archive.substr(0, 12), memory).result == 2, kind);
  }
  CHECK(List(archive, false, 0x80000000u).result == 0);
  HLOCAL list = kUntouched;
  CHECK(plugin.GetArchiveInfo((scratch + "\\missing.dat").c_str(), 0, 0, &list) == 6 && list == kUntouched);
}

void CheckLookup() {
  currentCase = "GetFileInfo";
  std::string archive = WriteArchive(kEntries);
  struct Row {
    const char* name;
    unsigned flag;
    int expected;
    size_t entry;
  } rows[] = {
      {"README.TXT", 0, 0, 0},  {"readme.txt", 0, 2, 0},     {"readme.txt", 0x80, 0, 0},
      {"Picture.Bmp", 0x8, 0, 1}, {"ABCDEFGHIJKL", 0, 0, 2}, {"ABCDEFGHIJKLM", 0x80, 2, 0},
      {"EMPTY", 0, 0, 3},       {"MISSING", 0x88, 2, 0},
  };
  for (bool memory : {false, true}) {
    for (const Row& r : rows) {
      std::string row = std::string(r.name) + (memory ? " memory" : " file");
      Reading found = Lookup(archive, memory, r.name, r.flag);
      CHECK_ROW(found.result == r.expected, row);
      if (r.expected == 0)
        CHECK_ROW(found.bytes == RecordOf(kEntries[r.entry].name, DirectoryRecordPosition(kEntries, {}, r.entry),
                                          static_cast<uint32_t>(kEntries[r.entry].data.size())),
                  row);
    }
  }
  SusieFileInfo info;
  CHECK(plugin.GetFileInfo((scratch + "\\missing.dat").c_str(), 0, "A", 0, &info) == 6);
}

void CheckExtraction() {
  currentCase = "GetFile";
  std::string archive = WriteArchive(kEntries);
  uint32_t d = DirectoryRecordPosition(kEntries, {}, 0);
  for (size_t i = 0; i < kEntries.size(); ++i) {
    Reading got = Extract(archive, false, d + 16 * static_cast<LONG_PTR>(i), i % 2 ? 0x700 : 0x100);
    CHECK_ROW(got.result == 0 && got.bytes == kEntries[i].data, kEntries[i].name);
  }
  struct Row {
    const char* what;
    LONG_PTR position;
    int expected;
  } rows[] = {
      {"between records", static_cast<LONG_PTR>(d + 8), 8},
      {"inside the data", 16, 8},
      {"past the end", static_cast<LONG_PTR>(d + 100000), 2},
      {"at 0x80000000", static_cast<LONG_PTR>(0x80000000u), 8},
  };
  for (const Row& r : rows) CHECK_ROW(Extract(archive, false, r.position).result == r.expected, r.what);

  HLOCAL data = kUntouched;
  std::string path = WriteScratch("extract.dat", archive);
  CHECK(plugin.GetFile(path.c_str(), d, reinterpret_cast<LPSTR>(&data), 0, nullptr, 0) == -1 && data == kUntouched);
  CHECK(plugin.GetFile((scratch + "\\missing.dat").c_str(), d, reinterpret_cast<LPSTR>(&data), 0x100, nullptr, 0) ==
        6);

  std::vector<WriterEntry> pastTheEnd = {{"A", "abc"}, {"LONG", "xyz", true, 100000}};
  CHECK(Extract(WriteArchive(pastTheEnd), false, DirectoryRecordPosition(pastTheEnd, {}, 1)).result == 6);
  std::vector<WriterEntry> huge = {{"HUGE", "", true, 0xF0000000u}};
#ifdef _WIN64
  // A 64-bit process can have such a block, but the archive does not hold the data.
  CHECK(Extract(WriteArchive(huge), false, DirectoryRecordPosition(huge, {}, 0)).result == 6);
#else
  // More than a 32-bit process can have in one block.
  CHECK(Extract(WriteArchive(huge), false, DirectoryRecordPosition(huge, {}, 0)).result == 4);
#endif

  // From memory the wanted record is the one at 0: an ordinary archive has none there.
  CHECK(Extract(archive, true, 0).result == 8);
  std::string image = HeaderAsOnlyRecord(0x10000) + Bytes(0x10000, 7);
  Reading fromMemory = Extract(image, true, 0);
  CHECK(fromMemory.result == 0 && fromMemory.bytes == Bytes(0x10000, 7));
}

#ifdef _WIN64
// The 64-bit interface's pointer-sized arguments are never cut to their low 32 bits.
void CheckWideArguments() {
  currentCase = "pointer-sized arguments";
  std::string archive = WriteArchive(kEntries);
  uint32_t d = DirectoryRecordPosition(kEntries, {}, 0);
  const LONG_PTR k4GiB = static_cast<LONG_PTR>(1) << 32;
  // A start of 4 GiB + 16 is refused like 0x80000000: the header is read at 0. Cut to
  // 16, the start would find no header.
  CHECK(List(archive, false, k4GiB + 16).result == 0);
  CHECK(List(archive, false, -16).result == 0);
  // An entry position of 4 GiB + d behaves as 0x80000000 (8), not as d (0).
  CHECK(Extract(archive, false, k4GiB + d).result == 8);
  // An image length of 4 GiB + 8 reads as 4 GiB - 1, not as 8 (which would cut the header).
  GuardedBytes image(archive);
  HLOCAL list = kUntouched;
  CHECK(plugin.GetArchiveInfo(image.data(), k4GiB + 8, 1, &list) == 0 && list != kUntouched);
  if (list != kUntouched) TakeBlock(list);
}
#endif

void CheckHandlesAndBlocksAreReleased() {
  currentCase = "handles";
  std::string archive = WriteArchive(kEntries);
  std::string good = WriteScratch("good.dat", archive);
  std::string cut = WriteScratch("cut.dat", archive.substr(0, archive.size() - 8));
  uint32_t d = DirectoryRecordPosition(kEntries, {}, 0);
  long before = CountHandles();
  printf("handles held before the loop: %ld\n", before);
  for (int round = 0; round < 60; ++round) {
    HLOCAL block = nullptr;
    SusieFileInfo info;
    if (plugin.GetArchiveInfo(good.c_str(), 0, 0, &block) == 0) TakeBlock(block);
    plugin.GetArchiveInfo(cut.c_str(), 0, 0, &block);
    plugin.GetFileInfo(good.c_str(), 0, "EMPTY", 0, &info);
    plugin.GetFileInfo(cut.c_str(), 0, "EMPTY", 0, &info);
    if (plugin.GetFile(good.c_str(), d + 16, reinterpret_cast<LPSTR>(&block), 0x100, nullptr, 0) == 0)
      TakeBlock(block);
    plugin.GetFile(good.c_str(), d + 8, reinterpret_cast<LPSTR>(&block), 0x100, nullptr, 0);
    plugin.GetFile(good.c_str(), d + 100000, reinterpret_cast<LPSTR>(&block), 0x100, nullptr, 0);
    plugin.GetFile(cut.c_str(), d + 48, reinterpret_cast<LPSTR>(&block), 0x100, nullptr, 0);
  }
  long after = CountHandles();
  printf("handles held after 480 calls: %ld\n", after);
  CHECK(before > 0);
  CHECK(after == before);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    printf("usage: conformance PLUGIN\n");
    return 2;
  }
  SetUnhandledExceptionFilter(ReportFault);
  pluginPath = argv[1];
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  scratch = std::string(temp) + "tarnwick-conformance-" + std::to_string(GetCurrentProcessId());
  CreateDirectoryA(scratch.c_str(), nullptr);

  currentCase = "load";
  CHECK(LoadSusiePlugin(pluginPath.c_str(), &plugin));
  if (plugin.module == nullptr) {
    printf("%d passed, %d failed\n", passed, failed);
    return 1;
  }
  CheckModuleFile();
  CheckPluginInfo();
  CheckIsSupported();
  CheckListing();
  CheckLookup();
  CheckExtraction();
#ifdef _WIN64
  CheckWideArguments();
#endif
  CheckHandlesAndBlocksAreReleased();
  CHECK(FreeLibrary(plugin.module) != 0);

  printf("%d passed, %d failed\n", passed, failed);
  return failed == 0 ? 0 : 1;
}
