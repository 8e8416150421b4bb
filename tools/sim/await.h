// Waiting for the answer of an asynchronous operation called through a typed stub: what a client
// of the simulator (the kov-vm tour, the tests) does when it wants the answer before going on.
#pragma once

#include <boost/optional.hpp>
#include <chrono>
#include <future>
#include <memory>
#include <mutex>

#include "binding/async_result.h"
#include "runtime/data_value.h"
#include "runtime/message.h"
#include "runtime/std_errors.h"

namespace Kov {
namespace Sim {

template <class R>
struct Reply {
  boost::optional<R> value;
  Tarn::Data::ErrorValuePtr error;
};

// Calls `call` with a result object of operation M (a generated <Op>Method class) and waits for
// its final answer. An operation that gives no final answer within `limit` is reported as an
// Error with the message "kov.sim.no.answer".
template <class M, class F>
Reply<typename M::Output> Await(F&& call,
                                std::chrono::milliseconds limit = std::chrono::seconds(30)) {
  using R = typename M::Output;
  auto promise = std::make_shared<std::promise<Reply<R>>>();
  auto future = promise->get_future();
  auto once = std::make_shared<std::once_flag>();
  typename M::ResultCbType result([promise, once](const boost::optional<R>& value,
                                                  const Tarn::Data::ErrorValuePtr& error,
                                                  const Tarn::Progress& progress) {
    if (!progress.IsFinal()) return;
    std::call_once(*once, [&] { promise->set_value(Reply<R>{value, error}); });
  });
  call(result);
  if (future.wait_for(limit) != std::future_status::ready) {
    return Reply<R>{boost::none,
                    ::Com::Brantel::Tarn::Std::Errors::Error::Create({Tarn::MakeMessage(
                        "kov.sim.no.answer", "The operation gave no answer in time.")})};
  }
  return future.get();
}

}  // namespace Sim
}  // namespace Kov
