// Generated from schema/device/sata_controller.toml by codegen/generate.py. Do not edit.
#pragma once

#include "binding/service.h"

namespace Com::Brantel::Kov::Vm::Device {

class KOV_EXPORT SataControllerSvc {
 public:
  class AsyncServiceInterface;
  template <class M, class Output>
  using MethodOf = ::Tarn::Provider::MethodBase<M, AsyncServiceInterface, Output>;

  struct HbaType : ::Tarn::EnumBase<HbaType> {
    enum Value : std::int32_t { AHCI, _UNKNOWN };
    struct Strings {
      static constexpr const char* values[] = {"AHCI", "_UNKNOWN", nullptr};
    };
    static constexpr char typeName[] = "com.brantel.kov.vm.device.sata_controller.hba_type";
    using EnumBase::EnumBase;
  };

  struct Summary : ::Tarn::Data::BaseNative {
    static constexpr char typeName[] = "com.brantel.kov.vm.device.sata_controller.summary";
    static constexpr char nativeName[] =
        "::Com::Brantel::Kov::Vm::Device::SataControllerSvc::Summary";

    std::string label;

    struct AdapterHelper {
      static constexpr ::Tarn::Data::SortedNames<1> sortedNames{{"label"}};
      template <class Helper> static constexpr void AddFields(Helper& h) {
        h.AddField("label", &Summary::label);
      }
    };
  };

  struct FilterSpec : ::Tarn::Data::BaseNative {
    static constexpr char typeName[] = "com.brantel.kov.vm.device.sata_controller.filter_spec";
    static constexpr char nativeName[] =
        "::Com::Brantel::Kov::Vm::Device::SataControllerSvc::FilterSpec";

    boost::optional<std::set<std::string>> labels;

    struct AdapterHelper {
      static constexpr ::Tarn::Data::SortedNames<1> sortedNames{{"labels"}};
      template <class Helper> static constexpr void AddFields(Helper& h) {
        h.AddField("labels", &FilterSpec::labels);
      }
    };
  };

  struct AddMethod : MethodOf<AddMethod, ::Tarn::Void> {
    struct Input : ::Tarn::Data::BaseNative {
      static constexpr char nativeName[] =
          "::Com::Brantel::Kov::Vm::Device::SataControllerSvc::AddMethod::Input";
      static constexpr char operationName[] =
          "::Com::Brantel::Kov::Vm::Device::SataControllerSvc::Add";

      std::string vm;
      HbaType hbaType;
      std::int64_t controllerNumber = 0;

      struct AdapterHelper {
        static constexpr ::Tarn::Data::SortedNames<3> sortedNames{{
            "controller_number", "hba_type", "vm"}};
        template <class Helper> static constexpr void AddFields(Helper& h) {
          h.AddField("vm", &Input::vm);
          h.AddField("hba_type", &Input::hbaType);
          h.AddField("controller_number", &Input::controllerNumber);
        }
      };
    };

    using Fields = ::Tarn::Provider::Fields<&Input::vm, &Input::hbaType, &Input::controllerNumber>;
    using Errors = ::Tarn::Provider::ErrorList<
        StdErrors::NotFound, StdErrors::NotAllowedInCurrentState, StdErrors::AlreadyExists,
        StdErrors::Error>;
    static constexpr char wireName[] = "add";
    static constexpr auto resourceField = &Input::vm;
  };

  struct UpdateMethod : MethodOf<UpdateMethod, ::Tarn::Void> {
    struct Input : ::Tarn::Data::BaseNative {
      static constexpr char nativeName[] =
          "::Com::Brantel::Kov::Vm::Device::SataControllerSvc::UpdateMethod::Input";
      static constexpr char operationName[] =
          "::Com::Brantel::Kov::Vm::Device::SataControllerSvc::Update";

      std::string vm;
      HbaType hbaType;
      std::int64_t controllerNumber = 0;

      struct AdapterHelper {
        static constexpr ::Tarn::Data::SortedNames<3> sortedNames{{
            "controller_number", "hba_type", "vm"}};
        template <class Helper> static constexpr void AddFields(Helper& h) {
          h.AddField("vm", &Input::vm);
          h.AddField("hba_type", &Input::hbaType);
          h.AddField("controller_number", &Input::controllerNumber);
        }
      };
    };

    using Fields = ::Tarn::Provider::Fields<&Input::vm, &Input::hbaType, &Input::controllerNumber>;
    using Errors = ::Tarn::Provider::ErrorList<
        StdErrors::NotFound, StdErrors::NotAllowedInCurrentState, StdErrors::Error>;
    static constexpr char wireName[] = "update";
    static constexpr auto resourceField = &Input::vm;
  };

  struct DeleteMethod : MethodOf<DeleteMethod, ::Tarn::Void> {
    struct Input : ::Tarn::Data::BaseNative {
      static constexpr char nativeName[] =
          "::Com::Brantel::Kov::Vm::Device::SataControllerSvc::DeleteMethod::Input";
      static constexpr char operationName[] =
          "::Com::Brantel::Kov::Vm::Device::SataControllerSvc::Delete";

      std::string vm;
      std::int64_t controllerNumber = 0;

      struct AdapterHelper {
        static constexpr ::Tarn::Data::SortedNames<2> sortedNames{{"controller_number", "vm"}};
        template <class Helper> static constexpr void AddFields(Helper& h) {
          h.AddField("vm", &Input::vm);
          h.AddField("controller_number", &Input::controllerNumber);
        }
      };
    };

    using Fields = ::Tarn::Provider::Fields<&Input::vm, &Input::controllerNumber>;
    using Errors = ::Tarn::Provider::ErrorList<
        StdErrors::NotFound, StdErrors::NotAllowedInCurrentState, StdErrors::Error>;
    static constexpr char wireName[] = "delete";
    static constexpr auto resourceField = &Input::vm;
  };

  struct ListMethod : MethodOf<ListMethod, std::vector<std::shared_ptr<const Summary>>> {
    struct Input : ::Tarn::Data::BaseNative {
      static constexpr char nativeName[] =
          "::Com::Brantel::Kov::Vm::Device::SataControllerSvc::ListMethod::Input";
      static constexpr char operationName[] =
          "::Com::Brantel::Kov::Vm::Device::SataControllerSvc::List";

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
    static constexpr char typeName[] = "com.brantel.kov.vm.device.sata_controller";
    virtual void Add(
        const std::string& vm, const HbaType& hbaType, const std::int64_t& controllerNumber,
        const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
        const AddMethod::ResultCbType& result) = 0;
    virtual void Update(
        const std::string& vm, const HbaType& hbaType, const std::int64_t& controllerNumber,
        const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
        const UpdateMethod::ResultCbType& result) = 0;
    virtual void Delete(
        const std::string& vm, const std::int64_t& controllerNumber,
        const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
        const DeleteMethod::ResultCbType& result) = 0;
    virtual void List(
        const std::string& vm, const ::Tarn::OptionalPtr<const FilterSpec>& filter,
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

  using AsyncServiceBinder =
      ::Tarn::Provider::Binder<AsyncServiceBinderHelper, AsyncServiceInterface>;

  class KOV_EXPORT AsyncServiceStub : public AsyncServiceInterface {
     public:
    explicit AsyncServiceStub(std::shared_ptr<::Tarn::Stub::AsyncApiStub> apiStub)
        : apiStub_(std::move(apiStub)) {}
    void Add(
        const std::string& vm, const HbaType& hbaType, const std::int64_t& controllerNumber,
        const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
        const AddMethod::ResultCbType& result) override;
    void Update(
        const std::string& vm, const HbaType& hbaType, const std::int64_t& controllerNumber,
        const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
        const UpdateMethod::ResultCbType& result) override;
    void Delete(
        const std::string& vm, const std::int64_t& controllerNumber,
        const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
        const DeleteMethod::ResultCbType& result) override;
    void List(
        const std::string& vm, const ::Tarn::OptionalPtr<const FilterSpec>& filter,
        const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
        const ListMethod::ResultCbType& result) override;

   private:
    std::shared_ptr<::Tarn::Stub::AsyncApiStub> apiStub_;
  };
};

}  // namespace Com::Brantel::Kov::Vm::Device
