// The catalogue of bound services as a client sees it: finding a service by its id or a short
// name, finding an operation, and describing their shapes from the method objects' definitions.
#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "runtime/provider.h"

namespace Kov {
namespace Sim {

class Catalog {
 public:
  struct Service {
    std::string id;     // "com.brantel.kov.vm.compute.cpus"
    std::string alias;  // "cpus"
    std::shared_ptr<const Tarn::Provider::AsyncApiInterface> iface;
  };

  // The prefix every service id of the API starts with.
  static constexpr const char kIdPrefix[] = "com.brantel.kov.vm.";

  // A catalogue of the given bound interfaces, in that order.
  explicit Catalog(
      const std::vector<std::shared_ptr<const Tarn::Provider::AsyncApiInterface>>& interfaces);

  const std::vector<Service>& services() const { return services_; }

  // The short name of a service: the last part of its id ("cpus", "entries", "sata_controller").
  static std::string AliasOf(const std::string& id);

  // A service by its full id, by its id without the common prefix ("compute.cpus",
  // "data_sets.entries") or by its short name; null when none matches.
  const Service* FindService(const std::string& name) const;

  // Resolves "SERVICE.OPERATION". False with `error` set to a message for the user when the text
  // has no operation part, or names an unknown service or operation.
  bool FindOperation(const std::string& text, const Service*& service,
                     Tarn::Provider::AsyncApiMethodPtr& method, std::string& error) const;

  // Resolves "SERVICE" or "SERVICE.OPERATION" for describe: `method` stays null for a service.
  bool FindTarget(const std::string& text, const Service*& service,
                  Tarn::Provider::AsyncApiMethodPtr& method, std::string& error) const;

  // Writes the services with their short names and operations.
  void PrintList(std::ostream& out) const;
  // Writes every operation of a service, or one operation, with its input and output shapes and
  // its errors.
  static void PrintService(std::ostream& out, const Service& service);
  static void PrintOperation(std::ostream& out, const Service& service,
                             const Tarn::Provider::AsyncApiMethod& method);

 private:
  std::vector<Service> services_;
};

// The short name of a standard error type ("not_found" for
// "com.brantel.tarn.std.errors.not_found").
std::string ShortErrorName(const std::string& errorType);

}  // namespace Sim
}  // namespace Kov
