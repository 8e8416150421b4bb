// Conversion between JSON documents and the runtime's dynamic values. JSON becomes a value through
// the definition the value must fit (an operation's input definition), so that every member is
// checked against its declared kind and the value is shaped as the bindings expect it; a value
// becomes JSON by its own kinds.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "runtime/data_definition.h"
#include "runtime/data_value.h"
#include "tools/sim/shapes.h"

namespace Kov {
namespace Sim {

// The most input kov-vm reads from a file or standard input: 64 MiB.
constexpr std::size_t kMaxInputBytes = std::size_t{64} << 20;

// Parses JSON text strictly: a NUL byte anywhere, a key given twice in one object, a number out of
// range and every other problem the parser finds are refused, with `error` saying where. Never
// throws a parser exception.
bool ParseJson(const std::string& text, nlohmann::json& out, std::string& error);

// Input quoted in a message, cut to 64 bytes (on a character boundary) and marked "…(cut)" when it
// is longer, so that a huge identifier does not flood the terminal.
std::string Cut(const std::string& text);

// Converts `json` into a value fitting `definition`:
// - a structure is a JSON object; every required member must be there and no member may be
//   undeclared; an optional member may be left out or given as null;
// - a list or set is a JSON array; an integer is a JSON integer within 64 bits; a boolean is true
//   or false; a string (and an enumeration, which travels as its text) is a JSON string;
// - with `shape`, the shape of the input record (nested records are found by their type names in
//   Shapes), an enumeration text outside its table is refused, union tags included.
// On failure returns false with `error` naming the place ("spec.count") and the problem, and
// leaves `out` unchanged.
bool JsonToValue(const nlohmann::json& json, const Tarn::Data::DataDefinitionPtr& definition,
                 Tarn::Data::DataValuePtr& out, std::string& error,
                 const RecordShape* shape = nullptr);

// Converts a value into JSON: structures and errors become objects (an unset optional member is
// left out), lists and sets arrays, an unset optional null, void null, a secret "<secret>".
nlohmann::json ValueToJson(const Tarn::Data::DataValuePtr& value);

// A short, readable name of what a definition expects ("an integer", "a structure ...").
std::string DescribeKind(const Tarn::Data::DataDefinition& definition);

}  // namespace Sim
}  // namespace Kov
