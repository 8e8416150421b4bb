// Localisation: default locale, language preferences and the request localizer.
#include "runtime/l10n.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <system_error>
#include <vector>

namespace Tarn {
namespace L10n {
namespace {

using Strings = std::vector<std::string>;

TEST(LocaleSpecTest, Defaults) {
  const LocaleSpec locale;
  EXPECT_EQ(locale.firstPreference, (Strings{"en_US", "en"}));
  EXPECT_EQ(locale.secondPreference, (Strings{"C"}));
  EXPECT_FALSE(locale.firstError);
  EXPECT_FALSE(locale.secondError);
  EXPECT_EQ(locale.timezone.name(), "Etc/UTC");
}

TEST(LocaleHelpersTest, MakeLanguagePreferenceFromGoodInput) {
  const std::vector<std::pair<std::string, Strings>> cases = {
      {"en_US", {"en_US", "en"}},
      {"C", {"C"}},
      {"de", {"de"}},
      {"en_US.UTF-8", {"en_US.UTF-8", "en_US", "en"}},
      {"fr.UTF-8", {"fr.UTF-8", "fr"}},
      {"POSIX", {"POSIX"}},
  };
  for (const auto& [locale, expected] : cases) {
    SCOPED_TRACE(locale);
    std::error_code ec;
    EXPECT_EQ(LocaleHelpers::MakeLanguagePreference(locale, ec), expected);
    EXPECT_FALSE(ec);
  }
}

TEST(LocaleHelpersTest, MakeLanguagePreferenceRefusesBadInput) {
  const Strings bad = {"",         " ",          "en US",
                       "en_US\n",  "en/US",      "../etc",
                       "en;rm",    "{1}",        std::string("en\0US", 5),
                       "\xc3\xa9", "en_US,de_DE"};
  for (const auto& locale : bad) {
    SCOPED_TRACE("'" + locale + "'");
    std::error_code ec;
    EXPECT_TRUE(LocaleHelpers::MakeLanguagePreference(locale, ec).empty());
    EXPECT_EQ(ec, std::make_error_code(std::errc::invalid_argument));
  }
}

TEST(LocaleHelpersTest, NoPreferenceIsEmptyOrRepeated) {
  for (const std::string locale : {"en_US.UTF-8", "en_", "x.y", "a_b_c", "en_US@euro"}) {
    SCOPED_TRACE(locale);
    std::error_code ec;
    const Strings prefs = LocaleHelpers::MakeLanguagePreference(locale, ec);
    ASSERT_FALSE(prefs.empty());
    EXPECT_EQ(prefs.front(), locale);
    for (std::size_t i = 0; i < prefs.size(); ++i) {
      EXPECT_FALSE(prefs[i].empty());
      for (std::size_t j = i + 1; j < prefs.size(); ++j) EXPECT_NE(prefs[i], prefs[j]);
      // Each entry is a prefix of the one before: less specific, never different.
      if (i > 0) {
        EXPECT_EQ(prefs[i - 1].compare(0, prefs[i].size(), prefs[i]), 0);
      }
    }
  }
}

TEST(LocalizerTest, SmallTypesHoldWhatTheyAreGiven) {
  EXPECT_EQ(TimezoneSpec("Europe/Berlin").name(), "Europe/Berlin");
  EXPECT_EQ(TimezoneSpec("").name(), "");
  EXPECT_FALSE(Localizer().keepActivationLocalizer);

  auto localizer = std::make_shared<const Localizer>();
  auto locale = std::make_shared<const LocaleSpec>();
  const RequestLocalizer request(localizer, locale);
  const RequestLocalizer copy = request;
  for (const RequestLocalizer* r : {&request, &copy}) {
    EXPECT_EQ(r->localizer().get(), localizer.get());
    EXPECT_EQ(r->locale().get(), locale.get());
  }
  const RequestLocalizer empty(nullptr, nullptr);
  EXPECT_FALSE(empty.localizer());
  EXPECT_FALSE(empty.locale());
}

}  // namespace
}  // namespace L10n
}  // namespace Tarn
