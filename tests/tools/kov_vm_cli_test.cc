// The kov-vm client, run in-process: what its commands print, bad command lines and input, the
// state file, and the tour.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sstream>

#include "tests/tools/temp_dir.h"
#include "tools/kov-vm/cli.h"

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

// Services by id, short id or short name; operations; the shapes, enumerations, union cases and
// errors that describe shows.
TEST(KovVm, CommandsPrintWhatTheyShould) {
  const struct {
    std::vector<std::string> args;
    std::vector<std::string> says;
    const char* not_ = "\x01";  // a text that must not appear
  } cases[] = {
      {{"--help"}, {"usage: kov-vm"}},
      {{"version"}, {"0."}},
      {{"list"},
       {"13 services, 37 operations", "com.brantel.kov.vm.data_sets.entries",
        "get, switch_on, switch_off, reset, suspend", "add, update, delete, list"}},
      {{"describe", "cpus"},
       {"service com.brantel.kov.vm.compute.cpus (short name: cpus)",
        "  cpus.get\n    input:\n      vm: string\n", "          count: optional integer\n",
        "    output: none\n",
        "errors: error, not_found, invalid_argument, not_allowed_in_current_state"}},
      {{"describe", "compute.cpus"}, {"(short name: cpus)"}},
      {{"describe", "com.brantel.kov.vm.compute.cpus.update"}, {"cpus.update"}, "cpus.get"},
      {{"describe", "data_sets.entries.list"}, {"entries.list", "output: list of string"}},
      {{"describe", "data_sets.list"}, {"data_sets.list"}, "entries.list"},
      {{"describe", "com.brantel.kov.vm.power"}, {"power.switch_on"}},
      {{"describe", "cdrom.add"},
       {"      vm: string\n      backing: struct com.brantel.kov.vm.device.cdrom.backing_info\n",
        "          type: string, one of ATAPI, IMAGE or RAW\n",
        "          device_name: case of \"type\": string (required when type is ATAPI or RAW; "
        "unset otherwise)\n",
        "          iso_file: case of \"type\": string (allowed when type is IMAGE; unset "
        "otherwise)\n"}},
      {{"describe", "network.list"}, {"adapters: optional list of string, one of ZLANCE"}},
      {{"describe", "disk.list"},
       {"filter: optional struct com.brantel.kov.vm.device.disk.filter_spec",
        "list: list of struct com.brantel.kov.vm.device.disk.summary"}},
      {{"describe", "dock.list"}, {"input:\n      (no fields)", "errors: unauthenticated\n"}},
      {{"call", "dock.list"}, {"{\n  \"items\": []\n}\n"}},
  };
  for (auto& c : cases) {
    Result r = KovVm(c.args);
    SCOPED_TRACE(c.args.back() + "\n" + r.out);
    EXPECT_EQ(r.code, kExitOk) << r.err;
    for (auto& text : c.says) EXPECT_TRUE(Contains(r.out, text)) << text;
    EXPECT_FALSE(Contains(r.out, c.not_));
  }
}

TEST(KovVm, CommandLineMistakes) {
  const std::string huge(100000, 'x');
  // A name past 64 bytes is cut to its first 64.
  const std::string cutHuge = "\"y" + std::string(63, 'x') + "\xe2\x80\xa6(cut)\"";
  struct Case {
    std::vector<std::string> args;
    std::string complaint;
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
      {{"describe", "CPUS"}, "unknown service \"CPUS\"", false},
      {{"describe", "vm.compute.cpus"}, "unknown service", false},
      {{"describe", "cpus.put"},
       "unknown operation \"put\" of service com.brantel.kov.vm.compute.cpus; its operations are: "
       "get, update",
       false},
      {{"call"}, "call needs SERVICE.OPERATION"},
      {{"call", "cpus"}, "names a service; call needs SERVICE.OPERATION, e.g. cpus.get", false},
      {{"call", "get"}, "expected SERVICE.OPERATION", false},
      {{"call", "cpus."}, "expected SERVICE.OPERATION", false},
      {{"call", "cpus.GET"}, "unknown operation \"GET\"", false},
      {{"call", "y" + huge + ".get"}, cutHuge, false},
      // A cut never ends inside a character: bytes that only continue one are all dropped.
      {{"describe", std::string(100, '\x80')}, "unknown service \"\xe2\x80\xa6(cut)\"", false},
      {{"call", "cpus.get", "{\"vm\":", "\"a\"}"}, "one too many"},
  };
  for (auto& c : cases) {
    Result r = KovVm(c.args);
    SCOPED_TRACE(c.complaint + "\n" + r.err.substr(0, 2000));
    EXPECT_EQ(r.code, kExitUsage);
    EXPECT_TRUE(Contains(r.err, c.complaint));
    EXPECT_EQ(Contains(r.err, "usage: kov-vm"), c.usage);
    EXPECT_EQ(Contains(r.err, "`kov-vm list`"), !c.usage);
    EXPECT_LT(r.err.size(), 4096u);
    EXPECT_TRUE(r.out.empty());
  }
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
      {{"call", "power.switch_on", R"({"vm": "vm-1", "spec": {})"}, kExitUsage, "not valid JSON"},
      {{"call", "power.switch_on", R"({"vm": "vm-1", "spec": {"soft": "yes"}})"},
       kExitUsage,
       "spec.soft must be true or false, not a string"},
      {{"call", "power.switch_on", "[\"vm-1\"]"}, kExitUsage, "must be an object"},
      {{"call", "zub.delete", R"({"vm": "ghost"})"},
       kExitFailed,
       "zub.delete failed: not_found (com.brantel.tarn.std.errors.not_found)\n  No virtual machine "
       "has the identifier \"ghost\". [kov.sim.vm.not.found]"},
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
      // Input files: endless, a folder, unreadable, missing.
      {{"call", "zub.create", "@/dev/zero"}, kExitUsage, "is larger than 64 MiB"},
      {{"call", "zub.create", "@" + folder}, kExitUsage, "is a directory"},
      {{"call", "zub.create", "@/proc/self/mem"}, kExitUsage, "cannot read the input file"},
      {{"call", "zub.create", "@" + folder + "/nothing"}, kExitUsage, "cannot read the input file"},
      // An answer that cannot be written: failure, and nothing saved.
      {{"call", "zub.create", R"({"spec": {"vm": "web-1", "guest_OS": "zubuntu-64"}})"},
       kExitOutput,
       "could not be written to standard output; the state file was not changed",
       true},
      {{"list"}, kExitOutput, "could not be written", true},
      // A call that changes nothing succeeds and leaves the file alone.
      {{"call", "power.get", R"({"vm": "vm-1"})"}, kExitOk, ""},
  };
  const ino_t inode = Inode(state_);
  for (auto& c : cases) {
    std::vector<std::string> args{"--state", state_};
    args.insert(args.end(), c.args.begin(), c.args.end());
    Result r = KovVm(args, "", c.outputFails);
    SCOPED_TRACE(std::string(c.complaint) + "\n" + r.err.substr(0, 2000));
    EXPECT_EQ(r.code, c.code);
    EXPECT_TRUE(Contains(r.err, c.complaint));
    EXPECT_LT(r.err.size(), 4096u);
    EXPECT_EQ(r.out.empty(), c.code != kExitOk);
    EXPECT_EQ(ReadFile(state_), before_);
    EXPECT_EQ(Inode(state_), inode) << "the file was rewritten";
  }
  EXPECT_EQ(dir_.Entries(), std::vector<std::string>{"lab.json"});  // nothing half-written
  EXPECT_TRUE(Contains(Call("power.get", R"({"vm": "vm-1"})").out, "\"state\": \"OFF\""));
}

TEST_F(KovVmState, DamagedOrForeignStateFilesAreRefusedAndLeftByteForByte) {
  // What the state file refuses is tested with it; here, that each command stops on a refusal.
  const std::string marker = R"({"format": "kov-vm-sim-state", )";
  for (auto& content : {
           before_.substr(0, before_.size() / 2),  // truncated
           std::string(),
           std::string("\x89PNG\r\n\x1a\n"),  // some other kind of file
           marker + R"("version": 1e400, "machines": []})",
           marker + R"("version": 1, "machines": [], "machines": []})",
           before_ + std::string(1, '\0') + "garbage",  // bytes after a NUL
       }) {
    WriteFile(state_, content);
    for (auto& r : {Call("zub.create", R"({"spec": {"vm": "x", "guest_OS": "y"}})"),
                    KovVm({"--state", state_, "call", "dock.list"})}) {
      EXPECT_EQ(r.code, kExitState) << content;
      EXPECT_TRUE(Contains(r.err, state_)) << r.err;
      EXPECT_TRUE(Contains(r.err, "left as it is")) << r.err;
      EXPECT_TRUE(r.out.empty());
      EXPECT_EQ(ReadFile(state_), content);
    }
  }
  EXPECT_EQ(dir_.Entries(), std::vector<std::string>{"lab.json"});  // nothing half-written
  // list and describe neither read the file nor wait for another run's lock on it.
  const int fd = ::open(state_.c_str(), O_RDONLY);
  ASSERT_EQ(::flock(fd, LOCK_EX), 0);
  EXPECT_EQ(KovVm({"--state", state_, "list"}).code, kExitOk);
  EXPECT_EQ(KovVm({"--state", state_, "describe", "cpus"}).code, kExitOk);
  ::close(fd);
}

// Ten runs on one lab, with input inline, from a file and from standard input.
TEST(KovVmStateFile, OneLabAcrossTenRuns) {
  TempDir dir;
  const std::string state = dir.path() + "/lab.json", spec = dir.path() + "/spec.json";
  WriteFile(spec, R"({"spec": {"vm": "db", "guest_OS": "zubsd"}})");
  const std::vector<std::vector<std::string>> runs{
      {"call", "zub.create", R"({"spec": {"vm": "web", "guest_OS": "zubuntu"}})"},
      {"call", "zub.create", "@" + spec},
      {"call", "zub.create", "-"},
      {"call", "memory.update",
       R"({"vm": "web", "update_spec": {"size": 2048, "hot_add_enabled": true}})"},
      {"call", "power.switch_on", R"({"vm": "web", "spec": {"soft": true}})"},
      {"call", "memory.update", R"({"vm": "web", "update_spec": {"size": 4096}})"},
      {"call", "power.suspend", R"({"vm": "web"})"},
      {"call", "zub.delete", R"({"vm": "db"})"},
  };
  for (auto args : runs) {
    args.insert(args.begin(), {"--state", state});
    Result r = KovVm(args, R"({"spec": {"vm": "app", "guest_OS": "zubsd"}})");
    ASSERT_EQ(r.code, kExitOk) << args[3] << ": " << r.err;
  }
  auto call = [&](const char* op, const char* input) {
    return KovVm({"--state", state, "call", op, input});
  };
  EXPECT_EQ(call("power.get", R"({"vm": "web"})").out,
            "{\n  \"state\": \"OFF\",\n  \"suspended\": true\n}\n");
  EXPECT_TRUE(Contains(call("memory.get", R"({"vm": "web"})").out, "\"size\": 4096"));
  EXPECT_EQ(call("dock.list", "{}").out,
            "{\n  \"items\": [\n    {\n      \"vm\": \"web\"\n    },\n    {\n      \"vm\": "
            "\"app\"\n    }\n  ]\n}\n");
}

TEST(KovVmStateFile, MissingFileStartsAFreshLabAndUnusableLocationsAreStateProblems) {
  TempDir dir;
  const std::string d = dir.path(), state = d + "/new.json";
  const std::string create = R"({"spec": {"vm": "web-2", "guest_OS": "zub"}})";
  // Only a change writes a missing file; a new file follows the umask.
  EXPECT_EQ(KovVm({"--state", state, "call", "power.get", R"({"vm": "vm-1"})"}).code, kExitFailed);
  EXPECT_EQ(KovVm({"--state", state, "call", "dock.list"}).code, kExitOk);
  EXPECT_FALSE(FileExists(state));
  const mode_t umask = ::umask(077);
  Result ok = KovVm({"--state", state, "call", "zub.create", create});
  ::umask(umask);
  EXPECT_EQ(ok.code, kExitOk) << ok.err;
  EXPECT_TRUE(Contains(ReadFile(state), "\"format\": \"kov-vm-sim-state\""));
  struct stat st;
  ASSERT_EQ(::stat(state.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  ASSERT_EQ(::mkdir((d + "/folder").c_str(), 0755), 0);
  ASSERT_EQ(::mkfifo((d + "/fifo").c_str(), 0600), 0);
  ASSERT_EQ(::symlink("gone.json", (d + "/dangling.json").c_str()), 0);
  // A read-only file is refused before the call, also for root.
  ASSERT_EQ(::chmod(state.c_str(), 0444), 0);
  const std::string before = ReadFile(state);
  const std::pair<const char*, const char*> cases[] = {
      {"/no/such/folder/lab.json", "folder of the state file"},
      {"/folder", "not a regular file"},
      {"/fifo", "not a regular file"},  // refused, not waited on
      {"/new.json", "is read-only"},
      {"/dangling.json", "symbolic link to a missing file"},  // not replaced by a file
  };
  for (auto& c : cases) {
    Result r = KovVm({"--state", d + c.first, "call", "zub.create", create});
    EXPECT_EQ(r.code, kExitState) << c.first;
    EXPECT_TRUE(Contains(r.err, c.second)) << r.err;
  }
  EXPECT_EQ(ReadFile(state), before);
  EXPECT_FALSE(FileExists(d + "/gone.json"));
}

}  // namespace
}  // namespace Cli
}  // namespace Kov
