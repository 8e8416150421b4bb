// The simulator's service implementations, one binding function per service: each binds its
// implementation over the shared lab through the service's AsyncServiceBinder.
#pragma once

#include <memory>

#include "runtime/provider.h"
#include "tools/sim/lab.h"

namespace Kov {
namespace Sim {

using BoundInterface = std::shared_ptr<Tarn::Provider::AsyncApiInterface>;

BoundInterface BindPower(const std::shared_ptr<Lab>& lab);
BoundInterface BindZub(const std::shared_ptr<Lab>& lab);
BoundInterface BindCpus(const std::shared_ptr<Lab>& lab);
BoundInterface BindMemory(const std::shared_ptr<Lab>& lab);
BoundInterface BindCdrom(const std::shared_ptr<Lab>& lab);
BoundInterface BindDisk(const std::shared_ptr<Lab>& lab);
BoundInterface BindNetwork(const std::shared_ptr<Lab>& lab);
BoundInterface BindSataController(const std::shared_ptr<Lab>& lab);
BoundInterface BindScsiController(const std::shared_ptr<Lab>& lab);
BoundInterface BindDataSets(const std::shared_ptr<Lab>& lab);
BoundInterface BindEntries(const std::shared_ptr<Lab>& lab);
BoundInterface BindDock(const std::shared_ptr<Lab>& lab);
BoundInterface BindLogLevel(const std::shared_ptr<Lab>& lab);

}  // namespace Sim
}  // namespace Kov
