// Helpers shared by the service tests: dynamic values built by hand, a bound interface described
// in a few words (ids, wire names, error lists, definitions), enumerations and records checked
// against their fixed tables, a method object invoked directly, a test implementation's record of
// its calls, and a service reached through its stub and the in-process provider.
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
// An input naming machine "vm-1", with `more` fields.
inline std::shared_ptr<Tarn::Data::StructValue> VmInput(const Fields& more = {}) {
  auto input = Input(more);
  input->SetField("vm", Str("vm-1"));
  return input;
}
// A field of a structure value; null when it is missing or the value is no structure.
inline Tarn::Data::DataValuePtr Field(const Tarn::Data::DataValuePtr& value,
                                      const std::string& name) {
  auto compound = Tarn::Data::NarrowDataTypeInt<Tarn::Data::CompoundValue>(value);
  if (!compound) return nullptr;
  auto it = compound->fields().find(name);
  return it == compound->fields().end() ? nullptr : it->second;
}
// The undeclared fields of a record, as a record built by the runtime carries them.
inline std::shared_ptr<Tarn::Data::StructValue> Unknown(const Fields& fields) {
  return Struct("unknownFields", fields);
}
// The text of a value for comparisons; "null" for none.
inline std::string Text(const Tarn::Data::DataValuePtr& value) {
  return value ? value->ToString() : std::string("null");
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
// operations: wire names in slot order, error lists in order, input and output definitions, and
// the read-only mark.
template <class Svc>
void ExpectShape(const std::shared_ptr<typename Svc::AsyncServiceInterface>& implementation,
                 const std::string& serviceId, const std::vector<OperationShape>& operations) {
  auto iface = Svc::AsyncServiceBinder::BindImplementation(implementation);
  ASSERT_TRUE(iface);
  EXPECT_EQ(iface->identifier()->name(), serviceId);
  EXPECT_EQ(Tarn::Data::TypeInfo<typename Svc::AsyncServiceInterface>::name(), serviceId);
  std::vector<std::string> wires, names;
  for (auto& op : operations) wires.push_back(op.wire);
  for (auto& m : iface->methods()) names.push_back(m->methodName());
  ASSERT_EQ(names, wires);
  for (std::size_t i = 0; i < operations.size(); ++i) {
    SCOPED_TRACE(operations[i].wire);
    const Tarn::Provider::AsyncApiMethod& method = *iface->methods()[i];
    std::vector<std::string> expected, errors;
    for (auto& e : operations[i].errors) expected.push_back(StdError(e));
    for (auto& d : method.errorDefinitions()) {  // "?" for anything that is no error definition
      errors.push_back(d && d->GetType() == Tarn::Data::DataType::ERROR
                           ? static_cast<const Tarn::Data::StructDefinition&>(*d).name()
                           : "?");
    }
    EXPECT_EQ(errors, expected);
    EXPECT_EQ(Describe(method.inputDefinition()), operations[i].input);
    EXPECT_EQ(Describe(method.outputDefinition()), operations[i].output);
    // Exactly the operations that only read are marked so: every "get" and "list".
    EXPECT_EQ(method.readsOnly(), operations[i].wire == "get" || operations[i].wire == "list");
  }
}

// A union-case field of a structure definition in a few words: its tag field, then what the
// predicate says for each of `tags` ("set": must be set, "unset": must not be, "either").
inline std::string UnionCase(const Tarn::Data::DataDefinitionPtr& def, const std::string& field,
                             const std::vector<std::string>& tags) {
  if (!def || def->GetType() != Tarn::Data::DataType::STRUCTURE) return "no structure";
  auto& fields = static_cast<const Tarn::Data::StructDefinition&>(*def).fields();
  auto it = fields.find(field);
  if (it == fields.end() || it->second->GetType() != Tarn::Data::DataType::UNION_CASE) {
    return "no union case";
  }
  auto& unionCase = static_cast<const Tarn::Data::UnionCaseDefinition&>(*it->second);
  std::string out = unionCase.tagName() + ":";
  for (auto& tag : tags) {
    boost::logic::tribool c = unionCase.Case(tag);
    out += " " + tag + "=" + (c ? "set" : !c ? "unset" : "either");
  }
  return out;
}

// -- enumerations and records --------------------------------------------------------------------

// The texts of an enumeration's string table, up to its end mark.
template <class E>
std::vector<std::string> TableOf() {
  std::vector<std::string> texts;
  for (int i = 0; E::Strings::values[i] != nullptr; ++i) texts.push_back(E::Strings::values[i]);
  return texts;
}

// Checks an enumeration against its fixed table: the named values with their texts in index
// order, "_UNKNOWN" right after them and as the default; each text of `outside` (matched exactly,
// so case and prefixes count) is an unknown value that keeps its text.
template <class E>
void ExpectEnum(const std::string& typeName,
                const std::vector<std::pair<typename E::Value, std::string>>& known,
                const std::vector<std::string>& outside) {
  EXPECT_EQ(Tarn::Data::TypeInfo<E>::name(), typeName);
  EXPECT_EQ(std::string(E::typeName), typeName);
  std::vector<std::string> table;
  for (std::size_t i = 0; i < known.size(); ++i) {
    SCOPED_TRACE(known[i].second);
    EXPECT_EQ(static_cast<std::size_t>(known[i].first), i);
    E e = Tarn::EnumFromText<E>(known[i].second);
    EXPECT_EQ(e.number(), static_cast<std::int32_t>(i));
    EXPECT_TRUE(e.unknownText().empty());
    EXPECT_EQ(Tarn::EnumToText(E(known[i].first)), known[i].second);
    table.push_back(known[i].second);
  }
  table.push_back("_UNKNOWN");
  EXPECT_EQ(TableOf<E>(), table);
  EXPECT_EQ(static_cast<std::size_t>(E::_UNKNOWN), known.size());
  EXPECT_TRUE(E() == E::_UNKNOWN);
  EXPECT_EQ(Tarn::EnumToText(E()), "_UNKNOWN");
  for (const char* plain : {"_UNKNOWN", ""}) {
    E e = Tarn::EnumFromText<E>(plain);
    EXPECT_TRUE(e == E::_UNKNOWN) << '"' << plain << '"';
    EXPECT_EQ(Tarn::EnumToText(e), "_UNKNOWN");
  }
  for (auto& text : outside) {
    SCOPED_TRACE(text);
    E e = Tarn::EnumFromText<E>(text);
    EXPECT_EQ(e.value(), E::_UNKNOWN);
    EXPECT_EQ(e.unknownText(), text);
    EXPECT_EQ(Tarn::EnumToText(e), text);
  }
}

// The canonical (wire) name and the native name of a record.
template <class T>
void ExpectNames(const std::string& canonical, const std::string& native) {
  EXPECT_EQ(Tarn::Data::TypeInfo<T>::name(), canonical);
  EXPECT_EQ(std::string(T::nativeName), native);
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
std::vector<std::string> ValidationIds(const T& record, bool* valid = nullptr,
                                       Tarn::MessageList* messages = nullptr) {
  Tarn::MessageList list;
  bool ok = Tarn::Data::Validator::isValid(record, Tarn::Data::Validator::kRejectUndeclared, list);
  if (valid) *valid = ok;
  if (messages) *messages = list;
  return MessageIds(list);
}

// -- a test implementation ---------------------------------------------------------------------

// What every test implementation keeps: the operations called, in order, the resources the
// activation held when the last one ran, and a failure to answer with instead of the value.
struct Recorder {
  std::vector<std::string> calls;
  std::vector<std::string> resourcesSeen;
  Tarn::Data::ErrorValuePtr failure;

  void Record(const char* operation,
              const std::shared_ptr<Tarn::Core::AsyncActivation>& activation) {
    calls.push_back(operation);
    resourcesSeen = activation->resourceIds();
  }
  template <class Result, class V>
  void Answer(const Result& result, const V& value) const {
    if (failure) return result.error(failure);
    result(value);
  }
};

// The resource every operation that acts on a machine records.
inline std::string MachineResource(const std::string& vm) {
  return "com.brantel.kov.vm.VirtualMachine." + vm;
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

// One answer of an implementation's "get": the record it gives and the value the runtime must
// see (null: the internal server error).
template <class R>
struct GetAnswerCase {
  const char* name;
  R record;
  Tarn::Data::DataValuePtr expected;
};

// Answers "get" with each case's record (`give` hands it to the implementation) and checks what
// reaches the runtime.
template <class R, class Give>
void ExpectGetAnswers(const Tarn::Provider::AsyncApiInterface& iface,
                      const std::vector<GetAnswerCase<R>>& cases, Give give) {
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    give(c.record);
    auto answer = Invoke(iface, "get", VmInput());
    if (!c.expected) {
      EXPECT_EQ(answer.errorName(), StdError("internal_server_error"));
      continue;
    }
    ASSERT_TRUE(answer.succeeded()) << answer.errorName();
    EXPECT_EQ(Text(answer.output()), Text(c.expected));
  }
}

// Invokes `wire` on a fresh activation and expects one successful answer, with exactly
// `resources` recorded on the activation and already there when the implementation ran.
inline Answer ExpectAnswered(const Tarn::Provider::AsyncApiInterface& iface, const Recorder& host,
                             const std::string& wire, const Tarn::Data::DataValuePtr& input,
                             const std::vector<std::string>& resources) {
  auto activation = Tarn::Core::AsyncActivation::GetInstance();
  auto answer = Invoke(iface, wire, input, activation);
  EXPECT_TRUE(answer.succeeded()) << Text(answer.error());
  EXPECT_EQ(activation->resourceIds(), resources);
  EXPECT_EQ(host.resourcesSeen, resources);
  return answer;
}

// Checks the messages of an input that validation refused for an undeclared field: first the
// operation, then the record holding the field. Native names follow the service's `prefix`.
inline void ExpectUndeclared(const Tarn::MessageList& messages, const std::string& prefix,
                             const std::string& operation, const std::string& record,
                             const std::string& field) {
  ASSERT_EQ(MessageIds(messages), (std::vector<std::string>{"tarn.invoke.invalid.input",
                                                            "tarn.data.compound.field.extra"}));
  EXPECT_EQ(messages[0].args, std::vector<std::string>{prefix + operation});
  EXPECT_EQ(messages[1].args, (std::vector<std::string>{prefix + record, field, ""}));
}

// An input the provider must refuse: "invalid_argument", answered once, no resource recorded.
// `undeclared`, when given, is {operation, record, field} of an undeclared field that validation
// found (see ExpectUndeclared). Otherwise `ids`, when given, are the ids of the messages and
// `lastArgs` the arguments of the last one; with neither, only the refusal itself is checked.
struct Refusal {
  std::string name;
  std::string wire;
  Tarn::Data::DataValuePtr input;
  std::vector<std::string> undeclared = {};
  std::vector<std::string> ids = {};
  std::vector<std::string> lastArgs = {};
};

// A refusal of an input holding a set with a repeated element: one
// "tarn.data.duplicate.set.element" message naming the element.
inline Refusal Duplicate(std::string name, std::string wire, Tarn::Data::DataValuePtr input,
                         std::string element) {
  return {std::move(name),
          std::move(wire),
          std::move(input),
          {},
          {"tarn.data.duplicate.set.element"},
          {std::move(element)}};
}

inline void ExpectRefusals(const Tarn::Provider::AsyncApiInterface& iface,
                           const std::string& prefix, const std::vector<Refusal>& cases) {
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto activation = Tarn::Core::AsyncActivation::GetInstance();
    auto answer = Invoke(iface, c.wire, c.input, activation);
    EXPECT_EQ(answer.calls, 1);
    EXPECT_EQ(answer.errorName(), StdError("invalid_argument"));
    EXPECT_TRUE(activation->resourceIds().empty());
    auto messages = answer.error() ? answer.error()->Messages() : Tarn::MessageList{};
    if (c.undeclared.size() == 3) {
      ExpectUndeclared(messages, prefix, c.undeclared[0], c.undeclared[1], c.undeclared[2]);
    } else if (!c.ids.empty()) {
      EXPECT_EQ(MessageIds(messages), c.ids);
      if (!c.lastArgs.empty() && !messages.empty()) {
        EXPECT_EQ(messages.back().args, c.lastArgs);
      }
    }
  }
}

// -- reaching a service through its stub -------------------------------------------------------

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

// A client call whose required record is null fails before anything is sent: "invalid_argument"
// with one message naming the record's type.
template <class R>
void ExpectNullRecordRefused(const Outcome<R>& outcome, const std::string& record) {
  ASSERT_EQ(outcome.calls, 1);
  EXPECT_FALSE(outcome.value);
  EXPECT_EQ(outcome.errorName(), StdError("invalid_argument"));
  ASSERT_TRUE(outcome.error);
  auto messages = outcome.error->Messages();
  ASSERT_EQ(MessageIds(messages), std::vector<std::string>{"tarn.data.unset.non.optional.field"});
  EXPECT_EQ(messages[0].args, std::vector<std::string>{record});
}

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

// A test implementation `impl` of service Svc, its interface object bound for direct calls, and
// a stub reaching it through the in-process provider.
template <class Svc, class Impl>
class ServiceFixture : public ::testing::Test {
 protected:
  std::shared_ptr<Impl> impl = std::make_shared<Impl>();
  std::shared_ptr<Tarn::Provider::AsyncApiInterface> iface =
      Svc::AsyncServiceBinder::BindImplementation(impl);
  std::unique_ptr<typename Svc::AsyncServiceStub> stub = LocalStub<Svc>(impl);
};

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

}  // namespace ServiceTest
