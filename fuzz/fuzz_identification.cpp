// Fuzzes GetPluginInfo with any index and length, and IsSupported with any buffer and with
// a file handle on any bytes.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "module/exports.h"
#include "platform/standin_control.h"

namespace {

void Require(bool condition, const char* what) {
  if (condition) return;
  fprintf(stderr, "invariant broken: %s\n", what);
  abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 8) return 0;
  int32_t index, length;
  memcpy(&index, data, 4);
  memcpy(&length, data + 4, 4);
  // The buffer is exactly as long as the length claims (up to 512), guarded on both ends
  // by the address sanitizer.
  size_t room = length > 0 ? (length < 512 ? static_cast<size_t>(length) : 512) : 0;
  char* buffer = static_cast<char*>(malloc(room + 1));
  int copied = GetPluginInfo(index, buffer, static_cast<int32_t>(room));
  Require(copied >= 0 && static_cast<size_t>(copied) <= room, "GetPluginInfo copies within the buffer");
  if (static_cast<uint32_t>(index) >= 4) Require(copied == 0, "GetPluginInfo names nothing past index 3");
  if (static_cast<uint32_t>(index) < 4 && room > 0) Require(copied > 0, "GetPluginInfo answers indexes 0 to 3");
  free(buffer);

  // The probe bytes, as the host's buffer of exactly their size: only 8 may be read.
  size_t n = size - 8;
  uint8_t* probe = static_cast<uint8_t*>(malloc(n < 8 ? 8 : n));
  memset(probe, 0, n < 8 ? 8 : n);
  memcpy(probe, data + 8, n);
  int fromBuffer = IsSupported("FUZZ.DAT", reinterpret_cast<uintptr_t>(probe));
  Require(fromBuffer == 0 || fromBuffer == 1, "IsSupported answers 0 or 1");

  static const std::string path = "/dev/shm/tarnwick-fuzz-probe-" + std::to_string(getpid());
  FILE* file = fopen(path.c_str(), "wb");
  Require(file != nullptr && fwrite(data + 8, 1, n, file) == n && fclose(file) == 0, "probe file written");
  platform::FileHandle handle = platform::CreateFileA(path.c_str());
  int fromHandle = IsSupported("FUZZ.DAT", reinterpret_cast<uintptr_t>(handle));
  platform::CloseHandle(handle);
  Require(fromHandle == (n >= 8 ? fromBuffer : 0), "a handle and a buffer on the same bytes agree");
  Require(platform::standin::OpenHandles() == 0, "no handle left open");
  free(probe);
  return 0;
}
