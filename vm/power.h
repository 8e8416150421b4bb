// Generated from schema/power.toml by codegen/generate.py. Do not edit.
#pragma once

#include "binding/service.h"

namespace Com {
namespace Brantel {
namespace Kov {
namespace Vm {

// The power service: reports whether a virtual machine is on or off (and, when off, whether it is
// suspended), and switches it on, off, resets and suspends it.
class KOV_EXPORT PowerSvc {
 public:
  class AsyncServiceInterface;

  // The power state of a machine; OFF includes a suspended machine.
  class State : public ::Tarn::Enum {
   public:
    enum Value : std::int32_t { ON, OFF, _UNKNOWN };
    struct Strings {
      static constexpr const char* values[] = {"ON", "OFF", "_UNKNOWN", nullptr};
    };
    static constexpr const char typeName[] = "com.brantel.kov.vm.power.state";
    // NOLINTNEXTLINE(google-explicit-constructor)
    State(Value value = _UNKNOWN) : ::Tarn::Enum(value) {}
    Value value() const { return static_cast<Value>(number()); }
  };

  struct InfoAnnotations {
    class UnionTags : public ::Tarn::Enum {
     public:
      enum Value : std::int32_t { state, _UNKNOWN };
      struct Strings {
        static constexpr const char* values[] = {"state", "_UNKNOWN", nullptr};
      };
      // NOLINTNEXTLINE(google-explicit-constructor)
      UnionTags(Value value = _UNKNOWN) : ::Tarn::Enum(value) {}
      Value value() const { return static_cast<Value>(number()); }
    };

    class SuspendedUnionCases : public ::Tarn::Enum {
     public:
      enum Value : std::int32_t { OFF, _UNKNOWN };
      struct Strings {
        static constexpr const char* values[] = {"OFF", "_UNKNOWN", nullptr};
      };
      // NOLINTNEXTLINE(google-explicit-constructor)
      SuspendedUnionCases(Value value = _UNKNOWN) : ::Tarn::Enum(value) {}
      Value value() const { return static_cast<Value>(number()); }
    };
  };

  // The power state of a machine.
  struct Info : ::Tarn::Data::BaseNative {
    static constexpr const char typeName[] = "com.brantel.kov.vm.power.info";
    static constexpr const char nativeName[] = "::Com::Brantel::Kov::Vm::PowerSvc::Info";

    State state;
    boost::optional<bool> suspended;

    // The union's tag, and the tag values that require or allow each field it governs.
    using UnionTags = InfoAnnotations::UnionTags;
    using SuspendedCase = ::Tarn::Data::UnionCaseAnyEnumValue<InfoAnnotations::SuspendedUnionCases>;

    struct AdapterHelper {
      static constexpr ::Tarn::Data::SortedNames<2> sortedNames{{"state", "suspended"}};
      template <class Helper>
      static void AddFields(Helper& h) {
        h.AddField("state", &Info::state);
        h.AddField("suspended", &Info::suspended,
                   ::Tarn::Data::UnionCase<UnionTags, SuspendedCase>());
      }
    };

    struct UnionRules {
      template <class Checker>
      static void Check(Checker& c) {
        c.template MissingTag<UnionTags>(&Info::state);
        c.Case(&Info::state, &Info::suspended, "suspended", SuspendedCase());
      }
    };
  };

  // How a machine is switched on; unset members leave the choice to the host.
  struct SwitchOnSpec : ::Tarn::Data::BaseNative {
    static constexpr const char typeName[] = "com.brantel.kov.vm.power.switch_on_spec";
    static constexpr const char nativeName[] = "::Com::Brantel::Kov::Vm::PowerSvc::SwitchOnSpec";

    boost::optional<bool> paused;
    boost::optional<bool> soft;

    struct AdapterHelper {
      static constexpr ::Tarn::Data::SortedNames<2> sortedNames{{"paused", "soft"}};
      template <class Helper>
      static void AddFields(Helper& h) {
        h.AddField("paused", &SwitchOnSpec::paused);
        h.AddField("soft", &SwitchOnSpec::soft);
      }
    };
  };

  struct GetMethod : ::Tarn::Provider::MethodBase<GetMethod> {
    struct Input : ::Tarn::Data::BaseNative {
      static constexpr const char nativeName[] =
          "::Com::Brantel::Kov::Vm::PowerSvc::GetMethod::Input";
      static constexpr const char operationName[] = "::Com::Brantel::Kov::Vm::PowerSvc::Get";

      std::string vm;

      struct AdapterHelper {
        static constexpr ::Tarn::Data::SortedNames<1> sortedNames{{"vm"}};
        template <class Helper>
        static void AddFields(Helper& h) {
          h.AddField("vm", &Input::vm);
        }
      };
    };

    using Interface = AsyncServiceInterface;
    using Output = std::shared_ptr<const Info>;
    using ResultCbType = ::Tarn::AsyncResult<Output, ::Tarn::AsyncResultTerminateCbPolicy>;
    using Fields = ::Tarn::Provider::Fields<&Input::vm>;
    using Errors = ::Tarn::Provider::ErrorList<::Com::Brantel::Tarn::Std::Errors::InvalidArgument,
                                               ::Com::Brantel::Tarn::Std::Errors::NotFound,
                                               ::Com::Brantel::Tarn::Std::Errors::Unauthenticated,
                                               ::Com::Brantel::Tarn::Std::Errors::Error>;
    static constexpr const char wireName[] = "get";
    static constexpr auto resourceField = &Input::vm;
    static constexpr const char resourceType[] = "com.brantel.kov.vm.VirtualMachine";
  };

  struct SwitchOnMethod : ::Tarn::Provider::MethodBase<SwitchOnMethod> {
    struct Input : ::Tarn::Data::BaseNative {
      static constexpr const char nativeName[] =
          "::Com::Brantel::Kov::Vm::PowerSvc::SwitchOnMethod::Input";
      static constexpr const char operationName[] = "::Com::Brantel::Kov::Vm::PowerSvc::SwitchOn";

      std::string vm;
      std::shared_ptr<const SwitchOnSpec> spec;

      struct AdapterHelper {
        static constexpr ::Tarn::Data::SortedNames<2> sortedNames{{"spec", "vm"}};
        template <class Helper>
        static void AddFields(Helper& h) {
          h.AddField("vm", &Input::vm);
          h.AddField("spec", &Input::spec);
        }
      };
    };

    using Interface = AsyncServiceInterface;
    using Output = ::Tarn::Void;
    using ResultCbType = ::Tarn::AsyncResult<Output, ::Tarn::AsyncResultTerminateCbPolicy>;
    using Fields = ::Tarn::Provider::Fields<&Input::vm, &Input::spec>;
    using Errors =
        ::Tarn::Provider::ErrorList<::Com::Brantel::Tarn::Std::Errors::InvalidArgument,
                                    ::Com::Brantel::Tarn::Std::Errors::NotFound,
                                    ::Com::Brantel::Tarn::Std::Errors::ResourceBusy,
                                    ::Com::Brantel::Tarn::Std::Errors::AlreadyInDesiredState,
                                    ::Com::Brantel::Tarn::Std::Errors::Unauthenticated,
                                    ::Com::Brantel::Tarn::Std::Errors::Error>;
    static constexpr const char wireName[] = "switch_on";
    static constexpr auto resourceField = &Input::vm;
    static constexpr const char resourceType[] = "com.brantel.kov.vm.VirtualMachine";
  };

  struct SwitchOffMethod : ::Tarn::Provider::MethodBase<SwitchOffMethod> {
    struct Input : ::Tarn::Data::BaseNative {
      static constexpr const char nativeName[] =
          "::Com::Brantel::Kov::Vm::PowerSvc::SwitchOffMethod::Input";
      static constexpr const char operationName[] = "::Com::Brantel::Kov::Vm::PowerSvc::SwitchOff";

      std::string vm;

      struct AdapterHelper {
        static constexpr ::Tarn::Data::SortedNames<1> sortedNames{{"vm"}};
        template <class Helper>
        static void AddFields(Helper& h) {
          h.AddField("vm", &Input::vm);
        }
      };
    };

    using Interface = AsyncServiceInterface;
    using Output = ::Tarn::Void;
    using ResultCbType = ::Tarn::AsyncResult<Output, ::Tarn::AsyncResultTerminateCbPolicy>;
    using Fields = ::Tarn::Provider::Fields<&Input::vm>;
    using Errors = ::Tarn::Provider::ErrorList<::Com::Brantel::Tarn::Std::Errors::InvalidArgument,
                                               ::Com::Brantel::Tarn::Std::Errors::NotFound,
                                               ::Com::Brantel::Tarn::Std::Errors::ResourceBusy,
                                               ::Com::Brantel::Tarn::Std::Errors::Unauthenticated,
                                               ::Com::Brantel::Tarn::Std::Errors::Error>;
    static constexpr const char wireName[] = "switch_off";
    static constexpr auto resourceField = &Input::vm;
    static constexpr const char resourceType[] = "com.brantel.kov.vm.VirtualMachine";
  };

  struct ResetMethod : ::Tarn::Provider::MethodBase<ResetMethod> {
    struct Input : ::Tarn::Data::BaseNative {
      static constexpr const char nativeName[] =
          "::Com::Brantel::Kov::Vm::PowerSvc::ResetMethod::Input";
      static constexpr const char operationName[] = "::Com::Brantel::Kov::Vm::PowerSvc::Reset";

      std::string vm;

      struct AdapterHelper {
        static constexpr ::Tarn::Data::SortedNames<1> sortedNames{{"vm"}};
        template <class Helper>
        static void AddFields(Helper& h) {
          h.AddField("vm", &Input::vm);
        }
      };
    };

    using Interface = AsyncServiceInterface;
    using Output = ::Tarn::Void;
    using ResultCbType = ::Tarn::AsyncResult<Output, ::Tarn::AsyncResultTerminateCbPolicy>;
    using Fields = ::Tarn::Provider::Fields<&Input::vm>;
    using Errors =
        ::Tarn::Provider::ErrorList<::Com::Brantel::Tarn::Std::Errors::InvalidArgument,
                                    ::Com::Brantel::Tarn::Std::Errors::NotFound,
                                    ::Com::Brantel::Tarn::Std::Errors::NotAllowedInCurrentState,
                                    ::Com::Brantel::Tarn::Std::Errors::ResourceBusy,
                                    ::Com::Brantel::Tarn::Std::Errors::Unauthenticated,
                                    ::Com::Brantel::Tarn::Std::Errors::Error>;
    static constexpr const char wireName[] = "reset";
    static constexpr auto resourceField = &Input::vm;
    static constexpr const char resourceType[] = "com.brantel.kov.vm.VirtualMachine";
  };

  struct SuspendMethod : ::Tarn::Provider::MethodBase<SuspendMethod> {
    struct Input : ::Tarn::Data::BaseNative {
      static constexpr const char nativeName[] =
          "::Com::Brantel::Kov::Vm::PowerSvc::SuspendMethod::Input";
      static constexpr const char operationName[] = "::Com::Brantel::Kov::Vm::PowerSvc::Suspend";

      std::string vm;

      struct AdapterHelper {
        static constexpr ::Tarn::Data::SortedNames<1> sortedNames{{"vm"}};
        template <class Helper>
        static void AddFields(Helper& h) {
          h.AddField("vm", &Input::vm);
        }
      };
    };

    using Interface = AsyncServiceInterface;
    using Output = ::Tarn::Void;
    using ResultCbType = ::Tarn::AsyncResult<Output, ::Tarn::AsyncResultTerminateCbPolicy>;
    using Fields = ::Tarn::Provider::Fields<&Input::vm>;
    using Errors =
        ::Tarn::Provider::ErrorList<::Com::Brantel::Tarn::Std::Errors::InvalidArgument,
                                    ::Com::Brantel::Tarn::Std::Errors::NotFound,
                                    ::Com::Brantel::Tarn::Std::Errors::NotAllowedInCurrentState,
                                    ::Com::Brantel::Tarn::Std::Errors::ResourceBusy,
                                    ::Com::Brantel::Tarn::Std::Errors::Unauthenticated,
                                    ::Com::Brantel::Tarn::Std::Errors::Error>;
    static constexpr const char wireName[] = "suspend";
    static constexpr auto resourceField = &Input::vm;
    static constexpr const char resourceType[] = "com.brantel.kov.vm.VirtualMachine";
  };

  class KOV_EXPORT AsyncServiceInterface {
   public:
    static constexpr const char typeName[] = "com.brantel.kov.vm.power";
    virtual void Get(const std::string& vm,
                     const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
                     const GetMethod::ResultCbType& result) = 0;
    virtual void SwitchOn(const std::string& vm, const std::shared_ptr<const SwitchOnSpec>& spec,
                          const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
                          const SwitchOnMethod::ResultCbType& result) = 0;
    virtual void SwitchOff(const std::string& vm,
                           const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
                           const SwitchOffMethod::ResultCbType& result) = 0;
    virtual void Reset(const std::string& vm,
                       const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
                       const ResetMethod::ResultCbType& result) = 0;
    virtual void Suspend(const std::string& vm,
                         const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
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

  class KOV_EXPORT AsyncServiceBinder {
   public:
    static std::shared_ptr<::Tarn::Provider::AsyncApiInterface> BindImplementation(
        const std::shared_ptr<AsyncServiceInterface>& implementation);
    static std::shared_ptr<::Tarn::Provider::AsyncApiInterface> BindImplementation(
        const std::shared_ptr<AsyncServiceInterface>& implementation,
        const std::shared_ptr<::Tarn::L10n::Localizer>& localizer);
  };

  class KOV_EXPORT AsyncServiceStub : public AsyncServiceInterface {
   public:
    explicit AsyncServiceStub(std::shared_ptr<::Tarn::Stub::AsyncApiStub> apiStub)
        : apiStub_(std::move(apiStub)) {}
    void Get(const std::string& vm,
             const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
             const GetMethod::ResultCbType& result) override;
    void SwitchOn(const std::string& vm, const std::shared_ptr<const SwitchOnSpec>& spec,
                  const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
                  const SwitchOnMethod::ResultCbType& result) override;
    void SwitchOff(const std::string& vm,
                   const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
                   const SwitchOffMethod::ResultCbType& result) override;
    void Reset(const std::string& vm,
               const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
               const ResetMethod::ResultCbType& result) override;
    void Suspend(const std::string& vm,
                 const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
                 const SuspendMethod::ResultCbType& result) override;

   private:
    std::shared_ptr<::Tarn::Stub::AsyncApiStub> apiStub_;
  };
};

}  // namespace Vm
}  // namespace Kov
}  // namespace Brantel
}  // namespace Com
