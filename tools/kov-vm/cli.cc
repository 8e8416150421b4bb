#include "tools/kov-vm/cli.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <future>
#include <istream>
#include <iterator>
#include <memory>
#include <mutex>
#include <ostream>
#include <sstream>

#include "binding/version.h"
#include "runtime/local_provider.h"
#include "runtime/stub.h"
#include "tools/kov-vm/demo.h"
#include "tools/sim/catalog.h"
#include "tools/sim/json_value.h"
#include "tools/sim/simulator.h"
#include "tools/sim/state_file.h"

namespace Kov {
namespace Cli {

using Sim::Catalog;

namespace {

const char kUsage[] =
    "usage: kov-vm [--state FILE] COMMAND [ARGUMENTS]\n"
    "\n"
    "A client of the virtual-machine API, talking to an embedded simulator of the host.\n"
    "\n"
    "commands:\n"
    "  list                           the services, their short names and operations\n"
    "  describe SERVICE[.OPERATION]   input and output shapes and errors of operations\n"
    "  call SERVICE.OPERATION [JSON]  call an operation with JSON input and print the answer\n"
    "                                 as JSON; JSON is inline text, @FILE to read a file, or -\n"
    "                                 to read standard input; without it the input is {}\n"
    "  demo                           a guided tour through every operation (fresh lab)\n"
    "  version                        the library version\n"
    "  help                           this text\n"
    "\n"
    "options:\n"
    "  --state FILE  load the simulator's lab from FILE first (a missing FILE starts an empty\n"
    "                lab) and save it back after a successful call; FILE.lock serialises\n"
    "                commands that share FILE\n"
    "\n"
    "SERVICE is a service id (com.brantel.kov.vm.compute.cpus), the id without\n"
    "\"com.brantel.kov.vm.\" (compute.cpus), or its short name (cpus).\n"
    "\n"
    "exit status: 0 success; 1 the operation answered with an error; 2 bad command line or\n"
    "input (nothing was called); 3 the state file was refused or could not be saved.\n";

struct Options {
  bool help = false;
  bool hasState = false;
  std::string statePath;
  std::vector<std::string> positional;
};

int Usage(std::ostream& err, const std::string& problem) {
  err << "kov-vm: " << problem << "\n\n" << kUsage;
  return kExitUsage;
}

// Parses the command line; false with `problem` set for a malformed one.
bool ParseArgs(const std::vector<std::string>& args, Options& options, std::string& problem) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "-h" || a == "--help") {
      options.help = true;
    } else if (a == "--state" || a.compare(0, 8, "--state=") == 0) {
      if (options.hasState) {
        problem = "--state is given twice";
        return false;
      }
      if (a == "--state") {
        if (i + 1 >= args.size()) {
          problem = "--state needs a file name";
          return false;
        }
        options.statePath = args[++i];
      } else {
        options.statePath = a.substr(8);
      }
      if (options.statePath.empty()) {
        problem = "--state needs a file name";
        return false;
      }
      options.hasState = true;
    } else if (a.size() > 1 && a[0] == '-' && a[1] == '-') {
      problem = "unknown option " + a;
      return false;
    } else {
      options.positional.push_back(a);
    }
  }
  return true;
}

// Holds an exclusive lock on FILE.lock while the state file is read and written, so that
// commands sharing one state file run one after another.
class StateLock {
 public:
  bool Acquire(const std::string& statePath, std::string& error) {
    const std::string path = statePath + ".lock";
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0) {
      error = "cannot open the lock file " + path + ": " + std::strerror(errno);
      return false;
    }
    while (::flock(fd_, LOCK_EX) != 0) {
      if (errno == EINTR) continue;
      error = "cannot lock " + path + ": " + std::strerror(errno);
      return false;
    }
    return true;
  }
  ~StateLock() {
    if (fd_ >= 0) ::close(fd_);  // closing releases the lock
  }

 private:
  int fd_ = -1;
};

// Everything a command works with: the lab, the simulator bound into a local provider, and the
// catalogue of its services.
struct Host {
  std::shared_ptr<Sim::Lab> lab = std::make_shared<Sim::Lab>();
  std::shared_ptr<Tarn::Core::LocalProvider> provider = Tarn::Core::LocalProvider::GetInstance();
  std::unique_ptr<Catalog> catalog;

  bool Start(std::ostream& err) {
    Sim::Simulator simulator(lab);
    auto interfaces = simulator.Bind();
    Tarn::MessageList messages;
    for (auto& iface : interfaces) {
      if (!provider->Register(iface, messages)) {
        err << "kov-vm: the simulator could not be registered:";
        for (auto& m : messages) err << " " << m.defaultMessage;
        err << "\n";
        return false;
      }
    }
    catalog = std::make_unique<Catalog>(interfaces);
    return true;
  }
};

void PrintError(std::ostream& err, const std::string& what, const Tarn::Data::ErrorValue& error) {
  err << "kov-vm: " << what << " failed: " << Sim::ShortErrorName(error.name()) << " ("
      << error.name() << ")\n";
  for (auto& m : error.Messages()) {
    err << "  " << m.defaultMessage;
    if (!m.id.empty()) err << " [" << m.id << "]";
    err << "\n";
  }
}

// Reads the input argument of call: inline JSON, @FILE, or - for standard input.
bool ReadInput(const std::vector<std::string>& positional, std::istream& in, std::string& text,
               std::string& problem) {
  if (positional.size() < 3) {
    text = "{}";
    return true;
  }
  const std::string& arg = positional[2];
  if (arg == "-") {
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) {
      problem = "cannot read the input from standard input";
      return false;
    }
    return true;
  }
  if (!arg.empty() && arg[0] == '@') {
    std::ifstream file(arg.substr(1), std::ios::binary);
    if (!file) {
      problem = "cannot read the input file " + arg.substr(1) + ": " + std::strerror(errno);
      return false;
    }
    std::ostringstream buffer;
    buffer << file.rdbuf();
    text = buffer.str();
    return true;
  }
  text = arg;
  return true;
}

int Call(Host& host, const Options& options, std::istream& in, std::ostream& out, std::ostream& err,
         bool& changed) {
  const auto& positional = options.positional;
  if (positional.size() < 2) return Usage(err, "call needs SERVICE.OPERATION");
  if (positional.size() > 3) {
    return Usage(err, "call takes SERVICE.OPERATION and one JSON input; \"" + positional[3] +
                          "\" is one too many (quote the JSON)");
  }
  const Catalog::Service* service = nullptr;
  Tarn::Provider::AsyncApiMethodPtr method;
  std::string problem;
  if (!host.catalog->FindOperation(positional[1], service, method, problem)) {
    return Usage(err, problem);
  }
  const std::string name = service->alias + "." + method->methodName();
  std::string text;
  if (!ReadInput(positional, in, text, problem)) return Usage(err, problem);
  nlohmann::json json;
  try {
    json = nlohmann::json::parse(text);
  } catch (const nlohmann::json::parse_error& e) {
    err << "kov-vm: the input of " << name << " is not valid JSON: " << e.what() << "\n";
    return kExitUsage;
  }
  Tarn::Data::DataValuePtr input;
  if (!Sim::JsonToValue(json, method->inputDefinition(), input, problem)) {
    err << "kov-vm: bad input for " << name << ": " << problem << "\n"
        << "(`kov-vm describe " << name << "` shows the input it takes)\n";
    return kExitUsage;
  }

  auto promise = std::make_shared<std::promise<Tarn::Core::MethodResultPtr>>();
  auto future = promise->get_future();
  auto answered = std::make_shared<std::once_flag>();
  auto stub = Tarn::Stub::AsyncApiStub::GetInstance(host.provider);
  stub->Invoke(Tarn::Core::MethodIdentifier::GetInstance(
                   Tarn::Core::InterfaceIdentifier::GetInstance(service->id), method->methodName()),
               input, nullptr,
               Tarn::Core::AsyncApiResultCb(
                   [promise, answered](const Tarn::Core::MethodResultPtr& result,
                                       const Tarn::Progress& progress,
                                       Tarn::Core::AsyncApiResultCb::Continuation&&) {
                     if (!result || !progress.IsFinal()) return;  // a progress report
                     std::call_once(*answered, [&] { promise->set_value(result); });
                   }));
  if (future.wait_for(std::chrono::seconds(30)) != std::future_status::ready) {
    err << "kov-vm: " << name << " gave no answer\n";
    return kExitFailed;
  }
  auto result = future.get();
  if (result->error()) {
    PrintError(err, name, *result->error());
    return kExitFailed;
  }
  out << Sim::ValueToJson(result->output()).dump(2) << "\n";
  changed = true;
  return kExitOk;
}

int Describe(const Host& host, const Options& options, std::ostream& out, std::ostream& err) {
  if (options.positional.size() != 2) {
    return Usage(err, "describe takes one SERVICE or SERVICE.OPERATION");
  }
  const Catalog::Service* service = nullptr;
  Tarn::Provider::AsyncApiMethodPtr method;
  std::string problem;
  if (!host.catalog->FindTarget(options.positional[1], service, method, problem)) {
    return Usage(err, problem);
  }
  if (method) {
    out << "service " << service->id << " (short name: " << service->alias << ")\n\n";
    Catalog::PrintOperation(out, *service, *method);
  } else {
    Catalog::PrintService(out, *service);
  }
  return kExitOk;
}

}  // namespace

int RunKovVm(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
             std::ostream& err) {
  Options options;
  std::string problem;
  if (!ParseArgs(args, options, problem)) return Usage(err, problem);
  if (options.help || (!options.positional.empty() && options.positional[0] == "help")) {
    out << kUsage;
    return kExitOk;
  }
  if (options.positional.empty()) return Usage(err, "no command given");
  const std::string& command = options.positional[0];

  if (command == "version") {
    if (options.positional.size() != 1) return Usage(err, "version takes no arguments");
    out << KovVmBindingsVersion() << "\n";
    return kExitOk;
  }
  if (command == "demo") {
    if (options.positional.size() != 1) return Usage(err, "demo takes no arguments");
    if (options.hasState) {
      return Usage(err, "demo always runs on a fresh lab of its own and takes no --state");
    }
    return RunDemo(out).exitCode;
  }
  if (command != "list" && command != "describe" && command != "call") {
    return Usage(err, "unknown command \"" + command + "\"");
  }

  Host host;
  StateLock lock;
  if (options.hasState) {
    if (!lock.Acquire(options.statePath, problem)) {
      err << "kov-vm: " << problem << "\n";
      return kExitState;
    }
    switch (Sim::StateFile::Load(options.statePath, host.lab->data, problem)) {
      case Sim::StateFile::LoadResult::kRefused:
        err << "kov-vm: " << problem << "\nkov-vm: the state file was left as it is.\n";
        return kExitState;
      case Sim::StateFile::LoadResult::kMissing:
      case Sim::StateFile::LoadResult::kLoaded:
        break;
    }
  }
  if (!host.Start(err)) return kExitFailed;

  if (command == "list") {
    if (options.positional.size() != 1) return Usage(err, "list takes no arguments");
    host.catalog->PrintList(out);
    return kExitOk;
  }
  if (command == "describe") return Describe(host, options, out, err);

  bool changed = false;
  int status = Call(host, options, in, out, err, changed);
  if (status == kExitOk && changed && options.hasState) {
    std::lock_guard<std::mutex> guard(host.lab->mutex);
    if (!Sim::StateFile::Save(options.statePath, host.lab->data, problem)) {
      err << "kov-vm: the call succeeded, but its effect could not be saved: " << problem << "\n";
      return kExitState;
    }
  }
  return status;
}

}  // namespace Cli
}  // namespace Kov
