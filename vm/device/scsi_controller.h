// Generated from schema/device/scsi_controller.toml by codegen/generate.py. Do not edit.
#pragma once

#include "binding/service.h"

namespace Com::Brantel::Kov::Vm::Device {

class KOV_EXPORT ScsiControllerSvc {
 public:
  class AsyncServiceInterface;
  template <class M, class Output>
  using MethodOf = ::Tarn::Provider::MethodBase<M, AsyncServiceInterface, Output>;

  struct HbaType : ::Tarn::EnumBase<HbaType> {
    enum Value : std::int32_t { LSILOGIC, LSISAS, ZSCSI, _UNKNOWN };
    struct Strings {
      static constexpr const char* values[] = {"LSILOGIC", "LSISAS", "ZSCSI", "_UNKNOWN", nullptr};
    };
    static constexpr char typeName[] = "com.brantel.kov.vm.device.scsi_controller.hba_type";
    using EnumBase::EnumBase;
  };

  struct AddMethod : MethodOf<AddMethod, ::Tarn::Void> {
    struct Input : ::Tarn::Data::BaseNative {
      static constexpr char nativeName[] =
          "::Com::Brantel::Kov::Vm::Device::ScsiControllerSvc::AddMethod::Input";
      static constexpr char operationName[] =
          "::Com::Brantel::Kov::Vm::Device::ScsiControllerSvc::Add";

      std::string vmId;
      HbaType hbaType;
      std::int64_t controllerNumber = 0;

      struct AdapterHelper {
        static constexpr ::Tarn::Data::SortedNames<3> sortedNames{{
            "controller_number", "hba_type", "vm_id"}};
        template <class Helper> static constexpr void AddFields(Helper& h) {
          h.AddField("vm_id", &Input::vmId);
          h.AddField("hba_type", &Input::hbaType);
          h.AddField("controller_number", &Input::controllerNumber);
        }
      };
    };

    using Fields = ::Tarn::Provider::Fields<
        &Input::vmId, &Input::hbaType, &Input::controllerNumber>;
    using Errors = ::Tarn::Provider::ErrorList<
        StdErrors::NotFound, StdErrors::NotAllowedInCurrentState, StdErrors::AlreadyExists,
        StdErrors::Error>;
    static constexpr char wireName[] = "add";
    static constexpr auto resourceField = &Input::vmId;
  };

  class KOV_EXPORT AsyncServiceInterface {
     public:
    static constexpr char typeName[] = "com.brantel.kov.vm.device.scsi_controller";
    virtual void Add(
        const std::string& vmId, const HbaType& hbaType, const std::int64_t& controllerNumber,
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

  using AsyncServiceBinder =
      ::Tarn::Provider::Binder<AsyncServiceBinderHelper, AsyncServiceInterface>;

  class KOV_EXPORT AsyncServiceStub : public AsyncServiceInterface {
     public:
    explicit AsyncServiceStub(std::shared_ptr<::Tarn::Stub::AsyncApiStub> apiStub)
        : apiStub_(std::move(apiStub)) {}
    void Add(
        const std::string& vmId, const HbaType& hbaType, const std::int64_t& controllerNumber,
        const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
        const AddMethod::ResultCbType& result) override;

   private:
    std::shared_ptr<::Tarn::Stub::AsyncApiStub> apiStub_;
  };
};

}  // namespace Com::Brantel::Kov::Vm::Device
