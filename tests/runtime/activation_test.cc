// Activations, method results and progress.
#include "runtime/activation.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "runtime/method.h"
#include "runtime/std_errors.h"

namespace Tarn {
namespace Core {
namespace {

using Strings = std::vector<std::string>;

TEST(AsyncActivationTest, ResourceIdsAreRecordedInOrder) {
  auto activation = AsyncActivation::GetInstance();
  EXPECT_TRUE(activation->resourceIds().empty());
  activation->resourceId("com.brantel.kov.vm.VirtualMachine.vm-2");
  activation->resourceId("");
  activation->resourceId("com.brantel.kov.vm.VirtualMachine.vm-1");
  activation->resourceId("com.brantel.kov.vm.VirtualMachine.vm-2");
  EXPECT_EQ(activation->resourceIds(), (Strings{"com.brantel.kov.vm.VirtualMachine.vm-2", "",
                                                "com.brantel.kov.vm.VirtualMachine.vm-1",
                                                "com.brantel.kov.vm.VirtualMachine.vm-2"}));
}

TEST(AsyncActivationTest, DupCopiesLocalizerAndLocaleButNotResources) {
  auto activation = AsyncActivation::GetInstance();
  activation->localizer = std::make_shared<L10n::Localizer>();
  activation->locale = std::make_shared<const L10n::LocaleSpec>();
  activation->resourceId("r");
  auto copy = activation->Dup();
  ASSERT_TRUE(copy);
  EXPECT_NE(copy.get(), activation.get());
  EXPECT_EQ(copy->localizer.get(), activation->localizer.get());
  EXPECT_EQ(copy->locale.get(), activation->locale.get());
  EXPECT_TRUE(copy->resourceIds().empty());
  // The two record resources independently.
  copy->resourceId("s");
  EXPECT_EQ(activation->resourceIds(), (Strings{"r"}));
  EXPECT_EQ(copy->resourceIds(), (Strings{"s"}));

  auto bare = AsyncActivation::GetInstance()->Dup();
  EXPECT_FALSE(bare->localizer);
  EXPECT_FALSE(bare->locale);
}

TEST(AsyncActivationTest, RequestLocalizerIsTheActivationsOrTheDefaults) {
  auto activation = AsyncActivation::GetInstance();
  for (const auto& request :
       {activation->requestLocalizer(), activation->GetErrorRequestLocalizer()}) {
    ASSERT_TRUE(request.localizer());
    EXPECT_FALSE(request.localizer()->keepActivationLocalizer);
    ASSERT_TRUE(request.locale());
    EXPECT_EQ(request.locale()->firstPreference, (Strings{"en_US", "en"}));
    EXPECT_EQ(request.locale()->timezone.name(), "Etc/UTC");
  }
  // Asking does not install anything on the activation.
  EXPECT_FALSE(activation->localizer);
  EXPECT_FALSE(activation->locale);

  activation->localizer = std::make_shared<L10n::Localizer>();
  auto locale = std::make_shared<L10n::LocaleSpec>();
  locale->firstPreference = {"de_DE", "de"};
  activation->locale = locale;
  for (const auto& request :
       {activation->requestLocalizer(), activation->GetErrorRequestLocalizer()}) {
    EXPECT_EQ(request.localizer().get(), activation->localizer.get());
    EXPECT_EQ(request.locale().get(), locale.get());
  }
}

TEST(MethodResultTest, SuccessNeedsAnOutputAndNoError) {
  namespace Errors = ::Com::Brantel::Tarn::Std::Errors;
  const auto output = Data::IntegerValue::GetInstance(1);
  const Data::ErrorValuePtr error = Errors::NotFound::Create();
  EXPECT_TRUE(MethodResult(output, nullptr).success());
  EXPECT_TRUE(MethodResult(Data::VoidValue::GetInstance(), nullptr).success());
  EXPECT_FALSE(MethodResult(nullptr, error).success());
  EXPECT_FALSE(MethodResult(output, error).success());
  EXPECT_FALSE(MethodResult(nullptr, nullptr).success());
  const MethodResult failed(nullptr, error);
  EXPECT_EQ(failed.error().get(), error.get());
  EXPECT_FALSE(failed.output());
  // The termination instance has neither output nor error.
  auto end = MethodResult::GetTerminationInstance();
  ASSERT_TRUE(end);
  EXPECT_FALSE(end->output());
  EXPECT_FALSE(end->error());
  EXPECT_FALSE(end->success());
  EXPECT_TRUE(end->flag());
}

TEST(ProgressTest, FinalWhenTotalEqualsCurrent) {
  EXPECT_TRUE(Progress{}.IsFinal());
  EXPECT_EQ(Progress{}, (Progress{0, 1, 1}));
  EXPECT_TRUE((Progress{0, 5, 5}.IsFinal()));
  EXPECT_FALSE((Progress{0, 5, 2}.IsFinal()));
  EXPECT_FALSE((Progress{0, 1, 0}.IsFinal()));
  EXPECT_FALSE(Progress{} == (Progress{1, 1, 1}));
  EXPECT_FALSE(Progress{} == (Progress{0, 2, 1}));
}

TEST(IdentifierTest, MadeAfreshAndComparedByName) {
  auto a = InterfaceIdentifier::GetInstance("com.brantel.kov.vm.power");
  auto b = InterfaceIdentifier::GetInstance("com.brantel.kov.vm.power");
  EXPECT_NE(a.get(), b.get());
  EXPECT_EQ(a->name(), b->name());
  auto m = MethodIdentifier::GetInstance(a, "switch_on");
  EXPECT_EQ(m->interfaceId().get(), a.get());
  EXPECT_EQ(m->name(), "switch_on");
  EXPECT_NE(MethodIdentifier::GetInstance(a, "switch_on").get(), m.get());
}

}  // namespace
}  // namespace Core
}  // namespace Tarn
