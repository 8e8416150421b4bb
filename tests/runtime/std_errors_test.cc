// The standard error types and the helpers that check what enters and leaves a method.
#include "runtime/std_errors.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "runtime/provider.h"
#include "tests/runtime/runtime_test_util.h"

namespace {

namespace Errors = ::Com::Brantel::Tarn::Std::Errors;
namespace D = ::Tarn::Data;
using ::Tarn::BaseMessage;
using ::Tarn::MessageList;
using ::Tarn::Core::MethodResultPtr;
using ::Tarn::Provider::ApiMethodHelper;
using ::Tarn::Provider::DataDefinitionList;
using ::Tarn::Testing::ExpectMessage;
using ::testing::HasSubstr;

struct StdErrorCase {
  const char* type;  // the C++ type's name
  std::string typeName;
  std::function<std::shared_ptr<const D::ErrorValue>(const MessageList&)> create;
  std::function<std::shared_ptr<const D::ErrorDefinition>()> definition;
};

template <class E>
StdErrorCase Case(const char* type) {
  return {type, E::typeName, [](const MessageList& m) { return E::Create(m); },
          [] { return E::Definition(); }};
}

std::vector<StdErrorCase> AllStdErrors() {
  return {
      Case<Errors::AlreadyExists>("AlreadyExists"),
      Case<Errors::AlreadyInDesiredState>("AlreadyInDesiredState"),
      Case<Errors::Error>("Error"),
      Case<Errors::InvalidArgument>("InvalidArgument"),
      Case<Errors::NotAllowedInCurrentState>("NotAllowedInCurrentState"),
      Case<Errors::NotFound>("NotFound"),
      Case<Errors::ResourceBusy>("ResourceBusy"),
      Case<Errors::ResourceInUse>("ResourceInUse"),
      Case<Errors::ResourceInaccessible>("ResourceInaccessible"),
      Case<Errors::ServiceUnavailable>("ServiceUnavailable"),
      Case<Errors::UnableToAllocateResource>("UnableToAllocateResource"),
      Case<Errors::Unauthenticated>("Unauthenticated"),
      Case<Errors::Unauthorized>("Unauthorized"),
      Case<Errors::Unsupported>("Unsupported"),
      Case<Errors::InternalServerError>("InternalServerError"),
  };
}

// "ResourceInUse" -> "resource_in_use".
std::string LowerSnake(const std::string& camel) {
  std::string out;
  for (char c : camel) {
    if (c >= 'A' && c <= 'Z') {
      if (!out.empty()) out += '_';
      out += static_cast<char>(c - 'A' + 'a');
    } else {
      out += c;
    }
  }
  return out;
}

TEST(StdErrorsTest, TypeNamesAreThePrefixAndTheLowerSnakeCaseName) {
  std::set<std::string> names;
  for (const auto& c : AllStdErrors()) {
    SCOPED_TRACE(c.type);
    EXPECT_EQ(c.typeName, "com.brantel.tarn.std.errors." + LowerSnake(c.type));
    names.insert(c.typeName);
  }
  EXPECT_EQ(names.size(), 15u);
}

TEST(StdErrorsTest, DefinitionIsAnErrorOfTheNameThatValidatesItsValues) {
  const MessageList messages = {BaseMessage{"id.one", "text one", {"a", "", "a"}},
                                BaseMessage{"id.two", "", {}}};
  for (const auto& c : AllStdErrors()) {
    SCOPED_TRACE(c.type);
    auto def = c.definition();
    ASSERT_TRUE(def);
    EXPECT_EQ(def->GetType(), D::DataType::ERROR);
    EXPECT_EQ(def->name(), c.typeName);

    auto value = c.create(messages);
    EXPECT_EQ(value->GetType(), D::DataType::ERROR);
    EXPECT_EQ(value->name(), c.typeName);
    EXPECT_EQ(value->Messages(), messages);
    MessageList problems;
    EXPECT_TRUE(def->Validate(value, problems));
    EXPECT_TRUE(problems.empty());
    EXPECT_TRUE(def->Validate(c.create({}), problems));
    EXPECT_TRUE(def->Validate(D::ErrorValue::GetInstance(c.typeName), problems));
    EXPECT_TRUE(problems.empty());
  }
}

TEST(StdErrorsTest, DefinitionRejectsMalformedMessages) {
  auto def = Errors::NotFound::Definition();
  MessageList problems;

  auto noMessages = std::make_shared<D::ErrorValue>(Errors::NotFound::typeName);
  EXPECT_FALSE(def->Validate(noMessages, problems));
  ASSERT_EQ(problems.size(), 1u);
  ExpectMessage(problems[0], "tarn.data.compound.field.missing",
                {"messages", Errors::NotFound::typeName});

  // A message entry without its identifier.
  auto entry = D::StructValue::GetInstance(D::LocalizableMessageName());
  entry->SetField("default_message", D::StringValue::GetInstance("t"));
  entry->SetField("args", D::ListValueString::GetInstance());
  auto list = D::ListValue::GetInstance();
  list->Add(entry);
  auto noId = std::make_shared<D::ErrorValue>(Errors::NotFound::typeName);
  noId->SetField("messages", list);
  problems.clear();
  EXPECT_FALSE(def->Validate(noId, problems));
  ASSERT_EQ(problems.size(), 1u);
  ExpectMessage(problems[0], "tarn.data.compound.field.missing",
                {"id", D::LocalizableMessageName()});
}

// ---- ApiMethodHelper ----

D::DataDefinitionPtr InputDef() {
  return D::StructDefinition::GetInstance("com.x.input",
                                          {{"vm", D::DataDefinition::Create<std::string>()}});
}

std::shared_ptr<D::StructValue> Input(D::DataValuePtr vm) {
  auto s = D::StructValue::GetInstance("com.x.input");
  if (vm) s->SetField("vm", std::move(vm));
  return s;
}

TEST(ApiMethodHelperTest, ValidateInput) {
  MethodResultPtr result;
  EXPECT_TRUE(ApiMethodHelper::ValidateInput("get", InputDef(),
                                             Input(D::StringValue::GetInstance("vm-1")), result));
  EXPECT_FALSE(result);

  // A failure answers invalid_argument with the check's message.
  struct Case {
    const char* what;
    D::DataDefinitionPtr def;
    D::DataValuePtr value;
    const char* id;
  };
  const Case cases[] = {
      {"missing field", InputDef(), Input(nullptr), "tarn.data.compound.field.missing"},
      {"not a structure", InputDef(), D::IntegerValue::GetInstance(1),
       "tarn.data.definition.kind.mismatch"},
      {"no definition", nullptr, Input(nullptr), "tarn.data.invalid.type"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_FALSE(ApiMethodHelper::ValidateInput("get", c.def, c.value, result));
    ASSERT_TRUE(result);
    EXPECT_FALSE(result->success());
    EXPECT_FALSE(result->output());
    ASSERT_TRUE(result->error());
    EXPECT_EQ(result->error()->name(), Errors::InvalidArgument::typeName);
    const MessageList messages = result->error()->Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].id, c.id);
    EXPECT_EQ(messages[0].defaultMessage.rfind("Unknown message id", 0), std::string::npos);
  }
}

TEST(ApiMethodHelperTest, ValidateOutput) {
  const auto outputDef = D::DataDefinition::Create<std::int64_t>();
  const auto output = D::IntegerValue::GetInstance(4);
  auto ok = ApiMethodHelper::ValidateOutput("get", outputDef, output);
  ASSERT_TRUE(ok);
  EXPECT_TRUE(ok->success());
  EXPECT_EQ(ok->output().get(), output.get());
  EXPECT_FALSE(ok->error());

  for (const D::DataValuePtr& bad : std::vector<D::DataValuePtr>{
           D::StringValue::GetInstance("four"), D::StructValue::GetInstance("s"), nullptr}) {
    SCOPED_TRACE(bad ? bad->ToString() : "null");
    auto result = ApiMethodHelper::ValidateOutput("get_things", outputDef, bad);
    ASSERT_TRUE(result);
    EXPECT_FALSE(result->success());
    EXPECT_FALSE(result->output());
    ASSERT_TRUE(result->error());
    EXPECT_EQ(result->error()->name(), Errors::InternalServerError::typeName);
    const MessageList messages = result->error()->Messages();
    ASSERT_EQ(messages.size(), 2u);
    ExpectMessage(messages[0], "tarn.provider.output.invalid", {"get_things"});
    EXPECT_EQ(messages[1].id, "tarn.data.definition.kind.mismatch");
  }

  auto noDef = ApiMethodHelper::ValidateOutput("get", nullptr, output);
  ASSERT_TRUE(noDef && noDef->error());
  EXPECT_EQ(noDef->error()->name(), Errors::InternalServerError::typeName);
  EXPECT_EQ(noDef->error()->Messages().at(0).id, "tarn.provider.output.invalid");

  EXPECT_TRUE(ApiMethodHelper::ValidateOutput("delete", D::DataDefinition::Create<::Tarn::Void>(),
                                              D::VoidValue::GetInstance())
                  ->success());
}

TEST(ApiMethodHelperTest, ValidateErrorPassesDeclaredErrorsAndTheRuntimesOwn) {
  const DataDefinitionList declared = {Errors::AlreadyExists::Definition(),
                                       Errors::NotFound::Definition()};
  auto error = Errors::NotFound::Create({BaseMessage{"id", "text", {"a"}}});
  auto result = ApiMethodHelper::ValidateError("get", declared, error);
  ASSERT_TRUE(result);
  EXPECT_FALSE(result->success());
  EXPECT_FALSE(result->output());
  EXPECT_EQ(result->error().get(), error.get());

  // The runtime's own errors pass whatever the list.
  for (const auto& list : std::vector<DataDefinitionList>{
           {}, {Errors::NotFound::Definition()}, {nullptr, D::DataDefinition::Create<bool>()}}) {
    for (const D::ErrorValuePtr& own :
         {D::ErrorValuePtr(Errors::InvalidArgument::Create({BaseMessage{"m", "t", {}}})),
          D::ErrorValuePtr(Errors::InternalServerError::Create())}) {
      result = ApiMethodHelper::ValidateError("get", list, own);
      ASSERT_TRUE(result);
      EXPECT_EQ(result->error().get(), own.get());
    }
  }
}

// Whatever is not allowed becomes an internal server error naming the method and the error.
TEST(ApiMethodHelperTest, ValidateErrorReplacesWhatIsNotAllowed) {
  const DataDefinitionList declared = {Errors::AlreadyExists::Definition()};
  // Declared by name, but the value does not fit the definition.
  auto malformed = std::make_shared<D::ErrorValue>(Errors::NotFound::typeName);
  malformed->SetField("messages", D::StringValue::GetInstance("not a list"));
  // A structure definition of the same name is not an error definition.
  auto lookalike = D::StructDefinition::GetInstance(Errors::NotFound::typeName, {});
  struct Case {
    const char* what;
    DataDefinitionList declared;
    D::ErrorValuePtr error;
    std::string named;
  };
  const Case cases[] = {
      {"undeclared", declared, Errors::NotFound::Create(), Errors::NotFound::typeName},
      {"an error of its own", declared, D::ErrorValue::GetInstance("com.x.own"), "com.x.own"},
      {"null", declared, nullptr, "null"},
      {"declared name that does not fit",
       {Errors::NotFound::Definition()},
       malformed,
       Errors::NotFound::typeName},
      {"structure of the name",
       {lookalike, nullptr},
       Errors::NotFound::Create(),
       Errors::NotFound::typeName},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto result = ApiMethodHelper::ValidateError("create", c.declared, c.error);
    ASSERT_TRUE(result);
    EXPECT_FALSE(result->success());
    ASSERT_TRUE(result->error());
    EXPECT_EQ(result->error()->name(), Errors::InternalServerError::typeName);
    const MessageList messages = result->error()->Messages();
    ASSERT_EQ(messages.size(), 1u);
    ExpectMessage(messages[0], "tarn.provider.error.undeclared", {"create", c.named});
  }
}

TEST(ApiMethodHelperTest, GetInvalidArgumentErrorCarriesTheMessages) {
  const MessageList messages = {BaseMessage{"tarn.invoke.invalid.input", "x", {"op"}},
                                BaseMessage{"tarn.data.compound.field.extra", "y", {"T", "f", ""}}};
  auto error = ApiMethodHelper::GetInvalidArgumentError(messages);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->name(), Errors::InvalidArgument::typeName);
  EXPECT_EQ(error->Messages(), messages);
  EXPECT_TRUE(ApiMethodHelper::GetInvalidArgumentError({})->Messages().empty());
}

}  // namespace
