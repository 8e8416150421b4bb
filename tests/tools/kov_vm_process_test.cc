// The kov-vm program itself, run as separate processes the way a user runs it: exit statuses, one
// lab kept in a state file across ten runs, and a served lab called from other processes.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <thread>
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

  // Starts `kov-vm serve` with the arguments, its output in the folder, and waits for the line
  // with its address; the address, or "" when it did not come within ten seconds.
  std::string Serve(const std::vector<std::string>& args, const std::string& log = "serve.err") {
    std::vector<std::string> all{KOV_VM_BINARY, "serve"};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    const std::string out = dir_.path() + "/serve.out";
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&files, 2, (dir_.path() + "/" + log).c_str(),
                                     O_WRONLY | O_CREAT | O_APPEND, 0600);
    const int failed = posix_spawn(&server_, KOV_VM_BINARY, &files, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&files);
    if (failed) return "";
    for (int i = 0; i < 1000; ++i) {
      const std::string line = ReadFile(out);
      if (line.compare(0, 13, "listening on ") == 0 && line.back() == '\n') {
        return line.substr(13, line.size() - 14);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return "";
  }

  // Sends the server a signal and returns its exit status (-1: killed by a signal).
  int Stop(int signal = SIGTERM) {
    ::kill(server_, signal);
    int raw = 0;
    ::waitpid(server_, &raw, 0);
    server_ = -1;
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  }

  void TearDown() override {
    if (server_ > 0) Stop(SIGKILL);
  }

  // A shell line that runs twenty creates through --host at once, each writing its exit status
  // to st-<i>, and waits for them.
  std::string TwentyCreates(const std::string& host) {
    std::string command;
    for (int i = 0; i < 20; ++i) {
      command += "('" KOV_VM_BINARY "' --host " + host + " --timeout 10 call zub.create " +
                 "'{\"spec\": {\"vm\": \"web-" + std::to_string(i) +
                 "\", \"guest_OS\": \"zubuntu-64\"}}' >/dev/null 2>&1; echo $? >'" + dir_.path() +
                 "/st-" + std::to_string(i) + "') & ";
    }
    return command + "wait";
  }

  TempDir dir_;
  std::string state_ = dir_.path() + "/lab.json";
  pid_t server_ = -1;
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
  // An answer that cannot be written is a failure.
  const int raw = std::system("'" KOV_VM_BINARY "' call dock.list >/dev/full 2>/dev/null");
  EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 4);
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
      {"call", "power.switch_on", R"({"vm": "web", "spec": {"soft": true}})"},
      {"call", "memory.update", R"({"vm": "web", "update_spec": {"size": 4096}})"},
      {"call", "power.suspend", R"({"vm": "web"})"},
      {"call", "zub.delete", R"({"vm": "db"})"},
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
}

TEST_F(KovVmProcess, ServedLabTakesTwentyClientsAtOnceAndKeepsItsFile) {
  const std::string host = Serve({"--listen", "127.0.0.1:0", "--state", state_});
  ASSERT_FALSE(host.empty()) << ReadFile(dir_.path() + "/serve.err");
  // The file is the server's for its life: neither a second server nor a local run waits on it.
  Outcome second = Exec({"--state", state_, "serve", "--listen", "127.0.0.1:0"});
  EXPECT_EQ(second.status, 3);
  EXPECT_NE(second.err.find("in use by a running `kov-vm serve`"), std::string::npos) << second.err;
  EXPECT_EQ(Exec({"--state", state_, "call", "dock.list"}).status, 3);

  ASSERT_EQ(std::system(TwentyCreates(host).c_str()), 0);
  Outcome dock = Exec({"--host", host, "call", "dock.list"});
  for (int i = 0; i < 20; ++i) {
    EXPECT_EQ(ReadFile(dir_.path() + "/st-" + std::to_string(i)), "0\n") << i;
    EXPECT_NE(dock.out.find("\"web-" + std::to_string(i) + "\""), std::string::npos) << i;
  }
  // A call that changes nothing leaves the file alone; one that fails is logged with its error.
  const std::string saved = ReadFile(state_);
  struct stat before, after;
  ASSERT_EQ(::stat(state_.c_str(), &before), 0);
  EXPECT_EQ(Exec({"--host", host, "call", "zub.create",
                  R"({"spec": {"vm": "web-1", "guest_OS": "zubuntu-64"}})"})
                .status,
            1);
  ASSERT_EQ(::stat(state_.c_str(), &after), 0);
  EXPECT_EQ(before.st_ino, after.st_ino);
  EXPECT_EQ(Stop(SIGTERM), 0);
  const std::string log = ReadFile(dir_.path() + "/serve.err");
  EXPECT_NE(log.find(" 127.0.0.1:"), std::string::npos) << log;
  EXPECT_NE(log.find(" - zub.create ok "), std::string::npos) << log;
  EXPECT_NE(log.find(" - zub.create error "), std::string::npos) << log;
  EXPECT_EQ(ReadFile(state_), saved);
  EXPECT_EQ(Exec({"--state", state_, "call", "dock.list"}).out, dock.out);
}

TEST_F(KovVmProcess, EveryAcknowledgedCreateOutlivesAKilledServer) {
  std::string host = Serve({"--listen", "127.0.0.1:0", "--state", state_});
  ASSERT_FALSE(host.empty());
  std::thread clients([&] { std::system(TwentyCreates(host).c_str()); });
  // Killed once a few calls were answered, while the others are still coming.
  for (int i = 0; i < 2000; ++i) {
    const std::string log = ReadFile(dir_.path() + "/serve.err");
    if (std::count(log.begin(), log.end(), '\n') >= 4) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_EQ(Stop(SIGKILL), -1);
  clients.join();
  host = Serve({"--listen", "127.0.0.1:0", "--state", state_, "--quiet"});
  ASSERT_FALSE(host.empty()) << ReadFile(dir_.path() + "/serve.err");
  Outcome dock = Exec({"--host", host, "call", "dock.list"});
  ASSERT_EQ(dock.status, 0) << dock.err;
  int acknowledged = 0;
  for (int i = 0; i < 20; ++i) {
    const std::string status = ReadFile(dir_.path() + "/st-" + std::to_string(i));
    const bool present = dock.out.find("\"web-" + std::to_string(i) + "\"") != std::string::npos;
    // An acknowledged create is there; one that was not reached the host or not.
    EXPECT_TRUE(status == "0\n" ? present : status == "5\n") << i << ": " << status;
    acknowledged += status == "0\n";
  }
  EXPECT_GE(acknowledged, 1);
  EXPECT_EQ(Stop(SIGINT), 0);
  EXPECT_EQ(Exec({"--state", state_, "call", "dock.list"}).status, 0);
}

TEST_F(KovVmProcess, HostNotReachedIsItsOwnExitStatus) {
  // A socket that listens but never answers: the call's deadline passes.
  const int silent = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ASSERT_EQ(::bind(silent, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::listen(silent, 4), 0);
  ASSERT_EQ(::getsockname(silent, reinterpret_cast<sockaddr*>(&address), &length), 0);
  const std::string silentHost = "127.0.0.1:" + std::to_string(ntohs(address.sin_port));
  // A port that was just free: nobody listens there.
  const int closed = ::socket(AF_INET, SOCK_STREAM, 0);
  address.sin_port = 0;
  ::bind(closed, reinterpret_cast<sockaddr*>(&address), sizeof address);
  ::getsockname(closed, reinterpret_cast<sockaddr*>(&address), &length);
  const std::string closedHost = "127.0.0.1:" + std::to_string(ntohs(address.sin_port));
  ::close(closed);
  const struct {
    std::vector<std::string> args;
    int status;
    const char* says;
  } cases[] = {
      {{"--host", closedHost, "--timeout", "2", "call", "dock.list"}, 5, "could not reach"},
      {{"--host", silentHost, "--timeout", "2", "call", "dock.list"}, 5, "could not reach"},
      {{"--host", closedHost, "--timeout", "0", "call", "dock.list"}, 2, "--timeout"},
      {{"--token", "t", "call", "dock.list"}, 2, "--token needs --host"},
      {{"--host", closedHost, "--state", state_, "call", "dock.list"}, 2, "--state"},
      {{"serve", "--listen", "0.0.0.0:0"}, 2, "--tokens"},
      {{"serve", "--host", closedHost}, 2, "not an option of serve"},
      {{"--host", closedHost, "describe", "power.get"}, 0, ""},
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
  ::close(silent);
}

TEST_F(KovVmProcess, TokensRolesAndTlsThroughTheCli) {
  // A CA, a certificate for 127.0.0.1 signed by it, and a CA that signed nothing here.
  const std::string d = dir_.path();
  const std::string key = " -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 1";
  const std::string certs =
      "cd '" + d +
      "' && printf 'subjectAltName=IP:127.0.0.1' >san && "
      "openssl req -x509" +
      key +
      " -keyout ca.key -out ca.pem -subj /CN=kov-test-ca && "
      "openssl req -x509" +
      key +
      " -keyout other.key -out other.pem -subj /CN=kov-other-ca && "
      "openssl req" +
      key +
      " -keyout host.key -out host.csr -subj /CN=127.0.0.1 && "
      "openssl x509 -req -in host.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 1 "
      "-extfile san -out host.pem 2>/dev/null >/dev/null";
  ASSERT_EQ(std::system((certs + " 2>/dev/null").c_str()), 0);
  std::string tokens = "# name role sha256\n";
  std::map<std::string, std::string> token;
  for (const char* role : {"reader", "operator"}) {
    Outcome made = Exec({"token", "new", "--name", std::string("a-") + role, "--role", role});
    ASSERT_EQ(made.status, 0) << made.err;
    std::istringstream lines(made.out);
    std::string line;
    std::vector<std::string> all;
    while (std::getline(lines, line)) all.push_back(line.substr(line.find_first_not_of(' ')));
    ASSERT_EQ(all.size(), 4u) << made.out;
    token[role] = all[1];
    tokens += all[3] + "\n";
  }
  WriteFile(d + "/tokens", tokens);
  const std::string host = Serve({"--listen", "127.0.0.1:0", "--tokens", d + "/tokens",
                                  "--tls-cert", d + "/host.pem", "--tls-key", d + "/host.key"});
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
      {"operator",
       "ca.pem",
       {"zub.create", R"({"spec": {"vm": "web-1", "guest_OS": "zubuntu-64"}})"},
       0,
       ""},
      {"reader", "ca.pem", {"power.get", R"({"vm": "web-1"})"}, 0, ""},
      {"reader",
       "ca.pem",
       {"power.switch_on", R"({"vm": "web-1", "spec": {}})"},
       1,
       "unauthorized"},
      {"", "ca.pem", {"power.get", R"({"vm": "web-1"})"}, 1, "unauthenticated"},
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
