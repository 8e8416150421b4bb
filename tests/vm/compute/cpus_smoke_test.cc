#include <gtest/gtest.h>

#include "runtime/local_provider.h"
#include "vm/compute/cpus.h"

namespace {

using Com::Brantel::Kov::Vm::Compute::CpusSvc;
using Tarn::Core::AsyncActivation;

class FixedCpus : public CpusSvc::AsyncServiceInterface {
 public:
  void Get(const std::string& vm, const std::shared_ptr<AsyncActivation>&,
           const CpusSvc::GetMethod::ResultCbType& result) override {
    if (vm == "missing") {
      result.error(Com::Brantel::Tarn::Std::Errors::NotFound::Create());
      return;
    }
    auto info = std::make_shared<CpusSvc::Info>();
    info->count = 4;
    info->coresPerSocket = 2;
    result(info);
  }
  void Update(const std::string&, const std::shared_ptr<const CpusSvc::UpdateSpec>& spec,
              const std::shared_ptr<AsyncActivation>&,
              const CpusSvc::UpdateMethod::ResultCbType& result) override {
    lastCount = spec->count;
    result(Tarn::Void());
  }
  boost::optional<std::int64_t> lastCount;
};

TEST(CpusSmoke, RoundTripThroughLocalProvider) {
  auto impl = std::make_shared<FixedCpus>();
  auto provider = Tarn::Core::LocalProvider::GetInstance();
  Tarn::MessageList messages;
  ASSERT_TRUE(provider->Register(CpusSvc::AsyncServiceBinder::BindImplementation(impl), messages));
  CpusSvc::AsyncServiceStub stub(Tarn::Stub::AsyncApiStub::GetInstance(provider));

  std::shared_ptr<const CpusSvc::Info> got;
  stub.Get("vm-1", nullptr,
           [&](const boost::optional<std::shared_ptr<const CpusSvc::Info>>& r,
               const Tarn::Data::ErrorValuePtr& e, const Tarn::Progress&) {
             ASSERT_FALSE(e) << e->ToString();
             got = *r;
           });
  ASSERT_TRUE(got);
  EXPECT_EQ(got->count, 4);
  EXPECT_EQ(got->coresPerSocket, 2);

  Tarn::Data::ErrorValuePtr error;
  stub.Get("missing", nullptr,
           [&](const boost::optional<std::shared_ptr<const CpusSvc::Info>>&,
               const Tarn::Data::ErrorValuePtr& e, const Tarn::Progress&) { error = e; });
  ASSERT_TRUE(error);
  EXPECT_EQ(error->name(), "com.brantel.tarn.std.errors.not_found");

  auto spec = std::make_shared<CpusSvc::UpdateSpec>();
  spec->count = 8;
  bool done = false;
  stub.Update("vm-1", spec, nullptr,
              [&](const boost::optional<Tarn::Void>& r, const Tarn::Data::ErrorValuePtr& e,
                  const Tarn::Progress&) {
                ASSERT_FALSE(e) << e->ToString();
                done = r.has_value();
              });
  EXPECT_TRUE(done);
  EXPECT_TRUE(impl->lastCount == std::int64_t{8});

  stub.Update("vm-1", nullptr, nullptr,
              [&](const boost::optional<Tarn::Void>&, const Tarn::Data::ErrorValuePtr& e,
                  const Tarn::Progress&) { error = e; });
  ASSERT_TRUE(error);
  EXPECT_EQ(error->name(), "com.brantel.tarn.std.errors.invalid_argument");
  auto m = error->Messages();
  ASSERT_EQ(m.size(), 1u);
  EXPECT_EQ(m[0].id, "tarn.data.unset.non.optional.field");
  EXPECT_EQ(m[0].args, std::vector<std::string>{"com.brantel.kov.vm.compute.cpus.update_spec"});
}

}  // namespace
