// Messages: how conversion, validation and the runtime report a problem. A message carries an
// identifier such as "tarn.data.duplicate.set.element", its default text with the arguments
// filled in, and each argument rendered on its own so that a localizer can fill another text.
#pragma once

#include <array>
#include <boost/utility/string_view.hpp>
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "runtime/export.h"
#include "runtime/format.h"

namespace Tarn {

struct BaseMessage {
  std::string id;
  std::string defaultMessage;  // the default text with the arguments filled in
  std::vector<std::string> args;

  friend bool operator==(const BaseMessage& a, const BaseMessage& b) {
    return a.id == b.id && a.defaultMessage == b.defaultMessage && a.args == b.args;
  }
  friend bool operator!=(const BaseMessage& a, const BaseMessage& b) { return !(a == b); }
};

using MessageList = std::vector<BaseMessage>;

namespace Detail {

// Makes a message from type-erased arguments: the default text is `defaultText` formatted with
// all of them (cut at a missing argument), and each argument is rendered alone with an empty
// spec.
KOV_EXPORT BaseMessage MakeMessageFromArgs(std::string id, boost::string_view defaultText,
                                           const format_arg* args, std::size_t count);

// One entry of the core message catalogue.
struct CatalogueEntry {
  const char* id;
  const char* text;
};

// The core catalogue, sorted by id with no id twice; `count` receives the number of entries.
KOV_EXPORT const CatalogueEntry* CoreCatalogue(std::size_t& count);

}  // namespace Detail

template <class... A>
BaseMessage MakeMessage(std::string id, boost::string_view defaultText, const A&... args) {
  const std::array<Detail::format_arg, sizeof...(A)> array{{Detail::MakeArg(args)...}};
  return Detail::MakeMessageFromArgs(std::move(id), defaultText, array.data(), array.size());
}

// Messages of the core catalogue.
struct CoreTag {};

template <class Tag>
class Message;

template <>
class Message<CoreTag> : public BaseMessage {
 public:
  // The catalogue text of `id`, a pattern for the message's arguments. An id that the catalogue
  // does not know gives "Unknown message id '<id>'" with the id copied as it is.
  KOV_EXPORT static std::string DefaultMessageForId(const std::string& id);

  // A message without arguments: its text is the catalogue text unchanged (not formatted, so
  // doubled braces stay doubled).
  explicit Message(const std::string& id) : BaseMessage{id, DefaultMessageForId(id), {}} {}

  // The catalogue text of `id` filled with `args`; each argument is also rendered alone.
  template <class... A>
  Message(const std::string& id, const A&... args)
      : BaseMessage(MakeMessage(id, DefaultMessageForId(id), args...)) {
    static_assert(sizeof...(A) >= 1, "a message without arguments uses Message(id)");
  }
};

}  // namespace Tarn
