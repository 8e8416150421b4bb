// The simulator's state file: a lab saved as a JSON document that starts with a format marker and
// a version, so that a sequence of kov-vm commands in separate processes can work on one lab.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "tools/sim/lab.h"

namespace Kov {
namespace Sim {

struct StateFile {
  // The marker every state file carries in its "format" member, and the version it is written in.
  static constexpr const char kFormat[] = "kov-vm-sim-state";
  static constexpr int kVersion = 1;

  // The document of a lab, marker and version included.
  static nlohmann::json ToJson(const LabData& lab);

  // Reads a lab from a document. A document without the marker, of another version, or whose
  // contents are malformed or inconsistent (duplicate identifiers, unknown texts, values the host
  // would never have accepted) is refused: false, with `error` saying where and why; `out` is then
  // unchanged.
  static bool FromJson(const nlohmann::json& document, LabData& out, std::string& error);

  enum class LoadResult { kLoaded, kMissing, kRefused };

  // Loads a state file. A file that does not exist gives kMissing and leaves `out` alone; a file
  // that cannot be read, is not JSON, or is refused by FromJson gives kRefused with `error` set.
  // The file is never changed.
  static LoadResult Load(const std::string& path, LabData& out, std::string& error);

  // Saves a lab: the document goes to a temporary file beside `path`, which is flushed to disk and
  // then renamed over `path`, so that a reader sees either the old or the new file, never a
  // partial one. False with `error` set when anything fails; `path` is then left as it was.
  static bool Save(const std::string& path, const LabData& lab, std::string& error);
};

}  // namespace Sim
}  // namespace Kov
