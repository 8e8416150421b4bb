// A client of the CPU service on another host: reads the CPU settings of "web-1", changes them
// and reads them again, through the typed stub over the network.
//
//   cpus_client address [token [ca-file]]
#include <boost/optional.hpp>
#include <cstdio>
#include <future>
#include <memory>
#include <string>

#include "remote/client.h"
#include "runtime/stub.h"
#include "vm/compute/cpus.h"

namespace {

using Com::Brantel::Kov::Vm::Compute::CpusSvc;

// Calls `call` with a result object of operation M and waits for its final answer. Prints the
// error and returns nothing when the call failed.
template <class M, class F>
boost::optional<typename M::Output> Wait(F call) {
  using R = typename M::Output;
  auto answer = std::make_shared<std::promise<boost::optional<R>>>();
  auto future = answer->get_future();
  typename M::ResultCbType result([answer](const boost::optional<R>& value,
                                           const Tarn::Data::ErrorValuePtr& error,
                                           const Tarn::Progress& progress) {
    if (!progress.IsFinal()) return;  // an intermediate report
    if (error) {
      std::fprintf(stderr, "cpus_client: %s\n", error->ToString().c_str());
    }
    answer->set_value(error ? boost::none : value);
  });
  call(result);
  return future.get();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: cpus_client address [token [ca-file]]\n");
    return 2;
  }
  Tarn::Remote::ClientOptions options;
  options.address = argv[1];
  if (argc > 2) options.token = argv[2];
  if (argc > 3) options.caFile = argv[3];  // TLS, trusting the certificates in this file
  Tarn::MessageList messages;
  auto client = Tarn::Remote::Client::Create(options, messages);
  if (!client) {
    std::fprintf(stderr, "cpus_client: %s\n", messages.at(0).defaultMessage.c_str());
    return 1;
  }
  CpusSvc::AsyncServiceStub cpus(Tarn::Stub::AsyncApiStub::GetInstance(client));

  auto before = Wait<CpusSvc::GetMethod>([&](auto& r) { cpus.Get("web-1", nullptr, r); });
  if (!before) return 1;
  std::printf("web-1 has %lld CPUs\n", static_cast<long long>((*before)->count));

  auto spec = std::make_shared<CpusSvc::UpdateSpec>();
  spec->count = 4;
  spec->coresPerSocket = 2;
  if (!Wait<CpusSvc::UpdateMethod>([&](auto& r) { cpus.Update("web-1", spec, nullptr, r); })) {
    return 1;
  }
  auto after = Wait<CpusSvc::GetMethod>([&](auto& r) { cpus.Get("web-1", nullptr, r); });
  if (!after) return 1;
  std::printf("web-1 now has %lld CPUs in sockets of %lld cores\n",
              static_cast<long long>((*after)->count),
              static_cast<long long>((*after)->coresPerSocket));
  return 0;
}
