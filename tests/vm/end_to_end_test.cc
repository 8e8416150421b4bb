// One service end to end: its stub, through the in-process provider, into a bound implementation
// and back. What only the whole chain shows: the implementation's errors are checked against the
// operation's list on their way to the client, and an answer given late, from another thread,
// after the service was withdrawn still reaches the client.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "runtime/std_errors.h"
#include "tests/vm/service_test_util.h"
#include "vm/compute/cpus.h"

namespace {

using Com::Brantel::Kov::Vm::Compute::CpusSvc;
using namespace ServiceTest;  // NOLINT(build/namespaces)
namespace Errors = ::Com::Brantel::Tarn::Std::Errors;
using GetResult = CpusSvc::GetMethod::ResultCbType;
using InfoPtr = std::shared_ptr<const CpusSvc::Info>;

class HostCpus : public CpusSvc::AsyncServiceInterface {
 public:
  void Get(const std::string&, const std::shared_ptr<Tarn::Core::AsyncActivation>&,
           const GetResult& result) override {
    onGet(result);
  }
  void Update(const std::string&, const std::shared_ptr<const CpusSvc::UpdateSpec>&,
              const std::shared_ptr<Tarn::Core::AsyncActivation>&,
              const CpusSvc::UpdateMethod::ResultCbType& result) override {
    result(Tarn::Void());
  }

  std::function<void(const GetResult&)> onGet;
};

class CpusEndToEnd : public ::testing::Test {
 protected:
  CpusEndToEnd() {
    Tarn::MessageList messages;
    EXPECT_TRUE(
        provider->Register(CpusSvc::AsyncServiceBinder::BindImplementation(host), messages));
  }
  Outcome<InfoPtr> Get() {
    return Call<InfoPtr>([&](auto cb) { stub.Get("vm-1", nullptr, cb); });
  }

  std::shared_ptr<HostCpus> host = std::make_shared<HostCpus>();
  std::shared_ptr<Tarn::Core::LocalProvider> provider = Tarn::Core::LocalProvider::GetInstance();
  CpusSvc::AsyncServiceStub stub{Tarn::Stub::AsyncApiStub::GetInstance(provider)};
};

TEST_F(CpusEndToEnd, ImplementationErrorsAreCheckedAgainstTheList) {
  auto listed = Errors::NotFound::Create(
      {Tarn::Message<Tarn::CoreTag>("tarn.provider.interface.not.found", "vm-1")});
  host->onGet = [&](const GetResult& result) { result.error(listed); };
  auto got = Get();
  ASSERT_TRUE(got.error);
  EXPECT_TRUE(got.error->Equals(*listed)) << got.error->ToString();

  // One outside the list arrives as the internal server error naming it; so does a null record,
  // without messages.
  host->onGet = [](const GetResult& result) { result.error(Errors::ResourceBusy::Create()); };
  got = Get();
  EXPECT_EQ(got.errorName(), StdError("internal_server_error"));
  ASSERT_TRUE(got.error);
  std::string args;
  for (auto& m : got.error->Messages()) {
    for (auto& a : m.args) args += a + " ";
  }
  EXPECT_NE(args.find(Errors::ResourceBusy::typeName), std::string::npos) << args;
  host->onGet = [](const GetResult& result) { result(nullptr); };
  got = Get();
  EXPECT_EQ(got.errorName(), StdError("internal_server_error"));
  EXPECT_TRUE(got.error && got.error->Messages().empty());
}

TEST_F(CpusEndToEnd, LateAnswerFromAnotherThreadAfterWithdrawalReachesTheClient) {
  GetResult kept;
  host->onGet = [&kept](const GetResult& result) { kept = result; };
  Outcome<InfoPtr> outcome;
  stub.Get("vm-1", nullptr, outcome.Callback());
  EXPECT_EQ(outcome.calls, 0);

  // The outstanding answer keeps the method object, and so the implementation, alive.
  std::weak_ptr<HostCpus> watch = host;
  EXPECT_TRUE(provider->Unregister("com.brantel.kov.vm.compute.cpus"));
  host.reset();
  EXPECT_FALSE(watch.expired());
  std::thread worker([result = std::move(kept)] {
    auto info = std::make_shared<CpusSvc::Info>();
    info->count = 32;
    result(info);
  });
  worker.join();
  ASSERT_TRUE(outcome.ok() && *outcome.value);
  EXPECT_EQ((*outcome.value)->count, 32);
  EXPECT_TRUE(watch.expired());
}

}  // namespace
