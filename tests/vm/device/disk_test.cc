// The disk service: its shape, its records, "add" recording no resource, the list filter and
// result, refused inputs, and calls through its stub.
#include "vm/device/disk.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "tests/vm/service_test_util.h"

namespace {

using Com::Brantel::Kov::Vm::Device::DiskSvc;
using Tarn::Core::AsyncActivation;
using namespace ServiceTest;  // NOLINT(build/namespaces)
namespace Errors = ::Com::Brantel::Tarn::Std::Errors;
using ListPtr = std::shared_ptr<const DiskSvc::ListResult>;

constexpr char kAddSpec[] = "com.brantel.kov.vm.device.disk.add_spec";
constexpr char kSummary[] = "com.brantel.kov.vm.device.disk.summary";
constexpr char kListResult[] = "com.brantel.kov.vm.device.disk.list_result";
constexpr char kFilterSpec[] = "com.brantel.kov.vm.device.disk.filter_spec";
constexpr char kNative[] = "::Com::Brantel::Kov::Vm::Device::DiskSvc::";

std::shared_ptr<DiskSvc::Summary> MakeSummary(const std::string& disk, const std::string& device) {
  auto s = std::make_shared<DiskSvc::Summary>();
  s->disk = disk;
  s->device = device;
  return s;
}

std::shared_ptr<DiskSvc::ListResult> MakeList(
    const std::vector<std::shared_ptr<const DiskSvc::Summary>>& list) {
  auto result = std::make_shared<DiskSvc::ListResult>();
  result->list = list;
  return result;
}

class FakeDisk : public DiskSvc::AsyncServiceInterface, public Recorder {
 public:
  void Add(const std::shared_ptr<const DiskSvc::AddSpec>& spec,
           const std::shared_ptr<AsyncActivation>& activation,
           const DiskSvc::AddMethod::ResultCbType& result) override {
    Record("add", activation);
    lastSpec = spec;
    Answer(result, std::string("disk-3"));
  }
  void List(const std::string& vm, const Tarn::OptionalPtr<const DiskSvc::FilterSpec>& filter,
            const std::shared_ptr<AsyncActivation>& activation,
            const DiskSvc::ListMethod::ResultCbType& result) override {
    Record("list", activation);
    lastVm = vm;
    lastFilter = filter;
    Answer(result, listed);
  }

  ListPtr listed = MakeList({MakeSummary("disk-1", "scsi0:0"), MakeSummary("disk-0", "scsi0:1")});
  std::string lastVm;
  std::shared_ptr<const DiskSvc::AddSpec> lastSpec;
  Tarn::OptionalPtr<const DiskSvc::FilterSpec> lastFilter;
};

using DiskTest = ServiceFixture<DiskSvc, FakeDisk>;

Tarn::Data::DataValuePtr ListWithDisks(Tarn::Data::DataValuePtr disks) {
  return Input(
      {{"vm", Str("vm-1")}, {"filter", Opt(Struct(kFilterSpec, {{"disks", std::move(disks)}}))}});
}

TEST_F(DiskTest, ShapeSeenByTheRuntime) {
  ExpectShape<DiskSvc>(
      impl, "com.brantel.kov.vm.device.disk",
      {
          // "add" lists its errors alphabetically, unlike the other device services.
          {"add",
           {"already_exists", "error", "invalid_argument", "not_allowed_in_current_state",
            "not_found", "unable_to_allocate_resource"},
           "struct com.brantel.tarn.operation_input {spec: struct "
           "com.brantel.kov.vm.device.disk.add_spec {device: string, disk: string, vm: string}}",
           "string"},
          {"list",
           {"not_found", "not_allowed_in_current_state", "error"},
           "struct com.brantel.tarn.operation_input {filter: optional<struct "
           "com.brantel.kov.vm.device.disk.filter_spec {devices: optional<list<string>>, disks: "
           "optional<list<string>>}>, vm: string}",
           "struct com.brantel.kov.vm.device.disk.list_result {list: list<struct "
           "com.brantel.kov.vm.device.disk.summary {device: string, disk: string}>}"},
      });
}

TEST(DiskRecords, NamesMetadataAndValidation) {
  EXPECT_EQ(std::string(DiskSvc::ListResult::nativeName), std::string(kNative) + "ListResult");
  EXPECT_EQ(std::string(DiskSvc::AddMethod::Input::nativeName),
            std::string(kNative) + "AddMethod::Input");
  ExpectMetadata<DiskSvc::Summary>("com.brantel.kov.vm.device.Disk.Summary",
                                   {{"disk", "com.brantel.kov.vm.VirtualDisk"}});
  ExpectMetadata<DiskSvc::FilterSpec>("com.brantel.kov.vm.device.Disk.FilterSpec",
                                      {{"disks", "com.brantel.kov.vm.VirtualDisk"}});
  ExpectMetadata<DiskSvc::AddSpec>(
      "com.brantel.kov.vm.device.Disk.AddSpec",
      {{"disk", "com.brantel.kov.vm.VirtualDisk"}, {"vm", "com.brantel.kov.vm.VirtualMachine"}});

  // An add input without its spec is invalid, naming the operation.
  Tarn::MessageList messages;
  EXPECT_EQ(ValidationIds(DiskSvc::AddMethod::Input(), nullptr, &messages),
            std::vector<std::string>{"tarn.invoke.invalid.input"});
  EXPECT_EQ(messages[0].args, std::vector<std::string>{std::string(kNative) + "Add"});

  // A list result is valid when every summary is.
  auto withExtra = MakeSummary("d", "x");
  withExtra->unknownFields = Unknown({{"size", Int(10)}});
  bool valid = false;
  EXPECT_TRUE(ValidationIds(*MakeList({}), &valid).empty() && valid);
  EXPECT_TRUE(
      ValidationIds(*MakeList({MakeSummary("a", "b"), MakeSummary("c", "d")}), &valid).empty() &&
      valid);
  ValidationIds(*MakeList({MakeSummary("a", "b"), nullptr}), &valid);
  EXPECT_FALSE(valid);
  ValidationIds(*MakeList({MakeSummary("a", "b"), withExtra}), &valid, &messages);
  EXPECT_FALSE(valid);
  ASSERT_EQ(MessageIds(messages), std::vector<std::string>{"tarn.data.compound.field.extra"});
  EXPECT_EQ(messages[0].args,
            (std::vector<std::string>{std::string(kNative) + "Summary", "size", ""}));
}

TEST_F(DiskTest, AddRecordsNoResourceListTheMachine) {
  auto answer = ExpectAnswered(*iface, *impl, "add",
                               Input({{"spec", Struct(kAddSpec, {{"vm", Str("vm-1")},
                                                                 {"disk", Str("disk-3")},
                                                                 {"device", Str("scsi0:2")}})}}),
                               {});
  EXPECT_EQ(Text(answer.output()), Text(Str("disk-3")));
  ASSERT_TRUE(impl->lastSpec);
  EXPECT_EQ(impl->lastSpec->vm, "vm-1");
  EXPECT_EQ(impl->lastSpec->disk, "disk-3");
  EXPECT_EQ(impl->lastSpec->device, "scsi0:2");

  answer = ExpectAnswered(*iface, *impl, "list", Input({{"vm", Str("vm-4")}}),
                          {MachineResource("vm-4")});
  EXPECT_EQ(impl->lastVm, "vm-4");
  EXPECT_FALSE(impl->lastFilter);
  EXPECT_EQ(
      Text(answer.output()),
      Text(Struct(
          kListResult,
          {{"list",
            List({Struct(kSummary, {{"device", Str("scsi0:0")}, {"disk", Str("disk-1")}}),
                  Struct(kSummary, {{"device", Str("scsi0:1")}, {"disk", Str("disk-0")}})})}})));
  EXPECT_EQ(impl->calls, (std::vector<std::string>{"add", "list"}));

  // The spec given as an empty text is a default spec.
  ASSERT_TRUE(Invoke(*iface, "add", Input({{"spec", Str("")}})).succeeded());
  EXPECT_EQ(impl->lastSpec->vm, "");
  EXPECT_EQ(impl->lastSpec->disk, "");
}

TEST_F(DiskTest, ListFilterSetsArriveAsGiven) {
  ASSERT_TRUE(Invoke(*iface, "list", ListWithDisks(Opt(Texts({"d2", "d1"})))).succeeded());
  ASSERT_TRUE(impl->lastFilter);
  EXPECT_TRUE(impl->lastFilter->disks == (std::set<std::string>{"d1", "d2"}));
  EXPECT_FALSE(impl->lastFilter->devices);
}

TEST_F(DiskTest, ListResultConversion) {
  impl->listed = MakeList({});
  EXPECT_EQ(Text(Invoke(*iface, "list", VmInput()).output()),
            Text(Struct(kListResult, {{"list", List({})}})));
  // No result, or a null summary in it, cannot be converted.
  for (ListPtr bad : {ListPtr(), ListPtr(MakeList({MakeSummary("d", "s"), nullptr}))}) {
    SCOPED_TRACE(bad ? "null summary" : "null result");
    impl->listed = bad;
    auto answer = Invoke(*iface, "list", VmInput());
    EXPECT_EQ(answer.errorName(), StdError("internal_server_error"));
    EXPECT_TRUE(answer.error()->Messages().empty());
  }
}

TEST_F(DiskTest, RejectedInputsNeverReachTheImplementation) {
  ExpectRefusals(
      *iface, kNative,
      {
          {"add without spec", "add", Input({})},
          {"add spec without disk", "add",
           Input({{"spec", Struct(kAddSpec, {{"vm", Str("vm-1")}, {"device", Str("d")}})}})},
          {"add spec with an undeclared field",
           "add",
           Input({{"spec", Struct(kAddSpec, {{"vm", Str("vm-1")},
                                             {"disk", Str("d")},
                                             {"device", Str("d")},
                                             {"size", Int(3)}})}}),
           {"Add", "AddSpec", "size"}},
          {"add spec as a non-empty string", "add", Input({{"spec", Str("disk-3")}})},
          {"list without vm", "list", Input({})},
          {"list with an undeclared field",
           "list",
           VmInput({{"all", Bool(true)}}),
           {"List", "ListMethod::Input", "all"}},
          {"list filter with sets given as a number", "list", ListWithDisks(Int(1))},
          // A repeated disk identifier is a duplicate element naming the text.
          Duplicate("a repeated disk", "list", ListWithDisks(Opt(Texts({"d1", "d1"}))), "d1"),
      });
  EXPECT_TRUE(impl->calls.empty());
}

using DiskClientTest = DiskTest;

TEST_F(DiskClientTest, AddAnswerAndFailure) {
  auto spec = std::make_shared<DiskSvc::AddSpec>();
  spec->vm = "vm-1";
  spec->disk = "disk-3";
  spec->device = "scsi0:2";
  auto activation = AsyncActivation::GetInstance();
  auto added = Call<std::string>([&](auto cb) { stub->Add(spec, activation, cb); });
  ASSERT_TRUE(added.ok()) << added.errorName();
  EXPECT_EQ(*added.value, "disk-3");
  EXPECT_TRUE(activation->resourceIds().empty());
  EXPECT_EQ(impl->lastSpec->device, "scsi0:2");
  ExpectNullRecordRefused(Call<std::string>([&](auto cb) { stub->Add(nullptr, nullptr, cb); }),
                          kAddSpec);

  impl->failure = Errors::AlreadyExists::Create();
  added = Call<std::string>([&](auto cb) { stub->Add(spec, nullptr, cb); });
  EXPECT_EQ(added.errorName(), StdError("already_exists"));
}

TEST_F(DiskClientTest, ListAnswerAndFailure) {
  auto filter = std::make_shared<DiskSvc::FilterSpec>();
  filter->devices = std::set<std::string>{"scsi0:0"};
  auto listed = Call<ListPtr>([&](auto cb) { stub->List("vm-1", filter, nullptr, cb); });
  ASSERT_TRUE(listed.ok() && *listed.value) << listed.errorName();
  ASSERT_EQ((*listed.value)->list.size(), 2u);
  EXPECT_EQ((*listed.value)->list[0]->disk, "disk-1");
  EXPECT_EQ((*listed.value)->list[1]->device, "scsi0:1");
  ASSERT_TRUE(impl->lastFilter);
  EXPECT_TRUE(impl->lastFilter->devices == filter->devices);

  impl->listed = MakeList({});
  listed = Call<ListPtr>([&](auto cb) { stub->List("vm-1", nullptr, nullptr, cb); });
  ASSERT_TRUE(listed.ok());
  EXPECT_TRUE((*listed.value)->list.empty());

  impl->listed = nullptr;
  listed = Call<ListPtr>([&](auto cb) { stub->List("vm-1", nullptr, nullptr, cb); });
  EXPECT_EQ(listed.errorName(), StdError("internal_server_error"));
  impl->failure = Errors::NotFound::Create();
  listed = Call<ListPtr>([&](auto cb) { stub->List("vm-1", nullptr, nullptr, cb); });
  EXPECT_EQ(listed.errorName(), StdError("not_found"));
}

}  // namespace
