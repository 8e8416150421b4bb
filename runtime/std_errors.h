// The standard error types. Every error value is named after its type and carries a message list.
#pragma once

#include <memory>

#include "runtime/data_definition.h"
#include "runtime/data_value.h"
#include "runtime/export.h"

namespace Com {
namespace Brantel {
namespace Tarn {
namespace Std {
namespace Errors {

// The definition that every standard error type shares in shape: a "messages" list of
// localizable messages (identifier, default text, arguments).
KOV_EXPORT std::shared_ptr<const ::Tarn::Data::ErrorDefinition> MakeErrorDefinition(
    const char* name);

// One class per standard error type. `typeName` is the error value's name; `Create` makes an
// error value of the type carrying the given messages.
template <class Derived>
struct StdError {
  static std::shared_ptr<const ::Tarn::Data::ErrorValue> Create(
      const ::Tarn::MessageList& messages = {}) {
    return ::Tarn::Data::ErrorValue::Create(Derived::typeName, messages);
  }
  static std::shared_ptr<const ::Tarn::Data::ErrorDefinition> Definition() {
    return MakeErrorDefinition(Derived::typeName);
  }
};

#define KOV_STD_ERROR(Type, wire)                                                 \
  struct Type : StdError<Type> {                                                  \
    static constexpr const char typeName[] = "com.brantel.tarn.std.errors." wire; \
  }

KOV_STD_ERROR(AlreadyExists, "already_exists");
KOV_STD_ERROR(AlreadyInDesiredState, "already_in_desired_state");
KOV_STD_ERROR(Error, "error");
KOV_STD_ERROR(InvalidArgument, "invalid_argument");
KOV_STD_ERROR(NotAllowedInCurrentState, "not_allowed_in_current_state");
KOV_STD_ERROR(NotFound, "not_found");
KOV_STD_ERROR(ResourceBusy, "resource_busy");
KOV_STD_ERROR(ResourceInUse, "resource_in_use");
KOV_STD_ERROR(ResourceInaccessible, "resource_inaccessible");
KOV_STD_ERROR(ServiceUnavailable, "service_unavailable");
KOV_STD_ERROR(UnableToAllocateResource, "unable_to_allocate_resource");
KOV_STD_ERROR(Unauthenticated, "unauthenticated");
KOV_STD_ERROR(Unauthorized, "unauthorized");
KOV_STD_ERROR(Unsupported, "unsupported");
KOV_STD_ERROR(InternalServerError, "internal_server_error");

#undef KOV_STD_ERROR

}  // namespace Errors
}  // namespace Std
}  // namespace Tarn
}  // namespace Brantel
}  // namespace Com
