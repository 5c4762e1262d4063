// A command-line Susie host for archive plug-ins: loads a plug-in by path, shows what it
// says of itself, asks whether files are supported, lists an archive and extracts its
// entries through GetFile, releasing every block it receives. It speaks the interface of
// its own build: 32-bit for .spi plug-ins, 64-bit for .sph.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/host/susie_interface.h"

namespace {

const unsigned kFlagMemoryOut = 0x100;
const unsigned kFlagFoldCase = 0x80;

void Usage() {
  printf(
      "usage: susie_host PLUGIN [--info] [--check FILE]... [--list ARCHIVE]\n"
      "                         [--extract ARCHIVE DIR [--name NAME]...]\n"
      "  --info      show the plug-in's information strings\n"
      "  --check     ask the plug-in whether FILE is one of its archives\n"
      "  --list      list the entries of ARCHIVE\n"
      "  --extract   write the entries of ARCHIVE (all, or those named) into DIR\n");
}

void ShowInfo(const SusiePlugin& plugin) {
  for (int index = 0;; ++index) {
    char text[512];
    int n = plugin.GetPluginInfo(index, text, sizeof text - 1);
    if (n <= 0) break;
    text[n] = '\0';
    printf("info %d: %s\n", index, text);
  }
}

void Check(const SusiePlugin& plugin, const char* path) {
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    printf("%s: cannot open\n", path);
    return;
  }
  int supported = plugin.IsSupported(path, file);
  CloseHandle(file);
  printf("%s: %s\n", path, supported ? "supported" : "not supported");
}

// The entries' records, copied out of the block the plug-in handed over.
int ListEntries(const SusiePlugin& plugin, const char* archive, std::vector<SusieFileInfo>* entries) {
  HLOCAL list = nullptr;
  int result = plugin.GetArchiveInfo(archive, 0, 0, &list);
  if (result != 0) return result;
  const SusieFileInfo* info = static_cast<const SusieFileInfo*>(LocalLock(list));
  for (; info->method[0] != 0; ++info) entries->push_back(*info);
  LocalUnlock(list);
  LocalFree(list);
  return 0;
}

void ShowList(const SusiePlugin& plugin, const char* archive) {
  std::vector<SusieFileInfo> entries;
  int result = ListEntries(plugin, archive, &entries);
  if (result != 0) {
    printf("%s: GetArchiveInfo failed with %d\n", archive, result);
    return;
  }
  printf("%s: %u entries\n", archive, static_cast<unsigned>(entries.size()));
  printf("  %-12s %12s %12s  %s\n", "name", "size", "position", "method");
  for (const SusieFileInfo& e : entries) {
    char method[9] = {};
    memcpy(method, e.method, 8);
    printf("  %-12s %12llu %12llu  %s\n", e.filename, static_cast<unsigned long long>(e.filesize),
           static_cast<unsigned long long>(e.position), method);
  }
}

// A file name that stays inside the target folder whatever the archive says.
std::string SafeName(const char* name, size_t index) {
  std::string safe;
  for (const char* p = name; *p != '\0'; ++p) {
    unsigned char c = static_cast<unsigned char>(*p);
    safe += (c < 0x20 || strchr("\\/:*?\"<>|", c) != nullptr) ? '_' : static_cast<char>(c);
  }
  if (safe.empty() || safe.find_first_not_of('.') == std::string::npos) safe = "entry" + std::to_string(index);
  return safe;
}

bool Extract(const SusiePlugin& plugin, const char* archive, const std::string& folder,
             const std::vector<std::string>& names) {
  std::vector<SusieFileInfo> entries;
  if (names.empty()) {
    int result = ListEntries(plugin, archive, &entries);
    if (result != 0) {
      printf("%s: GetArchiveInfo failed with %d\n", archive, result);
      return false;
    }
  }
  for (const std::string& name : names) {
    SusieFileInfo info;
    int result = plugin.GetFileInfo(archive, 0, name.c_str(), kFlagFoldCase, &info);
    if (result != 0) {
      printf("%s: no entry %s (%d)\n", archive, name.c_str(), result);
      return false;
    }
    entries.push_back(info);
  }
  CreateDirectoryA(folder.c_str(), nullptr);
  bool ok = true;
  for (size_t i = 0; i < entries.size(); ++i) {
    HLOCAL data = nullptr;
    int result = plugin.GetFile(archive, static_cast<LONG_PTR>(entries[i].position), reinterpret_cast<LPSTR>(&data),
                                kFlagMemoryOut, nullptr, 0);
    if (result != 0) {
      printf("  %s: GetFile failed with %d\n", entries[i].filename, result);
      ok = false;
      continue;
    }
    size_t size = LocalSize(data);
    std::string path = folder + "\\" + SafeName(entries[i].filename, i);
    FILE* out = fopen(path.c_str(), "wb");
    bool written = out != nullptr && fwrite(LocalLock(data), 1, size, out) == size;
    LocalUnlock(data);
    LocalFree(data);
    if (out == nullptr || fclose(out) != 0 || !written) {
      printf("  %s: cannot write %s\n", entries[i].filename, path.c_str());
      ok = false;
      continue;
    }
    printf("  extracted %s (%u bytes) to %s\n", entries[i].filename, static_cast<unsigned>(size), path.c_str());
  }
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    Usage();
    return 2;
  }
  SusiePlugin plugin;
  if (!LoadSusiePlugin(argv[1], &plugin)) {
    printf("%s: not a Susie plug-in (cannot load it, or it lacks an archive export)\n", argv[1]);
    return 1;
  }
  bool ok = true;
  for (int i = 2; i < argc; ++i) {
    std::string option = argv[i];
    if (option == "--info") {
      ShowInfo(plugin);
    } else if (option == "--check" && i + 1 < argc) {
      Check(plugin, argv[++i]);
    } else if (option == "--list" && i + 1 < argc) {
      ShowList(plugin, argv[++i]);
    } else if (option == "--extract" && i + 2 < argc) {
      const char* archive = argv[++i];
      std::string folder = argv[++i];
      std::vector<std::string> names;
      while (i + 2 < argc && std::string(argv[i + 1]) == "--name") {
        names.push_back(argv[i + 2]);
        i += 2;
      }
      ok = Extract(plugin, archive, folder, names) && ok;
    } else {
      Usage();
      ok = false;
      break;
    }
  }
  FreeLibrary(plugin.module);
  return ok ? 0 : 1;
}
