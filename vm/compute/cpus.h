// Generated from schema/compute/cpus.toml by codegen/generate.py. Do not edit.
#pragma once

#include "binding/service.h"

namespace Com {
namespace Brantel {
namespace Kov {
namespace Vm {
namespace Compute {

// The CPU service: reads and changes the number of virtual CPUs of a virtual machine, its cores per
// socket, and whether CPUs may be added or removed while it runs.
class KOV_EXPORT CpusSvc {
 public:
  class AsyncServiceInterface;

  struct Info : ::Tarn::Data::BaseNative {
    static constexpr const char typeName[] = "com.brantel.kov.vm.compute.cpus.info";
    static constexpr const char nativeName[] = "::Com::Brantel::Kov::Vm::Compute::CpusSvc::Info";

    std::int64_t count = 0;
    std::int64_t coresPerSocket = 0;
    bool hotAddEnabled = false;
    bool hotRemoveEnabled = false;

    struct AdapterHelper {
      static constexpr ::Tarn::Data::SortedNames<4> sortedNames{
          {"cores_per_socket", "count", "hot_add_enabled", "hot_remove_enabled"}};
      template <class Helper>
      static void AddFields(Helper& h) {
        h.AddField("count", &Info::count);
        h.AddField("cores_per_socket", &Info::coresPerSocket);
        h.AddField("hot_add_enabled", &Info::hotAddEnabled);
        h.AddField("hot_remove_enabled", &Info::hotRemoveEnabled);
      }
    };
  };

  struct UpdateSpec : ::Tarn::Data::BaseNative {
    static constexpr const char typeName[] = "com.brantel.kov.vm.compute.cpus.update_spec";
    static constexpr const char nativeName[] =
        "::Com::Brantel::Kov::Vm::Compute::CpusSvc::UpdateSpec";

    boost::optional<std::int64_t> count;
    boost::optional<std::int64_t> coresPerSocket;
    boost::optional<bool> hotAddEnabled;
    boost::optional<bool> hotRemoveEnabled;

    struct AdapterHelper {
      static constexpr ::Tarn::Data::SortedNames<4> sortedNames{
          {"cores_per_socket", "count", "hot_add_enabled", "hot_remove_enabled"}};
      template <class Helper>
      static void AddFields(Helper& h) {
        h.AddField("count", &UpdateSpec::count);
        h.AddField("cores_per_socket", &UpdateSpec::coresPerSocket);
        h.AddField("hot_add_enabled", &UpdateSpec::hotAddEnabled);
        h.AddField("hot_remove_enabled", &UpdateSpec::hotRemoveEnabled);
      }
    };
  };

  struct GetMethod : ::Tarn::Provider::MethodBase<GetMethod> {
    struct Input : ::Tarn::Data::BaseNative {
      static constexpr const char nativeName[] =
          "::Com::Brantel::Kov::Vm::Compute::CpusSvc::GetMethod::Input";
      static constexpr const char operationName[] =
          "::Com::Brantel::Kov::Vm::Compute::CpusSvc::Get";

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
    using Errors =
        ::Tarn::Provider::ErrorList<::Com::Brantel::Tarn::Std::Errors::Error,
                                    ::Com::Brantel::Tarn::Std::Errors::NotFound,
                                    ::Com::Brantel::Tarn::Std::Errors::ResourceInaccessible,
                                    ::Com::Brantel::Tarn::Std::Errors::ServiceUnavailable,
                                    ::Com::Brantel::Tarn::Std::Errors::Unauthenticated,
                                    ::Com::Brantel::Tarn::Std::Errors::Unauthorized>;
    static constexpr const char wireName[] = "get";
    static constexpr auto resourceField = &Input::vm;
    static constexpr const char resourceType[] = "com.brantel.kov.vm.VirtualMachine";
  };

  struct UpdateMethod : ::Tarn::Provider::MethodBase<UpdateMethod> {
    struct Input : ::Tarn::Data::BaseNative {
      static constexpr const char nativeName[] =
          "::Com::Brantel::Kov::Vm::Compute::CpusSvc::UpdateMethod::Input";
      static constexpr const char operationName[] =
          "::Com::Brantel::Kov::Vm::Compute::CpusSvc::Update";

      std::string vm;
      std::shared_ptr<const UpdateSpec> updateSpec;

      struct AdapterHelper {
        static constexpr ::Tarn::Data::SortedNames<2> sortedNames{{"update_spec", "vm"}};
        template <class Helper>
        static void AddFields(Helper& h) {
          h.AddField("vm", &Input::vm);
          h.AddField("update_spec", &Input::updateSpec);
        }
      };
    };

    using Interface = AsyncServiceInterface;
    using Output = ::Tarn::Void;
    using ResultCbType = ::Tarn::AsyncResult<Output, ::Tarn::AsyncResultTerminateCbPolicy>;
    using Fields = ::Tarn::Provider::Fields<&Input::vm, &Input::updateSpec>;
    using Errors =
        ::Tarn::Provider::ErrorList<::Com::Brantel::Tarn::Std::Errors::Error,
                                    ::Com::Brantel::Tarn::Std::Errors::NotFound,
                                    ::Com::Brantel::Tarn::Std::Errors::InvalidArgument,
                                    ::Com::Brantel::Tarn::Std::Errors::NotAllowedInCurrentState,
                                    ::Com::Brantel::Tarn::Std::Errors::ResourceBusy,
                                    ::Com::Brantel::Tarn::Std::Errors::ResourceInaccessible,
                                    ::Com::Brantel::Tarn::Std::Errors::ServiceUnavailable,
                                    ::Com::Brantel::Tarn::Std::Errors::Unauthenticated,
                                    ::Com::Brantel::Tarn::Std::Errors::Unauthorized>;
    static constexpr const char wireName[] = "update";
    static constexpr auto resourceField = &Input::vm;
    static constexpr const char resourceType[] = "com.brantel.kov.vm.VirtualMachine";
  };

  class KOV_EXPORT AsyncServiceInterface {
   public:
    static constexpr const char typeName[] = "com.brantel.kov.vm.compute.cpus";
    virtual void Get(const std::string& vm,
                     const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
                     const GetMethod::ResultCbType& result) = 0;
    virtual void Update(const std::string& vm, const std::shared_ptr<const UpdateSpec>& updateSpec,
                        const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
                        const UpdateMethod::ResultCbType& result) = 0;
    virtual ~AsyncServiceInterface();
  };

  class KOV_EXPORT AsyncServiceBinderHelper : public ::Tarn::Provider::BinderHelperBase {
   public:
    using GetMethodBuilder = ::Tarn::Provider::MethodBuilder<GetMethod, AsyncServiceInterface>;
    using UpdateMethodBuilder =
        ::Tarn::Provider::MethodBuilder<UpdateMethod, AsyncServiceInterface>;
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
    void Update(const std::string& vm, const std::shared_ptr<const UpdateSpec>& updateSpec,
                const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
                const UpdateMethod::ResultCbType& result) override;

   private:
    std::shared_ptr<::Tarn::Stub::AsyncApiStub> apiStub_;
  };
};

}  // namespace Compute
}  // namespace Vm
}  // namespace Kov
}  // namespace Brantel
}  // namespace Com
