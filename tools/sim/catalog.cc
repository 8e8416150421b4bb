#include "tools/sim/catalog.h"

#include <algorithm>
#include <set>

#include "runtime/data_definition.h"
#include "tools/sim/json_value.h"
#include "tools/sim/lab.h"
#include "tools/sim/shapes.h"

namespace Kov {
namespace Sim {

using namespace Tarn::Data;

constexpr const char Catalog::kIdPrefix[];

namespace {

constexpr int kMaxDepth = 32;

const DataDefinition* Resolve(const DataDefinition* def) {
  for (int i = 0; def && def->GetType() == DataType::STRUCTURE_REF && i < kMaxDepth; ++i) {
    def = static_cast<const StructRefDefinition*>(def)->Target().get();
  }
  return def;
}

// The structure a definition ends in, through optionals, lists and union cases; null for none.
const StructDefinition* InnerStruct(const DataDefinition* def) {
  for (int i = 0; i < kMaxDepth; ++i) {
    def = Resolve(def);
    if (!def) return nullptr;
    switch (def->GetType()) {
      case DataType::STRUCTURE:
      case DataType::DYNAMIC_STRUCTURE:
        return static_cast<const StructDefinition*>(def);
      case DataType::OPTIONAL:
        def = static_cast<const OptionalDefinition*>(def)->element().get();
        break;
      case DataType::LIST:
        def = static_cast<const ListDefinition*>(def)->element().get();
        break;
      case DataType::UNION_CASE:
        def = static_cast<const UnionCaseDefinition*>(def)->held().get();
        break;
      default:
        return nullptr;
    }
  }
  return nullptr;
}

// One line's worth of a type: "optional list of string", "struct com.x.summary".
std::string TypeText(const DataDefinition* def) {
  std::string prefix, suffix;
  for (int i = 0; i < kMaxDepth; ++i) {
    def = Resolve(def);
    if (!def) return prefix + "?" + suffix;
    switch (def->GetType()) {
      case DataType::STRUCTURE:
      case DataType::DYNAMIC_STRUCTURE:
        return prefix + "struct " + static_cast<const StructDefinition*>(def)->name() + suffix;
      case DataType::OPTIONAL:
        prefix += "optional ";
        def = static_cast<const OptionalDefinition*>(def)->element().get();
        break;
      case DataType::LIST:
        prefix += "list of ";
        def = static_cast<const ListDefinition*>(def)->element().get();
        break;
      case DataType::UNION_CASE: {
        auto* u = static_cast<const UnionCaseDefinition*>(def);
        prefix += "case of \"" + u->tagName() + "\": ";
        def = u->held().get();
        break;
      }
      default:
        return prefix + DataTypeName(def->GetType()) + suffix;
    }
  }
  return prefix + "..." + suffix;
}

// What the shape adds to a field's line: the values of an enumeration, the tag values of a case.
std::string ShapeText(const FieldShape* shape) {
  std::string text;
  if (!shape) return text;
  if (!shape->values.empty()) text += ", one of " + Texts::Join(shape->values);
  if (!shape->tag.empty()) {
    text += " (";
    if (!shape->requiredFor.empty()) {
      text += "required when " + shape->tag + " is " + Texts::Join(shape->requiredFor);
    }
    if (!shape->allowedFor.empty()) {
      text += std::string(shape->requiredFor.empty() ? "" : "; ") + "allowed when " + shape->tag +
              " is " + Texts::Join(shape->allowedFor);
    }
    text += "; unset otherwise)";
  }
  return text;
}

// The fields of a structure, in declaration order when its shape is known, with the structures
// they hold below them (each once).
void PrintFields(std::ostream& out, const StructDefinition& def, const RecordShape* shape,
                 const std::string& indent, std::set<std::string>& shown, int depth) {
  if (def.fields().empty()) {
    out << indent << "(no fields)\n";
    return;
  }
  std::vector<std::string> names;
  if (shape) {
    for (auto& f : shape->fields) {
      if (def.fields().count(f.name) != 0) names.push_back(f.name);
    }
  }
  for (auto& field : def.fields()) {
    if (std::find(names.begin(), names.end(), field.first) == names.end()) {
      names.push_back(field.first);
    }
  }
  for (auto& name : names) {
    const DataDefinition* fieldDef = def.fields().find(name)->second.get();
    out << indent << name << ": " << TypeText(fieldDef)
        << ShapeText(shape ? shape->Find(name) : nullptr) << "\n";
    const StructDefinition* inner = InnerStruct(fieldDef);
    if (inner && depth < kMaxDepth && shown.insert(inner->name()).second) {
      PrintFields(out, *inner, Shapes::Get().Record(inner->name()), indent + "    ", shown,
                  depth + 1);
    }
  }
}

void PrintShape(std::ostream& out, const char* label, const DataDefinitionPtr& def,
                const RecordShape* input) {
  const bool isInput = label[0] == 'i';
  const DataDefinition* resolved = Resolve(def.get());
  std::set<std::string> shown;
  if (!resolved) {
    out << "    " << label << ": ?\n";
  } else if (resolved->GetType() == DataType::VOID) {
    out << "    " << label << ": none\n";
  } else if (isInput && InnerStruct(resolved) == resolved) {
    // An input is always a structure of the operation's fields: show the fields themselves.
    out << "    " << label << ":\n";
    PrintFields(out, *static_cast<const StructDefinition*>(resolved), input, "      ", shown, 0);
  } else {
    out << "    " << label << ": " << TypeText(resolved) << "\n";
    if (const StructDefinition* inner = InnerStruct(resolved)) {
      shown.insert(inner->name());
      PrintFields(out, *inner, Shapes::Get().Record(inner->name()), "      ", shown, 0);
    }
  }
}

}  // namespace

std::string ShortErrorName(const std::string& errorType) {
  static const std::string prefix = "com.brantel.tarn.std.errors.";
  if (errorType.compare(0, prefix.size(), prefix) == 0) return errorType.substr(prefix.size());
  return errorType;
}

Catalog::Catalog(
    const std::vector<std::shared_ptr<const Tarn::Provider::AsyncApiInterface>>& interfaces) {
  for (auto& iface : interfaces) {
    if (!iface || !iface->identifier()) continue;
    const std::string& id = iface->identifier()->name();
    services_.push_back(Service{id, AliasOf(id), iface});
  }
}

std::string Catalog::AliasOf(const std::string& id) {
  auto dot = id.rfind('.');
  return dot == std::string::npos ? id : id.substr(dot + 1);
}

const Catalog::Service* Catalog::FindService(const std::string& name) const {
  if (name.empty()) return nullptr;
  for (auto& s : services_) {
    if (s.id == name || s.id == kIdPrefix + name) return &s;
  }
  const Service* found = nullptr;
  for (auto& s : services_) {
    if (s.alias == name) {
      if (found) return nullptr;  // ambiguous short name: ask for more of the id
      found = &s;
    }
  }
  return found;
}

bool Catalog::FindOperation(const std::string& text, const Service*& service,
                            Tarn::Provider::AsyncApiMethodPtr& method, std::string& error) const {
  auto dot = text.rfind('.');
  if (dot == std::string::npos || dot == 0 || dot + 1 == text.size()) {
    if (FindService(text)) {
      error = "\"" + Cut(text) + "\" names a service; call needs SERVICE.OPERATION, e.g. " +
              FindService(text)->alias + "." +
              (FindService(text)->iface->methods().empty()
                   ? std::string("get")
                   : FindService(text)->iface->methods().front()->methodName());
    } else {
      error = "expected SERVICE.OPERATION (e.g. cpus.get), got \"" + Cut(text) + "\"";
    }
    return false;
  }
  const std::string serviceName = text.substr(0, dot);
  const std::string operation = text.substr(dot + 1);
  const Service* s = FindService(serviceName);
  if (!s) {
    error = "unknown service \"" + Cut(serviceName) + "\"";
    return false;
  }
  auto m = s->iface->FindMethod(operation);
  if (!m) {
    std::string known;
    for (auto& each : s->iface->methods()) {
      known += (known.empty() ? "" : ", ") + each->methodName();
    }
    error = "unknown operation \"" + Cut(operation) + "\" of service " + s->id +
            "; its operations are: " + known;
    return false;
  }
  service = s;
  method = std::move(m);
  return true;
}

bool Catalog::FindTarget(const std::string& text, const Service*& service,
                         Tarn::Provider::AsyncApiMethodPtr& method, std::string& error) const {
  if (const Service* s = FindService(text)) {
    service = s;
    method = nullptr;
    return true;
  }
  if (text.find('.') == std::string::npos) {
    error = "unknown service \"" + Cut(text) + "\"";
    return false;
  }
  return FindOperation(text, service, method, error);
}

void Catalog::PrintList(std::ostream& out) const {
  std::size_t idWidth = 0, aliasWidth = 0, operations = 0;
  for (auto& s : services_) {
    idWidth = std::max(idWidth, s.id.size());
    aliasWidth = std::max(aliasWidth, s.alias.size());
    operations += s.iface->methods().size();
  }
  out << services_.size() << " services, " << operations << " operations\n\n";
  out << std::string("SERVICE") + std::string(idWidth - 7 + 2, ' ') << "SHORT NAME"
      << std::string(aliasWidth > 10 ? aliasWidth - 10 + 2 : 2, ' ') << "OPERATIONS\n";
  for (auto& s : services_) {
    out << s.id << std::string(idWidth - s.id.size() + 2, ' ') << s.alias
        << std::string(std::max(aliasWidth, std::size_t{10}) - s.alias.size() + 2, ' ');
    bool first = true;
    for (auto& m : s.iface->methods()) {
      out << (first ? "" : ", ") << m->methodName();
      first = false;
    }
    out << "\n";
  }
}

void Catalog::PrintService(std::ostream& out, const Service& service) {
  out << "service " << service.id << " (short name: " << service.alias << ")\n";
  for (auto& m : service.iface->methods()) {
    out << "\n";
    PrintOperation(out, service, *m);
  }
}

void Catalog::PrintOperation(std::ostream& out, const Service& service,
                             const Tarn::Provider::AsyncApiMethod& method) {
  out << "  " << service.alias << "." << method.methodName() << "\n";
  PrintShape(out, "input", method.inputDefinition(),
             Shapes::Get().Input(service.id, method.methodName()));
  PrintShape(out, "output", method.outputDefinition(), nullptr);
  out << "    errors:";
  bool first = true;
  for (auto& e : method.errorDefinitions()) {
    auto* s = dynamic_cast<const StructDefinition*>(e.get());
    out << (first ? " " : ", ") << (s ? ShortErrorName(s->name()) : std::string("?"));
    first = false;
  }
  out << (first ? " none\n" : "\n");
}

}  // namespace Sim
}  // namespace Kov
