// Generated from schema/data_sets.toml by codegen/generate.py. Do not edit.
#pragma once

#include "binding/service.h"

namespace Com::Brantel::Kov::Vm {

class KOV_EXPORT DataSetsSvc {
 public:
  class AsyncServiceInterface;
  template <class M, class Output>
  using MethodOf = ::Tarn::Provider::MethodBase<M, AsyncServiceInterface, Output>;

  struct Access : ::Tarn::EnumBase<Access> {
    enum Value : std::int32_t { NONE, READ_ONLY, READ_WRITE, _UNKNOWN };
    struct Strings {
      static constexpr const char* values[] = {
          "NONE", "READ_ONLY", "READ_WRITE", "_UNKNOWN", nullptr};
    };
    static constexpr char typeName[] = "com.brantel.kov.vm.data_sets.access";
    using EnumBase::EnumBase;
  };

  struct Info : ::Tarn::Data::BaseNative {
    static constexpr char typeName[] = "com.brantel.kov.vm.data_sets.info";
    static constexpr char nativeName[] = "::Com::Brantel::Kov::Vm::DataSetsSvc::Info";

    std::string name;
    std::string description;
    Access host;
    Access guest;
    std::int64_t used = 0;
    bool omitFromSnapshotAndClone = false;

    struct AdapterHelper {
      static constexpr ::Tarn::Data::SortedNames<6> sortedNames{{
          "description", "guest", "host", "name", "omit_from_snapshot_and_clone", "used"}};
      template <class Helper> static constexpr void AddFields(Helper& h) {
        h.AddField("name", &Info::name);
        h.AddField("description", &Info::description);
        h.AddField("host", &Info::host);
        h.AddField("guest", &Info::guest);
        h.AddField("used", &Info::used);
        h.AddField("omit_from_snapshot_and_clone", &Info::omitFromSnapshotAndClone);
      }
    };
  };

  struct CreateSpec : ::Tarn::Data::BaseNative {
    static constexpr char typeName[] = "com.brantel.kov.vm.data_sets.create_spec";
    static constexpr char nativeName[] = "::Com::Brantel::Kov::Vm::DataSetsSvc::CreateSpec";

    std::string name;
    std::string description;
    Access host;
    Access guest;
    boost::optional<bool> omitFromSnapshotAndClone;

    struct AdapterHelper {
      static constexpr ::Tarn::Data::SortedNames<5> sortedNames{{
          "description", "guest", "host", "name", "omit_from_snapshot_and_clone"}};
      template <class Helper> static constexpr void AddFields(Helper& h) {
        h.AddField("name", &CreateSpec::name);
        h.AddField("description", &CreateSpec::description);
        h.AddField("host", &CreateSpec::host);
        h.AddField("guest", &CreateSpec::guest);
        h.AddField("omit_from_snapshot_and_clone", &CreateSpec::omitFromSnapshotAndClone);
      }
    };
  };

  struct UpdateSpec : ::Tarn::Data::BaseNative {
    static constexpr char typeName[] = "com.brantel.kov.vm.data_sets.update_spec";
    static constexpr char nativeName[] = "::Com::Brantel::Kov::Vm::DataSetsSvc::UpdateSpec";

    boost::optional<std::string> description;
    boost::optional<Access> host;
    boost::optional<Access> guest;
    boost::optional<bool> omitFromSnapshotAndClone;

    struct AdapterHelper {
      static constexpr ::Tarn::Data::SortedNames<4> sortedNames{{
          "description", "guest", "host", "omit_from_snapshot_and_clone"}};
      template <class Helper> static constexpr void AddFields(Helper& h) {
        h.AddField("description", &UpdateSpec::description);
        h.AddField("host", &UpdateSpec::host);
        h.AddField("guest", &UpdateSpec::guest);
        h.AddField("omit_from_snapshot_and_clone", &UpdateSpec::omitFromSnapshotAndClone);
      }
    };
  };

  struct Summary : ::Tarn::Data::BaseNative {
    static constexpr char typeName[] = "com.brantel.kov.vm.data_sets.summary";
    static constexpr char nativeName[] = "::Com::Brantel::Kov::Vm::DataSetsSvc::Summary";

    std::string dataSet;
    std::string name;
    std::string description;

    struct AdapterHelper {
      static constexpr ::Tarn::Data::SortedNames<3> sortedNames{{
          "data_set", "description", "name"}};
      template <class Helper> static constexpr void AddFields(Helper& h) {
        h.AddField("data_set", &Summary::dataSet);
        h.AddField("name", &Summary::name);
        h.AddField("description", &Summary::description);
      }
    };
    struct Metadata {
      static constexpr char name[] = "com.brantel.kov.vm.DataSets.Summary";
      static constexpr ::Tarn::Metadata::ResourceField fields[] = {
          {"data_set", "com.brantel.kov.vm.DataSet"},
      };
    };
  };

  struct CreateMethod : MethodOf<CreateMethod, std::string> {
    struct Input : ::Tarn::Data::BaseNative {
      static constexpr char nativeName[] =
          "::Com::Brantel::Kov::Vm::DataSetsSvc::CreateMethod::Input";
      static constexpr char operationName[] = "::Com::Brantel::Kov::Vm::DataSetsSvc::Create";

      std::string vm;
      std::shared_ptr<const CreateSpec> spec;

      struct AdapterHelper {
        static constexpr ::Tarn::Data::SortedNames<2> sortedNames{{"spec", "vm"}};
        template <class Helper> static constexpr void AddFields(Helper& h) {
          h.AddField("vm", &Input::vm);
          h.AddField("spec", &Input::spec);
        }
      };
    };

    using Fields = ::Tarn::Provider::Fields<&Input::vm, &Input::spec>;
    using Errors = ::Tarn::Provider::ErrorList<
        StdErrors::AlreadyExists, StdErrors::Error, StdErrors::InvalidArgument,
        StdErrors::NotAllowedInCurrentState, StdErrors::NotFound, StdErrors::ServiceUnavailable,
        StdErrors::UnableToAllocateResource, StdErrors::Unauthorized, StdErrors::Unsupported>;
    static constexpr char wireName[] = "create";
    static constexpr auto resourceField = &Input::vm;
  };

  struct DeleteMethod : MethodOf<DeleteMethod, ::Tarn::Void> {
    struct Input : ::Tarn::Data::BaseNative {
      static constexpr char nativeName[] =
          "::Com::Brantel::Kov::Vm::DataSetsSvc::DeleteMethod::Input";
      static constexpr char operationName[] = "::Com::Brantel::Kov::Vm::DataSetsSvc::Delete";

      std::string vm;
      std::string dataSet;
      boost::optional<bool> force;

      struct AdapterHelper {
        static constexpr ::Tarn::Data::SortedNames<3> sortedNames{{"data_set", "force", "vm"}};
        template <class Helper> static constexpr void AddFields(Helper& h) {
          h.AddField("vm", &Input::vm);
          h.AddField("data_set", &Input::dataSet);
          h.AddField("force", &Input::force);
        }
      };
    };

    using Fields = ::Tarn::Provider::Fields<&Input::vm, &Input::dataSet, &Input::force>;
    using Errors = ::Tarn::Provider::ErrorList<
        StdErrors::Error, StdErrors::NotAllowedInCurrentState, StdErrors::NotFound,
        StdErrors::ResourceInUse, StdErrors::ServiceUnavailable, StdErrors::Unauthorized,
        StdErrors::Unsupported>;
    static constexpr char wireName[] = "delete";
    static constexpr auto resourceField = &Input::vm;
  };

  struct GetMethod : MethodOf<GetMethod, std::shared_ptr<const Info>> {
    struct Input : ::Tarn::Data::BaseNative {
      static constexpr char nativeName[] = "::Com::Brantel::Kov::Vm::DataSetsSvc::GetMethod::Input";
      static constexpr char operationName[] = "::Com::Brantel::Kov::Vm::DataSetsSvc::Get";

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
    static constexpr char wireName[] = "get";
    static constexpr bool readsOnly = true;
    static constexpr auto resourceField = &Input::vm;
  };

  struct UpdateMethod : MethodOf<UpdateMethod, ::Tarn::Void> {
    struct Input : ::Tarn::Data::BaseNative {
      static constexpr char nativeName[] =
          "::Com::Brantel::Kov::Vm::DataSetsSvc::UpdateMethod::Input";
      static constexpr char operationName[] = "::Com::Brantel::Kov::Vm::DataSetsSvc::Update";

      std::string vm;
      std::string dataSet;
      std::shared_ptr<const UpdateSpec> spec;

      struct AdapterHelper {
        static constexpr ::Tarn::Data::SortedNames<3> sortedNames{{"data_set", "spec", "vm"}};
        template <class Helper> static constexpr void AddFields(Helper& h) {
          h.AddField("vm", &Input::vm);
          h.AddField("data_set", &Input::dataSet);
          h.AddField("spec", &Input::spec);
        }
      };
    };

    using Fields = ::Tarn::Provider::Fields<&Input::vm, &Input::dataSet, &Input::spec>;
    using Errors = ::Tarn::Provider::ErrorList<
        StdErrors::Error, StdErrors::InvalidArgument, StdErrors::NotAllowedInCurrentState,
        StdErrors::NotFound, StdErrors::ServiceUnavailable, StdErrors::UnableToAllocateResource,
        StdErrors::Unauthorized, StdErrors::Unsupported>;
    static constexpr char wireName[] = "update";
    static constexpr auto resourceField = &Input::vm;
  };

  struct ListMethod : MethodOf<ListMethod, std::vector<std::shared_ptr<const Summary>>> {
    struct Input : ::Tarn::Data::BaseNative {
      static constexpr char nativeName[] =
          "::Com::Brantel::Kov::Vm::DataSetsSvc::ListMethod::Input";
      static constexpr char operationName[] = "::Com::Brantel::Kov::Vm::DataSetsSvc::List";

      std::string vm;

      struct AdapterHelper {
        static constexpr ::Tarn::Data::SortedNames<1> sortedNames{{"vm"}};
        template <class Helper> static constexpr void AddFields(Helper& h) {
          h.AddField("vm", &Input::vm);
        }
      };
    };

    using Fields = ::Tarn::Provider::Fields<&Input::vm>;
    using Errors = ::Tarn::Provider::ErrorList<
        StdErrors::Error, StdErrors::NotFound, StdErrors::ServiceUnavailable,
        StdErrors::Unauthorized, StdErrors::Unsupported>;
    static constexpr char wireName[] = "list";
    static constexpr bool readsOnly = true;
    static constexpr auto resourceField = &Input::vm;
  };

  class KOV_EXPORT AsyncServiceInterface {
     public:
    static constexpr char typeName[] = "com.brantel.kov.vm.data_sets";
    virtual void Create(
        const std::string& vm, const std::shared_ptr<const CreateSpec>& spec,
        const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
        const CreateMethod::ResultCbType& result) = 0;
    virtual void Delete(
        const std::string& vm, const std::string& dataSet, const boost::optional<bool>& force,
        const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
        const DeleteMethod::ResultCbType& result) = 0;
    virtual void Get(
        const std::string& vm, const std::string& dataSet,
        const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
        const GetMethod::ResultCbType& result) = 0;
    virtual void Update(
        const std::string& vm, const std::string& dataSet,
        const std::shared_ptr<const UpdateSpec>& spec,
        const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
        const UpdateMethod::ResultCbType& result) = 0;
    virtual void List(
        const std::string& vm, const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
        const ListMethod::ResultCbType& result) = 0;
    virtual ~AsyncServiceInterface();
  };

  class KOV_EXPORT AsyncServiceBinderHelper : public ::Tarn::Provider::BinderHelperBase {
     public:
    using CreateMethodBuilder =
        ::Tarn::Provider::MethodBuilder<CreateMethod, AsyncServiceInterface>;
    using DeleteMethodBuilder =
        ::Tarn::Provider::MethodBuilder<DeleteMethod, AsyncServiceInterface>;
    using GetMethodBuilder = ::Tarn::Provider::MethodBuilder<GetMethod, AsyncServiceInterface>;
    using UpdateMethodBuilder =
        ::Tarn::Provider::MethodBuilder<UpdateMethod, AsyncServiceInterface>;
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
    void Create(
        const std::string& vm, const std::shared_ptr<const CreateSpec>& spec,
        const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
        const CreateMethod::ResultCbType& result) override;
    void Delete(
        const std::string& vm, const std::string& dataSet, const boost::optional<bool>& force,
        const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
        const DeleteMethod::ResultCbType& result) override;
    void Get(
        const std::string& vm, const std::string& dataSet,
        const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
        const GetMethod::ResultCbType& result) override;
    void Update(
        const std::string& vm, const std::string& dataSet,
        const std::shared_ptr<const UpdateSpec>& spec,
        const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
        const UpdateMethod::ResultCbType& result) override;
    void List(
        const std::string& vm, const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
        const ListMethod::ResultCbType& result) override;

   private:
    std::shared_ptr<::Tarn::Stub::AsyncApiStub> apiStub_;
  };
};

}  // namespace Com::Brantel::Kov::Vm
