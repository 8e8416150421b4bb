// Generated from schema/compute/memory.toml by codegen/generate.py. Do not edit.
#pragma once

#include "binding/service.h"

namespace Com::Brantel::Kov::Vm::Compute {

// The memory service: reads and changes the memory size of a virtual machine and whether memory may
// be added while it runs.
class KOV_EXPORT MemorySvc {
 public:
  class AsyncServiceInterface;
  template <class M, class Output>
  using MethodOf = ::Tarn::Provider::MethodBase<M, AsyncServiceInterface, Output>;

  struct Properties : ::Tarn::Data::BaseNative {
    static constexpr char typeName[] = "com.brantel.kov.vm.compute.memory.properties";
    static constexpr char nativeName[] = "::Com::Brantel::Kov::Vm::Compute::MemorySvc::Properties";

    std::int64_t size = 0;
    bool hotAddEnabled = false;

    struct AdapterHelper {
      static constexpr ::Tarn::Data::SortedNames<2> sortedNames{{"hot_add_enabled", "size"}};
      template <class Helper> static constexpr void AddFields(Helper& h) {
        h.AddField("size", &Properties::size);
        h.AddField("hot_add_enabled", &Properties::hotAddEnabled);
      }
    };
  };

  // The changes to make; unset members stay as they are.
  struct UpdateSpec : ::Tarn::Data::BaseNative {
    static constexpr char typeName[] = "com.brantel.kov.vm.compute.memory.update_spec";
    static constexpr char nativeName[] = "::Com::Brantel::Kov::Vm::Compute::MemorySvc::UpdateSpec";

    boost::optional<std::int64_t> size;
    boost::optional<bool> hotAddEnabled;

    struct AdapterHelper {
      static constexpr ::Tarn::Data::SortedNames<2> sortedNames{{"hot_add_enabled", "size"}};
      template <class Helper> static constexpr void AddFields(Helper& h) {
        h.AddField("size", &UpdateSpec::size);
        h.AddField("hot_add_enabled", &UpdateSpec::hotAddEnabled);
      }
    };
  };

  struct GetMethod : MethodOf<GetMethod, std::shared_ptr<const Properties>> {
    struct Input : ::Tarn::Data::BaseNative {
      static constexpr char nativeName[] =
          "::Com::Brantel::Kov::Vm::Compute::MemorySvc::GetMethod::Input";
      static constexpr char operationName[] = "::Com::Brantel::Kov::Vm::Compute::MemorySvc::Get";

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
        StdErrors::Error, StdErrors::NotFound, StdErrors::ResourceInaccessible,
        StdErrors::ServiceUnavailable, StdErrors::Unauthenticated, StdErrors::Unauthorized>;
    static constexpr char wireName[] = "get";
    static constexpr bool readsOnly = true;
    static constexpr auto resourceField = &Input::vm;
  };

  struct UpdateMethod : MethodOf<UpdateMethod, ::Tarn::Void> {
    struct Input : ::Tarn::Data::BaseNative {
      static constexpr char nativeName[] =
          "::Com::Brantel::Kov::Vm::Compute::MemorySvc::UpdateMethod::Input";
      static constexpr char operationName[] = "::Com::Brantel::Kov::Vm::Compute::MemorySvc::Update";

      std::string vm;
      std::shared_ptr<const UpdateSpec> updateSpec;

      struct AdapterHelper {
        static constexpr ::Tarn::Data::SortedNames<2> sortedNames{{"update_spec", "vm"}};
        template <class Helper> static constexpr void AddFields(Helper& h) {
          h.AddField("vm", &Input::vm);
          h.AddField("update_spec", &Input::updateSpec);
        }
      };
    };

    using Fields = ::Tarn::Provider::Fields<&Input::vm, &Input::updateSpec>;
    using Errors = ::Tarn::Provider::ErrorList<
        StdErrors::Error, StdErrors::NotFound, StdErrors::InvalidArgument,
        StdErrors::NotAllowedInCurrentState, StdErrors::ResourceBusy,
        StdErrors::ResourceInaccessible, StdErrors::ServiceUnavailable, StdErrors::Unauthenticated,
        StdErrors::Unauthorized>;
    static constexpr char wireName[] = "update";
    static constexpr auto resourceField = &Input::vm;
  };

  class KOV_EXPORT AsyncServiceInterface {
     public:
    static constexpr char typeName[] = "com.brantel.kov.vm.compute.memory";
    virtual void Get(
        const std::string& vm, const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
        const GetMethod::ResultCbType& result) = 0;
    virtual void Update(
        const std::string& vm, const std::shared_ptr<const UpdateSpec>& updateSpec,
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

  using AsyncServiceBinder =
      ::Tarn::Provider::Binder<AsyncServiceBinderHelper, AsyncServiceInterface>;

  class KOV_EXPORT AsyncServiceStub : public AsyncServiceInterface {
     public:
    explicit AsyncServiceStub(std::shared_ptr<::Tarn::Stub::AsyncApiStub> apiStub)
        : apiStub_(std::move(apiStub)) {}
    void Get(
        const std::string& vm, const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
        const GetMethod::ResultCbType& result) override;
    void Update(
        const std::string& vm, const std::shared_ptr<const UpdateSpec>& updateSpec,
        const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
        const UpdateMethod::ResultCbType& result) override;

   private:
    std::shared_ptr<::Tarn::Stub::AsyncApiStub> apiStub_;
  };
};

}  // namespace Com::Brantel::Kov::Vm::Compute
