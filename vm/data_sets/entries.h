// Generated from schema/data_sets/entries.toml by codegen/generate.py. Do not edit.
#pragma once

#include "binding/service.h"

namespace Com {
namespace Brantel {
namespace Kov {
namespace Vm {
namespace DataSets {

class KOV_EXPORT EntriesSvc {
 public:
  class AsyncServiceInterface;

  struct SetMethod : ::Tarn::Provider::MethodBase<SetMethod> {
    struct Input : ::Tarn::Data::BaseNative {
      static constexpr const char nativeName[] =
          "::Com::Brantel::Kov::Vm::DataSets::EntriesSvc::SetMethod::Input";
      static constexpr const char operationName[] =
          "::Com::Brantel::Kov::Vm::DataSets::EntriesSvc::Set";

      std::string vm;
      std::string dataSet;
      std::string key;
      std::string value;

      struct AdapterHelper {
        static constexpr ::Tarn::Data::SortedNames<4> sortedNames{
            {"data_set", "key", "value", "vm"}};
        template <class Helper>
        static void AddFields(Helper& h) {
          h.AddField("vm", &Input::vm);
          h.AddField("data_set", &Input::dataSet);
          h.AddField("key", &Input::key);
          h.AddField("value", &Input::value);
        }
      };
    };

    using Interface = AsyncServiceInterface;
    using Output = ::Tarn::Void;
    using ResultCbType = ::Tarn::AsyncResult<Output, ::Tarn::AsyncResultTerminateCbPolicy>;
    using Fields =
        ::Tarn::Provider::Fields<&Input::vm, &Input::dataSet, &Input::key, &Input::value>;
    using Errors =
        ::Tarn::Provider::ErrorList<::Com::Brantel::Tarn::Std::Errors::Error,
                                    ::Com::Brantel::Tarn::Std::Errors::InvalidArgument,
                                    ::Com::Brantel::Tarn::Std::Errors::NotAllowedInCurrentState,
                                    ::Com::Brantel::Tarn::Std::Errors::NotFound,
                                    ::Com::Brantel::Tarn::Std::Errors::ServiceUnavailable,
                                    ::Com::Brantel::Tarn::Std::Errors::UnableToAllocateResource,
                                    ::Com::Brantel::Tarn::Std::Errors::Unauthorized,
                                    ::Com::Brantel::Tarn::Std::Errors::Unsupported>;
    static constexpr const char wireName[] = "set";
    static constexpr auto resourceField = &Input::vm;
    static constexpr const char resourceType[] = "com.brantel.kov.vm.VirtualMachine";
  };

  struct GetMethod : ::Tarn::Provider::MethodBase<GetMethod> {
    struct Input : ::Tarn::Data::BaseNative {
      static constexpr const char nativeName[] =
          "::Com::Brantel::Kov::Vm::DataSets::EntriesSvc::GetMethod::Input";
      static constexpr const char operationName[] =
          "::Com::Brantel::Kov::Vm::DataSets::EntriesSvc::Get";

      std::string vm;
      std::string dataSet;
      std::string key;

      struct AdapterHelper {
        static constexpr ::Tarn::Data::SortedNames<3> sortedNames{{"data_set", "key", "vm"}};
        template <class Helper>
        static void AddFields(Helper& h) {
          h.AddField("vm", &Input::vm);
          h.AddField("data_set", &Input::dataSet);
          h.AddField("key", &Input::key);
        }
      };
    };

    using Interface = AsyncServiceInterface;
    using Output = std::string;
    using ResultCbType = ::Tarn::AsyncResult<Output, ::Tarn::AsyncResultTerminateCbPolicy>;
    using Fields = ::Tarn::Provider::Fields<&Input::vm, &Input::dataSet, &Input::key>;
    using Errors =
        ::Tarn::Provider::ErrorList<::Com::Brantel::Tarn::Std::Errors::Error,
                                    ::Com::Brantel::Tarn::Std::Errors::NotFound,
                                    ::Com::Brantel::Tarn::Std::Errors::ServiceUnavailable,
                                    ::Com::Brantel::Tarn::Std::Errors::Unauthorized,
                                    ::Com::Brantel::Tarn::Std::Errors::Unsupported>;
    static constexpr const char wireName[] = "get";
    static constexpr auto resourceField = &Input::vm;
    static constexpr const char resourceType[] = "com.brantel.kov.vm.VirtualMachine";
  };

  struct DeleteMethod : ::Tarn::Provider::MethodBase<DeleteMethod> {
    struct Input : ::Tarn::Data::BaseNative {
      static constexpr const char nativeName[] =
          "::Com::Brantel::Kov::Vm::DataSets::EntriesSvc::DeleteMethod::Input";
      static constexpr const char operationName[] =
          "::Com::Brantel::Kov::Vm::DataSets::EntriesSvc::Delete";

      std::string vm;
      std::string dataSet;
      std::string key;

      struct AdapterHelper {
        static constexpr ::Tarn::Data::SortedNames<3> sortedNames{{"data_set", "key", "vm"}};
        template <class Helper>
        static void AddFields(Helper& h) {
          h.AddField("vm", &Input::vm);
          h.AddField("data_set", &Input::dataSet);
          h.AddField("key", &Input::key);
        }
      };
    };

    using Interface = AsyncServiceInterface;
    using Output = ::Tarn::Void;
    using ResultCbType = ::Tarn::AsyncResult<Output, ::Tarn::AsyncResultTerminateCbPolicy>;
    using Fields = ::Tarn::Provider::Fields<&Input::vm, &Input::dataSet, &Input::key>;
    using Errors =
        ::Tarn::Provider::ErrorList<::Com::Brantel::Tarn::Std::Errors::Error,
                                    ::Com::Brantel::Tarn::Std::Errors::NotAllowedInCurrentState,
                                    ::Com::Brantel::Tarn::Std::Errors::NotFound,
                                    ::Com::Brantel::Tarn::Std::Errors::ServiceUnavailable,
                                    ::Com::Brantel::Tarn::Std::Errors::Unauthorized,
                                    ::Com::Brantel::Tarn::Std::Errors::Unsupported>;
    static constexpr const char wireName[] = "delete";
    static constexpr auto resourceField = &Input::vm;
    static constexpr const char resourceType[] = "com.brantel.kov.vm.VirtualMachine";
  };

  struct ListMethod : ::Tarn::Provider::MethodBase<ListMethod> {
    struct Input : ::Tarn::Data::BaseNative {
      static constexpr const char nativeName[] =
          "::Com::Brantel::Kov::Vm::DataSets::EntriesSvc::ListMethod::Input";
      static constexpr const char operationName[] =
          "::Com::Brantel::Kov::Vm::DataSets::EntriesSvc::List";

      std::string vm;
      std::string dataSet;

      struct AdapterHelper {
        static constexpr ::Tarn::Data::SortedNames<2> sortedNames{{"data_set", "vm"}};
        template <class Helper>
        static void AddFields(Helper& h) {
          h.AddField("vm", &Input::vm);
          h.AddField("data_set", &Input::dataSet);
        }
      };
    };

    using Interface = AsyncServiceInterface;
    using Output = std::set<std::string>;
    using ResultCbType = ::Tarn::AsyncResult<Output, ::Tarn::AsyncResultTerminateCbPolicy>;
    using Fields = ::Tarn::Provider::Fields<&Input::vm, &Input::dataSet>;
    using Errors =
        ::Tarn::Provider::ErrorList<::Com::Brantel::Tarn::Std::Errors::Error,
                                    ::Com::Brantel::Tarn::Std::Errors::NotFound,
                                    ::Com::Brantel::Tarn::Std::Errors::ServiceUnavailable,
                                    ::Com::Brantel::Tarn::Std::Errors::Unauthorized,
                                    ::Com::Brantel::Tarn::Std::Errors::Unsupported>;
    static constexpr const char wireName[] = "list";
    static constexpr auto resourceField = &Input::vm;
    static constexpr const char resourceType[] = "com.brantel.kov.vm.VirtualMachine";
  };

  class KOV_EXPORT AsyncServiceInterface {
   public:
    static constexpr const char typeName[] = "com.brantel.kov.vm.data_sets.entries";
    virtual void Set(const std::string& vm, const std::string& dataSet, const std::string& key,
                     const std::string& value,
                     const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
                     const SetMethod::ResultCbType& result) = 0;
    virtual void Get(const std::string& vm, const std::string& dataSet, const std::string& key,
                     const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
                     const GetMethod::ResultCbType& result) = 0;
    virtual void Delete(const std::string& vm, const std::string& dataSet, const std::string& key,
                        const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
                        const DeleteMethod::ResultCbType& result) = 0;
    virtual void List(const std::string& vm, const std::string& dataSet,
                      const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
                      const ListMethod::ResultCbType& result) = 0;
    virtual ~AsyncServiceInterface();
  };

  class KOV_EXPORT AsyncServiceBinderHelper : public ::Tarn::Provider::BinderHelperBase {
   public:
    using SetMethodBuilder = ::Tarn::Provider::MethodBuilder<SetMethod, AsyncServiceInterface>;
    using GetMethodBuilder = ::Tarn::Provider::MethodBuilder<GetMethod, AsyncServiceInterface>;
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
    void Set(const std::string& vm, const std::string& dataSet, const std::string& key,
             const std::string& value,
             const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
             const SetMethod::ResultCbType& result) override;
    void Get(const std::string& vm, const std::string& dataSet, const std::string& key,
             const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
             const GetMethod::ResultCbType& result) override;
    void Delete(const std::string& vm, const std::string& dataSet, const std::string& key,
                const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
                const DeleteMethod::ResultCbType& result) override;
    void List(const std::string& vm, const std::string& dataSet,
              const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
              const ListMethod::ResultCbType& result) override;

   private:
    std::shared_ptr<::Tarn::Stub::AsyncApiStub> apiStub_;
  };
};

}  // namespace DataSets
}  // namespace Vm
}  // namespace Kov
}  // namespace Brantel
}  // namespace Com
