// Fuzzes the simulator's state file: the input is a state file's text, loaded as kov-vm loads it.
// Beyond "no crash" it checks that a refused file leaves the lab it was loaded into as it was, and
// that a loaded lab saves, reloads to the same lab, and saves again to the same text.
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>

#include "fuzz/common.h"
#include "tools/sim/state_file.h"

namespace {

using Kov::Fuzz::Check;
using Kov::Sim::StateFile;

// The files the target writes.
struct Files {
  Kov::Fuzz::Scratch scratch{"state"};
  std::string input = scratch.File("input.json"), saved = scratch.File("saved.json"),
              again = scratch.File("again.json");
};

std::string Text(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Files files;
  static const Kov::Sim::LabData populated = Kov::Fuzz::PopulatedLab();
  static const nlohmann::json populatedJson = StateFile::ToJson(populated);
  std::ofstream(files.input, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));

  Kov::Sim::LabData lab = populated, reloaded;
  std::string error;
  const auto loaded = StateFile::Load(files.input, lab, error);
  Check(loaded != StateFile::LoadResult::kMissing, "an existing file is not missing");
  if (loaded == StateFile::LoadResult::kRefused) {
    Check(!error.empty(), "a refused file says why");
    Check(StateFile::ToJson(lab) == populatedJson, "a refused file leaves the lab as it was");
    return 0;
  }
  Check(StateFile::Save(files.saved, lab, error), "a loaded lab saves");
  Check(StateFile::Load(files.saved, reloaded, error) == StateFile::LoadResult::kLoaded,
        "a saved lab loads");
  Check(StateFile::ToJson(reloaded) == StateFile::ToJson(lab), "it reloads to the same lab");
  Check(StateFile::Save(files.again, reloaded, error), "a reloaded lab saves");
  Check(Text(files.again) == Text(files.saved), "it saves to the same text again");
  return 0;
}
