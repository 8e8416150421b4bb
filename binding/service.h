// Everything a generated service package builds on.
#pragma once

#include <boost/optional.hpp>
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "binding/async_result.h"
#include "binding/definition_adapter.h"
#include "binding/native.h"
#include "binding/provider.h"
#include "binding/stub.h"
#include "binding/validator.h"
#include "binding/value_adapter.h"
#include "runtime/activation.h"
#include "runtime/export.h"
#include "runtime/l10n.h"
#include "runtime/operation_input.h"
#include "runtime/provider.h"
#include "runtime/std_errors.h"
#include "runtime/stub.h"

// The standard errors, as the generated error lists name them.
namespace Com::Brantel::Kov::Vm {
namespace StdErrors = ::Com::Brantel::Tarn::Std::Errors;
}
