// Helpers for looking into the definitions a bound service gives the runtime, beside the shared
// service test helpers.
#pragma once

#include <string>
#include <vector>

#include "runtime/data_definition.h"
#include "tests/vm/service_test_util.h"

namespace DefinitionTest {

// The full names of standard errors given by their wire names, in order.
inline std::vector<std::string> StdErrors(const std::vector<std::string>& wires) {
  std::vector<std::string> names;
  for (auto& w : wires) names.push_back(ServiceTest::StdError(w));
  return names;
}

// The field names of a structure definition, in name order; empty for anything else.
inline std::vector<std::string> FieldNames(const Tarn::Data::DataDefinitionPtr& def) {
  std::vector<std::string> names;
  if (!def || def->GetType() != Tarn::Data::DataType::STRUCTURE) return names;
  for (auto& f : static_cast<const Tarn::Data::StructDefinition&>(*def).fields()) {
    names.push_back(f.first);
  }
  return names;
}

// The definition of one field of a structure definition; null when there is none.
inline Tarn::Data::DataDefinitionPtr FieldDef(const Tarn::Data::DataDefinitionPtr& def,
                                              const std::string& field) {
  if (!def || def->GetType() != Tarn::Data::DataType::STRUCTURE) return nullptr;
  auto& fields = static_cast<const Tarn::Data::StructDefinition&>(*def).fields();
  auto it = fields.find(field);
  return it == fields.end() ? nullptr : it->second;
}

// The element definition of an optional or list definition; null for anything else.
inline Tarn::Data::DataDefinitionPtr ElementDef(const Tarn::Data::DataDefinitionPtr& def) {
  if (def && def->GetType() == Tarn::Data::DataType::OPTIONAL) {
    return static_cast<const Tarn::Data::OptionalDefinition&>(*def).element();
  }
  if (def && def->GetType() == Tarn::Data::DataType::LIST) {
    return static_cast<const Tarn::Data::ListDefinition&>(*def).element();
  }
  return nullptr;
}

// The name of a structure definition; empty for anything else.
inline std::string StructName(const Tarn::Data::DataDefinitionPtr& def) {
  if (!def || def->GetType() != Tarn::Data::DataType::STRUCTURE) return std::string();
  return static_cast<const Tarn::Data::StructDefinition&>(*def).name();
}

}  // namespace DefinitionTest
