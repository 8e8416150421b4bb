// Localisation: which localizer and locale a request's texts are rendered with.
#pragma once

#include <boost/utility/string_view.hpp>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "runtime/export.h"

namespace Tarn {
namespace L10n {

class KOV_EXPORT Localizer {
 public:
  Localizer() = default;
  // When set, an activation that already carries a localizer keeps it when a method object
  // bound with this localizer is invoked; when clear, the bound localizer replaces it.
  bool keepActivationLocalizer = false;
};

class KOV_EXPORT TimezoneSpec {
 public:
  explicit TimezoneSpec(boost::string_view name) : name_(name) {}
  const std::string& name() const { return name_; }

 private:
  std::string name_;
};

struct KOV_EXPORT LocaleHelpers {
  // The preference list for a locale text, most specific first ("en_US" gives "en_US", "en").
  // An empty or malformed text sets `ec` to invalid_argument and gives an empty list.
  static std::vector<std::string> MakeLanguagePreference(boost::string_view locale,
                                                         std::error_code& ec);
};

class KOV_EXPORT LocaleSpec {
 public:
  LocaleSpec();

  std::error_code firstError;
  std::error_code secondError;
  std::vector<std::string> firstPreference;
  std::vector<std::string> secondPreference;
  TimezoneSpec timezone;
};

class KOV_EXPORT RequestLocalizer {
 public:
  // A default localizer and locale, made once and never freed. The pointers it holds own
  // nothing: requests on every thread use them without writing to a shared reference count.
  static const RequestLocalizer& Default();

  RequestLocalizer(std::shared_ptr<const Localizer> localizer,
                   std::shared_ptr<const LocaleSpec> locale)
      : localizer_(std::move(localizer)), locale_(std::move(locale)) {}

  const std::shared_ptr<const Localizer>& localizer() const { return localizer_; }
  const std::shared_ptr<const LocaleSpec>& locale() const { return locale_; }

 private:
  std::shared_ptr<const Localizer> localizer_;
  std::shared_ptr<const LocaleSpec> locale_;
};

}  // namespace L10n
}  // namespace Tarn
