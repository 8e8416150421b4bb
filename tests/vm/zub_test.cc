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

class HostZub : public ZubSvc::AsyncServiceInterface {
 public:
  struct Call {
    std::string operation;
    SpecPtr spec;
    std::string vm;
    std::vector<std::string> resources;
  };

  void Create(const SpecPtr& spec, const std::shared_ptr<AsyncActivation>& activation,
              const ZubSvc::CreateMethod::ResultCbType& result) override {
    calls.push_back({"Create", spec, "", activation->resourceIds()});
    Finish(result);
  }
  void Delete(const std::string& vm, const std::shared_ptr<AsyncActivation>& activation,
              const ZubSvc::DeleteMethod::ResultCbType& result) override {
    calls.push_back({"Delete", nullptr, vm, activation->resourceIds()});
    Finish(result);
  }

  Tarn::Data::ErrorValuePtr failure;
  std::vector<Call> calls;

 private:
  void Finish(const Tarn::AsyncResult<Void>& result) {
    if (failure) return result.error(failure);
    result(Void());
  }
};

constexpr char kSpec[] = "com.brantel.kov.vm.zub.create_spec";

std::shared_ptr<Tarn::Data::StructValue> CreateInput(const Fields& spec) {
  return Input({{"spec", Struct(kSpec, spec)}});
}

TEST(ZubService, ShapeSeenByTheRuntime) {
  ExpectShape<ZubSvc>(
      std::make_shared<HostZub>(), "com.brantel.kov.vm.zub",
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

TEST(ZubService, CreateSpecRecord) {
  EXPECT_EQ(Tarn::Data::TypeInfo<ZubSvc::CreateSpec>::name(), kSpec);
  EXPECT_STREQ(ZubSvc::CreateSpec::nativeName, "::Com::Brantel::Kov::Vm::ZubSvc::CreateSpec");
  EXPECT_STREQ(ZubSvc::CreateMethod::Input::nativeName,
               "::Com::Brantel::Kov::Vm::ZubSvc::CreateMethod::Input");
  ExpectMetadata<ZubSvc::CreateSpec>("com.brantel.kov.vm.Zub.CreateSpec",
                                     {{"vm", "com.brantel.kov.vm.VirtualMachine"}});

  auto spec = Tarn::Data::TypeInfo<ZubSvc::CreateSpec>::defaultInstance();
  EXPECT_EQ(spec->vm, "");
  EXPECT_EQ(spec->guestOS, "");
  EXPECT_FALSE(spec->hwVersion);

  // An undeclared field with a value makes the record invalid; empty texts do not.
  EXPECT_TRUE(ValidationIds(*spec).empty());
  auto extra = std::make_shared<ZubSvc::CreateSpec>();
  extra->unknownFields = Tarn::Data::StructValue::GetInstance("unknownFields");
  extra->unknownFields->SetField("colour", Str("red"));
  EXPECT_EQ(ValidationIds(*extra), std::vector<std::string>{"tarn.data.compound.field.extra"});
}

TEST(ZubService, ResourceIsRecordedForDeleteOnly) {
  auto host = std::make_shared<HostZub>();
  auto iface = ZubSvc::AsyncServiceBinder::BindImplementation(host);
  struct Case {
    const char* wire;
    Tarn::Data::DataValuePtr input;
    std::vector<std::string> resources;
  };
  const std::vector<Case> cases = {
      // "create" names the machine in its specification, yet records nothing.
      {"create", CreateInput({{"vm", Str("vm-9")}, {"guest_OS", Str("linux")}}), {}},
      {"delete", Input({{"vm", Str("vm-9")}}), {MachineResource("vm-9")}},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.wire);
    auto activation = AsyncActivation::GetInstance();
    auto answer = Invoke(*iface, c.wire, c.input, activation);
    ASSERT_TRUE(answer.succeeded()) << answer.errorName();
    EXPECT_EQ(activation->resourceIds(), c.resources);
    EXPECT_EQ(host->calls.back().resources, c.resources);
  }
}

TEST(ZubService, CreateSpecConversion) {
  auto host = std::make_shared<HostZub>();
  auto iface = ZubSvc::AsyncServiceBinder::BindImplementation(host);

  struct Case {
    const char* name;
    Fields spec;
    bool reaches;
    boost::optional<std::string> hwVersion;
  };
  const std::vector<Case> cases = {
      {"no hw_version", {{"vm", Str("vm-1")}, {"guest_OS", Str("linux")}}, true, boost::none},
      {"hw_version",
       {{"vm", Str("vm-1")}, {"guest_OS", Str("linux")}, {"hw_version", Str("vmx-19")}},
       true,
       std::string("vmx-19")},
      {"hw_version held in an optional",
       {{"vm", Str("vm-1")}, {"guest_OS", Str("linux")}, {"hw_version", Opt(Str("vmx-20"))}},
       true,
       std::string("vmx-20")},
      {"hw_version unset",
       {{"vm", Str("vm-1")}, {"guest_OS", Str("linux")}, {"hw_version", Unset()}},
       true,
       boost::none},
      {"hw_version empty",
       {{"vm", Str("vm-1")}, {"guest_OS", Str("linux")}, {"hw_version", Str("")}},
       true,
       boost::none},
      {"guest_OS missing", {{"vm", Str("vm-1")}}, false, boost::none},
      // Wire names are matched exactly: "guest_os" is not "guest_OS".
      {"guest_os in lower case",
       {{"vm", Str("vm-1")}, {"guest_os", Str("linux")}},
       false,
       boost::none},
      {"undeclared field",
       {{"vm", Str("vm-1")}, {"guest_OS", Str("linux")}, {"cpu", Int(2)}},
       false,
       boost::none},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::size_t before = host->calls.size();
    auto answer = Invoke(*iface, "create", CreateInput(c.spec));
    if (!c.reaches) {
      EXPECT_EQ(answer.errorName(), StdError("invalid_argument"));
      EXPECT_EQ(host->calls.size(), before);
      continue;
    }
    ASSERT_TRUE(answer.succeeded()) << answer.errorName();
    ASSERT_EQ(host->calls.size(), before + 1);
    const auto& spec = host->calls.back().spec;
    EXPECT_EQ(spec->vm, "vm-1");
    EXPECT_EQ(spec->guestOS, "linux");
    EXPECT_EQ(spec->hwVersion, c.hwVersion);
  }
}

TEST(ZubService, CreateRefusalsNameTheOperationFirst) {
  auto iface = ZubSvc::AsyncServiceBinder::BindImplementation(std::make_shared<HostZub>());
  auto answer =
      Invoke(*iface, "create",
             CreateInput({{"vm", Str("vm-1")}, {"guest_OS", Str("linux")}, {"cpu", Int(2)}}));
  auto messages = answer.error()->Messages();
  ASSERT_EQ(MessageIds(messages), (std::vector<std::string>{"tarn.invoke.invalid.input",
                                                            "tarn.data.compound.field.extra"}));
  EXPECT_EQ(messages[0].args, std::vector<std::string>{"::Com::Brantel::Kov::Vm::ZubSvc::Create"});
  EXPECT_EQ(messages[1].args.at(0), "::Com::Brantel::Kov::Vm::ZubSvc::CreateSpec");

  // The spec given as an empty string is an empty specification; another text is refused.
  answer = Invoke(*iface, "create", Input({{"spec", Str("")}}));
  EXPECT_TRUE(answer.succeeded()) << answer.errorName();
  answer = Invoke(*iface, "create", Input({{"spec", Str("vm-1")}}));
  EXPECT_EQ(answer.errorName(), StdError("invalid_argument"));

  answer = Invoke(*iface, "delete", Input({{"vm", Str("vm-1")}, {"now", Bool(true)}}));
  messages = answer.error()->Messages();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].args, std::vector<std::string>{"::Com::Brantel::Kov::Vm::ZubSvc::Delete"});
  EXPECT_EQ(messages[1].args.at(0), "::Com::Brantel::Kov::Vm::ZubSvc::DeleteMethod::Input");
}

TEST(ZubService, ThroughTheStub) {
  auto host = std::make_shared<HostZub>();
  auto stub = LocalStub<ZubSvc>(host);
  ASSERT_TRUE(stub);

  auto spec = std::make_shared<ZubSvc::CreateSpec>();
  spec->vm = "vm-3";
  spec->guestOS = "freebsd";
  spec->hwVersion = std::string("vmx-21");
  Outcome<Void> created;
  stub->Create(spec, nullptr, created.Callback());
  ASSERT_EQ(created.calls, 1);
  EXPECT_TRUE(created.value) << created.errorName();
  ASSERT_EQ(host->calls.size(), 1u);
  EXPECT_EQ(host->calls[0].spec->guestOS, "freebsd");
  EXPECT_TRUE(host->calls[0].spec->hwVersion == std::string("vmx-21"));

  host->failure = Errors::NotAllowedInCurrentState::Create();
  Outcome<Void> deleted;
  stub->Delete("vm-3", nullptr, deleted.Callback());
  ASSERT_EQ(deleted.calls, 1);
  EXPECT_EQ(deleted.errorName(), StdError("not_allowed_in_current_state"));
  EXPECT_EQ(host->calls.back().vm, "vm-3");

  // "create" lists only Error: anything else becomes the internal server error.
  host->failure = Errors::NotFound::Create();
  Outcome<Void> refused;
  stub->Create(spec, nullptr, refused.Callback());
  EXPECT_EQ(refused.errorName(), StdError("internal_server_error"));
}

TEST(ZubService, ClientCreateWithoutSpecFailsBeforeTheRuntime) {
  auto target = CannedTarget::Answering(Tarn::Data::VoidValue::GetInstance());
  auto stub = StubOn<ZubSvc>(target);
  Outcome<Void> outcome;
  stub.Create(nullptr, nullptr, outcome.Callback());
  EXPECT_EQ(target->calls, 0);
  ASSERT_EQ(outcome.calls, 1);
  EXPECT_EQ(outcome.errorName(), StdError("invalid_argument"));
  auto messages = outcome.error->Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].id, "tarn.data.unset.non.optional.field");
  EXPECT_EQ(messages[0].args, std::vector<std::string>{kSpec});

  // The spec travels with its exact field names.
  auto spec = std::make_shared<ZubSvc::CreateSpec>();
  spec->guestOS = "linux";
  stub.Create(spec, nullptr, outcome.Callback());
  ASSERT_EQ(target->calls, 1);
  EXPECT_EQ(target->methodName, "create");
  auto sent = Field(target->lastInput, "spec");
  EXPECT_EQ(*Field(sent, "guest_OS"), *Str("linux"));
  EXPECT_EQ(*Field(sent, "hw_version"), *Unset());
}

}  // namespace
