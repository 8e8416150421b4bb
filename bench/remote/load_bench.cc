// Load on a served simulator: N clients at once, each with its own connection, each making M calls
// one after another (the CPU "get" of a machine of its own). Prints, for each N, the throughput of
// all clients together and the latency of one call: p50, p99 and max.
//
//   build/release/bench/remote/load_bench              (the simulator served in this process)
//   build/release/bench/remote/load_bench --host ADDR [--token T] [--calls M] [--clients 1,4,16]
//   build/release/bench/remote/load_bench --smoke      (a few calls; what CI runs)
//
// With --host it loads a running `kov-vm serve` (a token needs the operator role: each client
// first creates its machine).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "remote/client.h"
#include "remote/server.h"
#include "runtime/local_provider.h"
#include "runtime/stub.h"
#include "tools/sim/simulator.h"
#include "vm/compute/cpus.h"
#include "vm/zub.h"

namespace {

using Com::Brantel::Kov::Vm::ZubSvc;
using Com::Brantel::Kov::Vm::Compute::CpusSvc;
using Clock = std::chrono::steady_clock;

struct Options {
  std::string host;
  std::string token;
  int calls = 2000;
  std::vector<int> clients{1, 4, 16};
};

// Calls `call(result)` and waits for the answer; false when it is an error.
template <class M, class Call>
bool CallAndWait(Call&& call) {
  std::promise<bool> answered;
  typename M::ResultCbType result([&](const auto& output, const auto& error, const auto&) {
    answered.set_value(output && !error);
  });
  call(result);
  return answered.get_future().get();
}

// One client's run: its machine, then `calls` timed gets. Latencies in microseconds.
bool RunClient(const Options& options, const std::string& address, const std::string& machine,
               std::vector<double>& latencies) {
  Tarn::Remote::ClientOptions clientOptions;
  clientOptions.address = address;
  clientOptions.token = options.token;
  Tarn::MessageList messages;
  auto client = Tarn::Remote::Client::Create(clientOptions, messages);
  if (!client) return false;
  auto apiStub = Tarn::Stub::AsyncApiStub::GetInstance(client);
  ZubSvc::AsyncServiceStub zub(apiStub);
  CpusSvc::AsyncServiceStub cpus(apiStub);
  auto spec = std::make_shared<ZubSvc::CreateSpec>();
  spec->vm = machine;
  spec->guestOS = "zubuntu-64";
  if (!CallAndWait<ZubSvc::CreateMethod>([&](auto& r) { zub.Create(spec, nullptr, r); })) {
    return false;
  }
  latencies.reserve(static_cast<std::size_t>(options.calls));
  for (int i = 0; i < options.calls; ++i) {
    const auto start = Clock::now();
    if (!CallAndWait<CpusSvc::GetMethod>([&](auto& r) { cpus.Get(machine, nullptr, r); })) {
      return false;
    }
    latencies.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
  }
  return true;
}

// N clients at once; prints one row. False when a call failed.
bool RunRound(const Options& options, const std::string& address, int clients) {
  std::vector<std::vector<double>> latencies(static_cast<std::size_t>(clients));
  std::vector<char> ok(static_cast<std::size_t>(clients), 0);
  const auto start = Clock::now();
  std::vector<std::thread> threads;
  for (int c = 0; c < clients; ++c) {
    threads.emplace_back([&, c] {
      const std::string machine = "load-" + std::to_string(clients) + "-" + std::to_string(c);
      ok[c] = RunClient(options, address, machine, latencies[c]);
    });
  }
  for (auto& t : threads) t.join();
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  if (std::count(ok.begin(), ok.end(), 0) != 0) {
    std::fprintf(stderr, "load_bench: a call to %s failed\n", address.c_str());
    return false;
  }
  std::vector<double> all;
  for (auto& l : latencies) all.insert(all.end(), l.begin(), l.end());
  std::sort(all.begin(), all.end());
  auto at = [&](double q) { return all[static_cast<std::size_t>(q * (all.size() - 1))]; };
  std::printf("%7d %7d %14.0f %10.0f %10.0f %10.0f\n", clients, options.calls,
              static_cast<double>(all.size()) / seconds, at(0.5), at(0.99), all.back());
  return true;
}

bool Parse(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--smoke") {
      options.calls = 5;
      options.clients = {1, 2};
    } else if (arg == "--host" && hasValue) {
      options.host = argv[++i];
    } else if (arg == "--token" && hasValue) {
      options.token = argv[++i];
    } else if (arg == "--calls" && hasValue) {
      options.calls = std::atoi(argv[++i]);
    } else if (arg == "--clients" && hasValue) {
      options.clients.clear();
      std::stringstream list(argv[++i]);
      for (std::string n; std::getline(list, n, ',');)
        options.clients.push_back(std::atoi(n.c_str()));
    } else {
      return false;
    }
  }
  return options.calls > 0 && !options.clients.empty() &&
         std::all_of(options.clients.begin(), options.clients.end(), [](int n) { return n > 0; });
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!Parse(argc, argv, options)) {
    std::fprintf(stderr,
                 "usage: load_bench [--smoke] [--host ADDR] [--token T] [--calls M] "
                 "[--clients N,N,...]\n");
    return 2;
  }
  std::unique_ptr<Tarn::Remote::Server> server;
  std::string address = options.host;
  if (address.empty()) {
    auto provider = Tarn::Core::LocalProvider::GetInstance();
    Tarn::MessageList messages;
    if (!Kov::Sim::Simulator().RegisterWith(*provider, messages)) return 1;
    server = Tarn::Remote::Server::Start(provider, Tarn::Remote::ServerOptions{}, messages);
    if (!server) return 1;
    address = "127.0.0.1:" + std::to_string(server->port());
  }
  std::printf("%7s %7s %14s %10s %10s %10s\n", "clients", "calls", "calls/s", "p50 us", "p99 us",
              "max us");
  bool ok = true;
  for (int clients : options.clients) ok = ok && RunRound(options, address, clients);
  if (server) server->Shutdown(std::chrono::seconds(1));
  return ok ? 0 : 1;
}
