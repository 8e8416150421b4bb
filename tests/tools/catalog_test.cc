// Finding services and operations by the names users type, and describing them.
#include "tools/sim/catalog.h"

#include <gtest/gtest.h>

#include <sstream>

#include "tools/sim/shapes.h"
#include "tools/sim/simulator.h"

namespace Kov {
namespace Sim {
namespace {

class CatalogTest : public ::testing::Test {
 protected:
  Simulator simulator_;
  Catalog catalog_{simulator_.Bind()};

  std::string Resolve(const std::string& text) {
    const Catalog::Service* service = nullptr;
    Tarn::Provider::AsyncApiMethodPtr method;
    std::string error;
    if (!catalog_.FindOperation(text, service, method, error)) return "error: " + error;
    return service->id + "/" + method->methodName();
  }
};

TEST_F(CatalogTest, ServicesByIdShortIdOrShortName) {
  struct Case {
    const char* name;
    const char* id;  // null: no service
  } cases[] = {
      {"com.brantel.kov.vm.compute.cpus", "com.brantel.kov.vm.compute.cpus"},
      {"compute.cpus", "com.brantel.kov.vm.compute.cpus"},
      {"cpus", "com.brantel.kov.vm.compute.cpus"},
      {"entries", "com.brantel.kov.vm.data_sets.entries"},
      {"data_sets.entries", "com.brantel.kov.vm.data_sets.entries"},
      {"", nullptr},
      {"cpu", nullptr},
      {"CPUS", nullptr},
      {"com.brantel.kov.vm", nullptr},
      {"vm.compute.cpus", nullptr},
  };
  for (auto& c : cases) {
    const Catalog::Service* s = catalog_.FindService(c.name);
    if (c.id) {
      ASSERT_TRUE(s) << c.name;
      EXPECT_EQ(s->id, c.id) << c.name;
    } else {
      EXPECT_FALSE(s) << c.name;
    }
  }
  ASSERT_EQ(catalog_.services().size(), 13u);
  EXPECT_EQ(catalog_.services()[0].alias, "power");
  EXPECT_EQ(Catalog::AliasOf("com.brantel.kov.vm.data_sets.entries"), "entries");
  EXPECT_EQ(Catalog::AliasOf("plain"), "plain");
}

TEST_F(CatalogTest, Operations) {
  EXPECT_EQ(Resolve("cpus.get"), "com.brantel.kov.vm.compute.cpus/get");
  EXPECT_EQ(Resolve("com.brantel.kov.vm.compute.cpus.update"),
            "com.brantel.kov.vm.compute.cpus/update");
  EXPECT_EQ(Resolve("data_sets.entries.list"), "com.brantel.kov.vm.data_sets.entries/list");
  EXPECT_EQ(Resolve("data_sets.list"), "com.brantel.kov.vm.data_sets/list");

  struct Case {
    const char* text;
    const char* error;
  } refused[] = {
      {"cpus", "names a service; call needs SERVICE.OPERATION, e.g. cpus.get"},
      {"get", "expected SERVICE.OPERATION"},
      {"cpus.", "expected SERVICE.OPERATION"},
      {"nosuch.get", "unknown service \"nosuch\""},
      {"cpus.put",
       "unknown operation \"put\" of service com.brantel.kov.vm.compute.cpus; its "
       "operations are: get, update"},
      {"cpus.GET", "unknown operation \"GET\""},
  };
  for (auto& c : refused) {
    std::string got = Resolve(c.text);
    EXPECT_NE(got.find(c.error), std::string::npos) << c.text << " gave " << got;
    EXPECT_EQ(got.rfind("error: ", 0), 0u) << c.text;
  }
}

TEST_F(CatalogTest, DescribeTargets) {
  const Catalog::Service* service = nullptr;
  Tarn::Provider::AsyncApiMethodPtr method;
  std::string error;
  ASSERT_TRUE(catalog_.FindTarget("data_sets.entries", service, method, error));
  EXPECT_EQ(service->alias, "entries");
  EXPECT_FALSE(method);
  ASSERT_TRUE(catalog_.FindTarget("data_sets.get", service, method, error));
  ASSERT_TRUE(method);
  EXPECT_EQ(method->methodName(), "get");
  EXPECT_FALSE(catalog_.FindTarget("nosuch", service, method, error));
  EXPECT_NE(error.find("unknown service"), std::string::npos);
}

TEST_F(CatalogTest, ListShowsEveryServiceAndOperation) {
  std::ostringstream out;
  catalog_.PrintList(out);
  const std::string text = out.str();
  EXPECT_NE(text.find("13 services, 37 operations"), std::string::npos) << text;
  for (auto& s : catalog_.services()) {
    EXPECT_NE(text.find(s.id), std::string::npos) << s.id;
  }
  EXPECT_NE(text.find("get, switch_on, switch_off, reset, suspend"), std::string::npos);
  EXPECT_NE(text.find("add, update, delete, list"), std::string::npos);
}

TEST_F(CatalogTest, DescribeShowsShapesFromTheDefinitions) {
  std::ostringstream out;
  Catalog::PrintService(out, *catalog_.FindService("cpus"));
  const std::string text = out.str();
  for (const char* expected : {
           "service com.brantel.kov.vm.compute.cpus (short name: cpus)",
           "  cpus.get\n    input:\n      vm: string\n",
           "    output: struct com.brantel.kov.vm.compute.cpus.info\n      count: integer\n"
           "      cores_per_socket: integer",
           "update_spec: struct com.brantel.kov.vm.compute.cpus.update_spec\n"
           "          count: optional integer\n          cores_per_socket: optional integer",
           "    output: none\n",
           "errors: error, not_found, invalid_argument, not_allowed_in_current_state",
       }) {
    EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n---\n" << text;
  }
}

TEST_F(CatalogTest, DescribeShowsUnionCasesListsAndEmptyInputs) {
  auto describe = [&](const char* service, const char* operation) {
    std::ostringstream out;
    auto* s = catalog_.FindService(service);
    Catalog::PrintOperation(out, *s, *s->iface->FindMethod(operation));
    return out.str();
  };
  // Fields in declaration order, enumeration values, and the tag values of each union case.
  const std::string add = describe("cdrom", "add");
  for (const char* expected : {
           "      vm: string\n      backing: struct com.brantel.kov.vm.device.cdrom.backing_info\n",
           "          type: string, one of ATAPI, IMAGE or RAW\n",
           "          device_name: case of \"type\": string (required when type is ATAPI or RAW; "
           "unset otherwise)\n",
           "          iso_file: case of \"type\": string (allowed when type is IMAGE; unset "
           "otherwise)\n",
       }) {
    EXPECT_NE(add.find(expected), std::string::npos) << expected << "\n---\n" << add;
  }
  EXPECT_NE(describe("network", "list").find("adapters: optional list of string, one of ZLANCE"),
            std::string::npos);
  // Every operation's input has its shape, so none is described without these.
  for (auto& s : catalog_.services()) {
    for (auto& m : s.iface->methods()) {
      EXPECT_TRUE(Shapes::Get().Input(s.id, m->methodName())) << s.id << "/" << m->methodName();
    }
  }
  const std::string list = describe("disk", "list");
  EXPECT_NE(list.find("filter: optional struct com.brantel.kov.vm.device.disk.filter_spec"),
            std::string::npos)
      << list;
  EXPECT_NE(list.find("list: list of struct com.brantel.kov.vm.device.disk.summary"),
            std::string::npos)
      << list;
  const std::string dock = describe("dock", "list");
  EXPECT_NE(dock.find("input:\n      (no fields)"), std::string::npos) << dock;
  EXPECT_NE(dock.find("errors: unauthenticated\n"), std::string::npos) << dock;
  EXPECT_NE(describe("entries", "list").find("output: list of string"), std::string::npos);
}

TEST(ShortErrorName, StripsTheStandardPrefixOnly) {
  EXPECT_EQ(ShortErrorName("com.brantel.tarn.std.errors.not_found"), "not_found");
  EXPECT_EQ(ShortErrorName("invalid_argument"), "invalid_argument");
  EXPECT_EQ(ShortErrorName("com.example.errors.x"), "com.example.errors.x");
}

}  // namespace
}  // namespace Sim
}  // namespace Kov
