// The one-shot typed result object: which callback a delivery reaches, with what arguments, and
// the rule that a result object answers once.
#include "binding/async_result.h"

#include <gtest/gtest.h>

#include <boost/optional/optional_io.hpp>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "runtime/std_errors.h"

namespace {

using Tarn::AsyncResult;
using Tarn::AsyncResultTerminateCbPolicy;
using Tarn::Progress;
using Tarn::Data::ErrorValuePtr;
using Tarn::Data::NativeError;
namespace Errors = ::Com::Brantel::Tarn::Std::Errors;

using IntResult = AsyncResult<int, AsyncResultTerminateCbPolicy>;

// One call as a callback saw it.
struct Seen {
  boost::optional<int> result;
  ErrorValuePtr error;
  // The native error's type, when the callback was given one.
  boost::optional<std::string> nativeError;
  Progress progress{-1, -1, -1};
  bool viaShort = false;
};

boost::optional<std::string> TypeOf(const boost::optional<NativeError>& native) {
  if (!native) return boost::none;
  return native->errorType;
}

struct Recorder {
  std::vector<Seen> calls;

  IntResult::ResultCb::Short Short() {
    return [this](const boost::optional<int>& r, const ErrorValuePtr& e, const Progress& p) {
      calls.push_back(Seen{r, e, boost::none, p, true});
    };
  }
  IntResult::ResultCb::Full Full() {
    return [this](const boost::optional<int>& r, const ErrorValuePtr& e,
                  const boost::optional<NativeError>& n, const Progress& p) {
      calls.push_back(Seen{r, e, TypeOf(n), p, false});
    };
  }
};

TEST(AsyncResult, ValueOrErrorReachesTheFullCallbackWithFinalProgress) {
  auto error = Errors::NotFound::Create();
  for (int kind = 0; kind < 3; ++kind) {
    SCOPED_TRACE(kind);
    Recorder rec;
    IntResult result(rec.Full());
    if (kind == 0) result(7);
    if (kind == 1) result.error(error);
    if (kind == 2) result.error(nullptr);  // still a final delivery
    ASSERT_EQ(rec.calls.size(), 1u);
    const Seen& s = rec.calls[0];
    EXPECT_FALSE(s.viaShort);
    EXPECT_EQ(s.result, kind == 0 ? boost::optional<int>(7) : boost::none);
    EXPECT_EQ(s.error, kind == 1 ? error : nullptr);
    EXPECT_FALSE(s.nativeError.has_value());
    EXPECT_EQ(s.progress, (Progress{0, 1, 1}));
    // Spent: the callbacks are no longer the receiver's.
    EXPECT_TRUE(result.resultCb().shortCb);
    EXPECT_TRUE(result.resultCb().fullCb);
  }
}

TEST(AsyncResult, ConstructionPicksTheCallbackByItsArguments) {
  IntResult shortForm([](const boost::optional<int>&, const ErrorValuePtr&, const Progress&) {});
  EXPECT_TRUE(shortForm.resultCb().shortCb);
  EXPECT_FALSE(shortForm.resultCb().fullCb);

  IntResult fullForm([](const boost::optional<int>&, const ErrorValuePtr&,
                        const boost::optional<NativeError>&, const Progress&) {});
  EXPECT_FALSE(fullForm.resultCb().shortCb);
  EXPECT_TRUE(fullForm.resultCb().fullCb);

  // With both set, the short callback wins.
  Recorder rec;
  IntResult result;
  result.resultCb().shortCb = rec.Short();
  result.resultCb().fullCb = rec.Full();
  result(3);
  ASSERT_EQ(rec.calls.size(), 1u);
  EXPECT_TRUE(rec.calls[0].viaShort);
  EXPECT_EQ(*rec.calls[0].result, 3);
  EXPECT_EQ(rec.calls[0].progress, (Progress{0, 1, 1}));
}

TEST(AsyncResult, ResultCbPassesNativeErrorOnlyToTheFullCallback) {
  NativeError native{Errors::NotFound::typeName, {}, {}};
  {
    Recorder rec;
    IntResult result(rec.Full());
    result.resultCb()(boost::none, nullptr, native, Progress{0, 1, 2});
    ASSERT_EQ(rec.calls.size(), 1u);
    ASSERT_TRUE(rec.calls[0].nativeError.has_value());
    EXPECT_EQ(*rec.calls[0].nativeError, Errors::NotFound::typeName);
    EXPECT_EQ(rec.calls[0].progress, (Progress{0, 1, 2}));
  }
  {
    Recorder rec;
    IntResult result(rec.Short());
    result.resultCb()(boost::none, nullptr, native, Progress{0, 1, 2});
    ASSERT_EQ(rec.calls.size(), 1u);
    EXPECT_TRUE(rec.calls[0].viaShort);
    EXPECT_FALSE(rec.calls[0].nativeError.has_value());
  }
}

TEST(AsyncResult, ResultCbCallDoesNotSpendTheObject) {
  Recorder rec;
  IntResult result(rec.Full());
  result.resultCb()(boost::none, nullptr, boost::none, Progress{0, 1, 2});
  result.resultCb()(boost::none, nullptr, boost::none, Progress{0, 2, 3});
  result(9);  // still the first final delivery
  ASSERT_EQ(rec.calls.size(), 3u);
  EXPECT_EQ(rec.calls[1].progress, (Progress{0, 2, 3}));
  EXPECT_EQ(*rec.calls[2].result, 9);
}

TEST(AsyncResult, NeitherCallbackSetThrowsAndStaysUnspent) {
  IntResult result;
  EXPECT_THROW(result(1), std::bad_function_call);
  EXPECT_THROW(result.error(Errors::NotFound::Create()), std::bad_function_call);
  // The policy did not run: both callbacks are still empty, not replaced.
  EXPECT_FALSE(result.resultCb().shortCb);
  EXPECT_FALSE(result.resultCb().fullCb);
  Recorder rec;
  result.resultCb().fullCb = rec.Full();
  result(2);
  ASSERT_EQ(rec.calls.size(), 1u);
  EXPECT_EQ(*rec.calls[0].result, 2);
}

TEST(AsyncResult, ExceptionFromTheCallbackLeavesItUnspent) {
  int calls = 0;
  IntResult result([&](const boost::optional<int>& r, const ErrorValuePtr&,
                       const boost::optional<NativeError>&, const Progress&) {
    ++calls;
    if (*r == 1) throw std::runtime_error("receiver failed");
  });
  EXPECT_THROW(result(1), std::runtime_error);
  result(2);  // not a second delivery: the first one did not complete
  EXPECT_EQ(calls, 2);
}

TEST(AsyncResult, CopiesMadeBeforeDeliveryAndMovesStillDeliver) {
  Recorder rec;
  IntResult result(rec.Full());
  IntResult copy = result;
  result(1);
  copy(2);
  ASSERT_EQ(rec.calls.size(), 2u);
  EXPECT_EQ(*rec.calls[0].result, 1);
  EXPECT_EQ(*rec.calls[1].result, 2);

  IntResult fresh(rec.Full());
  IntResult target(std::move(fresh));
  target(5);
  ASSERT_EQ(rec.calls.size(), 3u);
  EXPECT_EQ(*rec.calls[2].result, 5);
}

TEST(AsyncResult, DestroyingAnUnspentResultSendsNothing) {
  Recorder rec;
  auto token = std::make_shared<int>(0);
  std::weak_ptr<int> watch = token;
  {
    IntResult result([&rec, token](const boost::optional<int>& r, const ErrorValuePtr& e,
                                   const boost::optional<NativeError>& n, const Progress& p) {
      rec.calls.push_back(Seen{r, e, TypeOf(n), p, false});
    });
    IntResult copy = result;
    token.reset();
  }
  EXPECT_TRUE(rec.calls.empty());
  EXPECT_TRUE(watch.expired());  // the callbacks were released with the objects
}

TEST(AsyncStreamResult, MakeOptionalPtrSetsOnlyTheFullCallback) {
  using Stream = Tarn::AsyncStreamResult<int>;
  EXPECT_FALSE(Tarn::OptionalPtr<Stream>());
  auto token = std::make_shared<int>(0);
  std::weak_ptr<int> watch = token;
  std::vector<int> seen;
  {
    auto stream = Tarn::MakeOptionalPtr<Stream>(
        [&seen, token](const boost::optional<int>& r, const ErrorValuePtr&,
                       const boost::optional<NativeError>&, const Progress&,
                       Stream::Continuation&&) { seen.push_back(r ? *r : -1); });
    token.reset();
    ASSERT_TRUE(stream);
    EXPECT_FALSE(stream->shortCb);
    EXPECT_TRUE(stream->fullCb);
    EXPECT_FALSE(watch.expired());
  }
  EXPECT_TRUE(seen.empty());  // destruction delivers nothing
  EXPECT_TRUE(watch.expired());
}

// A second delivery through one result object is a fault that ends the process.
class AsyncResultDeathTest : public ::testing::Test {
 protected:
  void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
  static IntResult Quiet() {
    return IntResult([](const boost::optional<int>&, const ErrorValuePtr&, const Progress&) {});
  }
};

TEST_F(AsyncResultDeathTest, SecondDeliveryEndsTheProcess) {
  const std::pair<const char*, void (*)(IntResult&)> cases[] = {
      {"second value", [](IntResult& r) { r(1), r(2); }},
      {"copy made after delivery", [](IntResult& r) { r(1), IntResult(r)(2); }},
      {"resultCb call on a spent object",
       [](IntResult& r) {
         r(1), r.resultCb()(boost::none, nullptr, boost::none, {0, 1, 2});
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.first);
    EXPECT_DEATH(
        {
          IntResult result = Quiet();
          c.second(result);
        },
        "");
  }
}

}  // namespace
