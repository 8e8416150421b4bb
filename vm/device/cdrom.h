// Generated from schema/device/cdrom.toml by codegen/generate.py. Do not edit.
#pragma once

#include "binding/service.h"

namespace Com {
namespace Brantel {
namespace Kov {
namespace Vm {
namespace Device {

class KOV_EXPORT CdromSvc {
 public:
  class AsyncServiceInterface;

  class BackingType : public ::Tarn::Enum {
   public:
    enum Value : std::int32_t { ATAPI, IMAGE, RAW, _UNKNOWN };
    struct Strings {
      static constexpr const char* values[] = {"ATAPI", "IMAGE", "RAW", "_UNKNOWN", nullptr};
    };
    static constexpr const char typeName[] = "com.brantel.kov.vm.device.cdrom.backing_type";
    // NOLINTNEXTLINE(google-explicit-constructor)
    BackingType(Value value = _UNKNOWN) : ::Tarn::Enum(value) {}
    Value value() const { return static_cast<Value>(number()); }
  };

  struct BackingInfoAnnotations {
    class UnionTags : public ::Tarn::Enum {
     public:
      enum Value : std::int32_t { type, _UNKNOWN };
      struct Strings {
        static constexpr const char* values[] = {"type", "_UNKNOWN", nullptr};
      };
      // NOLINTNEXTLINE(google-explicit-constructor)
      UnionTags(Value value = _UNKNOWN) : ::Tarn::Enum(value) {}
      Value value() const { return static_cast<Value>(number()); }
    };

    class DeviceNameUnionCases : public ::Tarn::Enum {
     public:
      enum Value : std::int32_t { ATAPI, RAW, _UNKNOWN };
      struct Strings {
        static constexpr const char* values[] = {"ATAPI", "RAW", "_UNKNOWN", nullptr};
      };
      // NOLINTNEXTLINE(google-explicit-constructor)
      DeviceNameUnionCases(Value value = _UNKNOWN) : ::Tarn::Enum(value) {}
      Value value() const { return static_cast<Value>(number()); }
    };

    class IsoFileUnionCases : public ::Tarn::Enum {
     public:
      enum Value : std::int32_t { IMAGE, _UNKNOWN };
      struct Strings {
        static constexpr const char* values[] = {"IMAGE", "_UNKNOWN", nullptr};
      };
      // NOLINTNEXTLINE(google-explicit-constructor)
      IsoFileUnionCases(Value value = _UNKNOWN) : ::Tarn::Enum(value) {}
      Value value() const { return static_cast<Value>(number()); }
    };
  };

  struct BackingInfo : ::Tarn::Data::BaseNative {
    static constexpr const char typeName[] = "com.brantel.kov.vm.device.cdrom.backing_info";
    static constexpr const char nativeName[] =
        "::Com::Brantel::Kov::Vm::Device::CdromSvc::BackingInfo";

    BackingType type;
    boost::optional<std::string> deviceName;
    boost::optional<std::string> isoFile;

    // The union's tag, and the tag values that require or allow each field it governs.
    using UnionTags = BackingInfoAnnotations::UnionTags;
    using DeviceNameCase =
        ::Tarn::Data::UnionCaseAnyEnumValue<BackingInfoAnnotations::DeviceNameUnionCases>;
    using IsoFileCase =
        ::Tarn::Data::OptUnionCaseAnyEnumValue<BackingInfoAnnotations::IsoFileUnionCases>;

    struct AdapterHelper {
      static constexpr ::Tarn::Data::SortedNames<3> sortedNames{
          {"device_name", "iso_file", "type"}};
      template <class Helper>
      static void AddFields(Helper& h) {
        h.AddField("type", &BackingInfo::type);
        h.AddField("device_name", &BackingInfo::deviceName,
                   ::Tarn::Data::UnionCase<UnionTags, DeviceNameCase>());
        h.AddField("iso_file", &BackingInfo::isoFile,
                   ::Tarn::Data::UnionCase<UnionTags, IsoFileCase>());
      }
    };

    struct UnionRules {
      template <class Checker>
      static void Check(Checker& c) {
        c.Case(&BackingInfo::type, &BackingInfo::deviceName, "deviceName", DeviceNameCase());
        c.Case(&BackingInfo::type, &BackingInfo::isoFile, "isoFile", IsoFileCase());
        c.template MissingTag<UnionTags>(&BackingInfo::type);
      }
    };
  };

  struct Summary : ::Tarn::Data::BaseNative {
    static constexpr const char typeName[] = "com.brantel.kov.vm.device.cdrom.summary";
    static constexpr const char nativeName[] = "::Com::Brantel::Kov::Vm::Device::CdromSvc::Summary";

    std::string cdrom;
    BackingType backingType;
    std::string device;

    struct AdapterHelper {
      static constexpr ::Tarn::Data::SortedNames<3> sortedNames{
          {"backing_type", "cdrom", "device"}};
      template <class Helper>
      static void AddFields(Helper& h) {
        h.AddField("cdrom", &Summary::cdrom);
        h.AddField("backing_type", &Summary::backingType);
        h.AddField("device", &Summary::device);
      }
    };

    struct Metadata {
      static constexpr const char name[] = "com.brantel.kov.vm.device.Cdrom.Summary";
      static constexpr ::Tarn::Metadata::ResourceField fields[] = {{"cdrom", "VIRTUAL_CDROM"}};
    };
  };

  struct FilterSpec : ::Tarn::Data::BaseNative {
    static constexpr const char typeName[] = "com.brantel.kov.vm.device.cdrom.filter_spec";
    static constexpr const char nativeName[] =
        "::Com::Brantel::Kov::Vm::Device::CdromSvc::FilterSpec";

    boost::optional<std::set<std::string>> cdroms;
    boost::optional<std::set<BackingType>> backingTypes;
    boost::optional<std::set<std::string>> devices;

    struct AdapterHelper {
      static constexpr ::Tarn::Data::SortedNames<3> sortedNames{
          {"backing_types", "cdroms", "devices"}};
      template <class Helper>
      static void AddFields(Helper& h) {
        h.AddField("cdroms", &FilterSpec::cdroms);
        h.AddField("backing_types", &FilterSpec::backingTypes);
        h.AddField("devices", &FilterSpec::devices);
      }
    };

    struct Metadata {
      static constexpr const char name[] = "com.brantel.kov.vm.device.Cdrom.FilterSpec";
      static constexpr ::Tarn::Metadata::ResourceField fields[] = {{"cdroms", "VIRTUAL_CDROM"}};
    };
  };

  struct AddMethod : ::Tarn::Provider::MethodBase<AddMethod> {
    struct Input : ::Tarn::Data::BaseNative {
      static constexpr const char nativeName[] =
          "::Com::Brantel::Kov::Vm::Device::CdromSvc::AddMethod::Input";
      static constexpr const char operationName[] =
          "::Com::Brantel::Kov::Vm::Device::CdromSvc::Add";

      std::string vm;
      std::shared_ptr<const BackingInfo> backing;
      std::string device;

      struct AdapterHelper {
        static constexpr ::Tarn::Data::SortedNames<3> sortedNames{{"backing", "device", "vm"}};
        template <class Helper>
        static void AddFields(Helper& h) {
          h.AddField("vm", &Input::vm);
          h.AddField("backing", &Input::backing);
          h.AddField("device", &Input::device);
        }
      };
    };

    using Interface = AsyncServiceInterface;
    using Output = std::string;
    using ResultCbType = ::Tarn::AsyncResult<Output, ::Tarn::AsyncResultTerminateCbPolicy>;
    using Fields = ::Tarn::Provider::Fields<&Input::vm, &Input::backing, &Input::device>;
    using Errors =
        ::Tarn::Provider::ErrorList<::Com::Brantel::Tarn::Std::Errors::NotFound,
                                    ::Com::Brantel::Tarn::Std::Errors::NotAllowedInCurrentState,
                                    ::Com::Brantel::Tarn::Std::Errors::InvalidArgument,
                                    ::Com::Brantel::Tarn::Std::Errors::AlreadyExists,
                                    ::Com::Brantel::Tarn::Std::Errors::UnableToAllocateResource,
                                    ::Com::Brantel::Tarn::Std::Errors::Error>;
    static constexpr const char wireName[] = "add";
    static constexpr auto resourceField = &Input::vm;
    static constexpr const char resourceType[] = "com.brantel.kov.vm.VirtualMachine";
  };

  struct ListMethod : ::Tarn::Provider::MethodBase<ListMethod> {
    struct Input : ::Tarn::Data::BaseNative {
      static constexpr const char nativeName[] =
          "::Com::Brantel::Kov::Vm::Device::CdromSvc::ListMethod::Input";
      static constexpr const char operationName[] =
          "::Com::Brantel::Kov::Vm::Device::CdromSvc::List";

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
    using Output = std::vector<std::shared_ptr<const Summary>>;
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

  struct DeleteMethod : ::Tarn::Provider::MethodBase<DeleteMethod> {
    struct Input : ::Tarn::Data::BaseNative {
      static constexpr const char nativeName[] =
          "::Com::Brantel::Kov::Vm::Device::CdromSvc::DeleteMethod::Input";
      static constexpr const char operationName[] =
          "::Com::Brantel::Kov::Vm::Device::CdromSvc::Delete";

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
                                    ::Com::Brantel::Tarn::Std::Errors::InvalidArgument,
                                    ::Com::Brantel::Tarn::Std::Errors::Error>;
    static constexpr const char wireName[] = "delete";
    static constexpr auto resourceField = &Input::vm;
    static constexpr const char resourceType[] = "com.brantel.kov.vm.VirtualMachine";
  };

  class KOV_EXPORT AsyncServiceInterface {
   public:
    static constexpr const char typeName[] = "com.brantel.kov.vm.device.cdrom";
    virtual void Add(const std::string& vm, const std::shared_ptr<const BackingInfo>& backing,
                     const std::string& device,
                     const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
                     const AddMethod::ResultCbType& result) = 0;
    virtual void List(const std::string& vm, const ::Tarn::OptionalPtr<const FilterSpec>& filter,
                      const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
                      const ListMethod::ResultCbType& result) = 0;
    virtual void Delete(const std::string& vm, const std::string& device,
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
    void Add(const std::string& vm, const std::shared_ptr<const BackingInfo>& backing,
             const std::string& device,
             const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
             const AddMethod::ResultCbType& result) override;
    void List(const std::string& vm, const ::Tarn::OptionalPtr<const FilterSpec>& filter,
              const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
              const ListMethod::ResultCbType& result) override;
    void Delete(const std::string& vm, const std::string& device,
                const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
                const DeleteMethod::ResultCbType& result) override;

   private:
    std::shared_ptr<::Tarn::Stub::AsyncApiStub> apiStub_;
  };
};

}  // namespace Device
}  // namespace Vm
}  // namespace Kov
}  // namespace Brantel
}  // namespace Com
