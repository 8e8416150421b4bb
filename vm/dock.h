// Generated from schema/dock.toml by codegen/generate.py. Do not edit.
#pragma once

#include "binding/service.h"

namespace Com {
namespace Brantel {
namespace Kov {
namespace Vm {

// The dock service: lists the items of the dock, each naming a virtual machine, and loads a
// machine.
class KOV_EXPORT DockSvc {
 public:
  class AsyncServiceInterface;

  // One item of the dock.
  struct Info : ::Tarn::Data::BaseNative {
    static constexpr const char typeName[] = "com.brantel.kov.vm.dock.info";
    static constexpr const char nativeName[] = "::Com::Brantel::Kov::Vm::DockSvc::Info";

    std::string vm;

    struct AdapterHelper {
      static constexpr ::Tarn::Data::SortedNames<1> sortedNames{{"vm"}};
      template <class Helper>
      static void AddFields(Helper& h) {
        h.AddField("vm", &Info::vm);
      }
    };

    struct Metadata {
      static constexpr const char name[] = "com.brantel.kov.vm.Dock.Info";
      static constexpr ::Tarn::Metadata::ResourceField fields[] = {
          {"vm", "com.brantel.kov.vm.VirtualMachine"}};
    };
  };

  // The items of the dock, in the dock's order.
  struct ListResult : ::Tarn::Data::BaseNative {
    static constexpr const char typeName[] = "com.brantel.kov.vm.dock.list_result";
    static constexpr const char nativeName[] = "::Com::Brantel::Kov::Vm::DockSvc::ListResult";

    std::vector<std::shared_ptr<const Info>> items;

    struct AdapterHelper {
      static constexpr ::Tarn::Data::SortedNames<1> sortedNames{{"items"}};
      template <class Helper>
      static void AddFields(Helper& h) {
        h.AddField("items", &ListResult::items);
      }
    };
  };

  struct LoadMethod : ::Tarn::Provider::MethodBase<LoadMethod> {
    struct Input : ::Tarn::Data::BaseNative {
      static constexpr const char nativeName[] =
          "::Com::Brantel::Kov::Vm::DockSvc::LoadMethod::Input";
      static constexpr const char operationName[] = "::Com::Brantel::Kov::Vm::DockSvc::Load";

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
                                               ::Com::Brantel::Tarn::Std::Errors::Unauthenticated,
                                               ::Com::Brantel::Tarn::Std::Errors::NotFound,
                                               ::Com::Brantel::Tarn::Std::Errors::Error>;
    static constexpr const char wireName[] = "load";
    static constexpr auto resourceField = &Input::vm;
    static constexpr const char resourceType[] = "com.brantel.kov.vm.VirtualMachine";
  };

  struct ListMethod : ::Tarn::Provider::MethodBase<ListMethod> {
    using Input = ::Tarn::OperationInput;
    using Interface = AsyncServiceInterface;
    using Output = std::shared_ptr<const ListResult>;
    using ResultCbType = ::Tarn::AsyncResult<Output, ::Tarn::AsyncResultTerminateCbPolicy>;
    using Fields = ::Tarn::Provider::Fields<>;
    using Errors = ::Tarn::Provider::ErrorList<::Com::Brantel::Tarn::Std::Errors::Unauthenticated>;
    static constexpr const char wireName[] = "list";
    static constexpr std::nullptr_t resourceField = nullptr;
  };

  class KOV_EXPORT AsyncServiceInterface {
   public:
    static constexpr const char typeName[] = "com.brantel.kov.vm.dock";
    virtual void Load(const std::string& vm,
                      const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
                      const LoadMethod::ResultCbType& result) = 0;
    virtual void List(const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
                      const ListMethod::ResultCbType& result) = 0;
    virtual ~AsyncServiceInterface();
  };

  class KOV_EXPORT AsyncServiceBinderHelper : public ::Tarn::Provider::BinderHelperBase {
   public:
    using LoadMethodBuilder = ::Tarn::Provider::MethodBuilder<LoadMethod, AsyncServiceInterface>;
    using ListMethodBuilder = ::Tarn::Provider::MethodBuilder<ListMethod, AsyncServiceInterface>;
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
    void Load(const std::string& vm,
              const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
              const LoadMethod::ResultCbType& result) override;
    void List(const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
              const ListMethod::ResultCbType& result) override;

   private:
    std::shared_ptr<::Tarn::Stub::AsyncApiStub> apiStub_;
  };
};

}  // namespace Vm
}  // namespace Kov
}  // namespace Brantel
}  // namespace Com
