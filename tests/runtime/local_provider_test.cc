// The in-process invocation target: registration, routing by method identifier, answers for
// unknown interfaces and methods, and use from several threads at once.
#include "runtime/local_provider.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "runtime/std_errors.h"

namespace Tarn {
namespace Core {
namespace {

namespace Errors = ::Com::Brantel::Tarn::Std::Errors;
using ::testing::HasSubstr;
using Strings = std::vector<std::string>;

// A method object that answers with "<tag>:<input text>" and remembers what it was given.
class FakeMethod final : public Provider::AsyncApiMethod {
 public:
  FakeMethod(std::string name, std::string tag) : name_(std::move(name)), tag_(std::move(tag)) {}

  const std::string& methodName() const override { return name_; }
  std::shared_ptr<const MethodDefinition> definition(
      const std::shared_ptr<const InterfaceIdentifier>& interfaceId) const override {
    return std::make_shared<const MethodDefinition>(
        MethodIdentifier::GetInstance(interfaceId, name_), inputDefinition(), outputDefinition());
  }
  Data::DataDefinitionPtr inputDefinition() const override {
    return Data::DataDefinition::Create<std::string>();
  }
  Data::DataDefinitionPtr outputDefinition() const override {
    return Data::DataDefinition::Create<std::string>();
  }
  Provider::DataDefinitionList errorDefinitions() override { return errors_; }
  const Provider::DataDefinitionList& errorDefinitions() const override { return errors_; }

  void Invoke(const Data::DataValuePtr& input, const std::shared_ptr<AsyncActivation>& activation,
              const AsyncApiResultCb& resultCb) const override {
    calls_.fetch_add(1);
    if (onInvoke) onInvoke(activation);
    std::string text = "(none)";
    if (auto s = Data::NarrowDataTypeInt<Data::StringValue>(input)) text = s->value();
    resultCb(std::make_shared<const MethodResult>(Data::StringValue::GetInstance(tag_ + ":" + text),
                                                  nullptr),
             Progress{});
  }

  int calls() const { return calls_.load(); }
  // Called first in every invocation; set before the method is shared.
  std::function<void(const std::shared_ptr<AsyncActivation>&)> onInvoke;

 private:
  std::string name_;
  std::string tag_;
  Provider::DataDefinitionList errors_;
  mutable std::atomic<int> calls_{0};
};

std::shared_ptr<Provider::AsyncApiInterface> Interface(
    const std::string& name, std::vector<std::shared_ptr<const FakeMethod>> methods) {
  std::vector<Provider::AsyncApiMethodPtr> objects(methods.begin(), methods.end());
  return Provider::AsyncApiInterface::GetInstance(InterfaceIdentifier::GetInstance(name),
                                                  std::move(objects));
}

std::shared_ptr<const FakeMethod> Method(const std::string& name, const std::string& tag) {
  return std::make_shared<const FakeMethod>(name, tag);
}

std::shared_ptr<const MethodIdentifier> Id(const std::string& iface, const std::string& method) {
  return MethodIdentifier::GetInstance(InterfaceIdentifier::GetInstance(iface), method);
}

// What one invocation answered.
struct Answer {
  int count = 0;
  MethodResultPtr result;
  Progress progress{-1, -1, -2};
};

Answer Call(LocalProvider& provider, const std::shared_ptr<const MethodIdentifier>& id,
            const std::string& input = "in",
            const std::shared_ptr<AsyncActivation>& activation = AsyncActivation::GetInstance()) {
  Answer answer;
  provider.Invoke(
      id, Data::StringValue::GetInstance(input), activation,
      [&answer](const MethodResultPtr& r, const Progress& p, AsyncApiResultCb::Continuation&&) {
        ++answer.count;
        answer.result = r;
        answer.progress = p;
      });
  return answer;
}

std::string OutputText(const Answer& a) {
  if (!a.result || !a.result->output()) return "(no output)";
  auto s = Data::NarrowDataTypeInt<Data::StringValue>(a.result->output());
  return s ? s->value() : "(not a string)";
}

void ExpectNotFound(const Answer& a, const std::string& id, const Strings& args) {
  EXPECT_EQ(a.count, 1);
  ASSERT_TRUE(a.result);
  EXPECT_FALSE(a.result->output());
  ASSERT_TRUE(a.result->error());
  EXPECT_EQ(a.result->error()->name(), Errors::NotFound::typeName);
  EXPECT_TRUE(a.progress.IsFinal());
  const MessageList messages = a.result->error()->Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].id, id);
  EXPECT_EQ(messages[0].args, args);
  for (const auto& arg : args) EXPECT_THAT(messages[0].defaultMessage, HasSubstr(arg));
}

TEST(LocalProviderTest, RoutesToTheNamedMethodOfTheNamedInterface) {
  auto provider = LocalProvider::GetInstance();
  auto aGet = Method("get", "a.get");
  auto aSet = Method("set", "a.set");
  auto bGet = Method("get", "b.get");
  MessageList messages;
  ASSERT_TRUE(provider->Register(Interface("com.x.a", {aGet, aSet}), messages));
  ASSERT_TRUE(provider->Register(Interface("com.x.b", {bGet}), messages));
  EXPECT_TRUE(messages.empty());

  // Identifiers are fresh objects each time: routing goes by name.
  for (const auto& [iface, method, expected] :
       std::vector<std::tuple<std::string, std::string, std::string>>{
           {"com.x.a", "get", "a.get:in"},
           {"com.x.a", "set", "a.set:in"},
           {"com.x.b", "get", "b.get:in"}}) {
    const Answer a = Call(*provider, Id(iface, method));
    EXPECT_EQ(a.count, 1);
    ASSERT_TRUE(a.result);
    EXPECT_TRUE(a.result->success());
    EXPECT_EQ(OutputText(a), expected);
    EXPECT_TRUE(a.progress.IsFinal());
  }
  EXPECT_EQ(aGet->calls(), 1);
  EXPECT_EQ(aSet->calls(), 1);
  EXPECT_EQ(bGet->calls(), 1);
}

TEST(LocalProviderTest, PassesTheActivationOrMakesOne) {
  auto provider = LocalProvider::GetInstance();
  auto get = std::make_shared<FakeMethod>("get", "t");
  std::vector<std::shared_ptr<AsyncActivation>> seen;
  get->onInvoke = [&seen](const std::shared_ptr<AsyncActivation>& a) { seen.push_back(a); };
  MessageList messages;
  ASSERT_TRUE(provider->Register(Interface("com.x.a", {get}), messages));

  auto mine = AsyncActivation::GetInstance();
  Call(*provider, Id("com.x.a", "get"), "x", mine);
  Call(*provider, Id("com.x.a", "get"), "x", nullptr);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].get(), mine.get());
  EXPECT_TRUE(seen[1]);
  EXPECT_NE(seen[1].get(), mine.get());
}

TEST(LocalProviderTest, UnknownInterfaceAndMethodAreNotFound) {
  auto provider = LocalProvider::GetInstance();
  auto get = Method("get", "a");
  MessageList messages;
  ASSERT_TRUE(provider->Register(Interface("com.x.a", {get}), messages));
  const std::string iface = "tarn.provider.interface.not.found";
  const std::string method = "tarn.provider.method.not.found";
  // Names are compared exactly.
  for (const auto& [name, id, args] : std::vector<std::tuple<Strings, std::string, Strings>>{
           {{"com.x.nope", "get"}, iface, {"com.x.nope"}},
           {{"com.x.a", "put"}, method, {"com.x.a", "put"}},
           {{"com.x.A", "get"}, iface, {"com.x.A"}},
           {{"com.x.a", "GET"}, method, {"com.x.a", "GET"}},
           {{"", ""}, iface, {""}}}) {
    SCOPED_TRACE(name[0] + "/" + name[1]);
    ExpectNotFound(Call(*provider, Id(name[0], name[1])), id, args);
  }
  // Missing identifiers are not found either, and no crash.
  for (const auto& id :
       {std::shared_ptr<const MethodIdentifier>(), MethodIdentifier::GetInstance(nullptr, "get")}) {
    const Answer a = Call(*provider, id);
    EXPECT_EQ(a.count, 1);
    ASSERT_TRUE(a.result && a.result->error());
    EXPECT_EQ(a.result->error()->name(), Errors::NotFound::typeName);
  }
  EXPECT_EQ(get->calls(), 0);
}

TEST(LocalProviderTest, DuplicateRegistrationIsRefusedAndTheFirstKept) {
  auto provider = LocalProvider::GetInstance();
  auto first = Interface("com.x.a", {Method("get", "first")});
  auto second = Interface("com.x.a", {Method("get", "second")});
  MessageList messages{BaseMessage{"earlier", "", {}}};
  ASSERT_TRUE(provider->Register(first, messages));
  EXPECT_FALSE(provider->Register(second, messages));
  EXPECT_EQ(provider->Find("com.x.a").get(), first.get());
  EXPECT_EQ(OutputText(Call(*provider, Id("com.x.a", "get"))), "first:in");
  EXPECT_FALSE(provider->Register(first, messages));
  ASSERT_EQ(messages.size(), 3u);
  EXPECT_EQ(messages[0].id, "earlier");
  for (std::size_t i = 1; i < 3; ++i) {
    EXPECT_EQ(messages[i].id, "tarn.provider.interface.already.registered");
    EXPECT_EQ(messages[i].args, (Strings{"com.x.a"}));
    EXPECT_THAT(messages[i].defaultMessage, HasSubstr("com.x.a"));
  }
  EXPECT_EQ(provider->Find("com.x.a").get(), first.get());
  EXPECT_EQ(OutputText(Call(*provider, Id("com.x.a", "get"))), "first:in");
  EXPECT_EQ(provider->Interfaces().size(), 1u);
}

TEST(LocalProviderTest, NullInterfaceIsRefused) {
  auto provider = LocalProvider::GetInstance();
  MessageList messages;
  EXPECT_FALSE(provider->Register(nullptr, messages));
  EXPECT_FALSE(provider->Register(Provider::AsyncApiInterface::GetInstance(nullptr, {}), messages));
  ASSERT_EQ(messages.size(), 2u);
  for (const auto& m : messages) {
    EXPECT_FALSE(m.id.empty());
    EXPECT_EQ(m.defaultMessage.rfind("Unknown message id", 0), std::string::npos);
  }
  EXPECT_TRUE(provider->Interfaces().empty());
}

TEST(LocalProviderTest, UnregisterRemovesOnlyThatName) {
  auto provider = LocalProvider::GetInstance();
  MessageList messages;
  ASSERT_TRUE(provider->Register(Interface("com.x.a", {Method("get", "a")}), messages));
  ASSERT_TRUE(provider->Register(Interface("com.x.b", {Method("get", "b")}), messages));
  EXPECT_TRUE(provider->Unregister("com.x.a"));
  EXPECT_FALSE(provider->Unregister("com.x.a"));
  EXPECT_FALSE(provider->Unregister("com.x.never"));
  EXPECT_FALSE(provider->Find("com.x.a"));
  EXPECT_TRUE(provider->Find("com.x.b"));
  ExpectNotFound(Call(*provider, Id("com.x.a", "get")), "tarn.provider.interface.not.found",
                 {"com.x.a"});
  EXPECT_EQ(OutputText(Call(*provider, Id("com.x.b", "get"))), "b:in");
  // The name is free again.
  EXPECT_TRUE(provider->Register(Interface("com.x.a", {Method("get", "again")}), messages));
  EXPECT_EQ(OutputText(Call(*provider, Id("com.x.a", "get"))), "again:in");
  EXPECT_TRUE(messages.empty());
}

TEST(LocalProviderTest, InterfacesAreOrderedByName) {
  auto provider = LocalProvider::GetInstance();
  MessageList messages;
  for (const std::string name : {"com.x.c", "com.x.a", "Com.x.z", "com.x.b", "com.x.a.b"}) {
    ASSERT_TRUE(provider->Register(Interface(name, {}), messages));
  }
  Strings names;
  for (const auto& iface : provider->Interfaces()) names.push_back(iface->identifier()->name());
  EXPECT_EQ(names, (Strings{"Com.x.z", "com.x.a", "com.x.a.b", "com.x.b", "com.x.c"}));
}

TEST(LocalProviderTest, AMethodMayUnregisterItsOwnInterfaceWhileRunning) {
  auto provider = LocalProvider::GetInstance();
  auto get = std::make_shared<FakeMethod>("get", "last");
  std::weak_ptr<LocalProvider> weak = provider;
  get->onInvoke = [weak](const std::shared_ptr<AsyncActivation>&) {
    if (auto p = weak.lock()) {
      p->Unregister("com.x.a");
      MessageList m;
      p->Register(Interface("com.x.other", {}), m);
    }
  };
  MessageList messages;
  ASSERT_TRUE(provider->Register(Interface("com.x.a", {get}), messages));
  std::weak_ptr<const FakeMethod> alive = get;
  get.reset();
  // The call still completes on the method object although nothing registered holds it any more.
  EXPECT_EQ(OutputText(Call(*provider, Id("com.x.a", "get"))), "last:in");
  EXPECT_FALSE(provider->Find("com.x.a"));
  EXPECT_TRUE(provider->Find("com.x.other"));
  EXPECT_TRUE(alive.expired());
}

TEST(LocalProviderConcurrency, InvokeWhileOtherNamesComeAndGo) {
  auto provider = LocalProvider::GetInstance();
  auto stable = Method("get", "stable");
  MessageList messages;
  ASSERT_TRUE(provider->Register(Interface("com.x.stable", {stable}), messages));

  constexpr int kCallers = 4;
  constexpr int kCalls = 2000;
  std::atomic<bool> stop{false};
  std::atomic<int> wrong{0};
  std::atomic<int> transientOk{0};
  std::atomic<int> transientMissing{0};

  std::vector<std::thread> threads;
  for (int t = 0; t < kCallers; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kCalls; ++i) {
        const std::string input = std::to_string(t) + "-" + std::to_string(i);
        const Answer a = Call(*provider, Id("com.x.stable", "get"), input);
        if (a.count != 1 || OutputText(a) != "stable:" + input) wrong.fetch_add(1);
        // A name that comes and goes: either answer is fine, but exactly one.
        const Answer b = Call(*provider, Id("com.x.temp" + std::to_string(i % 3), "get"), input);
        if (b.count != 1 || !b.result) {
          wrong.fetch_add(1);
        } else if (b.result->success()) {
          transientOk.fetch_add(1);
          if (OutputText(b).rfind("temp:", 0) != 0) wrong.fetch_add(1);
        } else if (b.result->error() && b.result->error()->name() == Errors::NotFound::typeName) {
          transientMissing.fetch_add(1);
        } else {
          wrong.fetch_add(1);
        }
      }
    });
  }
  std::thread churn([&] {
    int round = 0;
    while (!stop.load()) {
      const std::string name = "com.x.temp" + std::to_string(round % 3);
      MessageList m;
      provider->Register(Interface(name, {Method("get", "temp")}), m);
      provider->Interfaces();
      provider->Unregister("com.x.temp" + std::to_string((round + 1) % 3));
      ++round;
    }
  });
  for (auto& t : threads) t.join();
  stop.store(true);
  churn.join();

  EXPECT_EQ(wrong.load(), 0);
  EXPECT_EQ(transientOk.load() + transientMissing.load(), kCallers * kCalls);
  EXPECT_EQ(stable->calls(), kCallers * kCalls);
  ASSERT_TRUE(provider->Find("com.x.stable"));
}

}  // namespace
}  // namespace Core
}  // namespace Tarn
