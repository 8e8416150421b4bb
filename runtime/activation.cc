#include "runtime/activation.h"

namespace Tarn {
namespace Core {

std::shared_ptr<AsyncActivation> AsyncActivation::GetInstance() {
  return std::make_shared<AsyncActivation>();
}

AsyncActivation::~AsyncActivation() = default;

namespace {

// What a request without a localizer or locale of its own is rendered with. Both are immutable
// and never freed, and the pointers handed out own nothing: requests on every thread use them
// without writing to a shared reference count.
template <class T>
std::shared_ptr<const T> Everlasting() {
  static const T* const object = new T();
  return std::shared_ptr<const T>(std::shared_ptr<const T>(), object);
}

}  // namespace

L10n::RequestLocalizer AsyncActivation::requestLocalizer() const {
  return L10n::RequestLocalizer(localizer ? std::shared_ptr<const L10n::Localizer>(localizer)
                                          : Everlasting<L10n::Localizer>(),
                                locale ? locale : Everlasting<L10n::LocaleSpec>());
}

L10n::RequestLocalizer AsyncActivation::GetErrorRequestLocalizer() const {
  return requestLocalizer();
}

std::shared_ptr<AsyncActivation> AsyncActivation::Dup() const {
  auto copy = std::make_shared<AsyncActivation>();
  copy->localizer = localizer;
  copy->locale = locale;
  return copy;
}

}  // namespace Core
}  // namespace Tarn
