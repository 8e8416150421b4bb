// Generated from schema/zub.toml by codegen/generate.py. Do not edit.
#pragma once

#include "binding/service.h"

namespace Com::Brantel::Kov::Vm {

// The machine configuration service: creates and deletes the configuration of a virtual machine.
class KOV_EXPORT ZubSvc {
 public:
  class AsyncServiceInterface;
  template <class M, class Output>
  using MethodOf = ::Tarn::Provider::MethodBase<M, AsyncServiceInterface, Output>;

  // What a new configuration is made of: the machine, its guest operating system and, optionally,
  // its hardware version.
  struct CreateSpec : ::Tarn::Data::BaseNative {
    static constexpr char typeName[] = "com.brantel.kov.vm.zub.create_spec";
    static constexpr char nativeName[] = "::Com::Brantel::Kov::Vm::ZubSvc::CreateSpec";

    std::string vm;
    std::string guestOS;
    boost::optional<std::string> hwVersion;

    struct AdapterHelper {
      static constexpr ::Tarn::Data::SortedNames<3> sortedNames{{"guest_OS", "hw_version", "vm"}};
      template <class Helper> static constexpr void AddFields(Helper& h) {
        h.AddField("vm", &CreateSpec::vm);
        h.AddField("guest_OS", &CreateSpec::guestOS);
        h.AddField("hw_version", &CreateSpec::hwVersion);
      }
    };
    struct Metadata {
      static constexpr char name[] = "com.brantel.kov.vm.Zub.CreateSpec";
      static constexpr ::Tarn::Metadata::ResourceField fields[] = {
          {"vm", "com.brantel.kov.vm.VirtualMachine"},
      };
    };
  };

  struct CreateMethod : MethodOf<CreateMethod, ::Tarn::Void> {
    struct Input : ::Tarn::Data::BaseNative {
      static constexpr char nativeName[] = "::Com::Brantel::Kov::Vm::ZubSvc::CreateMethod::Input";
      static constexpr char operationName[] = "::Com::Brantel::Kov::Vm::ZubSvc::Create";

      std::shared_ptr<const CreateSpec> spec;

      struct AdapterHelper {
        static constexpr ::Tarn::Data::SortedNames<1> sortedNames{{"spec"}};
        template <class Helper> static constexpr void AddFields(Helper& h) {
          h.AddField("spec", &Input::spec);
        }
      };
    };

    using Fields = ::Tarn::Provider::Fields<&Input::spec>;
    using Errors = ::Tarn::Provider::ErrorList<StdErrors::Error>;
    static constexpr char wireName[] = "create";
  };

  struct DeleteMethod : MethodOf<DeleteMethod, ::Tarn::Void> {
    struct Input : ::Tarn::Data::BaseNative {
      static constexpr char nativeName[] = "::Com::Brantel::Kov::Vm::ZubSvc::DeleteMethod::Input";
      static constexpr char operationName[] = "::Com::Brantel::Kov::Vm::ZubSvc::Delete";

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
        StdErrors::NotFound, StdErrors::NotAllowedInCurrentState, StdErrors::Error>;
    static constexpr char wireName[] = "delete";
    static constexpr auto resourceField = &Input::vm;
  };

  class KOV_EXPORT AsyncServiceInterface {
     public:
    static constexpr char typeName[] = "com.brantel.kov.vm.zub";
    virtual void Create(
        const std::shared_ptr<const CreateSpec>& spec,
        const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
        const CreateMethod::ResultCbType& result) = 0;
    virtual void Delete(
        const std::string& vm, const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
        const DeleteMethod::ResultCbType& result) = 0;
    virtual ~AsyncServiceInterface();
  };

  class KOV_EXPORT AsyncServiceBinderHelper : public ::Tarn::Provider::BinderHelperBase {
     public:
    using CreateMethodBuilder =
        ::Tarn::Provider::MethodBuilder<CreateMethod, AsyncServiceInterface>;
    using DeleteMethodBuilder =
        ::Tarn::Provider::MethodBuilder<DeleteMethod, AsyncServiceInterface>;
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
    void Create(
        const std::shared_ptr<const CreateSpec>& spec,
        const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
        const CreateMethod::ResultCbType& result) override;
    void Delete(
        const std::string& vm, const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
        const DeleteMethod::ResultCbType& result) override;

   private:
    std::shared_ptr<::Tarn::Stub::AsyncApiStub> apiStub_;
  };
};

}  // namespace Com::Brantel::Kov::Vm
