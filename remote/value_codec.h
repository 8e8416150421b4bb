// The flat wire form of the runtime's dynamic values: a value travels as its nodes in pre-order,
// each with its number of children, so that protobuf never sees the value's nesting and nothing
// here recurses over it.
#pragma once

#include "remote/wire.pb.h"
#include "runtime/data_value.h"
#include "runtime/export.h"
#include "runtime/message.h"

namespace Tarn {
namespace Remote {

// Writes `value` into `out` (cleared first). Every kind of value is written exactly: a secret
// stays a secret, a double keeps its bits' meaning (NaN, infinities, -0). False, with a message,
// when the value or one of its parts is an empty pointer; `out` is then cleared.
KOV_EXPORT bool EncodeValue(const Data::DataValuePtr& value, kov::remote::v1::Value& out,
                            MessageList& messages);

// Rebuilds a value from its nodes. Every node is checked: its kind, its payload, its field name
// against its parent, its children against the nodes that follow, and nothing may follow the
// value's last node. On the first problem: false, with one message naming the node, and `out`
// untouched, so that nobody sees a half-built value.
KOV_EXPORT bool DecodeValue(const kov::remote::v1::Value& in, Data::DataValuePtr& out,
                            MessageList& messages);

}  // namespace Remote
}  // namespace Tarn
