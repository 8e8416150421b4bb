// The in-process invocation target (registration, routing, not-found answers, use from several
// threads); activations, method results, standard errors and the checks of a method's values.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <system_error>
#include <thread>
#include <tuple>
#include <vector>

#include "runtime/local_provider.h"
#include "runtime/std_errors.h"
#include "tests/test_values.h"

namespace Tarn {
namespace Core {
namespace {

namespace Errors = ::Com::Brantel::Tarn::Std::Errors;
namespace D = ::Tarn::Data;
using Provider::ApiMethodHelper;
using Provider::DataDefinitionList;
using Strings = std::vector<std::string>;
using ActivationPtr = std::shared_ptr<AsyncActivation>;

// A method object that answers with "<tag>:<input text>", counts its calls and first runs
// `onInvoke` (set before the method is shared).
class FakeMethod final : public Provider::AsyncApiMethod {
 public:
  FakeMethod(std::string name, std::string tag) : name_(std::move(name)), tag_(std::move(tag)) {}
  const std::string& methodName() const override { return name_; }
  std::shared_ptr<const MethodDefinition> definition(
      const std::shared_ptr<const InterfaceIdentifier>&) const override {
    return nullptr;
  }
  Data::DataDefinitionPtr inputDefinition() const override { return nullptr; }
  Data::DataDefinitionPtr outputDefinition() const override { return nullptr; }
  Provider::DataDefinitionList errorDefinitions() override { return errors_; }
  const Provider::DataDefinitionList& errorDefinitions() const override { return errors_; }
  void Invoke(const Data::DataValuePtr& input, const ActivationPtr& activation,
              const AsyncApiResultCb& resultCb) const override {
    calls.fetch_add(1);
    if (onInvoke) onInvoke(activation);
    auto text = Data::StringValue::GetInstance(
        tag_ + ":" + static_cast<const Data::StringValue&>(*input).value());
    resultCb(std::make_shared<const MethodResult>(text, nullptr), Progress{});
  }

  mutable std::atomic<int> calls{0};
  std::function<void(const ActivationPtr&)> onInvoke;

 private:
  std::string name_;
  std::string tag_;
  Provider::DataDefinitionList errors_;
};

std::shared_ptr<Provider::AsyncApiInterface> Interface(
    const std::string& name, std::vector<std::shared_ptr<const FakeMethod>> methods) {
  return Provider::AsyncApiInterface::GetInstance(
      InterfaceIdentifier::GetInstance(name),
      std::vector<Provider::AsyncApiMethodPtr>(methods.begin(), methods.end()));
}
std::shared_ptr<const FakeMethod> Method(const std::string& name, const std::string& tag) {
  return std::make_shared<const FakeMethod>(name, tag);
}
std::shared_ptr<const MethodIdentifier> Id(const std::string& iface, const std::string& method) {
  return MethodIdentifier::GetInstance(InterfaceIdentifier::GetInstance(iface), method);
}

// A result as text: the output's text, or the error's name followed by each message's id and
// arguments.
std::string Describe(const MethodResultPtr& result) {
  if (!result || (result->output() != nullptr) == (result->error() != nullptr)) return "malformed";
  if (result->output()) return result->output()->ToString();
  std::string text = result->error()->name();
  for (auto& m : result->error()->Messages()) {
    text += " " + m.id;
    for (auto& a : m.args) text += " " + a;
  }
  return text;
}

// What one invocation answered: how often, the result, and whether the progress was final.
struct Answer {
  int count = 0;
  MethodResultPtr result;
  bool final = false;
  std::string Text() const { return Describe(result); }
};

Answer Call(LocalProvider& provider, const std::shared_ptr<const MethodIdentifier>& id,
            const std::string& input = "in",
            const ActivationPtr& activation = AsyncActivation::GetInstance()) {
  Answer answer;
  provider.Invoke(
      id, Data::StringValue::GetInstance(input), activation,
      [&answer](const MethodResultPtr& r, const Progress& p, AsyncApiResultCb::Continuation&&) {
        ++answer.count;
        answer.result = r;
        answer.final = p.IsFinal();
      });
  return answer;
}

TEST(LocalProviderTest, RoutesByNameAndAnswersNotFound) {
  auto provider = LocalProvider::GetInstance();
  auto aGet = std::make_shared<FakeMethod>("get", "a.get");
  std::vector<ActivationPtr> seen;
  aGet->onInvoke = [&seen](const ActivationPtr& a) { seen.push_back(a); };
  MessageList messages;
  ASSERT_TRUE(provider->Register(Interface("com.x.a", {aGet, Method("set", "a.set")}), messages));
  ASSERT_TRUE(provider->Register(Interface("com.x.b", {Method("get", "b.get")}), messages));
  // The caller's activation is passed on; without one, a fresh one is made.
  auto mine = AsyncActivation::GetInstance();
  Call(*provider, Id("com.x.a", "get"), "x", mine);
  Call(*provider, Id("com.x.a", "get"), "x", nullptr);
  EXPECT_TRUE(seen.size() == 2 && seen[0] == mine && seen[1] && seen[1] != mine);
  // Identifiers are fresh objects each time: routing goes by exact name.
  const std::string notFound = std::string(Errors::NotFound::typeName) + " tarn.provider.";
  for (const auto& [id, expected] :
       std::vector<std::pair<std::shared_ptr<const MethodIdentifier>, std::string>>{
           {Id("com.x.a", "set"), "a.set:in"},
           {Id("com.x.b", "get"), "b.get:in"},
           {Id("com.x.nope", "get"), notFound + "interface.not.found com.x.nope"},
           {Id("com.x.a", "put"), notFound + "method.not.found com.x.a put"},
           {Id("com.x.a", "GET"), notFound + "method.not.found com.x.a GET"},
           {nullptr, notFound + "interface.not.found (null)"},
           {MethodIdentifier::GetInstance(nullptr, "get"),
            notFound + "interface.not.found (null)"}}) {
    const Answer a = Call(*provider, id);
    EXPECT_EQ(a.count, 1);
    EXPECT_TRUE(a.final);
    EXPECT_EQ(a.Text(), expected);
  }
  EXPECT_EQ(aGet->calls.load(), 2);
}

TEST(LocalProviderTest, RegisterUnregisterAndList) {
  auto provider = LocalProvider::GetInstance();
  auto first = Interface("com.x.a", {Method("get", "first")});
  MessageList messages{BaseMessage{"earlier", "", {}}};
  ASSERT_TRUE(provider->Register(first, messages));
  // A second registration of the name is refused and the first kept; so are null interfaces.
  EXPECT_FALSE(provider->Register(Interface("com.x.a", {Method("get", "second")}), messages));
  EXPECT_FALSE(provider->Register(nullptr, messages));
  EXPECT_FALSE(provider->Register(Provider::AsyncApiInterface::GetInstance(nullptr, {}), messages));
  const auto null = Message<CoreTag>("tarn.provider.interface.not.found", "(null)");
  EXPECT_EQ(messages,
            (MessageList{BaseMessage{"earlier", "", {}},
                         Message<CoreTag>("tarn.provider.interface.already.registered", "com.x.a"),
                         null, null}));
  EXPECT_EQ(provider->Find("com.x.a").get(), first.get());
  for (const std::string name : {"com.x.c", "Com.x.z", "com.x.a.b"}) {
    ASSERT_TRUE(provider->Register(Interface(name, {}), messages));
  }
  EXPECT_TRUE(provider->Unregister("com.x.c") && !provider->Unregister("com.x.c"));
  Strings names;
  for (const auto& iface : provider->Interfaces()) names.push_back(iface->identifier()->name());
  EXPECT_EQ(names, (Strings{"Com.x.z", "com.x.a", "com.x.a.b"}));
  // The name is free again.
  EXPECT_TRUE(provider->Register(Interface("com.x.c", {Method("get", "again")}), messages));
  EXPECT_EQ(Call(*provider, Id("com.x.c", "get")).Text(), "again:in");
}

TEST(LocalProviderTest, AMethodMayUnregisterItsOwnInterfaceWhileRunning) {
  auto provider = LocalProvider::GetInstance();
  auto get = std::make_shared<FakeMethod>("get", "last");
  std::weak_ptr<LocalProvider> weak = provider;
  get->onInvoke = [weak](const ActivationPtr&) {
    if (auto p = weak.lock()) p->Unregister("com.x.a");
  };
  MessageList messages;
  ASSERT_TRUE(provider->Register(Interface("com.x.a", {get}), messages));
  std::weak_ptr<const FakeMethod> alive = get;
  get.reset();
  // The call still completes on the method object although nothing registered holds it any more.
  EXPECT_EQ(Call(*provider, Id("com.x.a", "get")).Text(), "last:in");
  EXPECT_FALSE(provider->Find("com.x.a"));
  EXPECT_TRUE(alive.expired());
}

// Calls to a stable name always reach it; calls to names that come and go get exactly one
// answer, the method's or not-found.
TEST(LocalProviderConcurrency, InvokeWhileOtherNamesComeAndGo) {
  auto provider = LocalProvider::GetInstance();
  auto stable = std::make_shared<const FakeMethod>("get", "stable");
  MessageList messages;
  ASSERT_TRUE(provider->Register(Interface("com.x.stable", {stable}), messages));
  constexpr int kCallers = 4, kCalls = 2000;
  std::atomic<bool> stop{false};
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kCallers; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kCalls; ++i) {
        const std::string input = std::to_string(t) + "-" + std::to_string(i);
        const Answer a = Call(*provider, Id("com.x.stable", "get"), input);
        const Answer b = Call(*provider, Id("com.x.temp" + std::to_string(i % 3), "get"), input);
        const bool missing = b.Text().rfind(Errors::NotFound::typeName, 0) == 0;
        if (a.count != 1 || a.Text() != "stable:" + input || b.count != 1 ||
            !(missing || b.Text() == "temp:" + input)) {
          wrong.fetch_add(1);
        }
      }
    });
  }
  std::thread churn([&] {
    for (int round = 0; !stop.load(); ++round) {
      MessageList m;
      provider->Register(
          Interface("com.x.temp" + std::to_string(round % 3), {Method("get", "temp")}), m);
      provider->Interfaces();
      provider->Unregister("com.x.temp" + std::to_string((round + 1) % 3));
    }
  });
  for (auto& t : threads) t.join();
  stop.store(true);
  churn.join();
  EXPECT_EQ(wrong.load(), 0);
}

TEST(AsyncActivationTest, ResourcesDupAndRequestLocalizer) {
  auto activation = AsyncActivation::GetInstance();
  for (const char* id : {"vm-2", "", "vm-2"}) activation->resourceId(id);
  EXPECT_EQ(activation->resourceIds(), (Strings{"vm-2", "", "vm-2"}));
  // Without its own, a request uses the defaults and installs nothing on the activation.
  const auto defaults = activation->GetErrorRequestLocalizer();
  ASSERT_TRUE(defaults.localizer() && defaults.locale());
  EXPECT_EQ(defaults.locale()->firstPreference, (Strings{"en_US", "en"}));
  EXPECT_EQ(defaults.locale()->secondPreference, (Strings{"C"}));
  EXPECT_FALSE(activation->localizer || activation->locale || activation->Dup()->locale);
  // A copy shares the localisation, not the resources.
  activation->localizer = std::make_shared<L10n::Localizer>();
  activation->locale = std::make_shared<const L10n::LocaleSpec>();
  auto copy = activation->Dup();
  EXPECT_TRUE(copy != activation && copy->resourceIds().empty());
  const auto request = copy->requestLocalizer();
  EXPECT_EQ(request.localizer().get(), activation->localizer.get());
  EXPECT_EQ(request.locale().get(), activation->locale.get());
}

TEST(LocaleHelpersTest, MakeLanguagePreference) {
  // clang-format off
  const std::vector<std::pair<std::string, Strings>> cases = {
      {"en_US.UTF-8", {"en_US.UTF-8", "en_US", "en"}}, {"fr.UTF-8", {"fr.UTF-8", "fr"}},
      {"a_b_c", {"a_b_c", "a"}}, {"en-GB@euro", {"en-GB@euro"}}, {".x", {".x"}}, {"C", {"C"}},
      // Refused: empty, or a character outside letters, digits and "_-.@".
      {"", {}}, {"../e/c", {}}, {std::string("en\0US", 5), {}}, {"\xc3\xa9", {}}, {"en,de", {}},
  };
  // clang-format on
  for (const auto& [locale, expected] : cases) {
    SCOPED_TRACE(locale);
    std::error_code ec;
    EXPECT_EQ(L10n::LocaleHelpers::MakeLanguagePreference(locale, ec), expected);
    EXPECT_EQ(ec, expected.empty() ? std::make_error_code(std::errc::invalid_argument)
                                   : std::error_code());
  }
}

TEST(MethodResultTest, SuccessAndProgress) {
  const auto output = Data::IntegerValue::GetInstance(1);
  EXPECT_TRUE(MethodResult(output, nullptr).success());
  EXPECT_FALSE(MethodResult(output, Errors::NotFound::Create()).success());
  auto end = MethodResult::GetTerminationInstance();
  EXPECT_TRUE(!end->output() && !end->error() && !end->success() && end->flag());
  EXPECT_FALSE((Progress{0, 5, 2}.IsFinal()));
  for (const Progress& other : {Progress{1, 1, 1}, Progress{0, 2, 1}, Progress{0, 1, 0}}) {
    EXPECT_FALSE(Progress{} == other);
  }
}

// A standard error's definition accepts the type's values and refuses a value without messages,
// or with a message that lacks its id.
TEST(StdErrorsTest, DefinitionAcceptsTheTypesValuesOnly) {
  auto def = Errors::ResourceBusy::Definition();
  EXPECT_EQ(def->name(), Errors::ResourceBusy::typeName);
  auto value = Errors::ResourceBusy::Create({BaseMessage{"id.one", "text", {"a", "", "a"}}});
  EXPECT_EQ(value->name(), Errors::ResourceBusy::typeName);
  MessageList problems;
  EXPECT_TRUE(def->Validate(value, problems));
  auto bad = std::make_shared<D::ErrorValue>(Errors::ResourceBusy::typeName);
  EXPECT_FALSE(def->Validate(bad, problems));
  bad->SetField("messages", KovTest::List({KovTest::Struct(D::LocalizableMessageName(),
                                                           {{"default_message", KovTest::Str("t")},
                                                            {"args", KovTest::Texts({})}})}));
  EXPECT_FALSE(def->Validate(bad, problems));
  EXPECT_EQ(problems, (MessageList{Message<CoreTag>("tarn.data.compound.field.missing", "messages",
                                                    Errors::ResourceBusy::typeName),
                                   Message<CoreTag>("tarn.data.compound.field.missing", "id",
                                                    D::LocalizableMessageName())}));
}

// A failed input check answers invalid_argument, a failed output check the internal server error
// naming the method, each with what the check found.
TEST(ApiMethodHelperTest, ValidateInputAndOutput) {
  const auto def =
      D::StructDefinition::GetInstance("in", {{"vm", D::DataDefinition::Create<std::string>()}});
  MethodResultPtr missing, undefined, good;
  EXPECT_FALSE(ApiMethodHelper::ValidateInput("get", def, KovTest::Struct("in", {}), missing));
  EXPECT_FALSE(
      ApiMethodHelper::ValidateInput("get", nullptr, KovTest::Struct("in", {}), undefined));
  EXPECT_TRUE(ApiMethodHelper::ValidateInput(
      "get", def, KovTest::Struct("in", {{"vm", KovTest::Str("vm-1")}}), good));
  EXPECT_FALSE(good);
  const auto out = D::DataDefinition::Create<std::int64_t>();
  const std::string invalid = std::string(Errors::InvalidArgument::typeName) + " tarn.data.";
  const std::string internal = std::string(Errors::InternalServerError::typeName) +
                               " tarn.provider.output.invalid get_things";
  auto kind = [&internal](const char* found) {
    return internal + " tarn.data.definition.kind.mismatch integer " + found + " (value)";
  };
  // clang-format off
  for (const auto& [result, expected] : std::vector<std::pair<MethodResultPtr, std::string>>{
           {missing, invalid + "compound.field.missing vm in"},
           {undefined, invalid + "invalid.type"},
           {ApiMethodHelper::ValidateOutput("get_things", out, KovTest::Int(4)), "4"},
           {ApiMethodHelper::ValidateOutput("get_things", out, KovTest::Str("x")), kind("string")},
           {ApiMethodHelper::ValidateOutput("get_things", out, nullptr), kind("nothing")},
           {ApiMethodHelper::ValidateOutput("get_things", nullptr, KovTest::Int(4)), internal}}) {
    EXPECT_EQ(Describe(result), expected);
  }
  // clang-format on
}

// Declared errors that fit their definition and the runtime's own errors pass; whatever else
// becomes an internal server error naming the method and the error.
TEST(ApiMethodHelperTest, ValidateError) {
  const DataDefinitionList declared = {nullptr, D::DataDefinition::Create<bool>(),
                                       Errors::AlreadyExists::Definition(),
                                       Errors::NotFound::Definition()};
  auto malformed = std::make_shared<D::ErrorValue>(Errors::NotFound::typeName);
  malformed->SetField("messages", KovTest::Str("not a list"));
  // A structure definition of the same name is not an error definition.
  const DataDefinitionList lookalike = {
      D::StructDefinition::GetInstance(Errors::NotFound::typeName, {})};
  const std::string notFound = Errors::NotFound::typeName;
  // clang-format off
  const std::vector<std::tuple<DataDefinitionList, D::ErrorValuePtr, std::string>> cases = {
      {declared, Errors::NotFound::Create({BaseMessage{"id", "text", {"a"}}}), ""},
      {{}, Errors::InvalidArgument::Create({BaseMessage{"m", "t", {}}}), ""},
      {{}, Errors::InternalServerError::Create(), ""},
      {declared, Errors::ResourceBusy::Create(), Errors::ResourceBusy::typeName},
      {declared, D::ErrorValue::GetInstance("com.x.own"), "com.x.own"},
      {declared, nullptr, "null"}, {declared, malformed, notFound},
      {lookalike, Errors::NotFound::Create(), notFound},
  };
  // clang-format on
  for (const auto& [list, error, named] : cases) {
    const auto result = ApiMethodHelper::ValidateError("create", list, error);
    ASSERT_TRUE(result && result->error());
    if (named.empty()) {
      EXPECT_EQ(result->error().get(), error.get());
    } else {
      EXPECT_EQ(Describe(result), std::string(Errors::InternalServerError::typeName) +
                                      " tarn.provider.error.undeclared create " + named);
    }
  }
}

}  // namespace
}  // namespace Core
}  // namespace Tarn
