// Generated from schema/device/scsi_controller.toml by codegen/generate.py. Do not edit.
#pragma once

#include "binding/service.h"

namespace Com {
namespace Brantel {
namespace Kov {
namespace Vm {
namespace Device {

class KOV_EXPORT ScsiControllerSvc {
 public:
  class AsyncServiceInterface;

  class HbaType : public ::Tarn::Enum {
   public:
    enum Value : std::int32_t { LSILOGIC, LSISAS, ZSCSI, _UNKNOWN };
    struct Strings {
      static constexpr const char* values[] = {"LSILOGIC", "LSISAS", "ZSCSI", "_UNKNOWN", nullptr};
    };
    static constexpr const char typeName[] = "com.brantel.kov.vm.device.scsi_controller.hba_type";
    // NOLINTNEXTLINE(google-explicit-constructor)
    HbaType(Value value = _UNKNOWN) : ::Tarn::Enum(value) {}
    Value value() const { return static_cast<Value>(number()); }
  };

  struct AddMethod : ::Tarn::Provider::MethodBase<AddMethod> {
    struct Input : ::Tarn::Data::BaseNative {
      static constexpr const char nativeName[] =
          "::Com::Brantel::Kov::Vm::Device::ScsiControllerSvc::AddMethod::Input";
      static constexpr const char operationName[] =
          "::Com::Brantel::Kov::Vm::Device::ScsiControllerSvc::Add";

      std::string vmId;
      HbaType hbaType;
      std::int64_t controllerNumber = 0;

      struct AdapterHelper {
        static constexpr ::Tarn::Data::SortedNames<3> sortedNames{
            {"controller_number", "hba_type", "vm_id"}};
        template <class Helper>
        static void AddFields(Helper& h) {
          h.AddField("vm_id", &Input::vmId);
          h.AddField("hba_type", &Input::hbaType);
          h.AddField("controller_number", &Input::controllerNumber);
        }
      };
    };

    using Interface = AsyncServiceInterface;
    using Output = ::Tarn::Void;
    using ResultCbType = ::Tarn::AsyncResult<Output, ::Tarn::AsyncResultTerminateCbPolicy>;
    using Fields =
        ::Tarn::Provider::Fields<&Input::vmId, &Input::hbaType, &Input::controllerNumber>;
    using Errors =
        ::Tarn::Provider::ErrorList<::Com::Brantel::Tarn::Std::Errors::NotFound,
                                    ::Com::Brantel::Tarn::Std::Errors::NotAllowedInCurrentState,
                                    ::Com::Brantel::Tarn::Std::Errors::AlreadyExists,
                                    ::Com::Brantel::Tarn::Std::Errors::Error>;
    static constexpr const char wireName[] = "add";
    static constexpr auto resourceField = &Input::vmId;
    static constexpr const char resourceType[] = "com.brantel.kov.vm.VirtualMachine";
  };

  class KOV_EXPORT AsyncServiceInterface {
   public:
    static constexpr const char typeName[] = "com.brantel.kov.vm.device.scsi_controller";
    virtual void Add(const std::string& vmId, const HbaType& hbaType,
                     const std::int64_t& controllerNumber,
                     const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
                     const AddMethod::ResultCbType& result) = 0;
    virtual ~AsyncServiceInterface();
  };

  class KOV_EXPORT AsyncServiceBinderHelper : public ::Tarn::Provider::BinderHelperBase {
   public:
    using AddMethodBuilder = ::Tarn::Provider::MethodBuilder<AddMethod, AsyncServiceInterface>;
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
    void Add(const std::string& vmId, const HbaType& hbaType, const std::int64_t& controllerNumber,
             const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
             const AddMethod::ResultCbType& result) override;

   private:
    std::shared_ptr<::Tarn::Stub::AsyncApiStub> apiStub_;
  };
};

}  // namespace Device
}  // namespace Vm
}  // namespace Kov
}  // namespace Brantel
}  // namespace Com
