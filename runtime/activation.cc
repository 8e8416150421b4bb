#include "runtime/activation.h"

namespace Tarn {
namespace Core {

std::shared_ptr<AsyncActivation> AsyncActivation::GetInstance() {
  return std::make_shared<AsyncActivation>();
}

AsyncActivation::~AsyncActivation() = default;

L10n::RequestLocalizer AsyncActivation::requestLocalizer() const {
  return L10n::RequestLocalizer(localizer ? std::shared_ptr<const L10n::Localizer>(localizer)
                                          : std::make_shared<const L10n::Localizer>(),
                                locale ? locale : std::make_shared<const L10n::LocaleSpec>());
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
