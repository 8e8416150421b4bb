// Generated from schema/compute/memory.toml by codegen/generate.py. Do not edit.
#pragma once

#include "binding/service.h"

namespace Com {
namespace Brantel {
namespace Kov {
namespace Vm {
namespace Compute {

// The memory service: reads and changes the memory size of a virtual machine and whether memory may
// be added while it runs.
class KOV_EXPORT MemorySvc {
 public:
  class AsyncServiceInterface;

  struct Properties : ::Tarn::Data::BaseNative {
    static constexpr const char typeName[] = "com.brantel.kov.vm.compute.memory.properties";
    static constexpr const char nativeName[] =
        "::Com::Brantel::Kov::Vm::Compute::MemorySvc::Properties";

    std::int64_t size = 0;
    bool hotAddEnabled = false;

    struct AdapterHelper {
      static constexpr ::Tarn::Data::SortedNames<2> sortedNames{{"hot_add_enabled", "size"}};
      template <class Helper>
      static void AddFields(Helper& h) {
        h.AddField("size", &Properties::size);
        h.AddField("hot_add_enabled", &Properties::hotAddEnabled);
      }
    };
  };

  // The changes to make; unset members stay as they are.
  struct UpdateSpec : ::Tarn::Data::BaseNative {
    static constexpr const char typeName[] = "com.brantel.kov.vm.compute.memory.update_spec";
    static constexpr const char nativeName[] =
        "::Com::Brantel::Kov::Vm::Compute::MemorySvc::UpdateSpec";

    boost::optional<std::int64_t> size;
    boost::optional<bool> hotAddEnabled;

    struct AdapterHelper {
      static constexpr ::Tarn::Data::SortedNames<2> sortedNames{{"hot_add_enabled", "size"}};
      template <class Helper>
      static void AddFields(Helper& h) {
        h.AddField("size", &UpdateSpec::size);
        h.AddField("hot_add_enabled", &UpdateSpec::hotAddEnabled);
      }
    };
  };

  struct GetMethod : ::Tarn::Provider::MethodBase<GetMethod> {
    struct Input : ::Tarn::Data::BaseNative {
      static constexpr const char nativeName[] =
          "::Com::Brantel::Kov::Vm::Compute::MemorySvc::GetMethod::Input";
      static constexpr const char operationName[] =
          "::Com::Brantel::Kov::Vm::Compute::MemorySvc::Get";

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
    using Output = std::shared_ptr<const Properties>;
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
          "::Com::Brantel::Kov::Vm::Compute::MemorySvc::UpdateMethod::Input";
      static constexpr const char operationName[] =
          "::Com::Brantel::Kov::Vm::Compute::MemorySvc::Update";

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
    static constexpr const char typeName[] = "com.brantel.kov.vm.compute.memory";
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
