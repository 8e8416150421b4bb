// Messages: equality, the text made from a pattern and its arguments, and the core catalogue.
#include "runtime/message.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace Tarn {
namespace {

using Strings = std::vector<std::string>;

TEST(MessageTest, EqualityAndMakeMessage) {
  const BaseMessage m{"id", "text", {"a"}};
  EXPECT_EQ(m, (BaseMessage{"id", "text", {"a"}}));
  for (const BaseMessage& other :
       {BaseMessage{"id2", "text", {"a"}}, BaseMessage{"id", "text2", {"a"}},
        BaseMessage{"id", "text", {}}}) {
    EXPECT_NE(m, other);
  }
  // Each argument is also rendered alone, without the text's specs; a missing argument cuts the
  // text but every argument is kept; without arguments the text is still formatted.
  EXPECT_EQ(MakeMessage("id", "{1:04}|{2:5}|{1:x}", std::int32_t{255}, "ab"),
            (BaseMessage{"id", "0255|   ab|ff", {"255", "ab"}}));
  EXPECT_EQ(MakeMessage("id", "x{3}y", "a", std::string("b")),
            (BaseMessage{"id", "x", {"a", "b"}}));
  EXPECT_EQ(MakeMessage("id", "{{x}}"), (BaseMessage{"id", "{x}", {}}));
}

TEST(MessageTest, CatalogueTextsAndUnknownIds) {
  // From the id alone the catalogue text is kept unformatted.
  const std::string text = Message<CoreTag>::DefaultMessageForId("tarn.data.bad.cast2");
  EXPECT_EQ(Message<CoreTag>("tarn.data.bad.cast2"),
            (BaseMessage{"tarn.data.bad.cast2", text, {}}));
  EXPECT_EQ(Message<CoreTag>("tarn.data.bad.cast2", std::int32_t{5}, "Type"),
            (BaseMessage{"tarn.data.bad.cast2",
                         "A value of kind 5 cannot be converted to 'Type'.",
                         {"5", "Type"}}));
  for (const std::string& id :
       Strings{"", "tarn.data", "tarn.data.bad.cast", "zzz", "{1}{{", "tarn.data.bad.cast1 ",
               std::string("tarn.data.bad.cast1\0x", 21)}) {
    EXPECT_EQ(Message<CoreTag>::DefaultMessageForId(id), "Unknown message id '" + id + "'");
  }
}

// Every id of the catalogue is found by its lookup; texts of ids used without arguments are used
// unformatted, so they hold no braces.
TEST(MessageTest, EveryCatalogueIdIsFound) {
  std::size_t count = 0;
  const Detail::CatalogueEntry* entries = Detail::CoreCatalogue(count);
  ASSERT_GT(count, 20u);
  for (std::size_t i = 0; i < count; ++i) {
    EXPECT_EQ(Message<CoreTag>::DefaultMessageForId(entries[i].id), entries[i].text);
  }
  for (const char* id : {"tarn.data.invalid.type", "tarn.provider.method.signal.not.connected"}) {
    EXPECT_EQ(Message<CoreTag>(id).defaultMessage.find_first_of("{}"), std::string::npos);
  }
}

}  // namespace
}  // namespace Tarn
