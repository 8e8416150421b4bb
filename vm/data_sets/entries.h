// Generated from schema/data_sets/entries.toml by codegen/generate.py. Do not edit.
#pragma once

#include "binding/service.h"

namespace Com::Brantel::Kov::Vm::DataSets {

class KOV_EXPORT EntriesSvc {
 public:
  class AsyncServiceInterface;
  template <class M, class Output>
  using MethodOf = ::Tarn::Provider::MethodBase<M, AsyncServiceInterface, Output>;

  struct SetMethod : MethodOf<SetMethod, ::Tarn::Void> {
    struct Input : ::Tarn::Data::BaseNative {
      static constexpr char nativeName[] =
          "::Com::Brantel::Kov::Vm::DataSets::EntriesSvc::SetMethod::Input";
      static constexpr char operationName[] = "::Com::Brantel::Kov::Vm::DataSets::EntriesSvc::Set";

      std::string vm;
      std::string dataSet;
      std::string key;
      std::string value;

      struct AdapterHelper {
        static constexpr ::Tarn::Data::SortedNames<4> sortedNames{{
            "data_set", "key", "value", "vm"}};
        template <class Helper> static constexpr void AddFields(Helper& h) {
          h.AddField("vm", &Input::vm);
          h.AddField("data_set", &Input::dataSet);
          h.AddField("key", &Input::key);
          h.AddField("value", &Input::value);
        }
      };
    };

    using Fields = ::Tarn::Provider::Fields<
        &Input::vm, &Input::dataSet, &Input::key, &Input::value>;
    using Errors = ::Tarn::Provider::ErrorList<
        StdErrors::Error, StdErrors::InvalidArgument, StdErrors::NotAllowedInCurrentState,
        StdErrors::NotFound, StdErrors::ServiceUnavailable, StdErrors::UnableToAllocateResource,
        StdErrors::Unauthorized, StdErrors::Unsupported>;
    static constexpr char wireName[] = "set";
    static constexpr auto resourceField = &Input::vm;
  };

  struct GetMethod : MethodOf<GetMethod, std::string> {
    struct Input : ::Tarn::Data::BaseNative {
      static constexpr char nativeName[] =
          "::Com::Brantel::Kov::Vm::DataSets::EntriesSvc::GetMethod::Input";
      static constexpr char operationName[] = "::Com::Brantel::Kov::Vm::DataSets::EntriesSvc::Get";

      std::string vm;
      std::string dataSet;
      std::string key;

      struct AdapterHelper {
        static constexpr ::Tarn::Data::SortedNames<3> sortedNames{{"data_set", "key", "vm"}};
        template <class Helper> static constexpr void AddFields(Helper& h) {
          h.AddField("vm", &Input::vm);
          h.AddField("data_set", &Input::dataSet);
          h.AddField("key", &Input::key);
        }
      };
    };

    using Fields = ::Tarn::Provider::Fields<&Input::vm, &Input::dataSet, &Input::key>;
    using Errors = ::Tarn::Provider::ErrorList<
        StdErrors::Error, StdErrors::NotFound, StdErrors::ServiceUnavailable,
        StdErrors::Unauthorized, StdErrors::Unsupported>;
    static constexpr char wireName[] = "get";
    static constexpr bool readsOnly = true;
    static constexpr auto resourceField = &Input::vm;
  };

  struct DeleteMethod : MethodOf<DeleteMethod, ::Tarn::Void> {
    struct Input : ::Tarn::Data::BaseNative {
      static constexpr char nativeName[] =
          "::Com::Brantel::Kov::Vm::DataSets::EntriesSvc::DeleteMethod::Input";
      static constexpr char operationName[] =
          "::Com::Brantel::Kov::Vm::DataSets::EntriesSvc::Delete";

      std::string vm;
      std::string dataSet;
      std::string key;

      struct AdapterHelper {
        static constexpr ::Tarn::Data::SortedNames<3> sortedNames{{"data_set", "key", "vm"}};
        template <class Helper> static constexpr void AddFields(Helper& h) {
          h.AddField("vm", &Input::vm);
          h.AddField("data_set", &Input::dataSet);
          h.AddField("key", &Input::key);
        }
      };
    };

    using Fields = ::Tarn::Provider::Fields<&Input::vm, &Input::dataSet, &Input::key>;
    using Errors = ::Tarn::Provider::ErrorList<
        StdErrors::Error, StdErrors::NotAllowedInCurrentState, StdErrors::NotFound,
        StdErrors::ServiceUnavailable, StdErrors::Unauthorized, StdErrors::Unsupported>;
    static constexpr char wireName[] = "delete";
    static constexpr auto resourceField = &Input::vm;
  };

  struct ListMethod : MethodOf<ListMethod, std::set<std::string>> {
    struct Input : ::Tarn::Data::BaseNative {
      static constexpr char nativeName[] =
          "::Com::Brantel::Kov::Vm::DataSets::EntriesSvc::ListMethod::Input";
      static constexpr char operationName[] = "::Com::Brantel::Kov::Vm::DataSets::EntriesSvc::List";

      std::string vm;
      std::string dataSet;

      struct AdapterHelper {
        static constexpr ::Tarn::Data::SortedNames<2> sortedNames{{"data_set", "vm"}};
        template <class Helper> static constexpr void AddFields(Helper& h) {
          h.AddField("vm", &Input::vm);
          h.AddField("data_set", &Input::dataSet);
        }
      };
    };

    using Fields = ::Tarn::Provider::Fields<&Input::vm, &Input::dataSet>;
    using Errors = ::Tarn::Provider::ErrorList<
        StdErrors::Error, StdErrors::NotFound, StdErrors::ServiceUnavailable,
        StdErrors::Unauthorized, StdErrors::Unsupported>;
    static constexpr char wireName[] = "list";
    static constexpr bool readsOnly = true;
    static constexpr auto resourceField = &Input::vm;
  };

  class KOV_EXPORT AsyncServiceInterface {
     public:
    static constexpr char typeName[] = "com.brantel.kov.vm.data_sets.entries";
    virtual void Set(
        const std::string& vm, const std::string& dataSet, const std::string& key,
        const std::string& value, const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
        const SetMethod::ResultCbType& result) = 0;
    virtual void Get(
        const std::string& vm, const std::string& dataSet, const std::string& key,
        const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
        const GetMethod::ResultCbType& result) = 0;
    virtual void Delete(
        const std::string& vm, const std::string& dataSet, const std::string& key,
        const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
        const DeleteMethod::ResultCbType& result) = 0;
    virtual void List(
        const std::string& vm, const std::string& dataSet,
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

  using AsyncServiceBinder =
      ::Tarn::Provider::Binder<AsyncServiceBinderHelper, AsyncServiceInterface>;

  class KOV_EXPORT AsyncServiceStub : public AsyncServiceInterface {
     public:
    explicit AsyncServiceStub(std::shared_ptr<::Tarn::Stub::AsyncApiStub> apiStub)
        : apiStub_(std::move(apiStub)) {}
    void Set(
        const std::string& vm, const std::string& dataSet, const std::string& key,
        const std::string& value, const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
        const SetMethod::ResultCbType& result) override;
    void Get(
        const std::string& vm, const std::string& dataSet, const std::string& key,
        const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
        const GetMethod::ResultCbType& result) override;
    void Delete(
        const std::string& vm, const std::string& dataSet, const std::string& key,
        const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
        const DeleteMethod::ResultCbType& result) override;
    void List(
        const std::string& vm, const std::string& dataSet,
        const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
        const ListMethod::ResultCbType& result) override;

   private:
    std::shared_ptr<::Tarn::Stub::AsyncApiStub> apiStub_;
  };
};

}  // namespace Com::Brantel::Kov::Vm::DataSets
