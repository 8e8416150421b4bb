// Generated from schema/device/network.toml by codegen/generate.py. Do not edit.
#pragma once

#include "binding/service.h"

namespace Com::Brantel::Kov::Vm::Device {

class KOV_EXPORT NetworkSvc {
 public:
  class AsyncServiceInterface;
  template <class M, class Output>
  using MethodOf = ::Tarn::Provider::MethodBase<M, AsyncServiceInterface, Output>;

  struct VirtualDev : ::Tarn::EnumBase<VirtualDev> {
    enum Value : std::int32_t { ZLANCE, ZUBNET, ZUBNET3, ZRDMA, E1000, E1000E, _UNKNOWN };
    struct Strings {
      static constexpr const char* values[] = {
          "ZLANCE", "ZUBNET", "ZUBNET3", "ZRDMA", "E1000", "E1000E", "_UNKNOWN", nullptr};
    };
    static constexpr char typeName[] = "com.brantel.kov.vm.device.network.virtual_dev";
    using EnumBase::EnumBase;
  };

  struct Summary : ::Tarn::Data::BaseNative {
    static constexpr char typeName[] = "com.brantel.kov.vm.device.network.summary";
    static constexpr char nativeName[] = "::Com::Brantel::Kov::Vm::Device::NetworkSvc::Summary";

    std::string id;
    VirtualDev adapter;
    std::string device;

    struct AdapterHelper {
      static constexpr ::Tarn::Data::SortedNames<3> sortedNames{{"adapter", "device", "id"}};
      template <class Helper> static constexpr void AddFields(Helper& h) {
        h.AddField("id", &Summary::id);
        h.AddField("adapter", &Summary::adapter);
        h.AddField("device", &Summary::device);
      }
    };
    struct Metadata {
      static constexpr char name[] = "com.brantel.kov.vm.device.Network.Summary";
      static constexpr ::Tarn::Metadata::ResourceField fields[] = {
          {"id", "com.brantel.kov.vm.NetworkId"},
      };
    };
  };

  struct FilterSpec : ::Tarn::Data::BaseNative {
    static constexpr char typeName[] = "com.brantel.kov.vm.device.network.filter_spec";
    static constexpr char nativeName[] = "::Com::Brantel::Kov::Vm::Device::NetworkSvc::FilterSpec";

    boost::optional<std::set<std::string>> networks;
    boost::optional<std::set<std::string>> devices;
    boost::optional<std::set<VirtualDev>> adapters;

    struct AdapterHelper {
      static constexpr ::Tarn::Data::SortedNames<3> sortedNames{{
          "adapters", "devices", "networks"}};
      template <class Helper> static constexpr void AddFields(Helper& h) {
        h.AddField("networks", &FilterSpec::networks);
        h.AddField("devices", &FilterSpec::devices);
        h.AddField("adapters", &FilterSpec::adapters);
      }
    };
    struct Metadata {
      static constexpr char name[] = "com.brantel.kov.vm.device.Network.FilterSpec";
      static constexpr ::Tarn::Metadata::ResourceField fields[] = {
          {"networks", "com.brantel.kov.vm.NetworkId"},
      };
    };
  };

  struct AddSpec : ::Tarn::Data::BaseNative {
    static constexpr char typeName[] = "com.brantel.kov.vm.device.network.add_spec";
    static constexpr char nativeName[] = "::Com::Brantel::Kov::Vm::Device::NetworkSvc::AddSpec";

    std::string vm;
    std::string network;
    VirtualDev adapter;
    std::string device;

    struct AdapterHelper {
      static constexpr ::Tarn::Data::SortedNames<4> sortedNames{{
          "adapter", "device", "network", "vm"}};
      template <class Helper> static constexpr void AddFields(Helper& h) {
        h.AddField("vm", &AddSpec::vm);
        h.AddField("network", &AddSpec::network);
        h.AddField("adapter", &AddSpec::adapter);
        h.AddField("device", &AddSpec::device);
      }
    };
    struct Metadata {
      static constexpr char name[] = "com.brantel.kov.vm.device.Network.AddSpec";
      static constexpr ::Tarn::Metadata::ResourceField fields[] = {
          {"network", "com.brantel.kov.vm.NetworkId"},
          {"vm", "com.brantel.kov.vm.VirtualMachine"},
      };
    };
  };

  struct ListResult : ::Tarn::Data::BaseNative {
    static constexpr char typeName[] = "com.brantel.kov.vm.device.network.list_result";
    static constexpr char nativeName[] = "::Com::Brantel::Kov::Vm::Device::NetworkSvc::ListResult";

    std::vector<std::shared_ptr<const Summary>> list;

    struct AdapterHelper {
      static constexpr ::Tarn::Data::SortedNames<1> sortedNames{{"list"}};
      template <class Helper> static constexpr void AddFields(Helper& h) {
        h.AddField("list", &ListResult::list);
      }
    };
  };

  struct AddMethod : MethodOf<AddMethod, ::Tarn::Void> {
    struct Input : ::Tarn::Data::BaseNative {
      static constexpr char nativeName[] =
          "::Com::Brantel::Kov::Vm::Device::NetworkSvc::AddMethod::Input";
      static constexpr char operationName[] = "::Com::Brantel::Kov::Vm::Device::NetworkSvc::Add";

      std::shared_ptr<const AddSpec> spec;

      struct AdapterHelper {
        static constexpr ::Tarn::Data::SortedNames<1> sortedNames{{"spec"}};
        template <class Helper> static constexpr void AddFields(Helper& h) {
          h.AddField("spec", &Input::spec);
        }
      };
    };

    using Fields = ::Tarn::Provider::Fields<&Input::spec>;
    using Errors = ::Tarn::Provider::ErrorList<
        StdErrors::AlreadyExists, StdErrors::NotFound, StdErrors::Error>;
    static constexpr char wireName[] = "add";
  };

  struct ListMethod : MethodOf<ListMethod, std::shared_ptr<const ListResult>> {
    struct Input : ::Tarn::Data::BaseNative {
      static constexpr char nativeName[] =
          "::Com::Brantel::Kov::Vm::Device::NetworkSvc::ListMethod::Input";
      static constexpr char operationName[] = "::Com::Brantel::Kov::Vm::Device::NetworkSvc::List";

      std::string vm;
      ::Tarn::OptionalPtr<const FilterSpec> filter;

      struct AdapterHelper {
        static constexpr ::Tarn::Data::SortedNames<2> sortedNames{{"filter", "vm"}};
        template <class Helper> static constexpr void AddFields(Helper& h) {
          h.AddField("vm", &Input::vm);
          h.AddField("filter", &Input::filter);
        }
      };
    };

    using Fields = ::Tarn::Provider::Fields<&Input::vm, &Input::filter>;
    using Errors = ::Tarn::Provider::ErrorList<
        StdErrors::NotFound, StdErrors::NotAllowedInCurrentState, StdErrors::Error>;
    static constexpr char wireName[] = "list";
    static constexpr bool readsOnly = true;
    static constexpr auto resourceField = &Input::vm;
  };

  struct RemoveMethod : MethodOf<RemoveMethod, ::Tarn::Void> {
    struct Input : ::Tarn::Data::BaseNative {
      static constexpr char nativeName[] =
          "::Com::Brantel::Kov::Vm::Device::NetworkSvc::RemoveMethod::Input";
      static constexpr char operationName[] = "::Com::Brantel::Kov::Vm::Device::NetworkSvc::Remove";

      std::string vm;
      std::string device;

      struct AdapterHelper {
        static constexpr ::Tarn::Data::SortedNames<2> sortedNames{{"device", "vm"}};
        template <class Helper> static constexpr void AddFields(Helper& h) {
          h.AddField("vm", &Input::vm);
          h.AddField("device", &Input::device);
        }
      };
    };

    using Fields = ::Tarn::Provider::Fields<&Input::vm, &Input::device>;
    using Errors = ::Tarn::Provider::ErrorList<
        StdErrors::NotFound, StdErrors::NotAllowedInCurrentState, StdErrors::Error>;
    static constexpr char wireName[] = "remove";
    static constexpr auto resourceField = &Input::vm;
  };

  class KOV_EXPORT AsyncServiceInterface {
     public:
    static constexpr char typeName[] = "com.brantel.kov.vm.device.network";
    virtual void Add(
        const std::shared_ptr<const AddSpec>& spec,
        const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
        const AddMethod::ResultCbType& result) = 0;
    virtual void List(
        const std::string& vm, const ::Tarn::OptionalPtr<const FilterSpec>& filter,
        const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
        const ListMethod::ResultCbType& result) = 0;
    virtual void Remove(
        const std::string& vm, const std::string& device,
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

  using AsyncServiceBinder =
      ::Tarn::Provider::Binder<AsyncServiceBinderHelper, AsyncServiceInterface>;

  class KOV_EXPORT AsyncServiceStub : public AsyncServiceInterface {
     public:
    explicit AsyncServiceStub(std::shared_ptr<::Tarn::Stub::AsyncApiStub> apiStub)
        : apiStub_(std::move(apiStub)) {}
    void Add(
        const std::shared_ptr<const AddSpec>& spec,
        const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
        const AddMethod::ResultCbType& result) override;
    void List(
        const std::string& vm, const ::Tarn::OptionalPtr<const FilterSpec>& filter,
        const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
        const ListMethod::ResultCbType& result) override;
    void Remove(
        const std::string& vm, const std::string& device,
        const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
        const RemoveMethod::ResultCbType& result) override;

   private:
    std::shared_ptr<::Tarn::Stub::AsyncApiStub> apiStub_;
  };
};

}  // namespace Com::Brantel::Kov::Vm::Device
