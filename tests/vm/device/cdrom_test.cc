#include "vm/device/cdrom.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "tests/vm/definition_test_util.h"
#include "tests/vm/service_test_util.h"

namespace {

using Com::Brantel::Kov::Vm::Device::CdromSvc;
using ServiceTest::Input;
using ServiceTest::MessageIds;
using ServiceTest::Opt;
using ServiceTest::Str;
using ServiceTest::Struct;
using ServiceTest::Texts;
using ServiceTest::Unset;
using Tarn::Core::AsyncActivation;
using BackingType = CdromSvc::BackingType;

constexpr const char kBackingInfo[] = "com.brantel.kov.vm.device.cdrom.backing_info";
constexpr const char kVm1[] = "com.brantel.kov.vm.VirtualMachine.vm-1";

// Records every call with the resources its activation held when the
// implementation ran, and answers through replaceable handlers.
class FakeCdrom : public CdromSvc::AsyncServiceInterface {
 public:
  void Add(const std::string& vm, const std::shared_ptr<const CdromSvc::BackingInfo>& backing,
           const std::string& device, const std::shared_ptr<AsyncActivation>& activation,
           const CdromSvc::AddMethod::ResultCbType& result) override {
    Record("add", vm, activation);
    lastBacking = backing;
    lastDevice = device;
    answerAdd(result);
  }
  void List(const std::string& vm, const Tarn::OptionalPtr<const CdromSvc::FilterSpec>& filter,
            const std::shared_ptr<AsyncActivation>& activation,
            const CdromSvc::ListMethod::ResultCbType& result) override {
    Record("list", vm, activation);
    lastFilter = filter;
    answerList(result);
  }
  void Delete(const std::string& vm, const std::string& device,
              const std::shared_ptr<AsyncActivation>& activation,
              const CdromSvc::DeleteMethod::ResultCbType& result) override {
    Record("delete", vm, activation);
    lastDevice = device;
    answerDelete(result);
  }

  std::vector<std::string> calls;
  std::vector<std::string> resourcesSeen;
  std::string lastVm;
  std::string lastDevice;
  std::shared_ptr<const CdromSvc::BackingInfo> lastBacking;
  Tarn::OptionalPtr<const CdromSvc::FilterSpec> lastFilter;

  std::function<void(const CdromSvc::AddMethod::ResultCbType&)> answerAdd =
      [](const CdromSvc::AddMethod::ResultCbType& r) { r(std::string("cdrom-7")); };
  std::function<void(const CdromSvc::ListMethod::ResultCbType&)> answerList =
      [](const CdromSvc::ListMethod::ResultCbType& r) {
        r(std::vector<std::shared_ptr<const CdromSvc::Summary>>{});
      };
  std::function<void(const CdromSvc::DeleteMethod::ResultCbType&)> answerDelete =
      [](const CdromSvc::DeleteMethod::ResultCbType& r) { r(Tarn::Void()); };

 private:
  void Record(const char* op, const std::string& vm,
              const std::shared_ptr<AsyncActivation>& activation) {
    calls.push_back(op);
    lastVm = vm;
    resourcesSeen = activation->resourceIds();
  }
};

class CdromTest : public ::testing::Test {
 protected:
  std::shared_ptr<FakeCdrom> impl = std::make_shared<FakeCdrom>();
  std::shared_ptr<Tarn::Provider::AsyncApiInterface> iface =
      CdromSvc::AsyncServiceBinder::BindImplementation(impl);
};

std::shared_ptr<CdromSvc::BackingInfo> Backing(const std::string& type,
                                               boost::optional<std::string> deviceName,
                                               boost::optional<std::string> isoFile) {
  auto b = std::make_shared<CdromSvc::BackingInfo>();
  b->type = Tarn::EnumFromText<BackingType>(type);
  b->deviceName = std::move(deviceName);
  b->isoFile = std::move(isoFile);
  return b;
}

// --- names, enumeration, definitions
// -----------------------------------------------------------

TEST_F(CdromTest, ServiceIdAndSlotOrder) {
  EXPECT_EQ(Tarn::Data::TypeInfo<CdromSvc::AsyncServiceInterface>::name(),
            "com.brantel.kov.vm.device.cdrom");
  EXPECT_EQ(iface->identifier()->name(), "com.brantel.kov.vm.device.cdrom");
  EXPECT_EQ(ServiceTest::MethodNames(*iface), (std::vector<std::string>{"add", "list", "delete"}));
}

TEST_F(CdromTest, ErrorDefinitionsInTheServiceOrder) {
  const std::vector<std::vector<std::string>> expected{
      {"not_found", "not_allowed_in_current_state", "invalid_argument", "already_exists",
       "unable_to_allocate_resource", "error"},
      {"not_found", "not_allowed_in_current_state", "error"},
      {"not_found", "not_allowed_in_current_state", "invalid_argument", "error"},
  };
  ASSERT_EQ(iface->methods().size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const auto& method = *iface->methods()[i];
    EXPECT_EQ(ServiceTest::ErrorNames(method.errorDefinitions()),
              DefinitionTest::StdErrors(expected[i]))
        << method.methodName();
  }
  // The method classes give the same lists as the bound objects.
  EXPECT_EQ(ServiceTest::ErrorNames(CdromSvc::AddMethod::errorDefs()),
            DefinitionTest::StdErrors(expected[0]));
  EXPECT_EQ(ServiceTest::ErrorNames(CdromSvc::DeleteMethod::errorDefs()),
            DefinitionTest::StdErrors(expected[2]));
}

TEST_F(CdromTest, CanonicalAndNativeNames) {
  EXPECT_EQ(Tarn::Data::TypeInfo<CdromSvc::BackingInfo>::name(), kBackingInfo);
  EXPECT_EQ(Tarn::Data::TypeInfo<CdromSvc::Summary>::name(),
            "com.brantel.kov.vm.device.cdrom.summary");
  EXPECT_EQ(Tarn::Data::TypeInfo<CdromSvc::FilterSpec>::name(),
            "com.brantel.kov.vm.device.cdrom.filter_spec");
  EXPECT_STREQ(BackingType::typeName, "com.brantel.kov.vm.device.cdrom.backing_type");
  EXPECT_STREQ(CdromSvc::BackingInfo::nativeName,
               "::Com::Brantel::Kov::Vm::Device::CdromSvc::BackingInfo");
  EXPECT_STREQ(CdromSvc::AddMethod::Input::nativeName,
               "::Com::Brantel::Kov::Vm::Device::CdromSvc::AddMethod::Input");
  EXPECT_STREQ(CdromSvc::ListMethod::Input::nativeName,
               "::Com::Brantel::Kov::Vm::Device::CdromSvc::ListMethod::Input");
  EXPECT_STREQ(CdromSvc::DeleteMethod::Input::nativeName,
               "::Com::Brantel::Kov::Vm::Device::CdromSvc::DeleteMethod::Input");
  // Every input record carries the runtime's operation-input name.
  EXPECT_EQ(Tarn::Data::TypeInfo<CdromSvc::AddMethod::Input>::name(),
            Tarn::Data::TypeInfo<Tarn::OperationInput>::name());
}

TEST(CdromBackingType, TextsToIndexesAndBack) {
  struct Case {
    const char* text;
    BackingType::Value value;
    const char* back;
  };
  const Case cases[] = {
      {"ATAPI", BackingType::ATAPI, "ATAPI"},
      {"IMAGE", BackingType::IMAGE, "IMAGE"},
      {"RAW", BackingType::RAW, "RAW"},
      {"FLOPPY", BackingType::_UNKNOWN, "FLOPPY"},  // kept and written back unchanged
      {"atapi", BackingType::_UNKNOWN, "atapi"},    // matched case-sensitively
      {"_UNKNOWN", BackingType::_UNKNOWN, "_UNKNOWN"},
      {"", BackingType::_UNKNOWN, "_UNKNOWN"},
  };
  for (const Case& c : cases) {
    BackingType e = Tarn::EnumFromText<BackingType>(c.text);
    EXPECT_EQ(e.value(), c.value) << c.text;
    EXPECT_EQ(Tarn::EnumToText(e), c.back) << c.text;
  }
  EXPECT_EQ(BackingType::ATAPI, 0);
  EXPECT_EQ(BackingType::IMAGE, 1);
  EXPECT_EQ(BackingType::RAW, 2);
  EXPECT_EQ(BackingType::_UNKNOWN, 3);
  EXPECT_EQ(Tarn::EnumToText(BackingType()), "_UNKNOWN");
}

TEST(CdromBackingType, AnnotationTables) {
  using A = CdromSvc::BackingInfoAnnotations;
  auto table = [](const char* const* values) {
    std::vector<std::string> out;
    for (; *values; ++values) out.push_back(*values);
    return out;
  };
  EXPECT_EQ(table(A::UnionTags::Strings::values), (std::vector<std::string>{"type", "_UNKNOWN"}));
  EXPECT_EQ(table(A::DeviceNameUnionCases::Strings::values),
            (std::vector<std::string>{"ATAPI", "RAW", "_UNKNOWN"}));
  EXPECT_EQ(table(A::IsoFileUnionCases::Strings::values),
            (std::vector<std::string>{"IMAGE", "_UNKNOWN"}));
  EXPECT_EQ(table(BackingType::Strings::values),
            (std::vector<std::string>{"ATAPI", "IMAGE", "RAW", "_UNKNOWN"}));
}

TEST_F(CdromTest, InputAndOutputDefinitions) {
  using Tarn::Data::DataType;
  auto add = CdromSvc::AddMethod::inputDef();
  EXPECT_EQ(DefinitionTest::FieldNames(add), (std::vector<std::string>{"backing", "device", "vm"}));
  auto backing = DefinitionTest::FieldDef(add, "backing");
  ASSERT_TRUE(backing);
  ASSERT_EQ(backing->GetType(), DataType::STRUCTURE);
  EXPECT_EQ(static_cast<const Tarn::Data::StructDefinition&>(*backing).name(), kBackingInfo);
  EXPECT_EQ(DefinitionTest::FieldNames(backing),
            (std::vector<std::string>{"device_name", "iso_file", "type"}));
  EXPECT_EQ(DefinitionTest::FieldDef(backing, "type")->GetType(), DataType::STRING);

  auto list = CdromSvc::ListMethod::inputDef();
  EXPECT_EQ(DefinitionTest::FieldNames(list), (std::vector<std::string>{"filter", "vm"}));
  EXPECT_EQ(DefinitionTest::FieldDef(list, "filter")->GetType(), DataType::OPTIONAL);
  EXPECT_EQ(DefinitionTest::FieldNames(CdromSvc::DeleteMethod::inputDef()),
            (std::vector<std::string>{"device", "vm"}));

  EXPECT_EQ(CdromSvc::AddMethod::outputDef()->GetType(), DataType::STRING);
  EXPECT_EQ(CdromSvc::DeleteMethod::outputDef()->GetType(), DataType::VOID);
  auto listOut = CdromSvc::ListMethod::outputDef();
  ASSERT_EQ(listOut->GetType(), DataType::LIST);
  auto element = static_cast<const Tarn::Data::ListDefinition&>(*listOut).element();
  ASSERT_EQ(element->GetType(), DataType::STRUCTURE);
  EXPECT_EQ(DefinitionTest::FieldNames(element),
            (std::vector<std::string>{"backing_type", "cdrom", "device"}));
}

TEST(CdromDefinitions, UnionCaseFieldsCarryTheirPredicates) {
  using Tarn::Data::DataType;
  using Tarn::Data::UnionCaseDefinition;
  auto backing = DefinitionTest::FieldDef(CdromSvc::AddMethod::inputDef(), "backing");
  auto deviceName = DefinitionTest::FieldDef(backing, "device_name");
  auto isoFile = DefinitionTest::FieldDef(backing, "iso_file");
  ASSERT_TRUE(deviceName && isoFile);
  ASSERT_EQ(deviceName->GetType(), DataType::UNION_CASE);
  ASSERT_EQ(isoFile->GetType(), DataType::UNION_CASE);
  auto& dn = static_cast<const UnionCaseDefinition&>(*deviceName);
  auto& iso = static_cast<const UnionCaseDefinition&>(*isoFile);
  EXPECT_EQ(dn.tagName(), "type");
  EXPECT_EQ(iso.tagName(), "type");
  EXPECT_EQ(dn.held()->GetType(), DataType::STRING);
  EXPECT_EQ(iso.held()->GetType(), DataType::STRING);

  // true: must be set; false: must be unset; indeterminate: either.
  EXPECT_TRUE(dn.Case("ATAPI") == true);
  EXPECT_TRUE(dn.Case("RAW") == true);
  EXPECT_TRUE(dn.Case("IMAGE") == false);
  EXPECT_TRUE(dn.Case("FLOPPY") == false);
  EXPECT_TRUE(dn.Case("_UNKNOWN") == false);
  EXPECT_TRUE(boost::logic::indeterminate(iso.Case("IMAGE")));
  EXPECT_TRUE(iso.Case("ATAPI") == false);
  EXPECT_TRUE(iso.Case("RAW") == false);
  EXPECT_TRUE(iso.Case("image") == false);
}

// --- validation of the backing union
// -----------------------------------------------------------

TEST(CdromBackingUnion, ChecksRunInOrderAndStopAtTheFirstFailure) {
  struct Case {
    const char* name;
    std::shared_ptr<CdromSvc::BackingInfo> backing;
    std::vector<Tarn::BaseMessage> expected;  // empty: valid
  };
  auto isNotSet = [](const char* field) {
    return Tarn::Message<Tarn::CoreTag>("tarn.data.union.invalid.case.state.isnotset.short",
                                        kBackingInfo, field);
  };
  auto isSet = [](const char* field) {
    return Tarn::Message<Tarn::CoreTag>("tarn.data.union.invalid.case.state.isset.short",
                                        kBackingInfo, field);
  };
  const Tarn::BaseMessage missingTag =
      Tarn::Message<Tarn::CoreTag>("tarn.data.union.missing.tag.field", "type");
  const Case cases[] = {
      {"atapi without device",
       Backing("ATAPI", boost::none, boost::none),
       {isNotSet("deviceName")}},
      {"raw without device", Backing("RAW", boost::none, boost::none), {isNotSet("deviceName")}},
      // The device check comes first, so a stray iso file is not reported.
      {"atapi without device, with iso",
       Backing("ATAPI", boost::none, std::string("a.iso")),
       {isNotSet("deviceName")}},
      {"atapi with device", Backing("ATAPI", std::string("/dev/sr0"), boost::none), {}},
      {"raw with device", Backing("RAW", std::string("/dev/sr0"), boost::none), {}},
      {"atapi with device and iso",
       Backing("ATAPI", std::string("/dev/sr0"), std::string("a.iso")),
       {isSet("isoFile")}},
      {"raw with device and iso",
       Backing("RAW", std::string("/dev/sr0"), std::string("a.iso")),
       {isSet("isoFile")}},
      {"image alone", Backing("IMAGE", boost::none, boost::none), {}},
      {"image with iso", Backing("IMAGE", boost::none, std::string("a.iso")), {}},
      {"image with device",
       Backing("IMAGE", std::string("/dev/sr0"), boost::none),
       {isSet("deviceName")}},
      {"image with both",
       Backing("IMAGE", std::string("/dev/sr0"), std::string("a.iso")),
       {isSet("deviceName")}},
      {"empty device name is set",
       Backing("IMAGE", std::string(), boost::none),
       {isSet("deviceName")}},
      // An unknown tag: the case fields are checked before the missing tag.
      {"unknown alone", Backing("FLOPPY", boost::none, boost::none), {missingTag}},
      {"unknown with device",
       Backing("FLOPPY", std::string("/dev/fd0"), boost::none),
       {isSet("deviceName")}},
      {"unknown with iso",
       Backing("FLOPPY", boost::none, std::string("a.iso")),
       {isSet("isoFile")}},
      {"literal _UNKNOWN", Backing("_UNKNOWN", boost::none, boost::none), {missingTag}},
      {"default record", std::make_shared<CdromSvc::BackingInfo>(), {missingTag}},
  };
  for (const Case& c : cases) {
    Tarn::MessageList messages;
    const bool valid = Tarn::Data::Validator::isValid(
        *c.backing, Tarn::Data::Validator::kRejectUndeclared, messages);
    EXPECT_EQ(valid, c.expected.empty()) << c.name;
    EXPECT_EQ(messages, c.expected) << c.name;
  }
}

TEST(CdromBackingUnion, UndeclaredFieldsAreReportedBeforeTheUnion) {
  auto backing = Backing("ATAPI", boost::none, boost::none);
  backing->unknownFields = Tarn::Data::StructValue::GetInstance("unknownFields");
  backing->unknownFields->SetField("speed", ServiceTest::Int(48));
  Tarn::MessageList messages;
  EXPECT_FALSE(
      Tarn::Data::Validator::isValid(*backing, Tarn::Data::Validator::kRejectUndeclared, messages));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].id, "tarn.data.compound.field.extra");
  EXPECT_EQ(messages[0].args,
            (std::vector<std::string>{"::Com::Brantel::Kov::Vm::Device::CdromSvc::BackingInfo",
                                      "speed", ""}));

  // Without the undeclared-field policy the union rule still applies.
  messages.clear();
  EXPECT_FALSE(
      Tarn::Data::Validator::isValid(*backing, Tarn::Data::Validator::kIgnoreUndeclared, messages));
  EXPECT_EQ(MessageIds(messages),
            std::vector<std::string>{"tarn.data.union.invalid.case.state.isnotset.short"});
}

TEST(CdromInputValidation, AddNeedsAValidBacking) {
  CdromSvc::AddMethod::Input input;
  input.vm = "vm-1";
  input.device = "ide0:1";
  Tarn::MessageList messages;
  EXPECT_FALSE(
      Tarn::Data::Validator::isValid(input, Tarn::Data::Validator::kRejectUndeclared, messages));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].id, "tarn.invoke.invalid.input");
  EXPECT_EQ(messages[0].args,
            std::vector<std::string>{"::Com::Brantel::Kov::Vm::Device::CdromSvc::Add"});

  input.backing = Backing("RAW", boost::none, boost::none);
  messages.clear();
  EXPECT_FALSE(
      Tarn::Data::Validator::isValid(input, Tarn::Data::Validator::kRejectUndeclared, messages));
  EXPECT_EQ(MessageIds(messages),
            (std::vector<std::string>{"tarn.invoke.invalid.input",
                                      "tarn.data.union.invalid.case.state.isnotset.short"}));
  EXPECT_EQ(messages[1].args, (std::vector<std::string>{kBackingInfo, "deviceName"}));

  input.backing = Backing("RAW", std::string("/dev/sr0"), boost::none);
  messages.clear();
  EXPECT_TRUE(
      Tarn::Data::Validator::isValid(input, Tarn::Data::Validator::kRejectUndeclared, messages));
  EXPECT_TRUE(messages.empty());
}

TEST(CdromInputValidation, ListValidatesAPresentFilterOnly) {
  CdromSvc::ListMethod::Input input;
  input.vm = "vm-1";
  Tarn::MessageList messages;
  EXPECT_TRUE(
      Tarn::Data::Validator::isValid(input, Tarn::Data::Validator::kRejectUndeclared, messages));

  auto filter = std::make_shared<CdromSvc::FilterSpec>();
  filter->unknownFields = Tarn::Data::StructValue::GetInstance("unknownFields");
  filter->unknownFields->SetField("vendor", Str("x"));
  input.filter = filter;
  EXPECT_FALSE(
      Tarn::Data::Validator::isValid(input, Tarn::Data::Validator::kRejectUndeclared, messages));
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].args,
            std::vector<std::string>{"::Com::Brantel::Kov::Vm::Device::CdromSvc::List"});
  EXPECT_EQ(messages[1].args[0], "::Com::Brantel::Kov::Vm::Device::CdromSvc::FilterSpec");
}

// --- provider pipeline
// -------------------------------------------------------------------------

Tarn::Data::DataValuePtr AddInput(Tarn::Data::DataValuePtr backing) {
  return Input({{"vm", Str("vm-1")}, {"backing", std::move(backing)}, {"device", Str("ide0:1")}});
}

TEST_F(CdromTest, AddReachesTheImplementationAfterRecordingTheMachine) {
  auto activation = AsyncActivation::GetInstance();
  auto answer = ServiceTest::Invoke(
      *iface, "add",
      AddInput(Struct(kBackingInfo, {{"type", Str("IMAGE")}, {"iso_file", Str("/isos/a.iso")}})),
      activation);
  ASSERT_EQ(answer.calls, 1);
  ASSERT_FALSE(answer.error()) << answer.error()->ToString();
  ASSERT_TRUE(answer.output());
  EXPECT_TRUE(answer.output()->Equals(*Str("cdrom-7")));

  EXPECT_EQ(impl->calls, std::vector<std::string>{"add"});
  EXPECT_EQ(impl->resourcesSeen, std::vector<std::string>{kVm1});
  EXPECT_EQ(activation->resourceIds(), std::vector<std::string>{kVm1});  // exactly once
  EXPECT_EQ(impl->lastVm, "vm-1");
  EXPECT_EQ(impl->lastDevice, "ide0:1");
  ASSERT_TRUE(impl->lastBacking);
  EXPECT_EQ(impl->lastBacking->type.value(), BackingType::IMAGE);
  EXPECT_FALSE(impl->lastBacking->deviceName);
  EXPECT_TRUE(impl->lastBacking->isoFile == std::string("/isos/a.iso"));
}

TEST_F(CdromTest, AddRejectionsNeverReachTheImplementation) {
  struct Case {
    const char* name;
    Tarn::Data::DataValuePtr backing;
    std::vector<std::string> ids;  // empty: only the error name is checked
  };
  const Case cases[] = {
      // Passes the input definition (no case field is required for an unknown
      // tag) and fails
      // the record's own union check at its last step.
      {"unknown tag",
       Struct(kBackingInfo, {{"type", Str("FLOPPY")}}),
       {"tarn.invoke.invalid.input", "tarn.data.union.missing.tag.field"}},
      // The empty string is an absent structure: a default backing without a
      // tag.
      {"empty backing",
       Str(""),
       {"tarn.invoke.invalid.input", "tarn.data.union.missing.tag.field"}},
      // Rejected by the input definition already.
      {"atapi without device", Struct(kBackingInfo, {{"type", Str("ATAPI")}}), {}},
      {"image with device",
       Struct(kBackingInfo, {{"type", Str("IMAGE")}, {"device_name", Str("/dev/sr0")}}),
       {}},
      {"no type", Struct(kBackingInfo, {}), {}},
      {"backing of the wrong kind", ServiceTest::Int(3), {}},
  };
  for (const Case& c : cases) {
    auto activation = AsyncActivation::GetInstance();
    auto answer = ServiceTest::Invoke(*iface, "add", AddInput(c.backing), activation);
    ASSERT_EQ(answer.calls, 1) << c.name;
    EXPECT_EQ(answer.errorName(), "com.brantel.tarn.std.errors.invalid_argument") << c.name;
    if (!c.ids.empty()) {
      EXPECT_EQ(MessageIds(answer.error()), c.ids) << c.name;
    }
    EXPECT_TRUE(activation->resourceIds().empty()) << c.name;
  }
  EXPECT_TRUE(impl->calls.empty());

  auto answer =
      ServiceTest::Invoke(*iface, "add", AddInput(Struct(kBackingInfo, {{"type", Str("X")}})));
  auto messages = answer.error()->Messages();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].args,
            std::vector<std::string>{"::Com::Brantel::Kov::Vm::Device::CdromSvc::Add"});
  EXPECT_EQ(messages[1].args, std::vector<std::string>{"type"});
}

TEST_F(CdromTest, ListFilterArrivesEmptyWhenAbsent) {
  struct Case {
    const char* name;
    bool withField;
    Tarn::Data::DataValuePtr filter;
    bool present;
  };
  const Case cases[] = {
      {"field left out", false, nullptr, false},
      {"unset optional", true, Unset(), false},
      {"empty string", true, Str(""), false},
      {"optional holding a filter", true,
       Opt(Struct("com.brantel.kov.vm.device.cdrom.filter_spec", {})), true},
      {"filter without optional wrapper", true,
       Struct("com.brantel.kov.vm.device.cdrom.filter_spec", {}), true},
  };
  for (const Case& c : cases) {
    impl->lastFilter = nullptr;
    ServiceTest::Fields fields{{"vm", Str("vm-1")}};
    if (c.withField) fields.push_back({"filter", c.filter});
    auto answer = ServiceTest::Invoke(*iface, "list", Input(fields));
    ASSERT_FALSE(answer.error()) << c.name << ": " << answer.error()->ToString();
    EXPECT_EQ(static_cast<bool>(impl->lastFilter), c.present) << c.name;
    if (impl->lastFilter) {
      EXPECT_FALSE(impl->lastFilter->cdroms) << c.name;
      EXPECT_FALSE(impl->lastFilter->backingTypes) << c.name;
      EXPECT_FALSE(impl->lastFilter->devices) << c.name;
    }
  }
  EXPECT_EQ(impl->resourcesSeen, std::vector<std::string>{kVm1});
}

Tarn::Data::DataValuePtr ListInputWithBackingTypes(Tarn::Data::DataValuePtr types) {
  return Input({{"vm", Str("vm-1")},
                {"filter", Opt(Struct("com.brantel.kov.vm.device.cdrom.filter_spec",
                                      {{"backing_types", Opt(std::move(types))},
                                       {"cdroms", Opt(Texts({"c2", "c1"}))}}))}});
}

TEST_F(CdromTest, BackingTypeSetsKeepUnknownTextsApart) {
  auto answer = ServiceTest::Invoke(
      *iface, "list", ListInputWithBackingTypes(Texts({"RAW", "FOO", "ATAPI", "BAR"})));
  ASSERT_FALSE(answer.error()) << answer.error()->ToString();
  ASSERT_TRUE(impl->lastFilter && impl->lastFilter->backingTypes);
  const std::set<BackingType>& types = *impl->lastFilter->backingTypes;
  ASSERT_EQ(types.size(), 4u);  // two different unknown texts are two elements
  std::vector<std::string> texts;
  for (auto& t : types) texts.push_back(Tarn::EnumToText(t));
  // Ordered by index, unknown values last and among themselves by their text.
  EXPECT_EQ(texts, (std::vector<std::string>{"ATAPI", "RAW", "BAR", "FOO"}));
  EXPECT_EQ(*impl->lastFilter->cdroms, (std::set<std::string>{"c1", "c2"}));
  EXPECT_FALSE(impl->lastFilter->devices);
}

TEST_F(CdromTest, RepeatedBackingTypeIsADuplicateNamingItsIndex) {
  struct Case {
    const char* name;
    Tarn::Data::DataValuePtr types;
    const char* argument;
  };
  const Case cases[] = {
      {"known text twice", Texts({"IMAGE", "RAW", "IMAGE"}), "1"},
      {"first value twice", Texts({"ATAPI", "ATAPI"}), "0"},
      {"unknown text twice", Texts({"FOO", "BAR", "FOO"}), "3"},
      // A generic list reports the repeated element value's own text.
      {"generic list", ServiceTest::List({Str("RAW"), Str("RAW")}), "RAW"},
  };
  for (const Case& c : cases) {
    impl->calls.clear();
    auto activation = AsyncActivation::GetInstance();
    auto answer =
        ServiceTest::Invoke(*iface, "list", ListInputWithBackingTypes(c.types), activation);
    ASSERT_EQ(answer.calls, 1) << c.name;
    EXPECT_EQ(answer.errorName(), "com.brantel.tarn.std.errors.invalid_argument") << c.name;
    auto messages = answer.error() ? answer.error()->Messages() : Tarn::MessageList{};
    ASSERT_EQ(messages.size(), 1u) << c.name;
    EXPECT_EQ(messages[0].id, "tarn.data.duplicate.set.element") << c.name;
    EXPECT_EQ(messages[0].args, std::vector<std::string>{c.argument}) << c.name;
    EXPECT_TRUE(impl->calls.empty()) << c.name;
    EXPECT_TRUE(activation->resourceIds().empty()) << c.name;
  }
}

TEST_F(CdromTest, ListAnswersKeepTheImplementationOrder) {
  impl->answerList = [](const CdromSvc::ListMethod::ResultCbType& r) {
    auto first = std::make_shared<CdromSvc::Summary>();
    first->cdrom = "cdrom-2";
    first->backingType = BackingType::RAW;
    first->device = "ide1:0";
    auto second = std::make_shared<CdromSvc::Summary>();
    second->cdrom = "cdrom-1";
    second->backingType = Tarn::EnumFromText<BackingType>("NETWORK");
    second->device = "ide0:0";
    r(std::vector<std::shared_ptr<const CdromSvc::Summary>>{first, second});
  };
  auto answer = ServiceTest::Invoke(*iface, "list", Input({{"vm", Str("vm-1")}}));
  ASSERT_FALSE(answer.error()) << answer.error()->ToString();
  auto expected = ServiceTest::List(
      {Struct("com.brantel.kov.vm.device.cdrom.summary",
              {{"cdrom", Str("cdrom-2")}, {"backing_type", Str("RAW")}, {"device", Str("ide1:0")}}),
       Struct("com.brantel.kov.vm.device.cdrom.summary", {{"cdrom", Str("cdrom-1")},
                                                          {"backing_type", Str("NETWORK")},
                                                          {"device", Str("ide0:0")}})});
  EXPECT_TRUE(answer.output()->Equals(*expected)) << answer.output()->ToString();
}

TEST_F(CdromTest, ListAnswerWithANullSummaryIsAnInternalError) {
  impl->answerList = [](const CdromSvc::ListMethod::ResultCbType& r) {
    r(std::vector<std::shared_ptr<const CdromSvc::Summary>>{nullptr});
  };
  auto answer = ServiceTest::Invoke(*iface, "list", Input({{"vm", Str("vm-1")}}));
  EXPECT_EQ(answer.errorName(), "com.brantel.tarn.std.errors.internal_server_error");
  EXPECT_TRUE(answer.error()->Messages().empty());
}

TEST_F(CdromTest, DeleteCompletesWithVoidAndRecordsTheMachine) {
  auto activation = AsyncActivation::GetInstance();
  auto answer = ServiceTest::Invoke(
      *iface, "delete", Input({{"vm", Str("vm-1")}, {"device", Str("ide0:1")}}), activation);
  ASSERT_FALSE(answer.error()) << answer.error()->ToString();
  EXPECT_EQ(answer.output()->GetType(), Tarn::Data::DataType::VOID);
  EXPECT_EQ(impl->resourcesSeen, std::vector<std::string>{kVm1});
  EXPECT_EQ(activation->resourceIds(), std::vector<std::string>{kVm1});
  EXPECT_EQ(impl->lastDevice, "ide0:1");
}

TEST_F(CdromTest, UndeclaredInputFieldsFailUnlessTheyHoldNothing) {
  auto answer = ServiceTest::Invoke(
      *iface, "delete",
      Input({{"vm", Str("vm-1")}, {"device", Str("d")}, {"force", Opt(ServiceTest::Bool(true))}}));
  EXPECT_EQ(answer.errorName(), "com.brantel.tarn.std.errors.invalid_argument");
  auto messages = answer.error()->Messages();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].id, "tarn.invoke.invalid.input");
  EXPECT_EQ(messages[0].args,
            std::vector<std::string>{"::Com::Brantel::Kov::Vm::Device::CdromSvc::Delete"});
  EXPECT_EQ(messages[1].id, "tarn.data.compound.field.extra");
  EXPECT_EQ(messages[1].args,
            (std::vector<std::string>{
                "::Com::Brantel::Kov::Vm::Device::CdromSvc::DeleteMethod::Input", "force", ""}));
  EXPECT_TRUE(impl->calls.empty());

  answer = ServiceTest::Invoke(
      *iface, "delete", Input({{"vm", Str("vm-1")}, {"device", Str("d")}, {"force", Unset()}}));
  EXPECT_FALSE(answer.error());
  EXPECT_EQ(impl->calls, std::vector<std::string>{"delete"});
}

TEST_F(CdromTest, ImplementationErrorsAreCheckedAgainstTheErrorList) {
  impl->answerDelete = [](const CdromSvc::DeleteMethod::ResultCbType& r) {
    r.error(Com::Brantel::Tarn::Std::Errors::InvalidArgument::Create());
  };
  auto answer =
      ServiceTest::Invoke(*iface, "delete", Input({{"vm", Str("vm-1")}, {"device", Str("d")}}));
  EXPECT_EQ(answer.errorName(), "com.brantel.tarn.std.errors.invalid_argument");

  // "already_exists" is an error of "add", not of "delete".
  impl->answerDelete = [](const CdromSvc::DeleteMethod::ResultCbType& r) {
    r.error(Com::Brantel::Tarn::Std::Errors::AlreadyExists::Create());
  };
  answer =
      ServiceTest::Invoke(*iface, "delete", Input({{"vm", Str("vm-1")}, {"device", Str("d")}}));
  EXPECT_EQ(answer.errorName(), "com.brantel.tarn.std.errors.internal_server_error");

  impl->answerAdd = [](const CdromSvc::AddMethod::ResultCbType& r) {
    r.error(Com::Brantel::Tarn::Std::Errors::AlreadyExists::Create());
  };
  answer = ServiceTest::Invoke(
      *iface, "add",
      AddInput(Struct(kBackingInfo, {{"type", Str("RAW")}, {"device_name", Str("d")}})));
  EXPECT_EQ(answer.errorName(), "com.brantel.tarn.std.errors.already_exists");
}

// --- metadata
// ----------------------------------------------------------------------------------

TEST(CdromMetadata, SummaryAndFilterSpecNameTheirDriveFields) {
  ServiceTest::ExpectMetadata<CdromSvc::Summary>("com.brantel.kov.vm.device.Cdrom.Summary",
                                                 {{"cdrom", "VIRTUAL_CDROM"}});
  ServiceTest::ExpectMetadata<CdromSvc::FilterSpec>("com.brantel.kov.vm.device.Cdrom.FilterSpec",
                                                    {{"cdroms", "VIRTUAL_CDROM"}});
  // Each call builds a new description.
  EXPECT_NE(Tarn::Metadata::StructInfo::Create<CdromSvc::Summary>(),
            Tarn::Metadata::StructInfo::Create<CdromSvc::Summary>());
}

// --- end to end through the stub
// ---------------------------------------------------------------

class CdromClientTest : public CdromTest {
 protected:
  std::unique_ptr<CdromSvc::AsyncServiceStub> stub = ServiceTest::LocalStub<CdromSvc>(impl);
};

TEST_F(CdromClientTest, AddAnswerAndFailure) {
  ServiceTest::Outcome<std::string> ok;
  stub->Add("vm-1", Backing("ATAPI", std::string("/dev/sr0"), boost::none), "ide0:0", nullptr,
            ok.Callback());
  ASSERT_EQ(ok.calls, 1);
  ASSERT_FALSE(ok.error) << ok.error->ToString();
  EXPECT_EQ(*ok.value, "cdrom-7");
  ASSERT_TRUE(impl->lastBacking);
  EXPECT_EQ(impl->lastBacking->type.value(), BackingType::ATAPI);
  EXPECT_TRUE(impl->lastBacking->deviceName == std::string("/dev/sr0"));
  EXPECT_EQ(impl->resourcesSeen, std::vector<std::string>{kVm1});

  impl->answerAdd = [](const CdromSvc::AddMethod::ResultCbType& r) {
    r.error(Com::Brantel::Tarn::Std::Errors::UnableToAllocateResource::Create());
  };
  ServiceTest::Outcome<std::string> failed;
  stub->Add("vm-1", Backing("RAW", std::string("/dev/sr1"), boost::none), "ide0:1", nullptr,
            failed.Callback());
  ASSERT_EQ(failed.calls, 1);
  EXPECT_FALSE(failed.value);
  EXPECT_EQ(failed.errorName(), "com.brantel.tarn.std.errors.unable_to_allocate_resource");

  // A backing that breaks its union never reaches the implementation.
  impl->calls.clear();
  ServiceTest::Outcome<std::string> rejected;
  stub->Add("vm-1", Backing("IMAGE", std::string("/dev/sr1"), boost::none), "ide0:1", nullptr,
            rejected.Callback());
  EXPECT_EQ(rejected.errorName(), "com.brantel.tarn.std.errors.invalid_argument");
  EXPECT_TRUE(impl->calls.empty());
}

TEST_F(CdromClientTest, AddWithoutBackingFailsBeforeTheRuntime) {
  ServiceTest::Outcome<std::string> out;
  stub->Add("vm-1", nullptr, "ide0:0", nullptr, out.Callback());
  ASSERT_EQ(out.calls, 1);
  EXPECT_EQ(out.errorName(), "com.brantel.tarn.std.errors.invalid_argument");
  auto messages = out.error->Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].id, "tarn.data.unset.non.optional.field");
  EXPECT_EQ(messages[0].args, std::vector<std::string>{kBackingInfo});
  EXPECT_TRUE(impl->calls.empty());
}

TEST_F(CdromClientTest, ListAnswerAndFailure) {
  impl->answerList = [](const CdromSvc::ListMethod::ResultCbType& r) {
    auto s = std::make_shared<CdromSvc::Summary>();
    s->cdrom = "cdrom-1";
    s->backingType = Tarn::EnumFromText<BackingType>("PASSTHRU");
    s->device = "sata0:0";
    r(std::vector<std::shared_ptr<const CdromSvc::Summary>>{s, s});
  };
  auto filter = std::make_shared<CdromSvc::FilterSpec>();
  filter->backingTypes =
      std::set<BackingType>{BackingType::IMAGE, Tarn::EnumFromText<BackingType>("PASSTHRU")};
  filter->devices = std::set<std::string>{};
  ServiceTest::Outcome<std::vector<std::shared_ptr<const CdromSvc::Summary>>> out;
  stub->List("vm-1", filter, nullptr, out.Callback());
  ASSERT_EQ(out.calls, 1);
  ASSERT_FALSE(out.error) << out.error->ToString();
  ASSERT_EQ(out.value->size(), 2u);  // a list keeps repeated elements
  EXPECT_EQ((*out.value)[1]->cdrom, "cdrom-1");
  EXPECT_EQ(Tarn::EnumToText((*out.value)[1]->backingType), "PASSTHRU");

  ASSERT_TRUE(impl->lastFilter);
  EXPECT_TRUE(impl->lastFilter->backingTypes == filter->backingTypes);
  EXPECT_TRUE(impl->lastFilter->devices == std::set<std::string>{});
  EXPECT_FALSE(impl->lastFilter->cdroms);

  ServiceTest::Outcome<std::vector<std::shared_ptr<const CdromSvc::Summary>>> none;
  stub->List("vm-1", nullptr, nullptr, none.Callback());
  ASSERT_FALSE(none.error);
  EXPECT_FALSE(impl->lastFilter);

  impl->answerList = [](const CdromSvc::ListMethod::ResultCbType& r) {
    r.error(Com::Brantel::Tarn::Std::Errors::NotAllowedInCurrentState::Create());
  };
  ServiceTest::Outcome<std::vector<std::shared_ptr<const CdromSvc::Summary>>> failed;
  stub->List("vm-1", nullptr, nullptr, failed.Callback());
  EXPECT_EQ(failed.errorName(), "com.brantel.tarn.std.errors.not_allowed_in_current_state");
}

TEST_F(CdromClientTest, DeleteAnswerAndFailure) {
  ServiceTest::Outcome<Tarn::Void> ok;
  auto activation = AsyncActivation::GetInstance();
  stub->Delete("vm-9", "ide0:0", activation, ok.Callback());
  ASSERT_FALSE(ok.error) << ok.error->ToString();
  EXPECT_TRUE(ok.value);
  EXPECT_EQ(activation->resourceIds(),
            std::vector<std::string>{"com.brantel.kov.vm.VirtualMachine.vm-9"});

  impl->answerDelete = [](const CdromSvc::DeleteMethod::ResultCbType& r) {
    r.error(Com::Brantel::Tarn::Std::Errors::NotFound::Create());
  };
  ServiceTest::Outcome<Tarn::Void> failed;
  stub->Delete("vm-9", "ide0:0", nullptr, failed.Callback());
  EXPECT_EQ(failed.errorName(), "com.brantel.tarn.std.errors.not_found");
  EXPECT_FALSE(failed.value);
}

}  // namespace
