// Helpers shared by the runtime tests: the value builders and the check of a reported message.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/test_values.h"

namespace Tarn {
namespace Testing {

using namespace ::KovTest;  // NOLINT(build/namespaces)
using Strings = std::vector<std::string>;

// A message must carry its id and arguments, and its catalogue text must know the id and show
// every non-empty argument.
inline void ExpectMessage(const BaseMessage& m, const std::string& id, const Strings& args) {
  EXPECT_EQ(m.id, id);
  EXPECT_EQ(m.args, args);
  EXPECT_EQ(m.defaultMessage.rfind("Unknown message id", 0), std::string::npos) << m.id;
  for (const auto& a : args) {
    if (!a.empty()) {
      EXPECT_THAT(m.defaultMessage, ::testing::HasSubstr(a));
    }
  }
}

}  // namespace Testing
}  // namespace Tarn
