// Text formatting: placeholders and their specs, the helpers that read an index and cut a text;
// messages made from a pattern and the core catalogue.
#include "runtime/format.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <iomanip>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "runtime/message.h"

namespace Tarn {
namespace {

using Detail::format_arg;
using Detail::MakeArg;
using Strings = std::vector<std::string>;

TEST(FormatTest, Placeholders) {
  struct Case {
    std::string pattern;
    std::vector<std::string> args;
    std::string expected;
    bool missing;  // a missing argument cut the text
  };
  // clang-format off
  const Case cases[] = {
      {"{2} {1}", {"a", "b"}, "b a", false}, {"{} {}", {"a", "b"}, "a b", false},
      // The counter moves with numbered placeholders too; index 0 and non-numbers use it.
      {"{2} {}", {"a", "b"}, "b b", false}, {"{}{1}{}", {"a", "b"}, "aa", true},
      {"{0}{x}", {"a", "b"}, "ab", false}, {"{2:3}{1:}", {"a", "b"}, "  ba", false},
      {"plain text", {}, "plain text", false}, {"{{x}}{{{1}}}", {"a"}, "{x}{a}", false},
      {"{{", {}, "{", false}, {"x{3}y", {"a", "b"}, "x", true}, {"ab{}", {}, "ab", true},
      // The index is read like strtoull reads it.
      {"{ 2}{+1}{2z}", {"a", "b"}, "bab", false}, {"{-1}", {"a"}, "", true},
      {"{99999999999999999999999}", {"a"}, "", true},
      // A body runs to the first "}", whatever it holds.
      {"x{2 y {1}", {"a", "b"}, "xb", false}, {"{1:5}{:-3}|", {"ab", "c"}, "   abc  |", false},
      // An unclosed "{" or a lone "}" takes the rest of the pattern as its body and ends there.
      {"x{2", {"a", "b"}, "xb", false}, {"x{", {}, "x", true}, {"a}2 {1}", {"x", "y"}, "ay", false},
      {"}", {}, "", true}, {"{1}}", {"a", "b"}, "ab", false},
      {std::string("a\0{1}", 5), {"b"}, std::string("a\0b", 3), false},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pattern);
    std::vector<format_arg> args;
    for (const std::string& v : c.args) args.push_back(MakeArg(v));
    std::error_code ec = std::make_error_code(std::errc::io_error);  // kept on success
    EXPECT_EQ(Detail::Format(c.pattern, args.data(), args.size(), ec), c.expected);
    EXPECT_EQ(ec, c.missing ? std::error_code(3, GetFormatCategory())
                            : std::make_error_code(std::errc::io_error));
  }
  EXPECT_NE(GetFormatCategory().message(3), GetFormatCategory().message(1));
}

TEST(FormatTest, FormatToAppendsAndIgnoresStreamFlags) {
  std::ostringstream out;
  out << "pre:" << std::hex << std::uppercase << std::setw(10);
  const std::int32_t n = 255;
  const format_arg arg = MakeArg(n);
  std::error_code ec;
  Detail::FormatTo(out, "{}|{1:x}", &arg, 1, ec);
  EXPECT_EQ(out.str() + (ec ? " failed" : ""), "pre:255|ff");
}

// Formats one value with "{1:<spec>}".
template <class T>
std::string One(const T& value, const std::string& spec) {
  return FormatImpl<1>::call("{1:" + spec + "}", value);
}

TEST(FormatTest, Specs) {
  const std::string ab = "ab", zero("a\0b", 3);
  const char* cstr = "ab";
  const char xyz[3] = {'x', 'y', 'z'};  // not terminated
  const std::int64_t min = std::numeric_limits<std::int64_t>::min();
  const std::uint64_t max = std::numeric_limits<std::uint64_t>::max();
  // A text's spec stops at its first zero; width and precision have no limit of their own.
  // clang-format off
  const std::vector<std::pair<std::string, std::string>> cases = {
      {One(cstr, "s"), "ab"}, {One(ab, "-5"), "ab   "}, {One(boost::string_view(ab), "2.1"), " a"},
      {One(cstr, "------------3"), "ab "}, {One(zero, ""), zero}, {One(zero, "3"), "  a"},
      {One(xyz, "4"), " xyz"}, {One(static_cast<const char*>(nullptr), "3"), ""},
      {One(255, "X"), "FF"}, {One(255, "#x"), "0xff"}, {One(7, "04"), "0007"},
      {One(7, "-3"), "7  "}, {One(5, " "), " 5"}, {One(-1, "u"), "4294967295"},
      {One(7, ".3"), "007"}, {One(std::numeric_limits<std::int32_t>::min(), ""), "-2147483648"},
      {One(std::uint32_t{4000000000u}, "12"), "  4000000000"}, {One(max, "d"), "-1"},
      {One(min, "d"), "-9223372036854775808"}, {One(max, "x"), "ffffffffffffffff"},
      {One(std::int64_t{1} << 40, "+"), "+1099511627776"},
      {One(std::int64_t{7}, "+++++++++++5d"), "   +7"},
      {One(std::int64_t{1}, ".12345"), std::string(12344, '0') + "1"},
  };
  // clang-format on
  for (std::size_t i = 0; i < cases.size(); ++i) EXPECT_EQ(cases[i].first, cases[i].second) << i;
}

TEST(FormatTest, UnsupportedSpecsWriteNothingButUseTheArgument) {
  const std::string text = "ab";
  const std::int32_t n = 7;
  const std::int64_t wide = 7;
  // Refused for every type: extra arguments, other conversions, length modifiers, too long.
  for (const char* spec : {"%s", "*d", ".*", "n", "ld", "c", "5s", "dx", "5.2.1", "-------------5",
                           "+++++++++++++5"}) {
    SCOPED_TRACE(spec);
    const std::string pattern = std::string("[{1:") + spec + "}{2}]";
    EXPECT_EQ(FormatImpl<2>::call(pattern, n, text), "[ab]");
    EXPECT_EQ(FormatImpl<2>::call(pattern, wide, text), "[ab]");
    EXPECT_EQ(FormatImpl<2>::call(pattern, text, text), "[ab]");
  }
  // Refused for texts only: flags other than "-" and conversion letters.
  for (const char* spec : {"05", "+5", "#", "5d"}) {
    EXPECT_EQ(FormatImpl<2>::call(std::string("[{1:") + spec + "}{2}]", text, text), "[ab]");
  }
}

// The index reader reads only the first 20 characters, like strtoull otherwise, and leaves errno
// alone.
TEST(FormatHelpersTest, Atoi) {
  errno = 0;
  std::size_t consumed = 99;
  EXPECT_EQ(Detail::format_atoi("123456789012345678901", &consumed), 12345678901234567890u);
  EXPECT_EQ(consumed, 20u);
  EXPECT_EQ(Detail::format_atoi("18446744073709551616", nullptr), ~std::uint64_t{0});
  EXPECT_EQ(errno, 0);
}

TEST(MessageTest, EqualityAndMakeMessage) {
  const BaseMessage m{"id", "text", {"a"}};
  EXPECT_EQ(m, (BaseMessage{"id", "text", {"a"}}));
  EXPECT_TRUE(m != (BaseMessage{"i", "text", {"a"}}) && m != (BaseMessage{"id", "t", {"a"}}) &&
              m != (BaseMessage{"id", "text", {}}));
  // Each argument is also rendered alone, without the text's specs; a missing argument cuts the
  // text but every argument is kept; without arguments the text is still formatted.
  EXPECT_EQ(MakeMessage("id", "{1:04}|{2:5}|{1:x}", std::int32_t{255}, "ab"),
            (BaseMessage{"id", "0255|   ab|ff", {"255", "ab"}}));
  EXPECT_EQ(MakeMessage("id", "x{3}y", "a", std::string("b")),
            (BaseMessage{"id", "x", {"a", "b"}}));
  EXPECT_EQ(MakeMessage("id", "{{x}}"), (BaseMessage{"id", "{x}", {}}));
}

// Every id of the catalogue is found by its lookup, and its text is filled with the arguments;
// from the id alone the text is kept unformatted. Other ids give a text naming them verbatim.
TEST(MessageTest, CatalogueTexts) {
  std::size_t count = 0;
  const Detail::CatalogueEntry* entries = Detail::CoreCatalogue(count);
  ASSERT_GT(count, 20u);
  for (std::size_t i = 0; i < count; ++i) {
    EXPECT_EQ(Message<CoreTag>(entries[i].id).defaultMessage, entries[i].text);
  }
  EXPECT_EQ(
      Message<CoreTag>("tarn.data.bad.cast2", std::int32_t{5}, "T"),
      (BaseMessage{
          "tarn.data.bad.cast2", "A value of kind 5 cannot be converted to 'T'.", {"5", "T"}}));
  for (const std::string& id : Strings{"", "tarn.data", "zzz", "{1}{{", "tarn.data.bad.cast1 ",
                                       std::string("tarn.data.bad.cast1\0x", 21)}) {
    EXPECT_EQ(Message<CoreTag>::DefaultMessageForId(id), "Unknown message id '" + id + "'");
  }
}

}  // namespace
}  // namespace Tarn
