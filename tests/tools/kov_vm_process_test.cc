// The kov-vm program itself, run as separate processes the way a user runs it: a full standard
// output, twenty writers on one state file, and a served lab called from other processes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <map>
#include <sstream>
#include <thread>

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

  // Runs kov-vm with the arguments, each single-quoted for the shell.
  Outcome Exec(const std::vector<std::string>& args) {
    std::string command = "'" KOV_VM_BINARY "'";
    for (auto& a : args) {
      std::string quoted;
      for (char c : a) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
      command += " '" + quoted + "'";
    }
    const std::string d = dir_.path();
    const int raw = std::system((command + " >'" + d + "/out' 2>'" + d + "/err'").c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadFile(d + "/out"), ReadFile(d + "/err")};
  }

  // Starts `kov-vm serve` with the arguments, its log in serve.err, and waits for the line with
  // its address; the address, or "" when it did not come within ten seconds.
  std::string Serve(std::vector<std::string> args) {
    args.insert(args.begin(), {KOV_VM_BINARY, "serve", "--listen", "127.0.0.1:0"});
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    const std::string out = dir_.path() + "/serve.out";
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&files, 2, (dir_.path() + "/serve.err").c_str(),
                                     O_WRONLY | O_CREAT | O_APPEND, 0600);
    const int failed = posix_spawn(&server_, KOV_VM_BINARY, &files, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&files);
    for (int i = 0; !failed && i < 1000; ++i) {
      const std::string line = ReadFile(out);
      if (line.compare(0, 13, "listening on ") == 0 && line.back() == '\n') {
        return line.substr(13, line.size() - 14);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return "";
  }

  // Sends the server a signal and returns its exit status (-1: killed by a signal).
  int Stop(int signal) {
    ::kill(server_, signal);
    int raw = 0;
    ::waitpid(server_, &raw, 0);
    server_ = -1;
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  }
  void TearDown() override {
    if (server_ > 0) Stop(SIGKILL);
  }

  // A shell line that runs twenty creates of machines NAME-0 to NAME-19 at once, through `via`
  // (--host ADDRESS or --state FILE), each writing its exit status to st-NAME-<i>, and waits.
  std::string TwentyCreates(const std::string& via, const std::string& name) {
    std::string command;
    for (int i = 0; i < 20; ++i) {
      const std::string vm = name + "-" + std::to_string(i);
      command += "('" KOV_VM_BINARY "' " + via + " call zub.create '{\"spec\": {\"vm\": \"" + vm +
                 "\", \"guest_OS\": \"zubuntu-64\"}}' >/dev/null 2>&1; echo $? >'" + dir_.path() +
                 "/st-" + vm + "') & ";
    }
    return command + "wait";
  }
  std::string Status(const std::string& vm) { return ReadFile(dir_.path() + "/st-" + vm); }

  TempDir dir_;
  std::string state_ = dir_.path() + "/lab.json";
  pid_t server_ = -1;
};

TEST_F(KovVmProcess, AnAnswerLostToAFullDiskIsAFailure) {
  const int raw = std::system("'" KOV_VM_BINARY "' call dock.list >/dev/full 2>/dev/null");
  EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 4);
}

TEST_F(KovVmProcess, TwentyWritersKeepEveryChangeWhileLockFilesVanish) {
  // Twenty runs add a machine each at once, while whatever looks like a lock file is deleted
  // again and again: no run may lose another's change.
  const std::string done = dir_.path() + "/done";
  const std::string command = "(while [ ! -e '" + done + "' ]; do rm -f '" + state_ +
                              ".lock'; done) & (" +
                              TwentyCreates("--state '" + state_ + "'", "web") + "); touch '" +
                              done + "'; wait; rm '" + done + "'";
  ASSERT_EQ(std::system(command.c_str()), 0);
  Outcome dock = Exec({"--state", state_, "call", "dock.list"});
  for (int i = 0; i < 20; ++i) {
    EXPECT_EQ(Status("web-" + std::to_string(i)), "0\n") << i;
    EXPECT_NE(dock.out.find("\"web-" + std::to_string(i) + "\""), std::string::npos) << i;
  }
  std::vector<std::string> left;  // and no temporary or lock file is left behind
  for (auto& e : dir_.Entries())
    if (e.compare(0, 3, "st-")) left.push_back(e);
  EXPECT_EQ(left, (std::vector<std::string>{"err", "lab.json", "out"}));
}

TEST_F(KovVmProcess, ServedLabTakesTwentyClientsAtOnceAndOutlivesAKill) {
  std::string host = Serve({"--state", state_});
  ASSERT_FALSE(host.empty()) << ReadFile(dir_.path() + "/serve.err");
  // The file is the server's for its life: neither a second server nor a local run waits on it.
  Outcome second = Exec({"--state", state_, "serve", "--listen", "127.0.0.1:0"});
  EXPECT_EQ(second.status, 3);
  EXPECT_NE(second.err.find("in use by a running `kov-vm serve`"), std::string::npos) << second.err;
  EXPECT_EQ(Exec({"--state", state_, "call", "dock.list"}).status, 3);
  ASSERT_EQ(std::system(TwentyCreates("--host " + host + " --timeout 10", "web").c_str()), 0);
  Outcome dock = Exec({"--host", host, "call", "dock.list"});
  for (int i = 0; i < 20; ++i) {
    EXPECT_EQ(Status("web-" + std::to_string(i)), "0\n") << i;
    EXPECT_NE(dock.out.find("\"web-" + std::to_string(i) + "\""), std::string::npos) << i;
  }
  // A call that fails changes nothing and is logged with its error.
  const std::string saved = ReadFile(state_);
  EXPECT_EQ(Exec({"--host", host, "call", "zub.create",
                  R"({"spec": {"vm": "web-1", "guest_OS": "zubuntu-64"}})"})
                .status,
            1);
  EXPECT_EQ(Stop(SIGTERM), 0);
  const std::string log = ReadFile(dir_.path() + "/serve.err");
  EXPECT_NE(log.find(" 127.0.0.1:"), std::string::npos) << log;
  EXPECT_NE(log.find(" - zub.create ok "), std::string::npos) << log;
  EXPECT_NE(log.find(" - zub.create error "), std::string::npos) << log;
  EXPECT_EQ(ReadFile(state_), saved);

  // Killed once a few more creates were answered, while the others are still coming: every
  // acknowledged create is there after a restart on the same file.
  WriteFile(dir_.path() + "/serve.err", "");
  host = Serve({"--state", state_});
  ASSERT_FALSE(host.empty());
  std::thread clients(
      [&] { std::system(TwentyCreates("--host " + host + " --timeout 10", "db").c_str()); });
  for (int i = 0; i < 2000; ++i) {
    const std::string log = ReadFile(dir_.path() + "/serve.err");
    if (std::count(log.begin(), log.end(), '\n') >= 4) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_EQ(Stop(SIGKILL), -1);
  clients.join();
  host = Serve({"--state", state_, "--quiet"});
  ASSERT_FALSE(host.empty()) << ReadFile(dir_.path() + "/serve.err");
  dock = Exec({"--host", host, "call", "dock.list"});
  ASSERT_EQ(dock.status, 0) << dock.err;
  int acknowledged = 0;
  for (int i = 0; i < 20; ++i) {
    const std::string vm = "db-" + std::to_string(i), status = Status(vm);
    const bool present = dock.out.find("\"" + vm + "\"") != std::string::npos;
    // An acknowledged create is there; one that was not reached the host or not.
    EXPECT_TRUE(status == "0\n" ? present : status == "5\n") << vm << ": " << status;
    acknowledged += status == "0\n";
  }
  EXPECT_GE(acknowledged, 1);
  EXPECT_EQ(Stop(SIGINT), 0);
  EXPECT_EQ(Exec({"--state", state_, "call", "dock.list"}).out, dock.out);
}

TEST_F(KovVmProcess, HostNotReachedIsItsOwnExitStatus) {
  // A stopped server, whose socket takes connections but never answers, and a port where nobody
  // listens.
  const std::string silent = Serve({}), closed = "127.0.0.1:1";
  ASSERT_FALSE(silent.empty());
  ::kill(server_, SIGSTOP);
  const struct {
    std::vector<std::string> args;
    int status;
    const char* says;
  } cases[] = {
      {{"--host", closed, "--timeout", "2", "call", "dock.list"}, 5, "could not reach"},
      {{"--host", silent, "--timeout", "2", "call", "dock.list"}, 5, "could not reach"},
      {{"--host", closed, "--timeout", "0", "call", "dock.list"}, 2, "--timeout"},
      {{"--token", "t", "call", "dock.list"}, 2, "--token needs --host"},
      {{"--host", closed, "--state", state_, "call", "dock.list"}, 2, "--state"},
      {{"serve", "--listen", "0.0.0.0:0"}, 2, "--tokens"},
      {{"serve", "--host", closed}, 2, "not an option of serve"},
      {{"--host", closed, "describe", "power.get"}, 0, ""},
  };
  for (auto& c : cases) {
    const auto start = std::chrono::steady_clock::now();
    Outcome o = Exec(c.args);
    EXPECT_EQ(o.status, c.status) << c.args[0] << " " << c.args.back() << ": " << o.err;
    EXPECT_NE(o.err.find(c.says), std::string::npos) << o.err;
    if (c.status == 5) {
      EXPECT_EQ(std::count(o.err.begin(), o.err.end(), '\n'), 1) << o.err;
      EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(8));
    }
  }
}

TEST_F(KovVmProcess, TokensRolesAndTlsThroughTheCli) {
  const std::string d = dir_.path();
  ASSERT_TRUE(MakeCertificates(d));
  std::string tokens = "# name role sha256\n";
  std::map<std::string, std::string> token;
  for (const char* role : {"reader", "operator"}) {
    Outcome made = Exec({"token", "new", "--name", std::string("a-") + role, "--role", role});
    ASSERT_EQ(made.status, 0) << made.err;
    std::istringstream lines(made.out);
    std::vector<std::string> all;
    for (std::string line; std::getline(lines, line);)
      all.push_back(line.substr(line.find_first_not_of(' ')));
    ASSERT_EQ(all.size(), 4u) << made.out;
    token[role] = all[1];
    tokens += all[3] + "\n";
  }
  WriteFile(d + "/tokens", tokens);
  const std::string host = Serve(
      {"--tokens", d + "/tokens", "--tls-cert", d + "/host.pem", "--tls-key", d + "/host.key"});
  ASSERT_FALSE(host.empty()) << ReadFile(d + "/serve.err");
  Outcome demo =
      Exec({"--host", host, "--tls-ca", d + "/ca.pem", "--token", token["operator"], "demo"});
  EXPECT_EQ(demo.status, 0) << demo.out << demo.err;
  EXPECT_NE(demo.out.find("37 of 37 operations"), std::string::npos);
  const struct {
    const char* role;  // whose token, or "" for none
    const char* ca;
    std::vector<std::string> call;
    int status;
    const char* says;
  } cases[] = {
      {"operator", "ca.pem", {"zub.create", R"({"spec": {"vm": "a", "guest_OS": "b"}})"}, 0, ""},
      {"reader", "ca.pem", {"power.get", R"({"vm": "a"})"}, 0, ""},
      {"reader", "ca.pem", {"power.switch_on", R"({"vm": "a", "spec": {}})"}, 1, "unauthorized"},
      {"", "ca.pem", {"power.get", R"({"vm": "a"})"}, 1, "unauthenticated"},
      {"operator", "other.pem", {"dock.list"}, 5, "could not reach the host"},
  };
  for (auto& c : cases) {
    std::vector<std::string> args{"--host", host, "--tls-ca", d + "/" + c.ca, "--timeout", "2"};
    if (*c.role) args.insert(args.end(), {"--token", token[c.role]});
    args.push_back("call");
    args.insert(args.end(), c.call.begin(), c.call.end());
    Outcome o = Exec(args);
    EXPECT_EQ(o.status, c.status) << c.role << " " << c.call[0] << ": " << o.err;
    EXPECT_NE(o.err.find(c.says), std::string::npos) << o.err;
  }
  // The token may come from the environment instead.
  ::setenv("KOV_VM_TOKEN", token["reader"].c_str(), 1);
  Outcome fromEnvironment = Exec({"--host", host, "--tls-ca", d + "/ca.pem", "call", "dock.list"});
  ::unsetenv("KOV_VM_TOKEN");
  EXPECT_EQ(fromEnvironment.status, 0) << fromEnvironment.err;
  EXPECT_NE(ReadFile(d + "/serve.err").find(" a-reader power.switch_on unauthorized "),
            std::string::npos);
}

}  // namespace
}  // namespace Sim
}  // namespace Kov

#endif  // KOV_VM_BINARY
