// The platform services on Linux: file handles over POSIX descriptors, local memory over
// the C heap, with the counters and fault plan of standin_control.h.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"
#include "platform/standin_control.h"

namespace platform {
namespace {

using standin::Service;

constexpr int kServiceCount = static_cast<int>(Service::kCount);

struct FaultPlan {
  std::atomic<uint32_t> first{0};  // 0: no failure planned
  std::atomic<uint32_t> count{0};
};

std::atomic<uint32_t> callCounts[kServiceCount];
FaultPlan faultPlans[kServiceCount];
std::atomic<uint32_t> openHandles{0};
std::atomic<uint32_t> liveBlocks{0};
std::atomic<uint32_t> blockSizeLimit{0};

// Counts the call and tells whether the fault plan makes it fail.
bool CallFails(Service service) {
  int i = static_cast<int>(service);
  uint32_t n = callCounts[i].fetch_add(1) + 1;
  uint32_t first = faultPlans[i].first.load();
  return first != 0 && n >= first && n - first < faultPlans[i].count.load();
}

// Handles are descriptor + 1, so they stay small like real kernel handles (a probe
// below 0x10000 is a handle) and are never 0 or kInvalidFile.
int DescriptorOf(FileHandle handle) { return static_cast<int>(reinterpret_cast<intptr_t>(handle)) - 1; }
FileHandle HandleOf(int descriptor) { return reinterpret_cast<FileHandle>(static_cast<intptr_t>(descriptor) + 1); }

// Each block carries its size in front of the bytes the caller sees.
struct BlockHeader {
  uint64_t magic;
  uint64_t size;
};
constexpr uint64_t kLiveBlockMagic = 0x4B434F4C42455649ull;

BlockHeader* HeaderOf(MemoryHandle block) { return static_cast<BlockHeader*>(block) - 1; }

}  // namespace

FileHandle CreateFileA(const char* path) {
  if (CallFails(Service::kCreateFile) || path == nullptr) return kInvalidFile;
  int descriptor;
  do descriptor = open(path, O_RDONLY | O_CLOEXEC);
  while (descriptor < 0 && errno == EINTR);
  if (descriptor < 0) return kInvalidFile;
  struct stat status;
  if (fstat(descriptor, &status) != 0 || S_ISDIR(status.st_mode)) {  // Windows opens no folder here
    close(descriptor);
    return kInvalidFile;
  }
  openHandles.fetch_add(1);
  return HandleOf(descriptor);
}

bool ReadFile(FileHandle handle, void* buffer, uint32_t size, uint32_t* countRead) {
  *countRead = 0;
  if (CallFails(Service::kReadFile)) return false;
  uint32_t done = 0;
  while (done < size) {
    ssize_t n = read(DescriptorOf(handle), static_cast<char*>(buffer) + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) break;
    done += static_cast<uint32_t>(n);
  }
  *countRead = done;
  return true;
}

uint32_t SetFilePointer(FileHandle handle, int32_t distance, MoveMethod method) {
  if (CallFails(Service::kSetFilePointer)) return kInvalidSetFilePointer;
  int descriptor = DescriptorOf(handle);
  off_t base = 0;
  if (method == kFromCurrent) {
    base = lseek(descriptor, 0, SEEK_CUR);
    if (base < 0) return kInvalidSetFilePointer;
  }
  off_t target = base + distance;
  // Without a high part the result must fit in 32 bits; a target before byte 0 is refused.
  if (target < 0 || target >= static_cast<off_t>(kInvalidSetFilePointer)) return kInvalidSetFilePointer;
  if (lseek(descriptor, target, SEEK_SET) < 0) return kInvalidSetFilePointer;
  return static_cast<uint32_t>(target);
}

void CloseHandle(FileHandle handle) {
  CallFails(Service::kCloseHandle);
  if (close(DescriptorOf(handle)) == 0) openHandles.fetch_sub(1);
}

MemoryHandle LocalAlloc(uint32_t size) {
  if (CallFails(Service::kLocalAlloc)) return nullptr;
  uint32_t limit = blockSizeLimit.load();
  if (limit != 0 && size > limit) return nullptr;
  auto* header = static_cast<BlockHeader*>(calloc(1, sizeof(BlockHeader) + size));
  if (header == nullptr) return nullptr;
  header->magic = kLiveBlockMagic;
  header->size = size;
  liveBlocks.fetch_add(1);
  return header + 1;
}

void* LocalLock(MemoryHandle block) {
  if (CallFails(Service::kLocalLock)) return nullptr;
  return block;  // a fixed block's handle is its address
}

void LocalUnlock(MemoryHandle) { CallFails(Service::kLocalUnlock); }

void LocalFree(MemoryHandle block) {
  CallFails(Service::kLocalFree);
  if (block == nullptr) return;
  BlockHeader* header = HeaderOf(block);
  if (header->magic != kLiveBlockMagic) abort();  // not a live block: a double free
  header->magic = 0;
  liveBlocks.fetch_sub(1);
  free(header);
}

namespace standin {

const char* ServiceName(Service service) {
  static const char* const kNames[kServiceCount] = {"CreateFileA", "ReadFile",   "SetFilePointer", "CloseHandle",
                                                   "LocalAlloc",  "LocalLock", "LocalUnlock",    "LocalFree"};
  return kNames[static_cast<int>(service)];
}

void Reset() {
  for (int i = 0; i < kServiceCount; ++i) {
    callCounts[i].store(0);
    faultPlans[i].first.store(0);
    faultPlans[i].count.store(0);
  }
}

void FailCalls(Service service, uint32_t first, uint32_t count) {
  int i = static_cast<int>(service);
  faultPlans[i].count.store(count);
  faultPlans[i].first.store(first);
}

void LimitBlockSize(uint32_t bytes) { blockSizeLimit.store(bytes); }

uint32_t CallCount(Service service) { return callCounts[static_cast<int>(service)].load(); }
uint32_t OpenHandles() { return openHandles.load(); }
uint32_t LiveBlocks() { return liveBlocks.load(); }

uint32_t BlockSize(MemoryHandle block) {
  BlockHeader* header = HeaderOf(block);
  if (header->magic != kLiveBlockMagic) abort();
  return static_cast<uint32_t>(header->size);
}

}  // namespace standin
}  // namespace platform
