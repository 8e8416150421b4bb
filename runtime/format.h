// Placeholder formatting for message texts.
//
// A pattern is plain text with placeholders in braces: "{1}" names the first argument, "{}"
// takes the argument at the position of a running counter that every placeholder advances, and
// "{1:spec}" passes a print-style spec (flags, width, precision and, for integers, one conversion
// letter) to the argument's formatting function. "{{" and "}}" write a single brace. A
// placeholder that names a missing argument cuts the output there and reports error value 3 in
// GetFormatCategory().
//
// Arguments travel type-erased as `Detail::format_arg`: a pointer to the caller's value and the
// formatting function of its type. Supported argument types are zero-terminated strings (and
// character arrays such as string literals), std::string, boost::string_view, integers other
// than bool and the character types. Other libraries add formatters for their own class types
// (the bindings write an enumeration as its index).
#pragma once

#include <boost/utility/string_view.hpp>
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <system_error>
#include <type_traits>

#include "runtime/export.h"

namespace Tarn {

// The error category of formatting failures.
KOV_EXPORT const std::error_category& GetFormatCategory();

namespace Detail {

// Error value in GetFormatCategory(): a placeholder selected an argument that was not given.
constexpr int kFormatMissingArgument = 3;

// One argument handed to the formatter: the caller's value and the function that writes it.
struct format_arg {
  const void* value;
  void (*format)(std::ostream& out, boost::string_view spec, const void* value);
};

// Formatting functions of the argument types; `call` writes the value at `value` with `spec`.
// A spec that the type does not support (see the functions below), and any spec longer than 13
// characters, writes nothing for that argument; the placeholder still counts. Specs are checked
// before they reach snprintf, so no spec can make it read a missing argument.
template <class T, bool Arithmetic = std::is_arithmetic<T>::value>
struct formatter;

// Zero-terminated text. An empty spec or "s" writes the text as is; otherwise the spec is flags
// ("-"), width and precision of a "%s" conversion, at most 13 characters. A null pointer writes
// nothing.
KOV_EXPORT void FormatCString(std::ostream& out, boost::string_view spec, const char* text);
// Counted text: an empty spec or "s" writes every character; any other spec applies to the
// characters before the first zero character, as for FormatCString.
KOV_EXPORT void FormatText(std::ostream& out, boost::string_view spec, boost::string_view text);
// Integers: an empty spec writes the decimal number. Otherwise the spec is flags ("-+ #0"),
// width and precision, optionally ending in one of the conversion letters "diouxX" ("d" for
// signed and "u" for unsigned values when it has none), at most 13 characters.
KOV_EXPORT void FormatInt32(std::ostream& out, boost::string_view spec, std::int32_t value);
KOV_EXPORT void FormatUInt32(std::ostream& out, boost::string_view spec, std::uint32_t value);
KOV_EXPORT void FormatInt64(std::ostream& out, boost::string_view spec, std::int64_t value);
KOV_EXPORT void FormatUInt64(std::ostream& out, boost::string_view spec, std::uint64_t value);

template <>
struct formatter<const char*, false> {
  static void call(std::ostream& out, boost::string_view spec, const void* value) {
    FormatCString(out, spec, *static_cast<const char* const*>(value));
  }
};

template <>
struct formatter<char*, false> {
  static void call(std::ostream& out, boost::string_view spec, const void* value) {
    FormatCString(out, spec, *static_cast<char* const*>(value));
  }
};

// Character arrays, string literals among them: the value points at the characters. The text
// ends at the first zero character or at the end of the array.
template <std::size_t N>
struct formatter<char[N], false> {
  static void call(std::ostream& out, boost::string_view spec, const void* value) {
    const char* chars = static_cast<const char*>(value);
    std::size_t length = 0;
    while (length < N && chars[length] != '\0') ++length;
    FormatText(out, spec, boost::string_view(chars, length));
  }
};

template <>
struct formatter<std::string, false> {
  static void call(std::ostream& out, boost::string_view spec, const void* value) {
    const std::string& text = *static_cast<const std::string*>(value);
    FormatText(out, spec, boost::string_view(text.data(), text.size()));
  }
};

template <>
struct formatter<boost::string_view, false> {
  static void call(std::ostream& out, boost::string_view spec, const void* value) {
    FormatText(out, spec, *static_cast<const boost::string_view*>(value));
  }
};

// Integers, by signedness and width.
template <class T>
struct formatter<T, true> {
  static_assert(std::is_integral<T>::value && !std::is_same<T, bool>::value &&
                    !std::is_same<T, char>::value && !std::is_same<T, signed char>::value &&
                    !std::is_same<T, unsigned char>::value && !std::is_same<T, wchar_t>::value &&
                    !std::is_same<T, char16_t>::value && !std::is_same<T, char32_t>::value,
                "placeholders take integers other than bool and characters; convert the value");
  static_assert(sizeof(T) <= 8, "integers wider than 64 bits are not supported");

  static void call(std::ostream& out, boost::string_view spec, const void* value) {
    const T v = *static_cast<const T*>(value);
    if (std::is_signed<T>::value) {
      if (sizeof(T) <= 4) {
        FormatInt32(out, spec, static_cast<std::int32_t>(v));
      } else {
        FormatInt64(out, spec, static_cast<std::int64_t>(v));
      }
    } else if (sizeof(T) <= 4) {
      FormatUInt32(out, spec, static_cast<std::uint32_t>(v));
    } else {
      FormatUInt64(out, spec, static_cast<std::uint64_t>(v));
    }
  }
};

template <class T>
format_arg MakeArg(const T& v) {
  return format_arg{static_cast<const void*>(&v), &formatter<T>::call};
}

// Writes `pattern` with its placeholders filled from `args` (see the top of this file). On a
// missing argument the output stops at that placeholder and `ec` is set; `ec` is not touched on
// success, so callers clear it first.
KOV_EXPORT void FormatTo(std::ostream& out, boost::string_view pattern, const format_arg* args,
                         std::size_t count, std::error_code& ec);

// FormatTo into a new string. The text is returned also on failure, cut where it arose.
KOV_EXPORT std::string Format(boost::string_view pattern, const format_arg* args, std::size_t count,
                              std::error_code& ec);

// The unsigned decimal number at the start of the first 20 characters of `text`, as strtoull
// reads it (leading blanks and a sign accepted, stops at the first non-digit; a value beyond
// the range gives the largest number). 0 when no digits lead. When `consumed` is given it
// receives the number of characters read, blanks and sign included.
KOV_EXPORT std::uint64_t format_atoi(boost::string_view text, std::size_t* consumed);

// The part of `text` from `begin` to `end`, clipped to the text. Empty when `begin` is not
// inside the text; an `end` before `begin` reaches to the end of the text, which is how a lone
// "}" takes the rest of a pattern as its placeholder.
KOV_EXPORT boost::string_view format_substr(boost::string_view text, std::size_t begin,
                                            std::size_t end);

}  // namespace Detail

// Formats a pattern with exactly N arguments; a missing-argument failure is ignored and the text
// is then cut at the failing placeholder.
template <std::size_t N>
struct FormatImpl {
  template <class... A>
  static std::string call(boost::string_view pattern, const A&... args) {
    static_assert(sizeof...(A) == N, "FormatImpl<N> takes N arguments");
    const Detail::format_arg array[N == 0 ? 1 : N] = {Detail::MakeArg(args)...};
    std::error_code ec;
    return Detail::Format(pattern, array, N, ec);
  }
};

}  // namespace Tarn
