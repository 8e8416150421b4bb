// Generated from schema/modules/log_level.toml by codegen/generate.py. Do not edit.
#pragma once

#include "binding/service.h"

namespace Com::Brantel::Kov::Vm::Modules {

// The log level service: gives a module of a virtual machine a logging level, or removes it.
class KOV_EXPORT LogLevelSvc {
 public:
  class AsyncServiceInterface;
  template <class M, class Output>
  using MethodOf = ::Tarn::Provider::MethodBase<M, AsyncServiceInterface, Output>;

  // Seventeen logging levels, from errors only to the most detailed debugging; any other text is
  // kept as _UNKNOWN.
  struct Level : ::Tarn::EnumBase<Level> {
    enum Value : std::int32_t {
        BRT_LOG_ERROR, BRT_LOG_WARNING, BRT_LOG_NOTICE, BRT_LOG_INFO, BRT_LOG_VERBOSE,
        BRT_LOG_TRIVIA, BRT_LOG_DEBUG_00, BRT_LOG_DEBUG_01, BRT_LOG_DEBUG_02, BRT_LOG_DEBUG_03,
        BRT_LOG_DEBUG_04, BRT_LOG_DEBUG_05, BRT_LOG_DEBUG_06, BRT_LOG_DEBUG_07, BRT_LOG_DEBUG_08,
        BRT_LOG_DEBUG_09, BRT_LOG_DEBUG_10, _UNKNOWN };
    struct Strings {
      static constexpr const char* values[] = {
          "BRT_LOG_ERROR", "BRT_LOG_WARNING", "BRT_LOG_NOTICE", "BRT_LOG_INFO", "BRT_LOG_VERBOSE",
          "BRT_LOG_TRIVIA", "BRT_LOG_DEBUG_00", "BRT_LOG_DEBUG_01", "BRT_LOG_DEBUG_02",
          "BRT_LOG_DEBUG_03", "BRT_LOG_DEBUG_04", "BRT_LOG_DEBUG_05", "BRT_LOG_DEBUG_06",
          "BRT_LOG_DEBUG_07", "BRT_LOG_DEBUG_08", "BRT_LOG_DEBUG_09", "BRT_LOG_DEBUG_10",
          "_UNKNOWN", nullptr};
    };
    static constexpr char typeName[] = "com.brantel.kov.vm.modules.log_level.level";
    using EnumBase::EnumBase;
  };

  // The level to give a module. Any level is valid, an unknown one included: it reaches the host
  // with its text.
  struct SetSpec : ::Tarn::Data::BaseNative {
    static constexpr char typeName[] = "com.brantel.kov.vm.modules.log_level.set_spec";
    static constexpr char nativeName[] = "::Com::Brantel::Kov::Vm::Modules::LogLevelSvc::SetSpec";

    Level level;

    struct AdapterHelper {
      static constexpr ::Tarn::Data::SortedNames<1> sortedNames{{"level"}};
      template <class Helper> static constexpr void AddFields(Helper& h) {
        h.AddField("level", &SetSpec::level);
      }
    };
  };

  struct SetMethod : MethodOf<SetMethod, ::Tarn::Void> {
    struct Input : ::Tarn::Data::BaseNative {
      static constexpr char nativeName[] =
          "::Com::Brantel::Kov::Vm::Modules::LogLevelSvc::SetMethod::Input";
      static constexpr char operationName[] = "::Com::Brantel::Kov::Vm::Modules::LogLevelSvc::Set";

      std::string vm;
      std::string module;
      std::shared_ptr<const SetSpec> spec;

      struct AdapterHelper {
        static constexpr ::Tarn::Data::SortedNames<3> sortedNames{{"module", "spec", "vm"}};
        template <class Helper> static constexpr void AddFields(Helper& h) {
          h.AddField("vm", &Input::vm);
          h.AddField("module", &Input::module);
          h.AddField("spec", &Input::spec);
        }
      };
    };

    using Fields = ::Tarn::Provider::Fields<&Input::vm, &Input::module, &Input::spec>;
    using Errors = ::Tarn::Provider::ErrorList<
        StdErrors::Error, StdErrors::InvalidArgument, StdErrors::NotFound,
        StdErrors::NotAllowedInCurrentState, StdErrors::Unauthorized>;
    static constexpr char wireName[] = "set";
    static constexpr auto resourceField = &Input::vm;
  };

  struct DeleteMethod : MethodOf<DeleteMethod, ::Tarn::Void> {
    struct Input : ::Tarn::Data::BaseNative {
      static constexpr char nativeName[] =
          "::Com::Brantel::Kov::Vm::Modules::LogLevelSvc::DeleteMethod::Input";
      static constexpr char operationName[] =
          "::Com::Brantel::Kov::Vm::Modules::LogLevelSvc::Delete";

      std::string vm;
      std::string module;

      struct AdapterHelper {
        static constexpr ::Tarn::Data::SortedNames<2> sortedNames{{"module", "vm"}};
        template <class Helper> static constexpr void AddFields(Helper& h) {
          h.AddField("vm", &Input::vm);
          h.AddField("module", &Input::module);
        }
      };
    };

    using Fields = ::Tarn::Provider::Fields<&Input::vm, &Input::module>;
    using Errors = ::Tarn::Provider::ErrorList<
        StdErrors::Error, StdErrors::InvalidArgument, StdErrors::NotFound,
        StdErrors::NotAllowedInCurrentState, StdErrors::Unauthorized>;
    static constexpr char wireName[] = "delete";
    static constexpr auto resourceField = &Input::vm;
  };

  class KOV_EXPORT AsyncServiceInterface {
     public:
    static constexpr char typeName[] = "com.brantel.kov.vm.modules.log_level";
    virtual void Set(
        const std::string& vm, const std::string& module,
        const std::shared_ptr<const SetSpec>& spec,
        const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
        const SetMethod::ResultCbType& result) = 0;
    virtual void Delete(
        const std::string& vm, const std::string& module,
        const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
        const DeleteMethod::ResultCbType& result) = 0;
    virtual ~AsyncServiceInterface();
  };

  class KOV_EXPORT AsyncServiceBinderHelper : public ::Tarn::Provider::BinderHelperBase {
     public:
    using SetMethodBuilder = ::Tarn::Provider::MethodBuilder<SetMethod, AsyncServiceInterface>;
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
    void Set(
        const std::string& vm, const std::string& module,
        const std::shared_ptr<const SetSpec>& spec,
        const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
        const SetMethod::ResultCbType& result) override;
    void Delete(
        const std::string& vm, const std::string& module,
        const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
        const DeleteMethod::ResultCbType& result) override;

   private:
    std::shared_ptr<::Tarn::Stub::AsyncApiStub> apiStub_;
  };
};

}  // namespace Com::Brantel::Kov::Vm::Modules
