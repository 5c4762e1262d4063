// Calls on several threads at once: the plug-in keeps no state between calls, so threads
// listing, looking up and extracting the same archive (one file, one shared memory
// image) all get the answers a single thread gets.
#include <string>
#include <thread>
#include <vector>

#include "tests/unit/test_support.h"
#include "tools/writer/archive_writer.h"

namespace {

class ThreadTest : public StandInTest {};

TEST_F(ThreadTest, ConcurrentCallsGetTheSameAnswers) {
  std::vector<WriterEntry> entries;
  for (int i = 0; i < 40; ++i) entries.push_back({"ENTRY" + std::to_string(i), std::string(100 * i + 7, 'a' + i % 26)});
  const std::string archive = WriteArchive(entries);
  const std::string path = ScratchFile(archive);
  const uint32_t d = DirectoryRecordPosition(entries, {}, 0);

  struct Call {
    Reader reader;
    uint32_t flag;
    uint32_t position;
    std::string name;
  };
  std::vector<Call> calls;
  for (uint32_t kind : {0u, 1u}) {
    calls.push_back({Reader::kList, kind, 0, ""});
    calls.push_back({Reader::kLookup, kind | 0x80, 0, "entry39"});
    calls.push_back({Reader::kLookup, kind, 0, "MISSING"});
  }
  for (uint32_t i = 0; i < entries.size(); i += 7) calls.push_back({Reader::kExtract, 0x100, d + 16 * i, ""});

  std::vector<Answer> expected;
  for (const Call& c : calls) expected.push_back(CallReader(c.reader, archive, path, c.flag, c.position, c.name.c_str()));

  const int kThreads = 4, kRounds = 25;
  std::vector<int> mismatches(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < kRounds; ++round) {
        for (size_t i = 0; i < calls.size(); ++i) {
          size_t k = (i + t * 3 + round) % calls.size();  // threads start at different calls
          const Call& c = calls[k];
          Answer got = CallReader(c.reader, archive, path, c.flag, c.position, c.name.c_str());
          if (got.result != expected[k].result || got.bytes != expected[k].bytes) ++mismatches[t];
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(mismatches[t], 0) << "thread " << t;
}

}  // namespace
