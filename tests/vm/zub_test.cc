// The machine configuration service: its shape, the exact wire name "guest_OS", "create"
// recording no resource, and calls through its stub.
#include "vm/zub.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/vm/service_test_util.h"

namespace {

using Com::Brantel::Kov::Vm::ZubSvc;
using Tarn::Void;
using Tarn::Core::AsyncActivation;
using namespace ServiceTest;  // NOLINT(build/namespaces)
namespace Errors = ::Com::Brantel::Tarn::Std::Errors;

using SpecPtr = std::shared_ptr<const ZubSvc::CreateSpec>;

constexpr char kSpec[] = "com.brantel.kov.vm.zub.create_spec";
constexpr char kNative[] = "::Com::Brantel::Kov::Vm::ZubSvc::";

class HostZub : public ZubSvc::AsyncServiceInterface, public Recorder {
 public:
  void Create(const SpecPtr& spec, const std::shared_ptr<AsyncActivation>& activation,
              const ZubSvc::CreateMethod::ResultCbType& result) override {
    Record("create", activation);
    lastSpec = spec;
    Answer(result, Void());
  }
  void Delete(const std::string& vm, const std::shared_ptr<AsyncActivation>& activation,
              const ZubSvc::DeleteMethod::ResultCbType& result) override {
    Record("delete", activation);
    lastVm = vm;
    Answer(result, Void());
  }

  SpecPtr lastSpec;
  std::string lastVm;
};

using ZubService = ServiceFixture<ZubSvc, HostZub>;

std::shared_ptr<Tarn::Data::StructValue> CreateInput(const Fields& spec) {
  return Input({{"spec", Struct(kSpec, spec)}});
}

TEST_F(ZubService, ShapeSeenByTheRuntime) {
  ExpectShape<ZubSvc>(
      impl, "com.brantel.kov.vm.zub",
      {
          {"create",
           {"error"},
           "struct com.brantel.tarn.operation_input {spec: struct "
           "com.brantel.kov.vm.zub.create_spec {guest_OS: string, hw_version: optional<string>, "
           "vm: string}}",
           "void"},
          {"delete",
           {"not_found", "not_allowed_in_current_state", "error"},
           "struct com.brantel.tarn.operation_input {vm: string}",
           "void"},
      });
}

TEST_F(ZubService, CreateSpecRecord) {
  ExpectNames<ZubSvc::CreateSpec>(kSpec, std::string(kNative) + "CreateSpec");
  EXPECT_EQ(std::string(ZubSvc::CreateMethod::Input::nativeName),
            std::string(kNative) + "CreateMethod::Input");
  ExpectMetadata<ZubSvc::CreateSpec>("com.brantel.kov.vm.Zub.CreateSpec",
                                     {{"vm", "com.brantel.kov.vm.VirtualMachine"}});

  auto spec = Tarn::Data::TypeInfo<ZubSvc::CreateSpec>::defaultInstance();
  EXPECT_EQ(spec->vm, "");
  EXPECT_EQ(spec->guestOS, "");
  EXPECT_FALSE(spec->hwVersion);

  // An undeclared field with a value makes the record invalid; empty texts do not.
  EXPECT_TRUE(ValidationIds(*spec).empty());
  auto extra = std::make_shared<ZubSvc::CreateSpec>();
  extra->unknownFields = Unknown({{"colour", Str("red")}});
  EXPECT_EQ(ValidationIds(*extra), std::vector<std::string>{"tarn.data.compound.field.extra"});
}

TEST_F(ZubService, ResourceIsRecordedForDeleteOnly) {
  // "create" names the machine in its specification, yet records nothing.
  ExpectAnswered(*iface, *impl, "create",
                 CreateInput({{"vm", Str("vm-9")}, {"guest_OS", Str("zubuntu-64")}}), {});
  ExpectAnswered(*iface, *impl, "delete", Input({{"vm", Str("vm-9")}}), {MachineResource("vm-9")});
  EXPECT_EQ(impl->lastVm, "vm-9");
}

TEST_F(ZubService, CreateSpecConversion) {
  struct Case {
    const char* name;
    Fields spec;
    boost::optional<std::string> hwVersion;
  };
  const std::vector<Case> cases = {
      {"no hw_version", {}, boost::none},
      {"hw_version", {{"hw_version", Str("zub-19")}}, std::string("zub-19")},
      {"hw_version held in an optional",
       {{"hw_version", Opt(Str("zub-20"))}},
       std::string("zub-20")},
      {"hw_version unset", {{"hw_version", Unset()}}, boost::none},
      {"hw_version empty", {{"hw_version", Str("")}}, boost::none},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    Fields spec = c.spec;
    spec.push_back({"vm", Str("vm-1")});
    spec.push_back({"guest_OS", Str("zubuntu-64")});
    auto answer = Invoke(*iface, "create", CreateInput(spec));
    ASSERT_TRUE(answer.succeeded()) << answer.errorName();
    EXPECT_EQ(impl->lastSpec->vm, "vm-1");
    EXPECT_EQ(impl->lastSpec->guestOS, "zubuntu-64");
    EXPECT_EQ(impl->lastSpec->hwVersion, c.hwVersion);
  }
  // The spec given as an empty string is an empty specification.
  EXPECT_TRUE(Invoke(*iface, "create", Input({{"spec", Str("")}})).succeeded());
  EXPECT_EQ(impl->lastSpec->guestOS, "");
}

TEST_F(ZubService, RefusedInputsNeverReachTheHost) {
  ExpectRefusals(
      *iface, kNative,
      {
          {"guest_OS missing", "create", CreateInput({{"vm", Str("vm-1")}})},
          // Wire names are matched exactly: "guest_os" is not "guest_OS".
          {"guest_os in lower case", "create",
           CreateInput({{"vm", Str("vm-1")}, {"guest_os", Str("zubuntu-64")}})},
          {"spec given as a text", "create", Input({{"spec", Str("vm-1")}})},
          {"an undeclared field inside \"spec\"",
           "create",
           CreateInput({{"vm", Str("vm-1")}, {"guest_OS", Str("zubuntu-64")}, {"cpu", Int(2)}}),
           {"Create", "CreateSpec", "cpu"}},
          {"an undeclared field in the input",
           "delete",
           VmInput({{"now", Bool(true)}}),
           {"Delete", "DeleteMethod::Input", "now"}},
      });
  EXPECT_TRUE(impl->calls.empty());
}

TEST_F(ZubService, ThroughTheStub) {
  auto spec = std::make_shared<ZubSvc::CreateSpec>();
  spec->vm = "vm-3";
  spec->guestOS = "freebsd";
  spec->hwVersion = std::string("zub-21");
  auto created = Call<Void>([&](auto cb) { stub->Create(spec, nullptr, cb); });
  EXPECT_TRUE(created.ok()) << created.errorName();
  EXPECT_EQ(impl->lastSpec->guestOS, "freebsd");
  EXPECT_TRUE(impl->lastSpec->hwVersion == std::string("zub-21"));

  impl->failure = Errors::NotAllowedInCurrentState::Create();
  auto deleted = Call<Void>([&](auto cb) { stub->Delete("vm-3", nullptr, cb); });
  EXPECT_EQ(deleted.errorName(), StdError("not_allowed_in_current_state"));
  EXPECT_EQ(impl->lastVm, "vm-3");

  // "create" lists only Error: anything else becomes the internal server error.
  impl->failure = Errors::NotFound::Create();
  created = Call<Void>([&](auto cb) { stub->Create(spec, nullptr, cb); });
  EXPECT_EQ(created.errorName(), StdError("internal_server_error"));
}

TEST_F(ZubService, ClientCreateWithoutSpecFailsBeforeTheRuntime) {
  auto target = CannedTarget::Answering(Tarn::Data::VoidValue::GetInstance());
  auto client = StubOn<ZubSvc>(target);
  ExpectNullRecordRefused(Call<Void>([&](auto cb) { client.Create(nullptr, nullptr, cb); }), kSpec);
  EXPECT_EQ(target->calls, 0);

  // The spec travels with its exact field names.
  auto spec = std::make_shared<ZubSvc::CreateSpec>();
  spec->guestOS = "zubuntu-64";
  Call<Void>([&](auto cb) { client.Create(spec, nullptr, cb); });
  ASSERT_EQ(target->calls, 1);
  EXPECT_EQ(target->methodName, "create");
  EXPECT_EQ(Text(target->lastInput),
            Text(CreateInput(
                {{"guest_OS", Str("zubuntu-64")}, {"hw_version", Unset()}, {"vm", Str("")}})));
}

}  // namespace
