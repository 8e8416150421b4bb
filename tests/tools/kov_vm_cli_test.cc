// The kov-vm client, run in-process: commands, bad command lines and input, the state file, and
// the tour.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <set>
#include <sstream>

#include "tests/tools/temp_dir.h"
#include "tools/kov-vm/cli.h"
#include "tools/kov-vm/demo.h"

namespace Kov {
namespace Cli {
namespace {

using Sim::FileExists;
using Sim::ReadFile;
using Sim::TempDir;
using Sim::WriteFile;

struct Result {
  int code;
  std::string out, err;
};

// Standard output that fails every write, as a full disk or a closed pipe does.
class FailingBuffer : public std::streambuf {
 protected:
  int_type overflow(int_type) override { return traits_type::eof(); }
  std::streamsize xsputn(const char*, std::streamsize) override { return 0; }
};

Result KovVm(std::vector<std::string> args, const std::string& input = "",
             bool outputFails = false) {
  std::istringstream in(input);
  std::ostringstream out, err;
  FailingBuffer failing;
  std::ostream broken(&failing);
  int code = RunKovVm(args, in, outputFails ? broken : out, err);
  return Result{code, out.str(), err.str()};
}

ino_t Inode(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(KovVm, HelpAndCommandLineMistakes) {
  EXPECT_EQ(KovVm({"help"}).code, kExitOk);
  EXPECT_TRUE(Contains(KovVm({"--help"}).out, "usage: kov-vm"));
  EXPECT_EQ(KovVm({"version"}).code, kExitOk);
  const std::string huge(100000, 'x');
  // A name past 64 bytes is cut to its first 64.
  const std::string cutHuge = "\"y" + std::string(63, 'x') + "\xe2\x80\xa6(cut)\"";
  struct Case {
    std::vector<std::string> args;
    const char* complaint;
    bool usage = true;  // a mistyped name gets a hint instead of the usage
  } cases[] = {
      {{}, "no command given"},
      {{"fly"}, "unknown command \"fly\""},
      {{"--verbose", "list"}, "unknown option --verbose"},
      {{"list", "--state"}, "--state needs a file name"},
      {{"--state=", "list"}, "--state needs a file name"},
      {{"--state", "a", "--state", "b", "list"}, "--state is given twice"},
      {{"list", "extra"}, "list takes no arguments"},
      {{"describe"}, "describe takes one SERVICE"},
      {{"describe", "gpu"}, "unknown service \"gpu\"", false},
      {{"describe", "cpus.put"}, "unknown operation \"put\"", false},
      {{"call"}, "call needs SERVICE.OPERATION"},
      {{"call", "cpus"}, "names a service", false},
      {{"call", "y" + huge + ".get"}, cutHuge.c_str(), false},
      {{"call", "cpus.get", "{\"vm\":", "\"a\"}"}, "one too many"},
  };
  for (auto& c : cases) {
    Result r = KovVm(c.args);
    EXPECT_EQ(r.code, kExitUsage) << c.complaint;
    EXPECT_TRUE(Contains(r.err, c.complaint)) << c.complaint << "\n" << r.err;
    EXPECT_EQ(Contains(r.err, "usage: kov-vm"), c.usage) << c.complaint;
    EXPECT_EQ(Contains(r.err, "`kov-vm list`"), !c.usage) << c.complaint;
    EXPECT_LT(r.err.size(), 4096u) << c.complaint;
    EXPECT_TRUE(r.out.empty()) << c.complaint;
  }
}

TEST(KovVm, ListAndDescribe) {
  // What the catalog prints is tested with the catalog; here, that the commands reach it.
  Result list = KovVm({"list"});
  EXPECT_EQ(list.code, kExitOk);
  EXPECT_TRUE(Contains(list.out, "13 services, 37 operations"));
  Result operation = KovVm({"describe", "entries.set"});
  EXPECT_EQ(operation.code, kExitOk);
  EXPECT_TRUE(Contains(operation.out, "entries.set"));
  EXPECT_FALSE(Contains(operation.out, "entries.get"));
  EXPECT_TRUE(Contains(KovVm({"describe", "com.brantel.kov.vm.power"}).out, "power.switch_on"));
}

TEST(KovVm, CallAnswersAsJsonOrFailsWithTheErrorTypeAndMessages) {
  Result ok = KovVm({"call", "dock.list"});
  EXPECT_EQ(ok.code, kExitOk) << ok.err;
  EXPECT_EQ(ok.out, "{\n  \"items\": []\n}\n");
  Result fail = KovVm({"call", "power.get", R"({"vm": "ghost"})"});
  EXPECT_EQ(fail.code, kExitFailed);
  EXPECT_TRUE(fail.out.empty());
  EXPECT_TRUE(Contains(fail.err, "power.get failed: not_found"));
  EXPECT_TRUE(Contains(fail.err, "No virtual machine has the identifier \"ghost\"."));
  EXPECT_TRUE(Contains(fail.err, "[kov.sim.vm.not.found]"));
}

TEST(KovVm, InputFromStandardInputOrAFile) {
  TempDir dir;
  const std::string state = dir.path() + "/lab.json";
  const std::string spec = dir.path() + "/spec.json";
  WriteFile(spec, R"({"spec": {"vm": "from-file", "guest_OS": "zubsd"}})");
  EXPECT_EQ(KovVm({"--state", state, "call", "zub.create", "@" + spec}).code, kExitOk);
  Result r = KovVm({"--state", state, "call", "zub.create", "-"},
                   R"({"spec": {"vm": "from-stdin", "guest_OS": "zubsd"}})");
  EXPECT_EQ(r.code, kExitOk) << r.err;
  Result dock = KovVm({"--state", state, "call", "dock.list"});
  EXPECT_TRUE(Contains(dock.out, "from-file"));
  EXPECT_TRUE(Contains(dock.out, "from-stdin"));
  Result missing = KovVm({"--state", state, "call", "zub.create", "@" + dir.path() + "/nothing"});
  EXPECT_EQ(missing.code, kExitUsage);
  EXPECT_TRUE(Contains(missing.err, "cannot read the input file"));
}

class KovVmState : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(Call("zub.create", R"({"spec": {"vm": "vm-1", "guest_OS": "zubuntu"}})").code,
              kExitOk);
    before_ = ReadFile(state_);
    ASSERT_FALSE(before_.empty());
  }
  Result Call(const std::string& op, const std::string& json) {
    return KovVm({"--state", state_, "call", op, json});
  }
  // The folder holds the state file and its lock file, and nothing half-written.
  void ExpectOnlyStateFiles() { EXPECT_EQ(dir_.Entries(), (std::vector<std::string>{"lab.json"})); }

  TempDir dir_;
  std::string state_ = dir_.path() + "/lab.json";
  std::string before_;
};

TEST_F(KovVmState, BadInputIsRefusedAndChangesNothing) {
  const std::string longId(100000, 'w');
  const std::string folder = dir_.path();
  struct Case {
    std::vector<std::string> args;
    int code;
    const char* complaint;
    bool outputFails = false;
  } cases[] = {
      {{"call", "power.boot", R"({"vm": "vm-1"})"}, kExitUsage, "unknown operation"},
      {{"call", "power.switch_on", R"({"vm": "vm-1", "spec": {})"}, kExitUsage, "not valid JSON"},
      {{"call", "power.switch_on", ""}, kExitUsage, "not valid JSON"},
      {{"call", "power.switch_on", R"({"vm": "vm-1", "spec": {"soft": "yes"}})"},
       kExitUsage,
       "spec.soft must be true or false, not a string"},
      {{"call", "power.switch_on", R"({"vm": "vm-1"})"}, kExitUsage, "spec is missing"},
      {{"call", "power.switch_on", R"({"vm": "vm-1", "spec": {}, "force": true})"},
       kExitUsage,
       "force is not a member"},
      {{"call", "power.switch_on", "[\"vm-1\"]"}, kExitUsage, "must be an object"},
      {{"call", "zub.delete", R"({"vm": "ghost"})"}, kExitFailed, "not_found"},
      {{"call", "cdrom.add", R"({"vm": "vm-1", "device": "d", "backing": {"type": "RAW"}})"},
       kExitFailed,
       "invalid_argument"},
      {{"demo"}, kExitUsage, "takes no --state"},
      // Numbers beyond a double, and integers beyond 64 bits.
      {{"call", "cpus.update", R"({"vm": "vm-1", "update_spec": {"count": 1e400}})"},
       kExitUsage,
       "update_spec.count: [json.exception.out_of_range.406] number overflow"},
      {{"call", "cpus.update", R"({"vm": "vm-1", "update_spec": {"count": 99999999999999999999}})"},
       kExitUsage,
       "update_spec.count is out of range"},
      // Silent acceptance: a key twice, bytes after a NUL.
      {{"call", "cpus.update", R"({"vm": "vm-1", "update_spec": {"count": 2, "count": 4}})"},
       kExitUsage,
       "update_spec: the key \"count\" is given twice"},
      {{"call", "zub.delete", std::string(R"({"vm": "vm-1"})") + '\0' + "garbage"},
       kExitUsage,
       "a NUL byte at offset 14"},
      // Unknown enumeration texts: a union's tag, a list filter.
      {{"call", "cdrom.add", R"({"vm": "vm-1", "device": "d", "backing": {"type": "FLOPPY"}})"},
       kExitUsage,
       "backing.type \"FLOPPY\" is not a known value; the values are ATAPI, IMAGE or RAW"},
      {{"call", "cdrom.list", R"({"vm": "vm-1", "filter": {"backing_types": ["IMAGE", "USB"]}})"},
       kExitUsage,
       "filter.backing_types[1] \"USB\" is not a known value"},
      // Quoted input is cut.
      {{"call", "power.get", "{\"vm\": \"" + longId + "\"}"}, kExitFailed, "\xe2\x80\xa6(cut)"},
      {{"call", "power.get", "{\"" + longId + "\": 1}"}, kExitUsage, "\xe2\x80\xa6(cut) is not"},
      // Input files: endless, a folder, unreadable.
      {{"call", "zub.create", "@/dev/zero"}, kExitUsage, "is larger than 64 MiB"},
      {{"call", "zub.create", "@" + folder}, kExitUsage, "is a directory"},
      {{"call", "zub.create", "@/proc/self/mem"}, kExitUsage, "cannot read the input file"},
      // An answer that cannot be written: failure, and nothing saved.
      {{"call", "zub.create", R"({"spec": {"vm": "web-1", "guest_OS": "zubuntu-64"}})"},
       kExitOutput,
       "could not be written to standard output; the state file was not changed",
       true},
      {{"list"}, kExitOutput, "could not be written", true},
      {{"describe", "cpus"}, kExitOutput, "could not be written", true},
      // A call that changes nothing succeeds and leaves the file alone.
      {{"call", "power.get", R"({"vm": "vm-1"})"}, kExitOk, ""},
  };
  const ino_t inode = Inode(state_);
  for (auto& c : cases) {
    std::vector<std::string> args{"--state", state_};
    args.insert(args.end(), c.args.begin(), c.args.end());
    Result r = KovVm(args, "", c.outputFails);
    EXPECT_EQ(r.code, c.code) << c.complaint << "\n" << r.err.substr(0, 2000);
    EXPECT_TRUE(Contains(r.err, c.complaint)) << c.complaint << "\n" << r.err.substr(0, 2000);
    EXPECT_LT(r.err.size(), 4096u) << c.complaint;
    EXPECT_EQ(r.out.empty(), c.code != kExitOk) << c.complaint;
    EXPECT_EQ(ReadFile(state_), before_) << c.complaint;
    EXPECT_EQ(Inode(state_), inode) << c.complaint << ": the file was rewritten";
  }
  ExpectOnlyStateFiles();
  // And the machine is as it was: off, untouched.
  Result get = Call("power.get", R"({"vm": "vm-1"})");
  EXPECT_TRUE(Contains(get.out, "\"state\": \"OFF\""));
}

TEST_F(KovVmState, DamagedOrForeignStateFilesAreRefusedAndLeftByteForByte) {
  // What the state file refuses is tested with it; here, that each command stops on a refusal.
  const std::string contents[] = {
      before_.substr(0, before_.size() / 2),
      "{\"format\": \"kov-vm-sim-state\", \"version\": 99, \"machines\": []}\n",
  };
  for (auto& content : contents) {
    WriteFile(state_, content);
    for (auto args : std::vector<std::vector<std::string>>{
             {"call", "zub.create", R"({"spec": {"vm": "x", "guest_OS": "y"}})"},
             {"call", "dock.list"}}) {
      args.insert(args.begin(), {"--state", state_});
      Result r = KovVm(args);
      EXPECT_EQ(r.code, kExitState) << content;
      EXPECT_TRUE(Contains(r.err, state_)) << r.err;
      EXPECT_TRUE(Contains(r.err, "left as it is")) << r.err;
      EXPECT_TRUE(r.out.empty());
      EXPECT_EQ(ReadFile(state_), content);
    }
  }
  ExpectOnlyStateFiles();
}

TEST_F(KovVmState, ListAndDescribeNeedNoLab) {
  // A damaged state file, locked by another run: list and describe neither read nor wait for it.
  WriteFile(state_, "{damaged");
  const int fd = ::open(state_.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX), 0);
  EXPECT_EQ(KovVm({"--state", state_, "list"}).code, kExitOk);
  EXPECT_EQ(KovVm({"--state", state_, "describe", "cpus"}).code, kExitOk);
  ::close(fd);
  EXPECT_EQ(ReadFile(state_), "{damaged");
}

TEST(KovVmStateFile, MissingFileStartsAFreshLabAndOnlyAChangeWritesIt) {
  TempDir dir;
  const std::string state = dir.path() + "/new.json";
  EXPECT_EQ(KovVm({"--state", state, "list"}).code, kExitOk);
  Result fail = KovVm({"--state", state, "call", "power.get", R"({"vm": "vm-1"})"});
  EXPECT_EQ(fail.code, kExitFailed);
  EXPECT_EQ(KovVm({"--state", state, "call", "dock.list"}).code, kExitOk);
  EXPECT_FALSE(FileExists(state));
  // A new file follows the umask.
  const mode_t umask = ::umask(077);
  Result ok = KovVm({"--state", state, "call", "zub.create",
                     R"({"spec": {"vm": "web-1", "guest_OS": "zubuntu-64"}})"});
  ::umask(umask);
  EXPECT_EQ(ok.code, kExitOk) << ok.err;
  ASSERT_TRUE(FileExists(state));
  EXPECT_TRUE(Contains(ReadFile(state), "\"format\": \"kov-vm-sim-state\""));
  struct stat st;
  ASSERT_EQ(::stat(state.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(KovVmStateFile, UnusableLocationsAreReportedAsStateProblems) {
  TempDir dir;
  const std::string create = R"({"spec": {"vm": "web-2", "guest_OS": "zubuntu-64"}})";
  Result r = KovVm({"--state", dir.path() + "/no/such/folder/lab.json", "call", "dock.list"});
  EXPECT_EQ(r.code, kExitState);
  EXPECT_TRUE(Contains(r.err, "folder of the state file"));
  const std::string folderPath = dir.path() + "/folder";
  ASSERT_EQ(::mkdir(folderPath.c_str(), 0755), 0);
  Result folder = KovVm({"--state", folderPath, "call", "dock.list"});
  EXPECT_EQ(folder.code, kExitState);
  EXPECT_TRUE(Contains(folder.err, "not a regular file"));
  const std::string fifo = dir.path() + "/fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  Result pipe = KovVm({"--state", fifo, "call", "dock.list"});  // refused, not waited on
  EXPECT_EQ(pipe.code, kExitState);
  EXPECT_TRUE(Contains(pipe.err, "not a regular file"));
  // A read-only file is refused before the call, also for root.
  const std::string state = dir.path() + "/lab.json";
  ASSERT_EQ(KovVm({"--state", state, "call", "zub.create", create}).code, kExitOk);
  const std::string before = ReadFile(state);
  ASSERT_EQ(::chmod(state.c_str(), 0444), 0);
  Result readOnly = KovVm({"--state", state, "call", "zub.delete", R"({"vm": "web-2"})"});
  EXPECT_EQ(readOnly.code, kExitState);
  EXPECT_TRUE(Contains(readOnly.err, "is read-only")) << readOnly.err;
  EXPECT_EQ(ReadFile(state), before);
  // A link to nothing is not replaced by a file.
  const std::string dangling = dir.path() + "/dangling.json";
  ASSERT_EQ(::symlink("gone.json", dangling.c_str()), 0);
  Result link = KovVm({"--state", dangling, "call", "zub.create", create});
  EXPECT_EQ(link.code, kExitState);
  EXPECT_TRUE(Contains(link.err, "symbolic link to a missing file")) << link.err;
}

TEST(KovVmDemo, EveryServiceFailsAtLeastOnceTheWayAUserExpects) {
  std::ostringstream out;
  DemoResult result = RunDemo(out);
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_TRUE(Contains(out.str(), "37 of 37 operations of 13 services called")) << out.str();
  EXPECT_FALSE(Contains(out.str(), "!!")) << out.str();
  EXPECT_EQ(result.counts.size(), 37u);
  EXPECT_EQ(result.surprises, 0);
  EXPECT_EQ(result.expectedFailures, static_cast<int>(result.failures.size()));

  std::set<std::string> failedServices;
  for (auto& f : result.failures) failedServices.insert(f.first.substr(0, f.first.find('/')));
  EXPECT_EQ(failedServices.size(), 13u);
}

}  // namespace
}  // namespace Cli
}  // namespace Kov
