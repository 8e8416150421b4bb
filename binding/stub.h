// The client face: a stub operation packs its arguments into the operation's Input record,
// converts it, invokes the runtime, and delivers the converted answer through the caller's
// result object.
#pragma once

#include <memory>
#include <string>
#include <utility>

#include "binding/async_result.h"
#include "binding/provider.h"
#include "binding/value_adapter.h"
#include "runtime/activation.h"
#include "runtime/l10n.h"
#include "runtime/method.h"
#include "runtime/std_errors.h"
#include "runtime/stub.h"

namespace Tarn {
namespace Stub {

namespace AsyncResultWrapper {

// What the stub hands the runtime as its callback: a copy of the caller's result object, and the
// conversion of each answer into the operation's native result type.
template <class R, class Result>
class ResultWrapper {
 public:
  explicit ResultWrapper(const Result& result) : result_(result) {}

  void operator()(const Core::MethodResultPtr& methodResult, const Progress& progress,
                  Core::AsyncApiResultCb::Continuation&&) {
    if (!methodResult) {
      // An intermediate report: the result object stays unspent.
      result_.resultCb()(boost::none, nullptr, boost::none, progress);
      return;
    }
    if (!methodResult->success()) {
      result_.error(methodResult->error());
      return;
    }
    R value{};
    MessageList messages;
    if (Data::ValueToNativeAdapter::Adapt(methodResult->output(),
                                          Data::ValueToNativeAdapter::AdaptMethod<R>::Get(&value),
                                          &value, messages)) {
      result_(value);
    } else {
      result_.error(Data::ErrorValue::Create("invalid_argument", messages));
    }
  }

 private:
  Result result_;
};

}  // namespace AsyncResultWrapper

struct AsyncMethodInvoker {
  template <class M>
  static void Invoke(const typename M::Input& input,
                     const std::shared_ptr<Core::AsyncActivation>& activation,
                     const typename M::ResultCbType& result,
                     const std::shared_ptr<AsyncApiStub>& apiStub) {
    auto interfaceId =
        Core::InterfaceIdentifier::GetInstance(Data::TypeInfo<typename M::Interface>::name());
    auto methodId = Core::MethodIdentifier::GetInstance(std::move(interfaceId), M::methodName());
    Data::DataValuePtr value;
    MessageList messages;
    const bool converted = Data::NativeToValueAdapter::Adapt(
        &input, Data::NativeToValueAdapter::AdaptMethod<typename M::Input>::Get(&input), &value,
        messages, L10n::RequestLocalizer::Default());
    if (!converted) {
      result.error(Data::ErrorValue::Create(
          ::Com::Brantel::Tarn::Std::Errors::InvalidArgument::typeName, messages));
      return;
    }
    apiStub->Invoke(
        methodId, value, activation,
        Core::AsyncApiResultCb(
            AsyncResultWrapper::ResultWrapper<typename M::Output, typename M::ResultCbType>(
                result)));
  }
};

// Builds an operation's Input record from the stub's arguments, in field order, and invokes it.
template <class M, auto... Ms, class... A>
void CallWithFields(Provider::Fields<Ms...>, const std::shared_ptr<AsyncApiStub>& apiStub,
                    const std::shared_ptr<Core::AsyncActivation>& activation,
                    const typename M::ResultCbType& result, const A&... args) {
  typename M::Input input;
  ((input.*Ms = args), ...);
  AsyncMethodInvoker::Invoke<M>(input, activation, result, apiStub);
}

template <class M, class... A>
void Call(const std::shared_ptr<AsyncApiStub>& apiStub,
          const std::shared_ptr<Core::AsyncActivation>& activation,
          const typename M::ResultCbType& result, const A&... args) {
  CallWithFields<M>(typename M::Fields{}, apiStub, activation, result, args...);
}

}  // namespace Stub
}  // namespace Tarn
