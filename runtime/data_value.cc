#include "runtime/data_value.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace Tarn {
namespace Data {

const char* DataTypeName(DataType type) {
  switch (type) {
    case DataType::VOID:
      return "void";
    case DataType::INTEGER:
      return "integer";
    case DataType::DOUBLE:
      return "double";
    case DataType::BOOLEAN:
      return "boolean";
    case DataType::BLOB:
      return "blob";
    case DataType::STRING:
      return "string";
    case DataType::STRUCTURE:
      return "structure";
    case DataType::OPTIONAL:
      return "optional";
    case DataType::LIST:
      return "list";
    case DataType::ERROR:
      return "error";
    case DataType::SECRET:
      return "secret";
    case DataType::DYNAMIC_STRUCTURE:
      return "dynamic structure";
    case DataType::STRUCTURE_REF:
      return "structure reference";
    case DataType::UNION_CASE:
      return "union case";
    case DataType::LIST_STRING:
      return "list of strings";
  }
  return "unknown kind";
}

DataValue::~DataValue() = default;

void DataValue::DetachChildren(ReleaseList&) {}

void DataValue::ReleaseIteratively(ReleaseList& pending) {
  while (!pending.empty()) {
    DataValuePtr last = std::move(pending.back());
    pending.pop_back();
    // Only the last owner may take the children: nobody else can see the value any more.
    if (last && last.use_count() == 1) {
      const_cast<DataValue*>(last.get())->DetachChildren(pending);
    }
  }
}

namespace {

void AppendQuoted(std::string& out, const std::string& text) {
  out += '"';
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  out += '"';
}

void AppendDouble(std::string& out, double v) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.17g", v);
  out += buffer;
}

BaseMessage KindMismatch(DataType expected, DataType found) {
  return Message<CoreTag>("tarn.data.value.kind.mismatch", DataTypeName(expected),
                          DataTypeName(found));
}

}  // namespace

// Renders values with an explicit work stack: each item is either a literal or a value.
class ValuePrinter {
 public:
  static std::string Print(const DataValue& root) {
    std::string out;
    struct Item {
      const DataValue* value;
      const char* literal;
      const std::string* name;  // a field name to write before ": "
      bool nested;
    };
    std::vector<Item> stack{{&root, nullptr, nullptr, false}};
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
      const DataValue* v = item.value;
      if (!v) {
        out += "null";
        continue;
      }
      switch (v->GetType()) {
        case DataType::VOID:
          out += "void";
          break;
        case DataType::INTEGER:
          out += std::to_string(static_cast<const IntegerValue*>(v)->value());
          break;
        case DataType::DOUBLE:
          AppendDouble(out, static_cast<const DoubleValue*>(v)->value());
          break;
        case DataType::BOOLEAN:
          out += static_cast<const BooleanValue*>(v)->value() ? "true" : "false";
          break;
        case DataType::STRING: {
          const std::string& s = static_cast<const StringValue*>(v)->value();
          if (item.nested) {
            AppendQuoted(out, s);
          } else {
            out += s;
          }
          break;
        }
        case DataType::BLOB:
          out += "blob(" + std::to_string(static_cast<const BlobValue*>(v)->value().size()) +
                 " bytes)";
          break;
        case DataType::SECRET:
          out += "<secret>";
          break;
        case DataType::OPTIONAL: {
          auto* o = static_cast<const OptionalValue*>(v);
          if (!o->IsSet()) {
            out += "optional()";
          } else {
            out += "optional(";
            stack.push_back({nullptr, ")", nullptr, true});
            stack.push_back({o->value().get(), nullptr, nullptr, true});
          }
          break;
        }
        case DataType::LIST: {
          auto& elements = static_cast<const ListValue*>(v)->elements();
          out += '[';
          stack.push_back({nullptr, "]", nullptr, true});
          for (std::size_t i = elements.size(); i-- > 0;) {
            stack.push_back({elements[i].get(), nullptr, nullptr, true});
            if (i != 0) stack.push_back({nullptr, ", ", nullptr, true});
          }
          break;
        }
        case DataType::LIST_STRING: {
          auto& elements = static_cast<const ListValueString*>(v)->elements();
          out += '[';
          for (std::size_t i = 0; i < elements.size(); ++i) {
            if (i != 0) out += ", ";
            AppendQuoted(out, elements[i]);
          }
          out += ']';
          break;
        }
        case DataType::STRUCTURE:
        case DataType::DYNAMIC_STRUCTURE:
        case DataType::ERROR: {
          auto* c = static_cast<const CompoundValue*>(v);
          if (v->GetType() == DataType::ERROR) out += "error ";
          out += c->name();
          out += '{';
          stack.push_back({nullptr, "}", nullptr, true});
          std::vector<Item> fields;
          for (auto& f : c->fields()) {
            if (!fields.empty()) fields.push_back({nullptr, ", ", nullptr, true});
            fields.push_back({f.second.get(), nullptr, &f.first.str(), true});
          }
          stack.insert(stack.end(), fields.rbegin(), fields.rend());
          break;
        }
        default:
          out += "?";
          break;
      }
    }
    return out;
  }

  // Two values of the same primitive kind V hold the same payload.
  template <class V>
  static bool SameValue(const DataValue* x, const DataValue* y) {
    return static_cast<const V*>(x)->value() == static_cast<const V*>(y)->value();
  }

  static bool Equal(const DataValue& a, const DataValue& b) {
    std::vector<std::pair<const DataValue*, const DataValue*>> stack{{&a, &b}};
    while (!stack.empty()) {
      auto [x, y] = stack.back();
      stack.pop_back();
      if (x == y) continue;
      if (!x || !y || x->GetType() != y->GetType()) return false;
      switch (x->GetType()) {
        case DataType::VOID:
          break;
        case DataType::INTEGER:
          if (!SameValue<IntegerValue>(x, y)) return false;
          break;
        case DataType::DOUBLE: {
          double p = static_cast<const DoubleValue*>(x)->value();
          double q = static_cast<const DoubleValue*>(y)->value();
          if (!(p == q || (std::isnan(p) && std::isnan(q)))) return false;
          break;
        }
        case DataType::BOOLEAN:
          if (!SameValue<BooleanValue>(x, y)) return false;
          break;
        case DataType::STRING:
          if (!SameValue<StringValue>(x, y)) return false;
          break;
        case DataType::BLOB:
          if (!SameValue<BlobValue>(x, y)) return false;
          break;
        case DataType::SECRET:
          if (!SameValue<SecretValue>(x, y)) return false;
          break;
        case DataType::OPTIONAL: {
          auto* p = static_cast<const OptionalValue*>(x);
          auto* q = static_cast<const OptionalValue*>(y);
          if (p->IsSet() != q->IsSet()) return false;
          if (p->IsSet()) stack.emplace_back(p->value().get(), q->value().get());
          break;
        }
        case DataType::LIST: {
          auto& p = static_cast<const ListValue*>(x)->elements();
          auto& q = static_cast<const ListValue*>(y)->elements();
          if (p.size() != q.size()) return false;
          for (std::size_t i = 0; i < p.size(); ++i) stack.emplace_back(p[i].get(), q[i].get());
          break;
        }
        case DataType::LIST_STRING:
          if (static_cast<const ListValueString*>(x)->elements() !=
              static_cast<const ListValueString*>(y)->elements())
            return false;
          break;
        case DataType::STRUCTURE:
        case DataType::DYNAMIC_STRUCTURE:
        case DataType::ERROR: {
          auto* p = static_cast<const CompoundValue*>(x);
          auto* q = static_cast<const CompoundValue*>(y);
          if (p->name() != q->name() || p->fields().size() != q->fields().size()) return false;
          auto i = p->fields().begin();
          auto j = q->fields().begin();
          for (; i != p->fields().end(); ++i, ++j) {
            if (i->first != j->first) return false;
            stack.emplace_back(i->second.get(), j->second.get());
          }
          break;
        }
        default:
          return false;
      }
    }
    return true;
  }
};

std::string DataValue::ToString() const { return ValuePrinter::Print(*this); }

bool DataValue::Equals(const DataValue& other) const { return ValuePrinter::Equal(*this, other); }

// ---- factories ----

template <>
DataValuePtr DataValue::Create<bool>(const bool& value) {
  return BooleanValue::GetInstance(value);
}
template <>
DataValuePtr DataValue::Create<std::int64_t>(const std::int64_t& value) {
  return IntegerValue::GetInstance(value);
}
template <>
DataValuePtr DataValue::Create<double>(const double& value) {
  return DoubleValue::GetInstance(value);
}
template <>
DataValuePtr DataValue::Create<std::string>(const std::string& value) {
  return StringValue::GetInstance(value);
}
template <>
DataValuePtr DataValue::Create<Void>(const Void&) {
  return VoidValue::GetInstance();
}

namespace {

// A pointer to an object that lives as long as the process; it owns nothing, so copying it
// writes no reference count.
template <class V>
std::shared_ptr<const V> Lasting(const V* value) {
  return std::shared_ptr<const V>(std::shared_ptr<const V>(), value);
}

// The integers that have a shared instance.
constexpr std::int64_t kSmallMin = -128;
constexpr std::int64_t kSmallMax = 1023;

}  // namespace

std::shared_ptr<const VoidValue> VoidValue::GetInstance() {
  static const VoidValue* const instance = new VoidValue();
  return Lasting(instance);
}
std::shared_ptr<const IntegerValue> IntegerValue::GetInstance(std::int64_t v) {
  if (v < kSmallMin || v > kSmallMax) return std::make_shared<IntegerValue>(v);
  static const IntegerValue* const* const small = [] {
    auto** table = new const IntegerValue*[kSmallMax - kSmallMin + 1];
    for (std::int64_t i = kSmallMin; i <= kSmallMax; ++i)
      table[i - kSmallMin] = new IntegerValue(i);
    return table;
  }();
  return Lasting(small[v - kSmallMin]);
}
std::shared_ptr<const DoubleValue> DoubleValue::GetInstance(double v) {
  return std::make_shared<DoubleValue>(v);
}
std::shared_ptr<const BooleanValue> BooleanValue::GetInstance(bool v) {
  static const BooleanValue* const instances[2] = {new BooleanValue(false), new BooleanValue(true)};
  return Lasting(instances[v ? 1 : 0]);
}
std::shared_ptr<const StringValue> StringValue::GetInstance(std::string v) {
  if (v.empty()) {
    static const StringValue* const empty = new StringValue(std::string());
    return Lasting(empty);
  }
  return std::make_shared<StringValue>(std::move(v));
}
std::shared_ptr<const BlobValue> BlobValue::GetInstance(std::string bytes) {
  return std::make_shared<BlobValue>(std::move(bytes));
}
std::shared_ptr<const SecretValue> SecretValue::GetInstance(std::string secret) {
  return std::make_shared<SecretValue>(std::move(secret));
}

// ---- extraction ----

template <>
bool DataValue::Value<bool>(bool& out, MessageList& messages) const {
  if (type_ != DataType::BOOLEAN) {
    messages.push_back(KindMismatch(DataType::BOOLEAN, type_));
    return false;
  }
  out = static_cast<const BooleanValue*>(this)->value();
  return true;
}

template <>
bool DataValue::Value<std::int64_t>(std::int64_t& out, MessageList& messages) const {
  if (type_ != DataType::INTEGER) {
    messages.push_back(KindMismatch(DataType::INTEGER, type_));
    return false;
  }
  out = static_cast<const IntegerValue*>(this)->value();
  return true;
}

template <>
bool DataValue::Value<double>(double& out, MessageList& messages) const {
  if (type_ == DataType::INTEGER) {
    out = static_cast<double>(static_cast<const IntegerValue*>(this)->value());
    return true;
  }
  if (type_ != DataType::DOUBLE) {
    messages.push_back(KindMismatch(DataType::DOUBLE, type_));
    return false;
  }
  out = static_cast<const DoubleValue*>(this)->value();
  return true;
}

template <>
bool DataValue::Value<std::string>(std::string& out, MessageList& messages) const {
  if (type_ != DataType::STRING) {
    messages.push_back(KindMismatch(DataType::STRING, type_));
    return false;
  }
  out = static_cast<const StringValue*>(this)->value();
  return true;
}

template <>
bool DataValue::Value<Void>(Void&, MessageList& messages) const {
  if (type_ != DataType::VOID) {
    messages.push_back(KindMismatch(DataType::VOID, type_));
    return false;
  }
  return true;
}

namespace {

const std::string* TextOf(const DataValue& v) {
  if (v.GetType() != DataType::STRING) return nullptr;
  return &static_cast<const StringValue&>(v).value();
}

BaseMessage ParseFailed(const std::string& text, DataType expected) {
  return Message<CoreTag>("tarn.data.value.parse.failed", text, DataTypeName(expected));
}

}  // namespace

template <>
bool DataValue::ToPrimitive<bool>(bool& out, MessageList& messages) const {
  const std::string* text = TextOf(*this);
  if (!text) return Value(out, messages);
  if (*text == "true") {
    out = true;
  } else if (*text == "false") {
    out = false;
  } else {
    messages.push_back(ParseFailed(*text, DataType::BOOLEAN));
    return false;
  }
  return true;
}

template <>
bool DataValue::ToPrimitive<std::int64_t>(std::int64_t& out, MessageList& messages) const {
  const std::string* text = TextOf(*this);
  if (!text) return Value(out, messages);
  const char* begin = text->data();
  const char* end = begin + text->size();
  if (begin != end && *begin == '+') ++begin;  // an explicit plus sign is accepted
  std::int64_t parsed = 0;
  auto result = std::from_chars(begin, end, parsed);
  if (result.ec == std::errc::result_out_of_range) {
    messages.push_back(
        Message<CoreTag>("tarn.data.value.out.of.range", *text, DataTypeName(DataType::INTEGER)));
    return false;
  }
  if (result.ec != std::errc() || result.ptr != end || begin == end ||
      (begin != text->data() && *begin == '-')) {
    messages.push_back(ParseFailed(*text, DataType::INTEGER));
    return false;
  }
  out = parsed;
  return true;
}

template <>
bool DataValue::ToPrimitive<double>(double& out, MessageList& messages) const {
  const std::string* text = TextOf(*this);
  if (!text) return Value(out, messages);
  char* end = nullptr;
  double parsed = text->empty() ? 0 : std::strtod(text->c_str(), &end);
  if (text->empty() || end != text->c_str() + text->size() ||
      std::isspace(static_cast<unsigned char>((*text)[0]))) {
    messages.push_back(ParseFailed(*text, DataType::DOUBLE));
    return false;
  }
  if (std::isinf(parsed) && text->find_first_of("iI") == std::string::npos) {
    messages.push_back(
        Message<CoreTag>("tarn.data.value.out.of.range", *text, DataTypeName(DataType::DOUBLE)));
    return false;
  }
  out = parsed;
  return true;
}

template <>
bool DataValue::ToPrimitive<std::string>(std::string& out, MessageList& messages) const {
  return Value(out, messages);
}

template <>
bool DataValue::ToPrimitive<Void>(Void& out, MessageList& messages) const {
  const std::string* text = TextOf(*this);
  if (!text) return Value(out, messages);
  if (!text->empty()) {
    messages.push_back(ParseFailed(*text, DataType::VOID));
    return false;
  }
  return true;
}

// ---- containers ----

std::shared_ptr<OptionalValue> OptionalValue::GetInstance() {
  return std::make_shared<OptionalValue>();
}

std::shared_ptr<OptionalValue> OptionalValue::GetInstance(DataValuePtr value) {
  auto o = std::make_shared<OptionalValue>();
  *o->value(nullptr) = std::move(value);
  return o;
}

OptionalValue::~OptionalValue() {
  ReleaseList pending;
  DetachChildren(pending);
  ReleaseIteratively(pending);
}

void OptionalValue::DetachChildren(ReleaseList& out) {
  if (value_) out.push_back(std::move(value_));
}

std::shared_ptr<ListValue> ListValue::GetInstance(int kind) {
  return std::make_shared<ListValue>(kind);
}

ListValue::~ListValue() {
  ReleaseList pending;
  DetachChildren(pending);
  ReleaseIteratively(pending);
}

void ListValue::DetachChildren(ReleaseList& out) {
  for (auto& e : elements_) {
    if (e) out.push_back(std::move(e));
  }
  elements_.clear();
}

std::shared_ptr<ListValueString> ListValueString::GetInstance() {
  return std::make_shared<ListValueString>();
}

CompoundValue::~CompoundValue() {
  ReleaseList pending;
  DetachChildren(pending);
  ReleaseIteratively(pending);
}

void CompoundValue::DetachChildren(ReleaseList& out) {
  for (auto& f : fields_) {
    if (f.second) out.push_back(std::move(f.second));
  }
  fields_.clear();
}

namespace {

template <class Name>
const DataValuePtr* GetFieldOf(const CompoundValue& compound, const Name& name,
                               MessageList& messages) {
  const DataValuePtr* found = compound.FindField(name);
  if (!found) {
    messages.push_back(Message<CoreTag>("tarn.data.compound.field.missing", name, compound.name()));
  }
  return found;
}

template <class Name>
bool GetFieldOf(const CompoundValue& compound, const Name& name, DataValuePtr& value,
                MessageList& messages) {
  const DataValuePtr* found = GetFieldOf(compound, name, messages);
  if (found) value = *found;
  return found != nullptr;
}

}  // namespace

bool CompoundValue::GetField(const std::string& name, DataValuePtr& value,
                             MessageList& messages) const {
  return GetFieldOf(*this, name, value, messages);
}

bool CompoundValue::GetField(const char* name, DataValuePtr& value, MessageList& messages) const {
  return GetFieldOf(*this, name, value, messages);
}

const DataValuePtr* CompoundValue::GetField(const char* name, MessageList& messages) const {
  return GetFieldOf(*this, name, messages);
}

const DataValuePtr* CompoundValue::FindField(boost::string_view name) const {
  auto it = fields_.find(name);
  return it == fields_.end() ? nullptr : &it->second;
}

void CompoundValue::SetField(const std::string& name, DataValuePtr value) {
  *FieldSlot(name) = std::move(value);
}

DataValuePtr* CompoundValue::FieldSlot(boost::string_view name) {
  auto it = fields_.lower_bound(name);
  if (it == fields_.end() || it->first != name) {
    it = fields_.emplace_hint(it, std::string(name.data(), name.size()), nullptr);
  }
  return &it->second;
}

DataValuePtr* CompoundValue::FieldSlot(LastingName name) {
  auto it = fields_.lower_bound(boost::string_view(name.text));
  if (it == fields_.end() || it->first != name.text) it = fields_.emplace_hint(it, name, nullptr);
  return &it->second;
}

std::shared_ptr<StructValue> StructValue::GetInstance(std::string name) {
  return std::make_shared<StructValue>(std::move(name));
}

std::shared_ptr<StructValue> StructValue::GetInstance(LastingName name) {
  return std::make_shared<StructValue>(name);
}

std::shared_ptr<DynamicStructValue> DynamicStructValue::GetInstance(std::string name) {
  return std::make_shared<DynamicStructValue>(std::move(name));
}

const char* LocalizableMessageName() { return "com.brantel.tarn.std.localizable_message"; }

std::shared_ptr<ErrorValue> ErrorValue::Create(std::string name, const MessageList& messages) {
  auto error = std::make_shared<ErrorValue>(std::move(name));
  auto list = ListValue::GetInstance(1);
  list->Reserve(messages.size());
  for (auto& m : messages) {
    auto entry = StructValue::GetInstance(LocalizableMessageName());
    entry->SetField("id", StringValue::GetInstance(m.id));
    entry->SetField("default_message", StringValue::GetInstance(m.defaultMessage));
    auto args = ListValueString::GetInstance();
    args->Reserve(m.args.size());
    for (auto& a : m.args) args->Add(a);
    entry->SetField("args", std::move(args));
    list->Add(std::move(entry));
  }
  error->SetField("messages", std::move(list));
  return error;
}

std::shared_ptr<ErrorValue> ErrorValue::GetInstance(std::string name) {
  return Create(std::move(name), {});
}

MessageList ErrorValue::Messages() const {
  MessageList out;
  auto it = fields().find("messages");
  if (it == fields().end()) return out;
  auto list = NarrowDataTypeInt<ListValue>(it->second);
  if (!list) return out;
  for (auto& e : list->elements()) {
    auto entry = NarrowDataTypeInt<CompoundValue>(e);
    if (!entry) continue;
    BaseMessage m;
    auto text = [&](const char* field) -> std::string {
      auto f = entry->fields().find(field);
      if (f == entry->fields().end()) return {};
      auto s = NarrowDataTypeInt<StringValue>(f->second);
      return s ? s->value() : std::string();
    };
    m.id = text("id");
    m.defaultMessage = text("default_message");
    auto a = entry->fields().find("args");
    if (a != entry->fields().end()) {
      if (auto args = NarrowDataTypeInt<ListValueString>(a->second)) m.args = args->elements();
    }
    out.push_back(std::move(m));
  }
  return out;
}

}  // namespace Data
}  // namespace Tarn
