// Generated from schema/device/disk.toml by codegen/generate.py. Do not edit.
#pragma once

#include "binding/service.h"

namespace Com::Brantel::Kov::Vm::Device {

class KOV_EXPORT DiskSvc {
 public:
  class AsyncServiceInterface;
  template <class M, class Output>
  using MethodOf = ::Tarn::Provider::MethodBase<M, AsyncServiceInterface, Output>;

  struct Summary : ::Tarn::Data::BaseNative {
    static constexpr char typeName[] = "com.brantel.kov.vm.device.disk.summary";
    static constexpr char nativeName[] = "::Com::Brantel::Kov::Vm::Device::DiskSvc::Summary";

    std::string disk;
    std::string device;

    struct AdapterHelper {
      static constexpr ::Tarn::Data::SortedNames<2> sortedNames{{"device", "disk"}};
      template <class Helper> static constexpr void AddFields(Helper& h) {
        h.AddField("disk", &Summary::disk);
        h.AddField("device", &Summary::device);
      }
    };
    struct Metadata {
      static constexpr char name[] = "com.brantel.kov.vm.device.Disk.Summary";
      static constexpr ::Tarn::Metadata::ResourceField fields[] = {
          {"disk", "com.brantel.kov.vm.VirtualDisk"},
      };
    };
  };

  struct FilterSpec : ::Tarn::Data::BaseNative {
    static constexpr char typeName[] = "com.brantel.kov.vm.device.disk.filter_spec";
    static constexpr char nativeName[] = "::Com::Brantel::Kov::Vm::Device::DiskSvc::FilterSpec";

    boost::optional<std::set<std::string>> disks;
    boost::optional<std::set<std::string>> devices;

    struct AdapterHelper {
      static constexpr ::Tarn::Data::SortedNames<2> sortedNames{{"devices", "disks"}};
      template <class Helper> static constexpr void AddFields(Helper& h) {
        h.AddField("disks", &FilterSpec::disks);
        h.AddField("devices", &FilterSpec::devices);
      }
    };
    struct Metadata {
      static constexpr char name[] = "com.brantel.kov.vm.device.Disk.FilterSpec";
      static constexpr ::Tarn::Metadata::ResourceField fields[] = {
          {"disks", "com.brantel.kov.vm.VirtualDisk"},
      };
    };
  };

  struct AddSpec : ::Tarn::Data::BaseNative {
    static constexpr char typeName[] = "com.brantel.kov.vm.device.disk.add_spec";
    static constexpr char nativeName[] = "::Com::Brantel::Kov::Vm::Device::DiskSvc::AddSpec";

    std::string vm;
    std::string disk;
    std::string device;

    struct AdapterHelper {
      static constexpr ::Tarn::Data::SortedNames<3> sortedNames{{"device", "disk", "vm"}};
      template <class Helper> static constexpr void AddFields(Helper& h) {
        h.AddField("vm", &AddSpec::vm);
        h.AddField("disk", &AddSpec::disk);
        h.AddField("device", &AddSpec::device);
      }
    };
    struct Metadata {
      static constexpr char name[] = "com.brantel.kov.vm.device.Disk.AddSpec";
      static constexpr ::Tarn::Metadata::ResourceField fields[] = {
          {"disk", "com.brantel.kov.vm.VirtualDisk"},
          {"vm", "com.brantel.kov.vm.VirtualMachine"},
      };
    };
  };

  struct ListResult : ::Tarn::Data::BaseNative {
    static constexpr char typeName[] = "com.brantel.kov.vm.device.disk.list_result";
    static constexpr char nativeName[] = "::Com::Brantel::Kov::Vm::Device::DiskSvc::ListResult";

    std::vector<std::shared_ptr<const Summary>> list;

    struct AdapterHelper {
      static constexpr ::Tarn::Data::SortedNames<1> sortedNames{{"list"}};
      template <class Helper> static constexpr void AddFields(Helper& h) {
        h.AddField("list", &ListResult::list);
      }
    };
  };

  struct AddMethod : MethodOf<AddMethod, std::string> {
    struct Input : ::Tarn::Data::BaseNative {
      static constexpr char nativeName[] =
          "::Com::Brantel::Kov::Vm::Device::DiskSvc::AddMethod::Input";
      static constexpr char operationName[] = "::Com::Brantel::Kov::Vm::Device::DiskSvc::Add";

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
        StdErrors::AlreadyExists, StdErrors::Error, StdErrors::InvalidArgument,
        StdErrors::NotAllowedInCurrentState, StdErrors::NotFound,
        StdErrors::UnableToAllocateResource>;
    static constexpr char wireName[] = "add";
  };

  struct ListMethod : MethodOf<ListMethod, std::shared_ptr<const ListResult>> {
    struct Input : ::Tarn::Data::BaseNative {
      static constexpr char nativeName[] =
          "::Com::Brantel::Kov::Vm::Device::DiskSvc::ListMethod::Input";
      static constexpr char operationName[] = "::Com::Brantel::Kov::Vm::Device::DiskSvc::List";

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

  class KOV_EXPORT AsyncServiceInterface {
     public:
    static constexpr char typeName[] = "com.brantel.kov.vm.device.disk";
    virtual void Add(
        const std::shared_ptr<const AddSpec>& spec,
        const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
        const AddMethod::ResultCbType& result) = 0;
    virtual void List(
        const std::string& vm, const ::Tarn::OptionalPtr<const FilterSpec>& filter,
        const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
        const ListMethod::ResultCbType& result) = 0;
    virtual ~AsyncServiceInterface();
  };

  class KOV_EXPORT AsyncServiceBinderHelper : public ::Tarn::Provider::BinderHelperBase {
     public:
    using AddMethodBuilder = ::Tarn::Provider::MethodBuilder<AddMethod, AsyncServiceInterface>;
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
    void Add(
        const std::shared_ptr<const AddSpec>& spec,
        const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
        const AddMethod::ResultCbType& result) override;
    void List(
        const std::string& vm, const ::Tarn::OptionalPtr<const FilterSpec>& filter,
        const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
        const ListMethod::ResultCbType& result) override;

   private:
    std::shared_ptr<::Tarn::Stub::AsyncApiStub> apiStub_;
  };
};

}  // namespace Com::Brantel::Kov::Vm::Device
