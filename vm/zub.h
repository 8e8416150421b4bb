// Generated from schema/zub.toml by codegen/generate.py. Do not edit.
#pragma once

#include "binding/service.h"

namespace Com {
namespace Brantel {
namespace Kov {
namespace Vm {

// The machine configuration service: creates and deletes the configuration of a virtual machine.
class KOV_EXPORT ZubSvc {
 public:
  class AsyncServiceInterface;

  // What a new configuration is made of: the machine, its guest operating system and, optionally,
  // its hardware version.
  struct CreateSpec : ::Tarn::Data::BaseNative {
    static constexpr const char typeName[] = "com.brantel.kov.vm.zub.create_spec";
    static constexpr const char nativeName[] = "::Com::Brantel::Kov::Vm::ZubSvc::CreateSpec";

    std::string vm;
    std::string guestOS;
    boost::optional<std::string> hwVersion;

    struct AdapterHelper {
      static constexpr ::Tarn::Data::SortedNames<3> sortedNames{{"guest_OS", "hw_version", "vm"}};
      template <class Helper>
      static void AddFields(Helper& h) {
        h.AddField("vm", &CreateSpec::vm);
        h.AddField("guest_OS", &CreateSpec::guestOS);
        h.AddField("hw_version", &CreateSpec::hwVersion);
      }
    };

    struct Metadata {
      static constexpr const char name[] = "com.brantel.kov.vm.Zub.CreateSpec";
      static constexpr ::Tarn::Metadata::ResourceField fields[] = {
          {"vm", "com.brantel.kov.vm.VirtualMachine"}};
    };
  };

  struct CreateMethod : ::Tarn::Provider::MethodBase<CreateMethod> {
    struct Input : ::Tarn::Data::BaseNative {
      static constexpr const char nativeName[] =
          "::Com::Brantel::Kov::Vm::ZubSvc::CreateMethod::Input";
      static constexpr const char operationName[] = "::Com::Brantel::Kov::Vm::ZubSvc::Create";

      std::shared_ptr<const CreateSpec> spec;

      struct AdapterHelper {
        static constexpr ::Tarn::Data::SortedNames<1> sortedNames{{"spec"}};
        template <class Helper>
        static void AddFields(Helper& h) {
          h.AddField("spec", &Input::spec);
        }
      };
    };

    using Interface = AsyncServiceInterface;
    using Output = ::Tarn::Void;
    using ResultCbType = ::Tarn::AsyncResult<Output, ::Tarn::AsyncResultTerminateCbPolicy>;
    using Fields = ::Tarn::Provider::Fields<&Input::spec>;
    using Errors = ::Tarn::Provider::ErrorList<::Com::Brantel::Tarn::Std::Errors::Error>;
    static constexpr const char wireName[] = "create";
    static constexpr std::nullptr_t resourceField = nullptr;
  };

  struct DeleteMethod : ::Tarn::Provider::MethodBase<DeleteMethod> {
    struct Input : ::Tarn::Data::BaseNative {
      static constexpr const char nativeName[] =
          "::Com::Brantel::Kov::Vm::ZubSvc::DeleteMethod::Input";
      static constexpr const char operationName[] = "::Com::Brantel::Kov::Vm::ZubSvc::Delete";

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
        ::Tarn::Provider::ErrorList<::Com::Brantel::Tarn::Std::Errors::NotFound,
                                    ::Com::Brantel::Tarn::Std::Errors::NotAllowedInCurrentState,
                                    ::Com::Brantel::Tarn::Std::Errors::Error>;
    static constexpr const char wireName[] = "delete";
    static constexpr auto resourceField = &Input::vm;
    static constexpr const char resourceType[] = "com.brantel.kov.vm.VirtualMachine";
  };

  class KOV_EXPORT AsyncServiceInterface {
   public:
    static constexpr const char typeName[] = "com.brantel.kov.vm.zub";
    virtual void Create(const std::shared_ptr<const CreateSpec>& spec,
                        const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
                        const CreateMethod::ResultCbType& result) = 0;
    virtual void Delete(const std::string& vm,
                        const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
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
    void Create(const std::shared_ptr<const CreateSpec>& spec,
                const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
                const CreateMethod::ResultCbType& result) override;
    void Delete(const std::string& vm,
                const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
                const DeleteMethod::ResultCbType& result) override;

   private:
    std::shared_ptr<::Tarn::Stub::AsyncApiStub> apiStub_;
  };
};

}  // namespace Vm
}  // namespace Kov
}  // namespace Brantel
}  // namespace Com
