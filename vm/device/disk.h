// Generated from schema/device/disk.toml by codegen/generate.py. Do not edit.
#pragma once

#include "binding/service.h"

namespace Com {
namespace Brantel {
namespace Kov {
namespace Vm {
namespace Device {

class KOV_EXPORT DiskSvc {
 public:
  class AsyncServiceInterface;

  struct Summary : ::Tarn::Data::BaseNative {
    static constexpr const char typeName[] = "com.brantel.kov.vm.device.disk.summary";
    static constexpr const char nativeName[] = "::Com::Brantel::Kov::Vm::Device::DiskSvc::Summary";

    std::string disk;
    std::string device;

    struct AdapterHelper {
      static constexpr ::Tarn::Data::SortedNames<2> sortedNames{{"device", "disk"}};
      template <class Helper>
      static void AddFields(Helper& h) {
        h.AddField("disk", &Summary::disk);
        h.AddField("device", &Summary::device);
      }
    };

    struct Metadata {
      static constexpr const char name[] = "com.brantel.kov.vm.device.Disk.Summary";
      static constexpr ::Tarn::Metadata::ResourceField fields[] = {
          {"disk", "com.brantel.kov.vm.VirtualDisk"}};
    };
  };

  struct FilterSpec : ::Tarn::Data::BaseNative {
    static constexpr const char typeName[] = "com.brantel.kov.vm.device.disk.filter_spec";
    static constexpr const char nativeName[] =
        "::Com::Brantel::Kov::Vm::Device::DiskSvc::FilterSpec";

    boost::optional<std::set<std::string>> disks;
    boost::optional<std::set<std::string>> devices;

    struct AdapterHelper {
      static constexpr ::Tarn::Data::SortedNames<2> sortedNames{{"devices", "disks"}};
      template <class Helper>
      static void AddFields(Helper& h) {
        h.AddField("disks", &FilterSpec::disks);
        h.AddField("devices", &FilterSpec::devices);
      }
    };

    struct Metadata {
      static constexpr const char name[] = "com.brantel.kov.vm.device.Disk.FilterSpec";
      static constexpr ::Tarn::Metadata::ResourceField fields[] = {
          {"disks", "com.brantel.kov.vm.VirtualDisk"}};
    };
  };

  struct AddSpec : ::Tarn::Data::BaseNative {
    static constexpr const char typeName[] = "com.brantel.kov.vm.device.disk.add_spec";
    static constexpr const char nativeName[] = "::Com::Brantel::Kov::Vm::Device::DiskSvc::AddSpec";

    std::string vm;
    std::string disk;
    std::string device;

    struct AdapterHelper {
      static constexpr ::Tarn::Data::SortedNames<3> sortedNames{{"device", "disk", "vm"}};
      template <class Helper>
      static void AddFields(Helper& h) {
        h.AddField("vm", &AddSpec::vm);
        h.AddField("disk", &AddSpec::disk);
        h.AddField("device", &AddSpec::device);
      }
    };

    struct Metadata {
      static constexpr const char name[] = "com.brantel.kov.vm.device.Disk.AddSpec";
      static constexpr ::Tarn::Metadata::ResourceField fields[] = {
          {"disk", "com.brantel.kov.vm.VirtualDisk"}, {"vm", "com.brantel.kov.vm.VirtualMachine"}};
    };
  };

  struct ListResult : ::Tarn::Data::BaseNative {
    static constexpr const char typeName[] = "com.brantel.kov.vm.device.disk.list_result";
    static constexpr const char nativeName[] =
        "::Com::Brantel::Kov::Vm::Device::DiskSvc::ListResult";

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
          "::Com::Brantel::Kov::Vm::Device::DiskSvc::AddMethod::Input";
      static constexpr const char operationName[] = "::Com::Brantel::Kov::Vm::Device::DiskSvc::Add";

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
    using Output = std::string;
    using ResultCbType = ::Tarn::AsyncResult<Output, ::Tarn::AsyncResultTerminateCbPolicy>;
    using Fields = ::Tarn::Provider::Fields<&Input::spec>;
    using Errors =
        ::Tarn::Provider::ErrorList<::Com::Brantel::Tarn::Std::Errors::AlreadyExists,
                                    ::Com::Brantel::Tarn::Std::Errors::Error,
                                    ::Com::Brantel::Tarn::Std::Errors::InvalidArgument,
                                    ::Com::Brantel::Tarn::Std::Errors::NotAllowedInCurrentState,
                                    ::Com::Brantel::Tarn::Std::Errors::NotFound,
                                    ::Com::Brantel::Tarn::Std::Errors::UnableToAllocateResource>;
    static constexpr const char wireName[] = "add";
    static constexpr std::nullptr_t resourceField = nullptr;
  };

  struct ListMethod : ::Tarn::Provider::MethodBase<ListMethod> {
    struct Input : ::Tarn::Data::BaseNative {
      static constexpr const char nativeName[] =
          "::Com::Brantel::Kov::Vm::Device::DiskSvc::ListMethod::Input";
      static constexpr const char operationName[] =
          "::Com::Brantel::Kov::Vm::Device::DiskSvc::List";

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

  class KOV_EXPORT AsyncServiceInterface {
   public:
    static constexpr const char typeName[] = "com.brantel.kov.vm.device.disk";
    virtual void Add(const std::shared_ptr<const AddSpec>& spec,
                     const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
                     const AddMethod::ResultCbType& result) = 0;
    virtual void List(const std::string& vm, const ::Tarn::OptionalPtr<const FilterSpec>& filter,
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

   private:
    std::shared_ptr<::Tarn::Stub::AsyncApiStub> apiStub_;
  };
};

}  // namespace Device
}  // namespace Vm
}  // namespace Kov
}  // namespace Brantel
}  // namespace Com
