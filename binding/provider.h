// The provider face: method objects that the runtime invokes, the filter that turns an incoming
// value into a call of the implementation, and the result filter that turns its answer back.
#pragma once

#include <boost/optional.hpp>
#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "binding/async_result.h"
#include "binding/definition_adapter.h"
#include "binding/native.h"
#include "binding/validator.h"
#include "binding/value_adapter.h"
#include "runtime/activation.h"
#include "runtime/export.h"
#include "runtime/method.h"
#include "runtime/provider.h"
#include "runtime/std_errors.h"

namespace Tarn {
namespace Provider {

class KOV_EXPORT AsyncApiMethodSignal : public AsyncApiMethod,
                                        public std::enable_shared_from_this<AsyncApiMethodSignal> {
 public:
  using Handler =
      std::function<void(const Data::DataValuePtr&, const std::shared_ptr<Core::AsyncActivation>&,
                         const AsyncApiMethod::ResultCb&)>;

  // Validates an answer of the handler and hands it to the runtime's callback, at most once.
  class KOV_EXPORT ValidateResultWrapper {
   public:
    ValidateResultWrapper(std::shared_ptr<const AsyncApiMethod> method,
                          Core::AsyncApiResultCb callback)
        : method_(std::move(method)), callback_(std::move(callback)) {}
    void operator()(const boost::optional<Data::DataValuePtr>& output,
                    const Data::ErrorValuePtr& error, const Progress& progress,
                    AsyncApiMethod::ResultCb::Continuation&& next);

   private:
    Core::AsyncApiResultCb TakeCallback();
    std::shared_ptr<const AsyncApiMethod> method_;
    Core::AsyncApiResultCb callback_;
  };

  // Lets only GetInstance construct: a method object is always owned by a shared pointer.
  class Token {
    friend class AsyncApiMethodSignal;
    Token() {}
  };

  // A new method object, not connected: every invocation is answered with the internal server
  // error.
  static std::shared_ptr<AsyncApiMethodSignal> GetInstance(
      std::string name, Data::DataDefinitionPtr inputDefinition,
      Data::DataDefinitionPtr outputDefinition, DataDefinitionList errorDefinitions,
      std::shared_ptr<L10n::Localizer> localizer);
  // A new method object connected to `handler`, which it keeps for its whole life. `readsOnly`
  // marks an operation that only reads.
  static std::shared_ptr<AsyncApiMethodSignal> GetInstance(
      std::string name, Data::DataDefinitionPtr inputDefinition,
      Data::DataDefinitionPtr outputDefinition, DataDefinitionList errorDefinitions,
      std::shared_ptr<L10n::Localizer> localizer, Handler handler, bool readsOnly = false);

  AsyncApiMethodSignal(Token, std::string name, Data::DataDefinitionPtr inputDefinition,
                       Data::DataDefinitionPtr outputDefinition,
                       DataDefinitionList errorDefinitions,
                       std::shared_ptr<L10n::Localizer> localizer, Handler handler, bool readsOnly);

  const std::string& methodName() const override { return name_; }
  std::shared_ptr<const Core::MethodDefinition> definition(
      const std::shared_ptr<const Core::InterfaceIdentifier>& interfaceId) const override;
  Data::DataDefinitionPtr inputDefinition() const override { return inputDefinition_; }
  Data::DataDefinitionPtr outputDefinition() const override { return outputDefinition_; }
  DataDefinitionList errorDefinitions() override { return errorDefinitions_; }
  const DataDefinitionList& errorDefinitions() const override { return errorDefinitions_; }
  bool readsOnly() const override { return readsOnly_; }
  // Runs one call. The activation belongs to that call alone (the call installs its localizer
  // and records its resource in it): never share one between concurrent calls.
  void Invoke(const Data::DataValuePtr& input,
              const std::shared_ptr<Core::AsyncActivation>& activation,
              const Core::AsyncApiResultCb& resultCb) const override;

  const std::shared_ptr<L10n::Localizer>& localizer() const { return localizer_; }

 private:
  std::string name_;
  Data::DataDefinitionPtr inputDefinition_;
  Data::DataDefinitionPtr outputDefinition_;
  DataDefinitionList errorDefinitions_;
  const Handler handler_;
  std::shared_ptr<L10n::Localizer> localizer_;
  bool readsOnly_;
};

// A ResultCb callable that ignores everything: what a spent callback is replaced with.
struct IgnoreAnswer {
  template <class... A>
  void operator()(A&&...) const {}
};

// Turns the implementation's native answer into a value or an error for the method's callback.
template <class R>
class AsyncApiMethodResultFilter {
 public:
  using StreamContinuation = std::function<void(OptionalPtr<AsyncStreamResult<R>>)>;

  AsyncApiMethodResultFilter(AsyncApiMethod::ResultCb callback,
                             std::shared_ptr<Core::AsyncActivation> activation)
      : callback_(std::move(callback)), activation_(std::move(activation)) {}

  void operator()(const boost::optional<R>& result, const Data::ErrorValuePtr& error,
                  const boost::optional<Data::NativeError>& nativeError, const Progress& progress) {
    (*this)(result, error, nativeError, progress, StreamContinuation());
  }

  void operator()(const boost::optional<R>& result, const Data::ErrorValuePtr& error,
                  const boost::optional<Data::NativeError>& nativeError, const Progress& progress,
                  StreamContinuation&& next) {
    Data::ErrorValuePtr delivered = Data::NativeErrorHelper::GetError(
        error, nativeError, activation_->GetErrorRequestLocalizer());
    if (delivered) {
      TakeCallback()(boost::none, delivered, progress);
      return;
    }
    if (!result) {
      callback_(boost::none, nullptr, progress);  // an intermediate report: stay in place
      return;
    }
    Data::DataValuePtr value;
    MessageList messages;
    const R& native = *result;
    if (!Data::NativeToValueAdapter::Adapt(&native,
                                           Data::NativeToValueAdapter::AdaptMethod<R>::Get(&native),
                                           &value, messages, activation_->requestLocalizer())) {
      TakeCallback()(boost::none,
                     Data::ErrorValue::GetInstance(
                         ::Com::Brantel::Tarn::Std::Errors::InternalServerError::typeName),
                     progress);
      return;
    }
    AsyncApiMethod::ResultCb::Continuation continuation;
    if (next) {
      continuation = [next = std::move(next),
                      activation = activation_](std::shared_ptr<AsyncApiMethod::ResultCb> cb) {
        if (!cb) {
          next(OptionalPtr<AsyncStreamResult<R>>());
          return;
        }
        next(MakeOptionalPtr<AsyncStreamResult<R>>(AsyncApiMethodResultFilter(*cb, activation)));
      };
    }
    TakeCallback()(boost::optional<Data::DataValuePtr>(std::move(value)), nullptr, progress,
                   std::move(continuation));
  }

 private:
  AsyncApiMethod::ResultCb TakeCallback() {
    AsyncApiMethod::ResultCb taken = std::move(callback_);
    callback_ = AsyncApiMethod::ResultCb(IgnoreAnswer());
    return taken;
  }

  AsyncApiMethod::ResultCb callback_;
  std::shared_ptr<Core::AsyncActivation> activation_;
};

// The filter calls its closure directly, on the invoking thread, within its own call.
struct DirectFilterBinder {
  template <class Callable, class... A>
  static void Call(const Callable& callable, A&&... args) {
    callable(std::forward<A>(args)...);
  }
};

// Decodes and validates an invocation's input and calls the implementation through the closure.
template <class Callable, class R, class Input, class Binder>
class AsyncApiMethodFilter {
 public:
  explicit AsyncApiMethodFilter(Callable closure) : closure_(std::move(closure)) {}

  void operator()(const Data::DataValuePtr& input,
                  const std::shared_ptr<Core::AsyncActivation>& activation,
                  const AsyncApiMethod::ResultCb& resultCb) const {
    MessageList messages;
    Input record;
    bool ok = Data::ValueToNativeAdapter::Adapt(input, &record, messages);
    if constexpr (std::is_same<Input, OperationInput>::value) {
      ok = ok && record.valid;  // an operation input is not validated further
    } else {
      ok = ok && Data::Validator::isValid(record, Data::Validator::kRejectUndeclared, messages);
    }
    if (!ok) {
      resultCb(boost::none, ApiMethodHelper::GetInvalidArgumentError(messages), Progress{0, 1, 1});
      return;
    }
    AsyncResult<R, AsyncResultTerminateCbPolicy> result(
        AsyncApiMethodResultFilter<R>(resultCb, activation));
    closure_.RecordResource(record, *activation);
    Binder::Call(closure_, record, activation, result);
  }

 private:
  Callable closure_;
};

// The input fields of an operation, in order, as pointers to members of its Input record.
template <auto... Members>
struct Fields {};

namespace FieldsCheck {

template <class A, class B>
constexpr bool Same(A a, B b) {
  if constexpr (std::is_same<A, B>::value) {
    return a == b;
  } else {
    return false;
  }
}

// Walks AddFields in a constant expression, comparing each member it registers with the one at
// the same place in Fields<Ms...>.
template <auto... Ms>
struct InOrder {
  std::size_t count = 0;
  bool same = true;
  template <class R, class M>
  constexpr void AddField(const char*, M R::*member) {
    std::size_t i = 0;
    const bool found = ((i++ == count && Same(Ms, member)) || ...);
    same = same && found;
    ++count;
  }
};

template <class Input, auto... Ms>
constexpr bool Agree(Fields<Ms...>) {
  if constexpr (std::is_same<Input, OperationInput>::value) {
    return sizeof...(Ms) == 0;
  } else {
    InOrder<Ms...> walk;
    Input::AdapterHelper::AddFields(walk);
    return walk.same && walk.count == sizeof...(Ms);
  }
}

}  // namespace FieldsCheck

template <class... Errors>
struct ErrorList {};

// Names the field of an Input record that holds the machine the call acts on.
template <class M>
struct HasResource
    : std::integral_constant<
          bool, !std::is_null_pointer<std::decay_t<decltype(M::resourceField)>>::value> {};

// The closure a method builder makes: calls the implementation's operation through the
// interface's slot with the record's fields, and knows which resource a call acts on.
template <class M, class I, class Op>
class MethodClosure {
 public:
  MethodClosure(Op op, std::shared_ptr<I> implementation)
      : op_(op), implementation_(std::move(implementation)) {}

  void RecordResource(const typename M::Input& input, Core::AsyncActivation& activation) const {
    if constexpr (HasResource<M>::value) {
      const std::string& id = input.*(M::resourceField);
      std::string resource;
      resource.reserve(sizeof(M::resourceType) + id.size());
      resource.append(M::resourceType).append(".").append(id);
      activation.resourceId(std::move(resource));
    } else {
      (void)input;
      (void)activation;
    }
  }

  void operator()(const typename M::Input& input,
                  const std::shared_ptr<Core::AsyncActivation>& activation,
                  const typename M::ResultCbType& result) const {
    static_assert(FieldsCheck::Agree<typename M::Input>(typename M::Fields{}),
                  "Fields does not list the members AddFields registers, in the same order");
    Call(input, activation, result, typename M::Fields{});
  }

 private:
  template <auto... Ms>
  void Call(const typename M::Input& input,
            const std::shared_ptr<Core::AsyncActivation>& activation,
            const typename M::ResultCbType& result, Fields<Ms...>) const {
    ((*implementation_).*op_)(input.*Ms..., activation, result);
  }

  Op op_;
  std::shared_ptr<I> implementation_;
};

// Makes an operation's method filter from the interface's member operation and the
// implementation. The localizer is not kept.
template <class M, class I>
struct MethodBuilder {
  template <class Op>
  AsyncApiMethodFilter<MethodClosure<M, I, Op>, typename M::Output, typename M::Input,
                       DirectFilterBinder>
  operator()(Op op, const std::shared_ptr<I>& implementation,
             const std::shared_ptr<L10n::Localizer>&) const {
    return AsyncApiMethodFilter<MethodClosure<M, I, Op>, typename M::Output, typename M::Input,
                                DirectFilterBinder>(MethodClosure<M, I, Op>(op, implementation));
  }
};

// The steps shared by every generated binder helper.
struct BinderHelperBase {
  // Builds an operation's method object from its method class and connects the filter.
  template <class M, class F>
  static std::shared_ptr<AsyncApiMethodSignal> GetApiMethodInstance(
      F&& filter, const std::shared_ptr<L10n::Localizer>& localizer) {
    std::string name = M::methodName();
    Data::DataDefinitionPtr input = M::inputDef();
    Data::DataDefinitionPtr output = M::outputDef();
    DataDefinitionList errors = M::errorDefs();
    return AsyncApiMethodSignal::GetInstance(
        std::move(name), std::move(input), std::move(output), std::move(errors), localizer,
        AsyncApiMethodSignal::Handler(std::forward<F>(filter)), M::readsOnly);
  }
};

// One operation of a service: its method class and the interface's member operation.
template <class M, class Op>
struct Slot {
  Op op;
  template <class I>
  AsyncApiMethodPtr Build(const std::shared_ptr<I>& implementation,
                          const std::shared_ptr<L10n::Localizer>& localizer) const {
    return BinderHelperBase::GetApiMethodInstance<M>(
        MethodBuilder<M, I>()(op, implementation, localizer), localizer);
  }
};

template <class M, class Op>
Slot<M, Op> MakeSlot(Op op) {
  return Slot<M, Op>{op};
}

// Binds an implementation: one method object per slot, in slot order, under the service id.
template <class I, class... Slots>
std::shared_ptr<AsyncApiInterface> BindInterface(const std::shared_ptr<I>& implementation,
                                                 const std::shared_ptr<L10n::Localizer>& localizer,
                                                 const Slots&... slots) {
  auto id = Core::InterfaceIdentifier::GetInstance(Data::TypeInfo<I>::name());
  std::vector<AsyncApiMethodPtr> methods{slots.Build(implementation, localizer)...};
  return AsyncApiInterface::GetInstance(std::move(id), std::move(methods));
}

// Base of the generated <Op>Method classes of interface I with output R: the types every method
// class names, and its name and definitions, built afresh on every call. A method class that acts
// on a machine names its Input field in `resourceField`; one that only reads sets `readsOnly`.
template <class M, class I, class R>
struct MethodBase {
  using Interface = I;
  using Output = R;
  using ResultCbType = AsyncResult<R, AsyncResultTerminateCbPolicy>;
  static constexpr std::nullptr_t resourceField = nullptr;
  static constexpr char resourceType[] = "com.brantel.kov.vm.VirtualMachine";
  static constexpr bool readsOnly = false;

  static std::string methodName() { return M::wireName; }
  static Data::DataDefinitionPtr inputDef() {
    return Data::NativeToDefinitionAdapter::Adapt<typename M::Input>();
  }
  static Data::DataDefinitionPtr outputDef() {
    return Data::NativeToDefinitionAdapter::Adapt<typename M::Output>();
  }
  static DataDefinitionList errorDefs() { return ErrorDefs(typename M::Errors{}); }

 private:
  template <class... E>
  static DataDefinitionList ErrorDefs(ErrorList<E...>) {
    DataDefinitionList list;
    list.reserve(sizeof...(E));
    (list.push_back(Data::NativeToDefinitionAdapter::Adapt<E>()), ...);
    return list;
  }
};

// The generated AsyncServiceBinder: binds an implementation of I through its binder helper, with
// a new default localizer or the given one.
template <class Helper, class I>
struct Binder {
  static std::shared_ptr<AsyncApiInterface> BindImplementation(
      const std::shared_ptr<I>& implementation) {
    return Helper::Bind(implementation, std::make_shared<L10n::Localizer>());
  }
  static std::shared_ptr<AsyncApiInterface> BindImplementation(
      const std::shared_ptr<I>& implementation, const std::shared_ptr<L10n::Localizer>& localizer) {
    return Helper::Bind(implementation, localizer);
  }
};

}  // namespace Provider
}  // namespace Tarn
