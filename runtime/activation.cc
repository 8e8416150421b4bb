#include "runtime/activation.h"

namespace Tarn {
namespace Core {

std::shared_ptr<AsyncActivation> AsyncActivation::GetInstance() {
  return std::make_shared<AsyncActivation>();
}

AsyncActivation::~AsyncActivation() = default;

L10n::RequestLocalizer AsyncActivation::requestLocalizer() const {
  const L10n::RequestLocalizer& defaults = L10n::RequestLocalizer::Default();
  return L10n::RequestLocalizer(
      localizer ? std::shared_ptr<const L10n::Localizer>(localizer) : defaults.localizer(),
      locale ? locale : defaults.locale());
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
