// Helpers shared by the service tests: dynamic values built by hand, a bound interface described
// in a few words (ids, wire names, error lists, definitions), a method object invoked directly,
// and a service reached through its stub and the in-process provider.
#pragma once

#include <gtest/gtest.h>

#include <boost/optional.hpp>
#include <boost/optional/optional_io.hpp>
#include <cstdint>
#include <map>
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

namespace ServiceTest {

// -- values ------------------------------------------------------------------------------------

using Fields = std::vector<std::pair<std::string, Tarn::Data::DataValuePtr>>;

inline Tarn::Data::DataValuePtr Str(std::string text) {
  return Tarn::Data::StringValue::GetInstance(std::move(text));
}
inline Tarn::Data::DataValuePtr Int(std::int64_t value) {
  return Tarn::Data::IntegerValue::GetInstance(value);
}
inline Tarn::Data::DataValuePtr Bool(bool value) {
  return Tarn::Data::BooleanValue::GetInstance(value);
}
// An optional value holding nothing, and one holding `held`.
inline Tarn::Data::DataValuePtr Unset() { return Tarn::Data::OptionalValue::GetInstance(); }
inline Tarn::Data::DataValuePtr Opt(Tarn::Data::DataValuePtr held) {
  return Tarn::Data::OptionalValue::GetInstance(std::move(held));
}
inline Tarn::Data::DataValuePtr List(const std::vector<Tarn::Data::DataValuePtr>& elements) {
  auto list = Tarn::Data::ListValue::GetInstance();
  for (auto& e : elements) list->Add(e);
  return list;
}
inline Tarn::Data::DataValuePtr Texts(const std::vector<std::string>& texts) {
  auto list = Tarn::Data::ListValueString::GetInstance();
  for (auto& t : texts) list->Add(t);
  return list;
}
inline std::shared_ptr<Tarn::Data::StructValue> Struct(const std::string& name,
                                                       const Fields& fields) {
  auto value = Tarn::Data::StructValue::GetInstance(name);
  for (auto& f : fields) value->SetField(f.first, f.second);
  return value;
}
// A method input value: a structure under the runtime's operation-input name.
inline std::shared_ptr<Tarn::Data::StructValue> Input(const Fields& fields) {
  return Struct(Tarn::Data::TypeInfo<Tarn::OperationInput>::name(), fields);
}
// A field of a structure value; null when it is missing or the value is no structure.
inline Tarn::Data::DataValuePtr Field(const Tarn::Data::DataValuePtr& value,
                                      const std::string& name) {
  auto compound = Tarn::Data::NarrowDataTypeInt<Tarn::Data::CompoundValue>(value);
  if (!compound) return nullptr;
  auto it = compound->fields().find(name);
  return it == compound->fields().end() ? nullptr : it->second;
}

// -- messages and errors -----------------------------------------------------------------------

inline std::vector<std::string> MessageIds(const Tarn::MessageList& messages) {
  std::vector<std::string> ids;
  for (auto& m : messages) ids.push_back(m.id);
  return ids;
}
inline std::vector<std::string> MessageIds(const Tarn::Data::ErrorValuePtr& error) {
  return error ? MessageIds(error->Messages()) : std::vector<std::string>{};
}
// "com.brantel.tarn.std.errors." followed by the wire name of a standard error.
inline std::string StdError(const std::string& wire) {
  return "com.brantel.tarn.std.errors." + wire;
}

// -- a bound interface in a few words ------------------------------------------------------------

inline std::vector<std::string> MethodNames(const Tarn::Provider::AsyncApiInterface& iface) {
  std::vector<std::string> names;
  for (auto& m : iface.methods()) names.push_back(m->methodName());
  return names;
}

// The names of error definitions, in order; "?" for anything that is no error definition.
inline std::vector<std::string> ErrorNames(const Tarn::Provider::DataDefinitionList& defs) {
  std::vector<std::string> names;
  for (auto& d : defs) {
    names.push_back(d && d->GetType() == Tarn::Data::DataType::ERROR
                        ? static_cast<const Tarn::Data::StructDefinition&>(*d).name()
                        : std::string("?"));
  }
  return names;
}

inline std::string Describe(const Tarn::Data::DataDefinitionPtr& def) {
  return def ? def->ToString() : std::string("null");
}

// What one operation of a service looks like to the runtime.
struct OperationShape {
  std::string wire;
  std::vector<std::string> errors;  // wire names of the standard errors, in list order
  std::string input;                // Describe() of the input definition
  std::string output;               // Describe() of the output definition
};

// Binds `implementation` and checks the interface object against the expected service id and
// operations: wire names in slot order, error lists in order, input and output definitions.
template <class Svc>
void ExpectShape(const std::shared_ptr<typename Svc::AsyncServiceInterface>& implementation,
                 const std::string& serviceId, const std::vector<OperationShape>& operations) {
  auto iface = Svc::AsyncServiceBinder::BindImplementation(implementation);
  ASSERT_TRUE(iface);
  EXPECT_EQ(iface->identifier()->name(), serviceId);
  EXPECT_EQ(Tarn::Data::TypeInfo<typename Svc::AsyncServiceInterface>::name(), serviceId);
  std::vector<std::string> wires;
  for (auto& op : operations) wires.push_back(op.wire);
  ASSERT_EQ(MethodNames(*iface), wires);
  for (std::size_t i = 0; i < operations.size(); ++i) {
    SCOPED_TRACE(operations[i].wire);
    const Tarn::Provider::AsyncApiMethod& method = *iface->methods()[i];
    std::vector<std::string> errors;
    for (auto& e : operations[i].errors) errors.push_back(StdError(e));
    EXPECT_EQ(ErrorNames(method.errorDefinitions()), errors);
    EXPECT_EQ(Describe(method.inputDefinition()), operations[i].input);
    EXPECT_EQ(Describe(method.outputDefinition()), operations[i].output);
  }
}

// -- invoking a method object directly ---------------------------------------------------------

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

// The resource every operation that acts on a machine records.
inline std::string MachineResource(const std::string& vm) {
  return "com.brantel.kov.vm.VirtualMachine." + vm;
}

// -- reaching a service through its stub
// -----------------------------------------------------------

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
};

// A stub of service Svc reaching `implementation` through a new in-process provider.
template <class Svc>
std::unique_ptr<typename Svc::AsyncServiceStub> LocalStub(
    const std::shared_ptr<typename Svc::AsyncServiceInterface>& implementation) {
  auto provider = Tarn::Core::LocalProvider::GetInstance();
  Tarn::MessageList messages;
  if (!provider->Register(Svc::AsyncServiceBinder::BindImplementation(implementation), messages)) {
    ADD_FAILURE() << "could not register the service";
    return nullptr;
  }
  return std::make_unique<typename Svc::AsyncServiceStub>(
      Tarn::Stub::AsyncApiStub::GetInstance(provider));
}

// An invocation target that records what reaches it and answers with a fixed result.
class CannedTarget : public Tarn::Core::InvocationTarget {
 public:
  explicit CannedTarget(Tarn::Core::MethodResultPtr answer) : answer_(std::move(answer)) {}
  static std::shared_ptr<CannedTarget> Answering(Tarn::Data::DataValuePtr output) {
    return std::make_shared<CannedTarget>(
        std::make_shared<const Tarn::Core::MethodResult>(std::move(output), nullptr));
  }

  void Invoke(const std::shared_ptr<const Tarn::Core::MethodIdentifier>& methodId,
              const Tarn::Data::DataValuePtr& input,
              const std::shared_ptr<Tarn::Core::AsyncActivation>&,
              const Tarn::Core::AsyncApiResultCb& resultCb) override {
    ++calls;
    interfaceName = methodId->interfaceId()->name();
    methodName = methodId->name();
    lastInput = input;
    resultCb(answer_, Tarn::Progress{0, 1, 1});
  }

  int calls = 0;
  std::string interfaceName;
  std::string methodName;
  Tarn::Data::DataValuePtr lastInput;

 private:
  Tarn::Core::MethodResultPtr answer_;
};

template <class Svc>
typename Svc::AsyncServiceStub StubOn(const std::shared_ptr<CannedTarget>& target) {
  return typename Svc::AsyncServiceStub(Tarn::Stub::AsyncApiStub::GetInstance(target));
}

// -- records -----------------------------------------------------------------------------------

// The texts of an enumeration's string table, up to its end mark.
template <class E>
std::vector<std::string> TableOf() {
  std::vector<std::string> texts;
  for (int i = 0; E::Strings::values[i] != nullptr; ++i) texts.push_back(E::Strings::values[i]);
  return texts;
}

// Checks the structure metadata of record T: its name and the resource type of each field.
template <class T>
void ExpectMetadata(const std::string& name,
                    const std::map<std::string, std::string>& resourceTypes) {
  auto info = Tarn::Metadata::StructInfo::Create<T>();
  ASSERT_TRUE(info);
  EXPECT_EQ(info->number, 0);
  EXPECT_EQ(info->name, name);
  EXPECT_FALSE(info->documentation);
  std::map<std::string, std::string> got;
  for (auto& f : info->fields) {
    ASSERT_TRUE(f.second) << f.first;
    EXPECT_EQ(f.second->number, 0) << f.first;
    EXPECT_TRUE(f.second->properties.empty()) << f.first;
    got[f.first] = f.second->resourceType;
  }
  EXPECT_EQ(got, resourceTypes);
  EXPECT_NE(Tarn::Metadata::StructInfo::Create<T>(), info) << "each call makes a new one";
}

// Validates a record with the policy the provider uses; the message ids, empty when valid.
template <class T>
std::vector<std::string> ValidationIds(const T& record, bool* valid = nullptr) {
  Tarn::MessageList messages;
  bool ok =
      Tarn::Data::Validator::isValid(record, Tarn::Data::Validator::kRejectUndeclared, messages);
  if (valid) *valid = ok;
  return MessageIds(messages);
}

}  // namespace ServiceTest
