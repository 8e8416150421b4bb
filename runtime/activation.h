// The per-invocation context a provider receives: the resource the call acts on, and the
// localizer and locale its texts are rendered with.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "runtime/export.h"
#include "runtime/l10n.h"

namespace Tarn {
namespace Core {

class KOV_EXPORT AsyncActivation {
 public:
  static std::shared_ptr<AsyncActivation> GetInstance();
  AsyncActivation() = default;
  AsyncActivation(const AsyncActivation&) = default;
  virtual ~AsyncActivation();

  // Records the resource the call acts on. Every call is kept, in order, so that a host (or a
  // test) can read back what it was told.
  void resourceId(const std::string& id) { resourceIds_.push_back(id); }
  void resourceId(std::string&& id) { resourceIds_.push_back(std::move(id)); }
  const std::vector<std::string>& resourceIds() const { return resourceIds_; }

  // The localizer of the request; may be null. A bound method object installs its own here.
  std::shared_ptr<L10n::Localizer> localizer;
  // The locale of the request; a default one is made when none is set.
  std::shared_ptr<const L10n::LocaleSpec> locale;

  // The localizer and locale used for result values and for errors.
  L10n::RequestLocalizer requestLocalizer() const;
  L10n::RequestLocalizer GetErrorRequestLocalizer() const;

  // A new activation with the same localizer and locale and no recorded resources.
  std::shared_ptr<AsyncActivation> Dup() const;

 private:
  std::vector<std::string> resourceIds_;
};

}  // namespace Core
}  // namespace Tarn
