// What the runtime sees of a bound service: interface objects holding method objects, and the
// helpers that check what goes in and out of a method.
#pragma once

#include <boost/optional.hpp>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "runtime/activation.h"
#include "runtime/data_definition.h"
#include "runtime/data_value.h"
#include "runtime/export.h"
#include "runtime/method.h"

namespace Tarn {
namespace Provider {

using DataDefinitionList = std::vector<Data::DataDefinitionPtr>;

// The method interface through which the runtime reaches one operation of a bound service.
class KOV_EXPORT AsyncApiMethod {
 public:
  // The callback a method's handler answers through: (output, error, progress, continuation).
  class KOV_EXPORT ResultCb {
   public:
    using Continuation = std::function<void(std::shared_ptr<ResultCb>)>;
    using Function =
        std::function<void(const boost::optional<Data::DataValuePtr>&, const Data::ErrorValuePtr&,
                           const Progress&, Continuation&&)>;
    ResultCb() = default;
    template <class F, class = std::enable_if_t<!std::is_same<std::decay_t<F>, ResultCb>::value>>
    ResultCb(F f) : fn_(std::move(f)) {}

    void operator()(const boost::optional<Data::DataValuePtr>& output,
                    const Data::ErrorValuePtr& error, const Progress& progress,
                    Continuation&& next = {}) const {
      fn_(output, error, progress, std::move(next));
    }

   private:
    Function fn_;
  };

  virtual const std::string& methodName() const = 0;
  virtual std::shared_ptr<const Core::MethodDefinition> definition(
      const std::shared_ptr<const Core::InterfaceIdentifier>& interfaceId) const = 0;
  virtual Data::DataDefinitionPtr inputDefinition() const = 0;
  virtual Data::DataDefinitionPtr outputDefinition() const = 0;
  virtual DataDefinitionList errorDefinitions() = 0;
  virtual const DataDefinitionList& errorDefinitions() const = 0;
  // True when the operation only reads: a caller allowed only to read may call it.
  virtual bool readsOnly() const { return false; }
  virtual void Invoke(const Data::DataValuePtr& input,
                      const std::shared_ptr<Core::AsyncActivation>& activation,
                      const Core::AsyncApiResultCb& resultCb) const = 0;
  virtual ~AsyncApiMethod();
};

using AsyncApiMethodPtr = std::shared_ptr<const AsyncApiMethod>;

// A bound service as the runtime holds it: its identifier and its method objects in slot order.
class KOV_EXPORT AsyncApiInterface {
 public:
  static std::shared_ptr<AsyncApiInterface> GetInstance(
      std::shared_ptr<const Core::InterfaceIdentifier> id, std::vector<AsyncApiMethodPtr> methods);
  AsyncApiInterface(std::shared_ptr<const Core::InterfaceIdentifier> id,
                    std::vector<AsyncApiMethodPtr> methods)
      : id_(std::move(id)), methods_(std::move(methods)) {}

  const std::shared_ptr<const Core::InterfaceIdentifier>& identifier() const { return id_; }
  const std::vector<AsyncApiMethodPtr>& methods() const { return methods_; }
  // The method object of the given wire name, or null.
  AsyncApiMethodPtr FindMethod(const std::string& name) const;

 private:
  std::shared_ptr<const Core::InterfaceIdentifier> id_;
  std::vector<AsyncApiMethodPtr> methods_;
};

// Checks of what enters and leaves a method. The runtime's own errors, invalid argument and
// internal server error, always pass; anything else must be one of the method's errors.
struct KOV_EXPORT ApiMethodHelper {
  // True when the input fits its definition; otherwise false, with `result` set to the
  // invalid-argument error to answer with.
  static bool ValidateInput(const std::string& methodName, const Data::DataDefinitionPtr& inputDef,
                            const Data::DataValuePtr& input, Core::MethodResultPtr& result);
  // The output as a result, or the internal server error when it does not fit its definition.
  static Core::MethodResultPtr ValidateOutput(const std::string& methodName,
                                              const Data::DataDefinitionPtr& outputDef,
                                              const Data::DataValuePtr& output);
  // The error as a result, or the internal server error (naming the error it replaces) when the
  // error is not one the method may answer with.
  static Core::MethodResultPtr ValidateError(const std::string& methodName,
                                             const DataDefinitionList& errorDefs,
                                             const Data::ErrorValuePtr& error);
  static Data::ErrorValuePtr GetInvalidArgumentError(const MessageList& messages);
};

}  // namespace Provider

namespace Data {

// An argument of a structured runtime message; only carried inside a native error.
struct MsgArgument {
  std::string text;
};

// An error as a provider may give it natively: its type name and its messages.
struct NativeError {
  std::string errorType;
  MessageList messages;
  std::vector<MsgArgument> arguments;
};

struct KOV_EXPORT NativeErrorHelper {
  // The error to deliver: `error` when set, else one made from the native error, else null.
  static ErrorValuePtr GetError(const ErrorValuePtr& error,
                                const boost::optional<NativeError>& nativeError,
                                const L10n::RequestLocalizer& localizer);
};

}  // namespace Data
}  // namespace Tarn
