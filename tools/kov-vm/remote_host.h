// kov-vm and the network: `serve` hosts the simulator for remote clients, `--host` sends calls to
// such a host, and `token new` makes a token for a server's tokens file.
#pragma once

#include <iosfwd>
#include <map>
#include <memory>
#include <string>

#include "runtime/data_value.h"
#include "runtime/local_provider.h"

namespace Kov {
namespace Cli {

// Options of the command line by name without the dashes ("host", "listen"); a flag has "".
using OptionMap = std::map<std::string, std::string>;

// A client of the host named by --host, with --tls-ca, --token (or KOV_VM_TOKEN) and --timeout;
// null with `problem` set for options that cannot be used.
std::shared_ptr<Tarn::Core::InvocationTarget> ConnectHost(const OptionMap& options,
                                                          std::string& problem);

// Seconds a call may take, from --timeout (30 without it); false for anything but 1 to 86400.
bool TimeoutOf(const OptionMap& options, int& seconds, std::string& problem);

// Whether an error answered to a remote call means the host was not reached (refused, TLS, the
// deadline, a host too busy or stopping) rather than an answer of the operation.
bool Unreachable(const Tarn::Data::ErrorValue& error);

// `kov-vm serve`: hosts a simulator until SIGINT or SIGTERM. Returns the exit status.
int RunServe(const OptionMap& options, std::ostream& out, std::ostream& err);

// `kov-vm token new --name NAME --role ROLE`: prints a fresh token and its tokens-file entry.
int RunTokenNew(const OptionMap& options, std::ostream& out, std::ostream& err);

}  // namespace Cli
}  // namespace Kov
