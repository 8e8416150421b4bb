#include "tools/kov-vm/cli.h"

#include <fcntl.h>
#include <sys/stat.h>
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
#include "tools/kov-vm/remote_host.h"
#include "tools/sim/catalog.h"
#include "tools/sim/json_value.h"
#include "tools/sim/shapes.h"
#include "tools/sim/simulator.h"
#include "tools/sim/state_file.h"

namespace Kov {
namespace Cli {

using Sim::Catalog;

namespace {

const char kUsage[] =
    "usage: kov-vm [--state FILE | --host ADDR ...] COMMAND [ARGUMENTS]\n"
    "\n"
    "A client of the virtual-machine API, talking to an embedded simulator of the host, or to\n"
    "a host on the network with --host.\n"
    "\n"
    "commands:\n"
    "  list                           the services, their short names and operations\n"
    "  describe SERVICE[.OPERATION]   input and output shapes and errors of operations\n"
    "  call SERVICE.OPERATION [JSON]  call an operation with JSON input and print the answer\n"
    "                                 as JSON; JSON is inline text, @FILE to read a file, or -\n"
    "                                 to read standard input; without it the input is {}\n"
    "  demo                           a guided tour through every operation (fresh lab)\n"
    "  serve                          host the simulator on the network until SIGINT/SIGTERM\n"
    "  token new --name NAME --role reader|operator\n"
    "                                 a fresh token and its entry for a tokens file\n"
    "  version                        the library version\n"
    "  help                           this text\n"
    "\n"
    "options:\n"
    "  --state FILE  call, serve: load the simulator's lab from FILE first (a missing FILE\n"
    "                starts an empty lab) and save it back after a call that changed it;\n"
    "                commands sharing FILE run one after another (list and describe ignore it)\n"
    "  --host ADDR   call, demo: send the calls to the host serving at ADDR (host:port)\n"
    "  --tls-ca F    with --host: use TLS, trusting the certificates in the PEM file F\n"
    "  --token T     with --host: the bearer token (default: $KOV_VM_TOKEN)\n"
    "  --timeout S   with --host: seconds a call may take (default 30)\n"
    "\n"
    "serve options:\n"
    "  --listen ADDR          where to listen (default 127.0.0.1:7443; port 0: any free port)\n"
    "  --tokens FILE          accept only calls with a token listed in FILE (lines of\n"
    "                         NAME ROLE SHA256-HEX); needed to listen beyond loopback\n"
    "  --tls-cert F --tls-key F   TLS with this certificate chain and key (PEM)\n"
    "  --max-calls N          calls served at once (default 1000)\n"
    "  --quiet                no log line per call on standard error\n"
    "\n"
    "SERVICE is a service id (com.brantel.kov.vm.compute.cpus), the id without\n"
    "\"com.brantel.kov.vm.\" (compute.cpus), or its short name (cpus).\n"
    "\n"
    "input from a file or standard input: at most 64 MiB.\n"
    "\n"
    "exit status: 0 success; 1 the operation answered with an error; 2 bad command line or\n"
    "input (nothing was called); 3 the state file was refused or could not be saved; 4 the\n"
    "answer could not be written to standard output (the state file was not changed); 5 the\n"
    "host could not be reached (refused, TLS failure, deadline).\n";

struct Options {
  bool help = false;
  bool hasState = false;
  std::string statePath;
  OptionMap named;  // every option given, "state" too, by name without the dashes
  std::vector<std::string> positional;
};

// The options that take a value, and those that do not.
const char* const kValueOptions[] = {"state",   "host",      "tls-ca",   "token",
                                     "timeout", "listen",    "tls-cert", "tls-key",
                                     "tokens",  "max-calls", "name",     "role"};
const char* const kFlagOptions[] = {"quiet"};

int Usage(std::ostream& err, const std::string& problem) {
  err << "kov-vm: " << problem << "\n\n" << kUsage;
  return kExitUsage;
}

// A service or operation that does not exist: the problem and where to look, without the usage.
int Unknown(std::ostream& err, const std::string& problem) {
  err << "kov-vm: " << problem << "\n(`kov-vm list` shows the services and their operations)\n";
  return kExitUsage;
}

// Whatever went to standard output reached it: flushed without an error.
bool Written(std::ostream& out) { return static_cast<bool>(out.flush()); }

int Answered(std::ostream& out, std::ostream& err, int status) {
  if (Written(out)) return status;
  err << "kov-vm: the answer could not be written to standard output\n";
  return kExitOutput;
}

// Parses the command line; false with `problem` set for a malformed one.
bool ParseArgs(const std::vector<std::string>& args, Options& options, std::string& problem) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "-h" || a == "--help") {
      options.help = true;
      continue;
    }
    if (a.size() <= 2 || a[0] != '-' || a[1] != '-') {
      options.positional.push_back(a);
      continue;
    }
    const std::size_t equals = a.find('=');
    const std::string name =
        a.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
    bool takesValue = false, known = false;
    for (const char* o : kValueOptions) takesValue = takesValue || name == o;
    for (const char* o : kFlagOptions) known = known || name == o;
    if (!takesValue && !known) {
      problem = "unknown option " + Sim::Cut(a);
      return false;
    }
    if (options.named.count(name)) {
      problem = "--" + name + " is given twice";
      return false;
    }
    std::string value;
    if (!takesValue) {
      if (equals != std::string::npos) {
        problem = "--" + name + " takes no value";
        return false;
      }
    } else if (equals != std::string::npos) {
      value = a.substr(equals + 1);
    } else if (i + 1 < args.size()) {
      value = args[++i];
    }
    if (takesValue && value.empty()) {
      problem = "--" + name + (name == "state" ? " needs a file name" : " needs a value");
      return false;
    }
    options.named[name] = value;
  }
  auto state = options.named.find("state");
  options.hasState = state != options.named.end();
  if (options.hasState) options.statePath = state->second;
  return true;
}

// The first option given that `command` does not take, or "".
std::string Foreign(const Options& options, std::initializer_list<const char*> allowed) {
  for (auto& named : options.named) {
    bool ok = false;
    for (const char* a : allowed) ok = ok || named.first == a;
    if (!ok) return "--" + named.first;
  }
  return "";
}

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

// Reads at most kMaxInputBytes from `fd`; false with `problem` set on a read error or more input.
bool ReadLimited(int fd, const std::string& what, std::string& text, std::string& problem) {
  char buffer[65536];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      problem = "cannot read " + what + ": " + std::strerror(errno);
      return false;
    }
    if (n == 0) return true;
    if (text.size() + static_cast<std::size_t>(n) > Sim::kMaxInputBytes) {
      problem = what + " is larger than 64 MiB, the most kov-vm reads";
      return false;
    }
    text.append(buffer, static_cast<std::size_t>(n));
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
    char buffer[65536];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
      if (text.size() + static_cast<std::size_t>(in.gcount()) > Sim::kMaxInputBytes) {
        problem = "the standard input is larger than 64 MiB, the most kov-vm reads";
        return false;
      }
      text.append(buffer, static_cast<std::size_t>(in.gcount()));
    }
    if (in.bad()) {
      problem = "cannot read the input from standard input";
      return false;
    }
    return true;
  }
  if (!arg.empty() && arg[0] == '@') {
    const std::string path = arg.substr(1);
    const std::string what = "the input file " + Sim::Cut(path);
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      problem = "cannot read " + what + ": " + std::strerror(errno);
      return false;
    }
    struct stat st;
    bool ok = ::fstat(fd, &st) == 0;
    if (ok && S_ISDIR(st.st_mode)) {
      problem = what + " is a directory";
      ok = false;
    } else if (!ok) {
      problem = "cannot read " + what + ": " + std::strerror(errno);
    }
    ok = ok && ReadLimited(fd, what, text, problem);
    ::close(fd);
    return ok;
  }
  text = arg;
  return true;
}

// Calls an operation and waits for its final answer; null when none came within `seconds`.
Tarn::Core::MethodResultPtr InvokeAndWait(
    const std::shared_ptr<Tarn::Core::InvocationTarget>& target, const std::string& serviceId,
    const std::string& method, const Tarn::Data::DataValuePtr& input, int seconds) {
  auto promise = std::make_shared<std::promise<Tarn::Core::MethodResultPtr>>();
  auto future = promise->get_future();
  auto answered = std::make_shared<std::once_flag>();
  auto stub = Tarn::Stub::AsyncApiStub::GetInstance(target);
  stub->Invoke(Tarn::Core::MethodIdentifier::GetInstance(
                   Tarn::Core::InterfaceIdentifier::GetInstance(serviceId), method),
               input, nullptr,
               Tarn::Core::AsyncApiResultCb(
                   [promise, answered](const Tarn::Core::MethodResultPtr& result,
                                       const Tarn::Progress& progress,
                                       Tarn::Core::AsyncApiResultCb::Continuation&&) {
                     if (!result || !progress.IsFinal()) return;  // a progress report
                     std::call_once(*answered, [&] { promise->set_value(result); });
                   }));
  if (future.wait_for(std::chrono::seconds(seconds)) != std::future_status::ready) return nullptr;
  return future.get();
}

// The host could not be reached: the cause on one line, no usage.
int NotReached(std::ostream& err, const Tarn::Data::ErrorValue& error) {
  err << "kov-vm: could not reach the host:";
  for (auto& m : error.Messages()) err << " " << m.defaultMessage;
  err << "\n";
  return kExitUnreachable;
}

int Call(Host& host, const Options& options, std::istream& in, std::ostream& out, std::ostream& err,
         const std::shared_ptr<Tarn::Core::InvocationTarget>& remote) {
  const auto& positional = options.positional;
  if (positional.size() < 2) return Usage(err, "call needs SERVICE.OPERATION");
  if (positional.size() > 3) {
    return Usage(err, "call takes SERVICE.OPERATION and one JSON input; \"" +
                          Sim::Cut(positional[3]) + "\" is one too many (quote the JSON)");
  }
  const Catalog::Service* service = nullptr;
  Tarn::Provider::AsyncApiMethodPtr method;
  std::string problem;
  if (!host.catalog->FindOperation(positional[1], service, method, problem)) {
    return Unknown(err, problem);
  }
  const std::string name = service->alias + "." + method->methodName();
  std::string text;
  if (!ReadInput(positional, in, text, problem)) {
    err << "kov-vm: " << problem << "\n";
    return kExitUsage;
  }
  nlohmann::json json;
  if (!Sim::ParseJson(text, json, problem)) {
    err << "kov-vm: the input of " << name << " is not valid JSON: " << problem << "\n";
    return kExitUsage;
  }
  Tarn::Data::DataValuePtr input;
  if (!Sim::JsonToValue(json, method->inputDefinition(), input, problem,
                        Sim::Shapes::Get().Input(service->id, method->methodName()))) {
    err << "kov-vm: bad input for " << name << ": " << problem << "\n"
        << "(`kov-vm describe " << name << "` shows the input it takes)\n";
    return kExitUsage;
  }

  int timeout = 30;
  TimeoutOf(options.named, timeout, problem);
  auto result = InvokeAndWait(remote ? remote : host.provider, service->id, method->methodName(),
                              input, timeout + (remote ? 5 : 0));
  if (!result) {
    err << "kov-vm: " << name << " gave no answer\n";
    return kExitFailed;
  }
  if (result->error() && remote && Unreachable(*result->error())) {
    return NotReached(err, *result->error());
  }
  if (result->error()) {
    PrintError(err, name, *result->error());
    return kExitFailed;
  }
  out << Sim::ValueToJson(result->output())
             .dump(2, ' ', false, nlohmann::json::error_handler_t::replace)
      << "\n";
  if (!Written(out)) {
    err << "kov-vm: the answer of " << name
        << " could not be written to standard output; the state file was not changed\n";
    return kExitOutput;
  }
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
    return Unknown(err, problem);
  }
  if (method) {
    out << "service " << service->id << " (short name: " << service->alias << ")\n\n";
    Catalog::PrintOperation(out, *service, *method);
  } else {
    Catalog::PrintService(out, *service);
  }
  return Answered(out, err, kExitOk);
}

}  // namespace

int RunKovVm(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
             std::ostream& err) {
  Options options;
  std::string problem;
  if (!ParseArgs(args, options, problem)) return Usage(err, problem);
  if (options.help || (!options.positional.empty() && options.positional[0] == "help")) {
    out << kUsage;
    return Answered(out, err, kExitOk);
  }
  if (options.positional.empty()) return Usage(err, "no command given");
  const std::string& command = options.positional[0];

  if (command == "version") {
    if (options.positional.size() != 1) return Usage(err, "version takes no arguments");
    out << KovVmBindingsVersion() << "\n";
    return Answered(out, err, kExitOk);
  }
  if (command == "serve") {
    if (options.positional.size() != 1) return Usage(err, "serve takes no arguments");
    const std::string foreign = Foreign(
        options, {"state", "listen", "tls-cert", "tls-key", "tokens", "max-calls", "quiet"});
    if (!foreign.empty()) return Usage(err, foreign + " is not an option of serve");
    return RunServe(options.named, out, err);
  }
  if (command == "token") {
    if (options.positional.size() != 2 || options.positional[1] != "new") {
      return Usage(err, "token takes one subcommand: new");
    }
    const std::string foreign = Foreign(options, {"name", "role"});
    if (!foreign.empty()) return Usage(err, foreign + " is not an option of token new");
    return Answered(out, err, RunTokenNew(options.named, out, err));
  }
  if (command != "list" && command != "describe" && command != "call" && command != "demo") {
    return Usage(err, "unknown command \"" + Sim::Cut(command) + "\"");
  }
  const std::string foreign = Foreign(options, {"state", "host", "tls-ca", "token", "timeout"});
  if (!foreign.empty()) return Usage(err, foreign + " is an option of serve or token new");
  std::shared_ptr<Tarn::Core::InvocationTarget> remote;
  const bool hasHost = options.named.count("host") != 0;
  for (const char* o : {"tls-ca", "token", "timeout"}) {
    if (!hasHost && options.named.count(o))
      return Usage(err, "--" + std::string(o) + " needs --host");
  }
  if (hasHost && options.hasState) {
    return Usage(err,
                 "--state is for the embedded host; a served host keeps its own (serve --state)");
  }
  int timeout = 0;
  if (!TimeoutOf(options.named, timeout, problem)) return Usage(err, problem);
  // list and describe work from the bindings alone, whatever the host.
  if (hasHost && (command == "call" || command == "demo")) {
    remote = ConnectHost(options.named, problem);
    if (!remote) {
      err << "kov-vm: " << problem << "\n";
      return kExitUnreachable;
    }
  }
  if (command == "demo") {
    if (options.positional.size() != 1) return Usage(err, "demo takes no arguments");
    if (options.hasState) {
      return Usage(err, "demo always runs on a fresh lab of its own and takes no --state");
    }
    if (remote) {
      // The tour is no use against a host it cannot reach: that is found out first.
      Host local;
      const Catalog::Service* service = nullptr;
      Tarn::Provider::AsyncApiMethodPtr method;
      Tarn::Data::DataValuePtr input;
      if (!local.Start(err) ||
          !local.catalog->FindOperation("dock.list", service, method, problem) ||
          !Sim::JsonToValue(nlohmann::json::object(), method->inputDefinition(), input, problem,
                            Sim::Shapes::Get().Input(service->id, method->methodName()))) {
        err << "kov-vm: " << problem << "\n";
        return kExitFailed;
      }
      auto probe = InvokeAndWait(remote, service->id, method->methodName(), input, timeout + 5);
      if (probe && probe->error() && Unreachable(*probe->error())) {
        return NotReached(err, *probe->error());
      }
    }
    return Answered(out, err, RunDemo(out, remote).exitCode);
  }

  // list and describe show the services, which no lab changes: they leave the state file alone.
  Host host;
  if (command == "list") {
    if (options.positional.size() != 1) return Usage(err, "list takes no arguments");
    if (!host.Start(err)) return kExitFailed;
    host.catalog->PrintList(out);
    return Answered(out, err, kExitOk);
  }
  if (command == "describe") {
    if (options.positional.size() != 2) {
      return Usage(err, "describe takes one SERVICE or SERVICE.OPERATION");
    }
    if (!host.Start(err)) return kExitFailed;
    return Describe(host, options, out, err);
  }

  std::string realPath;
  Sim::StateFile::Lock lock;
  nlohmann::json before;
  if (options.hasState) {
    if (!Sim::StateFile::Resolve(options.statePath, realPath, problem) ||
        !lock.Acquire(realPath, problem)) {
      err << "kov-vm: " << problem << "\n";
      return kExitState;
    }
    switch (Sim::StateFile::Load(realPath, host.lab->data, problem)) {
      case Sim::StateFile::LoadResult::kRefused:
        err << "kov-vm: " << problem << "\nkov-vm: the state file was left as it is.\n";
        return kExitState;
      case Sim::StateFile::LoadResult::kMissing:
      case Sim::StateFile::LoadResult::kLoaded:
        break;
    }
    if (!Sim::StateFile::CheckWritable(realPath, problem)) {
      err << "kov-vm: " << problem << "\nkov-vm: nothing was called.\n";
      return kExitState;
    }
    before = Sim::StateFile::ToJson(host.lab->data);
  }
  if (!host.Start(err)) return kExitFailed;

  int status = Call(host, options, in, out, err, remote);
  if (status == kExitOk && options.hasState) {
    std::lock_guard<std::mutex> guard(host.lab->mutex);
    // A call that changed nothing leaves the file as it is.
    if (Sim::StateFile::ToJson(host.lab->data) != before &&
        !Sim::StateFile::Save(realPath, host.lab->data, problem)) {
      err << "kov-vm: the call succeeded, but its effect could not be saved: " << problem << "\n";
      return kExitState;
    }
  }
  return status;
}

}  // namespace Cli
}  // namespace Kov
