// Messages: equality, the text made from a pattern and its arguments, and the core catalogue.
#include "runtime/message.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
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

// Every id the catalogue holds, found by its lookup, with a text that shows each of its arguments
// and no placeholder beyond them.
TEST(CatalogueTest, EveryTextIsFoundAndFitsItsArguments) {
  const std::map<std::string, int> arity = {
      {"tarn.data.unset.non.optional.field", 1},
      {"tarn.data.bad.cast1", 1},
      {"tarn.data.bad.cast2", 2},
      {"tarn.data.invalid.type", 0},
      {"tarn.data.duplicate.set.element", 1},
      {"tarn.data.compound.field.extra", 3},
      {"tarn.data.union.missing.tag.field", 1},
      {"tarn.data.union.invalid.case.state.isset.short", 2},
      {"tarn.data.union.invalid.case.state.isnotset.short", 2},
      {"tarn.invoke.invalid.input", 1},
      {"tarn.provider.method.signal.not.connected", 0},
      {"tarn.data.compound.field.missing", 2},
      {"tarn.data.value.kind.mismatch", 2},
      {"tarn.data.value.parse.failed", 2},
      {"tarn.data.value.out.of.range", 2},
      {"tarn.data.definition.kind.mismatch", 3},
      {"tarn.data.definition.unresolved.reference", 1},
      {"tarn.provider.interface.not.found", 1},
      {"tarn.provider.method.not.found", 2},
      {"tarn.provider.interface.already.registered", 1},
      {"tarn.provider.error.undeclared", 2},
      {"tarn.provider.output.invalid", 1}};
  std::size_t count = 0;
  const Detail::CatalogueEntry* entries = Detail::CoreCatalogue(count);
  ASSERT_EQ(count, arity.size());
  const std::string sep = "\x01";
  for (std::size_t i = 0; i < count; ++i) {
    const std::string id = entries[i].id;
    SCOPED_TRACE(id);
    ASSERT_EQ(arity.count(id), 1u);
    const std::string text = Message<CoreTag>::DefaultMessageForId(id);
    EXPECT_EQ(text, entries[i].text);
    const int n = arity.at(id);
    if (n == 0) {  // used unformatted, so a brace would show as written
      EXPECT_EQ(text.find_first_of("{}"), std::string::npos);
      continue;
    }
    const std::vector<Detail::format_arg> args(static_cast<std::size_t>(n), Detail::MakeArg(sep));
    std::error_code ec;
    EXPECT_EQ(Detail::Format(text, args.data(), args.size(), ec).find_first_of("{}"),
              std::string::npos);
    EXPECT_FALSE(ec) << "placeholder beyond the arguments";
    // Every argument but the trailing empty text of the extra-field message is shown.
    const std::size_t shown = id == "tarn.data.compound.field.extra" ? 2 : n;
    Detail::Format(text, args.data(), shown - 1, ec);
    EXPECT_TRUE(ec) << "argument " << shown << " is not used";
  }
}

}  // namespace
}  // namespace Tarn
