// Generated from schema/device/network.toml by codegen/generate.py. Do not edit.
#pragma once

#include "binding/service.h"

namespace Com {
namespace Brantel {
namespace Kov {
namespace Vm {
namespace Device {

class KOV_EXPORT NetworkSvc {
 public:
  class AsyncServiceInterface;

  class VirtualDev : public ::Tarn::Enum {
   public:
    enum Value : std::int32_t { ZLANCE, ZUBNET, ZUBNET3, ZRDMA, E1000, E1000E, _UNKNOWN };
    struct Strings {
      static constexpr const char* values[] = {"ZLANCE", "ZUBNET", "ZUBNET3",  "ZRDMA",
                                               "E1000",  "E1000E", "_UNKNOWN", nullptr};
    };
    static constexpr const char typeName[] = "com.brantel.kov.vm.device.network.virtual_dev";
    // NOLINTNEXTLINE(google-explicit-constructor)
    VirtualDev(Value value = _UNKNOWN) : ::Tarn::Enum(value) {}
    Value value() const { return static_cast<Value>(number()); }
  };

  struct Summary : ::Tarn::Data::BaseNative {
    static constexpr const char typeName[] = "com.brantel.kov.vm.device.network.summary";
    static constexpr const char nativeName[] =
        "::Com::Brantel::Kov::Vm::Device::NetworkSvc::Summary";

    std::string id;
    VirtualDev adapter;
    std::string device;

    struct AdapterHelper {
      static constexpr ::Tarn::Data::SortedNames<3> sortedNames{{"adapter", "device", "id"}};
      template <class Helper>
      static void AddFields(Helper& h) {
        h.AddField("id", &Summary::id);
        h.AddField("adapter", &Summary::adapter);
        h.AddField("device", &Summary::device);
      }
    };

    struct Metadata {
      static constexpr const char name[] = "com.brantel.kov.vm.device.Network.Summary";
      static constexpr ::Tarn::Metadata::ResourceField fields[] = {
          {"id", "com.brantel.kov.vm.NetworkId"}};
    };
  };

  struct FilterSpec : ::Tarn::Data::BaseNative {
    static constexpr const char typeName[] = "com.brantel.kov.vm.device.network.filter_spec";
    static constexpr const char nativeName[] =
        "::Com::Brantel::Kov::Vm::Device::NetworkSvc::FilterSpec";

    boost::optional<std::set<std::string>> networks;
    boost::optional<std::set<std::string>> devices;
    boost::optional<std::set<VirtualDev>> adapters;

    struct AdapterHelper {
      static constexpr ::Tarn::Data::SortedNames<3> sortedNames{
          {"adapters", "devices", "networks"}};
      template <class Helper>
      static void AddFields(Helper& h) {
        h.AddField("networks", &FilterSpec::networks);
        h.AddField("devices", &FilterSpec::devices);
        h.AddField("adapters", &FilterSpec::adapters);
      }
    };

    struct Metadata {
      static constexpr const char name[] = "com.brantel.kov.vm.device.Network.FilterSpec";
      static constexpr ::Tarn::Metadata::ResourceField fields[] = {
          {"networks", "com.brantel.kov.vm.NetworkId"}};
    };
  };

  struct AddSpec : ::Tarn::Data::BaseNative {
    static constexpr const char typeName[] = "com.brantel.kov.vm.device.network.add_spec";
    static constexpr const char nativeName[] =
        "::Com::Brantel::Kov::Vm::Device::NetworkSvc::AddSpec";

    std::string vm;
    std::string network;
    VirtualDev adapter;
    std::string device;

    struct AdapterHelper {
      static constexpr ::Tarn::Data::SortedNames<4> sortedNames{
          {"adapter", "device", "network", "vm"}};
      template <class Helper>
      static void AddFields(Helper& h) {
        h.AddField("vm", &AddSpec::vm);
        h.AddField("network", &AddSpec::network);
        h.AddField("adapter", &AddSpec::adapter);
        h.AddField("device", &AddSpec::device);
      }
    };

    struct Metadata {
      static constexpr const char name[] = "com.brantel.kov.vm.device.Network.AddSpec";
      static constexpr ::Tarn::Metadata::ResourceField fields[] = {
          {"network", "com.brantel.kov.vm.NetworkId"}, {"vm", "com.brantel.kov.vm.VirtualMachine"}};
    };
  };

  struct ListResult : ::Tarn::Data::BaseNative {
    static constexpr const char typeName[] = "com.brantel.kov.vm.device.network.list_result";
    static constexpr const char nativeName[] =
        "::Com::Brantel::Kov::Vm::Device::NetworkSvc::ListResult";

    std::vector<std::shared_ptr<const Summary>> list;

    struct AdapterHelper {
      static constexpr ::Tarn::Data::SortedNames<1> sortedNames{{"list"}};
      template <class Helper>
      static void AddFields(Helper& h) {
        h.AddField("list", &ListResult::list);
      }
    };
  };

  struct AddMethod : ::Tarn::Provider::MethodBase<AddMethod> {
    struct Input : ::Tarn::Data::BaseNative {
      static constexpr const char nativeName[] =
          "::Com::Brantel::Kov::Vm::Device::NetworkSvc::AddMethod::Input";
      static constexpr const char operationName[] =
          "::Com::Brantel::Kov::Vm::Device::NetworkSvc::Add";

      std::shared_ptr<const AddSpec> spec;

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
    using Errors = ::Tarn::Provider::ErrorList<::Com::Brantel::Tarn::Std::Errors::AlreadyExists,
                                               ::Com::Brantel::Tarn::Std::Errors::NotFound,
                                               ::Com::Brantel::Tarn::Std::Errors::Error>;
    static constexpr const char wireName[] = "add";
    static constexpr std::nullptr_t resourceField = nullptr;
  };

  struct ListMethod : ::Tarn::Provider::MethodBase<ListMethod> {
    struct Input : ::Tarn::Data::BaseNative {
      static constexpr const char nativeName[] =
          "::Com::Brantel::Kov::Vm::Device::NetworkSvc::ListMethod::Input";
      static constexpr const char operationName[] =
          "::Com::Brantel::Kov::Vm::Device::NetworkSvc::List";

      std::string vm;
      ::Tarn::OptionalPtr<const FilterSpec> filter;

      struct AdapterHelper {
        static constexpr ::Tarn::Data::SortedNames<2> sortedNames{{"filter", "vm"}};
        template <class Helper>
        static void AddFields(Helper& h) {
          h.AddField("vm", &Input::vm);
          h.AddField("filter", &Input::filter);
        }
      };
    };

    using Interface = AsyncServiceInterface;
    using Output = std::shared_ptr<const ListResult>;
    using ResultCbType = ::Tarn::AsyncResult<Output, ::Tarn::AsyncResultTerminateCbPolicy>;
    using Fields = ::Tarn::Provider::Fields<&Input::vm, &Input::filter>;
    using Errors =
        ::Tarn::Provider::ErrorList<::Com::Brantel::Tarn::Std::Errors::NotFound,
                                    ::Com::Brantel::Tarn::Std::Errors::NotAllowedInCurrentState,
                                    ::Com::Brantel::Tarn::Std::Errors::Error>;
    static constexpr const char wireName[] = "list";
    static constexpr auto resourceField = &Input::vm;
    static constexpr const char resourceType[] = "com.brantel.kov.vm.VirtualMachine";
  };

  struct RemoveMethod : ::Tarn::Provider::MethodBase<RemoveMethod> {
    struct Input : ::Tarn::Data::BaseNative {
      static constexpr const char nativeName[] =
          "::Com::Brantel::Kov::Vm::Device::NetworkSvc::RemoveMethod::Input";
      static constexpr const char operationName[] =
          "::Com::Brantel::Kov::Vm::Device::NetworkSvc::Remove";

      std::string vm;
      std::string device;

      struct AdapterHelper {
        static constexpr ::Tarn::Data::SortedNames<2> sortedNames{{"device", "vm"}};
        template <class Helper>
        static void AddFields(Helper& h) {
          h.AddField("vm", &Input::vm);
          h.AddField("device", &Input::device);
        }
      };
    };

    using Interface = AsyncServiceInterface;
    using Output = ::Tarn::Void;
    using ResultCbType = ::Tarn::AsyncResult<Output, ::Tarn::AsyncResultTerminateCbPolicy>;
    using Fields = ::Tarn::Provider::Fields<&Input::vm, &Input::device>;
    using Errors =
        ::Tarn::Provider::ErrorList<::Com::Brantel::Tarn::Std::Errors::NotFound,
                                    ::Com::Brantel::Tarn::Std::Errors::NotAllowedInCurrentState,
                                    ::Com::Brantel::Tarn::Std::Errors::Error>;
    static constexpr const char wireName[] = "remove";
    static constexpr auto resourceField = &Input::vm;
    static constexpr const char resourceType[] = "com.brantel.kov.vm.VirtualMachine";
  };

  class KOV_EXPORT AsyncServiceInterface {
   public:
    static constexpr const char typeName[] = "com.brantel.kov.vm.device.network";
    virtual void Add(const std::shared_ptr<const AddSpec>& spec,
                     const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
                     const AddMethod::ResultCbType& result) = 0;
    virtual void List(const std::string& vm, const ::Tarn::OptionalPtr<const FilterSpec>& filter,
                      const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
                      const ListMethod::ResultCbType& result) = 0;
    virtual void Remove(const std::string& vm, const std::string& device,
                        const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
                        const RemoveMethod::ResultCbType& result) = 0;
    virtual ~AsyncServiceInterface();
  };

  class KOV_EXPORT AsyncServiceBinderHelper : public ::Tarn::Provider::BinderHelperBase {
   public:
    using AddMethodBuilder = ::Tarn::Provider::MethodBuilder<AddMethod, AsyncServiceInterface>;
    using ListMethodBuilder = ::Tarn::Provider::MethodBuilder<ListMethod, AsyncServiceInterface>;
    using RemoveMethodBuilder =
        ::Tarn::Provider::MethodBuilder<RemoveMethod, AsyncServiceInterface>;
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
    void Add(const std::shared_ptr<const AddSpec>& spec,
             const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
             const AddMethod::ResultCbType& result) override;
    void List(const std::string& vm, const ::Tarn::OptionalPtr<const FilterSpec>& filter,
              const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
              const ListMethod::ResultCbType& result) override;
    void Remove(const std::string& vm, const std::string& device,
                const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
                const RemoveMethod::ResultCbType& result) override;

   private:
    std::shared_ptr<::Tarn::Stub::AsyncApiStub> apiStub_;
  };
};

}  // namespace Device
}  // namespace Vm
}  // namespace Kov
}  // namespace Brantel
}  // namespace Com
