#include "runtime/format.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

namespace Tarn {
namespace {

using Detail::format_arg;
using Detail::MakeArg;

struct Formatted {
  std::string text;
  std::error_code ec;
};

// Formats `pattern` with text arguments given as std::string.
Formatted FormatStrings(boost::string_view pattern, const std::vector<std::string>& values) {
  std::vector<format_arg> args;
  for (const std::string& v : values) args.push_back(MakeArg(v));
  Formatted out;
  out.text = Detail::Format(pattern, args.data(), args.size(), out.ec);
  return out;
}

struct PatternCase {
  const char* pattern;
  std::vector<std::string> args;
  std::string expected;
  bool missing;  // a missing argument cut the text
};

class PatternTest : public ::testing::TestWithParam<PatternCase> {};

TEST_P(PatternTest, FillsPlaceholders) {
  const PatternCase& c = GetParam();
  const Formatted out = FormatStrings(c.pattern, c.args);
  EXPECT_EQ(out.text, c.expected);
  if (c.missing) {
    EXPECT_EQ(out.ec.value(), 3);
    EXPECT_EQ(&out.ec.category(), &GetFormatCategory());
  } else {
    EXPECT_FALSE(out.ec) << out.ec.message();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, PatternTest,
    ::testing::Values(
        PatternCase{"{1} and {2}", {"a", "b"}, "a and b", false},
        PatternCase{"{2} {1}", {"a", "b"}, "b a", false},
        PatternCase{"{} {}", {"a", "b"}, "a b", false},
        // The counter moves with numbered placeholders too.
        PatternCase{"{2} {}", {"a", "b"}, "b b", false},
        PatternCase{"{1}{}", {"a", "b"}, "ab", false},
        PatternCase{"{}{1}{}", {"a", "b"}, "aa", true},
        PatternCase{"{1}{1}{1}", {"a"}, "aaa", false}, PatternCase{"", {}, "", false},
        PatternCase{"", {"a"}, "", false}, PatternCase{"plain text", {}, "plain text", false},
        PatternCase{"{{x}}", {}, "{x}", false}, PatternCase{"{{", {}, "{", false},
        PatternCase{"}}", {}, "}", false}, PatternCase{"{{{1}}}", {"a"}, "{a}", false},
        PatternCase{"{{}}", {}, "{}", false}, PatternCase{"x{3}y", {"a", "b"}, "x", true},
        PatternCase{"{}", {}, "", true}, PatternCase{"ab{}", {}, "ab", true},
        // Index 0 and index texts that are not numbers use the counter.
        PatternCase{"{0}{0}", {"a", "b"}, "ab", false},
        PatternCase{"{x}{:}", {"a", "b"}, "ab", false},
        // The index is read like strtoull reads it.
        PatternCase{"{ 2}{+1}{2z}", {"a", "b"}, "bab", false}, PatternCase{"{-1}", {"a"}, "", true},
        PatternCase{"{18446744073709551615}", {"a"}, "", true},
        PatternCase{"{99999999999999999999999}", {"a"}, "", true},
        PatternCase{"{1:}", {"a"}, "a", false},
        // A body runs to the first "}", whatever it holds.
        PatternCase{"x{2 y {1}", {"a", "b"}, "xb", false},
        PatternCase{"{1:5}{:-3}|", {"ab", "c"}, "   abc  |", false},
        // An unclosed "{" takes the rest of the pattern as its body and ends formatting.
        PatternCase{"x{", {"a"}, "xa", false}, PatternCase{"x{2", {"a", "b"}, "xb", false},
        PatternCase{"x{", {}, "x", true},
        // So does a lone "}".
        PatternCase{"a}b", {"Z"}, "aZ", false}, PatternCase{"a}2 {1}", {"x", "y"}, "ay", false},
        PatternCase{"}", {"a"}, "a", false}, PatternCase{"}", {}, "", true},
        PatternCase{"}{", {"a"}, "a", false}, PatternCase{"{1}}", {"a", "b"}, "ab", false},
        PatternCase{"{1:5}x}", {"a", "b"}, "    axb", false}),
    // Numbered names: the default would print the case's bytes, pointers included, which
    // differ from run to run.
    [](const ::testing::TestParamInfo<PatternCase>& info) {
      return "Case" + std::to_string(info.index);
    });

TEST(FormatTest, ErrorCodeIsOnlyWrittenOnFailure) {
  std::error_code ec = std::make_error_code(std::errc::io_error);
  const std::string a = "a";
  const format_arg arg = MakeArg(a);
  EXPECT_EQ(Detail::Format("{1}", &arg, 1, ec), "a");
  EXPECT_EQ(ec, std::make_error_code(std::errc::io_error));
  EXPECT_EQ(Detail::Format("{2}", &arg, 1, ec), "");
  EXPECT_EQ(ec, std::error_code(3, GetFormatCategory()));
  // The category is one object with readable texts.
  EXPECT_EQ(&GetFormatCategory(), &GetFormatCategory());
  EXPECT_STRNE(GetFormatCategory().name(), "");
  EXPECT_NE(GetFormatCategory().message(3), GetFormatCategory().message(1));
}

TEST(FormatTest, FormatToAppendsAndIgnoresStreamFlags) {
  std::ostringstream out;
  out << "pre:";
  out << std::hex << std::uppercase;
  out.width(10);
  const std::int32_t n = 255;
  const format_arg arg = MakeArg(n);
  std::error_code ec;
  Detail::FormatTo(out, "{}|{1:x}", &arg, 1, ec);
  EXPECT_FALSE(ec);
  EXPECT_EQ(out.str(), "pre:255|ff");
}

// Formats one value with "{1:<spec>}".
template <class T>
std::string One(const T& value, const std::string& spec) {
  return FormatImpl<1>::call("{1:" + spec + "}", value);
}

TEST(FormatTest, TextSpecs) {
  const char* cstr = "ab";
  char* mutableCstr = const_cast<char*>(cstr);
  const std::string str = "ab";
  const boost::string_view view = "ab";
  struct Case {
    const char* spec;
    const char* expected;
  };
  for (const Case& c : {Case{"", "ab"}, Case{"s", "ab"}, Case{"5", "   ab"}, Case{"-5", "ab   "},
                        Case{".1", "a"}, Case{"5.1", "    a"}, Case{"-4.0", "    "},
                        Case{"1", "ab"}, Case{"------------3", "ab "}}) {
    SCOPED_TRACE(c.spec);
    EXPECT_EQ(One(cstr, c.spec), c.expected);
    EXPECT_EQ(One(mutableCstr, c.spec), c.expected);
    EXPECT_EQ(One(str, c.spec), c.expected);
    EXPECT_EQ(One(view, c.spec), c.expected);
    EXPECT_EQ(One("ab", c.spec), c.expected);
  }
}

TEST(FormatTest, TextWithZeroCharacters) {
  // An embedded zero in the pattern is written.
  EXPECT_EQ(FormatStrings(std::string("a\0{1}", 5), {"b"}).text, std::string("a\0b", 3));
  const std::string str("a\0b", 3);
  EXPECT_EQ(One(str, ""), str);  // every character
  EXPECT_EQ(One(str, "s"), str);
  EXPECT_EQ(One(str, "3"), "  a");  // up to the first zero
  const char unterminated[3] = {'x', 'y', 'z'};
  EXPECT_EQ(One(unterminated, ""), "xyz");
  EXPECT_EQ(One(unterminated, "4"), " xyz");
  const char* null = nullptr;
  EXPECT_EQ(FormatImpl<1>::call("<{1}|{1:3}>", null), "<|>");
}

TEST(FormatTest, IntegerSpecs) {
  struct Case {
    std::int32_t value;
    const char* spec;
    const char* expected;
  };
  for (const Case& c :
       {Case{42, "", "42"}, Case{255, "x", "ff"}, Case{255, "X", "FF"}, Case{255, "#x", "0xff"},
        Case{7, "04", "0007"}, Case{7, "-4", "7   "}, Case{5, "+d", "+5"}, Case{5, " ", " 5"},
        Case{8, "o", "10"}, Case{-42, "", "-42"}, Case{-1, "u", "4294967295"},
        Case{-1, "x", "ffffffff"}, Case{7, ".3", "007"}, Case{7, "i", "7"},
        Case{std::numeric_limits<std::int32_t>::min(), "", "-2147483648"},
        Case{7, "+++++++++++5d", "   +7"}}) {
    SCOPED_TRACE(c.spec);
    EXPECT_EQ(One(c.value, c.spec), c.expected);
  }
  const std::uint32_t u = 4000000000u;
  EXPECT_EQ(One(u, ""), "4000000000");
  EXPECT_EQ(One(u, "12"), "  4000000000");
  const short s = -3;
  EXPECT_EQ(One(s, "3"), " -3");
}

TEST(FormatTest, WideIntegers) {
  const std::int64_t min = std::numeric_limits<std::int64_t>::min();
  const std::uint64_t max = std::numeric_limits<std::uint64_t>::max();
  const std::size_t size = 12;
  EXPECT_EQ(One(min, ""), "-9223372036854775808");
  EXPECT_EQ(One(min, "d"), "-9223372036854775808");
  EXPECT_EQ(One(max, ""), "18446744073709551615");
  EXPECT_EQ(One(max, "x"), "ffffffffffffffff");
  EXPECT_EQ(One(max, "d"), "-1");
  EXPECT_EQ(One(size, "04"), "0012");
  EXPECT_EQ(One(std::int64_t{1} << 40, "+"), "+1099511627776");
  EXPECT_EQ(One(std::int64_t{7}, "+++++++++++5d"), "   +7");
}

TEST(FormatTest, UnsupportedSpecsWriteNothingButUseTheArgument) {
  const std::string text = "ab";
  const std::int32_t n = 7;
  // Refused for every type: extra arguments, other conversions, length modifiers, too long.
  for (const char* spec :
       {"%s", "%", "*", "*d", ".*", "n", "ld", "lld", "hhd", "c", "f", "5s", "dx", "5.2.1", "5-",
        "-------------5", "+++++++++++++5"}) {
    SCOPED_TRACE(spec);
    const std::string pattern = std::string("[{1:") + spec + "}{2}]";
    EXPECT_EQ(FormatImpl<2>::call(pattern, n, text), "[ab]");
    EXPECT_EQ(FormatImpl<2>::call(pattern, text, text), "[ab]");
  }
  // Refused for texts only: flags other than "-" and conversion letters.
  for (const char* spec : {"05", "+5", " ", "#", "5d", "x"}) {
    SCOPED_TRACE(spec);
    EXPECT_EQ(FormatImpl<2>::call(std::string("[{1:") + spec + "}{2}]", text, text), "[ab]");
  }
}

// Width and precision have no limit of their own: the buffer is sized from snprintf's answer.
TEST(FormatTest, LongOutputIsComplete) {
  EXPECT_EQ(One(std::string("ab"), "10000"), std::string(9998, ' ') + "ab");
  EXPECT_EQ(One("ab", ".10000"), "ab");
  EXPECT_EQ(One(std::int32_t{1}, "-99999").size(), 99999u);
  EXPECT_EQ(One(std::int64_t{1}, ".12345"), std::string(12344, '0') + "1");
}

TEST(FormatTest, FormatImplIgnoresTheError) {
  EXPECT_EQ(FormatImpl<2>::call("{1}-{2}", std::int32_t{1}, "x"), "1-x");
  EXPECT_EQ(FormatImpl<1>::call("{1}{2}z", "a"), "a");
  EXPECT_EQ(FormatImpl<0>::call("{{}}"), "{}");
  EXPECT_EQ(FormatImpl<0>::call("a{}b"), "a");
}

TEST(FormatAtoiTest, ReadsLikeStrtoull) {
  struct Case {
    std::string text;
    std::uint64_t value;
    std::size_t consumed;
  };
  const std::uint64_t max = std::numeric_limits<std::uint64_t>::max();
  for (const Case& c :
       {Case{"", 0, 0}, Case{"12", 12, 2}, Case{"  7x", 7, 3}, Case{"+5", 5, 2}, Case{"-1", max, 2},
        Case{"x1", 0, 0}, Case{"-", 0, 0}, Case{" ", 0, 0}, Case{"0x10", 0, 1},
        Case{"18446744073709551615", max, 20}, Case{"18446744073709551616", max, 20},
        // Only the first 20 characters count.
        Case{"123456789012345678901", 12345678901234567890u, 20},
        Case{"0000000000000000000012", 0, 20}, Case{"                    5", 0, 0},
        Case{std::string("1\0"
                         "2",
                         3),
             1, 1}}) {
    SCOPED_TRACE(c.text);
    std::size_t consumed = 99;
    EXPECT_EQ(Detail::format_atoi(c.text, &consumed), c.value);
    EXPECT_EQ(consumed, c.consumed);
    EXPECT_EQ(Detail::format_atoi(c.text, nullptr), c.value);
  }
}

TEST(FormatAtoiTest, LeavesErrnoAlone) {
  errno = 0;
  EXPECT_EQ(Detail::format_atoi("99999999999999999999", nullptr),
            std::numeric_limits<std::uint64_t>::max());
  EXPECT_EQ(errno, 0);
}

TEST(FormatSubstrTest, ClipsToTheText) {
  const std::size_t npos = boost::string_view::npos;
  struct Case {
    const char* text;
    std::size_t begin;
    std::size_t end;
    const char* expected;
  };
  for (const Case& c :
       {Case{"hello", 1, 3, "el"}, Case{"hello", 0, npos, "hello"}, Case{"hello", 2, 99, "llo"},
        Case{"hello", 3, 3, ""}, Case{"hello", 4, 5, "o"}, Case{"hello", 5, 6, ""},
        Case{"hello", 9, 10, ""}, Case{"hello", npos, npos, ""}, Case{"hello", 3, 1, "lo"},
        Case{"", 0, 0, ""}, Case{"", 0, npos, ""}}) {
    SCOPED_TRACE(std::string(c.text) + " " + std::to_string(c.begin));
    EXPECT_EQ(Detail::format_substr(c.text, c.begin, c.end), c.expected);
  }
}

}  // namespace
}  // namespace Tarn
