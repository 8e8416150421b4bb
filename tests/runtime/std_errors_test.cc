// The standard error types and the helpers that check what enters and leaves a method.
#include "runtime/std_errors.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/provider.h"
#include "tests/runtime/runtime_test_util.h"

namespace {

namespace Errors = ::Com::Brantel::Tarn::Std::Errors;
namespace D = ::Tarn::Data;
using ::Tarn::BaseMessage;
using ::Tarn::MessageList;
using ::Tarn::Provider::ApiMethodHelper;
using ::Tarn::Provider::DataDefinitionList;
using ::Tarn::Testing::ExpectMessage;
using ::Tarn::Testing::Strings;

TEST(StdErrorsTest, DefinitionAcceptsTheTypesValuesOnly) {
  // The definition is an error of the name that accepts the type's values and refuses a value
  // without messages, or with a message that lacks its id.
  auto def = Errors::ResourceBusy::Definition();
  EXPECT_EQ(def->GetType(), D::DataType::ERROR);
  EXPECT_EQ(def->name(), Errors::ResourceBusy::typeName);
  const MessageList messages = {BaseMessage{"id.one", "text one", {"a", "", "a"}},
                                BaseMessage{"id.two", "", {}}};
  auto value = Errors::ResourceBusy::Create(messages);
  EXPECT_EQ(value->name(), Errors::ResourceBusy::typeName);
  EXPECT_EQ(value->Messages(), messages);
  MessageList problems;
  EXPECT_TRUE(def->Validate(value, problems));
  EXPECT_TRUE(def->Validate(Errors::ResourceBusy::Create(), problems));
  EXPECT_TRUE(problems.empty());
  auto noMessages = std::make_shared<D::ErrorValue>(Errors::ResourceBusy::typeName);
  EXPECT_FALSE(def->Validate(noMessages, problems));
  auto entry = D::StructValue::GetInstance(D::LocalizableMessageName());
  entry->SetField("default_message", D::StringValue::GetInstance("t"));
  entry->SetField("args", D::ListValueString::GetInstance());
  auto list = D::ListValue::GetInstance();
  list->Add(entry);
  noMessages->SetField("messages", list);
  EXPECT_FALSE(def->Validate(noMessages, problems));
  ASSERT_EQ(problems.size(), 2u);
  ExpectMessage(problems[0], "tarn.data.compound.field.missing",
                {"messages", Errors::ResourceBusy::typeName});
  ExpectMessage(problems[1], "tarn.data.compound.field.missing",
                {"id", D::LocalizableMessageName()});
}

TEST(ApiMethodHelperTest, ValidateInputAndOutput) {
  const auto inputDef = D::StructDefinition::GetInstance(
      "com.x.input", {{"vm", D::DataDefinition::Create<std::string>()}});
  auto input = D::StructValue::GetInstance("com.x.input");
  ::Tarn::Core::MethodResultPtr result;
  EXPECT_FALSE(ApiMethodHelper::ValidateInput("get", inputDef, input, result));
  ASSERT_TRUE(result && result->error());
  EXPECT_FALSE(result->output());
  EXPECT_EQ(result->error()->name(), Errors::InvalidArgument::typeName);
  EXPECT_EQ(result->error()->Messages().at(0).id, "tarn.data.compound.field.missing");
  result.reset();
  EXPECT_FALSE(ApiMethodHelper::ValidateInput("get", nullptr, input, result));
  ASSERT_TRUE(result && result->error());
  EXPECT_EQ(result->error()->Messages().at(0).id, "tarn.data.invalid.type");
  result.reset();
  input->SetField("vm", D::StringValue::GetInstance("vm-1"));
  EXPECT_TRUE(ApiMethodHelper::ValidateInput("get", inputDef, input, result));
  EXPECT_FALSE(result);

  const auto outputDef = D::DataDefinition::Create<std::int64_t>();
  const auto output = D::IntegerValue::GetInstance(4);
  auto ok = ApiMethodHelper::ValidateOutput("get", outputDef, output);
  EXPECT_TRUE(ok->success());
  EXPECT_EQ(ok->output().get(), output.get());
  // A wrong output, or none, or no definition: the internal server error naming the method,
  // followed by what the check found.
  for (const auto& [def, bad, found] :
       std::vector<std::tuple<D::DataDefinitionPtr, D::DataValuePtr, size_t>>{
           {outputDef, D::StringValue::GetInstance("four"), 2},
           {outputDef, nullptr, 2},
           {nullptr, output, 1}}) {
    auto failed = ApiMethodHelper::ValidateOutput("get_things", def, bad);
    ASSERT_TRUE(failed && failed->error());
    EXPECT_FALSE(failed->output());
    EXPECT_EQ(failed->error()->name(), Errors::InternalServerError::typeName);
    const MessageList messages = failed->error()->Messages();
    ASSERT_EQ(messages.size(), found);
    ExpectMessage(messages[0], "tarn.provider.output.invalid", {"get_things"});
  }
  EXPECT_EQ(ApiMethodHelper::GetInvalidArgumentError({})->name(),
            Errors::InvalidArgument::typeName);
}

// Declared errors that fit their definition and the runtime's own errors pass; whatever else
// becomes an internal server error naming the method and the error.
TEST(ApiMethodHelperTest, ValidateError) {
  const DataDefinitionList declared = {nullptr, D::DataDefinition::Create<bool>(),
                                       Errors::AlreadyExists::Definition(),
                                       Errors::NotFound::Definition()};
  auto malformed = std::make_shared<D::ErrorValue>(Errors::NotFound::typeName);
  malformed->SetField("messages", D::StringValue::GetInstance("not a list"));
  // A structure definition of the same name is not an error definition.
  const DataDefinitionList lookalike = {
      D::StructDefinition::GetInstance(Errors::NotFound::typeName, {})};
  struct Case {
    DataDefinitionList declared;
    D::ErrorValuePtr error;
    std::string named;  // empty: passes
  };
  const std::vector<Case> cases = {
      {declared, Errors::NotFound::Create({BaseMessage{"id", "text", {"a"}}}), ""},
      {{}, Errors::InvalidArgument::Create({BaseMessage{"m", "t", {}}}), ""},
      {{}, Errors::InternalServerError::Create(), ""},
      {declared, Errors::ResourceBusy::Create(), Errors::ResourceBusy::typeName},
      {declared, D::ErrorValue::GetInstance("com.x.own"), "com.x.own"},
      {declared, nullptr, "null"},
      {declared, malformed, Errors::NotFound::typeName},
      {lookalike, Errors::NotFound::Create(), Errors::NotFound::typeName},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.error ? c.error->name() : "null");
    auto result = ApiMethodHelper::ValidateError("create", c.declared, c.error);
    ASSERT_TRUE(result && result->error());
    EXPECT_FALSE(result->success());
    if (c.named.empty()) {
      EXPECT_EQ(result->error().get(), c.error.get());
      continue;
    }
    EXPECT_EQ(result->error()->name(), Errors::InternalServerError::typeName);
    const MessageList messages = result->error()->Messages();
    ASSERT_EQ(messages.size(), 1u);
    ExpectMessage(messages[0], "tarn.provider.error.undeclared", {"create", c.named});
  }
}

}  // namespace
