#include "remote/value_codec.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "runtime/std_errors.h"

namespace Tarn {
namespace Remote {
namespace {

namespace v1 = kov::remote::v1;
using namespace Tarn::Data;

DataValuePtr RoundTrip(const DataValuePtr& value) {
  v1::Value wire;
  MessageList messages;
  EXPECT_TRUE(EncodeValue(value, wire, messages));
  // Through the bytes, as on the wire.
  v1::Value parsed;
  EXPECT_TRUE(parsed.ParseFromString(wire.SerializeAsString()));
  DataValuePtr back;
  EXPECT_TRUE(DecodeValue(parsed, back, messages)) << messages.front().defaultMessage;
  return back;
}

DataValuePtr Struct(const char* name, std::vector<std::pair<std::string, DataValuePtr>> fields,
                    DataType type = DataType::STRUCTURE) {
  std::shared_ptr<CompoundValue> s;
  if (type == DataType::STRUCTURE) s = StructValue::GetInstance(name);
  if (type == DataType::DYNAMIC_STRUCTURE) s = DynamicStructValue::GetInstance(name);
  if (type == DataType::ERROR) s = ErrorValue::GetInstance(name);
  for (auto& f : fields) s->SetField(f.first, f.second);
  return s;
}

TEST(ValueCodecTest, EveryKindRoundTripsExactly) {
  auto list = ListValue::GetInstance(1);
  list->Add(IntegerValue::GetInstance(1));
  list->Add(OptionalValue::GetInstance());
  auto set = ListValue::GetInstance(2);
  set->Add(StringValue::GetInstance("E1000E"));
  auto strings = ListValueString::GetInstance();
  strings->Add("scsi0:0");
  strings->Add("");
  const std::string bytes("\0\xff\x80zub", 6);
  const DataValuePtr values[] = {
      VoidValue::GetInstance(),
      IntegerValue::GetInstance(std::numeric_limits<std::int64_t>::min()),
      IntegerValue::GetInstance(std::numeric_limits<std::int64_t>::max()),
      DoubleValue::GetInstance(1.5),
      BooleanValue::GetInstance(true),
      BooleanValue::GetInstance(false),
      StringValue::GetInstance(bytes),
      StringValue::GetInstance(""),
      BlobValue::GetInstance(bytes),
      SecretValue::GetInstance("zub-secret"),
      OptionalValue::GetInstance(),
      OptionalValue::GetInstance(StringValue::GetInstance("web-1")),
      OptionalValue::GetInstance(OptionalValue::GetInstance()),
      list,
      set,
      ListValue::GetInstance(1),
      strings,
      Struct("com.brantel.kov.vm.compute.cpus.info",
             {{"count", IntegerValue::GetInstance(4)},
              {"hot_add_enabled", BooleanValue::GetInstance(false)},
              {"ids", list}}),
      Struct("", {}),
      Struct("extras", {{"b", VoidValue::GetInstance()}, {"a", strings}},
             DataType::DYNAMIC_STRUCTURE),
      Com::Brantel::Tarn::Std::Errors::NotFound::Create(
          {MakeMessage("kov.sim.vm.unknown", "No machine '{}'.", std::string("web-1"))}),
  };
  for (const auto& value : values) {
    SCOPED_TRACE(value->ToString());
    auto back = RoundTrip(value);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->GetType(), value->GetType());
    EXPECT_TRUE(back->Equals(*value)) << back->ToString();
  }
}

TEST(ValueCodecTest, DoublesKeepNanInfinitiesAndNegativeZero) {
  for (double d :
       {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
        -std::numeric_limits<double>::infinity(), -0.0, 0.0,
        std::numeric_limits<double>::denorm_min()}) {
    auto back = NarrowDataTypeInt<DoubleValue>(RoundTrip(DoubleValue::GetInstance(d)));
    ASSERT_TRUE(back);
    EXPECT_EQ(std::memcmp(&d, &back->value(), sizeof d), 0) << d;
  }
}

// A value nested 10,000 levels, through every kind of container in turn.
DataValuePtr Deep(int depth) {
  DataValuePtr value = StringValue::GetInstance("zubuntu-64");
  for (int i = 0; i < depth; ++i) {
    switch (i % 3) {
      case 0:
        value = OptionalValue::GetInstance(value);
        break;
      case 1: {
        auto list = ListValue::GetInstance(1);
        list->Add(value);
        value = list;
        break;
      }
      default:
        value = Struct("level", {{"inner", value}});
    }
  }
  return value;
}

TEST(ValueCodecTest, TenThousandLevelsRoundTrip) {
  auto deep = Deep(10000);
  auto back = RoundTrip(deep);
  ASSERT_TRUE(back);
  EXPECT_TRUE(back->Equals(*deep));
}

TEST(ValueCodecTest, EmptySlotIsRefusedWhenEncoding) {
  auto s = StructValue::GetInstance("com.brantel.kov.vm.power.info");
  s->SetField("state", nullptr);
  v1::Value wire;
  MessageList messages;
  EXPECT_FALSE(EncodeValue(s, wire, messages));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].id, "kov.remote.value.empty.field");
  EXPECT_EQ(wire.nodes_size(), 0);
}

struct N {
  int kind;
  std::uint32_t children = 0;
  const char* field = "";
  const char* name = "";
  enum { kNone, kInt, kBytes } payload = kNone;
  std::int64_t integer = 1;
};

TEST(ValueCodecTest, MalformedNodesAreRefusedWithClearErrors) {
  constexpr int S = v1::KIND_STRUCTURE, L = v1::KIND_LIST, I = v1::KIND_INTEGER,
                STR = v1::KIND_STRING, SL = v1::KIND_STRING_LIST, O = v1::KIND_OPTIONAL;
  const struct {
    const char* what;
    std::vector<N> nodes;
    const char* id;
  } cases[] = {
      {"no nodes", {}, "kov.remote.value.no.nodes"},
      {"unknown kind", {{99}}, "kov.remote.value.kind.unknown"},
      {"kind unset", {{0}}, "kov.remote.value.kind.unknown"},
      {"children past the end",
       {{L, 3, "", "", N::kInt}, {I, 0, "", "", N::kInt}},
       "kov.remote.value.children.past.end"},
      {"grandchildren past the end",
       {{L, 2, "", "", N::kInt}, {L, 1, "", "", N::kInt}, {I, 0, "", "", N::kInt}},
       "kov.remote.value.children.past.end"},
      {"trailing node",
       {{I, 0, "", "", N::kInt}, {I, 0, "", "", N::kInt}},
       "kov.remote.value.trailing"},
      {"field without a name",
       {{S, 1, "", "s"}, {I, 0, "", "", N::kInt}},
       "kov.remote.value.field.unnamed"},
      {"field name outside a structure",
       {{L, 1, "", "", N::kInt}, {I, 0, "x", "", N::kInt}},
       "kov.remote.value.field.outside"},
      {"field twice",
       {{S, 2, "", "s"}, {I, 0, "a", "", N::kInt}, {I, 0, "a", "", N::kInt}},
       "kov.remote.value.field.twice"},
      {"integer in a string list",
       {{SL, 1}, {I, 0, "", "", N::kInt}},
       "kov.remote.value.element.kind"},
      {"integer with bytes", {{I, 0, "", "", N::kBytes}}, "kov.remote.value.payload"},
      {"string without bytes", {{STR}}, "kov.remote.value.payload"},
      {"leaf with children",
       {{I, 1, "", "", N::kInt}, {I, 0, "", "", N::kInt}},
       "kov.remote.value.leaf.children"},
      {"optional holding two",
       {{O, 2}, {I, 0, "", "", N::kInt}, {I, 0, "", "", N::kInt}},
       "kov.remote.value.optional.children"},
      {"list of unknown kind", {{L, 0, "", "", N::kNone}}, "kov.remote.value.payload"},
      {"list kind 7", {{L, 0, "", "", N::kInt, 7}}, "kov.remote.value.list.kind"},
      {"named integer", {{I, 0, "", "x", N::kInt}}, "kov.remote.value.name"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    v1::Value wire;
    for (const N& n : c.nodes) {
      auto& node = *wire.add_nodes();
      node.set_kind(static_cast<v1::Kind>(n.kind));
      node.set_children(n.children);
      node.set_field(n.field);
      node.set_name(n.name);
      if (n.payload == N::kInt) node.set_integer(n.integer);
      if (n.payload == N::kBytes) node.set_bytes("web-1");
    }
    DataValuePtr out = VoidValue::GetInstance();
    const DataValuePtr before = out;
    MessageList messages;
    EXPECT_FALSE(DecodeValue(wire, out, messages));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].id, c.id) << messages[0].defaultMessage;
    EXPECT_FALSE(messages[0].defaultMessage.empty());
    EXPECT_EQ(out, before);  // nothing half-built escapes
  }
}

}  // namespace
}  // namespace Remote
}  // namespace Tarn
