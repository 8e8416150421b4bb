#include "runtime/data_definition.h"

#include <boost/container/small_vector.hpp>
#include <set>

namespace Tarn {
namespace Data {

DataDefinition::~DataDefinition() = default;

DataDefinitionPtr DataDefinition::CreatePrimitive(DataType type) {
  return std::make_shared<PrimitiveDefinition>(type);
}

template <>
DataDefinitionPtr DataDefinition::Create<bool>() {
  return CreatePrimitive(DataType::BOOLEAN);
}
template <>
DataDefinitionPtr DataDefinition::Create<std::int64_t>() {
  return CreatePrimitive(DataType::INTEGER);
}
template <>
DataDefinitionPtr DataDefinition::Create<double>() {
  return CreatePrimitive(DataType::DOUBLE);
}
template <>
DataDefinitionPtr DataDefinition::Create<std::string>() {
  return CreatePrimitive(DataType::STRING);
}
template <>
DataDefinitionPtr DataDefinition::Create<Void>() {
  return CreatePrimitive(DataType::VOID);
}

std::shared_ptr<const StructDefinition> StructDefinition::GetInstance(std::string name,
                                                                      Fields fields) {
  return std::make_shared<StructDefinition>(std::move(name), std::move(fields));
}

std::shared_ptr<const ErrorDefinition> ErrorDefinition::GetInstance(std::string name,
                                                                    Fields fields) {
  return std::make_shared<ErrorDefinition>(std::move(name), std::move(fields));
}

std::shared_ptr<StructRefDefinition> StructRefDefinition::GetInstance(std::string name) {
  return std::make_shared<StructRefDefinition>(std::move(name));
}

std::shared_ptr<const OptionalDefinition> OptionalDefinition::GetInstance(
    DataDefinitionPtr element) {
  return std::make_shared<OptionalDefinition>(std::move(element));
}

std::shared_ptr<const ListDefinition> ListDefinition::GetInstance(DataDefinitionPtr element) {
  return std::make_shared<ListDefinition>(std::move(element));
}

std::shared_ptr<const UnionCaseDefinition> UnionCaseDefinition::GetInstance(DataDefinitionPtr held,
                                                                            std::string tagName,
                                                                            Predicate predicate) {
  return std::make_shared<UnionCaseDefinition>(std::move(held), std::move(tagName),
                                               std::move(predicate));
}

namespace {

bool IsEmptyString(const DataValue* v) {
  return v && v->GetType() == DataType::STRING &&
         static_cast<const StringValue*>(v)->value().empty();
}

// Whether a union case field counts as given: present, not an unset optional, not the empty text.
bool IsGiven(const DataValue* v) {
  if (!v || IsEmptyString(v)) return false;
  if (v->GetType() == DataType::OPTIONAL) {
    auto* o = static_cast<const OptionalValue*>(v);
    return o->IsSet() && !IsEmptyString(o->value().get());
  }
  return true;
}

const DataValue* Unwrap(const DataValue* v) {
  if (v && v->GetType() == DataType::OPTIONAL)
    return static_cast<const OptionalValue*>(v)->value().get();
  return v;
}

std::string TagText(const CompoundValue& value, const std::string& tagName) {
  auto it = value.fields().find(tagName);
  if (it == value.fields().end()) return {};
  const DataValue* tag = Unwrap(it->second.get());
  if (tag && tag->GetType() == DataType::STRING)
    return static_cast<const StringValue*>(tag)->value();
  return {};
}

// A primitive definition accepts its own kind, and a text that parses as it.
bool PrimitiveAccepts(DataType expected, const DataValue& v) {
  if (v.GetType() == expected) return true;
  MessageList scratch;
  switch (expected) {
    case DataType::INTEGER: {
      std::int64_t x;
      return v.GetType() == DataType::STRING && v.ToPrimitive(x, scratch);
    }
    case DataType::BOOLEAN: {
      bool x;
      return v.GetType() == DataType::STRING && v.ToPrimitive(x, scratch);
    }
    case DataType::DOUBLE: {
      double x;
      return (v.GetType() == DataType::STRING || v.GetType() == DataType::INTEGER) &&
             v.ToPrimitive(x, scratch);
    }
    case DataType::VOID:
      return IsEmptyString(&v);
    default:
      return false;
  }
}

struct Node {
  const DataDefinition* def;
  const DataValue* value;
  std::size_t parent;
  const std::string* name;
};
// A typical value's nodes fit on the stack; only larger values take the heap.
using Nodes = boost::container::small_vector<Node, 16>;

std::string PathOf(const Nodes& nodes, std::size_t index) {
  std::vector<const std::string*> names;
  for (std::size_t i = index; i != static_cast<std::size_t>(-1); i = nodes[i].parent) {
    if (nodes[i].name) names.push_back(nodes[i].name);
  }
  std::string path;
  for (auto it = names.rbegin(); it != names.rend(); ++it) {
    if (!path.empty()) path += '.';
    path += **it;
  }
  return path.empty() ? std::string("(value)") : path;
}

}  // namespace

bool DataDefinition::Validate(const DataValuePtr& root, MessageList& messages) const {
  static const std::string kElement = "[]";
  Nodes nodes;
  boost::container::small_vector<std::size_t, 16> work;
  nodes.push_back({this, root.get(), static_cast<std::size_t>(-1), nullptr});
  work.push_back(0);
  auto mismatch = [&](std::size_t index, DataType expected, const DataValue* found) {
    messages.push_back(
        Message<CoreTag>("tarn.data.definition.kind.mismatch", DataTypeName(expected),
                         found ? DataTypeName(found->GetType()) : "nothing", PathOf(nodes, index)));
    return false;
  };
  auto push = [&](const DataDefinition* def, const DataValue* value, std::size_t parent,
                  const std::string* name) {
    nodes.push_back({def, value, parent, name});
    work.push_back(nodes.size() - 1);
  };

  while (!work.empty()) {
    std::size_t index = work.back();
    work.pop_back();
    const Node node = nodes[index];
    const DataDefinition* def = node.def;
    const DataValue* value = node.value;
    if (!def) continue;
    switch (def->GetType()) {
      case DataType::STRUCTURE_REF: {
        auto target = static_cast<const StructRefDefinition*>(def)->Target();
        if (!target) {
          messages.push_back(
              Message<CoreTag>("tarn.data.definition.unresolved.reference",
                               static_cast<const StructRefDefinition*>(def)->name()));
          return false;
        }
        // The target outlives this check: the reference's owner holds it.
        nodes[index].def = target.get();
        work.push_back(index);
        break;
      }
      case DataType::UNION_CASE:
        nodes[index].def = static_cast<const UnionCaseDefinition*>(def)->held().get();
        work.push_back(index);
        break;
      case DataType::STRUCTURE:
      case DataType::ERROR: {
        if (IsEmptyString(value)) break;
        auto* s = static_cast<const StructDefinition*>(def);
        if (!value || !NarrowTraits<CompoundValue>::Matches(value->GetType())) {
          return mismatch(index, def->GetType(), value);
        }
        auto* c = static_cast<const CompoundValue*>(value);
        for (auto& field : s->fields()) {
          auto it = c->fields().find(field.first);
          const DataValue* fv = it == c->fields().end() ? nullptr : it->second.get();
          const DataDefinition* fd = field.second.get();
          if (fd && fd->GetType() == DataType::UNION_CASE) {
            auto* u = static_cast<const UnionCaseDefinition*>(fd);
            boost::logic::tribool must = u->Case(TagText(*c, u->tagName()));
            bool given = IsGiven(fv);
            if (must && !given) {
              messages.push_back(Message<CoreTag>(
                  "tarn.data.union.invalid.case.state.isnotset.short", s->name(), field.first));
              return false;
            }
            if (!must && given) {
              messages.push_back(Message<CoreTag>("tarn.data.union.invalid.case.state.isset.short",
                                                  s->name(), field.first));
              return false;
            }
            if (given) push(u->held().get(), Unwrap(fv), index, &field.first);
            continue;
          }
          if (it == c->fields().end()) {
            if (fd && fd->GetType() == DataType::OPTIONAL) continue;
            messages.push_back(
                Message<CoreTag>("tarn.data.compound.field.missing", field.first, s->name()));
            return false;
          }
          push(fd, fv, index, &field.first);
        }
        break;
      }
      case DataType::OPTIONAL: {
        auto& element = static_cast<const OptionalDefinition*>(def)->element();
        if (IsEmptyString(value)) break;
        if (value && value->GetType() == DataType::OPTIONAL) {
          auto* o = static_cast<const OptionalValue*>(value);
          if (o->IsSet()) push(element.get(), o->value().get(), index, nullptr);
        } else {
          push(element.get(), value, index, nullptr);
        }
        break;
      }
      case DataType::LIST: {
        auto& element = static_cast<const ListDefinition*>(def)->element();
        if (IsEmptyString(value)) break;
        if (value && value->GetType() == DataType::LIST) {
          for (auto& e : static_cast<const ListValue*>(value)->elements()) {
            push(element.get(), e.get(), index, &kElement);
          }
        } else if (value && value->GetType() == DataType::LIST_STRING) {
          // Texts fit a list of strings (enumerations are strings too) and nothing else.
          if (element && element->GetType() != DataType::STRING &&
              !static_cast<const ListValueString*>(value)->elements().empty()) {
            return mismatch(index, DataType::LIST, value);
          }
        } else {
          return mismatch(index, DataType::LIST, value);
        }
        break;
      }
      default:
        if (!value || !PrimitiveAccepts(def->GetType(), *value)) {
          return mismatch(index, def->GetType(), value);
        }
        break;
    }
  }
  return true;
}

std::string DataDefinition::ToString() const {
  std::string out;
  struct Item {
    const DataDefinition* def;
    const char* literal;
    const std::string* name;
  };
  std::set<std::string> seen;
  std::vector<Item> stack{{this, nullptr, nullptr}};
  while (!stack.empty()) {
    Item item = stack.back();
    stack.pop_back();
    if (item.literal) {
      out += item.literal;
      continue;
    }
    if (item.name) {
      out += *item.name;
      out += ": ";
    }
    const DataDefinition* d = item.def;
    if (!d) {
      out += "?";
      continue;
    }
    switch (d->GetType()) {
      case DataType::STRUCTURE:
      case DataType::ERROR: {
        auto* s = static_cast<const StructDefinition*>(d);
        out += d->GetType() == DataType::ERROR ? "error " : "struct ";
        out += s->name();
        if (!seen.insert(s->name()).second) break;
        out += " {";
        stack.push_back({nullptr, "}", nullptr});
        std::vector<Item> fields;
        for (auto& f : s->fields()) {
          if (!fields.empty()) fields.push_back({nullptr, ", ", nullptr});
          fields.push_back({f.second.get(), nullptr, &f.first});
        }
        stack.insert(stack.end(), fields.rbegin(), fields.rend());
        break;
      }
      case DataType::STRUCTURE_REF:
        out += "struct ";
        out += static_cast<const StructRefDefinition*>(d)->name();
        break;
      case DataType::OPTIONAL:
        out += "optional<";
        stack.push_back({nullptr, ">", nullptr});
        stack.push_back(
            {static_cast<const OptionalDefinition*>(d)->element().get(), nullptr, nullptr});
        break;
      case DataType::LIST:
        out += "list<";
        stack.push_back({nullptr, ">", nullptr});
        stack.push_back({static_cast<const ListDefinition*>(d)->element().get(), nullptr, nullptr});
        break;
      case DataType::UNION_CASE: {
        auto* u = static_cast<const UnionCaseDefinition*>(d);
        out += "case<";
        out += u->tagName();
        out += ", ";
        stack.push_back({nullptr, ">", nullptr});
        stack.push_back({u->held().get(), nullptr, nullptr});
        break;
      }
      default:
        out += DataTypeName(d->GetType());
        break;
    }
  }
  return out;
}

}  // namespace Data
}  // namespace Tarn
