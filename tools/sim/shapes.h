// What the runtime's definitions do not say about a record, taken from the generated native types:
// its fields in declaration order, the values of each enumeration field, and which values of a
// union's tag select each case field. The client uses it to describe operations and to refuse
// enumeration texts and union tags that no service knows.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "binding/native.h"

namespace Kov {
namespace Sim {

// The known texts of an enumeration, in table order, without "_UNKNOWN".
template <class E>
std::vector<std::string> TextsOf() {
  std::vector<std::string> texts;
  constexpr std::int32_t known = Tarn::UnknownNumber<typename E::Strings>();
  for (std::int32_t i = 0; i < known; ++i) texts.emplace_back(E::Strings::values[i]);
  return texts;
}

struct FieldShape {
  std::string name;                 // wire name
  std::vector<std::string> values;  // an enumeration field's values (of its elements, for a set)
  std::string tag;                  // a union case: the tag field that governs it
  std::vector<std::string> requiredFor;  // tag values for which the case must be set
  std::vector<std::string> allowedFor;   // tag values for which it may be set
};

struct RecordShape {
  std::vector<FieldShape> fields;  // in declaration order
  const FieldShape* Find(const std::string& name) const;
};

class Shapes {
 public:
  // The shapes of every record the simulator's services take or give.
  static const Shapes& Get();

  // The record of an operation's input, or of a structure by its type name; null when unknown.
  const RecordShape* Input(const std::string& serviceId, const std::string& operation) const;
  const RecordShape* Record(const std::string& typeName) const;

  // The key of an operation's input record.
  static std::string InputKey(const std::string& serviceId, const std::string& operation) {
    return serviceId + "/" + operation;
  }

  std::map<std::string, RecordShape> records;
};

}  // namespace Sim
}  // namespace Kov
