#include "tools/kov-vm/remote_host.h"

#include <pthread.h>
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <mutex>
#include <ostream>
#include <random>
#include <sstream>
#include <vector>

#include "remote/client.h"
#include "remote/server.h"
#include "runtime/std_errors.h"
#include "tools/kov-vm/cli.h"
#include "tools/sim/catalog.h"
#include "tools/sim/json_value.h"
#include "tools/sim/simulator.h"
#include "tools/sim/state_file.h"

namespace Kov {
namespace Cli {

namespace {

namespace StdErrors = ::Com::Brantel::Tarn::Std::Errors;

const char kDefaultListen[] = "127.0.0.1:7443";

std::string Hex(const Tarn::Remote::Sha256Digest& digest) {
  static const char digits[] = "0123456789abcdef";
  std::string hex;
  for (auto byte : digest) {
    hex += digits[byte >> 4];
    hex += digits[byte & 15];
  }
  return hex;
}

bool ValidName(const std::string& name) {
  if (name.empty() || name.size() > 64) return false;
  for (char c : name) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                    c == '-' || c == '_' || c == '.';
    if (!ok) return false;
  }
  return true;
}

bool ParseRole(const std::string& text, Tarn::Remote::Role& role) {
  if (text == "reader") {
    role = Tarn::Remote::Role::kReader;
  } else if (text == "operator") {
    role = Tarn::Remote::Role::kOperator;
  } else {
    return false;
  }
  return true;
}

// Reads a tokens file: one entry a line, "NAME ROLE DIGEST"; blank lines and lines starting with
// "#" are skipped. False with `problem` naming the line for anything else.
bool ReadTokens(const std::string& path, std::vector<Tarn::Remote::TokenEntry>& tokens,
                std::string& problem) {
  std::ifstream in(path);
  if (!in) {
    problem = "cannot read the tokens file " + Sim::Cut(path);
    return false;
  }
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    std::istringstream fields(line);
    std::string name, role, digest, extra;
    if (!(fields >> name) || name[0] == '#') continue;
    const std::string where = Sim::Cut(path) + ":" + std::to_string(number) + ": ";
    Tarn::Remote::TokenEntry entry;
    Tarn::MessageList messages;
    if (!(fields >> role >> digest) || (fields >> extra)) {
      problem = where + "an entry is NAME ROLE SHA256-DIGEST";
    } else if (!ValidName(name)) {
      problem = where + "a name is 1 to 64 letters, digits, '-', '_' or '.'";
    } else if (!ParseRole(role, entry.role)) {
      problem = where + "the role is reader or operator, not " + Sim::Cut(role);
    } else if (!Tarn::Remote::ParseTokenDigest(digest, entry.digest, messages)) {
      problem = where + "the digest is 64 hexadecimal digits";
    } else {
      for (auto& t : tokens) {
        if (t.name == name) problem = where + "the name " + name + " is given twice";
      }
    }
    if (!problem.empty()) return false;
    entry.name = name;
    tokens.push_back(std::move(entry));
  }
  if (tokens.empty()) {
    problem = "the tokens file " + Sim::Cut(path) + " holds no token";
    return false;
  }
  return true;
}

// Whether the address can be reached only from this machine.
bool Loopback(const std::string& address) {
  std::string host = address;
  if (!host.empty() && host[0] == '[') {
    host = host.substr(1, host.find(']') == std::string::npos ? 0 : host.find(']') - 1);
  } else if (host.find(':') != std::string::npos) {
    host = host.substr(0, host.rfind(':'));
  }
  return host == "localhost" || host == "::1" || host.compare(0, 4, "127.") == 0;
}

// "ipv4:127.0.0.1:50432" as "127.0.0.1:50432".
std::string Peer(const std::string& peer) {
  for (const char* prefix : {"ipv4:", "ipv6:"}) {
    const std::string p(prefix);
    if (peer.compare(0, p.size(), p) == 0) return peer.substr(p.size());
  }
  return peer;
}

std::string Now() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  const auto millis =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm utc;
  gmtime_r(&seconds, &utc);
  char text[64];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
  char fraction[8];
  std::snprintf(fraction, sizeof fraction, ".%03dZ", static_cast<int>(millis));
  return std::string(text) + fraction;
}

// The served lab and its state file: after every call, before its answer goes out, the lab is
// saved when it is not what was saved last. Saves take turns, each with the lab as it is then,
// so a later save never writes an older lab.
class SavedLab {
 public:
  SavedLab(std::shared_ptr<Sim::Lab> lab, std::string realPath, Sim::StateFile::Lock& lock)
      : lab_(std::move(lab)), realPath_(std::move(realPath)), lock_(lock) {
    saved_ = Sim::StateFile::ToJson(lab_->data);
  }

  bool SaveIfChanged(std::string& problem) {
    std::lock_guard<std::mutex> turn(mutex_);
    Sim::LabData copy;
    {
      std::lock_guard<std::mutex> guard(lab_->mutex);
      copy = lab_->data;
    }
    nlohmann::json now = Sim::StateFile::ToJson(copy);
    if (now == saved_) return true;
    if (!Sim::StateFile::Save(realPath_, copy, problem, &lock_)) return false;
    saved_ = std::move(now);
    return true;
  }

 private:
  std::shared_ptr<Sim::Lab> lab_;
  std::string realPath_;
  Sim::StateFile::Lock& lock_;
  std::mutex mutex_;
  nlohmann::json saved_;
};

// Passes calls to the simulator and, when it keeps a state file, saves a changed lab before
// the final answer is passed back, so that an answered change is on disk.
class SavingTarget final : public Tarn::Core::InvocationTarget {
 public:
  SavingTarget(std::shared_ptr<Tarn::Core::InvocationTarget> next, SavedLab* saved,
               std::function<void(const std::string&)> report)
      : next_(std::move(next)), saved_(saved), report_(std::move(report)) {}

  void Invoke(const std::shared_ptr<const Tarn::Core::MethodIdentifier>& methodId,
              const Tarn::Data::DataValuePtr& input,
              const std::shared_ptr<Tarn::Core::AsyncActivation>& activation,
              const Tarn::Core::AsyncApiResultCb& resultCb) override {
    if (!saved_) return next_->Invoke(methodId, input, activation, resultCb);
    SavedLab* saved = saved_;
    auto report = report_;
    next_->Invoke(
        methodId, input, activation,
        [saved, report, resultCb](const Tarn::Core::MethodResultPtr& result,
                                  const Tarn::Progress& progress,
                                  Tarn::Core::AsyncApiResultCb::Continuation&& next) {
          std::string problem;
          if (!result || saved->SaveIfChanged(problem)) {
            return resultCb(result, progress, std::move(next));
          }
          report("the lab could not be saved: " + problem);
          resultCb(
              std::make_shared<Tarn::Core::MethodResult>(
                  nullptr, StdErrors::InternalServerError::Create({Tarn::MakeMessage(
                               "kov.vm.serve.save",
                               "The call ran, but the lab could not be saved: {}.", problem)})),
              progress, std::move(next));
        });
  }

 private:
  std::shared_ptr<Tarn::Core::InvocationTarget> next_;
  SavedLab* saved_;
  std::function<void(const std::string&)> report_;
};

}  // namespace

bool TimeoutOf(const OptionMap& options, int& seconds, std::string& problem) {
  seconds = 30;
  auto it = options.find("timeout");
  if (it == options.end()) return true;
  char* end = nullptr;
  const long value = std::strtol(it->second.c_str(), &end, 10);
  if (it->second.empty() || *end != '\0' || value < 1 || value > 86400) {
    problem = "--timeout takes whole seconds, 1 to 86400";
    return false;
  }
  seconds = static_cast<int>(value);
  return true;
}

std::shared_ptr<Tarn::Core::InvocationTarget> ConnectHost(const OptionMap& options,
                                                          std::string& problem) {
  Tarn::Remote::ClientOptions client;
  client.address = options.at("host");
  if (options.count("tls-ca")) client.caFile = options.at("tls-ca");
  if (options.count("token")) {
    client.token = options.at("token");
  } else if (const char* token = std::getenv("KOV_VM_TOKEN")) {
    client.token = token;
  }
  int seconds = 0;
  if (!TimeoutOf(options, seconds, problem)) return nullptr;
  client.deadline = std::chrono::seconds(seconds);
  Tarn::MessageList messages;
  auto target = Tarn::Remote::Client::Create(client, messages);
  if (!target) {
    problem = "cannot use the host " + Sim::Cut(client.address) + ":";
    for (auto& m : messages) problem += " " + m.defaultMessage;
  }
  return target;
}

bool Unreachable(const Tarn::Data::ErrorValue& error) {
  return error.name() == StdErrors::ServiceUnavailable::typeName;
}

int RunServe(const OptionMap& options, std::ostream& out, std::ostream& err) {
  auto usage = [&](const std::string& problem) {
    err << "kov-vm serve: " << problem << "\n(`kov-vm help` shows the options of serve)\n";
    return kExitUsage;
  };
  Tarn::Remote::ServerOptions server;
  server.address = options.count("listen") ? options.at("listen") : kDefaultListen;
  std::string problem;
  if (options.count("tokens") && !ReadTokens(options.at("tokens"), server.tokens, problem)) {
    return usage(problem);
  }
  if (server.tokens.empty() && !Loopback(server.address)) {
    return usage("without --tokens anyone who reaches " + Sim::Cut(server.address) +
                 " could change the lab; listen on a loopback address (127.0.0.1) or give "
                 "--tokens FILE");
  }
  if (options.count("tls-cert") != options.count("tls-key")) {
    return usage("TLS needs both --tls-cert and --tls-key");
  }
  if (options.count("tls-cert")) {
    server.certFile = options.at("tls-cert");
    server.keyFile = options.at("tls-key");
  }
  if (options.count("max-calls")) {
    char* end = nullptr;
    const long value = std::strtol(options.at("max-calls").c_str(), &end, 10);
    if (options.at("max-calls").empty() || *end != '\0' || value < 1 || value > 100000) {
      return usage("--max-calls takes a number of calls, 1 to 100000");
    }
    server.maxConcurrentCalls = static_cast<std::size_t>(value);
  }
  const bool quiet = options.count("quiet") != 0;

  auto lab = std::make_shared<Sim::Lab>();
  Sim::StateFile::Lock lock;
  std::unique_ptr<SavedLab> saved;
  if (options.count("state")) {
    std::string realPath;
    if (!Sim::StateFile::Resolve(options.at("state"), realPath, problem) ||
        !lock.Acquire(realPath, problem)) {
      err << "kov-vm serve: " << problem << "\n";
      return kExitState;
    }
    const auto loaded = Sim::StateFile::Load(realPath, lab->data, problem);
    if (loaded == Sim::StateFile::LoadResult::kRefused) {
      err << "kov-vm serve: " << problem << "\nkov-vm serve: the state file was left as it is.\n";
      return kExitState;
    }
    // A new file is made at once, so that the lock is on the file itself from the start.
    if (!Sim::StateFile::CheckWritable(realPath, problem) ||
        (loaded == Sim::StateFile::LoadResult::kMissing &&
         !Sim::StateFile::Save(realPath, lab->data, problem, &lock)) ||
        !lock.MarkServed(problem)) {
      err << "kov-vm serve: " << problem << "\n";
      return kExitState;
    }
    saved = std::make_unique<SavedLab>(lab, realPath, lock);
  }

  auto provider = Tarn::Core::LocalProvider::GetInstance();
  Tarn::MessageList messages;
  if (!Sim::Simulator(lab).RegisterWith(*provider, messages)) {
    err << "kov-vm serve: the simulator could not be registered\n";
    return kExitFailed;
  }
  auto logMutex = std::make_shared<std::mutex>();
  auto report = [logMutex, &err](const std::string& line) {
    std::lock_guard<std::mutex> guard(*logMutex);
    err << "kov-vm serve: " << line << std::endl;
  };
  server.readsOnly = Tarn::Remote::ReadsOnlyOf(provider);
  if (!quiet) {
    server.onCallDone = [logMutex, &err](const Tarn::Remote::CallRecord& call) {
      const std::string service = call.interfaceName.substr(call.interfaceName.rfind('.') + 1);
      char duration[32];
      std::snprintf(duration, sizeof duration, "%.3fms",
                    static_cast<double>(call.duration.count()) / 1000.0);
      std::lock_guard<std::mutex> guard(*logMutex);
      err << Now() << " " << Peer(call.peer) << " "
          << (call.tokenName.empty() ? "-" : call.tokenName) << " " << service << "." << call.method
          << " " << (call.error.empty() ? "ok" : Sim::ShortErrorName(call.error)) << " " << duration
          << std::endl;
    };
  }

  // The signals that stop the server are taken by this thread alone: blocked before gRPC makes
  // its threads, which inherit the mask, and awaited below.
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGINT);
  sigaddset(&stop, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop, nullptr);

  auto target = std::make_shared<SavingTarget>(provider, saved.get(), report);
  auto running = Tarn::Remote::Server::Start(target, server, messages);
  if (!running) {
    err << "kov-vm serve: cannot serve on " << Sim::Cut(server.address) << ":";
    for (auto& m : messages) err << " " << m.defaultMessage;
    err << "\n";
    return kExitUnreachable;
  }
  const std::string host = server.address.substr(0, server.address.rfind(':'));
  out << "listening on " << host << ":" << running->port() << std::endl;
  if (!out) return kExitOutput;
  if (server.tokens.empty()) {
    report("no --tokens: serving loopback only, every caller may change the lab");
  }
  int signal = 0;
  while (sigwait(&stop, &signal) != 0) {
  }
  report(std::string("stopping on ") + (signal == SIGINT ? "SIGINT" : "SIGTERM") +
         "; calls in flight finish");
  running->Shutdown(std::chrono::seconds(5));
  running.reset();
  if (saved && !saved->SaveIfChanged(problem)) {
    report("the lab could not be saved: " + problem);
    return kExitState;
  }
  return kExitOk;
}

int RunTokenNew(const OptionMap& options, std::ostream& out, std::ostream& err) {
  Tarn::Remote::Role role;
  if (!options.count("name") || !ValidName(options.at("name"))) {
    err << "kov-vm: token new needs --name NAME: 1 to 64 letters, digits, '-', '_' or '.'\n";
    return kExitUsage;
  }
  if (!options.count("role") || !ParseRole(options.at("role"), role)) {
    err << "kov-vm: token new needs --role reader or --role operator\n";
    return kExitUsage;
  }
  std::random_device random;
  std::string token = "kov_";
  static const char digits[] = "0123456789abcdef";
  for (int i = 0; i < 8; ++i) {
    const unsigned word = random();
    for (int shift = 0; shift < 32; shift += 4) token += digits[(word >> shift) & 15];
  }
  out << "token (shown once; give it to its holder, e.g. in KOV_VM_TOKEN):\n  " << token
      << "\nentry for the tokens file:\n  " << options.at("name") << " " << options.at("role")
      << " " << Hex(Tarn::Remote::TokenDigest(token)) << "\n";
  return out.flush() ? kExitOk : kExitOutput;
}

}  // namespace Cli
}  // namespace Kov
