#include "runtime/activation.h"

namespace Tarn {
namespace Core {

std::shared_ptr<AsyncActivation> AsyncActivation::GetInstance() {
  return std::make_shared<AsyncActivation>();
}

AsyncActivation::~AsyncActivation() = default;

namespace {

// What a request without a localizer or locale of its own is rendered with. Both are immutable
// once made, so every activation may share them.
const std::shared_ptr<const L10n::Localizer>& DefaultLocalizer() {
  static const auto localizer = std::make_shared<const L10n::Localizer>();
  return localizer;
}

const std::shared_ptr<const L10n::LocaleSpec>& DefaultLocale() {
  static const auto locale = std::make_shared<const L10n::LocaleSpec>();
  return locale;
}

}  // namespace

L10n::RequestLocalizer AsyncActivation::requestLocalizer() const {
  return L10n::RequestLocalizer(
      localizer ? std::shared_ptr<const L10n::Localizer>(localizer) : DefaultLocalizer(),
      locale ? locale : DefaultLocale());
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
