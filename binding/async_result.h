// One-shot typed result objects: how every operation answers, on the provider side and on the
// client side.
#pragma once

#include <boost/optional.hpp>
#include <exception>
#include <functional>
#include <memory>
#include <type_traits>
#include <utility>

#include "binding/native.h"
#include "runtime/data_value.h"
#include "runtime/method.h"
#include "runtime/provider.h"

namespace Tarn {

// After the one delivery, both callbacks are replaced by callables that end the process: a
// second delivery through the same result object is a fault that must not go unnoticed.
struct AsyncResultTerminateCbPolicy {
  template <class Cb>
  void operator()(Cb& cb) const {
    cb.shortCb = [](auto&&...) { std::terminate(); };
    cb.fullCb = [](auto&&...) { std::terminate(); };
  }
};

template <class R, class Policy = AsyncResultTerminateCbPolicy>
class AsyncResult {
 public:
  class ResultCb {
   public:
    using Short =
        std::function<void(const boost::optional<R>&, const Data::ErrorValuePtr&, const Progress&)>;
    using Full = std::function<void(const boost::optional<R>&, const Data::ErrorValuePtr&,
                                    const boost::optional<Data::NativeError>&, const Progress&)>;

    ResultCb() = default;
    ResultCb(Short s, Full f) : shortCb(std::move(s)), fullCb(std::move(f)) {}

    // The short callback wins when both are set; with neither, std::bad_function_call.
    void operator()(const boost::optional<R>& result, const Data::ErrorValuePtr& error,
                    const boost::optional<Data::NativeError>& nativeError,
                    const Progress& progress) const {
      if (shortCb) {
        shortCb(result, error, progress);
      } else if (fullCb) {
        fullCb(result, error, nativeError, progress);
      } else {
        throw std::bad_function_call();
      }
    }

    Short shortCb;
    Full fullCb;
  };

  AsyncResult() = default;

  // From a callable taking (result, error, progress) — the short form clients usually write — or
  // (result, error, native error, progress), the full form. A callable passed as a temporary is
  // moved in rather than copied: the provider pipeline hands over a result filter that way, and a
  // copy would duplicate the whole callback chain behind it only to drop the original.
  template <class F, class = std::enable_if_t<!std::is_same<std::decay_t<F>, AsyncResult>::value>>
  AsyncResult(F&& callback) {  // NOLINT: implicit on purpose, like std::function
    if constexpr (std::is_invocable<const std::decay_t<F>&, const boost::optional<R>&,
                                    const Data::ErrorValuePtr&, const Progress&>::value) {
      cb_.shortCb = std::forward<F>(callback);
    } else {
      cb_.fullCb = std::forward<F>(callback);
    }
  }

  // Delivers the value, final, then spends the result object.
  void operator()(const R& value) const { Deliver(boost::optional<R>(value), nullptr); }
  // Delivers the error, final, then spends the result object.
  void error(const Data::ErrorValuePtr& error) const { Deliver(boost::none, error); }

  ResultCb& resultCb() const { return cb_; }

 private:
  void Deliver(const boost::optional<R>& value, const Data::ErrorValuePtr& error) const {
    cb_(value, error, boost::none, Progress{0, 1, 1});
    Policy()(cb_);
  }

  mutable ResultCb cb_;
};

struct AsyncStreamResultTerminateCbPolicy {
  template <class Cb>
  void operator()(Cb& cb) const {
    cb.shortCb = [](auto&&...) { std::terminate(); };
    cb.fullCb = [](auto&&...) { std::terminate(); };
  }
};

// The streaming counterpart of AsyncResult: its full callback also takes a continuation through
// which the receiver asks for the next result.
template <class R, class Policy = AsyncStreamResultTerminateCbPolicy>
class AsyncStreamResult {
 public:
  using Continuation = std::function<void(OptionalPtr<AsyncStreamResult>)>;
  using Short =
      std::function<void(const boost::optional<R>&, const Data::ErrorValuePtr&, const Progress&)>;
  using Full = std::function<void(const boost::optional<R>&, const Data::ErrorValuePtr&,
                                  const boost::optional<Data::NativeError>&, const Progress&,
                                  Continuation&&)>;

  AsyncStreamResult(Short s, Full f) : shortCb(std::move(s)), fullCb(std::move(f)) {}

  void operator()(const boost::optional<R>& result, const Data::ErrorValuePtr& error,
                  const boost::optional<Data::NativeError>& nativeError, const Progress& progress,
                  Continuation&& next = {}) {
    if (shortCb) {
      shortCb(result, error, progress);
    } else if (fullCb) {
      fullCb(result, error, nativeError, progress, std::move(next));
    } else {
      throw std::bad_function_call();
    }
    if (progress.IsFinal()) Policy()(*this);
  }

  Short shortCb;
  Full fullCb;
};

// A new shared object of type T made from the callable: for a stream result, its full callback.
template <class T, class F>
OptionalPtr<T> MakeOptionalPtr(F&& callable) {
  return OptionalPtr<T>(std::make_shared<T>(nullptr, std::forward<F>(callable)));
}

}  // namespace Tarn
