// A record whose field lists disagree must not compile: `sortedNames` must be sorted and name
// exactly the fields `AddFields` registers, and a method's `Fields` must list them in order. Built
// with one KOV_MISMATCH_* macro this file fails with that check's message; with none it compiles.
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

struct DiskService;

struct PutMethod : ::Tarn::Provider::MethodBase<PutMethod, DiskService, ::Tarn::Void> {
  using Input = Disk;
#if defined(KOV_MISMATCH_ORDER)
  using Fields = ::Tarn::Provider::Fields<&Disk::size, &Disk::label>;
#else
  using Fields = ::Tarn::Provider::Fields<&Disk::label, &Disk::size>;
#endif
  using Errors = ::Tarn::Provider::ErrorList<>;
  static constexpr char wireName[] = "put";
};

struct DiskService {
  virtual ~DiskService() = default;
  virtual void Put(const std::string& label, const std::int64_t& size,
                   const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
                   const PutMethod::ResultCbType& result) = 0;
};

bool ConvertDisk(const ::Tarn::Data::DataValuePtr& value, Disk& disk);

}  // namespace KovFieldCheck

bool KovFieldCheck::ConvertDisk(const ::Tarn::Data::DataValuePtr& value, Disk& disk) {
  ::Tarn::MessageList messages;
  return ::Tarn::Data::ValueToNativeAdapter::Adapt(value, &disk, messages);
}

// Every member of the closure, the call of the implementation among them.
template class ::Tarn::Provider::MethodClosure<KovFieldCheck::PutMethod, KovFieldCheck::DiskService,
                                               decltype(&KovFieldCheck::DiskService::Put)>;
