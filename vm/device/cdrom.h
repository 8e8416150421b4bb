// Generated from schema/device/cdrom.toml by codegen/generate.py. Do not edit.
#pragma once

#include "binding/service.h"

namespace Com::Brantel::Kov::Vm::Device {

class KOV_EXPORT CdromSvc {
 public:
  class AsyncServiceInterface;
  template <class M, class Output>
  using MethodOf = ::Tarn::Provider::MethodBase<M, AsyncServiceInterface, Output>;

  struct BackingType : ::Tarn::EnumBase<BackingType> {
    enum Value : std::int32_t { ATAPI, IMAGE, RAW, _UNKNOWN };
    struct Strings {
      static constexpr const char* values[] = {"ATAPI", "IMAGE", "RAW", "_UNKNOWN", nullptr};
    };
    static constexpr char typeName[] = "com.brantel.kov.vm.device.cdrom.backing_type";
    using EnumBase::EnumBase;
  };

  struct BackingInfoAnnotations {
    struct UnionTags {
      struct Strings {
        static constexpr const char* values[] = {"type", "_UNKNOWN", nullptr};
      };
    };
    struct DeviceNameUnionCases {
      struct Strings {
        static constexpr const char* values[] = {"ATAPI", "RAW", "_UNKNOWN", nullptr};
      };
    };
    struct IsoFileUnionCases {
      struct Strings {
        static constexpr const char* values[] = {"IMAGE", "_UNKNOWN", nullptr};
      };
    };
  };

  struct BackingInfo : ::Tarn::Data::BaseNative {
    static constexpr char typeName[] = "com.brantel.kov.vm.device.cdrom.backing_info";
    static constexpr char nativeName[] = "::Com::Brantel::Kov::Vm::Device::CdromSvc::BackingInfo";

    BackingType type;
    boost::optional<std::string> deviceName;
    boost::optional<std::string> isoFile;

    struct AdapterHelper {
      static constexpr ::Tarn::Data::SortedNames<3> sortedNames{{
          "device_name", "iso_file", "type"}};
      template <class Helper> static constexpr void AddFields(Helper& h) {
        h.AddField("type", &BackingInfo::type);
        h.AddField("device_name", &BackingInfo::deviceName);
        h.AddField("iso_file", &BackingInfo::isoFile);
      }
    };
    using UnionTags = BackingInfoAnnotations::UnionTags;
    struct UnionRules {
      template <class Checker> static constexpr void Check(Checker& c) {
        c.Case(
            &BackingInfo::type, &BackingInfo::deviceName, "deviceName",
            ::Tarn::Data::UnionCaseAnyEnumValue<BackingInfoAnnotations::DeviceNameUnionCases>());
        c.Case(
            &BackingInfo::type, &BackingInfo::isoFile, "isoFile",
            ::Tarn::Data::OptUnionCaseAnyEnumValue<BackingInfoAnnotations::IsoFileUnionCases>());
        c.template MissingTag<UnionTags>(&BackingInfo::type);
      }
    };
  };

  struct Summary : ::Tarn::Data::BaseNative {
    static constexpr char typeName[] = "com.brantel.kov.vm.device.cdrom.summary";
    static constexpr char nativeName[] = "::Com::Brantel::Kov::Vm::Device::CdromSvc::Summary";

    std::string cdrom;
    BackingType backingType;
    std::string device;

    struct AdapterHelper {
      static constexpr ::Tarn::Data::SortedNames<3> sortedNames{{
          "backing_type", "cdrom", "device"}};
      template <class Helper> static constexpr void AddFields(Helper& h) {
        h.AddField("cdrom", &Summary::cdrom);
        h.AddField("backing_type", &Summary::backingType);
        h.AddField("device", &Summary::device);
      }
    };
    struct Metadata {
      static constexpr char name[] = "com.brantel.kov.vm.device.Cdrom.Summary";
      static constexpr ::Tarn::Metadata::ResourceField fields[] = {
          {"cdrom", "VIRTUAL_CDROM"},
      };
    };
  };

  struct FilterSpec : ::Tarn::Data::BaseNative {
    static constexpr char typeName[] = "com.brantel.kov.vm.device.cdrom.filter_spec";
    static constexpr char nativeName[] = "::Com::Brantel::Kov::Vm::Device::CdromSvc::FilterSpec";

    boost::optional<std::set<std::string>> cdroms;
    boost::optional<std::set<BackingType>> backingTypes;
    boost::optional<std::set<std::string>> devices;

    struct AdapterHelper {
      static constexpr ::Tarn::Data::SortedNames<3> sortedNames{{
          "backing_types", "cdroms", "devices"}};
      template <class Helper> static constexpr void AddFields(Helper& h) {
        h.AddField("cdroms", &FilterSpec::cdroms);
        h.AddField("backing_types", &FilterSpec::backingTypes);
        h.AddField("devices", &FilterSpec::devices);
      }
    };
    struct Metadata {
      static constexpr char name[] = "com.brantel.kov.vm.device.Cdrom.FilterSpec";
      static constexpr ::Tarn::Metadata::ResourceField fields[] = {
          {"cdroms", "VIRTUAL_CDROM"},
      };
    };
  };

  struct AddMethod : MethodOf<AddMethod, std::string> {
    struct Input : ::Tarn::Data::BaseNative {
      static constexpr char nativeName[] =
          "::Com::Brantel::Kov::Vm::Device::CdromSvc::AddMethod::Input";
      static constexpr char operationName[] = "::Com::Brantel::Kov::Vm::Device::CdromSvc::Add";

      std::string vm;
      std::shared_ptr<const BackingInfo> backing;
      std::string device;

      struct AdapterHelper {
        static constexpr ::Tarn::Data::SortedNames<3> sortedNames{{"backing", "device", "vm"}};
        template <class Helper> static constexpr void AddFields(Helper& h) {
          h.AddField("vm", &Input::vm);
          h.AddField("backing", &Input::backing);
          h.AddField("device", &Input::device);
        }
      };
    };

    using Fields = ::Tarn::Provider::Fields<&Input::vm, &Input::backing, &Input::device>;
    using Errors = ::Tarn::Provider::ErrorList<
        StdErrors::NotFound, StdErrors::NotAllowedInCurrentState, StdErrors::InvalidArgument,
        StdErrors::AlreadyExists, StdErrors::UnableToAllocateResource, StdErrors::Error>;
    static constexpr char wireName[] = "add";
    static constexpr auto resourceField = &Input::vm;
  };

  struct ListMethod : MethodOf<ListMethod, std::vector<std::shared_ptr<const Summary>>> {
    struct Input : ::Tarn::Data::BaseNative {
      static constexpr char nativeName[] =
          "::Com::Brantel::Kov::Vm::Device::CdromSvc::ListMethod::Input";
      static constexpr char operationName[] = "::Com::Brantel::Kov::Vm::Device::CdromSvc::List";

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

  struct DeleteMethod : MethodOf<DeleteMethod, ::Tarn::Void> {
    struct Input : ::Tarn::Data::BaseNative {
      static constexpr char nativeName[] =
          "::Com::Brantel::Kov::Vm::Device::CdromSvc::DeleteMethod::Input";
      static constexpr char operationName[] = "::Com::Brantel::Kov::Vm::Device::CdromSvc::Delete";

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
        StdErrors::NotFound, StdErrors::NotAllowedInCurrentState, StdErrors::InvalidArgument,
        StdErrors::Error>;
    static constexpr char wireName[] = "delete";
    static constexpr auto resourceField = &Input::vm;
  };

  class KOV_EXPORT AsyncServiceInterface {
     public:
    static constexpr char typeName[] = "com.brantel.kov.vm.device.cdrom";
    virtual void Add(
        const std::string& vm, const std::shared_ptr<const BackingInfo>& backing,
        const std::string& device, const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
        const AddMethod::ResultCbType& result) = 0;
    virtual void List(
        const std::string& vm, const ::Tarn::OptionalPtr<const FilterSpec>& filter,
        const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
        const ListMethod::ResultCbType& result) = 0;
    virtual void Delete(
        const std::string& vm, const std::string& device,
        const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
        const DeleteMethod::ResultCbType& result) = 0;
    virtual ~AsyncServiceInterface();
  };

  class KOV_EXPORT AsyncServiceBinderHelper : public ::Tarn::Provider::BinderHelperBase {
     public:
    using AddMethodBuilder = ::Tarn::Provider::MethodBuilder<AddMethod, AsyncServiceInterface>;
    using ListMethodBuilder = ::Tarn::Provider::MethodBuilder<ListMethod, AsyncServiceInterface>;
    using DeleteMethodBuilder =
        ::Tarn::Provider::MethodBuilder<DeleteMethod, AsyncServiceInterface>;
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
        const std::string& vm, const std::shared_ptr<const BackingInfo>& backing,
        const std::string& device, const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
        const AddMethod::ResultCbType& result) override;
    void List(
        const std::string& vm, const ::Tarn::OptionalPtr<const FilterSpec>& filter,
        const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
        const ListMethod::ResultCbType& result) override;
    void Delete(
        const std::string& vm, const std::string& device,
        const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
        const DeleteMethod::ResultCbType& result) override;

   private:
    std::shared_ptr<::Tarn::Stub::AsyncApiStub> apiStub_;
  };
};

}  // namespace Com::Brantel::Kov::Vm::Device
