#include "remote/value_codec.h"

#include <boost/container/small_vector.hpp>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace Tarn {
namespace Remote {

namespace v1 = kov::remote::v1;
using Data::DataType;
using Data::DataValue;
using Data::DataValuePtr;

namespace {

bool Fail(MessageList& messages, BaseMessage message) {
  messages.push_back(std::move(message));
  return false;
}

const char* KindName(int kind) {
  switch (kind) {
    case v1::KIND_VOID:
      return "void";
    case v1::KIND_INTEGER:
      return "integer";
    case v1::KIND_DOUBLE:
      return "double";
    case v1::KIND_BOOLEAN:
      return "boolean";
    case v1::KIND_BLOB:
      return "blob";
    case v1::KIND_STRING:
      return "string";
    case v1::KIND_STRUCTURE:
      return "structure";
    case v1::KIND_OPTIONAL:
      return "optional";
    case v1::KIND_LIST:
      return "list";
    case v1::KIND_ERROR:
      return "error";
    case v1::KIND_SECRET:
      return "secret";
    case v1::KIND_DYNAMIC_STRUCTURE:
      return "dynamic structure";
    case v1::KIND_STRING_LIST:
      return "string list";
    default:
      return "unknown";
  }
}

// What each leaf kind carries; compounds carry nothing but a list its kind of list.
v1::Node::PayloadCase PayloadOf(int kind) {
  switch (kind) {
    case v1::KIND_INTEGER:
    case v1::KIND_LIST:
      return v1::Node::kInteger;
    case v1::KIND_DOUBLE:
      return v1::Node::kReal;
    case v1::KIND_BOOLEAN:
      return v1::Node::kBoolean;
    case v1::KIND_BLOB:
    case v1::KIND_STRING:
    case v1::KIND_SECRET:
      return v1::Node::kBytes;
    default:
      return v1::Node::PAYLOAD_NOT_SET;
  }
}

const char* PayloadName(v1::Node::PayloadCase payload) {
  switch (payload) {
    case v1::Node::kInteger:
      return "integer";
    case v1::Node::kReal:
      return "double";
    case v1::Node::kBoolean:
      return "boolean";
    case v1::Node::kBytes:
      return "bytes";
    default:
      return "no";
  }
}

bool IsCompound(int kind) {
  return kind == v1::KIND_STRUCTURE || kind == v1::KIND_DYNAMIC_STRUCTURE || kind == v1::KIND_ERROR;
}

// A container being filled while its children are read.
struct Frame {
  DataValue* value;  // owned by its parent, or by the root
  int kind;
  std::uint32_t remaining;
  int node;  // index of the container's own node, for messages
};

}  // namespace

bool EncodeValue(const DataValuePtr& value, v1::Value& out, MessageList& messages) {
  out.Clear();
  struct Item {
    const DataValue* value;
    const std::string* field;
  };
  boost::container::small_vector<Item, 32> pending{{value.get(), nullptr}};
  while (!pending.empty()) {
    const Item item = pending.back();
    pending.pop_back();
    if (item.value == nullptr) {
      out.Clear();
      return Fail(messages, item.field ? MakeMessage("kov.remote.value.empty.field",
                                                     "The field '{}' holds no value.", *item.field)
                                       : MakeMessage("kov.remote.value.empty",
                                                     "A value or list element is missing."));
    }
    v1::Node& node = *out.add_nodes();
    if (item.field) node.set_field(*item.field);
    const DataValue& v = *item.value;
    switch (v.GetType()) {
      case DataType::VOID:
        node.set_kind(v1::KIND_VOID);
        break;
      case DataType::INTEGER:
        node.set_kind(v1::KIND_INTEGER);
        node.set_integer(static_cast<const Data::IntegerValue&>(v).value());
        break;
      case DataType::DOUBLE:
        node.set_kind(v1::KIND_DOUBLE);
        node.set_real(static_cast<const Data::DoubleValue&>(v).value());
        break;
      case DataType::BOOLEAN:
        node.set_kind(v1::KIND_BOOLEAN);
        node.set_boolean(static_cast<const Data::BooleanValue&>(v).value());
        break;
      case DataType::BLOB:
        node.set_kind(v1::KIND_BLOB);
        node.set_bytes(static_cast<const Data::BlobValue&>(v).value());
        break;
      case DataType::STRING:
        node.set_kind(v1::KIND_STRING);
        node.set_bytes(static_cast<const Data::StringValue&>(v).value());
        break;
      case DataType::SECRET:
        node.set_kind(v1::KIND_SECRET);
        node.set_bytes(static_cast<const Data::SecretValue&>(v).value());
        break;
      case DataType::STRUCTURE:
      case DataType::DYNAMIC_STRUCTURE:
      case DataType::ERROR: {
        const auto& compound = static_cast<const Data::CompoundValue&>(v);
        node.set_kind(v.GetType() == DataType::STRUCTURE ? v1::KIND_STRUCTURE
                      : v.GetType() == DataType::ERROR   ? v1::KIND_ERROR
                                                         : v1::KIND_DYNAMIC_STRUCTURE);
        node.set_name(compound.name());
        node.set_children(static_cast<std::uint32_t>(compound.fields().size()));
        // Reversed, so that the fields come off the stack in their order.
        for (auto it = compound.fields().rbegin(); it != compound.fields().rend(); ++it) {
          pending.push_back({it->second.get(), &it->first.str()});
        }
        break;
      }
      case DataType::OPTIONAL: {
        const auto& optional = static_cast<const Data::OptionalValue&>(v);
        node.set_kind(v1::KIND_OPTIONAL);
        if (optional.IsSet()) {
          node.set_children(1);
          pending.push_back({optional.value().get(), nullptr});
        }
        break;
      }
      case DataType::LIST: {
        const auto& list = static_cast<const Data::ListValue&>(v);
        node.set_kind(v1::KIND_LIST);
        node.set_integer(list.kind());
        node.set_children(static_cast<std::uint32_t>(list.elements().size()));
        for (auto it = list.elements().rbegin(); it != list.elements().rend(); ++it) {
          pending.push_back({it->get(), nullptr});
        }
        break;
      }
      case DataType::LIST_STRING: {
        // The elements are leaves, so writing them now keeps the pre-order.
        const auto& list = static_cast<const Data::ListValueString&>(v);
        node.set_kind(v1::KIND_STRING_LIST);
        node.set_children(static_cast<std::uint32_t>(list.elements().size()));
        for (const std::string& element : list.elements()) {
          v1::Node& child = *out.add_nodes();
          child.set_kind(v1::KIND_STRING);
          child.set_bytes(element);
        }
        break;
      }
      default:
        out.Clear();
        return Fail(messages, MakeMessage("kov.remote.value.kind.unknown",
                                          "A value of kind {} cannot be sent.",
                                          static_cast<int>(v.GetType())));
    }
  }
  return true;
}

bool DecodeValue(const v1::Value& in, DataValuePtr& out, MessageList& messages) {
  const int count = in.nodes_size();
  if (count == 0) {
    return Fail(messages, MakeMessage("kov.remote.value.no.nodes", "The value has no nodes."));
  }
  DataValuePtr root;
  std::vector<Frame> open;
  for (int i = 0; i < count; ++i) {
    const v1::Node& node = in.nodes(i);
    const int kind = node.kind();
    if (kind == v1::KIND_UNSPECIFIED || !v1::Kind_IsValid(kind)) {
      return Fail(messages, MakeMessage("kov.remote.value.kind.unknown",
                                        "Node {} has the unknown kind {}.", i, kind));
    }
    if (i > 0 && open.empty()) {
      return Fail(messages, MakeMessage("kov.remote.value.trailing",
                                        "The value ends at node {}, but {} more nodes follow.",
                                        i - 1, count - i));
    }
    if (node.children() > static_cast<std::uint32_t>(count - i - 1)) {
      return Fail(messages, MakeMessage("kov.remote.value.children.past.end",
                                        "Node {} announces {} children, but only {} nodes follow.",
                                        i, node.children(), count - i - 1));
    }
    Frame* parent = open.empty() ? nullptr : &open.back();
    const bool fillsField = parent && IsCompound(parent->kind);
    if (fillsField && node.field().empty()) {
      return Fail(messages,
                  MakeMessage("kov.remote.value.field.unnamed",
                              "Node {} is a field of the structure at node {} but has no name.", i,
                              parent->node));
    }
    if (!fillsField && !node.field().empty()) {
      return Fail(messages, MakeMessage("kov.remote.value.field.outside",
                                        "Node {} names the field '{}' outside a structure.", i,
                                        node.field()));
    }
    if (parent && parent->kind == v1::KIND_STRING_LIST && kind != v1::KIND_STRING) {
      return Fail(messages,
                  MakeMessage("kov.remote.value.element.kind",
                              "Node {} is a {} in the string list at node {}; only strings "
                              "belong there.",
                              i, KindName(kind), parent->node));
    }
    if (node.payload_case() != PayloadOf(kind)) {
      return Fail(messages,
                  MakeMessage("kov.remote.value.payload", "Node {} of kind {} carries {} payload.",
                              i, KindName(kind), PayloadName(node.payload_case())));
    }
    if (!node.name().empty() && !IsCompound(kind)) {
      return Fail(messages,
                  MakeMessage("kov.remote.value.name", "Node {} of kind {} cannot have a name.", i,
                              KindName(kind)));
    }
    const bool container = IsCompound(kind) || kind == v1::KIND_OPTIONAL || kind == v1::KIND_LIST ||
                           kind == v1::KIND_STRING_LIST;
    if (!container && node.children() != 0) {
      return Fail(messages,
                  MakeMessage("kov.remote.value.leaf.children",
                              "Node {} of kind {} cannot have children.", i, KindName(kind)));
    }

    DataValuePtr value;
    DataValue* mutableValue = nullptr;
    switch (kind) {
      case v1::KIND_VOID:
        value = Data::VoidValue::GetInstance();
        break;
      case v1::KIND_INTEGER:
        value = Data::IntegerValue::GetInstance(node.integer());
        break;
      case v1::KIND_DOUBLE:
        value = Data::DoubleValue::GetInstance(node.real());
        break;
      case v1::KIND_BOOLEAN:
        value = Data::BooleanValue::GetInstance(node.boolean());
        break;
      case v1::KIND_BLOB:
        value = Data::BlobValue::GetInstance(node.bytes());
        break;
      case v1::KIND_STRING:
        // An element of a string list is kept as text only.
        if (!parent || parent->kind != v1::KIND_STRING_LIST) {
          value = Data::StringValue::GetInstance(node.bytes());
        }
        break;
      case v1::KIND_SECRET:
        value = Data::SecretValue::GetInstance(node.bytes());
        break;
      case v1::KIND_STRUCTURE:
      case v1::KIND_DYNAMIC_STRUCTURE:
      case v1::KIND_ERROR: {
        std::shared_ptr<Data::CompoundValue> compound;
        if (kind == v1::KIND_STRUCTURE) {
          compound = Data::StructValue::GetInstance(node.name());
        } else if (kind == v1::KIND_ERROR) {
          // Made bare: the error holds exactly the fields that were sent.
          compound = std::make_shared<Data::ErrorValue>(node.name());
        } else {
          compound = Data::DynamicStructValue::GetInstance(node.name());
        }
        mutableValue = compound.get();
        value = std::move(compound);
        break;
      }
      case v1::KIND_OPTIONAL: {
        if (node.children() > 1) {
          return Fail(messages, MakeMessage("kov.remote.value.optional.children",
                                            "Node {} is an optional with {} children; it may "
                                            "hold one value at most.",
                                            i, node.children()));
        }
        auto optional = Data::OptionalValue::GetInstance();
        mutableValue = optional.get();
        value = std::move(optional);
        break;
      }
      case v1::KIND_LIST: {
        if (node.integer() != 1 && node.integer() != 2) {
          return Fail(messages,
                      MakeMessage("kov.remote.value.list.kind",
                                  "Node {} is a list of the unknown kind {}.", i, node.integer()));
        }
        auto list = Data::ListValue::GetInstance(static_cast<int>(node.integer()));
        list->Reserve(node.children());
        mutableValue = list.get();
        value = std::move(list);
        break;
      }
      default: {  // KIND_STRING_LIST
        auto list = Data::ListValueString::GetInstance();
        list->Reserve(node.children());
        mutableValue = list.get();
        value = std::move(list);
        break;
      }
    }

    if (!parent) {
      root = value;
    } else {
      switch (parent->kind) {
        case v1::KIND_STRUCTURE:
        case v1::KIND_DYNAMIC_STRUCTURE:
        case v1::KIND_ERROR: {
          auto* compound = static_cast<Data::CompoundValue*>(parent->value);
          if (compound->HasField(node.field())) {
            return Fail(messages,
                        MakeMessage("kov.remote.value.field.twice",
                                    "Node {} fills the field '{}' of the structure at node {} "
                                    "a second time.",
                                    i, node.field(), parent->node));
          }
          compound->SetField(node.field(), value);
          break;
        }
        case v1::KIND_OPTIONAL:
          *static_cast<Data::OptionalValue*>(parent->value)->value(nullptr) = value;
          break;
        case v1::KIND_LIST:
          static_cast<Data::ListValue*>(parent->value)->Add(value);
          break;
        default:  // the string list: the kind was checked above
          static_cast<Data::ListValueString*>(parent->value)->Add(node.bytes());
          break;
      }
      --parent->remaining;
    }
    if (node.children() > 0) {
      open.push_back(Frame{mutableValue, kind, node.children(), i});
    } else {
      while (!open.empty() && open.back().remaining == 0) open.pop_back();
    }
  }
  if (!open.empty()) {
    return Fail(messages, MakeMessage("kov.remote.value.children.past.end",
                                      "Node {} announces {} more children than the value holds.",
                                      open.back().node, open.back().remaining));
  }
  out = std::move(root);
  return true;
}

}  // namespace Remote
}  // namespace Tarn
