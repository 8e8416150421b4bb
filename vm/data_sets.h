// Generated from schema/data_sets.toml by codegen/generate.py. Do not edit.
#pragma once

#include "binding/service.h"

namespace Com {
namespace Brantel {
namespace Kov {
namespace Vm {

class KOV_EXPORT DataSetsSvc {
 public:
  class AsyncServiceInterface;

  class Access : public ::Tarn::Enum {
   public:
    enum Value : std::int32_t { NONE, READ_ONLY, READ_WRITE, _UNKNOWN };
    struct Strings {
      static constexpr const char* values[] = {"NONE", "READ_ONLY", "READ_WRITE", "_UNKNOWN",
                                               nullptr};
    };
    static constexpr const char typeName[] = "com.brantel.kov.vm.data_sets.access";
    // NOLINTNEXTLINE(google-explicit-constructor)
    Access(Value value = _UNKNOWN) : ::Tarn::Enum(value) {}
    Value value() const { return static_cast<Value>(number()); }
  };

  struct Info : ::Tarn::Data::BaseNative {
    static constexpr const char typeName[] = "com.brantel.kov.vm.data_sets.info";
    static constexpr const char nativeName[] = "::Com::Brantel::Kov::Vm::DataSetsSvc::Info";

    std::string name;
    std::string description;
    Access host;
    Access guest;
    std::int64_t used = 0;
    bool omitFromSnapshotAndClone = false;

    struct AdapterHelper {
      static constexpr ::Tarn::Data::SortedNames<6> sortedNames{
          {"description", "guest", "host", "name", "omit_from_snapshot_and_clone", "used"}};
      template <class Helper>
      static void AddFields(Helper& h) {
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
    static constexpr const char typeName[] = "com.brantel.kov.vm.data_sets.create_spec";
    static constexpr const char nativeName[] = "::Com::Brantel::Kov::Vm::DataSetsSvc::CreateSpec";

    std::string name;
    std::string description;
    Access host;
    Access guest;
    boost::optional<bool> omitFromSnapshotAndClone;

    struct AdapterHelper {
      static constexpr ::Tarn::Data::SortedNames<5> sortedNames{
          {"description", "guest", "host", "name", "omit_from_snapshot_and_clone"}};
      template <class Helper>
      static void AddFields(Helper& h) {
        h.AddField("name", &CreateSpec::name);
        h.AddField("description", &CreateSpec::description);
        h.AddField("host", &CreateSpec::host);
        h.AddField("guest", &CreateSpec::guest);
        h.AddField("omit_from_snapshot_and_clone", &CreateSpec::omitFromSnapshotAndClone);
      }
    };
  };

  struct UpdateSpec : ::Tarn::Data::BaseNative {
    static constexpr const char typeName[] = "com.brantel.kov.vm.data_sets.update_spec";
    static constexpr const char nativeName[] = "::Com::Brantel::Kov::Vm::DataSetsSvc::UpdateSpec";

    boost::optional<std::string> description;
    boost::optional<Access> host;
    boost::optional<Access> guest;
    boost::optional<bool> omitFromSnapshotAndClone;

    struct AdapterHelper {
      static constexpr ::Tarn::Data::SortedNames<4> sortedNames{
          {"description", "guest", "host", "omit_from_snapshot_and_clone"}};
      template <class Helper>
      static void AddFields(Helper& h) {
        h.AddField("description", &UpdateSpec::description);
        h.AddField("host", &UpdateSpec::host);
        h.AddField("guest", &UpdateSpec::guest);
        h.AddField("omit_from_snapshot_and_clone", &UpdateSpec::omitFromSnapshotAndClone);
      }
    };
  };

  struct Summary : ::Tarn::Data::BaseNative {
    static constexpr const char typeName[] = "com.brantel.kov.vm.data_sets.summary";
    static constexpr const char nativeName[] = "::Com::Brantel::Kov::Vm::DataSetsSvc::Summary";

    std::string dataSet;
    std::string name;
    std::string description;

    struct AdapterHelper {
      static constexpr ::Tarn::Data::SortedNames<3> sortedNames{
          {"data_set", "description", "name"}};
      template <class Helper>
      static void AddFields(Helper& h) {
        h.AddField("data_set", &Summary::dataSet);
        h.AddField("name", &Summary::name);
        h.AddField("description", &Summary::description);
      }
    };

    struct Metadata {
      static constexpr const char name[] = "com.brantel.kov.vm.DataSets.Summary";
      static constexpr ::Tarn::Metadata::ResourceField fields[] = {
          {"data_set", "com.brantel.kov.vm.DataSet"}};
    };
  };

  struct CreateMethod : ::Tarn::Provider::MethodBase<CreateMethod> {
    struct Input : ::Tarn::Data::BaseNative {
      static constexpr const char nativeName[] =
          "::Com::Brantel::Kov::Vm::DataSetsSvc::CreateMethod::Input";
      static constexpr const char operationName[] = "::Com::Brantel::Kov::Vm::DataSetsSvc::Create";

      std::string vm;
      std::shared_ptr<const CreateSpec> spec;

      struct AdapterHelper {
        static constexpr ::Tarn::Data::SortedNames<2> sortedNames{{"spec", "vm"}};
        template <class Helper>
        static void AddFields(Helper& h) {
          h.AddField("vm", &Input::vm);
          h.AddField("spec", &Input::spec);
        }
      };
    };

    using Interface = AsyncServiceInterface;
    using Output = std::string;
    using ResultCbType = ::Tarn::AsyncResult<Output, ::Tarn::AsyncResultTerminateCbPolicy>;
    using Fields = ::Tarn::Provider::Fields<&Input::vm, &Input::spec>;
    using Errors =
        ::Tarn::Provider::ErrorList<::Com::Brantel::Tarn::Std::Errors::AlreadyExists,
                                    ::Com::Brantel::Tarn::Std::Errors::Error,
                                    ::Com::Brantel::Tarn::Std::Errors::InvalidArgument,
                                    ::Com::Brantel::Tarn::Std::Errors::NotAllowedInCurrentState,
                                    ::Com::Brantel::Tarn::Std::Errors::NotFound,
                                    ::Com::Brantel::Tarn::Std::Errors::ServiceUnavailable,
                                    ::Com::Brantel::Tarn::Std::Errors::UnableToAllocateResource,
                                    ::Com::Brantel::Tarn::Std::Errors::Unauthorized,
                                    ::Com::Brantel::Tarn::Std::Errors::Unsupported>;
    static constexpr const char wireName[] = "create";
    static constexpr auto resourceField = &Input::vm;
    static constexpr const char resourceType[] = "com.brantel.kov.vm.VirtualMachine";
  };

  struct DeleteMethod : ::Tarn::Provider::MethodBase<DeleteMethod> {
    struct Input : ::Tarn::Data::BaseNative {
      static constexpr const char nativeName[] =
          "::Com::Brantel::Kov::Vm::DataSetsSvc::DeleteMethod::Input";
      static constexpr const char operationName[] = "::Com::Brantel::Kov::Vm::DataSetsSvc::Delete";

      std::string vm;
      std::string dataSet;
      boost::optional<bool> force;

      struct AdapterHelper {
        static constexpr ::Tarn::Data::SortedNames<3> sortedNames{{"data_set", "force", "vm"}};
        template <class Helper>
        static void AddFields(Helper& h) {
          h.AddField("vm", &Input::vm);
          h.AddField("data_set", &Input::dataSet);
          h.AddField("force", &Input::force);
        }
      };
    };

    using Interface = AsyncServiceInterface;
    using Output = ::Tarn::Void;
    using ResultCbType = ::Tarn::AsyncResult<Output, ::Tarn::AsyncResultTerminateCbPolicy>;
    using Fields = ::Tarn::Provider::Fields<&Input::vm, &Input::dataSet, &Input::force>;
    using Errors =
        ::Tarn::Provider::ErrorList<::Com::Brantel::Tarn::Std::Errors::Error,
                                    ::Com::Brantel::Tarn::Std::Errors::NotAllowedInCurrentState,
                                    ::Com::Brantel::Tarn::Std::Errors::NotFound,
                                    ::Com::Brantel::Tarn::Std::Errors::ResourceInUse,
                                    ::Com::Brantel::Tarn::Std::Errors::ServiceUnavailable,
                                    ::Com::Brantel::Tarn::Std::Errors::Unauthorized,
                                    ::Com::Brantel::Tarn::Std::Errors::Unsupported>;
    static constexpr const char wireName[] = "delete";
    static constexpr auto resourceField = &Input::vm;
    static constexpr const char resourceType[] = "com.brantel.kov.vm.VirtualMachine";
  };

  struct GetMethod : ::Tarn::Provider::MethodBase<GetMethod> {
    struct Input : ::Tarn::Data::BaseNative {
      static constexpr const char nativeName[] =
          "::Com::Brantel::Kov::Vm::DataSetsSvc::GetMethod::Input";
      static constexpr const char operationName[] = "::Com::Brantel::Kov::Vm::DataSetsSvc::Get";

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
    using Output = std::shared_ptr<const Info>;
    using ResultCbType = ::Tarn::AsyncResult<Output, ::Tarn::AsyncResultTerminateCbPolicy>;
    using Fields = ::Tarn::Provider::Fields<&Input::vm, &Input::dataSet>;
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

  struct UpdateMethod : ::Tarn::Provider::MethodBase<UpdateMethod> {
    struct Input : ::Tarn::Data::BaseNative {
      static constexpr const char nativeName[] =
          "::Com::Brantel::Kov::Vm::DataSetsSvc::UpdateMethod::Input";
      static constexpr const char operationName[] = "::Com::Brantel::Kov::Vm::DataSetsSvc::Update";

      std::string vm;
      std::string dataSet;
      std::shared_ptr<const UpdateSpec> spec;

      struct AdapterHelper {
        static constexpr ::Tarn::Data::SortedNames<3> sortedNames{{"data_set", "spec", "vm"}};
        template <class Helper>
        static void AddFields(Helper& h) {
          h.AddField("vm", &Input::vm);
          h.AddField("data_set", &Input::dataSet);
          h.AddField("spec", &Input::spec);
        }
      };
    };

    using Interface = AsyncServiceInterface;
    using Output = ::Tarn::Void;
    using ResultCbType = ::Tarn::AsyncResult<Output, ::Tarn::AsyncResultTerminateCbPolicy>;
    using Fields = ::Tarn::Provider::Fields<&Input::vm, &Input::dataSet, &Input::spec>;
    using Errors =
        ::Tarn::Provider::ErrorList<::Com::Brantel::Tarn::Std::Errors::Error,
                                    ::Com::Brantel::Tarn::Std::Errors::InvalidArgument,
                                    ::Com::Brantel::Tarn::Std::Errors::NotAllowedInCurrentState,
                                    ::Com::Brantel::Tarn::Std::Errors::NotFound,
                                    ::Com::Brantel::Tarn::Std::Errors::ServiceUnavailable,
                                    ::Com::Brantel::Tarn::Std::Errors::UnableToAllocateResource,
                                    ::Com::Brantel::Tarn::Std::Errors::Unauthorized,
                                    ::Com::Brantel::Tarn::Std::Errors::Unsupported>;
    static constexpr const char wireName[] = "update";
    static constexpr auto resourceField = &Input::vm;
    static constexpr const char resourceType[] = "com.brantel.kov.vm.VirtualMachine";
  };

  struct ListMethod : ::Tarn::Provider::MethodBase<ListMethod> {
    struct Input : ::Tarn::Data::BaseNative {
      static constexpr const char nativeName[] =
          "::Com::Brantel::Kov::Vm::DataSetsSvc::ListMethod::Input";
      static constexpr const char operationName[] = "::Com::Brantel::Kov::Vm::DataSetsSvc::List";

      std::string vm;

      struct AdapterHelper {
        static constexpr ::Tarn::Data::SortedNames<1> sortedNames{{"vm"}};
        template <class Helper>
        static void AddFields(Helper& h) {
          h.AddField("vm", &Input::vm);
        }
      };
    };

    using Interface = AsyncServiceInterface;
    using Output = std::vector<std::shared_ptr<const Summary>>;
    using ResultCbType = ::Tarn::AsyncResult<Output, ::Tarn::AsyncResultTerminateCbPolicy>;
    using Fields = ::Tarn::Provider::Fields<&Input::vm>;
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
    static constexpr const char typeName[] = "com.brantel.kov.vm.data_sets";
    virtual void Create(const std::string& vm, const std::shared_ptr<const CreateSpec>& spec,
                        const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
                        const CreateMethod::ResultCbType& result) = 0;
    virtual void Delete(const std::string& vm, const std::string& dataSet,
                        const boost::optional<bool>& force,
                        const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
                        const DeleteMethod::ResultCbType& result) = 0;
    virtual void Get(const std::string& vm, const std::string& dataSet,
                     const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
                     const GetMethod::ResultCbType& result) = 0;
    virtual void Update(const std::string& vm, const std::string& dataSet,
                        const std::shared_ptr<const UpdateSpec>& spec,
                        const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
                        const UpdateMethod::ResultCbType& result) = 0;
    virtual void List(const std::string& vm,
                      const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
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
    void Create(const std::string& vm, const std::shared_ptr<const CreateSpec>& spec,
                const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
                const CreateMethod::ResultCbType& result) override;
    void Delete(const std::string& vm, const std::string& dataSet,
                const boost::optional<bool>& force,
                const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
                const DeleteMethod::ResultCbType& result) override;
    void Get(const std::string& vm, const std::string& dataSet,
             const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
             const GetMethod::ResultCbType& result) override;
    void Update(const std::string& vm, const std::string& dataSet,
                const std::shared_ptr<const UpdateSpec>& spec,
                const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
                const UpdateMethod::ResultCbType& result) override;
    void List(const std::string& vm,
              const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation,
              const ListMethod::ResultCbType& result) override;

   private:
    std::shared_ptr<::Tarn::Stub::AsyncApiStub> apiStub_;
  };
};

}  // namespace Vm
}  // namespace Kov
}  // namespace Brantel
}  // namespace Com
