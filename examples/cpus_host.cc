// A host that serves its own implementation of the CPU service over the network.
//
//   cpus_host [address [token]]
//
// Listens on the address (default 127.0.0.1:0, a free port), prints the port, and serves until
// its standard input closes. With a token, only calls bearing it are served.
#include <cstdio>
#include <iostream>
#include <memory>
#include <mutex>
#include <string>

#include "remote/server.h"
#include "runtime/local_provider.h"
#include "runtime/std_errors.h"
#include "vm/compute/cpus.h"

namespace {

using Com::Brantel::Kov::Vm::Compute::CpusSvc;

// One machine, "web-1", whose CPU settings live in memory.
class Cpus final : public CpusSvc::AsyncServiceInterface {
 public:
  void Get(const std::string& vm, const std::shared_ptr<Tarn::Core::AsyncActivation>&,
           const CpusSvc::GetMethod::ResultCbType& result) override {
    if (vm != "web-1") return result.error(NotFound(vm));
    std::lock_guard<std::mutex> lock(mutex_);
    result(std::make_shared<const CpusSvc::Info>(info_));
  }

  void Update(const std::string& vm, const std::shared_ptr<const CpusSvc::UpdateSpec>& spec,
              const std::shared_ptr<Tarn::Core::AsyncActivation>&,
              const CpusSvc::UpdateMethod::ResultCbType& result) override {
    if (vm != "web-1") return result.error(NotFound(vm));
    std::lock_guard<std::mutex> lock(mutex_);
    if (spec->count) info_.count = *spec->count;
    if (spec->coresPerSocket) info_.coresPerSocket = *spec->coresPerSocket;
    result(Tarn::Void());
  }

 private:
  static Tarn::Data::ErrorValuePtr NotFound(const std::string& vm) {
    return Com::Brantel::Tarn::Std::Errors::NotFound::Create(
        {Tarn::MakeMessage("example.vm.unknown", "There is no machine '{}'.", vm)});
  }

  std::mutex mutex_;
  CpusSvc::Info info_ = [] {
    CpusSvc::Info info;
    info.count = 2;
    info.coresPerSocket = 1;
    return info;
  }();
};

}  // namespace

int main(int argc, char** argv) {
  Tarn::MessageList messages;
  auto provider = Tarn::Core::LocalProvider::GetInstance();
  if (!provider->Register(CpusSvc::AsyncServiceBinder::BindImplementation(std::make_shared<Cpus>()),
                          messages)) {
    std::fprintf(stderr, "cpus_host: %s\n", messages.at(0).defaultMessage.c_str());
    return 1;
  }
  Tarn::Remote::ServerOptions options;
  if (argc > 1) options.address = argv[1];
  if (argc > 2) {
    // An operator may call everything; a reader only what the service marks as reading.
    options.tokens = {
        {Tarn::Remote::TokenDigest(argv[2]), Tarn::Remote::Role::kOperator, "client"}};
    options.readsOnly = Tarn::Remote::ReadsOnlyOf(provider);
  }
  auto server = Tarn::Remote::Server::Start(provider, options, messages);
  if (!server) {
    std::fprintf(stderr, "cpus_host: %s\n", messages.at(0).defaultMessage.c_str());
    return 1;
  }
  std::printf("%d\n", server->port());
  std::fflush(stdout);
  std::string line;
  while (std::getline(std::cin, line)) {
  }
  server->Shutdown();
  return 0;
}
