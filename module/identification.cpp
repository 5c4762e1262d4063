// GetPluginInfo and IsSupported: the two exports a host calls before it reads anything.
#include <cstring>

#include "archive/format.h"
#include "module/exports.h"
#include "source/archive_source.h"

namespace {

const char* const kPluginInfo[] = {
    "00AM",
    "Tarnwick - Ostrel extract library Ver 0.01 by tovi",
    "*.DAT",
    "Larkhaven Ostrel format",
};
constexpr uint32_t kPluginInfoCount = sizeof kPluginInfo / sizeof kPluginInfo[0];

}  // namespace

extern "C" int TARNWICK_API GetPluginInfo(int32_t index, char* buffer, int32_t length) {
  if (static_cast<uint32_t>(index) >= kPluginInfoCount) return 0;
  // A negative length or a missing buffer copies nothing rather than run past the buffer.
  if (length <= 0 || buffer == nullptr) return 0;
  const char* text = kPluginInfo[index];
  int32_t n = static_cast<int32_t>(strlen(text)) + 1;
  if (length < n) n = length;  // the copy then has no terminator
  memcpy(buffer, text, static_cast<size_t>(n));
  return n;
}

extern "C" int TARNWICK_API IsSupported(const char*, uintptr_t probe) {
  // Only the first 8 bytes decide, so only those are read from the host's buffer.
  if ((probe >> 16) != 0) return HasArchiveSignature(reinterpret_cast<const uint8_t*>(probe)) ? 1 : 0;

  uint8_t buffer[kWindowSize];
  uint32_t count = 0;
  if (!platform::ReadFile(reinterpret_cast<platform::FileHandle>(probe), buffer, kWindowSize, &count)) return 0;
  if (count < kSignatureSize) return 0;
  return HasArchiveSignature(buffer) ? 1 : 0;
}
