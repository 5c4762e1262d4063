// The ostrel command run as a user runs it: round trips through pack, list and extract
// (and through the plug-in's exports), broken and hostile archives, and what must never
// be lost or overwritten.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "module/exports.h"
#include "tools/writer/archive_writer.h"

namespace {

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

std::string ReadFileOrEmpty(const std::string& path) {
  std::string bytes;
  ReadWholeFile(path, &bytes);
  return bytes;
}

class OstrelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/ostrel-test-XXXXXX";
    root_ = mkdtemp(pattern);
    work_ = root_ + "/work";
    mkdir(work_.c_str(), 0700);
  }
  void TearDown() override { system(("rm -rf " + Quote(root_)).c_str()); }

  // Runs ostrel in the work folder, without a shell (so long argument lists pass).
  Outcome Run(const std::vector<std::string>& args) {
    std::vector<char*> argv = {const_cast<char*>(OSTREL_PATH)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::string out = root_ + "/out", err = root_ + "/err";
    pid_t child = fork();
    if (child == 0) {
      if (chdir(work_.c_str()) != 0 || !freopen(out.c_str(), "w", stdout) || !freopen(err.c_str(), "w", stderr)) _exit(126);
      execv(OSTREL_PATH, argv.data());
      _exit(127);
    }
    int raw = 0;
    waitpid(child, &raw, 0);
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadFileOrEmpty(out), ReadFileOrEmpty(err)};
  }
  std::string Put(const std::string& name, const std::string& bytes) {
    std::string path = work_ + "/" + name;
    EXPECT_TRUE(WriteWholeFile(path, bytes));
    return path;
  }
  // Every file below the test's root, as paths relative to it.
  std::set<std::string> FilesBelowRoot() { return Walk(root_, ""); }

  std::string root_, work_;

 private:
  std::set<std::string> Walk(const std::string& folder, const std::string& prefix) {
    std::set<std::string> found;
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) return found;
    while (dirent* d = readdir(dir)) {
      std::string name = d->d_name;
      if (name == "." || name == "..") continue;
      std::string path = folder + "/" + name;
      struct stat status;
      lstat(path.c_str(), &status);
      if (S_ISDIR(status.st_mode)) {
        for (const std::string& inner : Walk(path, prefix + name + "/")) found.insert(inner);
      } else {
        found.insert(prefix + name);
      }
    }
    closedir(dir);
    return found;
  }
};

TEST_F(OstrelTest, RoundTripsKeepEveryByte) {
  struct FileSet {
    const char* what;
    std::vector<std::pair<std::string, std::string>> files;
  };
  std::vector<std::pair<std::string, std::string>> many;
  for (int i = 0; i < 300; ++i) many.push_back({"F" + std::to_string(i) + ".BIN", std::string(i * 7, char('a' + i % 26))});
  const FileSet sets[] = {
      {"empty files", {{"EMPTY1", ""}, {"EMPTY2", ""}, {"ONE", "1"}}},
      {"12-byte names", {{"ABCDEFGH.TXT", "twelve"}, {"123456789012", std::string(5000, 'x')}}},
      {"binary data over window edges", {{"A.BIN", std::string(2047, '\0')}, {"B.BIN", std::string(4097, '\xFF')}}},
      {"many entries", many},
  };
  for (const FileSet& set : sets) {
    SCOPED_TRACE(set.what);
    std::vector<std::string> args = {"pack", "-o", "SET.DAT"};
    std::string sources = work_ + "/src";
    mkdir(sources.c_str(), 0700);
    for (const auto& f : set.files) args.push_back(Put("src/" + f.first, f.second));
    ASSERT_EQ(Run(args).status, 0);
    EXPECT_EQ(Run({"verify", "SET.DAT"}).status, 0);
    Outcome listed = Run({"list", "SET.DAT"});
    EXPECT_EQ(std::count(listed.out.begin(), listed.out.end(), '\n'), static_cast<long>(set.files.size()));
    ASSERT_EQ(Run({"extract", "SET.DAT", "-C", "out", "--quiet"}).status, 0);
    for (const auto& f : set.files) EXPECT_EQ(ReadFileOrEmpty(work_ + "/out/" + f.first), f.second) << f.first;

    // The same archive through the plug-in: listing and GetFile give the same bytes.
    std::string archive = work_ + "/SET.DAT";
    platform::MemoryHandle list = nullptr;
    ASSERT_EQ(GetArchiveInfo(archive.c_str(), 0, 0, &list), 0);
    const HostFileInfo* info = static_cast<const HostFileInfo*>(list);
    for (size_t i = 0; i < set.files.size(); ++i, ++info) {
      EXPECT_STREQ(info->filename, set.files[i].first.c_str());
      platform::MemoryHandle data = nullptr;
      ASSERT_EQ(GetFile(archive.c_str(), static_cast<intptr_t>(info->position), &data, 0x100, nullptr, 0), 0);
      EXPECT_EQ(std::string(static_cast<const char*>(data), set.files[i].second.size()), set.files[i].second);
      platform::LocalFree(data);
    }
    platform::LocalFree(list);
    system(("rm -rf " + Quote(work_) + "/*").c_str());
  }
}

TEST_F(OstrelTest, HostileNamesStayInsideTheTargetFolder) {
  std::vector<WriterEntry> entries = {
      {"../../etc/pw", "up"},  {"/etc/passwd", "root"}, {"C:\\WINDOWS", "drive"}, {"..", "dots"},
      {"CON", "device"},       {"nul.txt", "device2"},  {"a\x01z", "control"},   {"", "nameless"},
      {"SAME", "one"},         {"same", "two"},         {"SAME", "three"},       {"ok.txt", "fine"},
  };
  Put("HOSTILE.DAT", WriteArchive(entries));
  std::set<std::string> before = FilesBelowRoot();
  Outcome run = Run({"extract", "HOSTILE.DAT", "-C", "target", "--quiet"});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::set<std::string> expected = {
      "work/target/.._.._etc_pw", "work/target/_etc_passwd", "work/target/C__WINDOWS", "work/target/_.._",
      "work/target/_CON",         "work/target/_nul.txt",    "work/target/a_z",       "work/target/_unnamed",
      "work/target/SAME",         "work/target/same~2",      "work/target/SAME~3",    "work/target/ok.txt",
  };
  std::set<std::string> after = FilesBelowRoot();
  std::set<std::string> added;
  for (const std::string& f : after)
    if (before.count(f) == 0 && f != "out" && f != "err") added.insert(f);
  EXPECT_EQ(added, expected);
  EXPECT_EQ(ReadFileOrEmpty(work_ + "/target/.._.._etc_pw"), "up");
  EXPECT_EQ(ReadFileOrEmpty(work_ + "/target/SAME~3"), "three");
  EXPECT_NE(run.err.find("written as \"_.._\""), std::string::npos) << "renames are reported: " << run.err;
}

TEST_F(OstrelTest, BrokenArchivesGiveOneClearErrorAndWriteNothing) {
  std::vector<WriterEntry> entries = {{"A.TXT", "hello"}, {"B.TXT", "world"}};
  std::string good = WriteArchive(entries);
  uint32_t d = DirectoryRecordPosition(entries, {}, 0);
  WriterLayout otherSignature;
  otherSignature.signature = "ZIP00\x1A\0\0";
  std::vector<WriterEntry> past = {{"A.TXT", "hello", true, 1000}};
  std::vector<WriterEntry> empty = {{"", "x"}, {"DUP", "1"}, {"DUP", "2"}};
  struct Case {
    const char* what;
    std::string bytes;  // empty: no file at all
    int verify;
    int extract;
    const char* message;
  } cases[] = {
      {"missing file", "", 3, 3, "cannot open"},
      {"other format", WriteArchive(entries, otherSignature), 4, 4, "not an Ostrel archive"},
      {"shorter than a header", good.substr(0, 12), 5, 5, "shorter than an archive header"},
      {"directory cut", good.substr(0, d + 20), 1, 5, "directory ends after 1 of 2"},
      {"data past the end", WriteArchive(past), 1, 5, "past the end"},
      {"empty and repeated names", WriteArchive(empty), 1, 0, "repeats an earlier name"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string name = std::string(c.what).substr(0, 4) + ".DAT";
    if (!c.bytes.empty()) Put(name, c.bytes);
    Outcome verified = Run({"verify", name});
    EXPECT_EQ(verified.status, c.verify);
    EXPECT_NE((verified.out + verified.err).find(c.message), std::string::npos) << verified.out << verified.err;
    std::set<std::string> before = FilesBelowRoot();
    Outcome extracted = Run({"extract", name, "-C", "x", "--quiet"});
    EXPECT_EQ(extracted.status, c.extract);
    if (c.extract != 0) {
      EXPECT_NE(extracted.err.find(name), std::string::npos) << "the error names the file: " << extracted.err;
      EXPECT_EQ(std::count(extracted.err.begin(), extracted.err.end(), '\n'), 1) << extracted.err;
      std::set<std::string> after = FilesBelowRoot();
      after.erase("out");
      after.erase("err");
      before.erase("out");
      before.erase("err");
      EXPECT_EQ(after, before) << "a failed extraction wrote something";
    }
  }
}

TEST_F(OstrelTest, NothingIsOverwrittenWithoutForce) {
  Put("A.TXT", "new");
  ASSERT_EQ(Run({"pack", "-o", "P.DAT", "A.TXT"}).status, 0);
  Put("B.TXT", "other");
  EXPECT_EQ(Run({"pack", "-o", "P.DAT", "B.TXT"}).status, 7);
  EXPECT_EQ(Run({"list", "P.DAT"}).out.find("B.TXT"), std::string::npos) << "the archive was replaced";
  mkdir((work_ + "/out").c_str(), 0700);
  Put("out/A.TXT", "precious");
  EXPECT_EQ(Run({"extract", "P.DAT", "-C", "out"}).status, 7);
  EXPECT_EQ(ReadFileOrEmpty(work_ + "/out/A.TXT"), "precious");
  EXPECT_EQ(Run({"extract", "P.DAT", "-C", "out", "--force", "--quiet"}).status, 0);
  EXPECT_EQ(ReadFileOrEmpty(work_ + "/out/A.TXT"), "new");
  EXPECT_EQ(Run({"pack", "-o", "P.DAT", "B.TXT", "--force"}).status, 0);
  EXPECT_NE(Run({"list", "P.DAT"}).out.find("B.TXT"), std::string::npos);
}

TEST_F(OstrelTest, PackRefusesWhatTheFormatCannotHold) {
  Put("THIRTEEN.BYTE", "x");
  Outcome longName = Run({"pack", "-o", "L.DAT", "THIRTEEN.BYTE"});
  EXPECT_EQ(longName.status, 9);
  EXPECT_NE(longName.err.find("longer than 12 bytes"), std::string::npos);
  EXPECT_EQ(Run({"pack", "-o", "M.DAT", "MISSING.TXT"}).status, 3);
  std::vector<std::string> args = {"pack", "-o", "MANY.DAT"};
  for (int i = 0; i < 65536; ++i) args.push_back("E");
  EXPECT_EQ(Run(args).status, 9);
  struct stat status;
  EXPECT_NE(stat((work_ + "/L.DAT").c_str(), &status), 0) << "a refused pack leaves no file";
  EXPECT_NE(stat((work_ + "/MANY.DAT").c_str(), &status), 0);
}

TEST_F(OstrelTest, ListsAsJsonAndConvertsLegacyNames) {
  std::vector<WriterEntry> entries = {{"A \"q\".TXT", "a"}, {"\x83\x41.BIN", "katakana a in CP932"}};
  Put("J.DAT", WriteArchive(entries));
  Outcome json = Run({"list", "J.DAT", "--json"});
  EXPECT_EQ(json.status, 0);
  EXPECT_NE(json.out.find("\"name\": \"A \\\"q\\\".TXT\""), std::string::npos) << json.out;
  EXPECT_NE(json.out.find("\\u0083A.BIN"), std::string::npos) << json.out;
  ASSERT_EQ(Run({"extract", "J.DAT", "-C", "cp932", "--name-encoding", "CP932", "--quiet"}).status, 0);
  EXPECT_EQ(ReadFileOrEmpty(work_ + "/cp932/\xE3\x82\xA2.BIN"), "katakana a in CP932");
  ASSERT_EQ(Run({"extract", "J.DAT", "-C", "raw", "--quiet"}).status, 0);
  EXPECT_EQ(ReadFileOrEmpty(work_ + "/raw/\x83\x41.BIN"), "katakana a in CP932") << "bytes kept by default";
}

TEST_F(OstrelTest, EveryCommandHasHelp) {
  for (const char* command : {"list", "verify", "extract", "pack"}) {
    Outcome help = Run({command, "--help"});
    EXPECT_EQ(help.status, 0) << command;
    EXPECT_EQ(help.out.rfind(std::string("usage: ostrel ") + command, 0), 0u) << help.out;
  }
  EXPECT_EQ(Run({"--help"}).status, 0);
  EXPECT_EQ(Run({"frobnicate"}).status, 2);
}

}  // namespace
