// The CD-ROM service: its shape, the backing type and the union it governs, validation of its
// inputs, sets of backing types, answers, and calls through its stub.
#include "vm/device/cdrom.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "tests/vm/service_test_util.h"

namespace {

using Com::Brantel::Kov::Vm::Device::CdromSvc;
using Tarn::Core::AsyncActivation;
using namespace ServiceTest;  // NOLINT(build/namespaces)
namespace Errors = ::Com::Brantel::Tarn::Std::Errors;
using BackingType = CdromSvc::BackingType;
using Summaries = std::vector<std::shared_ptr<const CdromSvc::Summary>>;

constexpr char kBackingInfo[] = "com.brantel.kov.vm.device.cdrom.backing_info";
constexpr char kSummary[] = "com.brantel.kov.vm.device.cdrom.summary";
constexpr char kFilterSpec[] = "com.brantel.kov.vm.device.cdrom.filter_spec";
constexpr char kNative[] = "::Com::Brantel::Kov::Vm::Device::CdromSvc::";
const std::vector<std::string> kVm1 = {MachineResource("vm-1")};

// A backing of the given type text; a null device name or iso file is unset.
std::shared_ptr<CdromSvc::BackingInfo> Backing(const char* type, const char* deviceName = nullptr,
                                               const char* isoFile = nullptr) {
  auto b = std::make_shared<CdromSvc::BackingInfo>();
  b->type = Tarn::EnumFromText<BackingType>(type);
  if (deviceName) b->deviceName = std::string(deviceName);
  if (isoFile) b->isoFile = std::string(isoFile);
  return b;
}

std::shared_ptr<const CdromSvc::Summary> Summary(const char* cdrom, const char* type,
                                                 const char* device) {
  auto s = std::make_shared<CdromSvc::Summary>();
  s->cdrom = cdrom;
  s->backingType = Tarn::EnumFromText<BackingType>(type);
  s->device = device;
  return s;
}

class FakeCdrom : public CdromSvc::AsyncServiceInterface, public Recorder {
 public:
  void Add(const std::string& vm, const std::shared_ptr<const CdromSvc::BackingInfo>& backing,
           const std::string& device, const std::shared_ptr<AsyncActivation>& activation,
           const CdromSvc::AddMethod::ResultCbType& result) override {
    Record("add", activation);
    lastVm = vm;
    lastBacking = backing;
    lastDevice = device;
    Answer(result, std::string("cdrom-7"));
  }
  void List(const std::string& vm, const Tarn::OptionalPtr<const CdromSvc::FilterSpec>& filter,
            const std::shared_ptr<AsyncActivation>& activation,
            const CdromSvc::ListMethod::ResultCbType& result) override {
    Record("list", activation);
    lastVm = vm;
    lastFilter = filter;
    Answer(result, summaries);
  }
  void Delete(const std::string& vm, const std::string& device,
              const std::shared_ptr<AsyncActivation>& activation,
              const CdromSvc::DeleteMethod::ResultCbType& result) override {
    Record("delete", activation);
    lastVm = vm;
    lastDevice = device;
    Answer(result, Tarn::Void());
  }

  Summaries summaries;
  std::string lastVm;
  std::string lastDevice;
  std::shared_ptr<const CdromSvc::BackingInfo> lastBacking;
  Tarn::OptionalPtr<const CdromSvc::FilterSpec> lastFilter;
};

using CdromTest = ServiceFixture<CdromSvc, FakeCdrom>;

Tarn::Data::DataValuePtr AddInput(Tarn::Data::DataValuePtr backing) {
  return VmInput({{"backing", std::move(backing)}, {"device", Str("ide0:1")}});
}

Tarn::Data::DataValuePtr FilterTypes(Tarn::Data::DataValuePtr types) {
  return Input({{"vm", Str("vm-1")},
                {"filter", Opt(Struct(kFilterSpec, {{"backing_types", Opt(std::move(types))},
                                                    {"cdroms", Opt(Texts({"c2", "c1"}))}}))}});
}

TEST_F(CdromTest, ShapeSeenByTheRuntime) {
  ExpectShape<CdromSvc>(
      impl, "com.brantel.kov.vm.device.cdrom",
      {
          {"add",
           {"not_found", "not_allowed_in_current_state", "invalid_argument", "already_exists",
            "unable_to_allocate_resource", "error"},
           "struct com.brantel.tarn.operation_input {backing: struct "
           "com.brantel.kov.vm.device.cdrom.backing_info {device_name: case<type, "
           "string>, iso_file: case<type, string>, type: string}, device: string, "
           "vm: string}",
           "string"},
          {"list",
           {"not_found", "not_allowed_in_current_state", "error"},
           "struct com.brantel.tarn.operation_input {filter: optional<struct "
           "com.brantel.kov.vm.device.cdrom.filter_spec {backing_types: "
           "optional<list<string>>, cdroms: optional<list<string>>, devices: "
           "optional<list<string>>}>, vm: string}",
           "list<struct com.brantel.kov.vm.device.cdrom.summary {backing_type: "
           "string, cdrom: string, device: string}>"},
          {"delete",
           {"not_found", "not_allowed_in_current_state", "invalid_argument", "error"},
           "struct com.brantel.tarn.operation_input {device: string, vm: string}",
           "void"},
      });
  // Which backing member each type needs: set, unset, or either.
  auto backing =
      static_cast<const Tarn::Data::StructDefinition&>(*iface->FindMethod("add")->inputDefinition())
          .fields()
          .at("backing");
  EXPECT_EQ(UnionCase(backing, "device_name", {"ATAPI", "RAW", "IMAGE", "FLOPPY", "_UNKNOWN"}),
            "type: ATAPI=set RAW=set IMAGE=unset FLOPPY=unset _UNKNOWN=unset");
  EXPECT_EQ(UnionCase(backing, "iso_file", {"IMAGE", "ATAPI", "RAW", "image"}),
            "type: IMAGE=either ATAPI=unset RAW=unset image=unset");
}

TEST(CdromBackingType, TablesAndNames) {
  ExpectEnum<BackingType>(
      "com.brantel.kov.vm.device.cdrom.backing_type",
      {{BackingType::ATAPI, "ATAPI"}, {BackingType::IMAGE, "IMAGE"}, {BackingType::RAW, "RAW"}},
      {"FLOPPY", "atapi"});
  using A = CdromSvc::BackingInfoAnnotations;
  EXPECT_EQ(TableOf<A::UnionTags>(), (std::vector<std::string>{"type", "_UNKNOWN"}));
  EXPECT_EQ(TableOf<A::DeviceNameUnionCases>(),
            (std::vector<std::string>{"ATAPI", "RAW", "_UNKNOWN"}));
  EXPECT_EQ(TableOf<A::IsoFileUnionCases>(), (std::vector<std::string>{"IMAGE", "_UNKNOWN"}));

  ExpectNames<CdromSvc::BackingInfo>(kBackingInfo, std::string(kNative) + "BackingInfo");
  for (auto& [native, record] : std::vector<std::pair<std::string, std::string>>{
           {CdromSvc::AddMethod::Input::nativeName, "AddMethod::Input"},
           {CdromSvc::ListMethod::Input::nativeName, "ListMethod::Input"},
           {CdromSvc::DeleteMethod::Input::nativeName, "DeleteMethod::Input"}}) {
    EXPECT_EQ(native, kNative + record);
  }
  ExpectMetadata<CdromSvc::Summary>("com.brantel.kov.vm.device.Cdrom.Summary",
                                    {{"cdrom", "VIRTUAL_CDROM"}});
  ExpectMetadata<CdromSvc::FilterSpec>("com.brantel.kov.vm.device.Cdrom.FilterSpec",
                                       {{"cdroms", "VIRTUAL_CDROM"}});
}

TEST(CdromBackingUnion, ChecksRunInOrderAndStopAtTheFirstFailure) {
  using Messages = std::vector<Tarn::BaseMessage>;
  auto notSet = [](const char* field) {
    return Messages{Tarn::Message<Tarn::CoreTag>(
        "tarn.data.union.invalid.case.state.isnotset.short", kBackingInfo, field)};
  };
  auto isSet = [](const char* field) {
    return Messages{Tarn::Message<Tarn::CoreTag>("tarn.data.union.invalid.case.state.isset.short",
                                                 kBackingInfo, field)};
  };
  const Messages noTag{Tarn::Message<Tarn::CoreTag>("tarn.data.union.missing.tag.field", "type")};
  struct Case {
    const char* name;
    std::shared_ptr<CdromSvc::BackingInfo> backing;
    Messages expected;  // empty: valid
  };
  const std::vector<Case> cases = {
      {"atapi without device", Backing("ATAPI"), notSet("deviceName")},
      {"raw without device", Backing("RAW"), notSet("deviceName")},
      // The device check comes first, so a stray iso file is not reported.
      {"atapi without device, with iso", Backing("ATAPI", nullptr, "a.iso"), notSet("deviceName")},
      {"atapi with device", Backing("ATAPI", "/dev/sr0"), {}},
      {"raw with device", Backing("RAW", "/dev/sr0"), {}},
      {"atapi with device and iso", Backing("ATAPI", "/dev/sr0", "a.iso"), isSet("isoFile")},
      {"raw with device and iso", Backing("RAW", "/dev/sr0", "a.iso"), isSet("isoFile")},
      {"image alone", Backing("IMAGE"), {}},
      {"image with iso", Backing("IMAGE", nullptr, "a.iso"), {}},
      {"image with device", Backing("IMAGE", "/dev/sr0"), isSet("deviceName")},
      {"image with both", Backing("IMAGE", "/dev/sr0", "a.iso"), isSet("deviceName")},
      {"empty device name is set", Backing("IMAGE", ""), isSet("deviceName")},
      // An unknown tag: the case fields are checked before the missing tag.
      {"unknown alone", Backing("FLOPPY"), noTag},
      {"unknown with device", Backing("FLOPPY", "/dev/fd0"), isSet("deviceName")},
      {"unknown with iso", Backing("FLOPPY", nullptr, "a.iso"), isSet("isoFile")},
      {"literal _UNKNOWN", Backing("_UNKNOWN"), noTag},
      {"default record", std::make_shared<CdromSvc::BackingInfo>(), noTag},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Tarn::MessageList messages;
    bool valid = false;
    ValidationIds(*c.backing, &valid, &messages);
    EXPECT_EQ(valid, c.expected.empty());
    EXPECT_EQ(messages, c.expected);
  }

  // Undeclared fields are reported before the union; without that policy the union still counts.
  auto backing = Backing("ATAPI");
  backing->unknownFields = Unknown({{"speed", Int(48)}});
  Tarn::MessageList messages;
  EXPECT_EQ(ValidationIds(*backing, nullptr, &messages),
            std::vector<std::string>{"tarn.data.compound.field.extra"});
  EXPECT_EQ(messages[0].args,
            (std::vector<std::string>{std::string(kNative) + "BackingInfo", "speed", ""}));
  messages.clear();
  EXPECT_FALSE(
      Tarn::Data::Validator::isValid(*backing, Tarn::Data::Validator::kIgnoreUndeclared, messages));
  EXPECT_EQ(MessageIds(messages),
            std::vector<std::string>{"tarn.data.union.invalid.case.state.isnotset.short"});
}

TEST(CdromInputValidation, AddNeedsAValidBackingListAValidFilterIfAny) {
  CdromSvc::AddMethod::Input add;
  add.vm = "vm-1";
  add.device = "ide0:1";
  Tarn::MessageList messages;
  EXPECT_EQ(ValidationIds(add, nullptr, &messages),
            std::vector<std::string>{"tarn.invoke.invalid.input"});
  EXPECT_EQ(messages[0].args, std::vector<std::string>{std::string(kNative) + "Add"});
  add.backing = Backing("RAW");
  EXPECT_EQ(ValidationIds(add, nullptr, &messages),
            (std::vector<std::string>{"tarn.invoke.invalid.input",
                                      "tarn.data.union.invalid.case.state.isnotset.short"}));
  EXPECT_EQ(messages[1].args, (std::vector<std::string>{kBackingInfo, "deviceName"}));
  add.backing = Backing("RAW", "/dev/sr0");
  EXPECT_TRUE(ValidationIds(add).empty());

  CdromSvc::ListMethod::Input list;
  list.vm = "vm-1";
  EXPECT_TRUE(ValidationIds(list).empty());
  auto filter = std::make_shared<CdromSvc::FilterSpec>();
  filter->unknownFields = Unknown({{"vendor", Str("x")}});
  list.filter = filter;
  ValidationIds(list, nullptr, &messages);
  ExpectUndeclared(messages, kNative, "List", "FilterSpec", "vendor");
}

TEST_F(CdromTest, AddReachesTheImplementationAfterRecordingTheMachine) {
  auto answer = ExpectAnswered(
      *iface, *impl, "add",
      AddInput(Struct(kBackingInfo, {{"type", Str("IMAGE")}, {"iso_file", Str("/isos/a.iso")}})),
      kVm1);
  EXPECT_EQ(Text(answer.output()), Text(Str("cdrom-7")));
  EXPECT_EQ(impl->calls, std::vector<std::string>{"add"});
  EXPECT_EQ(impl->lastVm, "vm-1");
  EXPECT_EQ(impl->lastDevice, "ide0:1");
  ASSERT_TRUE(impl->lastBacking);
  EXPECT_TRUE(impl->lastBacking->type == BackingType::IMAGE);
  EXPECT_FALSE(impl->lastBacking->deviceName);
  EXPECT_TRUE(impl->lastBacking->isoFile == std::string("/isos/a.iso"));

  answer = ExpectAnswered(*iface, *impl, "delete", VmInput({{"device", Str("ide0:2")}}), kVm1);
  EXPECT_EQ(answer.output()->GetType(), Tarn::Data::DataType::VOID);
  EXPECT_EQ(impl->lastDevice, "ide0:2");
  // An undeclared input field holding nothing passes.
  ExpectAnswered(*iface, *impl, "delete", VmInput({{"device", Str("d")}, {"force", Unset()}}),
                 kVm1);
}

TEST_F(CdromTest, RejectionsNeverReachTheImplementation) {
  const std::vector<std::string> missingTag = {"tarn.invoke.invalid.input",
                                               "tarn.data.union.missing.tag.field"};
  ExpectRefusals(
      *iface, kNative,
      {
          // Passes the input definition (no case field is required for an unknown tag) and
          // fails the record's own union check at its last step.
          {"unknown tag",
           "add",
           AddInput(Struct(kBackingInfo, {{"type", Str("X")}})),
           {},
           missingTag,
           {"type"}},
          // The empty string is an absent structure: a default backing without a tag.
          {"empty backing", "add", AddInput(Str("")), {}, missingTag},
          // Rejected by the input definition already.
          {"atapi without device", "add", AddInput(Struct(kBackingInfo, {{"type", Str("ATAPI")}}))},
          {"image with device", "add",
           AddInput(
               Struct(kBackingInfo, {{"type", Str("IMAGE")}, {"device_name", Str("/dev/sr0")}}))},
          {"no type", "add", AddInput(Struct(kBackingInfo, {}))},
          {"backing of the wrong kind", "add", AddInput(Int(3))},
          {"an undeclared field holding a value",
           "delete",
           VmInput({{"device", Str("d")}, {"force", Opt(Bool(true))}}),
           {"Delete", "DeleteMethod::Input", "force"}},
          // A repeated backing type names its index; a generic list the element's own text.
          Duplicate("known text twice", "list", FilterTypes(Texts({"IMAGE", "RAW", "IMAGE"})), "1"),
          Duplicate("first value twice", "list", FilterTypes(Texts({"ATAPI", "ATAPI"})), "0"),
          Duplicate("unknown text twice", "list", FilterTypes(Texts({"FOO", "BAR", "FOO"})), "3"),
          Duplicate("generic list", "list", FilterTypes(List({Str("RAW"), Str("RAW")})), "RAW"),
      });
  auto answer = Invoke(*iface, "add", AddInput(Struct(kBackingInfo, {{"type", Str("X")}})));
  EXPECT_EQ(answer.error()->Messages()[0].args,
            std::vector<std::string>{std::string(kNative) + "Add"});
  EXPECT_TRUE(impl->calls.empty());
}

TEST_F(CdromTest, ListFilterArrivesEmptyWhenAbsent) {
  struct Case {
    const char* name;
    Tarn::Data::DataValuePtr filter;  // null: the field is left out
    bool present;
  };
  const std::vector<Case> cases = {
      {"field left out", nullptr, false},
      {"unset optional", Unset(), false},
      {"empty string", Str(""), false},
      {"optional holding a filter", Opt(Struct(kFilterSpec, {})), true},
      {"filter without optional wrapper", Struct(kFilterSpec, {}), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto input = VmInput();
    if (c.filter) input->SetField("filter", c.filter);
    ExpectAnswered(*iface, *impl, "list", input, kVm1);
    EXPECT_EQ(static_cast<bool>(impl->lastFilter), c.present);
    if (impl->lastFilter) {
      EXPECT_FALSE(impl->lastFilter->cdroms || impl->lastFilter->backingTypes ||
                   impl->lastFilter->devices);
    }
  }
}

TEST_F(CdromTest, BackingTypeSetsKeepUnknownTextsApart) {
  auto answer = Invoke(*iface, "list", FilterTypes(Texts({"RAW", "FOO", "ATAPI", "BAR"})));
  ASSERT_TRUE(answer.succeeded()) << answer.errorName();
  ASSERT_TRUE(impl->lastFilter && impl->lastFilter->backingTypes);
  std::vector<std::string> texts;  // two different unknown texts are two elements
  for (auto& t : *impl->lastFilter->backingTypes) texts.push_back(Tarn::EnumToText(t));
  // Ordered by index, unknown values last and among themselves by their text.
  EXPECT_EQ(texts, (std::vector<std::string>{"ATAPI", "RAW", "BAR", "FOO"}));
  EXPECT_EQ(*impl->lastFilter->cdroms, (std::set<std::string>{"c1", "c2"}));
  EXPECT_FALSE(impl->lastFilter->devices);
}

TEST_F(CdromTest, AnswersAndImplementationErrors) {
  impl->summaries = {Summary("cdrom-2", "RAW", "ide1:0"), Summary("cdrom-1", "NETWORK", "ide0:0")};
  auto answer = Invoke(*iface, "list", VmInput());
  EXPECT_EQ(Text(answer.output()), Text(List({Struct(kSummary, {{"backing_type", Str("RAW")},
                                                                {"cdrom", Str("cdrom-2")},
                                                                {"device", Str("ide1:0")}}),
                                              Struct(kSummary, {{"backing_type", Str("NETWORK")},
                                                                {"cdrom", Str("cdrom-1")},
                                                                {"device", Str("ide0:0")}})})));
  impl->summaries = {nullptr};
  answer = Invoke(*iface, "list", VmInput());
  EXPECT_EQ(answer.errorName(), StdError("internal_server_error"));
  EXPECT_TRUE(answer.error()->Messages().empty());

  struct Case {
    const char* wire;
    Tarn::Data::ErrorValuePtr error;
    const char* delivered;
  };
  const std::vector<Case> cases = {
      {"delete", Errors::InvalidArgument::Create(), "invalid_argument"},
      // "already_exists" is an error of "add", not of "delete".
      {"delete", Errors::AlreadyExists::Create(), "internal_server_error"},
      {"add", Errors::AlreadyExists::Create(), "already_exists"},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.wire + std::string(" ") + c.delivered);
    impl->failure = c.error;
    auto input =
        std::string(c.wire) == "add"
            ? AddInput(Struct(kBackingInfo, {{"type", Str("RAW")}, {"device_name", Str("d")}}))
            : VmInput({{"device", Str("d")}});
    EXPECT_EQ(Invoke(*iface, c.wire, input).errorName(), StdError(c.delivered));
  }
}

using CdromClientTest = CdromTest;

TEST_F(CdromClientTest, AddAnswerAndFailure) {
  auto added = Call<std::string>(
      [&](auto cb) { stub->Add("vm-1", Backing("ATAPI", "/dev/sr0"), "ide0:0", nullptr, cb); });
  ASSERT_TRUE(added.ok()) << added.errorName();
  EXPECT_EQ(*added.value, "cdrom-7");
  EXPECT_TRUE(impl->lastBacking->type == BackingType::ATAPI);
  EXPECT_TRUE(impl->lastBacking->deviceName == std::string("/dev/sr0"));
  EXPECT_EQ(impl->resourcesSeen, kVm1);

  // A backing that breaks its union never reaches the implementation; nor does none at all.
  impl->calls.clear();
  added = Call<std::string>(
      [&](auto cb) { stub->Add("vm-1", Backing("IMAGE", "/dev/sr1"), "ide0:1", nullptr, cb); });
  EXPECT_EQ(added.errorName(), StdError("invalid_argument"));
  ExpectNullRecordRefused(
      Call<std::string>([&](auto cb) { stub->Add("vm-1", nullptr, "ide0:0", nullptr, cb); }),
      kBackingInfo);
  EXPECT_TRUE(impl->calls.empty());

  impl->failure = Errors::UnableToAllocateResource::Create();
  added = Call<std::string>(
      [&](auto cb) { stub->Add("vm-1", Backing("RAW", "/dev/sr1"), "ide0:1", nullptr, cb); });
  EXPECT_FALSE(added.value);
  EXPECT_EQ(added.errorName(), StdError("unable_to_allocate_resource"));
}

TEST_F(CdromClientTest, ListAnswerAndFailure) {
  auto s = Summary("cdrom-1", "PASSTHRU", "sata0:0");
  impl->summaries = {s, s};
  auto filter = std::make_shared<CdromSvc::FilterSpec>();
  filter->backingTypes =
      std::set<BackingType>{BackingType::IMAGE, Tarn::EnumFromText<BackingType>("PASSTHRU")};
  filter->devices = std::set<std::string>{};
  auto listed = Call<Summaries>([&](auto cb) { stub->List("vm-1", filter, nullptr, cb); });
  ASSERT_TRUE(listed.ok()) << listed.errorName();
  ASSERT_EQ(listed.value->size(), 2u);  // a list keeps repeated elements
  EXPECT_EQ((*listed.value)[1]->cdrom, "cdrom-1");
  EXPECT_EQ(Tarn::EnumToText((*listed.value)[1]->backingType), "PASSTHRU");
  ASSERT_TRUE(impl->lastFilter);
  EXPECT_TRUE(impl->lastFilter->backingTypes == filter->backingTypes);
  EXPECT_TRUE(impl->lastFilter->devices == std::set<std::string>{});
  EXPECT_FALSE(impl->lastFilter->cdroms);

  EXPECT_TRUE(Call<Summaries>([&](auto cb) { stub->List("vm-1", nullptr, nullptr, cb); }).ok());
  EXPECT_FALSE(impl->lastFilter);

  impl->failure = Errors::NotAllowedInCurrentState::Create();
  listed = Call<Summaries>([&](auto cb) { stub->List("vm-1", nullptr, nullptr, cb); });
  EXPECT_EQ(listed.errorName(), StdError("not_allowed_in_current_state"));
}

TEST_F(CdromClientTest, DeleteAnswerAndFailure) {
  auto activation = AsyncActivation::GetInstance();
  EXPECT_TRUE(
      Call<Tarn::Void>([&](auto cb) { stub->Delete("vm-9", "ide0:0", activation, cb); }).ok());
  EXPECT_EQ(activation->resourceIds(), std::vector<std::string>{MachineResource("vm-9")});

  impl->failure = Errors::NotFound::Create();
  auto deleted = Call<Tarn::Void>([&](auto cb) { stub->Delete("vm-9", "ide0:0", nullptr, cb); });
  EXPECT_EQ(deleted.errorName(), StdError("not_found"));
  EXPECT_FALSE(deleted.value);
}

}  // namespace
