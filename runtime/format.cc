#include "runtime/format.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <ostream>
#include <streambuf>

#include "runtime/message.h"

namespace Tarn {

namespace {

class FormatCategory final : public std::error_category {
 public:
  const char* name() const noexcept override { return "tarn.format"; }
  std::string message(int value) const override {
    if (value == Detail::kFormatMissingArgument) {
      return "a placeholder selects an argument that was not given";
    }
    return "unknown formatting error";
  }
};

// A stream buffer that appends to a string, so that Format needs no string stream and no copy
// of the finished text.
class StringAppendBuf final : public std::streambuf {
 public:
  explicit StringAppendBuf(std::string* target) : target_(target) {}
  void SetTarget(std::string* target) { target_ = target; }

 protected:
  int_type overflow(int_type c) override {
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      target_->push_back(traits_type::to_char_type(c));
    }
    return traits_type::not_eof(c);
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    target_->append(s, static_cast<std::size_t>(n));
    return n;
  }

 private:
  std::string* target_;
};

// Longest spec that fits the 16-byte conversion buffer: "%", the spec, "s" or "d", and the
// terminating zero.
constexpr std::size_t kMaxSpec = 13;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Checks a spec for a print conversion: flags from `flags`, a width, a precision and, when
// `letters` is given, optionally one conversion letter from it at the end. Anything else could
// make snprintf read arguments that are not there (a "*", a second "%", another conversion), so
// such a spec is refused. On success `body` is the spec without its letter and `letter` the
// letter or 0.
bool ParseSpec(boost::string_view spec, const char* flags, const char* letters,
               boost::string_view& body, char& letter) {
  if (spec.size() > kMaxSpec) return false;
  std::size_t i = 0;
  while (i < spec.size() && std::strchr(flags, spec[i]) != nullptr) ++i;
  // A width cannot start with "0": printf would read that as the "0" flag.
  if (i < spec.size() && spec[i] == '0') return false;
  // Width and precision: digits only. Their size needs no limit of its own: the output buffer
  // is sized from snprintf's own measure.
  auto digits = [&spec, &i]() {
    while (i < spec.size() && IsDigit(spec[i])) ++i;
  };
  digits();
  if (i < spec.size() && spec[i] == '.') {
    ++i;
    digits();
  }
  letter = 0;
  body = spec.substr(0, i);
  if (i == spec.size()) return true;
  if (letters != nullptr && i + 1 == spec.size() && std::strchr(letters, spec[i]) != nullptr) {
    letter = spec[i];
    return true;
  }
  return false;
}

// Prints one value with a ready conversion: once to measure, then into a buffer of exactly that
// size (on the stack when it is small), whose characters go to the stream. Nothing is written
// when snprintf reports a failure.
template <class V>
void PrintConverted(std::ostream& out, const char* conversion, V value) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#pragma GCC diagnostic ignored "-Wformat-security"
  const int measured = std::snprintf(nullptr, 0, conversion, value);
  if (measured <= 0) return;
  const std::size_t size = static_cast<std::size_t>(measured) + 1;
  char local[128];
  std::unique_ptr<char[]> heap;
  char* buffer = local;
  if (size > sizeof local) {
    heap.reset(new char[size]);
    buffer = heap.get();
  }
  const int written = std::snprintf(buffer, size, conversion, value);
#pragma GCC diagnostic pop
  if (written != measured) return;
  out.write(buffer, measured);
}

template <class V>
void WriteDecimal(std::ostream& out, V value) {
  char buffer[24];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.write(buffer, result.ptr - buffer);
}

bool IsUnsignedLetter(char letter) {
  return letter == 'o' || letter == 'u' || letter == 'x' || letter == 'X';
}

constexpr const char kIntFlags[] = "-+ #0";
constexpr const char kIntLetters[] = "diouxX";

// 32-bit integers: the conversion is "%" + spec + "d", or "%" + spec alone when the spec ends in
// its conversion letter. The value is passed with the signedness that the letter reads.
template <class V>
void FormatInt(std::ostream& out, boost::string_view spec, V value, const char* defaultLetter) {
  if (spec.empty()) return WriteDecimal(out, value);
  boost::string_view body;
  char letter = 0;
  if (!ParseSpec(spec, kIntFlags, kIntLetters, body, letter)) return;
  char conversion[16];
  std::snprintf(conversion, sizeof conversion, "%%%.*s%s", static_cast<int>(spec.size()),
                spec.data(), letter != 0 ? "" : defaultLetter);
  if (letter == 0) letter = *defaultLetter;
  if (IsUnsignedLetter(letter)) {
    PrintConverted(out, conversion, static_cast<unsigned int>(value));
  } else {
    PrintConverted(out, conversion, static_cast<int>(value));
  }
}

// 64-bit integers: as for 32 bits with the "ll" length modifier before the letter.
template <class V>
void FormatLong(std::ostream& out, boost::string_view spec, V value, char defaultLetter) {
  if (spec.empty()) return WriteDecimal(out, value);
  boost::string_view body;
  char letter = 0;
  if (!ParseSpec(spec, kIntFlags, kIntLetters, body, letter)) return;
  if (letter == 0) letter = defaultLetter;
  char conversion[16 + 2];
  std::snprintf(conversion, sizeof conversion, "%%%.*sll%c", static_cast<int>(body.size()),
                body.data(), letter);
  if (IsUnsignedLetter(letter)) {
    PrintConverted(out, conversion, static_cast<unsigned long long>(value));
  } else {
    PrintConverted(out, conversion, static_cast<long long>(value));
  }
}

// Text with a spec other than "" or "s": the conversion is "%" + spec + "s".
void FormatTerminated(std::ostream& out, boost::string_view spec, const char* text) {
  boost::string_view body;
  char letter = 0;
  if (!ParseSpec(spec, "-", nullptr, body, letter)) return;
  char conversion[16];
  std::snprintf(conversion, sizeof conversion, "%%%.*ss", static_cast<int>(spec.size()),
                spec.data());
  PrintConverted(out, conversion, text);
}

bool IsPassThrough(boost::string_view spec) { return spec.empty() || spec == "s"; }

}  // namespace

const std::error_category& GetFormatCategory() {
  static const FormatCategory category;
  return category;
}

namespace Detail {

void FormatCString(std::ostream& out, boost::string_view spec, const char* text) {
  if (text == nullptr) return;
  if (IsPassThrough(spec)) {
    out.write(text, static_cast<std::streamsize>(std::strlen(text)));
    return;
  }
  FormatTerminated(out, spec, text);
}

void FormatText(std::ostream& out, boost::string_view spec, boost::string_view text) {
  if (IsPassThrough(spec)) {
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    return;
  }
  // snprintf needs the characters zero-terminated; it stops at the first zero anyway.
  const std::string terminated(text.substr(0, text.find('\0')));
  FormatTerminated(out, spec, terminated.c_str());
}

void FormatInt32(std::ostream& out, boost::string_view spec, std::int32_t value) {
  FormatInt(out, spec, value, "d");
}

void FormatUInt32(std::ostream& out, boost::string_view spec, std::uint32_t value) {
  FormatInt(out, spec, value, "u");
}

void FormatInt64(std::ostream& out, boost::string_view spec, std::int64_t value) {
  FormatLong(out, spec, value, 'd');
}

void FormatUInt64(std::ostream& out, boost::string_view spec, std::uint64_t value) {
  FormatLong(out, spec, value, 'u');
}

std::uint64_t format_atoi(boost::string_view text, std::size_t* consumed) {
  char digits[21];
  const std::size_t length = text.copy(digits, 20);
  digits[length] = '\0';
  char* end = digits;
  // strtoull reports overflow through errno; callers should not see it change.
  const int savedErrno = errno;
  const unsigned long long value = std::strtoull(digits, &end, 10);
  errno = savedErrno;
  if (consumed != nullptr) *consumed = static_cast<std::size_t>(end - digits);
  return value;
}

boost::string_view format_substr(boost::string_view text, std::size_t begin, std::size_t end) {
  if (begin >= text.size()) return boost::string_view();
  // An end before begin wraps around to a huge length, which substr clips to the rest.
  return text.substr(begin, end - begin);
}

void FormatTo(std::ostream& out, boost::string_view pattern, const format_arg* args,
              std::size_t count, std::error_code& ec) {
  std::size_t counter = 0;
  std::size_t pos = 0;
  while (pos < pattern.size()) {
    const char c = pattern[pos];
    if (c != '{' && c != '}') {
      std::size_t next = pattern.find_first_of("{}", pos);
      if (next == boost::string_view::npos) next = pattern.size();
      out.write(pattern.data() + pos, static_cast<std::streamsize>(next - pos));
      pos = next;
      continue;
    }
    if (pos + 1 < pattern.size() && pattern[pos + 1] == c) {
      out.put(c);
      pos += 2;
      continue;
    }
    // A placeholder. Its body ends at the first "}" from here; an unclosed "{" and a lone "}"
    // take the rest of the pattern and end formatting.
    const std::size_t close = pattern.find('}', pos);
    const boost::string_view body = format_substr(pattern, pos + 1, close);
    const bool closed = c == '{' && close != boost::string_view::npos;
    pos = closed ? close + 1 : pattern.size();

    boost::string_view indexText = body;
    boost::string_view spec;
    const std::size_t colon = body.find(':');
    if (colon != boost::string_view::npos) {
      indexText = body.substr(0, colon);
      spec = body.substr(colon + 1);
    }
    const std::uint64_t index = format_atoi(indexText, nullptr);
    const std::uint64_t selected = index >= 1 ? index - 1 : counter;
    if (selected >= count) {
      ec = std::error_code(kFormatMissingArgument, GetFormatCategory());
      return;
    }
    const format_arg& arg = args[selected];
    arg.format(out, spec, arg.value);
    ++counter;
  }
}

std::string Format(boost::string_view pattern, const format_arg* args, std::size_t count,
                   std::error_code& ec) {
  std::string text;
  StringAppendBuf buffer(&text);
  std::ostream out(&buffer);
  // Let an allocation failure in the buffer reach the caller instead of ending as a stream state.
  out.exceptions(std::ios::badbit);
  FormatTo(out, pattern, args, count, ec);
  return text;
}

BaseMessage MakeMessageFromArgs(std::string id, boost::string_view defaultText,
                                const format_arg* args, std::size_t count) {
  BaseMessage message;
  message.id = std::move(id);
  std::error_code ignored;
  message.defaultMessage = Format(defaultText, args, count, ignored);
  message.args.resize(count);
  StringAppendBuf buffer(nullptr);
  std::ostream out(&buffer);
  out.exceptions(std::ios::badbit);
  for (std::size_t i = 0; i < count; ++i) {
    // Each argument alone, as "{1}" with that argument would render it.
    buffer.SetTarget(&message.args[i]);
    args[i].format(out, boost::string_view(), args[i].value);
  }
  return message;
}

}  // namespace Detail

}  // namespace Tarn
