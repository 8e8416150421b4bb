// Helpers shared by the service tests: dynamic values built by hand, a method object invoked
// directly, and a service's stub over an invocation target that answers with a fixed result.
#pragma once

#include <gtest/gtest.h>

#include <boost/optional.hpp>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "binding/service.h"
#include "runtime/activation.h"
#include "runtime/data_definition.h"
#include "runtime/data_value.h"
#include "runtime/local_provider.h"
#include "runtime/method.h"
#include "runtime/provider.h"
#include "runtime/stub.h"
#include "tests/test_values.h"

namespace ServiceTest {

// The value builders every folder's tests share.
using KovTest::Bool;
using KovTest::Fields;
using KovTest::Int;
using KovTest::List;
using KovTest::Str;
using KovTest::Struct;
using KovTest::Texts;

// A method input value: a structure under the runtime's operation-input name.
inline std::shared_ptr<Tarn::Data::StructValue> Input(const Fields& fields) {
  return Struct(Tarn::Data::TypeInfo<Tarn::OperationInput>::name(), fields);
}
// The text of a value for comparisons; "null" for none.
inline std::string Text(const Tarn::Data::DataValuePtr& value) {
  return value ? value->ToString() : std::string("null");
}

inline std::vector<std::string> MessageIds(const Tarn::MessageList& messages) {
  std::vector<std::string> ids;
  for (auto& m : messages) ids.push_back(m.id);
  return ids;
}
// "com.brantel.tarn.std.errors." followed by the wire name of a standard error.
inline std::string StdError(const std::string& wire) {
  return "com.brantel.tarn.std.errors." + wire;
}

// The texts of an enumeration's string table, up to its end mark.
template <class E>
std::vector<std::string> TableOf() {
  std::vector<std::string> texts;
  for (int i = 0; E::Strings::values[i] != nullptr; ++i) texts.push_back(E::Strings::values[i]);
  return texts;
}

// The resource every operation that acts on a machine records.
inline std::string MachineResource(const std::string& vm) {
  return "com.brantel.kov.vm.VirtualMachine." + vm;
}

// What a method object handed to the runtime's callback.
struct Answer {
  int calls = 0;
  Tarn::Core::MethodResultPtr result;

  Tarn::Data::ErrorValuePtr error() const { return result ? result->error() : nullptr; }
  Tarn::Data::DataValuePtr output() const { return result ? result->output() : nullptr; }
  std::string errorName() const { return error() ? error()->name() : std::string(); }
  bool succeeded() const { return calls == 1 && result && result->success(); }
};

// Invokes the method object with the given wire name. The test implementations answer within
// the call, so the answer is there when this returns.
inline Answer Invoke(const Tarn::Provider::AsyncApiInterface& iface, const std::string& wire,
                     const Tarn::Data::DataValuePtr& input,
                     const std::shared_ptr<Tarn::Core::AsyncActivation>& activation =
                         Tarn::Core::AsyncActivation::GetInstance()) {
  Answer answer;
  auto method = iface.FindMethod(wire);
  if (!method) {
    ADD_FAILURE() << "no method " << wire;
    return answer;
  }
  method->Invoke(input, activation,
                 [&answer](const Tarn::Core::MethodResultPtr& r, const Tarn::Progress&,
                           Tarn::Core::AsyncApiResultCb::Continuation&&) {
                   ++answer.calls;
                   answer.result = r;
                 });
  return answer;
}

// A typed answer received by a client: the value, the error and how often the callback ran.
template <class R>
struct Outcome {
  int calls = 0;
  boost::optional<R> value;
  Tarn::Data::ErrorValuePtr error;

  auto Callback() {
    return [this](const boost::optional<R>& r, const Tarn::Data::ErrorValuePtr& e,
                  const Tarn::Progress&) {
      ++calls;
      value = r;
      error = e;
    };
  }
  std::string errorName() const { return error ? error->name() : std::string(); }
  // Answered once, with a value and no error.
  bool ok() const { return calls == 1 && value && !error; }
};

// Makes one call through a stub: `send` gets the callback. The outcome, answered once.
template <class R, class Send>
Outcome<R> Call(Send&& send) {
  Outcome<R> outcome;
  send(outcome.Callback());
  EXPECT_EQ(outcome.calls, 1);
  return outcome;
}

// An invocation target that keeps the input that reached it and answers with a fixed result.
class CannedTarget : public Tarn::Core::InvocationTarget {
 public:
  explicit CannedTarget(Tarn::Core::MethodResultPtr answer) : answer_(std::move(answer)) {}
  static std::shared_ptr<CannedTarget> Answering(Tarn::Data::DataValuePtr output) {
    return std::make_shared<CannedTarget>(
        std::make_shared<const Tarn::Core::MethodResult>(std::move(output), nullptr));
  }

  void Invoke(const std::shared_ptr<const Tarn::Core::MethodIdentifier>&,
              const Tarn::Data::DataValuePtr& input,
              const std::shared_ptr<Tarn::Core::AsyncActivation>&,
              const Tarn::Core::AsyncApiResultCb& resultCb) override {
    lastInput = input;
    resultCb(answer_, Tarn::Progress{0, 1, 1});
  }

  Tarn::Data::DataValuePtr lastInput;

 private:
  Tarn::Core::MethodResultPtr answer_;
};

template <class Svc>
typename Svc::AsyncServiceStub StubOn(const std::shared_ptr<CannedTarget>& target) {
  return typename Svc::AsyncServiceStub(Tarn::Stub::AsyncApiStub::GetInstance(target));
}

}  // namespace ServiceTest
