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
  // that cannot be read, is not strict JSON (see ParseJson), or is refused by FromJson gives
  // kRefused with `error` set. The file is never changed.
  static LoadResult Load(const std::string& path, LabData& out, std::string& error);

  // Resolves the path of a state file once: symbolic links are followed to the real file, or for
  // a file not made yet to its real folder, so that every spelling of one file locks and writes
  // that file. False with `error` set for a link to nothing or a folder that does not exist.
  static bool Resolve(const std::string& path, std::string& realPath, std::string& error);

  // Whether a command may rewrite the (resolved) state file: false with `error` set when the file
  // has no write permission for its owner (kept read-only even for a caller the system would let
  // write), or when the caller cannot write it or its folder.
  static bool CheckWritable(const std::string& realPath, std::string& error);

  // An exclusive lock that serialises the commands sharing one state file. It is held on the
  // (resolved) state file itself, or on its folder while the file does not exist, so that no side
  // file can vanish from under it; released when the object goes.
  class Lock {
   public:
    Lock() = default;
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;
    ~Lock();
    // Waits for the lock, except while a server holds it (see MarkServed): then fails at once,
    // since a server keeps it for as long as it runs.
    bool Acquire(const std::string& realPath, std::string& error);
    // Marks the held lock as a server's, for the life of the lock: others' Acquire then fails at
    // once instead of waiting. Needs the file itself locked, not its folder.
    bool MarkServed(std::string& error);

   private:
    friend struct StateFile;
    int fd_ = -1;
    bool served_ = false;
  };

  // Saves a lab to a resolved path: the document goes to a temporary file ".FILE.tmp.<pid>.<n>"
  // beside it, with the mode and owner of the file it replaces (a new file: the umask's mode),
  // which is flushed to disk and renamed over the file, and the folder is flushed; so a reader
  // sees either the old or the new file, never a partial one. Temporary files of this state file
  // left by killed processes are removed. The caller holds the Lock. False with `error` set when
  // anything fails; the file is then left as it was.
  // With `keep`, the lock held there moves to the new file before it takes the old one's place,
  // so that a lock kept for long (a server's) never lapses.
  static bool Save(const std::string& realPath, const LabData& lab, std::string& error,
                   Lock* keep = nullptr);
};

}  // namespace Sim
}  // namespace Kov
