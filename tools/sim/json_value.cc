#include "tools/sim/json_value.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <set>
#include <utility>
#include <vector>

#include "tools/sim/lab.h"

namespace Kov {
namespace Sim {

using nlohmann::json;
using namespace Tarn::Data;

namespace {

// Definitions and values of these services are a few levels deep; anything deeper is refused
// rather than followed.
constexpr int kMaxDepth = 64;

// Follows references to the structure they stand for; null when one cannot be resolved.
const DataDefinition* Resolve(const DataDefinition* def) {
  for (int i = 0; def && def->GetType() == DataType::STRUCTURE_REF && i < kMaxDepth; ++i) {
    auto target = static_cast<const StructRefDefinition*>(def)->Target();
    def = target.get();  // the owner of the reference keeps its target alive
  }
  return def && def->GetType() == DataType::STRUCTURE_REF ? nullptr : def;
}

const char* JsonKind(const json& j) {
  switch (j.type()) {
    case json::value_t::null:
      return "null";
    case json::value_t::object:
      return "an object";
    case json::value_t::array:
      return "an array";
    case json::value_t::string:
      return "a string";
    case json::value_t::boolean:
      return "a boolean";
    case json::value_t::number_integer:
    case json::value_t::number_unsigned:
      return "an integer";
    case json::value_t::number_float:
      return "a number with a fraction or exponent";
    default:
      return "something else";
  }
}

std::string Place(const std::string& path) { return path.empty() ? "the input" : path; }

// Where the parser is: the open objects and arrays, each with its current key or element index.
class ParsePlace {
 public:
  bool Event(json::parse_event_t event, const json& parsed) {
    switch (event) {
      case json::parse_event_t::object_start:
      case json::parse_event_t::array_start:
        frames_.push_back(Frame{event == json::parse_event_t::object_start, {}, {}, 0});
        break;
      case json::parse_event_t::key: {
        Frame& f = frames_.back();
        f.key = parsed.get<std::string>();
        if (!f.keys.insert(f.key).second && duplicate_.empty()) {
          duplicate_ = Path(false) + ": the key \"" + Cut(f.key) + "\" is given twice";
        }
        break;
      }
      case json::parse_event_t::object_end:
      case json::parse_event_t::array_end:
        frames_.pop_back();
        Next();
        break;
      case json::parse_event_t::value:
        Next();
        break;
    }
    return true;
  }

  // The place of the value being read: "spec.items[2].name", or "the input" at the top.
  std::string Path(bool withLastKey = true) const {
    std::string path;
    for (std::size_t i = 0; i < frames_.size(); ++i) {
      const Frame& f = frames_[i];
      if (!f.object) {
        path += "[" + std::to_string(f.index) + "]";
      } else if (!f.keys.empty() && (withLastKey || i + 1 < frames_.size())) {
        path += (path.empty() ? "" : ".") + Cut(f.key);
      }
    }
    return Place(path);
  }

  const std::string& duplicate() const { return duplicate_; }

 private:
  struct Frame {
    bool object;
    std::set<std::string> keys;
    std::string key;
    std::size_t index;
  };
  void Next() {
    if (!frames_.empty() && !frames_.back().object) ++frames_.back().index;
  }

  std::vector<Frame> frames_;
  std::string duplicate_;
};

class Converter {
 public:
  Converter(std::string& error, const RecordShape* shape) : error_(error), top_(shape) {}

  // `values`: the texts an enumeration field allows, for the strings within this value.
  bool Convert(const json& j, const DataDefinition* rawDef, const std::string& path, int depth,
               DataValuePtr& out, const std::vector<std::string>* values = nullptr) {
    if (depth > kMaxDepth) return Fail(path, "is nested too deeply");
    const DataDefinition* def = Resolve(rawDef);
    if (!def) return Fail(path, "has no usable definition");
    switch (def->GetType()) {
      case DataType::UNION_CASE:
        return Convert(j, static_cast<const UnionCaseDefinition*>(def)->held().get(), path,
                       depth + 1, out, values);
      case DataType::OPTIONAL: {
        auto optional = OptionalValue::GetInstance();
        if (!j.is_null()) {
          DataValuePtr held;
          if (!Convert(j, static_cast<const OptionalDefinition*>(def)->element().get(), path,
                       depth + 1, held, values)) {
            return false;
          }
          *optional->value(nullptr) = std::move(held);
        }
        out = std::move(optional);
        return true;
      }
      case DataType::LIST: {
        if (!j.is_array()) return Mismatch(path, *def, j);
        auto list = ListValue::GetInstance(1);
        list->Reserve(j.size());
        const DataDefinition* element = static_cast<const ListDefinition*>(def)->element().get();
        for (std::size_t i = 0; i < j.size(); ++i) {
          DataValuePtr v;
          if (!Convert(j[i], element, path + "[" + std::to_string(i) + "]", depth + 1, v, values)) {
            return false;
          }
          list->Add(std::move(v));
        }
        out = std::move(list);
        return true;
      }
      case DataType::STRUCTURE:
      case DataType::DYNAMIC_STRUCTURE:
        return Struct(j, static_cast<const StructDefinition&>(*def), path, depth, out);
      case DataType::INTEGER: {
        if (j.is_number_unsigned()) {
          if (j.get<std::uint64_t>() > static_cast<std::uint64_t>(INT64_MAX)) {
            return Fail(path, "is too large for a 64-bit integer");
          }
          out = IntegerValue::GetInstance(static_cast<std::int64_t>(j.get<std::uint64_t>()));
          return true;
        }
        if (j.is_number_float()) {
          // A whole number beyond 64 bits reaches here as a double.
          const double d = j.get<double>();
          if (std::isfinite(d) && std::trunc(d) == d && std::fabs(d) >= 9.2e18) {
            return Fail(path, "is out of range: a 64-bit integer lies between " +
                                  std::to_string(INT64_MIN) + " and " + std::to_string(INT64_MAX));
          }
        }
        if (!j.is_number_integer()) return Mismatch(path, *def, j);
        out = IntegerValue::GetInstance(j.get<std::int64_t>());
        return true;
      }
      case DataType::DOUBLE:
        if (!j.is_number()) return Mismatch(path, *def, j);
        out = DoubleValue::GetInstance(j.get<double>());
        return true;
      case DataType::BOOLEAN:
        if (!j.is_boolean()) return Mismatch(path, *def, j);
        out = BooleanValue::GetInstance(j.get<bool>());
        return true;
      case DataType::STRING:
        if (!j.is_string()) return Mismatch(path, *def, j);
        if (values && !values->empty() && !Texts::Contains(*values, j.get<std::string>())) {
          return Fail(path, "\"" + Cut(j.get<std::string>()) +
                                "\" is not a known value; the values are " + Texts::Join(*values));
        }
        out = StringValue::GetInstance(j.get<std::string>());
        return true;
      case DataType::BLOB:
        if (!j.is_string()) return Mismatch(path, *def, j);
        out = BlobValue::GetInstance(j.get<std::string>());
        return true;
      case DataType::SECRET:
        if (!j.is_string()) return Mismatch(path, *def, j);
        out = SecretValue::GetInstance(j.get<std::string>());
        return true;
      case DataType::VOID:
        if (!j.is_null()) return Mismatch(path, *def, j);
        out = VoidValue::GetInstance();
        return true;
      default:
        return Fail(path, std::string("has a kind that cannot be given as JSON (") +
                              DataTypeName(def->GetType()) + ")");
    }
  }

 private:
  bool Struct(const json& j, const StructDefinition& def, const std::string& path, int depth,
              DataValuePtr& out) {
    if (!j.is_object()) return Mismatch(path, def, j);
    const RecordShape* shape =
        top_ ? std::exchange(top_, nullptr) : Shapes::Get().Record(def.name());
    for (auto it = j.begin(); it != j.end(); ++it) {
      if (def.fields().count(it.key()) == 0) {
        std::string known;
        for (auto& f : def.fields()) known += (known.empty() ? "" : ", ") + f.first;
        return Fail(Join(path, Cut(it.key())),
                    "is not a member of " + def.name() +
                        (known.empty() ? std::string(", which has no members")
                                       : "; its members are: " + known));
      }
    }
    auto value = StructValue::GetInstance(def.name());
    for (auto& field : def.fields()) {
      const DataDefinition* fd = Resolve(field.second.get());
      const bool optional =
          fd && (fd->GetType() == DataType::OPTIONAL || fd->GetType() == DataType::UNION_CASE);
      auto it = j.find(field.first);
      if (it == j.end() || (optional && it->is_null())) {
        if (optional) continue;
        return Fail(Join(path, field.first),
                    "is missing: " + def.name() + " requires it (" + DescribeKind(*fd) + ")");
      }
      DataValuePtr member;
      const FieldShape* fieldShape = shape ? shape->Find(field.first) : nullptr;
      if (!Convert(*it, fd, Join(path, field.first), depth + 1, member,
                   fieldShape ? &fieldShape->values : nullptr)) {
        return false;
      }
      if (fd->GetType() == DataType::UNION_CASE) {
        // A union case travels as the optional member it is in the record.
        auto optional = OptionalValue::GetInstance();
        *optional->value(nullptr) = std::move(member);
        member = std::move(optional);
      }
      value->SetField(field.first, std::move(member));
    }
    out = std::move(value);
    return true;
  }

  static std::string Join(const std::string& path, const std::string& key) {
    return path.empty() ? key : path + "." + key;
  }

  bool Mismatch(const std::string& path, const DataDefinition& def, const json& j) {
    return Fail(path, "must be " + DescribeKind(def) + ", not " + JsonKind(j));
  }

  bool Fail(const std::string& path, const std::string& what) {
    error_ = Place(path) + " " + what;
    return false;
  }

  std::string& error_;
  const RecordShape* top_;
};

json ToJson(const DataValuePtr& value, int depth) {
  if (!value) return nullptr;
  if (depth > kMaxDepth) return "...";
  switch (value->GetType()) {
    case DataType::VOID:
      return nullptr;
    case DataType::INTEGER:
      return static_cast<const IntegerValue&>(*value).value();
    case DataType::DOUBLE:
      return static_cast<const DoubleValue&>(*value).value();
    case DataType::BOOLEAN:
      return static_cast<const BooleanValue&>(*value).value();
    case DataType::STRING:
      return static_cast<const StringValue&>(*value).value();
    case DataType::BLOB:
      return static_cast<const BlobValue&>(*value).value();
    case DataType::SECRET:
      return "<secret>";
    case DataType::OPTIONAL: {
      auto& o = static_cast<const OptionalValue&>(*value);
      return o.IsSet() ? ToJson(o.value(), depth + 1) : json(nullptr);
    }
    case DataType::LIST: {
      json array = json::array();
      for (auto& e : static_cast<const ListValue&>(*value).elements()) {
        array.push_back(ToJson(e, depth + 1));
      }
      return array;
    }
    case DataType::LIST_STRING: {
      json array = json::array();
      for (auto& e : static_cast<const ListValueString&>(*value).elements()) array.push_back(e);
      return array;
    }
    case DataType::STRUCTURE:
    case DataType::DYNAMIC_STRUCTURE:
    case DataType::ERROR: {
      json object = json::object();
      for (auto& f : static_cast<const CompoundValue&>(*value).fields()) {
        auto* o = f.second && f.second->GetType() == DataType::OPTIONAL
                      ? static_cast<const OptionalValue*>(f.second.get())
                      : nullptr;
        if (o && !o->IsSet()) continue;
        object[f.first] = ToJson(f.second, depth + 1);
      }
      return object;
    }
    default:
      return nullptr;
  }
}

}  // namespace

std::string Cut(const std::string& text) {
  constexpr std::size_t kKeep = 64;
  if (text.size() <= kKeep) return text;
  std::size_t end = kKeep;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end) + "\xe2\x80\xa6(cut)";
}

bool ParseJson(const std::string& text, json& out, std::string& error) {
  const auto nul = text.find('\0');
  if (nul != std::string::npos) {
    error = "a NUL byte at offset " + std::to_string(nul) + " (JSON text holds none)";
    return false;
  }
  ParsePlace place;
  json parsed;
  try {
    parsed = json::parse(text, [&place](int, json::parse_event_t event, json& value) {
      return place.Event(event, value);
    });
  } catch (const json::parse_error& e) {
    error = e.what();
    return false;
  } catch (const json::exception& e) {
    // A number too large for a double, and whatever else the parser raises: say where.
    error = place.Path() + ": " + e.what();
    return false;
  }
  if (!place.duplicate().empty()) {
    error = place.duplicate();
    return false;
  }
  out = std::move(parsed);
  return true;
}

bool JsonToValue(const json& j, const DataDefinitionPtr& definition, DataValuePtr& out,
                 std::string& error, const RecordShape* shape) {
  DataValuePtr value;
  std::string why;
  Converter converter(why, shape);
  if (!converter.Convert(j, definition.get(), "", 0, value)) {
    error = std::move(why);
    return false;
  }
  out = std::move(value);
  return true;
}

json ValueToJson(const DataValuePtr& value) { return ToJson(value, 0); }

std::string DescribeKind(const DataDefinition& rawDef) {
  const DataDefinition* def = Resolve(&rawDef);
  if (!def) return "an unresolved structure";
  switch (def->GetType()) {
    case DataType::STRUCTURE:
    case DataType::DYNAMIC_STRUCTURE:
      return "an object (" + static_cast<const StructDefinition*>(def)->name() + ")";
    case DataType::OPTIONAL: {
      auto& element = static_cast<const OptionalDefinition*>(def)->element();
      return element ? DescribeKind(*element) + " or null" : "anything or null";
    }
    case DataType::UNION_CASE: {
      auto* u = static_cast<const UnionCaseDefinition*>(def);
      return u->held() ? DescribeKind(*u->held()) : "a value";
    }
    case DataType::LIST: {
      auto& element = static_cast<const ListDefinition*>(def)->element();
      return "an array" +
             (element ? " (each element " + DescribeKind(*element) + ")" : std::string());
    }
    case DataType::INTEGER:
      return "an integer";
    case DataType::DOUBLE:
      return "a number";
    case DataType::BOOLEAN:
      return "true or false";
    case DataType::STRING:
    case DataType::BLOB:
    case DataType::SECRET:
      return "a string";
    case DataType::VOID:
      return "null";
    default:
      return DataTypeName(def->GetType());
  }
}

}  // namespace Sim
}  // namespace Kov
