// Uses the installed bindings the way a host program would: headers from the kov-vm include
// folder (included as "runtime/...", "binding/...", "vm/..."), linked against the shared
// libraries. It binds its own implementation of the dock service with the generated binder,
// registers it with an in-process provider and calls it through the generated stub, so that a
// symbol the libraries fail to export breaks the link or the run. Exits non-zero when the loaded
// library is not the installed version or an answer is not the expected one.
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "binding/version.h"
#include "runtime/export.h"
#include "runtime/local_provider.h"
#include "runtime/stub.h"
#include "vm/dock.h"

#ifndef KOV_EXPECTED_VERSION
#error "KOV_EXPECTED_VERSION must name the installed version"
#endif

namespace {

using Com::Brantel::Kov::Vm::DockSvc;

// A dock of one machine: the last one loaded.
class OneMachineDock : public DockSvc::AsyncServiceInterface {
 public:
  void Load(const std::string& vm, const std::shared_ptr<Tarn::Core::AsyncActivation>&,
            const DockSvc::LoadMethod::ResultCbType& result) override {
    loaded_ = vm;
    result(Tarn::Void());
  }
  void List(const std::shared_ptr<Tarn::Core::AsyncActivation>&,
            const DockSvc::ListMethod::ResultCbType& result) override {
    auto item = std::make_shared<DockSvc::Info>();
    item->vm = loaded_;
    auto list = std::make_shared<DockSvc::ListResult>();
    list->items.push_back(item);
    result(list);
  }

 private:
  std::string loaded_;
};

int Fail(const char* what) {
  std::fprintf(stderr, "kov consumer: %s\n", what);
  return 1;
}

}  // namespace

int main() {
  const char* version = KovVmBindingsVersion();
  if (version == nullptr || std::strcmp(version, KOV_EXPECTED_VERSION) != 0) {
    std::fprintf(stderr, "kov consumer: loaded bindings %s, expected %s\n",
                 version ? version : "(null)", KOV_EXPECTED_VERSION);
    return 1;
  }

  auto provider = Tarn::Core::LocalProvider::GetInstance();
  Tarn::MessageList messages;
  if (!provider->Register(
          DockSvc::AsyncServiceBinder::BindImplementation(std::make_shared<OneMachineDock>()),
          messages)) {
    return Fail("the dock service could not be registered");
  }
  DockSvc::AsyncServiceStub dock(Tarn::Stub::AsyncApiStub::GetInstance(provider));
  bool loaded = false;
  dock.Load("web-1", nullptr,
            [&](const boost::optional<Tarn::Void>& done, const Tarn::Data::ErrorValuePtr& error,
                const Tarn::Progress&) { loaded = done && !error; });
  std::string listed;
  dock.List(nullptr, [&](const boost::optional<std::shared_ptr<const DockSvc::ListResult>>& list,
                         const Tarn::Data::ErrorValuePtr&, const Tarn::Progress&) {
    if (list && *list && (*list)->items.size() == 1) listed = (*list)->items[0]->vm;
  });
  if (!loaded) return Fail("dock.load did not complete");
  if (listed != "web-1") return Fail("dock.list did not answer with the loaded machine");
  std::printf("kov consumer: bindings %s loaded; dock.list answered \"%s\"\n", version,
              listed.c_str());
  return 0;
}
