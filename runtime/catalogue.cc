// The core message catalogue: the default text of every message id the runtime and the bindings
// report. Texts are patterns for the message's arguments ("{1}" is the first argument). Texts of
// messages made without arguments are used as they are, so they hold no braces.
#include <algorithm>
#include <cstddef>
#include <string>

#include "runtime/message.h"

namespace Tarn {

namespace {

using Detail::CatalogueEntry;

// Sorted by id (byte order) so that a lookup is a binary search over constant data.
constexpr CatalogueEntry kCoreCatalogue[] = {
    // Source text.
    {"tarn.data.bad.cast1", "The value '{1}' cannot be converted to the requested type."},
    // Kind number, target type name.
    {"tarn.data.bad.cast2", "A value of kind {1} cannot be converted to '{2}'."},
    // Native type name, field name, empty text.
    {"tarn.data.compound.field.extra", "Field '{2}' is not declared by '{1}'."},
    // Field name, structure name.
    {"tarn.data.compound.field.missing", "Field '{1}' is missing from structure '{2}'."},
    // Expected kind name, found kind name, field path.
    {"tarn.data.definition.kind.mismatch",
     "Expected a definition of kind {1} but found one of kind {2} at '{3}'."},
    // Structure name.
    {"tarn.data.definition.unresolved.reference",
     "The reference to structure '{1}' cannot be resolved."},
    // Element text.
    {"tarn.data.duplicate.set.element", "The set contains the element '{1}' more than once."},
    // No arguments.
    {"tarn.data.invalid.type", "The value does not have the type that was expected."},
    // Structure name, field name.
    {"tarn.data.union.invalid.case.state.isnotset.short",
     "Field '{2}' of '{1}' must be set for the selected union case."},
    // Structure name, field name.
    {"tarn.data.union.invalid.case.state.isset.short",
     "Field '{2}' of '{1}' must not be set for the selected union case."},
    // Tag field name.
    {"tarn.data.union.missing.tag.field", "The union tag field '{1}' is missing."},
    // Canonical structure name.
    {"tarn.data.unset.non.optional.field",
     "A field of structure '{1}' that is not optional has no value."},
    // Expected kind name, found kind name.
    {"tarn.data.value.kind.mismatch", "Expected a value of kind {1} but found one of kind {2}."},
    // Text, expected type name.
    {"tarn.data.value.out.of.range", "The value '{1}' is out of the range of type {2}."},
    // Text, expected type name.
    {"tarn.data.value.parse.failed", "The text '{1}' cannot be read as a value of type {2}."},
    // Native operation name.
    {"tarn.invoke.invalid.input", "The input of operation '{1}' is not valid."},
    // Method name, error type name.
    {"tarn.provider.error.undeclared",
     "Method '{1}' reported the error '{2}', which it does not declare."},
    // Interface name.
    {"tarn.provider.interface.already.registered", "Interface '{1}' is already registered."},
    // Interface name.
    {"tarn.provider.interface.not.found", "Interface '{1}' was not found."},
    // Interface name, method name.
    {"tarn.provider.method.not.found", "Interface '{1}' has no method '{2}'."},
    // No arguments.
    {"tarn.provider.method.signal.not.connected",
     "The method has no implementation connected to it."},
    // Method name.
    {"tarn.provider.output.invalid", "Method '{1}' returned an output that is not valid."},
};

constexpr std::size_t kCoreCatalogueSize = sizeof kCoreCatalogue / sizeof kCoreCatalogue[0];

constexpr int CompareIds(const char* a, const char* b) {
  while (*a != '\0' && *a == *b) {
    ++a;
    ++b;
  }
  return static_cast<unsigned char>(*a) - static_cast<unsigned char>(*b);
}

constexpr bool StrictlySorted() {
  for (std::size_t i = 1; i < kCoreCatalogueSize; ++i) {
    if (CompareIds(kCoreCatalogue[i - 1].id, kCoreCatalogue[i].id) >= 0) return false;
  }
  return true;
}

static_assert(StrictlySorted(), "catalogue ids must be sorted and unique for the binary search");

}  // namespace

std::string Message<CoreTag>::DefaultMessageForId(const std::string& id) {
  const boost::string_view key(id.data(), id.size());
  const CatalogueEntry* end = kCoreCatalogue + kCoreCatalogueSize;
  const CatalogueEntry* found = std::lower_bound(
      kCoreCatalogue, end, key, [](const CatalogueEntry& entry, boost::string_view wanted) {
        return boost::string_view(entry.id) < wanted;
      });
  if (found != end && boost::string_view(found->id) == key) return found->text;
  // The id is copied, not formatted: it is not a pattern.
  std::string text = "Unknown message id '";
  text += id;
  text += "'";
  return text;
}

namespace Detail {

const CatalogueEntry* CoreCatalogue(std::size_t& count) {
  count = kCoreCatalogueSize;
  return kCoreCatalogue;
}

}  // namespace Detail

}  // namespace Tarn
