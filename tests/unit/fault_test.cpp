// Every call the reading exports make to the platform fails in turn: each run ends either
// with the clean answer (the failure did not matter) or with the result that failure
// stands for, writes no out argument, and leaves no handle open and no block live.
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "module/exports.h"
#include "tests/unit/test_support.h"
#include "tools/writer/archive_writer.h"

namespace {

using platform::standin::Service;

constexpr uint32_t kMemory = 1;
constexpr uint32_t kToMemory = 0x100;

struct Scenario {
  const char* what;
  Reader reader;
  std::string archive;
  uint32_t flag;
  uint32_t positionOrStart;  // file sources only
  const char* wantedName;
};

Answer RunScenario(const Scenario& s, const std::string& path) {
  return CallReader(s.reader, s.archive, path, s.flag, s.positionOrStart, s.wantedName);
}

// The results a failure of each service may lead to, besides the clean answer.
std::set<int> ResultsOfFailure(Service service, Reader reader) {
  switch (service) {
    case Service::kCreateFile:
      return {6};
    case Service::kReadFile:  // reads short: a header or record (2), or an entry's data (6)
      return reader == Reader::kExtract ? std::set<int>{2, 6} : std::set<int>{2};
    case Service::kSetFilePointer:  // a refused start reads from 0, where no record is (8)
      return reader == Reader::kExtract ? std::set<int>{2, 8} : std::set<int>{2};
    case Service::kLocalAlloc:
      return {4};
    case Service::kLocalLock:
      return {5};
    default:  // results ignored by the plug-in
      return {};
  }
}

class FaultSweepTest : public StandInTest {};

TEST_F(FaultSweepTest, EveryFailingCallGivesItsResultAndLeavesNothingBehind) {
  std::vector<WriterEntry> entries = {{"A.TXT", "hello"}, {"MIDDLE", std::string(3000, 'm')}, {"LAST", std::string(5000, 'z')}};
  std::string archive = WriteArchive(entries);
  uint32_t d = DirectoryRecordPosition(entries, {}, 0);
  WriterLayout shifted;  // the same archive 40 bytes into a file
  shifted.overrideDirectoryField = true;
  shifted.directoryField = 40 + d;
  std::string embedded = std::string(40, 'j') + WriteArchive(entries, shifted);
  std::string imageAtZero = HeaderAsOnlyRecord(0x10000) + std::string(0x10000, 'q');

  const Scenario scenarios[] = {
      {"list from a file", Reader::kList, archive, 0, 0, nullptr},
      {"list from a file at start 40", Reader::kList, embedded, 0, 40, nullptr},
      {"list from memory", Reader::kList, archive, kMemory, 0, nullptr},
      {"list an empty archive", Reader::kList, WriteArchive({}), 0, 0, nullptr},
      {"list a cut directory", Reader::kList, archive.substr(0, d + 20), 0, 0, nullptr},
      {"look up the last name in a file", Reader::kLookup, archive, 0x8, 0, "last"},
      {"look up a missing name in memory", Reader::kLookup, archive, kMemory, 0, "NONE"},
      {"extract the last entry from a file", Reader::kExtract, archive, kToMemory, d + 32, nullptr},
      {"extract the first entry from a file", Reader::kExtract, archive, kToMemory, d, nullptr},
      {"extract at a position with no record", Reader::kExtract, archive, kToMemory, d + 8, nullptr},
      {"extract from memory", Reader::kExtract, imageAtZero, kMemory | kToMemory, 0, nullptr},
  };
  for (const Scenario& s : scenarios) {
    std::string path = ScratchFile(s.archive);
    platform::standin::Reset();
    Answer clean = RunScenario(s, path);
    uint32_t calls[static_cast<int>(Service::kCount)];
    for (int i = 0; i < static_cast<int>(Service::kCount); ++i) calls[i] = Calls(static_cast<Service>(i));

    for (int i = 0; i < static_cast<int>(Service::kCount); ++i) {
      Service service = static_cast<Service>(i);
      std::set<int> allowed = ResultsOfFailure(service, s.reader);
      for (uint32_t k = 1; k <= calls[i]; ++k) {
        platform::standin::Reset();
        platform::standin::FailCalls(service, k);
        Answer faulted = RunScenario(s, path);
        bool asClean = faulted.result == clean.result && faulted.bytes == clean.bytes;
        EXPECT_TRUE(asClean || allowed.count(faulted.result) == 1)
            << s.what << ": " << platform::standin::ServiceName(service) << " call " << k << " failed, result "
            << faulted.result;
        EXPECT_EQ(platform::standin::OpenHandles(), 0u) << s.what << ", " << platform::standin::ServiceName(service) << " " << k;
        EXPECT_EQ(platform::standin::LiveBlocks(), 0u) << s.what << ", " << platform::standin::ServiceName(service) << " " << k;
      }
    }
  }
}

TEST_F(FaultSweepTest, EachKindOfFailureGivesItsOwnResult) {
  // The first call of a service fails: one row per result a reading export can return
  // for a failing system.
  std::vector<WriterEntry> entries = {{"A.TXT", "hello"}};
  std::string path = ScratchFile(WriteArchive(entries));
  uint32_t d = DirectoryRecordPosition(entries, {}, 0);
  struct Case {
    const char* what;
    Service service;
    uint32_t call;
    Reader reader;
    int expected;
  } cases[] = {
      {"list: the file cannot be opened", Service::kCreateFile, 1, Reader::kList, 6},
      {"list: the header read fails", Service::kReadFile, 1, Reader::kList, 2},
      {"list: no block", Service::kLocalAlloc, 1, Reader::kList, 4},
      {"list: the block cannot be locked", Service::kLocalLock, 1, Reader::kList, 5},
      {"list: the seek to the directory fails", Service::kSetFilePointer, 4, Reader::kList, 2},
      {"lookup: the file cannot be opened", Service::kCreateFile, 1, Reader::kLookup, 6},
      {"lookup: the header read fails", Service::kReadFile, 1, Reader::kLookup, 2},
      {"extract: the file cannot be opened", Service::kCreateFile, 1, Reader::kExtract, 6},
      {"extract: the record read fails", Service::kReadFile, 1, Reader::kExtract, 2},
      {"extract: the data read fails", Service::kReadFile, 4, Reader::kExtract, 6},
      {"extract: no block", Service::kLocalAlloc, 1, Reader::kExtract, 4},
      {"extract: the block cannot be locked", Service::kLocalLock, 1, Reader::kExtract, 5},
      {"extract: the seek to the start fails", Service::kSetFilePointer, 2, Reader::kExtract, 8},
  };
  for (const Case& c : cases) {
    Scenario s = {c.what, c.reader, "", c.reader == Reader::kExtract ? kToMemory : 0,
                  c.reader == Reader::kExtract ? d : 0, "A.TXT"};
    platform::standin::Reset();
    platform::standin::FailCalls(c.service, c.call);
    EXPECT_EQ(RunScenario(s, path).result, c.expected) << c.what;
    EXPECT_EQ(platform::standin::OpenHandles(), 0u) << c.what;
    EXPECT_EQ(platform::standin::LiveBlocks(), 0u) << c.what;
  }
}

}  // namespace
