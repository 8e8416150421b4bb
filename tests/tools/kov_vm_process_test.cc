// The kov-vm program itself, run as separate processes the way a user runs it: exit statuses, and
// one lab kept in a state file across ten runs.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/tools/temp_dir.h"

#ifdef KOV_VM_BINARY

namespace Kov {
namespace Sim {
namespace {

class KovVmProcess : public ::testing::Test {
 protected:
  struct Outcome {
    int status;
    std::string out, err;
  };

  // Runs kov-vm with the arguments (each single-quoted for the shell) and the given input.
  Outcome Exec(const std::vector<std::string>& args, const std::string& input = "") {
    WriteFile(dir_.path() + "/in", input);
    std::string command = "'" KOV_VM_BINARY "'";
    for (auto& a : args) {
      std::string quoted;
      for (char c : a) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
      command += " '" + quoted + "'";
    }
    command += " <'" + dir_.path() + "/in' >'" + dir_.path() + "/out' 2>'" + dir_.path() + "/err'";
    int raw = std::system(command.c_str());
    Outcome o{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadFile(dir_.path() + "/out"),
              ReadFile(dir_.path() + "/err")};
    return o;
  }

  TempDir dir_;
  std::string state_ = dir_.path() + "/lab.json";
};

TEST_F(KovVmProcess, ExitStatuses) {
  EXPECT_EQ(Exec({"list"}).status, 0);
  EXPECT_EQ(Exec({}).status, 2);
  EXPECT_EQ(Exec({"call", "cpus.get", "{"}).status, 2);
  EXPECT_EQ(Exec({"call", "cpus.get", R"({"vm": "ghost"})"}).status, 1);
  Outcome stdinInput =
      Exec({"call", "zub.create", "-"}, R"({"spec": {"vm": "a", "guest_OS": "b"}})");
  EXPECT_EQ(stdinInput.status, 0) << stdinInput.err;
  EXPECT_EQ(stdinInput.out, "null\n");
  // An answer that cannot be written is a failure, for every command.
  for (const char* args : {"list", "describe cpus", "demo", "call dock.list"}) {
    const std::string command =
        "'" KOV_VM_BINARY "' " + std::string(args) + " >/dev/full 2>/dev/null";
    const int raw = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 4) << args;
  }
  // A number beyond a double in a state file is refused, not an abort.
  WriteFile(state_, R"({"format": "kov-vm-sim-state", "version": 1e400, "machines": []})");
  EXPECT_EQ(Exec({"--state", state_, "call", "dock.list"}).status, 3);
}

TEST_F(KovVmProcess, TwentyWritersKeepEveryChangeWhileLockFilesVanish) {
  // Twenty runs add a machine each at once, while whatever looks like a lock file is deleted
  // again and again: no run may lose another's change.
  const std::string done = dir_.path() + "/done";
  std::string command =
      "(while [ ! -e '" + done + "' ]; do rm -f '" + state_ + ".lock'; done) & writers=''; ";
  for (int i = 0; i < 20; ++i) {
    command += "'" KOV_VM_BINARY "' --state '" + state_ +
               "' call zub.create '{\"spec\": {\"vm\": \"web-" + std::to_string(i) +
               "\", \"guest_OS\": \"zubuntu-64\"}}' >/dev/null 2>&1 & writers=\"$writers $!\"; ";
  }
  command += "wait $writers; touch '" + done + "'; wait; rm '" + done + "'";
  ASSERT_EQ(std::system(command.c_str()), 0);
  Outcome dock = Exec({"--state", state_, "call", "dock.list"});
  for (int i = 0; i < 20; ++i) {
    EXPECT_NE(dock.out.find("\"web-" + std::to_string(i) + "\""), std::string::npos) << i;
  }
  EXPECT_EQ(dir_.Entries(), (std::vector<std::string>{"err", "in", "lab.json", "out"}));
}

TEST_F(KovVmProcess, OneLabAcrossTenRuns) {
  const std::vector<std::vector<std::string>> runs{
      {"call", "zub.create", R"({"spec": {"vm": "web", "guest_OS": "zubuntu"}})"},
      {"call", "zub.create", R"({"spec": {"vm": "db", "guest_OS": "zubsd"}})"},
      {"call", "memory.update",
       R"({"vm": "web", "update_spec": {"size": 2048, "hot_add_enabled": true}})"},
      {"call", "disk.add", R"({"spec": {"vm": "db", "disk": "", "device": "scsi0:0"}})"},
      {"call", "network.add",
       R"({"spec": {"vm": "web", "network": "lan", "adapter": "E1000E", "device": "eth0"}})"},
      {"call", "power.switch_on", R"({"vm": "web", "spec": {"soft": true}})"},
      {"call", "memory.update", R"({"vm": "web", "update_spec": {"size": 4096}})"},
      {"call", "power.suspend", R"({"vm": "web"})"},
      {"call", "zub.delete", R"({"vm": "db"})"},
      {"call", "dock.load", R"({"vm": "web"})"},
  };
  for (auto args : runs) {
    args.insert(args.begin(), {"--state", state_});
    Outcome o = Exec(args);
    ASSERT_EQ(o.status, 0) << args[3] << ": " << o.err;
  }
  Outcome power = Exec({"--state", state_, "call", "power.get", R"({"vm": "web"})"});
  EXPECT_EQ(power.out, "{\n  \"state\": \"OFF\",\n  \"suspended\": true\n}\n");
  Outcome memory = Exec({"--state", state_, "call", "memory.get", R"({"vm": "web"})"});
  EXPECT_NE(memory.out.find("\"size\": 4096"), std::string::npos) << memory.out;
  Outcome dock = Exec({"--state", state_, "call", "dock.list"});
  EXPECT_EQ(dock.out, "{\n  \"items\": [\n    {\n      \"vm\": \"web\"\n    }\n  ]\n}\n");
  // A run that fails leaves the file exactly as it was.
  const std::string before = ReadFile(state_);
  EXPECT_EQ(Exec({"--state", state_, "call", "zub.delete", R"({"vm": "nobody"})"}).status, 1);
  EXPECT_EQ(ReadFile(state_), before);
  // A truncated file is refused, and stays as it is.
  WriteFile(state_, before.substr(0, before.size() / 3));
  Outcome refused = Exec({"--state", state_, "call", "dock.list"});
  EXPECT_EQ(refused.status, 3);
  EXPECT_NE(refused.err.find("corrupt"), std::string::npos) << refused.err;
  EXPECT_EQ(ReadFile(state_), before.substr(0, before.size() / 3));
}

TEST_F(KovVmProcess, DemoExitsZero) {
  Outcome o = Exec({"demo"});
  EXPECT_EQ(o.status, 0) << o.out;
  EXPECT_NE(o.out.find("37 of 37 operations"), std::string::npos);
  EXPECT_TRUE(o.err.empty()) << o.err;
}

}  // namespace
}  // namespace Sim
}  // namespace Kov

#endif  // KOV_VM_BINARY
