// Generated from schema/dock.toml by codegen/generate.py. Do not edit.
#pragma once

#include "binding/service.h"

namespace Com::Brantel::Kov::Vm {

// The dock service: lists the items of the dock, each naming a virtual machine, and loads a
// machine.
class KOV_EXPORT DockSvc {
 public:
  class AsyncServiceInterface;
  template <class M, class Output>
  using MethodOf = ::Tarn::Provider::MethodBase<M, AsyncServiceInterface, Output>;

  // One item of the dock.
  struct Info : ::Tarn::Data::BaseNative {
    static constexpr char typeName[] = "com.brantel.kov.vm.dock.info";
    static constexpr char nativeName[] = "::Com::Brantel::Kov::Vm::DockSvc::Info";

    std::string vm;

    struct AdapterHelper {
      static constexpr ::Tarn::Data::SortedNames<1> sortedNames{{"vm"}};
      template <class Helper> static constexpr void AddFields(Helper& h) {
        h.AddField("vm", &Info::vm);
      }
    };
    struct Metadata {
      static constexpr char name[] = "com.brantel.kov.vm.Dock.Info";
      static constexpr ::Tarn::Metadata::ResourceField fields[] = {
          {"vm", "com.brantel.kov.vm.VirtualMachine"},
      };
    };
  };

  // The items of the dock, in the dock's order.
  struct ListResult : ::Tarn::Data::BaseNative {
    static constexpr char typeName[] = "com.brantel.kov.vm.dock.list_result";
    static constexpr char nativeName[] = "::Com::Brantel::Kov::Vm::DockSvc::ListResult";

    std::vector<std::shared_ptr<const Info>> items;

    struct AdapterHelper {
      static constexpr ::Tarn::Data::SortedNames<1> sortedNames{{"items"}};
      template <class Helper> static constexpr void AddFields(Helper& h) {
        h.AddField("items", &ListResult::items);
      }
    };
  };

  struct LoadMethod : MethodOf<LoadMethod, ::Tarn::Void> {
    struct Input : ::Tarn::Data::BaseNative {
      static constexpr char nativeName[] = "::Com::Brantel::Kov::Vm::DockSvc::LoadMethod::Input";
      static constexpr char operationName[] = "::Com::Brantel::Kov::Vm::DockSvc::Load";

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
        StdErrors::InvalidArgument, StdErrors::Unauthenticated, StdErrors::NotFound,
        StdErrors::Error>;
    static constexpr char wireName[] = "load";
    static constexpr auto resourceField = &Input::vm;
  };

  struct ListMethod : MethodOf<ListMethod, std::shared_ptr<const ListResult>> {
    using Input = ::Tarn::OperationInput;
    using Fields = ::Tarn::Provider::Fields<>;
    using Errors = ::Tarn::Provider::ErrorList<StdErrors::Unauthenticated>;
    static constexpr char wireName[] = "list";
    static constexpr bool readsOnly = true;
  };

  class KOV_EXPORT AsyncServiceInterface {
     public:
    static constexpr char typeName[] = "com.brantel.kov.vm.dock";
    virtual void Load(
        const std::string& vm, const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
        const LoadMethod::ResultCbType& result) = 0;
    virtual void List(
        const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
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

  using AsyncServiceBinder =
      ::Tarn::Provider::Binder<AsyncServiceBinderHelper, AsyncServiceInterface>;

  class KOV_EXPORT AsyncServiceStub : public AsyncServiceInterface {
     public:
    explicit AsyncServiceStub(std::shared_ptr<::Tarn::Stub::AsyncApiStub> apiStub)
        : apiStub_(std::move(apiStub)) {}
    void Load(
        const std::string& vm, const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
        const LoadMethod::ResultCbType& result) override;
    void List(
        const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
        const ListMethod::ResultCbType& result) override;

   private:
    std::shared_ptr<::Tarn::Stub::AsyncApiStub> apiStub_;
  };
};

}  // namespace Com::Brantel::Kov::Vm
