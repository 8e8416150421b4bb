// Every operation of the thirteen services over the transport, driven by the client's guided tour:
// the answers are the ones the tour expects in process, and every value on the way crosses the
// encoding exactly.
#include <gtest/gtest.h>

#include <sstream>

#include "remote/value_codec.h"
#include "tests/remote/remote_test_util.h"
#include "tools/kov-vm/demo.h"
#include "tools/sim/simulator.h"

namespace Tarn {
namespace Remote {
namespace Testing {
namespace {

// Passes calls on, and checks that every input and every answer crosses the encoding exactly.
class RoundTripCheck final : public Core::InvocationTarget {
 public:
  explicit RoundTripCheck(std::shared_ptr<Core::InvocationTarget> next) : next_(std::move(next)) {}

  void Invoke(const std::shared_ptr<const Core::MethodIdentifier>& methodId,
              const DataValuePtr& input, const std::shared_ptr<Core::AsyncActivation>& activation,
              const AsyncApiResultCb& resultCb) override {
    Check(input);
    next_->Invoke(methodId, input, activation,
                  [resultCb](const MethodResultPtr& result, const Progress& progress,
                             AsyncApiResultCb::Continuation&& next) {
                    if (result && result->output()) Check(result->output());
                    if (result && result->error()) Check(result->error());
                    resultCb(result, progress, std::move(next));
                  });
  }

 private:
  static void Check(const DataValuePtr& value) {
    kov::remote::v1::Value wire, parsed;
    MessageList messages;
    DataValuePtr back;
    ASSERT_TRUE(EncodeValue(value, wire, messages));
    ASSERT_TRUE(parsed.ParseFromString(wire.SerializeAsString()));
    ASSERT_TRUE(DecodeValue(parsed, back, messages)) << messages[0].defaultMessage;
    EXPECT_TRUE(back->Equals(*value)) << value->ToString() << "\n" << back->ToString();
  }
  std::shared_ptr<Core::InvocationTarget> next_;
};

TEST(RemoteOperationsTest, TheTourAnswersOverTheTransportAsInProcess) {
  std::ostringstream local, remote;
  const Kov::Cli::DemoResult expected = Kov::Cli::RunDemo(local);
  ASSERT_EQ(expected.exitCode, 0) << local.str();

  MessageList messages;
  Kov::Sim::Simulator there;
  auto served = Core::LocalProvider::GetInstance();
  ASSERT_TRUE(there.RegisterWith(*served, messages));
  auto server = StartServer(std::make_shared<RoundTripCheck>(served));
  const Kov::Cli::DemoResult actual =
      Kov::Cli::RunDemo(remote, std::make_shared<RoundTripCheck>(Connect(server->port())));
  EXPECT_EQ(actual.exitCode, 0) << remote.str();
  EXPECT_EQ(actual.surprises, 0);
  EXPECT_EQ(actual.counts, expected.counts);
  EXPECT_EQ(actual.failures, expected.failures);
  EXPECT_EQ(actual.counts.size(), actual.operations);
}

}  // namespace
}  // namespace Testing
}  // namespace Remote
}  // namespace Tarn
