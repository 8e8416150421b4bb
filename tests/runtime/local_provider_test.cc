// The in-process invocation target: registration, routing by method identifier, answers for
// unknown interfaces and methods, and use from several threads at once.
#include "runtime/local_provider.h"

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

// The not-found answer: once, final, with one message of `id` and `args`.
void ExpectNotFound(const Answer& a, const std::string& id, const Strings& args) {
  EXPECT_EQ(a.count, 1);
  ASSERT_TRUE(a.result && a.result->error());
  EXPECT_FALSE(a.result->output());
  EXPECT_EQ(a.result->error()->name(), Errors::NotFound::typeName);
  EXPECT_TRUE(a.progress.IsFinal());
  const MessageList messages = a.result->error()->Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].id, id);
  EXPECT_EQ(messages[0].args, args);
}

TEST(LocalProviderTest, RoutesByNameAndAnswersNotFound) {
  auto provider = LocalProvider::GetInstance();
  auto aGet = std::make_shared<FakeMethod>("get", "a.get");
  std::vector<std::shared_ptr<AsyncActivation>> seen;
  aGet->onInvoke = [&seen](const std::shared_ptr<AsyncActivation>& a) { seen.push_back(a); };
  MessageList messages;
  ASSERT_TRUE(provider->Register(Interface("com.x.a", {aGet, Method("set", "a.set")}), messages));
  ASSERT_TRUE(provider->Register(Interface("com.x.b", {Method("get", "b.get")}), messages));
  // Identifiers are fresh objects each time: routing goes by name.
  EXPECT_EQ(OutputText(Call(*provider, Id("com.x.a", "set"))), "a.set:in");
  EXPECT_EQ(OutputText(Call(*provider, Id("com.x.b", "get"))), "b.get:in");
  // The caller's activation is passed on; without one, a fresh one is made.
  auto mine = AsyncActivation::GetInstance();
  const Answer a = Call(*provider, Id("com.x.a", "get"), "x", mine);
  EXPECT_EQ(a.count, 1);
  EXPECT_TRUE(a.result->success() && a.progress.IsFinal());
  EXPECT_EQ(OutputText(a), "a.get:x");
  Call(*provider, Id("com.x.a", "get"), "x", nullptr);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].get(), mine.get());
  EXPECT_TRUE(seen[1] && seen[1] != mine);

  const std::string iface = "tarn.provider.interface.not.found";
  const std::string method = "tarn.provider.method.not.found";
  for (const auto& [id, expected, args] :
       std::vector<std::tuple<std::shared_ptr<const MethodIdentifier>, std::string, Strings>>{
           {Id("com.x.nope", "get"), iface, {"com.x.nope"}},
           {Id("com.x.a", "put"), method, {"com.x.a", "put"}},
           {Id("com.x.A", "get"), iface, {"com.x.A"}},
           {Id("com.x.a", "GET"), method, {"com.x.a", "GET"}},
           {nullptr, iface, {"(null)"}},
           {MethodIdentifier::GetInstance(nullptr, "get"), iface, {"(null)"}}}) {
    SCOPED_TRACE(id && id->interfaceId() ? id->interfaceId()->name() + "/" + id->name() : "null");
    ExpectNotFound(Call(*provider, id), expected, args);
  }
  EXPECT_EQ(aGet->calls(), 2);
}

TEST(LocalProviderTest, RegisterUnregisterAndList) {
  auto provider = LocalProvider::GetInstance();
  auto first = Interface("com.x.a", {Method("get", "first")});
  MessageList messages{BaseMessage{"earlier", "", {}}};
  ASSERT_TRUE(provider->Register(first, messages));
  // A second registration of the name is refused and the first kept.
  EXPECT_FALSE(provider->Register(Interface("com.x.a", {Method("get", "second")}), messages));
  EXPECT_FALSE(provider->Register(nullptr, messages));
  EXPECT_FALSE(provider->Register(Provider::AsyncApiInterface::GetInstance(nullptr, {}), messages));
  ASSERT_EQ(messages.size(), 4u);
  EXPECT_EQ(messages[0].id, "earlier");
  EXPECT_EQ(messages[1].id, "tarn.provider.interface.already.registered");
  EXPECT_EQ(messages[1].args, (Strings{"com.x.a"}));
  EXPECT_EQ(messages[2].id, "tarn.provider.interface.not.found");
  EXPECT_EQ(messages[3].id, "tarn.provider.interface.not.found");
  EXPECT_EQ(provider->Find("com.x.a").get(), first.get());
  EXPECT_EQ(OutputText(Call(*provider, Id("com.x.a", "get"))), "first:in");

  for (const std::string name : {"com.x.c", "Com.x.z", "com.x.a.b"}) {
    ASSERT_TRUE(provider->Register(Interface(name, {}), messages));
  }
  EXPECT_TRUE(provider->Unregister("com.x.c"));
  EXPECT_FALSE(provider->Unregister("com.x.c"));
  EXPECT_FALSE(provider->Find("com.x.c"));
  Strings names;
  for (const auto& iface : provider->Interfaces()) names.push_back(iface->identifier()->name());
  EXPECT_EQ(names, (Strings{"Com.x.z", "com.x.a", "com.x.a.b"}));
  // The name is free again.
  EXPECT_TRUE(provider->Register(Interface("com.x.c", {Method("get", "again")}), messages));
  EXPECT_EQ(OutputText(Call(*provider, Id("com.x.c", "get"))), "again:in");
}

TEST(LocalProviderTest, AMethodMayUnregisterItsOwnInterfaceWhileRunning) {
  auto provider = LocalProvider::GetInstance();
  auto get = std::make_shared<FakeMethod>("get", "last");
  std::weak_ptr<LocalProvider> weak = provider;
  get->onInvoke = [weak](const std::shared_ptr<AsyncActivation>&) {
    if (auto p = weak.lock()) p->Unregister("com.x.a");
  };
  MessageList messages;
  ASSERT_TRUE(provider->Register(Interface("com.x.a", {get}), messages));
  std::weak_ptr<const FakeMethod> alive = get;
  get.reset();
  // The call still completes on the method object although nothing registered holds it any more.
  EXPECT_EQ(OutputText(Call(*provider, Id("com.x.a", "get"))), "last:in");
  EXPECT_FALSE(provider->Find("com.x.a"));
  EXPECT_TRUE(alive.expired());
}

// Calls to a stable name always reach it; calls to names that come and go get exactly one
// answer, the method's or not-found.
TEST(LocalProviderConcurrency, InvokeWhileOtherNamesComeAndGo) {
  auto provider = LocalProvider::GetInstance();
  auto stable = Method("get", "stable");
  MessageList messages;
  ASSERT_TRUE(provider->Register(Interface("com.x.stable", {stable}), messages));
  constexpr int kCallers = 4;
  constexpr int kCalls = 2000;
  std::atomic<bool> stop{false};
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kCallers; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kCalls; ++i) {
        const std::string input = std::to_string(t) + "-" + std::to_string(i);
        const Answer a = Call(*provider, Id("com.x.stable", "get"), input);
        const Answer b = Call(*provider, Id("com.x.temp" + std::to_string(i % 3), "get"), input);
        const bool missing = b.result && b.result->error() &&
                             b.result->error()->name() == Errors::NotFound::typeName;
        if (a.count != 1 || OutputText(a) != "stable:" + input || b.count != 1 ||
            !(missing || OutputText(b) == "temp:" + input)) {
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
  EXPECT_EQ(stable->calls(), kCallers * kCalls);
}

}  // namespace
}  // namespace Core
}  // namespace Tarn
