#include "runtime/message.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace Tarn {
namespace {

using Strings = std::vector<std::string>;

TEST(MessageTest, EqualityComparesEveryField) {
  const BaseMessage m{"id", "text", {"a"}};
  EXPECT_EQ(m, (BaseMessage{"id", "text", {"a"}}));
  EXPECT_NE(m, (BaseMessage{"id2", "text", {"a"}}));
  EXPECT_NE(m, (BaseMessage{"id", "text2", {"a"}}));
  EXPECT_NE(m, (BaseMessage{"id", "text", {"a", ""}}));
}

TEST(MessageTest, MakeMessageFillsTheTextAndRendersEachArgumentPlainly) {
  const std::string type = "::Com::Brantel::Kov::Vm::Device::DiskSvc::Summary";
  const BaseMessage m = MakeMessage("tarn.data.compound.field.extra", "{1}.{2}", type.c_str(),
                                    std::string("size"), "");
  EXPECT_EQ(m, (BaseMessage{"tarn.data.compound.field.extra", type + ".size", {type, "size", ""}}));
  // Arguments are rendered without the text's specs.
  EXPECT_EQ(MakeMessage("id", "{1:04}|{2:5}|{1:x}", std::int32_t{255}, "ab"),
            (BaseMessage{"id", "0255|   ab|ff", {"255", "ab"}}));
  // A missing argument cuts the text but every argument is kept.
  EXPECT_EQ(MakeMessage("id", "x{3}y", "a", std::string("b")),
            (BaseMessage{"id", "x", {"a", "b"}}));
  // Without arguments the text is still formatted.
  EXPECT_EQ(MakeMessage("id", "{{x}}"), (BaseMessage{"id", "{x}", {}}));
  EXPECT_EQ(MakeMessage("id", "a{}b").defaultMessage, "a");
}

TEST(MessageTest, MessageFillsTheCatalogueText) {
  // From the id alone the catalogue text is kept exactly.
  const std::string text = Message<CoreTag>::DefaultMessageForId("tarn.data.bad.cast2");
  ASSERT_NE(text.find("{1}"), std::string::npos);
  EXPECT_EQ(Message<CoreTag>("tarn.data.bad.cast2"),
            (BaseMessage{"tarn.data.bad.cast2", text, {}}));

  const std::string type = "::Com::Brantel::Kov::Vm::Device::DiskSvc::Summary";
  const Message<CoreTag> m("tarn.data.compound.field.missing", "size", type);
  EXPECT_EQ(m.defaultMessage, "Field 'size' is missing from structure '" + type + "'.");
  EXPECT_EQ(m.args, (Strings{"size", type}));
  const Message<CoreTag> cast("tarn.data.bad.cast2", std::int32_t{5}, "Type");
  EXPECT_EQ(cast.defaultMessage, "A value of kind 5 cannot be converted to 'Type'.");
  EXPECT_EQ(cast.args, (Strings{"5", "Type"}));
}

TEST(MessageTest, UnknownIdNamesTheIdVerbatim) {
  for (const std::string id : {"no.such.id", "", "tarn.data", "tarn.data.bad.cast", "{1}{{",
                               "TARN.DATA.BAD.CAST1", "tarn.data.bad.cast1 "}) {
    EXPECT_EQ(Message<CoreTag>::DefaultMessageForId(id), "Unknown message id '" + id + "'");
  }
  EXPECT_EQ(Message<CoreTag>("x{1}").defaultMessage, "Unknown message id 'x{1}'");
  const std::string withZero("tarn.data.bad.cast1\0x", 21);
  EXPECT_EQ(Message<CoreTag>::DefaultMessageForId(withZero),
            "Unknown message id '" + withZero + "'");
}

// The argument count of every id the library reports.
const std::map<std::string, int>& ExpectedIds() {
  static const std::map<std::string, int> ids = {
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
      {"tarn.provider.output.invalid", 1},
  };
  return ids;
}

TEST(CatalogueTest, IsSortedUniqueAndFound) {
  std::size_t count = 0;
  const Detail::CatalogueEntry* entries = Detail::CoreCatalogue(count);
  ASSERT_GT(count, 0u);
  for (std::size_t i = 0; i < count; ++i) {
    SCOPED_TRACE(entries[i].id);
    if (i > 0) {
      EXPECT_LT(std::string(entries[i - 1].id), std::string(entries[i].id));
    }
    EXPECT_EQ(Message<CoreTag>::DefaultMessageForId(entries[i].id), entries[i].text);
    EXPECT_EQ(ExpectedIds().count(entries[i].id), 1u) << "id without a known use";
  }
  EXPECT_EQ(count, ExpectedIds().size());
}

TEST(CatalogueTest, EveryTextFitsItsArguments) {
  const std::string sep = "\x01";  // cannot occur in a text
  for (const auto& [id, arity] : ExpectedIds()) {
    SCOPED_TRACE(id);
    const std::string text = Message<CoreTag>::DefaultMessageForId(id);
    ASSERT_EQ(text.rfind("Unknown", 0), std::string::npos);
    if (arity == 0) {
      // Used unformatted, so a brace would show as it is written.
      EXPECT_EQ(text.find_first_of("{}"), std::string::npos);
      continue;
    }
    const Detail::format_arg arg = Detail::MakeArg(sep);
    const std::vector<Detail::format_arg> args(static_cast<std::size_t>(arity), arg);
    std::error_code ec;
    const std::string filled = Detail::Format(text, args.data(), args.size(), ec);
    EXPECT_FALSE(ec) << "placeholder beyond the arguments";
    EXPECT_EQ(filled.find_first_of("{}"), std::string::npos) << filled;
    // Every argument but the trailing empty text of the extra-field message is shown.
    const std::size_t shown = id == "tarn.data.compound.field.extra" ? 2 : arity;
    ec.clear();
    Detail::Format(text, args.data(), shown - 1, ec);
    EXPECT_TRUE(ec) << "argument " << shown << " is not used";
  }
}

}  // namespace
}  // namespace Tarn
