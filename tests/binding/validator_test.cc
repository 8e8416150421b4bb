// The check of a record before it reaches an implementation: undeclared fields by policy, the
// union rules in either check order, nested records, and the summary message of input records.
#include "binding/validator.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/binding/binding_test_util.h"

namespace KovTest {
namespace {

using ::Tarn::Data::Validator;
using Args = std::vector<std::string>;

const char* const kExtra = "tarn.data.compound.field.extra";
const char* const kSummary = "tarn.invoke.invalid.input";
const char* const kMissingTag = "tarn.data.union.missing.tag.field";
const char* const kNotSet = "tarn.data.union.invalid.case.state.isnotset.short";
const char* const kSet = "tarn.data.union.invalid.case.state.isset.short";

std::shared_ptr<::Tarn::Data::StructValue> Unknown(const Fields& fields) {
  return Struct("unknownFields", fields);
}

struct Expected {
  const char* id;
  Args args;
};

template <class T>
void ExpectCheck(const T& record, Validator::Policy policy, const std::vector<Expected>& expected,
                 bool valid) {
  MessageList messages;
  EXPECT_EQ(Validator::isValid(record, policy, messages), valid);
  ASSERT_EQ(messages.size(), expected.size()) << ::testing::PrintToString(Ids(messages));
  for (std::size_t i = 0; i < messages.size(); ++i) {
    EXPECT_EQ(messages[i].id, expected[i].id);
    EXPECT_EQ(messages[i].args, expected[i].args);
  }
}

TEST(Validator, UndeclaredFieldsAreReportedInNameOrderUnderTheRejectingPolicyOnly) {
  const std::string native = DataSetsSvc::Info::nativeName;
  DataSetsSvc::Info info;
  info.unknownFields = Unknown(
      {{"zeta", Int(1)}, {"alpha", Str("")}, {"mid_unset", Unset()}, {"Mixed", Opt(Int(2))}});
  ExpectCheck(info, Validator::kRejectUndeclared,
              {{kExtra, A(native, "Mixed", "")},
               {kExtra, A(native, "alpha", "")},
               {kExtra, A(native, "zeta", "")}},
              false);
  EXPECT_EQ(static_cast<int>(Validator::kRejectUndeclared), 1);
  for (auto policy : {Validator::kIgnoreUndeclared, static_cast<Validator::Policy>(7)}) {
    ExpectCheck(info, policy, {}, true);
  }
  // Unset undeclared fields, or none, are tolerated.
  info.unknownFields = Unknown({{"a", Unset()}});
  ExpectCheck(info, Validator::kRejectUndeclared, {}, true);
  info.unknownFields = Unknown({});
  ExpectCheck(info, Validator::kRejectUndeclared, {}, true);
}

struct UnionCase {
  const char* what;
  const char* tag;  // the tag's text; "" for the default, unknown value
  bool first;       // the first union field is set
  bool second;      // the second one (if any) is set
  const char* id;   // null: valid
  Args args;
};

// Each case under both policies: the union rules do not depend on them.
template <class R, class Apply>
void RunUnionCases(const std::vector<UnionCase>& cases, Apply apply) {
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    R record;
    apply(record, c);
    for (auto policy : {Validator::kRejectUndeclared, Validator::kIgnoreUndeclared}) {
      ExpectCheck(record, policy,
                  c.id ? std::vector<Expected>{{c.id, c.args}} : std::vector<Expected>{}, !c.id);
    }
  }
}

TEST(Validator, UnionWithTheMissingTagCheckFirst) {
  const std::string p = PowerSvc::Info::typeName;
  RunUnionCases<PowerSvc::Info>(
      {
          {"off with its required field", "OFF", true, false, nullptr, A()},
          {"off without its required field", "OFF", false, false, kNotSet, A(p, "suspended")},
          {"on with a forbidden field", "ON", true, false, kSet, A(p, "suspended")},
          {"on without it", "ON", false, false, nullptr, A()},
          {"unknown tag with the field set", "", true, false, kMissingTag, A("state")},
          {"tag text outside the enumeration", "HIBERNATE", true, false, kMissingTag, A("state")},
      },
      [](PowerSvc::Info& r, const UnionCase& c) {
        if (*c.tag) r.state = EnumOf<PowerSvc::State>(c.tag);
        if (c.first) r.suspended = true;
      });
}

TEST(Validator, UnionWithTheFieldChecksFirst) {
  const std::string b = CdromSvc::BackingInfo::typeName;
  RunUnionCases<CdromSvc::BackingInfo>(
      {
          {"required field present", "ATAPI", true, false, nullptr, A()},
          {"required field missing", "RAW", false, false, kNotSet, A(b, "deviceName")},
          {"forbidden field set", "IMAGE", true, false, kSet, A(b, "deviceName")},
          {"allowed field set", "IMAGE", false, true, nullptr, A()},
          {"allowed field unset", "IMAGE", false, false, nullptr, A()},
          {"allowed field set for another tag", "ATAPI", true, true, kSet, A(b, "isoFile")},
          // With the field checks first, an unknown tag forbids every field before the missing
          // tag is looked at.
          {"unknown tag with a field", "", true, false, kSet, A(b, "deviceName")},
          {"unknown tag with the other field", "", false, true, kSet, A(b, "isoFile")},
          {"unknown tag with both: the first check wins", "", true, true, kSet, A(b, "deviceName")},
          {"unknown tag alone", "", false, false, kMissingTag, A("type")},
          {"outside the enumeration alone", "FLOPPY", false, false, kMissingTag, A("type")},
      },
      [](CdromSvc::BackingInfo& r, const UnionCase& c) {
        if (*c.tag) r.type = EnumOf<Backing>(c.tag);
        if (c.first) r.deviceName = std::string("cd0");
        if (c.second) r.isoFile = std::string("/images/a.iso");
      });
}

TEST(Validator, ListElementsAreCheckedInOrderUntilTheFirstFailure) {
  const std::string native = DiskSvc::Summary::nativeName;
  auto summary = [](const Fields& unknown) {
    auto s = std::make_shared<DiskSvc::Summary>();
    if (!unknown.empty()) s->unknownFields = Unknown(unknown);
    return s;
  };
  auto bad = summary({{"x", Int(1)}, {"y", Int(2)}});
  const struct {
    const char* what;
    std::vector<std::shared_ptr<const DiskSvc::Summary>> list;
    bool valid;
    std::vector<Expected> expected;
  } cases[] = {
      {"valid elements", {summary({}), summary({})}, true, {}},
      {"null element", {summary({}), nullptr}, false, {}},
      {"an element's undeclared fields name its own type",
       {summary({}), bad},
       false,
       {{kExtra, A(native, "x", "")}, {kExtra, A(native, "y", "")}}},
      {"an invalid element before a null one",
       {bad, nullptr},
       false,
       {{kExtra, A(native, "x", "")}, {kExtra, A(native, "y", "")}}},
      {"the first failing element ends the check",
       {bad, bad},
       false,
       {{kExtra, A(native, "x", "")}, {kExtra, A(native, "y", "")}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    DiskSvc::ListResult result;
    result.list = c.list;
    ExpectCheck(result, Validator::kRejectUndeclared, c.expected, c.valid);
  }
}

TEST(Validator, InvalidInputRecordsStartWithTheSummaryMessage) {
  using Add = CdromSvc::AddMethod::Input;
  using List = CdromSvc::ListMethod::Input;
  const Args add{Add::operationName}, list{List::operationName};
  const std::string b = CdromSvc::BackingInfo::typeName;
  auto backing = [](const char* tag) {
    auto r = std::make_shared<CdromSvc::BackingInfo>();
    r->type = EnumOf<Backing>(tag);
    return r;
  };
  Add input;
  input.backing = backing("IMAGE");
  ExpectCheck(input, Validator::kRejectUndeclared, {}, true);
  input.unknownFields = Unknown({{"extra", Int(1)}, {"unset", Unset()}});
  ExpectCheck(input, Validator::kRejectUndeclared,
              {{kSummary, add}, {kExtra, A(Add::nativeName, "extra", "")}}, false);
  ExpectCheck(input, Validator::kIgnoreUndeclared, {}, true);
  input.backing = backing("RAW");  // a required record breaking its union rules
  ExpectCheck(input, Validator::kIgnoreUndeclared, {{kSummary, add}, {kNotSet, A(b, "deviceName")}},
              false);
  input.backing = nullptr;
  ExpectCheck(input, Validator::kIgnoreUndeclared, {{kSummary, add}}, false);

  List query;
  auto filter = std::make_shared<CdromSvc::FilterSpec>();
  filter->unknownFields = Unknown({{"z", Int(1)}});
  query.filter = filter;  // an optional record
  ExpectCheck(query, Validator::kRejectUndeclared,
              {{kSummary, list}, {kExtra, A(CdromSvc::FilterSpec::nativeName, "z", "")}}, false);

  // The summary is put in front of everything already in the list.
  MessageList messages{::Tarn::BaseMessage{"earlier", "", {}}};
  EXPECT_FALSE(Validator::isValid(Add(), Validator::kRejectUndeclared, messages));
  EXPECT_EQ(Ids(messages), A(kSummary, "earlier"));
  EXPECT_EQ(messages[0].args, add);
}

}  // namespace
}  // namespace KovTest
