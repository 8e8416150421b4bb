// Activations and their localisation, language preferences, method results and progress.
#include "runtime/activation.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "runtime/method.h"
#include "runtime/std_errors.h"

namespace Tarn {
namespace Core {
namespace {

using Strings = std::vector<std::string>;

TEST(AsyncActivationTest, ResourcesDupAndRequestLocalizer) {
  auto activation = AsyncActivation::GetInstance();
  activation->resourceId("vm-2");
  activation->resourceId("");
  activation->resourceId("vm-2");
  EXPECT_EQ(activation->resourceIds(), (Strings{"vm-2", "", "vm-2"}));
  // Without its own, a request uses the defaults and installs nothing on the activation.
  for (const auto& request :
       {activation->requestLocalizer(), activation->GetErrorRequestLocalizer()}) {
    ASSERT_TRUE(request.localizer() && request.locale());
    EXPECT_EQ(request.locale()->firstPreference, (Strings{"en_US", "en"}));
    EXPECT_EQ(request.locale()->secondPreference, (Strings{"C"}));
    EXPECT_EQ(request.locale()->timezone.name(), "Etc/UTC");
  }
  EXPECT_FALSE(activation->localizer || activation->locale);
  EXPECT_FALSE(activation->Dup()->localizer || activation->Dup()->locale);

  activation->localizer = std::make_shared<L10n::Localizer>();
  activation->locale = std::make_shared<const L10n::LocaleSpec>();
  auto copy = activation->Dup();
  EXPECT_NE(copy.get(), activation.get());
  EXPECT_TRUE(copy->resourceIds().empty());
  for (const auto& request : {copy->requestLocalizer(), activation->GetErrorRequestLocalizer()}) {
    EXPECT_EQ(request.localizer().get(), activation->localizer.get());
    EXPECT_EQ(request.locale().get(), activation->locale.get());
  }
}

TEST(LocaleHelpersTest, MakeLanguagePreference) {
  const std::vector<std::pair<std::string, Strings>> cases = {
      {"en_US", {"en_US", "en"}},
      {"C", {"C"}},
      {"en_US.UTF-8", {"en_US.UTF-8", "en_US", "en"}},
      {"fr.UTF-8", {"fr.UTF-8", "fr"}},
      {"a_b_c", {"a_b_c", "a"}},
      {"en_US@euro", {"en_US@euro", "en"}},
      {".x", {".x"}},
      // Refused: empty, or a character outside letters, digits and "_-.@".
      {"", {}},
      {"en US", {}},
      {"../e/c", {}},
      {std::string("en\0US", 5), {}},
      {"\xc3\xa9", {}},
      {"en_US,de", {}},
  };
  for (const auto& [locale, expected] : cases) {
    SCOPED_TRACE(locale);
    std::error_code ec;
    EXPECT_EQ(L10n::LocaleHelpers::MakeLanguagePreference(locale, ec), expected);
    EXPECT_EQ(ec, expected.empty() ? std::make_error_code(std::errc::invalid_argument)
                                   : std::error_code());
  }
}

TEST(MethodResultTest, SuccessProgressAndIdentifiers) {
  const auto output = Data::IntegerValue::GetInstance(1);
  const Data::ErrorValuePtr error = ::Com::Brantel::Tarn::Std::Errors::NotFound::Create();
  EXPECT_TRUE(MethodResult(output, nullptr).success());
  EXPECT_FALSE(MethodResult(output, error).success());
  EXPECT_FALSE(MethodResult(nullptr, nullptr).success());
  auto end = MethodResult::GetTerminationInstance();
  EXPECT_FALSE(end->output() || end->error() || end->success());
  EXPECT_TRUE(end->flag());

  EXPECT_TRUE(Progress{}.IsFinal());
  EXPECT_FALSE((Progress{0, 5, 2}.IsFinal()));
  EXPECT_EQ(Progress{}, (Progress{0, 1, 1}));
  for (const Progress& other : {Progress{1, 1, 1}, Progress{0, 2, 1}, Progress{0, 1, 0}}) {
    EXPECT_FALSE(Progress{} == other);
  }

  auto a = InterfaceIdentifier::GetInstance("com.brantel.kov.vm.power");
  auto m = MethodIdentifier::GetInstance(a, "switch_on");
  EXPECT_EQ(a->name(), "com.brantel.kov.vm.power");
  EXPECT_EQ(m->interfaceId().get(), a.get());
  EXPECT_EQ(m->name(), "switch_on");
}

}  // namespace
}  // namespace Core
}  // namespace Tarn
