// The plug-in's cost against the floor of its own design, measured side by side in one
// run on the same files: extraction and listing from a file (through the Linux stand-in's
// POSIX reads) against bare loops doing the same I/O, and from a memory image against
// memcpy. The program ends with a table of medians and ratios.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "module/exports.h"
#include "tools/writer/archive_writer.h"

namespace {

constexpr uint32_t kWindow = 2048;
constexpr uint32_t kBigEntry = 64u << 20;
constexpr uint32_t kManyEntries = 65535;

struct Fixture {
  std::string bigArchive;  // one 64 MiB entry after a small one
  std::string bigPath;
  uint32_t bigPosition = 0;  // directory record of the big entry
  uint32_t bigDataStart = 0;
  std::string manyArchive;  // 65,535 entries of 16 bytes
  std::string manyPath;
  uint32_t manyDirectory = 0;
  uint32_t lastPosition = 0;
};

Fixture& Files() {
  static Fixture fixture = [] {
    Fixture f;
    std::string folder = "/tmp/tarnwick-bench-" + std::to_string(getpid());
    mkdir(folder.c_str(), 0700);
    std::vector<WriterEntry> big = {{"SMALL", "s"}, {"BIG.BIN", std::string(kBigEntry, 'b')}};
    for (uint32_t i = 0; i < kBigEntry; i += 4096) big[1].data[i] = static_cast<char>(i >> 12);
    f.bigArchive = WriteArchive(big);
    f.bigPath = folder + "/BIG.DAT";
    f.bigPosition = DirectoryRecordPosition(big, {}, 1);
    f.bigDataStart = 16 + 1;
    std::vector<WriterEntry> many(kManyEntries);
    for (uint32_t i = 0; i < kManyEntries; ++i) {
      many[i].name = "E" + std::to_string(i) + ".BIN";
      many[i].data = std::string(16, static_cast<char>(i));
    }
    f.manyArchive = WriteArchive(many);
    f.manyPath = folder + "/MANY.DAT";
    f.manyDirectory = DirectoryRecordPosition(many, {}, 0);
    f.lastPosition = DirectoryRecordPosition(many, {}, kManyEntries - 1);
    if (!WriteWholeFile(f.bigPath, f.bigArchive) || !WriteWholeFile(f.manyPath, f.manyArchive)) abort();
    return f;
  }();
  return fixture;
}

void Require(bool ok, const char* what) {
  if (ok) return;
  fprintf(stderr, "benchmark setup failed: %s\n", what);
  abort();
}

// --- extraction of one 64 MiB entry from a file --------------------------------------

void ExtractBigFromFile(benchmark::State& state) {
  const Fixture& f = Files();
  for (auto _ : state) {
    platform::MemoryHandle block = nullptr;
    Require(GetFile(f.bigPath.c_str(), f.bigPosition, &block, 0x100, nullptr, 0) == 0, "GetFile");
    benchmark::DoNotOptimize(block);
    platform::LocalFree(block);
  }
  state.SetBytesProcessed(state.iterations() * int64_t{kBigEntry});
}

// The design's floor: open, one 2048-byte read per window copied into a zeroed block of
// the entry's size.
void WindowLoopFromFile(benchmark::State& state) {
  const Fixture& f = Files();
  for (auto _ : state) {
    int fd = open(f.bigPath.c_str(), O_RDONLY);
    char* out = static_cast<char*>(calloc(1, kBigEntry));
    char window[kWindow];
    lseek(fd, f.bigDataStart, SEEK_SET);
    for (uint32_t done = 0; done < kBigEntry;) {
      ssize_t n = read(fd, window, kWindow);
      Require(n > 0, "read");
      uint32_t take = kBigEntry - done < static_cast<uint32_t>(n) ? kBigEntry - done : static_cast<uint32_t>(n);
      memcpy(out + done, window, take);
      done += take;
    }
    benchmark::DoNotOptimize(out);
    free(out);
    close(fd);
  }
  state.SetBytesProcessed(state.iterations() * int64_t{kBigEntry});
}

// The hardware's floor: one read of the whole range into the block.
void SingleReadFromFile(benchmark::State& state) {
  const Fixture& f = Files();
  for (auto _ : state) {
    int fd = open(f.bigPath.c_str(), O_RDONLY);
    char* out = static_cast<char*>(calloc(1, kBigEntry));
    Require(pread(fd, out, kBigEntry, f.bigDataStart) == kBigEntry, "pread");
    benchmark::DoNotOptimize(out);
    free(out);
    close(fd);
  }
  state.SetBytesProcessed(state.iterations() * int64_t{kBigEntry});
}

// --- listing 65,535 entries from a file ----------------------------------------------

void ListManyFromFile(benchmark::State& state) {
  const Fixture& f = Files();
  for (auto _ : state) {
    platform::MemoryHandle block = nullptr;
    Require(GetArchiveInfo(f.manyPath.c_str(), 0, 0, &block) == 0, "GetArchiveInfo");
    benchmark::DoNotOptimize(block);
    platform::LocalFree(block);
  }
  state.SetItemsProcessed(state.iterations() * kManyEntries);
}

// The floor: read the header, then the directory in 2048-byte reads, filling one
// 428-byte record per entry in a zeroed block.
void DirectoryLoopFromFile(benchmark::State& state) {
  const Fixture& f = Files();
  for (auto _ : state) {
    int fd = open(f.manyPath.c_str(), O_RDONLY);
    char header[16];
    Require(read(fd, header, 16) == 16, "header");
    char* list = static_cast<char*>(calloc(kManyEntries + 1, sizeof(HostFileInfo)));
    lseek(fd, f.manyDirectory, SEEK_SET);
    char window[kWindow];
    uint32_t position = f.manyDirectory;
    HostFileInfo* info = reinterpret_cast<HostFileInfo*>(list);
    for (uint32_t left = kManyEntries; left > 0;) {
      ssize_t n = read(fd, window, kWindow);
      Require(n >= 16, "directory");
      for (ssize_t at = 0; at + 16 <= n && left > 0; at += 16, --left, ++info, position += 16) {
        memcpy(info->method, "-OST-", 6);
        info->position = position;
        uint32_t size;
        memcpy(&size, window + at + 12, 4);
        info->compsize = size;
        info->filesize = size;
        for (int i = 0; i < 12 && window[at + i] != 0; ++i) info->filename[i] = window[at + i];
      }
    }
    benchmark::DoNotOptimize(list);
    free(list);
    close(fd);
  }
  state.SetItemsProcessed(state.iterations() * kManyEntries);
}

// --- one entry at the end of a 65,535-entry directory ---------------------------------

void ExtractLastOfMany(benchmark::State& state) {
  const Fixture& f = Files();
  for (auto _ : state) {
    platform::MemoryHandle block = nullptr;
    Require(GetFile(f.manyPath.c_str(), f.lastPosition, &block, 0x100, nullptr, 0) == 0, "GetFile last");
    platform::LocalFree(block);
  }
}

void LookUpLastOfMany(benchmark::State& state) {
  const Fixture& f = Files();
  HostFileInfo info;
  std::string name = "E" + std::to_string(kManyEntries - 1) + ".BIN";
  for (auto _ : state) {
    Require(GetFileInfo(f.manyPath.c_str(), 0, name.c_str(), 0, &info) == 0, "GetFileInfo last");
    benchmark::DoNotOptimize(info);
  }
}

// --- the same from a memory image ----------------------------------------------------

void ExtractBigFromMemory(benchmark::State& state) {
  // From memory the wanted record is the one at 0, so the image puts the directory there.
  static const std::string image = [] {
    return HeaderAsOnlyRecord(kBigEntry) + Files().bigArchive.substr(17, kBigEntry);
  }();
  for (auto _ : state) {
    platform::MemoryHandle block = nullptr;
    Require(GetFile(image.data(), static_cast<intptr_t>(image.size()), &block, 0x101, nullptr, 0) == 0,
            "GetFile memory");
    benchmark::DoNotOptimize(block);
    platform::LocalFree(block);
  }
  state.SetBytesProcessed(state.iterations() * int64_t{kBigEntry});
}

void MemcpyBig(benchmark::State& state) {
  const Fixture& f = Files();
  for (auto _ : state) {
    char* out = static_cast<char*>(calloc(1, kBigEntry));
    memcpy(out, f.bigArchive.data() + f.bigDataStart, kBigEntry);
    benchmark::DoNotOptimize(out);
    free(out);
  }
  state.SetBytesProcessed(state.iterations() * int64_t{kBigEntry});
}

void ListManyFromMemory(benchmark::State& state) {
  const Fixture& f = Files();
  for (auto _ : state) {
    platform::MemoryHandle block = nullptr;
    Require(GetArchiveInfo(f.manyArchive.data(), static_cast<intptr_t>(f.manyArchive.size()), 1, &block) == 0,
            "GetArchiveInfo memory");
    benchmark::DoNotOptimize(block);
    platform::LocalFree(block);
  }
  state.SetItemsProcessed(state.iterations() * kManyEntries);
}

void MemcpyDirectory(benchmark::State& state) {
  const Fixture& f = Files();
  const size_t bytes = size_t{kManyEntries} * 16;
  for (auto _ : state) {
    char* out = static_cast<char*>(calloc(kManyEntries + 1, sizeof(HostFileInfo)));
    memcpy(out, f.manyArchive.data() + f.manyDirectory, bytes);
    benchmark::DoNotOptimize(out);
    free(out);
  }
  state.SetItemsProcessed(state.iterations() * kManyEntries);
}

// Every entry of the 65,535-entry archive through GetFile, one call per entry as a host
// does it: each call walks the directory up to its entry, so the cost grows with n^2.
// Compare with `ostrel extract`, which sums the offsets once (bench/README.md).
void ExtractEveryEntryThroughGetFile(benchmark::State& state) {
  const Fixture& f = Files();
  for (auto _ : state) {
    for (uint32_t i = 0; i < kManyEntries; ++i) {
      platform::MemoryHandle block = nullptr;
      Require(GetFile(f.manyPath.c_str(), f.manyDirectory + 16 * i, &block, 0x100, nullptr, 0) == 0, "GetFile each");
      platform::LocalFree(block);
    }
  }
  state.SetItemsProcessed(state.iterations() * kManyEntries);
}

BENCHMARK(ExtractBigFromFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(WindowLoopFromFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(SingleReadFromFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ListManyFromFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(DirectoryLoopFromFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ExtractLastOfMany)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(LookUpLastOfMany)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ExtractBigFromMemory)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(MemcpyBig)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ListManyFromMemory)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(MemcpyDirectory)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ExtractEveryEntryThroughGetFile)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// Keeps the median of every benchmark for the closing table.
class MedianCollector : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, double> medians;  // real time per iteration, milliseconds
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
        medians[run.run_name.function_name] = run.GetAdjustedRealTime();
      else if (run.run_type == Run::RT_Iteration && medians.count(run.run_name.function_name) == 0)
        medians[run.run_name.function_name] = run.GetAdjustedRealTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  Files();
  MedianCollector collector;
  benchmark::RunSpecifiedBenchmarks(&collector);
  struct Pair {
    const char* measure;
    const char* baseline;
    double goal;  // 0: no goal, reported for reference
  } pairs[] = {
      {"ExtractBigFromFile", "WindowLoopFromFile", 1.10},
      {"ExtractBigFromFile", "SingleReadFromFile", 0},
      {"ListManyFromFile", "DirectoryLoopFromFile", 1.25},
      {"ExtractBigFromMemory", "MemcpyBig", 1.10},
      {"ListManyFromMemory", "MemcpyDirectory", 0},
      {"ExtractLastOfMany", "ListManyFromFile", 0},
      {"LookUpLastOfMany", "ListManyFromFile", 0},
  };
  printf("\n%-22s %10s  %-22s %10s  %6s  %s\n", "measure", "ms", "baseline", "ms", "ratio", "goal");
  for (const Pair& p : pairs) {
    if (collector.medians.count(p.measure) == 0 || collector.medians.count(p.baseline) == 0) continue;
    double a = collector.medians[p.measure], b = collector.medians[p.baseline];
    char goal[32] = "-";
    if (p.goal > 0) snprintf(goal, sizeof goal, "<= %.2f %s", p.goal, a / b <= p.goal ? "met" : "MISSED");
    printf("%-22s %10.3f  %-22s %10.3f  %6.2f  %s\n", p.measure, a, p.baseline, b, a / b, goal);
  }
  benchmark::Shutdown();
  return 0;
}
