#include "runtime/l10n.h"

#include <cctype>

namespace Tarn {
namespace L10n {

std::vector<std::string> LocaleHelpers::MakeLanguagePreference(boost::string_view locale,
                                                               std::error_code& ec) {
  std::vector<std::string> out;
  bool wellFormed = !locale.empty();
  for (char c : locale) {
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '.' ||
          c == '@')) {
      wellFormed = false;
    }
  }
  if (!wellFormed) {
    ec = std::make_error_code(std::errc::invalid_argument);
    return out;
  }
  out.reserve(3);  // the locale, without its codeset, without its territory
  out.emplace_back(locale.data(), locale.size());
  // Drop the territory, then the codeset: "en_US.UTF-8" -> "en_US" -> "en".
  std::string current = out.back();
  for (char sep : {'.', '_'}) {
    auto pos = current.find(sep);
    if (pos != std::string::npos && pos != 0) {
      current.resize(pos);
      if (current != out.back()) out.push_back(current);
    }
  }
  return out;
}

LocaleSpec::LocaleSpec()
    : firstError(),
      secondError(),
      firstPreference(LocaleHelpers::MakeLanguagePreference("en_US", firstError)),
      secondPreference(LocaleHelpers::MakeLanguagePreference("C", secondError)),
      timezone("Etc/UTC") {}

const RequestLocalizer& RequestLocalizer::Default() {
  static const RequestLocalizer* const instance = [] {
    const Localizer* localizer = new Localizer();
    const LocaleSpec* locale = new LocaleSpec();
    // Aliasing an empty pointer: non-null, but without a count.
    return new RequestLocalizer(
        std::shared_ptr<const Localizer>(std::shared_ptr<void>(), localizer),
        std::shared_ptr<const LocaleSpec>(std::shared_ptr<void>(), locale));
  }();
  return *instance;
}

}  // namespace L10n
}  // namespace Tarn
