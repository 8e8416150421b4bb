// A record whose field lists disagree must not compile: converting it into a native record
// asserts that `sortedNames` is sorted and names exactly the fields `AddFields` registers. The
// build of this file with one KOV_MISMATCH_* macro defined is expected to fail with that check's
// message; with KOV_MISMATCH_NONE it compiles.
#include <memory>
#include <string>

#include "binding/service.h"

namespace KovFieldCheck {

struct Disk : ::Tarn::Data::BaseNative {
  static constexpr char typeName[] = "com.brantel.kov.vm.test.disk";
  static constexpr char nativeName[] = "::Disk";

  std::string label;
  std::int64_t size = 0;

  struct AdapterHelper {
#if defined(KOV_MISMATCH_UNSORTED)
    static constexpr ::Tarn::Data::SortedNames<2> sortedNames{{ "size", "label" }};
#elif defined(KOV_MISMATCH_MISSING)
    static constexpr ::Tarn::Data::SortedNames<1> sortedNames{{ "label" }};
#elif defined(KOV_MISMATCH_EXTRA)
    static constexpr ::Tarn::Data::SortedNames<3> sortedNames{{ "label", "size", "zone" }};
#else
    static constexpr ::Tarn::Data::SortedNames<2> sortedNames{{"label", "size"}};
#endif
    template <class Helper>
    static constexpr void AddFields(Helper& h) {
      h.AddField("label", &Disk::label);
      h.AddField("size", &Disk::size);
    }
  };
};

bool ConvertDisk(const ::Tarn::Data::DataValuePtr& value, Disk& disk);

}  // namespace KovFieldCheck

bool KovFieldCheck::ConvertDisk(const ::Tarn::Data::DataValuePtr& value, Disk& disk) {
  ::Tarn::MessageList messages;
  return ::Tarn::Data::ValueToNativeAdapter::Adapt(value, &disk, messages);
}
