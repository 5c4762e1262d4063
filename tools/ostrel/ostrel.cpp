// ostrel: lists, verifies, extracts and packs Ostrel archives without a Susie host.
// Outputs are written to a temporary file and renamed into place; nothing existing is
// overwritten without --force; a failed run removes what it wrote.
#include <sys/stat.h>
#include <sys/types.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#ifdef _WIN32
#include <direct.h>
#include <io.h>
#include <windows.h>
#else
#include <iconv.h>
#include <unistd.h>
#endif

#include "archive/format.h"
#include "tools/ostrel/safe_names.h"
#include "tools/writer/archive_writer.h"

namespace {

// Exit statuses, one per kind of trouble.
enum Exit {
  kOk = 0,
  kProblemsFound = 1,  // verify found problems
  kUsage = 2,
  kCannotRead = 3,  // a missing or unreadable input
  kNotAnArchive = 4,
  kDamaged = 5,  // truncated or inconsistent archive
  kCannotWrite = 6,
  kOutputExists = 7,
  kNoSuchEntry = 8,
  kTooBig = 9,  // pack: more than the format can hold
};

// --- files, the same on Linux and Windows ---------------------------------------------

bool Seek(FILE* file, uint64_t offset) {
#ifdef _WIN32
  return _fseeki64(file, static_cast<int64_t>(offset), SEEK_SET) == 0;
#else
  return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

bool FileSize(FILE* file, uint64_t* size) {
#ifdef _WIN32
  if (_fseeki64(file, 0, SEEK_END) != 0) return false;
  int64_t end = _ftelli64(file);
#else
  if (fseeko(file, 0, SEEK_END) != 0) return false;
  int64_t end = ftello(file);
#endif
  *size = static_cast<uint64_t>(end);
  return end >= 0 && Seek(file, 0);
}

bool Exists(const std::string& path) {
  struct stat status;
  return stat(path.c_str(), &status) == 0;
}

bool MakeFolder(const std::string& path) {
  if (path.empty() || Exists(path)) return true;
  size_t slash = path.find_last_of("/\\");
  if (slash != std::string::npos && slash > 0 && !MakeFolder(path.substr(0, slash))) return false;
#ifdef _WIN32
  return _mkdir(path.c_str()) == 0 || errno == EEXIST;
#else
  return mkdir(path.c_str(), 0777) == 0 || errno == EEXIST;
#endif
}

// Renames a finished temporary file onto its final name, replacing it if asked to.
bool MoveIntoPlace(const std::string& from, const std::string& to) {
#ifdef _WIN32
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
#else
  return rename(from.c_str(), to.c_str()) == 0;
#endif
}

bool OnTerminal() {
#ifdef _WIN32
  return _isatty(_fileno(stderr)) != 0;
#else
  return isatty(fileno(stderr)) != 0;
#endif
}

std::string Join(const std::string& folder, const std::string& name) {
  return folder.empty() || folder == "." ? name : folder + "/" + name;
}

// Writes outputs through temporary files and removes everything it wrote if the run fails.
class OutputSet {
 public:
  ~OutputSet() {
    if (committed_) return;
    if (file_ != nullptr) fclose(file_);
    if (!temporary_.empty()) remove(temporary_.c_str());
    for (const std::string& path : finished_) remove(path.c_str());
  }
  bool Begin(const std::string& path) {
    target_ = path;
    temporary_ = path + ".ostrel-partial";
    file_ = fopen(temporary_.c_str(), "wb");
    return file_ != nullptr;
  }
  bool Write(const void* bytes, size_t n) { return fwrite(bytes, 1, n, file_) == n; }
  bool Finish() {
    bool ok = fclose(file_) == 0;
    file_ = nullptr;
    if (!ok || !MoveIntoPlace(temporary_, target_)) return false;
    temporary_.clear();
    finished_.push_back(target_);
    return true;
  }
  void Commit() { committed_ = true; }

 private:
  FILE* file_ = nullptr;
  std::string target_, temporary_;
  std::vector<std::string> finished_;
  bool committed_ = false;
};

// --- reading an archive -------------------------------------------------------------

struct Entry {
  std::string name;  // the bytes before the first zero, at most 12
  uint32_t size;
  uint64_t offset;  // where its data starts: 16 plus the sizes before it
  uint32_t recordPosition;
};

struct Archive {
  FILE* file = nullptr;
  uint64_t fileSize = 0;
  uint32_t count = 0;
  uint32_t directory = 0;
  std::vector<Entry> entries;  // the records that could be read
  ~Archive() {
    if (file != nullptr) fclose(file);
  }
};

int Fail(int status, const std::string& message) {
  fprintf(stderr, "ostrel: %s\n", message.c_str());
  return status;
}

// Reads the header and as much of the directory as the file holds, summing the offsets
// once. Fails only when the file cannot be read or is no archive of this format.
int OpenArchive(const std::string& path, Archive* archive) {
  archive->file = fopen(path.c_str(), "rb");
  if (archive->file == nullptr) return Fail(kCannotRead, path + ": cannot open: " + strerror(errno));
  if (!FileSize(archive->file, &archive->fileSize)) return Fail(kCannotRead, path + ": cannot read its size");
  ArchiveHeader header;
  if (fread(&header, 1, sizeof header, archive->file) != sizeof header) {
    if (archive->fileSize >= 8 || archive->fileSize == 0) return Fail(kDamaged, path + ": shorter than an archive header");
    return Fail(kNotAnArchive, path + ": not an Ostrel archive");
  }
  if (!HasArchiveSignature(header.signature)) return Fail(kNotAnArchive, path + ": not an Ostrel archive");
  archive->count = header.entryCount;
  archive->directory = header.directoryPosition;
  if (!Seek(archive->file, archive->directory)) return kOk;
  uint64_t offset = kDataStart;
  for (uint32_t i = 0; i < archive->count; ++i) {
    DirectoryRecord record;
    if (fread(&record, 1, sizeof record, archive->file) != sizeof record) break;
    archive->entries.push_back({NameToString(record).text, record.size, offset,
                                static_cast<uint32_t>(archive->directory + 16 * i)});
    offset += record.size;
  }
  return kOk;
}

bool DirectoryComplete(const Archive& a) { return a.entries.size() == a.count; }
bool DataInside(const Archive& a, const Entry& e) { return e.offset + e.size <= a.fileSize; }

// --- names for people and for the file system -----------------------------------------

std::string Printable(const std::string& name) {
  std::string out;
  for (unsigned char c : name) {
    if (c < 0x20 || c == 0x7F || c == '"' || c == '\\') {
      char escaped[8];
      snprintf(escaped, sizeof escaped, "\\x%02X", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

bool IsUtf8(const std::string& s) {
  for (size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + n > s.size()) return false;
    for (size_t k = 1; k < n; ++k)
      if ((static_cast<unsigned char>(s[i + k]) >> 6) != 2) return false;
    i += n;
  }
  return true;
}

std::string JsonString(const std::string& s) {
  std::string out = "\"";
  bool utf8 = IsUtf8(s);
  for (unsigned char c : s) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || (!utf8 && c >= 0x80)) {  // bytes that are no UTF-8 are kept as code points
      char escaped[8];
      snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

// Converts a name from a legacy code page to UTF-8; false when it cannot.
bool ConvertName(const std::string& encoding, const std::string& name, std::string* converted) {
  if (encoding.empty() || IsUtf8(name)) {
    *converted = name;
    return true;
  }
#ifdef _WIN32
  (void)converted;
  return false;
#else
  iconv_t cd = iconv_open("UTF-8", encoding.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  std::string in = name;
  char out[64];
  char* inPointer = &in[0];
  char* outPointer = out;
  size_t inLeft = in.size(), outLeft = sizeof out;
  bool ok = iconv(cd, &inPointer, &inLeft, &outPointer, &outLeft) != static_cast<size_t>(-1) && inLeft == 0;
  iconv_close(cd);
  if (ok) converted->assign(out, sizeof out - outLeft);
  return ok;
#endif
}

// --- progress -----------------------------------------------------------------------

// Counts work as bytes, with each file written worth 4 KiB, since creating many small
// files is as long a job as copying a few large ones.
class Progress {
 public:
  static constexpr uint64_t kPerFile = 4096;
  Progress(bool wanted, uint64_t bytes, size_t files)
      : total_(bytes + kPerFile * files), shown_(wanted && OnTerminal() && total_ >= (8u << 20)) {}
  void Advance(uint64_t work) {
    done_ += work;
    if (!shown_) return;
    int percent = static_cast<int>(done_ * 100 / total_);
    if (percent == last_) return;
    last_ = percent;
    fprintf(stderr, "\r[%-40.*s] %3d%%", percent * 40 / 100, "########################################", percent);
    if (done_ == total_) fprintf(stderr, "\n");
  }

 private:
  uint64_t total_;
  bool shown_;
  uint64_t done_ = 0;
  int last_ = -1;
};

// --- subcommands --------------------------------------------------------------------

const char* const kUsageText =
    "usage: ostrel COMMAND ...\n"
    "  ostrel list ARCHIVE [--json]\n"
    "  ostrel verify ARCHIVE\n"
    "  ostrel extract ARCHIVE [NAME...] [-C DIR] [--force] [--quiet] [--name-encoding CODEPAGE]\n"
    "  ostrel pack -o OUT.DAT FILE... [--force]\n"
    "Run `ostrel COMMAND --help` for one command.\n";

struct Options {
  std::vector<std::string> operands;
  std::string folder = ".";
  std::string output;
  std::string encoding;
  bool json = false, force = false, quiet = false, help = false;
};

int ParseOptions(int argc, char** argv, Options* o) {
  for (int i = 2; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&](std::string* into) {
      if (i + 1 >= argc) return false;
      *into = argv[++i];
      return true;
    };
    if (a == "--help" || a == "-h") o->help = true;
    else if (a == "--json") o->json = true;
    else if (a == "--force" || a == "-f") o->force = true;
    else if (a == "--quiet" || a == "-q") o->quiet = true;
    else if (a == "-C") { if (!value(&o->folder)) return Fail(kUsage, "-C needs a folder"); }
    else if (a == "-o") { if (!value(&o->output)) return Fail(kUsage, "-o needs a file name"); }
    else if (a == "--name-encoding") { if (!value(&o->encoding)) return Fail(kUsage, "--name-encoding needs a code page"); }
    else if (a.size() > 1 && a[0] == '-') return Fail(kUsage, "unknown option " + a);
    else o->operands.push_back(a);
  }
  return kOk;
}

int List(const Options& o) {
  if (o.operands.size() != 1) return Fail(kUsage, "list takes one archive");
  Archive a;
  int status = OpenArchive(o.operands[0], &a);
  if (status != kOk) return status;
  if (!DirectoryComplete(a))
    return Fail(kDamaged, o.operands[0] + ": the directory ends after " + std::to_string(a.entries.size()) + " of " +
                              std::to_string(a.count) + " entries");
  if (o.json) printf("[");
  for (size_t i = 0; i < a.entries.size(); ++i) {
    const Entry& e = a.entries[i];
    if (o.json)
      printf("%s\n  {\"index\": %zu, \"name\": %s, \"size\": %u, \"offset\": %llu, \"position\": %u}", i ? "," : "", i,
             JsonString(e.name).c_str(), e.size, static_cast<unsigned long long>(e.offset), e.recordPosition);
    else
      printf("%5zu  %-12s  %10u  %10llu  %10u\n", i, Printable(e.name).c_str(), e.size,
             static_cast<unsigned long long>(e.offset), e.recordPosition);
  }
  if (o.json) printf("%s]\n", a.entries.empty() ? "" : "\n");
  return kOk;
}

int Verify(const Options& o) {
  if (o.operands.size() != 1) return Fail(kUsage, "verify takes one archive");
  const std::string& path = o.operands[0];
  Archive a;
  int status = OpenArchive(path, &a);
  if (status != kOk) return status;
  std::vector<std::string> problems;
  uint64_t directoryEnd = uint64_t{a.directory} + 16ull * a.count;
  if (a.directory > a.fileSize) problems.push_back("the directory starts past the end of the file");
  else if (!DirectoryComplete(a))
    problems.push_back("the directory ends after " + std::to_string(a.entries.size()) + " of " +
                       std::to_string(a.count) + " entries");
  uint64_t dataEnd = kDataStart;
  std::set<std::string> seen;
  for (size_t i = 0; i < a.entries.size(); ++i) {
    const Entry& e = a.entries[i];
    std::string label = "entry " + std::to_string(i) + " \"" + Printable(e.name) + "\"";
    if (e.name.empty()) problems.push_back("entry " + std::to_string(i) + " has an empty name");
    else if (!seen.insert(e.name).second) problems.push_back(label + " repeats an earlier name");
    if (!DataInside(a, e)) problems.push_back(label + ": its data runs past the end of the file");
    else if (e.offset + e.size > 0xFFFFFFFFull) problems.push_back(label + ": its data lies beyond 32-bit positions");
    dataEnd = e.offset + e.size;
  }
  if (a.count > 0 && dataEnd > a.directory && kDataStart < directoryEnd && dataEnd > kDataStart)
    problems.push_back("the data area (16 to " + std::to_string(dataEnd) + ") overlaps the directory (" +
                       std::to_string(a.directory) + " to " + std::to_string(directoryEnd) + ")");
  for (const std::string& p : problems) printf("%s: %s\n", path.c_str(), p.c_str());
  if (!problems.empty()) return kProblemsFound;
  printf("%s: OK, %u entries, %llu bytes of data\n", path.c_str(), a.count,
         static_cast<unsigned long long>(dataEnd - kDataStart));
  return kOk;
}

int Extract(const Options& o) {
  if (o.operands.empty()) return Fail(kUsage, "extract takes an archive");
  const std::string& path = o.operands[0];
  Archive a;
  int status = OpenArchive(path, &a);
  if (status != kOk) return status;
  if (!DirectoryComplete(a))
    return Fail(kDamaged, path + ": the directory ends after " + std::to_string(a.entries.size()) + " of " +
                              std::to_string(a.count) + " entries; nothing extracted");

  std::vector<size_t> chosen;
  if (o.operands.size() == 1) {
    for (size_t i = 0; i < a.entries.size(); ++i) chosen.push_back(i);
  } else {
    for (size_t k = 1; k < o.operands.size(); ++k) {
      size_t i = 0;
      while (i < a.entries.size() && a.entries[i].name != o.operands[k]) ++i;
      if (i == a.entries.size()) return Fail(kNoSuchEntry, path + ": no entry named \"" + o.operands[k] + "\"");
      chosen.push_back(i);
    }
  }
  // Everything is checked before anything is written.
  std::set<std::string> taken;
  std::vector<std::string> targets;
  uint64_t total = 0;
  for (size_t i : chosen) {
    const Entry& e = a.entries[i];
    if (!DataInside(a, e))
      return Fail(kDamaged, path + ": the data of \"" + Printable(e.name) + "\" runs past the end; nothing extracted");
    std::string name;
    if (!ConvertName(o.encoding, e.name, &name))
      return Fail(kUsage, "cannot convert \"" + Printable(e.name) + "\" from " + o.encoding);
    std::string safe = SafeFileName(name, &taken);
    if (safe != name)
      fprintf(stderr, "ostrel: entry %zu \"%s\" written as \"%s\"\n", i, Printable(e.name).c_str(), safe.c_str());
    targets.push_back(Join(o.folder, safe));
    if (!o.force && Exists(targets.back()))
      return Fail(kOutputExists, targets.back() + " exists (use --force to replace it); nothing extracted");
    total += e.size;
  }
  if (!MakeFolder(o.folder)) return Fail(kCannotWrite, o.folder + ": cannot create the folder");

  // One pass: the offsets were summed once, and entries in directory order are read in
  // the order their data lies.
  OutputSet outputs;
  Progress progress(!o.quiet, total, chosen.size());
  std::vector<char> buffer(1 << 20);
  for (size_t k = 0; k < chosen.size(); ++k) {
    const Entry& e = a.entries[chosen[k]];
    if (!outputs.Begin(targets[k])) return Fail(kCannotWrite, targets[k] + ": cannot create: " + strerror(errno));
    if (!Seek(a.file, e.offset)) return Fail(kCannotRead, path + ": cannot seek");
    for (uint32_t left = e.size; left > 0;) {
      size_t n = left < buffer.size() ? left : buffer.size();
      if (fread(buffer.data(), 1, n, a.file) != n) return Fail(kCannotRead, path + ": read failed");
      if (!outputs.Write(buffer.data(), n)) return Fail(kCannotWrite, targets[k] + ": write failed: " + strerror(errno));
      left -= static_cast<uint32_t>(n);
      progress.Advance(n);
    }
    if (!outputs.Finish()) return Fail(kCannotWrite, targets[k] + ": cannot finish: " + strerror(errno));
    progress.Advance(Progress::kPerFile);
  }
  outputs.Commit();
  if (!o.quiet) printf("extracted %zu entries, %llu bytes, into %s\n", chosen.size(), static_cast<unsigned long long>(total), o.folder.c_str());
  return kOk;
}

int Pack(const Options& o) {
  if (o.output.empty() || o.operands.empty()) return Fail(kUsage, "pack needs -o OUT.DAT and at least one file");
  if (o.operands.size() > kWriterMaxEntries)
    return Fail(kTooBig, std::to_string(o.operands.size()) + " files: an archive holds at most 65535 entries");
  if (!o.force && Exists(o.output)) return Fail(kOutputExists, o.output + " exists (use --force to replace it)");
  std::vector<WriterEntry> entries;
  uint64_t end = kDataStart + 16ull * o.operands.size();
  for (const std::string& file : o.operands) {
    WriterEntry entry;
    entry.name = file.substr(file.find_last_of("/\\") + 1);
    if (entry.name.size() > kWriterMaxNameBytes)
      return Fail(kTooBig, file + ": the name \"" + entry.name + "\" is longer than 12 bytes");
    struct stat status;
    if (stat(file.c_str(), &status) != 0) return Fail(kCannotRead, file + ": " + strerror(errno));
    end += static_cast<uint64_t>(status.st_size);
    if (end > 0xFFFFFFFFull) return Fail(kTooBig, "the files hold more than 32-bit positions can address (4 GiB)");
    if (!ReadWholeFile(file, &entry.data)) return Fail(kCannotRead, file + ": cannot read");
    entries.push_back(std::move(entry));
  }
  std::string archive = WriteArchive(entries);
  OutputSet outputs;
  if (!outputs.Begin(o.output)) return Fail(kCannotWrite, o.output + ": cannot create: " + strerror(errno));
  if (!outputs.Write(archive.data(), archive.size()) || !outputs.Finish())
    return Fail(kCannotWrite, o.output + ": write failed: " + strerror(errno));
  outputs.Commit();
  return kOk;
}

struct Command {
  const char* name;
  int (*run)(const Options&);
  const char* help;
};

const Command kCommands[] = {
    {"list", List,
     "usage: ostrel list ARCHIVE [--json]\n"
     "One line per entry: index, name, size, data offset, directory position.\n"
     "  --json   the same as a JSON array (names that are not UTF-8 keep their bytes as \\u00XX)\n"},
    {"verify", Verify,
     "usage: ostrel verify ARCHIVE\n"
     "Checks the signature, that the directory and every entry's data lie inside the file,\n"
     "that the data area does not overlap the directory, and that names are not empty or\n"
     "repeated. Prints each problem; exits with 1 when there is one.\n"},
    {"extract", Extract,
     "usage: ostrel extract ARCHIVE [NAME...] [-C DIR] [--force] [--quiet] [--name-encoding CODEPAGE]\n"
     "Writes all entries, or those named, into DIR (default: the current folder). Names that\n"
     "could leave DIR or that Windows reserves are written under a safe name and reported.\n"
     "  -C DIR            the target folder, created when missing\n"
     "  --force           replace existing files\n"
     "  --quiet           no progress bar and no summary\n"
     "  --name-encoding   convert names that are not UTF-8 from this code page (e.g. CP932)\n"},
    {"pack", Pack,
     "usage: ostrel pack -o OUT.DAT FILE... [--force]\n"
     "Writes the files into a new archive under their base names, data first, then the\n"
     "directory. Names hold at most 12 bytes; an archive at most 65535 entries and 4 GiB.\n"
     "  --force   replace OUT.DAT if it exists\n"},
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h") {
    fputs(kUsageText, argc < 2 ? stderr : stdout);
    return argc < 2 ? kUsage : kOk;
  }
  for (const Command& command : kCommands) {
    if (std::string(argv[1]) != command.name) continue;
    Options options;
    int status = ParseOptions(argc, argv, &options);
    if (status != kOk) return status;
    if (options.help) {
      fputs(command.help, stdout);
      return kOk;
    }
    return command.run(options);
  }
  fputs(kUsageText, stderr);
  return Fail(kUsage, std::string("unknown command ") + argv[1]);
}
