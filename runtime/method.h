// Identifiers of interfaces and methods, method results, progress and the runtime's result
// callback.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "runtime/data_definition.h"
#include "runtime/data_value.h"
#include "runtime/export.h"

namespace Tarn {

// Where an answer stands: (0, 1, 1) is a final answer; when `total` and `current` differ the
// answer is an intermediate report and more will follow.
struct Progress {
  std::int64_t start = 0;
  std::int64_t total = 1;
  std::int64_t current = 1;
  bool IsFinal() const { return total == current; }
  friend bool operator==(const Progress& a, const Progress& b) {
    return a.start == b.start && a.total == b.total && a.current == b.current;
  }
};

namespace Core {

class KOV_EXPORT InterfaceIdentifier {
 public:
  // A new identifier on every call; identifiers are compared by name, never interned.
  static std::shared_ptr<const InterfaceIdentifier> GetInstance(std::string name);
  explicit InterfaceIdentifier(std::string name) : name_(std::move(name)) {}
  const std::string& name() const { return name_; }

 private:
  std::string name_;
};

class KOV_EXPORT MethodIdentifier {
 public:
  static std::shared_ptr<const MethodIdentifier> GetInstance(
      std::shared_ptr<const InterfaceIdentifier> interfaceId, std::string name);
  MethodIdentifier(std::shared_ptr<const InterfaceIdentifier> interfaceId, std::string name)
      : interfaceId_(std::move(interfaceId)), name_(std::move(name)) {}
  const std::shared_ptr<const InterfaceIdentifier>& interfaceId() const { return interfaceId_; }
  const std::string& name() const { return name_; }

 private:
  std::shared_ptr<const InterfaceIdentifier> interfaceId_;
  std::string name_;
};

class KOV_EXPORT MethodDefinition {
 public:
  MethodDefinition(std::shared_ptr<const MethodIdentifier> id, Data::DataDefinitionPtr input,
                   Data::DataDefinitionPtr output)
      : id_(std::move(id)), input_(std::move(input)), output_(std::move(output)) {}
  const std::shared_ptr<const MethodIdentifier>& identifier() const { return id_; }
  const Data::DataDefinitionPtr& input() const { return input_; }
  const Data::DataDefinitionPtr& output() const { return output_; }

 private:
  std::shared_ptr<const MethodIdentifier> id_;
  Data::DataDefinitionPtr input_;
  Data::DataDefinitionPtr output_;
};

class KOV_EXPORT MethodResult {
 public:
  MethodResult(Data::DataValuePtr output, Data::ErrorValuePtr error)
      : output_(std::move(output)), error_(std::move(error)) {}
  virtual ~MethodResult();

  // A result with neither output nor error: the end-of-results marker.
  static std::shared_ptr<const MethodResult> GetTerminationInstance();

  const Data::DataValuePtr& output() const { return output_; }
  const Data::ErrorValuePtr& error() const { return error_; }
  bool flag() const { return flag_; }
  bool success() const { return output_ && !error_; }

 private:
  Data::DataValuePtr output_;
  Data::ErrorValuePtr error_;
  bool flag_ = true;
};

using MethodResultPtr = std::shared_ptr<const MethodResult>;

// The runtime's result callback: (method result, progress, continuation). The continuation lets
// the receiver ask for a callback for a further result of the same invocation.
class KOV_EXPORT AsyncApiResultCb {
 public:
  using Continuation = std::function<void(std::shared_ptr<AsyncApiResultCb>)>;
  using Function = std::function<void(const MethodResultPtr&, const Progress&, Continuation&&)>;

  AsyncApiResultCb() = default;
  template <class F,
            class = std::enable_if_t<!std::is_same<std::decay_t<F>, AsyncApiResultCb>::value>>
  AsyncApiResultCb(F f) : fn_(std::move(f)) {}

  void operator()(const MethodResultPtr& result, const Progress& progress,
                  Continuation&& next = {}) const {
    fn_(result, progress, std::move(next));
  }
  explicit operator bool() const { return static_cast<bool>(fn_); }

 private:
  Function fn_;
};

}  // namespace Core
}  // namespace Tarn
