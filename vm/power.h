// Generated from schema/power.toml by codegen/generate.py. Do not edit.
#pragma once

#include "binding/service.h"

namespace Com::Brantel::Kov::Vm {

// The power service: reports whether a virtual machine is on or off (and, when off, whether it is
// suspended), and switches it on, off, resets and suspends it.
class KOV_EXPORT PowerSvc {
 public:
  class AsyncServiceInterface;
  template <class M, class Output>
  using MethodOf = ::Tarn::Provider::MethodBase<M, AsyncServiceInterface, Output>;

  // The power state of a machine; OFF includes a suspended machine.
  struct State : ::Tarn::EnumBase<State> {
    enum Value : std::int32_t { ON, OFF, _UNKNOWN };
    struct Strings {
      static constexpr const char* values[] = {"ON", "OFF", "_UNKNOWN", nullptr};
    };
    static constexpr char typeName[] = "com.brantel.kov.vm.power.state";
    using EnumBase::EnumBase;
  };

  struct InfoAnnotations {
    struct UnionTags {
      struct Strings {
        static constexpr const char* values[] = {"state", "_UNKNOWN", nullptr};
      };
    };
    struct SuspendedUnionCases {
      struct Strings {
        static constexpr const char* values[] = {"OFF", "_UNKNOWN", nullptr};
      };
    };
  };

  // The power state of a machine.
  struct Info : ::Tarn::Data::BaseNative {
    static constexpr char typeName[] = "com.brantel.kov.vm.power.info";
    static constexpr char nativeName[] = "::Com::Brantel::Kov::Vm::PowerSvc::Info";

    State state;
    boost::optional<bool> suspended;

    struct AdapterHelper {
      static constexpr ::Tarn::Data::SortedNames<2> sortedNames{{"state", "suspended"}};
      template <class Helper> static constexpr void AddFields(Helper& h) {
        h.AddField("state", &Info::state);
        h.AddField("suspended", &Info::suspended);
      }
    };
    using UnionTags = InfoAnnotations::UnionTags;
    struct UnionRules {
      template <class Checker> static constexpr void Check(Checker& c) {
        c.template MissingTag<UnionTags>(&Info::state);
        c.Case(
            &Info::state, &Info::suspended, "suspended",
            ::Tarn::Data::UnionCaseAnyEnumValue<InfoAnnotations::SuspendedUnionCases>());
      }
    };
  };

  // How a machine is switched on; unset members leave the choice to the host.
  struct SwitchOnSpec : ::Tarn::Data::BaseNative {
    static constexpr char typeName[] = "com.brantel.kov.vm.power.switch_on_spec";
    static constexpr char nativeName[] = "::Com::Brantel::Kov::Vm::PowerSvc::SwitchOnSpec";

    boost::optional<bool> paused;
    boost::optional<bool> soft;

    struct AdapterHelper {
      static constexpr ::Tarn::Data::SortedNames<2> sortedNames{{"paused", "soft"}};
      template <class Helper> static constexpr void AddFields(Helper& h) {
        h.AddField("paused", &SwitchOnSpec::paused);
        h.AddField("soft", &SwitchOnSpec::soft);
      }
    };
  };

  struct GetMethod : MethodOf<GetMethod, std::shared_ptr<const Info>> {
    struct Input : ::Tarn::Data::BaseNative {
      static constexpr char nativeName[] = "::Com::Brantel::Kov::Vm::PowerSvc::GetMethod::Input";
      static constexpr char operationName[] = "::Com::Brantel::Kov::Vm::PowerSvc::Get";

      std::string vm;

      struct AdapterHelper {
        static constexpr ::Tarn::Data::SortedNames<1> sortedNames{{"vm"}};
        template <class Helper> static constexpr void AddFields(Helper& h) {
          h.AddField("vm", &Input::vm);
        }
      };
    };

    using Fields = ::Tarn::Provider::Fields<&Input::vm>;
    using Errors = ::Tarn::Provider::ErrorList<
        StdErrors::InvalidArgument, StdErrors::NotFound, StdErrors::Unauthenticated,
        StdErrors::Error>;
    static constexpr char wireName[] = "get";
    static constexpr bool readsOnly = true;
    static constexpr auto resourceField = &Input::vm;
  };

  struct SwitchOnMethod : MethodOf<SwitchOnMethod, ::Tarn::Void> {
    struct Input : ::Tarn::Data::BaseNative {
      static constexpr char nativeName[] =
          "::Com::Brantel::Kov::Vm::PowerSvc::SwitchOnMethod::Input";
      static constexpr char operationName[] = "::Com::Brantel::Kov::Vm::PowerSvc::SwitchOn";

      std::string vm;
      std::shared_ptr<const SwitchOnSpec> spec;

      struct AdapterHelper {
        static constexpr ::Tarn::Data::SortedNames<2> sortedNames{{"spec", "vm"}};
        template <class Helper> static constexpr void AddFields(Helper& h) {
          h.AddField("vm", &Input::vm);
          h.AddField("spec", &Input::spec);
        }
      };
    };

    using Fields = ::Tarn::Provider::Fields<&Input::vm, &Input::spec>;
    using Errors = ::Tarn::Provider::ErrorList<
        StdErrors::InvalidArgument, StdErrors::NotFound, StdErrors::ResourceBusy,
        StdErrors::AlreadyInDesiredState, StdErrors::Unauthenticated, StdErrors::Error>;
    static constexpr char wireName[] = "switch_on";
    static constexpr auto resourceField = &Input::vm;
  };

  struct SwitchOffMethod : MethodOf<SwitchOffMethod, ::Tarn::Void> {
    struct Input : ::Tarn::Data::BaseNative {
      static constexpr char nativeName[] =
          "::Com::Brantel::Kov::Vm::PowerSvc::SwitchOffMethod::Input";
      static constexpr char operationName[] = "::Com::Brantel::Kov::Vm::PowerSvc::SwitchOff";

      std::string vm;

      struct AdapterHelper {
        static constexpr ::Tarn::Data::SortedNames<1> sortedNames{{"vm"}};
        template <class Helper> static constexpr void AddFields(Helper& h) {
          h.AddField("vm", &Input::vm);
        }
      };
    };

    using Fields = ::Tarn::Provider::Fields<&Input::vm>;
    using Errors = ::Tarn::Provider::ErrorList<
        StdErrors::InvalidArgument, StdErrors::NotFound, StdErrors::ResourceBusy,
        StdErrors::Unauthenticated, StdErrors::Error>;
    static constexpr char wireName[] = "switch_off";
    static constexpr auto resourceField = &Input::vm;
  };

  struct ResetMethod : MethodOf<ResetMethod, ::Tarn::Void> {
    struct Input : ::Tarn::Data::BaseNative {
      static constexpr char nativeName[] = "::Com::Brantel::Kov::Vm::PowerSvc::ResetMethod::Input";
      static constexpr char operationName[] = "::Com::Brantel::Kov::Vm::PowerSvc::Reset";

      std::string vm;

      struct AdapterHelper {
        static constexpr ::Tarn::Data::SortedNames<1> sortedNames{{"vm"}};
        template <class Helper> static constexpr void AddFields(Helper& h) {
          h.AddField("vm", &Input::vm);
        }
      };
    };

    using Fields = ::Tarn::Provider::Fields<&Input::vm>;
    using Errors = ::Tarn::Provider::ErrorList<
        StdErrors::InvalidArgument, StdErrors::NotFound, StdErrors::NotAllowedInCurrentState,
        StdErrors::ResourceBusy, StdErrors::Unauthenticated, StdErrors::Error>;
    static constexpr char wireName[] = "reset";
    static constexpr auto resourceField = &Input::vm;
  };

  struct SuspendMethod : MethodOf<SuspendMethod, ::Tarn::Void> {
    struct Input : ::Tarn::Data::BaseNative {
      static constexpr char nativeName[] =
          "::Com::Brantel::Kov::Vm::PowerSvc::SuspendMethod::Input";
      static constexpr char operationName[] = "::Com::Brantel::Kov::Vm::PowerSvc::Suspend";

      std::string vm;

      struct AdapterHelper {
        static constexpr ::Tarn::Data::SortedNames<1> sortedNames{{"vm"}};
        template <class Helper> static constexpr void AddFields(Helper& h) {
          h.AddField("vm", &Input::vm);
        }
      };
    };

    using Fields = ::Tarn::Provider::Fields<&Input::vm>;
    using Errors = ::Tarn::Provider::ErrorList<
        StdErrors::InvalidArgument, StdErrors::NotFound, StdErrors::NotAllowedInCurrentState,
        StdErrors::ResourceBusy, StdErrors::Unauthenticated, StdErrors::Error>;
    static constexpr char wireName[] = "suspend";
    static constexpr auto resourceField = &Input::vm;
  };

  class KOV_EXPORT AsyncServiceInterface {
     public:
    static constexpr char typeName[] = "com.brantel.kov.vm.power";
    virtual void Get(
        const std::string& vm, const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
        const GetMethod::ResultCbType& result) = 0;
    virtual void SwitchOn(
        const std::string& vm, const std::shared_ptr<const SwitchOnSpec>& spec,
        const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
        const SwitchOnMethod::ResultCbType& result) = 0;
    virtual void SwitchOff(
        const std::string& vm, const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
        const SwitchOffMethod::ResultCbType& result) = 0;
    virtual void Reset(
        const std::string& vm, const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
        const ResetMethod::ResultCbType& result) = 0;
    virtual void Suspend(
        const std::string& vm, const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
        const SuspendMethod::ResultCbType& result) = 0;
    virtual ~AsyncServiceInterface();
  };

  class KOV_EXPORT AsyncServiceBinderHelper : public ::Tarn::Provider::BinderHelperBase {
     public:
    using GetMethodBuilder = ::Tarn::Provider::MethodBuilder<GetMethod, AsyncServiceInterface>;
    using SwitchOnMethodBuilder =
        ::Tarn::Provider::MethodBuilder<SwitchOnMethod, AsyncServiceInterface>;
    using SwitchOffMethodBuilder =
        ::Tarn::Provider::MethodBuilder<SwitchOffMethod, AsyncServiceInterface>;
    using ResetMethodBuilder = ::Tarn::Provider::MethodBuilder<ResetMethod, AsyncServiceInterface>;
    using SuspendMethodBuilder =
        ::Tarn::Provider::MethodBuilder<SuspendMethod, AsyncServiceInterface>;
    static std::shared_ptr<::Tarn::Provider::AsyncApiInterface> Bind(
        const std::shared_ptr<AsyncServiceInterface>& implementation,
        const std::shared_ptr<::Tarn::L10n::Localizer>& localizer);
  };

  using AsyncServiceBinder =
      ::Tarn::Provider::Binder<AsyncServiceBinderHelper, AsyncServiceInterface>;

  class KOV_EXPORT AsyncServiceStub : public AsyncServiceInterface {
     public:
    explicit AsyncServiceStub(std::shared_ptr<::Tarn::Stub::AsyncApiStub> apiStub)
        : apiStub_(std::move(apiStub)) {}
    void Get(
        const std::string& vm, const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
        const GetMethod::ResultCbType& result) override;
    void SwitchOn(
        const std::string& vm, const std::shared_ptr<const SwitchOnSpec>& spec,
        const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
        const SwitchOnMethod::ResultCbType& result) override;
    void SwitchOff(
        const std::string& vm, const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
        const SwitchOffMethod::ResultCbType& result) override;
    void Reset(
        const std::string& vm, const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
        const ResetMethod::ResultCbType& result) override;
    void Suspend(
        const std::string& vm, const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
        const SuspendMethod::ResultCbType& result) override;

   private:
    std::shared_ptr<::Tarn::Stub::AsyncApiStub> apiStub_;
  };
};

}  // namespace Com::Brantel::Kov::Vm
