// Generated from schema/device/sata_controller.toml by codegen/generate.py. Do not edit.
#pragma once

#include "binding/service.h"

namespace Com {
namespace Brantel {
namespace Kov {
namespace Vm {
namespace Device {

class KOV_EXPORT SataControllerSvc {
 public:
  class AsyncServiceInterface;

  class HbaType : public ::Tarn::Enum {
   public:
    enum Value : std::int32_t { AHCI, _UNKNOWN };
    struct Strings {
      static constexpr const char* values[] = {"AHCI", "_UNKNOWN", nullptr};
    };
    static constexpr const char typeName[] = "com.brantel.kov.vm.device.sata_controller.hba_type";
    // NOLINTNEXTLINE(google-explicit-constructor)
    HbaType(Value value = _UNKNOWN) : ::Tarn::Enum(value) {}
    Value value() const { return static_cast<Value>(number()); }
  };

  struct Summary : ::Tarn::Data::BaseNative {
    static constexpr const char typeName[] = "com.brantel.kov.vm.device.sata_controller.summary";
    static constexpr const char nativeName[] =
        "::Com::Brantel::Kov::Vm::Device::SataControllerSvc::Summary";

    std::string label;

    struct AdapterHelper {
      static constexpr ::Tarn::Data::SortedNames<1> sortedNames{{"label"}};
      template <class Helper>
      static void AddFields(Helper& h) {
        h.AddField("label", &Summary::label);
      }
    };
  };

  struct FilterSpec : ::Tarn::Data::BaseNative {
    static constexpr const char typeName[] =
        "com.brantel.kov.vm.device.sata_controller.filter_spec";
    static constexpr const char nativeName[] =
        "::Com::Brantel::Kov::Vm::Device::SataControllerSvc::FilterSpec";

    boost::optional<std::set<std::string>> labels;

    struct AdapterHelper {
      static constexpr ::Tarn::Data::SortedNames<1> sortedNames{{"labels"}};
      template <class Helper>
      static void AddFields(Helper& h) {
        h.AddField("labels", &FilterSpec::labels);
      }
    };
  };

  struct AddMethod : ::Tarn::Provider::MethodBase<AddMethod> {
    struct Input : ::Tarn::Data::BaseNative {
      static constexpr const char nativeName[] =
          "::Com::Brantel::Kov::Vm::Device::SataControllerSvc::AddMethod::Input";
      static constexpr const char operationName[] =
          "::Com::Brantel::Kov::Vm::Device::SataControllerSvc::Add";

      std::string vm;
      HbaType hbaType;
      std::int64_t controllerNumber = 0;

      struct AdapterHelper {
        static constexpr ::Tarn::Data::SortedNames<3> sortedNames{
            {"controller_number", "hba_type", "vm"}};
        template <class Helper>
        static void AddFields(Helper& h) {
          h.AddField("vm", &Input::vm);
          h.AddField("hba_type", &Input::hbaType);
          h.AddField("controller_number", &Input::controllerNumber);
        }
      };
    };

    using Interface = AsyncServiceInterface;
    using Output = ::Tarn::Void;
    using ResultCbType = ::Tarn::AsyncResult<Output, ::Tarn::AsyncResultTerminateCbPolicy>;
    using Fields = ::Tarn::Provider::Fields<&Input::vm, &Input::hbaType, &Input::controllerNumber>;
    using Errors =
        ::Tarn::Provider::ErrorList<::Com::Brantel::Tarn::Std::Errors::NotFound,
                                    ::Com::Brantel::Tarn::Std::Errors::NotAllowedInCurrentState,
                                    ::Com::Brantel::Tarn::Std::Errors::AlreadyExists,
                                    ::Com::Brantel::Tarn::Std::Errors::Error>;
    static constexpr const char wireName[] = "add";
    static constexpr auto resourceField = &Input::vm;
    static constexpr const char resourceType[] = "com.brantel.kov.vm.VirtualMachine";
  };

  struct UpdateMethod : ::Tarn::Provider::MethodBase<UpdateMethod> {
    struct Input : ::Tarn::Data::BaseNative {
      static constexpr const char nativeName[] =
          "::Com::Brantel::Kov::Vm::Device::SataControllerSvc::UpdateMethod::Input";
      static constexpr const char operationName[] =
          "::Com::Brantel::Kov::Vm::Device::SataControllerSvc::Update";

      std::string vm;
      HbaType hbaType;
      std::int64_t controllerNumber = 0;

      struct AdapterHelper {
        static constexpr ::Tarn::Data::SortedNames<3> sortedNames{
            {"controller_number", "hba_type", "vm"}};
        template <class Helper>
        static void AddFields(Helper& h) {
          h.AddField("vm", &Input::vm);
          h.AddField("hba_type", &Input::hbaType);
          h.AddField("controller_number", &Input::controllerNumber);
        }
      };
    };

    using Interface = AsyncServiceInterface;
    using Output = ::Tarn::Void;
    using ResultCbType = ::Tarn::AsyncResult<Output, ::Tarn::AsyncResultTerminateCbPolicy>;
    using Fields = ::Tarn::Provider::Fields<&Input::vm, &Input::hbaType, &Input::controllerNumber>;
    using Errors =
        ::Tarn::Provider::ErrorList<::Com::Brantel::Tarn::Std::Errors::NotFound,
                                    ::Com::Brantel::Tarn::Std::Errors::NotAllowedInCurrentState,
                                    ::Com::Brantel::Tarn::Std::Errors::Error>;
    static constexpr const char wireName[] = "update";
    static constexpr auto resourceField = &Input::vm;
    static constexpr const char resourceType[] = "com.brantel.kov.vm.VirtualMachine";
  };

  struct DeleteMethod : ::Tarn::Provider::MethodBase<DeleteMethod> {
    struct Input : ::Tarn::Data::BaseNative {
      static constexpr const char nativeName[] =
          "::Com::Brantel::Kov::Vm::Device::SataControllerSvc::DeleteMethod::Input";
      static constexpr const char operationName[] =
          "::Com::Brantel::Kov::Vm::Device::SataControllerSvc::Delete";

      std::string vm;
      std::int64_t controllerNumber = 0;

      struct AdapterHelper {
        static constexpr ::Tarn::Data::SortedNames<2> sortedNames{{"controller_number", "vm"}};
        template <class Helper>
        static void AddFields(Helper& h) {
          h.AddField("vm", &Input::vm);
          h.AddField("controller_number", &Input::controllerNumber);
        }
      };
    };

    using Interface = AsyncServiceInterface;
    using Output = ::Tarn::Void;
    using ResultCbType = ::Tarn::AsyncResult<Output, ::Tarn::AsyncResultTerminateCbPolicy>;
    using Fields = ::Tarn::Provider::Fields<&Input::vm, &Input::controllerNumber>;
    using Errors =
        ::Tarn::Provider::ErrorList<::Com::Brantel::Tarn::Std::Errors::NotFound,
                                    ::Com::Brantel::Tarn::Std::Errors::NotAllowedInCurrentState,
                                    ::Com::Brantel::Tarn::Std::Errors::Error>;
    static constexpr const char wireName[] = "delete";
    static constexpr auto resourceField = &Input::vm;
    static constexpr const char resourceType[] = "com.brantel.kov.vm.VirtualMachine";
  };

  struct ListMethod : ::Tarn::Provider::MethodBase<ListMethod> {
    struct Input : ::Tarn::Data::BaseNative {
      static constexpr const char nativeName[] =
          "::Com::Brantel::Kov::Vm::Device::SataControllerSvc::ListMethod::Input";
      static constexpr const char operationName[] =
          "::Com::Brantel::Kov::Vm::Device::SataControllerSvc::List";

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

  class KOV_EXPORT AsyncServiceInterface {
   public:
    static constexpr const char typeName[] = "com.brantel.kov.vm.device.sata_controller";
    virtual void Add(const std::string& vm, const HbaType& hbaType,
                     const std::int64_t& controllerNumber,
                     const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
                     const AddMethod::ResultCbType& result) = 0;
    virtual void Update(const std::string& vm, const HbaType& hbaType,
                        const std::int64_t& controllerNumber,
                        const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
                        const UpdateMethod::ResultCbType& result) = 0;
    virtual void Delete(const std::string& vm, const std::int64_t& controllerNumber,
                        const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
                        const DeleteMethod::ResultCbType& result) = 0;
    virtual void List(const std::string& vm, const ::Tarn::OptionalPtr<const FilterSpec>& filter,
                      const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
                      const ListMethod::ResultCbType& result) = 0;
    virtual ~AsyncServiceInterface();
  };

  class KOV_EXPORT AsyncServiceBinderHelper : public ::Tarn::Provider::BinderHelperBase {
   public:
    using AddMethodBuilder = ::Tarn::Provider::MethodBuilder<AddMethod, AsyncServiceInterface>;
    using UpdateMethodBuilder =
        ::Tarn::Provider::MethodBuilder<UpdateMethod, AsyncServiceInterface>;
    using DeleteMethodBuilder =
        ::Tarn::Provider::MethodBuilder<DeleteMethod, AsyncServiceInterface>;
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
    void Add(const std::string& vm, const HbaType& hbaType, const std::int64_t& controllerNumber,
             const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
             const AddMethod::ResultCbType& result) override;
    void Update(const std::string& vm, const HbaType& hbaType, const std::int64_t& controllerNumber,
                const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
                const UpdateMethod::ResultCbType& result) override;
    void Delete(const std::string& vm, const std::int64_t& controllerNumber,
                const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
                const DeleteMethod::ResultCbType& result) override;
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
