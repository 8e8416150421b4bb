#include "runtime/std_errors.h"

namespace Com {
namespace Brantel {
namespace Tarn {
namespace Std {
namespace Errors {

namespace D = ::Tarn::Data;

std::shared_ptr<const D::ErrorDefinition> MakeErrorDefinition(const char* name) {
  auto text = D::DataDefinition::Create<std::string>();
  D::StructDefinition::Fields message{
      {"id", text},
      {"default_message", text},
      {"args", D::ListDefinition::GetInstance(text)},
  };
  auto entry =
      D::StructDefinition::GetInstance(::Tarn::Data::LocalizableMessageName(), std::move(message));
  return D::ErrorDefinition::GetInstance(name,
                                         {{"messages", D::ListDefinition::GetInstance(entry)}});
}

}  // namespace Errors
}  // namespace Std
}  // namespace Tarn
}  // namespace Brantel
}  // namespace Com
