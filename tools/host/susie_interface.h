// The archive side of the Susie plug-in interface as a host sees it: the five functions
// found by name in a plug-in, and the entry-information record they fill. A 32-bit host
// speaks the 32-bit interface (.spi, 428-byte records), a 64-bit host the 64-bit one
// (.sph, 448-byte records).
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#pragma pack(push, 1)
#ifdef _WIN64
struct SusieFileInfo {
  unsigned char method[8];
  uint64_t position;
  uint64_t compsize;
  uint64_t filesize;
  uint64_t timestamp;
  char path[200];
  char filename[200];
  uint32_t crc;
  uint8_t padding[4];
};
static_assert(sizeof(SusieFileInfo) == 448 && offsetof(SusieFileInfo, path) == 40 &&
                  offsetof(SusieFileInfo, filename) == 240 && offsetof(SusieFileInfo, crc) == 440,
              "64-bit entry record");
#else
struct SusieFileInfo {
  unsigned char method[8];
  uint32_t position;
  uint32_t compsize;
  uint32_t filesize;
  int32_t timestamp;
  char path[200];
  char filename[200];
  uint32_t crc;
};
static_assert(sizeof(SusieFileInfo) == 428 && offsetof(SusieFileInfo, path) == 24 &&
                  offsetof(SusieFileInfo, filename) == 224 && offsetof(SusieFileInfo, crc) == 424,
              "32-bit entry record");
#endif
#pragma pack(pop)

// Every argument is pointer-sized or 32-bit; LONG_PTR is 32 bits in a 32-bit host.
typedef int(WINAPI* GetPluginInfoFunction)(int index, LPSTR buffer, int length);
typedef int(WINAPI* IsSupportedFunction)(LPCSTR name, void* probe);
typedef int(WINAPI* GetArchiveInfoFunction)(LPCSTR source, LONG_PTR startOrLength, unsigned flag, HLOCAL* list);
typedef int(WINAPI* GetFileInfoFunction)(LPCSTR source, LONG_PTR startOrLength, LPCSTR name, unsigned flag,
                                         SusieFileInfo* info);
typedef int(WINAPI* GetFileFunction)(LPCSTR source, LONG_PTR positionOrLength, LPSTR destination, unsigned flag,
                                     FARPROC progress, LONG_PTR userValue);

struct SusiePlugin {
  HMODULE module;
  GetPluginInfoFunction GetPluginInfo;
  IsSupportedFunction IsSupported;
  GetArchiveInfoFunction GetArchiveInfo;
  GetFileInfoFunction GetFileInfo;
  GetFileFunction GetFile;
};

template <class Function>
Function FindExport(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// Loads the plug-in by file name and finds its five functions. False, with the module
// released, when it cannot be loaded or lacks one of them.
inline bool LoadSusiePlugin(const char* path, SusiePlugin* plugin) {
  plugin->module = LoadLibraryA(path);
  if (plugin->module == nullptr) return false;
  plugin->GetPluginInfo = FindExport<GetPluginInfoFunction>(plugin->module, "GetPluginInfo");
  plugin->IsSupported = FindExport<IsSupportedFunction>(plugin->module, "IsSupported");
  plugin->GetArchiveInfo = FindExport<GetArchiveInfoFunction>(plugin->module, "GetArchiveInfo");
  plugin->GetFileInfo = FindExport<GetFileInfoFunction>(plugin->module, "GetFileInfo");
  plugin->GetFile = FindExport<GetFileFunction>(plugin->module, "GetFile");
  if (plugin->GetPluginInfo && plugin->IsSupported && plugin->GetArchiveInfo && plugin->GetFileInfo && plugin->GetFile)
    return true;
  FreeLibrary(plugin->module);
  plugin->module = nullptr;
  return false;
}
