// Generated from schema/compute/cpus.toml by codegen/generate.py. Do not edit.
#pragma once

#include "binding/service.h"

namespace Com::Brantel::Kov::Vm::Compute {

// The CPU service: reads and changes the number of virtual CPUs of a virtual machine, its cores per
// socket, and whether CPUs may be added or removed while it runs.
class KOV_EXPORT CpusSvc {
 public:
  class AsyncServiceInterface;
  template <class M, class Output>
  using MethodOf = ::Tarn::Provider::MethodBase<M, AsyncServiceInterface, Output>;

  struct Info : ::Tarn::Data::BaseNative {
    static constexpr char typeName[] = "com.brantel.kov.vm.compute.cpus.info";
    static constexpr char nativeName[] = "::Com::Brantel::Kov::Vm::Compute::CpusSvc::Info";

    std::int64_t count = 0;
    std::int64_t coresPerSocket = 0;
    bool hotAddEnabled = false;
    bool hotRemoveEnabled = false;

    struct AdapterHelper {
      static constexpr ::Tarn::Data::SortedNames<4> sortedNames{{
          "cores_per_socket", "count", "hot_add_enabled", "hot_remove_enabled"}};
      template <class Helper> static constexpr void AddFields(Helper& h) {
        h.AddField("count", &Info::count);
        h.AddField("cores_per_socket", &Info::coresPerSocket);
        h.AddField("hot_add_enabled", &Info::hotAddEnabled);
        h.AddField("hot_remove_enabled", &Info::hotRemoveEnabled);
      }
    };
  };

  struct UpdateSpec : ::Tarn::Data::BaseNative {
    static constexpr char typeName[] = "com.brantel.kov.vm.compute.cpus.update_spec";
    static constexpr char nativeName[] = "::Com::Brantel::Kov::Vm::Compute::CpusSvc::UpdateSpec";

    boost::optional<std::int64_t> count;
    boost::optional<std::int64_t> coresPerSocket;
    boost::optional<bool> hotAddEnabled;
    boost::optional<bool> hotRemoveEnabled;

    struct AdapterHelper {
      static constexpr ::Tarn::Data::SortedNames<4> sortedNames{{
          "cores_per_socket", "count", "hot_add_enabled", "hot_remove_enabled"}};
      template <class Helper> static constexpr void AddFields(Helper& h) {
        h.AddField("count", &UpdateSpec::count);
        h.AddField("cores_per_socket", &UpdateSpec::coresPerSocket);
        h.AddField("hot_add_enabled", &UpdateSpec::hotAddEnabled);
        h.AddField("hot_remove_enabled", &UpdateSpec::hotRemoveEnabled);
      }
    };
  };

  struct GetMethod : MethodOf<GetMethod, std::shared_ptr<const Info>> {
    struct Input : ::Tarn::Data::BaseNative {
      static constexpr char nativeName[] =
          "::Com::Brantel::Kov::Vm::Compute::CpusSvc::GetMethod::Input";
      static constexpr char operationName[] = "::Com::Brantel::Kov::Vm::Compute::CpusSvc::Get";

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
          "::Com::Brantel::Kov::Vm::Compute::CpusSvc::UpdateMethod::Input";
      static constexpr char operationName[] = "::Com::Brantel::Kov::Vm::Compute::CpusSvc::Update";

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
    static constexpr char typeName[] = "com.brantel.kov.vm.compute.cpus";
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
