// Small records for the binding tests, declared exactly as the generator emits service records:
// member lists, type and native names, sorted wire names and, for unions, their annotations and
// check order. Together they cover every member shape a record can have.
#pragma once

#include <boost/optional.hpp>
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "binding/service.h"

// An enumeration declared as the generator declares one: its enumerators with the unknown one last
// and default, their texts in the same order, and any further members (such as its type name).
#define KOV_TEST_UNPACK(...) __VA_ARGS__
#define KOV_TEST_ENUM(Name, enumerators, texts, ...)                                        \
  struct Name : ::Tarn::EnumBase<Name> {                                                    \
    enum Value : std::int32_t { KOV_TEST_UNPACK enumerators, _UNKNOWN };                    \
    struct Strings {                                                                        \
      static constexpr const char* values[] = {KOV_TEST_UNPACK texts, "_UNKNOWN", nullptr}; \
    };                                                                                      \
    using EnumBase::EnumBase;                                                               \
    __VA_ARGS__                                                                             \
  }

namespace KovTest {

class TestSvc {
 public:
  KOV_TEST_ENUM(Color, (RED, GREEN, BLUE), ("RED", "GREEN", "BLUE"),
                static constexpr const char typeName[] = "com.brantel.kov.vm.test.color";);
  KOV_TEST_ENUM(PowerState, (ON, OFF, SUSPENDED), ("ON", "OFF", "SUSPENDED"),
                static constexpr const char typeName[] = "com.brantel.kov.vm.test.power_state";);

  struct Leaf : ::Tarn::Data::BaseNative {
    static constexpr const char typeName[] = "com.brantel.kov.vm.test.leaf";
    static constexpr const char nativeName[] = "::KovTest::TestSvc::Leaf";

    std::string name;
    std::int64_t size = 0;

    struct AdapterHelper {
      static constexpr ::Tarn::Data::SortedNames<2> sortedNames{{"name", "size"}};
      template <class Helper>
      static constexpr void AddFields(Helper& h) {
        h.AddField("name", &Leaf::name);
        h.AddField("size", &Leaf::size);
      }
    };
  };

  // One member of every shape.
  struct Everything : ::Tarn::Data::BaseNative {
    static constexpr const char typeName[] = "com.brantel.kov.vm.test.everything";
    static constexpr const char nativeName[] = "::KovTest::TestSvc::Everything";

    std::int64_t count = 0;
    bool enabled = false;
    std::string label;
    Color color;
    boost::optional<std::int64_t> optCount;
    boost::optional<bool> optEnabled;
    boost::optional<std::string> optLabel;
    boost::optional<Color> optColor;
    std::shared_ptr<const Leaf> leaf;
    ::Tarn::OptionalPtr<const Leaf> optLeaf;
    std::vector<std::shared_ptr<const Leaf>> leaves;
    std::set<std::string> tags;
    std::set<Color> colors;
    boost::optional<std::set<std::string>> optTags;

    struct AdapterHelper {
      static constexpr ::Tarn::Data::SortedNames<14> sortedNames{
          {"color", "colors", "count", "enabled", "label", "leaf", "leaves", "opt_color",
           "opt_count", "opt_enabled", "opt_label", "opt_leaf", "opt_tags", "tags"}};
      template <class Helper>
      static constexpr void AddFields(Helper& h) {
        h.AddField("count", &Everything::count);
        h.AddField("enabled", &Everything::enabled);
        h.AddField("label", &Everything::label);
        h.AddField("color", &Everything::color);
        h.AddField("opt_count", &Everything::optCount);
        h.AddField("opt_enabled", &Everything::optEnabled);
        h.AddField("opt_label", &Everything::optLabel);
        h.AddField("opt_color", &Everything::optColor);
        h.AddField("leaf", &Everything::leaf);
        h.AddField("opt_leaf", &Everything::optLeaf);
        h.AddField("leaves", &Everything::leaves);
        h.AddField("tags", &Everything::tags);
        h.AddField("colors", &Everything::colors);
        h.AddField("opt_tags", &Everything::optTags);
      }
    };
  };

  // A union whose missing-tag check runs first. `disk` must be set exactly when the state is OFF;
  // `note` may be set when ON or SUSPENDED and must be unset otherwise.
  struct MachineAnnotations {
    KOV_TEST_ENUM(UnionTags, (state), ("state"));
    KOV_TEST_ENUM(DiskUnionCases, (OFF), ("OFF"));
    KOV_TEST_ENUM(NoteUnionCases, (ON, SUSPENDED), ("ON", "SUSPENDED"));
  };

  struct Machine : ::Tarn::Data::BaseNative {
    static constexpr const char typeName[] = "com.brantel.kov.vm.test.machine";
    static constexpr const char nativeName[] = "::KovTest::TestSvc::Machine";

    PowerState state;
    boost::optional<std::string> disk;
    boost::optional<std::int64_t> note;

    struct AdapterHelper {
      static constexpr ::Tarn::Data::SortedNames<3> sortedNames{{"disk", "note", "state"}};
      template <class Helper>
      static constexpr void AddFields(Helper& h) {
        h.AddField("state", &Machine::state);
        h.AddField("disk", &Machine::disk);
        h.AddField("note", &Machine::note);
      }
    };
    using UnionTags = MachineAnnotations::UnionTags;
    struct UnionRules {
      template <class Checker>
      static constexpr void Check(Checker& c) {
        c.template MissingTag<UnionTags>(&Machine::state);
        c.Case(&Machine::state, &Machine::disk, "disk",
               ::Tarn::Data::UnionCaseAnyEnumValue<MachineAnnotations::DiskUnionCases>());
        c.Case(&Machine::state, &Machine::note, "note",
               ::Tarn::Data::OptUnionCaseAnyEnumValue<MachineAnnotations::NoteUnionCases>());
      }
    };
  };

  // The same rules over a tag named "mode", with the field checks first and the missing-tag check
  // last.
  struct BackingAnnotations {
    KOV_TEST_ENUM(UnionTags, (mode), ("mode"));
    KOV_TEST_ENUM(DeviceNameUnionCases, (OFF), ("OFF"));
    KOV_TEST_ENUM(NoteUnionCases, (ON, SUSPENDED), ("ON", "SUSPENDED"));
  };

  struct Backing : ::Tarn::Data::BaseNative {
    static constexpr const char typeName[] = "com.brantel.kov.vm.test.backing";
    static constexpr const char nativeName[] = "::KovTest::TestSvc::Backing";

    PowerState mode;
    boost::optional<std::string> deviceName;
    boost::optional<std::int64_t> note;

    struct AdapterHelper {
      static constexpr ::Tarn::Data::SortedNames<3> sortedNames{{"device_name", "mode", "note"}};
      template <class Helper>
      static constexpr void AddFields(Helper& h) {
        h.AddField("mode", &Backing::mode);
        h.AddField("device_name", &Backing::deviceName);
        h.AddField("note", &Backing::note);
      }
    };
    using UnionTags = BackingAnnotations::UnionTags;
    struct UnionRules {
      template <class Checker>
      static constexpr void Check(Checker& c) {
        c.Case(&Backing::mode, &Backing::deviceName, "deviceName",
               ::Tarn::Data::UnionCaseAnyEnumValue<BackingAnnotations::DeviceNameUnionCases>());
        c.Case(&Backing::mode, &Backing::note, "note",
               ::Tarn::Data::OptUnionCaseAnyEnumValue<BackingAnnotations::NoteUnionCases>());
        c.template MissingTag<BackingAnnotations::UnionTags>(&Backing::mode);
      }
    };
  };

  // A record that contains itself through an optional.
  struct Chain : ::Tarn::Data::BaseNative {
    static constexpr const char typeName[] = "com.brantel.kov.vm.test.chain";
    static constexpr const char nativeName[] = "::KovTest::TestSvc::Chain";

    std::int64_t depth = 0;
    ::Tarn::OptionalPtr<const Chain> next;

    struct AdapterHelper {
      static constexpr ::Tarn::Data::SortedNames<2> sortedNames{{"depth", "next"}};
      template <class Helper>
      static constexpr void AddFields(Helper& h) {
        h.AddField("depth", &Chain::depth);
        h.AddField("next", &Chain::next);
      }
    };
  };

  // A record that contains itself through a list.
  struct Tree : ::Tarn::Data::BaseNative {
    static constexpr const char typeName[] = "com.brantel.kov.vm.test.tree";
    static constexpr const char nativeName[] = "::KovTest::TestSvc::Tree";

    std::string name;
    std::vector<std::shared_ptr<const Tree>> children;

    struct AdapterHelper {
      static constexpr ::Tarn::Data::SortedNames<2> sortedNames{{"children", "name"}};
      template <class Helper>
      static constexpr void AddFields(Helper& h) {
        h.AddField("name", &Tree::name);
        h.AddField("children", &Tree::children);
      }
    };
  };

  // Two records that contain each other: one through an optional, the other through a list.
  struct Pong;
  struct Ping : ::Tarn::Data::BaseNative {
    static constexpr const char typeName[] = "com.brantel.kov.vm.test.ping";
    static constexpr const char nativeName[] = "::KovTest::TestSvc::Ping";

    ::Tarn::OptionalPtr<const Pong> pong;

    struct AdapterHelper {
      static constexpr ::Tarn::Data::SortedNames<1> sortedNames{{"pong"}};
      template <class Helper>
      static constexpr void AddFields(Helper& h) {
        h.AddField("pong", &Ping::pong);
      }
    };
  };
  struct Pong : ::Tarn::Data::BaseNative {
    static constexpr const char typeName[] = "com.brantel.kov.vm.test.pong";
    static constexpr const char nativeName[] = "::KovTest::TestSvc::Pong";

    std::vector<std::shared_ptr<const Ping>> pings;

    struct AdapterHelper {
      static constexpr ::Tarn::Data::SortedNames<1> sortedNames{{"pings"}};
      template <class Helper>
      static constexpr void AddFields(Helper& h) {
        h.AddField("pings", &Pong::pings);
      }
    };
  };

  // The input record of an operation "do".
  struct DoMethod {
    struct Input : ::Tarn::Data::BaseNative {
      static constexpr const char nativeName[] = "::KovTest::TestSvc::DoMethod::Input";
      static constexpr const char operationName[] = "::KovTest::TestSvc::Do";

      std::string vm;
      std::shared_ptr<const Leaf> spec;
      ::Tarn::OptionalPtr<const Machine> machine;
      std::vector<std::shared_ptr<const Machine>> machines;

      struct AdapterHelper {
        static constexpr ::Tarn::Data::SortedNames<4> sortedNames{
            {"machine", "machines", "spec", "vm"}};
        template <class Helper>
        static constexpr void AddFields(Helper& h) {
          h.AddField("vm", &Input::vm);
          h.AddField("spec", &Input::spec);
          h.AddField("machine", &Input::machine);
          h.AddField("machines", &Input::machines);
        }
      };
    };
  };

  // A record naming resources, with its structure metadata.
  struct Placement : ::Tarn::Data::BaseNative {
    static constexpr const char typeName[] = "com.brantel.kov.vm.test.placement";
    static constexpr const char nativeName[] = "::KovTest::TestSvc::Placement";

    std::string vm;
    std::string disk;

    struct AdapterHelper {
      static constexpr ::Tarn::Data::SortedNames<2> sortedNames{{"disk", "vm"}};
      template <class Helper>
      static constexpr void AddFields(Helper& h) {
        h.AddField("vm", &Placement::vm);
        h.AddField("disk", &Placement::disk);
      }
    };
    struct Metadata {
      static constexpr const char name[] = "com.brantel.kov.vm.Test.Placement";
      static constexpr ::Tarn::Metadata::ResourceField fields[] = {
          {"vm", "com.brantel.kov.vm.VirtualMachine"}, {"disk", "com.brantel.kov.vm.VirtualDisk"}};
    };
  };
};

}  // namespace KovTest
