// The simulator's devices: CD-ROM drives, disks, network adapters, SATA and SCSI controllers.
#include <set>

#include "tests/tools/sim_fixture.h"

namespace Kov {
namespace Sim {
namespace Testing {
namespace {

class SimDevices : public SimVmTest {
 protected:
  static std::shared_ptr<CdromSvc::BackingInfo> Image(boost::optional<std::string> iso) {
    auto b = std::make_shared<CdromSvc::BackingInfo>();
    b->type = Enum<CdromSvc::BackingType>("IMAGE");
    b->isoFile = std::move(iso);
    return b;
  }
  static std::shared_ptr<CdromSvc::BackingInfo> Host(const char* type, const std::string& dev) {
    auto b = std::make_shared<CdromSvc::BackingInfo>();
    b->type = Enum<CdromSvc::BackingType>(type);
    b->deviceName = dev;
    return b;
  }
  Reply<std::string> AddCdrom(const std::shared_ptr<CdromSvc::BackingInfo>& b,
                              const std::string& device, const std::string& vm = "vm") {
    return Call<CdromSvc::AddMethod>([&](auto& r) { cdrom.Add(vm, b, device, nullptr, r); });
  }
  std::vector<std::string> Cdroms(Tarn::OptionalPtr<const CdromSvc::FilterSpec> filter = {}) {
    auto r = Call<CdromSvc::ListMethod>([&](auto& res) { cdrom.List("vm", filter, nullptr, res); });
    return Texts(r, [](auto& s) {
      return s.cdrom + "/" + Tarn::EnumToText(s.backingType) + "/" + s.device;
    });
  }
  Reply<Tarn::Void> DeleteCdrom(const std::string& device, const std::string& vm = "vm") {
    return Call<CdromSvc::DeleteMethod>([&](auto& r) { cdrom.Delete(vm, device, nullptr, r); });
  }
  Reply<std::string> AddDisk(const std::string& id, const std::string& device,
                             const std::string& vm = "vm") {
    auto spec = std::make_shared<DiskSvc::AddSpec>();
    spec->vm = vm;
    spec->disk = id;
    spec->device = device;
    return Call<DiskSvc::AddMethod>([&](auto& r) { disk.Add(spec, nullptr, r); });
  }
  std::vector<std::string> Disks(Tarn::OptionalPtr<const DiskSvc::FilterSpec> filter = {}) {
    auto r = Call<DiskSvc::ListMethod>([&](auto& res) { disk.List("vm", filter, nullptr, res); });
    return Texts(r, [](auto& s) { return s.disk + "@" + s.device; });
  }
  Reply<Tarn::Void> AddNic(const std::string& net, const char* adapter, const std::string& device,
                           const std::string& vm = "vm") {
    auto spec = std::make_shared<NetworkSvc::AddSpec>();
    spec->vm = vm;
    spec->network = net;
    spec->adapter = Enum<NetworkSvc::VirtualDev>(adapter);
    spec->device = device;
    return Call<NetworkSvc::AddMethod>([&](auto& r) { network.Add(spec, nullptr, r); });
  }
  std::vector<std::string> Nics(Tarn::OptionalPtr<const NetworkSvc::FilterSpec> filter = {}) {
    auto r =
        Call<NetworkSvc::ListMethod>([&](auto& res) { network.List("vm", filter, nullptr, res); });
    return Texts(r,
                 [](auto& s) { return s.id + "/" + Tarn::EnumToText(s.adapter) + "/" + s.device; });
  }
  Reply<Tarn::Void> RemoveNic(const std::string& device, const std::string& vm = "vm") {
    return Call<NetworkSvc::RemoveMethod>([&](auto& r) { network.Remove(vm, device, nullptr, r); });
  }
  Reply<Tarn::Void> AddSata(std::int64_t n, const char* hba = "AHCI",
                            const std::string& vm = "vm") {
    return Call<SataControllerSvc::AddMethod>(
        [&](auto& r) { sata.Add(vm, Enum<SataControllerSvc::HbaType>(hba), n, nullptr, r); });
  }
  Reply<Tarn::Void> UpdateSata(std::int64_t n, const char* hba = "AHCI",
                               const std::string& vm = "vm") {
    return Call<SataControllerSvc::UpdateMethod>(
        [&](auto& r) { sata.Update(vm, Enum<SataControllerSvc::HbaType>(hba), n, nullptr, r); });
  }
  Reply<Tarn::Void> DeleteSata(std::int64_t n, const std::string& vm = "vm") {
    return Call<SataControllerSvc::DeleteMethod>([&](auto& r) { sata.Delete(vm, n, nullptr, r); });
  }
  std::vector<std::string> SataLabels(
      Tarn::OptionalPtr<const SataControllerSvc::FilterSpec> filter = {}) {
    auto r = Call<SataControllerSvc::ListMethod>(
        [&](auto& res) { sata.List("vm", filter, nullptr, res); });
    return Texts(r, [](auto& s) { return s.label; });
  }
  Reply<Tarn::Void> AddScsi(std::int64_t n, const char* hba = "LSILOGIC",
                            const std::string& vm = "vm") {
    return Call<ScsiControllerSvc::AddMethod>(
        [&](auto& r) { scsi.Add(vm, Enum<ScsiControllerSvc::HbaType>(hba), n, nullptr, r); });
  }
};

TEST_F(SimDevices, CdromDrivesGetHostAssignedIdentifiersNeverReused) {
  auto a = AddCdrom(Image(std::string("/iso/a.iso")), "ide0:0");
  auto b = AddCdrom(Host("ATAPI", "/dev/sr0"), "ide0:1");
  ASSERT_TRUE(Succeeded(a));
  ASSERT_TRUE(Succeeded(b));
  EXPECT_EQ(*a.value, "cdrom-1");
  EXPECT_EQ(*b.value, "cdrom-2");
  EXPECT_EQ(Cdroms(), (std::vector<std::string>{"cdrom-1/IMAGE/ide0:0", "cdrom-2/ATAPI/ide0:1"}));
  ASSERT_TRUE(Succeeded(DeleteCdrom("cdrom-1")));
  auto c = AddCdrom(Image(boost::none), "ide1:0");  // an empty image drive
  ASSERT_TRUE(Succeeded(c));
  EXPECT_EQ(*c.value, "cdrom-3");
  EXPECT_EQ(Cdroms(), (std::vector<std::string>{"cdrom-2/ATAPI/ide0:1", "cdrom-3/IMAGE/ide1:0"}));
}

TEST_F(SimDevices, CdromAddRefusals) {
  ASSERT_TRUE(Succeeded(AddCdrom(Host("RAW", "/dev/sr0"), "ide0:0")));
  EXPECT_TRUE(
      FailedWith(AddCdrom(Image({}), "ide0:0"), kAlreadyExists, "kov.sim.device.name.taken"));
  EXPECT_TRUE(FailedWith(AddCdrom(Image({}), ""), kInvalidArgument, "kov.sim.device.name.empty"));
  // An empty host device counts as none: the union rules of the binding refuse it.
  EXPECT_TRUE(FailedWith(AddCdrom(Host("ATAPI", ""), "ide0:1"), kInvalidArgument));
  EXPECT_TRUE(
      FailedWith(AddCdrom(Image({}), "ide0:1", "ghost"), kNotFound, "kov.sim.vm.not.found"));
  // A backing that breaks the union rules never reaches the simulator: the binding refuses it.
  auto bad = AddCdrom(Host("IMAGE", "/dev/sr0"), "ide0:1");
  ASSERT_TRUE(FailedWith(bad, kInvalidArgument));
  EXPECT_EQ(bad.error->Messages().at(0).id.rfind("tarn.", 0), 0u);
  EXPECT_EQ(Cdroms().size(), 1u);
  ASSERT_TRUE(Succeeded(AddCdrom(Image({}), "ide0:1")));
  ASSERT_TRUE(Succeeded(AddCdrom(Image({}), "ide1:0")));
  ASSERT_TRUE(Succeeded(AddCdrom(Image({}), "ide1:1")));
  EXPECT_TRUE(FailedWith(AddCdrom(Image({}), "ide2:0"), kUnableToAllocate, "kov.sim.cdrom.limit"));
  EXPECT_EQ(Cdroms().size(), 4u);
}

TEST_F(SimDevices, CdromDeleteByIdentifierOrDeviceNameOnlyWhileOff) {
  ASSERT_TRUE(Succeeded(AddCdrom(Image({}), "ide0:0")));
  ASSERT_TRUE(Succeeded(AddCdrom(Image({}), "ide0:1")));
  EXPECT_TRUE(Succeeded(DeleteCdrom("ide0:1")));
  EXPECT_TRUE(Succeeded(DeleteCdrom("cdrom-1")));
  EXPECT_TRUE(Cdroms().empty());
  EXPECT_TRUE(FailedWith(DeleteCdrom("cdrom-1"), kNotFound, "kov.sim.cdrom.not.found"));
  EXPECT_TRUE(FailedWith(DeleteCdrom(""), kInvalidArgument, "kov.sim.device.name.empty"));
  EXPECT_TRUE(FailedWith(DeleteCdrom("cdrom-1", "ghost"), kNotFound, "kov.sim.vm.not.found"));
  // Drives change only while the machine is off.
  ASSERT_TRUE(Succeeded(AddCdrom(Image({}), "ide0:0")));
  SwitchOn("vm");
  EXPECT_TRUE(FailedWith(AddCdrom(Image({}), "ide0:1"), kNotAllowed, "kov.sim.vm.powered.on"));
  EXPECT_TRUE(FailedWith(DeleteCdrom("ide0:0"), kNotAllowed, "kov.sim.vm.powered.on"));
  EXPECT_EQ(Cdroms().size(), 1u);
}

TEST_F(SimDevices, CdromFilters) {
  ASSERT_TRUE(Succeeded(AddCdrom(Image({}), "ide0:0")));
  ASSERT_TRUE(Succeeded(AddCdrom(Host("ATAPI", "/dev/sr0"), "ide0:1")));
  ASSERT_TRUE(Succeeded(AddCdrom(Host("RAW", "/dev/sr1"), "ide1:0")));
  auto f = std::make_shared<CdromSvc::FilterSpec>();
  EXPECT_EQ(Cdroms(f).size(), 3u);  // a filter with no sets keeps everything
  f->backingTypes = std::set<CdromSvc::BackingType>{};
  EXPECT_EQ(Cdroms(f).size(), 3u);  // so does an empty set
  f->backingTypes = std::set<CdromSvc::BackingType>{Enum<CdromSvc::BackingType>("ATAPI"),
                                                    Enum<CdromSvc::BackingType>("RAW")};
  EXPECT_EQ(Cdroms(f), (std::vector<std::string>{"cdrom-2/ATAPI/ide0:1", "cdrom-3/RAW/ide1:0"}));
  f->devices = std::set<std::string>{"ide1:0", "ide0:0"};
  EXPECT_EQ(Cdroms(f), (std::vector<std::string>{"cdrom-3/RAW/ide1:0"}));  // sets combine
  f = std::make_shared<CdromSvc::FilterSpec>();
  f->cdroms = std::set<std::string>{"cdrom-1", "cdrom-9"};
  EXPECT_EQ(Cdroms(f), (std::vector<std::string>{"cdrom-1/IMAGE/ide0:0"}));
  EXPECT_TRUE(FailedWith(
      Call<CdromSvc::ListMethod>([&](auto& r) { cdrom.List("ghost", nullptr, nullptr, r); }),
      kNotFound));
}

TEST_F(SimDevices, DeviceNamesAreSharedByDrivesDisksAndAdapters) {
  ASSERT_TRUE(Succeeded(AddCdrom(Image({}), "dev0")));
  EXPECT_TRUE(FailedWith(AddDisk("d", "dev0"), kAlreadyExists, "kov.sim.device.name.taken"));
  EXPECT_TRUE(
      FailedWith(AddNic("n", "E1000", "dev0"), kAlreadyExists, "kov.sim.device.name.taken"));
  ASSERT_TRUE(Succeeded(AddNic("n", "E1000", "dev1")));
  EXPECT_TRUE(FailedWith(AddCdrom(Image({}), "dev1"), kAlreadyExists));
  // Names are per machine.
  CreateVm("other");
  EXPECT_TRUE(Succeeded(AddCdrom(Image({}), "dev0", "other")));
}

TEST_F(SimDevices, DisksWithGivenOrHostAssignedIdentifiersUpToTheLimit) {
  auto fresh = AddDisk("", "scsi0:0");
  ASSERT_TRUE(Succeeded(fresh));
  EXPECT_EQ(*fresh.value, "disk-1");
  auto given = AddDisk("data-7", "scsi0:1");
  ASSERT_TRUE(Succeeded(given));
  EXPECT_EQ(*given.value, "data-7");
  // A given identifier that looks like the host's is skipped by the host's numbering.
  ASSERT_TRUE(Succeeded(AddDisk("disk-2", "scsi0:2")));
  auto next = AddDisk("", "scsi0:3");
  ASSERT_TRUE(Succeeded(next));
  EXPECT_EQ(*next.value, "disk-3");
  EXPECT_TRUE(FailedWith(AddDisk("data-7", "scsi1:0"), kAlreadyExists, "kov.sim.disk.attached"));
  EXPECT_TRUE(FailedWith(AddDisk("x", ""), kInvalidArgument, "kov.sim.device.name.empty"));
  EXPECT_TRUE(FailedWith(AddDisk("x", "scsi1:0", "ghost"), kNotFound, "kov.sim.vm.not.found"));
  EXPECT_EQ(Disks(), (std::vector<std::string>{"disk-1@scsi0:0", "data-7@scsi0:1", "disk-2@scsi0:2",
                                               "disk-3@scsi0:3"}));
  auto f = std::make_shared<DiskSvc::FilterSpec>();
  f->disks = std::set<std::string>{"data-7", "disk-3"};
  EXPECT_EQ(Disks(f), (std::vector<std::string>{"data-7@scsi0:1", "disk-3@scsi0:3"}));
  f->devices = std::set<std::string>{"scsi0:1"};
  EXPECT_EQ(Disks(f), (std::vector<std::string>{"data-7@scsi0:1"}));
  for (int i = 4; i < 16; ++i) ASSERT_TRUE(Succeeded(AddDisk("", "d" + std::to_string(i))));
  EXPECT_TRUE(FailedWith(AddDisk("", "d16"), kUnableToAllocate, "kov.sim.disk.limit"));
  SwitchOn("vm");
  EXPECT_TRUE(FailedWith(AddDisk("y", "scsi1:1"), kNotAllowed, "kov.sim.vm.powered.on"));
}

TEST_F(SimDevices, NetworkAdapters) {
  ASSERT_TRUE(Succeeded(AddNic("lan", "E1000E", "ethernet0")));
  ASSERT_TRUE(Succeeded(AddNic("lan", "ZUBNET3", "ethernet1")));  // two adapters on one network
  SwitchOn("vm");
  ASSERT_TRUE(Succeeded(AddNic("dmz", "E1000", "ethernet2")));  // adapters can be hot-added
  EXPECT_EQ(Nics(), (std::vector<std::string>{"lan/E1000E/ethernet0", "lan/ZUBNET3/ethernet1",
                                              "dmz/E1000/ethernet2"}));
  auto f = std::make_shared<NetworkSvc::FilterSpec>();
  f->adapters = std::set<NetworkSvc::VirtualDev>{Enum<NetworkSvc::VirtualDev>("E1000"),
                                                 Enum<NetworkSvc::VirtualDev>("E1000E")};
  EXPECT_EQ(Nics(f), (std::vector<std::string>{"lan/E1000E/ethernet0", "dmz/E1000/ethernet2"}));
  f->networks = std::set<std::string>{"dmz"};
  EXPECT_EQ(Nics(f), (std::vector<std::string>{"dmz/E1000/ethernet2"}));
  f = std::make_shared<NetworkSvc::FilterSpec>();
  f->devices = std::set<std::string>{"ethernet1"};
  EXPECT_EQ(Nics(f), (std::vector<std::string>{"lan/ZUBNET3/ethernet1"}));

  // ...but not removed from a running machine.
  EXPECT_TRUE(FailedWith(RemoveNic("ethernet1"), kNotAllowed, "kov.sim.vm.powered.on"));
  EXPECT_TRUE(FailedWith(RemoveNic("ethernet9"), kNotFound, "kov.sim.network.not.found"));
  EXPECT_TRUE(FailedWith(RemoveNic("ethernet1", "ghost"), kNotFound, "kov.sim.vm.not.found"));
}

TEST_F(SimDevices, NetworkAddRefusalsUseTheErrorsOfItsList) {
  ASSERT_TRUE(Succeeded(AddNic("lan", "E1000", "ethernet0")));
  EXPECT_TRUE(FailedWith(AddNic("", "E1000", "ethernet1"), kError, "kov.sim.network.id.empty"));
  EXPECT_TRUE(FailedWith(AddNic("lan", "E1000", ""), kError, "kov.sim.device.name.empty"));
  EXPECT_TRUE(
      FailedWith(AddNic("lan", "ZUBNET4", "ethernet1"), kError, "kov.sim.network.adapter.unknown"));
  EXPECT_TRUE(FailedWith(AddNic("lan", "E1000", "ethernet0"), kAlreadyExists));
  EXPECT_TRUE(FailedWith(AddNic("lan", "E1000", "ethernet1", "ghost"), kNotFound));
  for (int i = 1; i < 10; ++i)
    ASSERT_TRUE(Succeeded(AddNic("lan", "E1000", "e" + std::to_string(i))));
  EXPECT_TRUE(FailedWith(AddNic("lan", "E1000", "e10"), kError, "kov.sim.network.limit"));
  EXPECT_TRUE(Succeeded(RemoveNic("e1")));
  EXPECT_EQ(Nics().size(), 9u);
}

TEST_F(SimDevices, SataControllers) {
  EXPECT_TRUE(Succeeded(AddSata(1)));
  EXPECT_TRUE(Succeeded(AddSata(0)));
  EXPECT_EQ(SataLabels(), (std::vector<std::string>{"SATA controller 0", "SATA controller 1"}));
  EXPECT_TRUE(FailedWith(AddSata(1), kAlreadyExists, "kov.sim.sata.exists"));
  EXPECT_TRUE(FailedWith(AddSata(4), kError, "kov.sim.sata.number.invalid"));
  EXPECT_TRUE(FailedWith(AddSata(-1), kError, "kov.sim.sata.number.invalid"));
  EXPECT_TRUE(FailedWith(AddSata(2, "NVME"), kError, "kov.sim.sata.hba.unknown"));
  EXPECT_TRUE(FailedWith(AddSata(2, "AHCI", "ghost"), kNotFound, "kov.sim.vm.not.found"));
  EXPECT_TRUE(Succeeded(UpdateSata(1)));
  EXPECT_TRUE(FailedWith(UpdateSata(3), kNotFound, "kov.sim.sata.not.found"));
  EXPECT_TRUE(FailedWith(UpdateSata(1, "NVME"), kError, "kov.sim.sata.hba.unknown"));
  auto f = std::make_shared<SataControllerSvc::FilterSpec>();
  f->labels = std::set<std::string>{"SATA controller 1"};
  EXPECT_EQ(SataLabels(f), (std::vector<std::string>{"SATA controller 1"}));
  SwitchOn("vm");
  EXPECT_TRUE(FailedWith(AddSata(2), kNotAllowed, "kov.sim.vm.powered.on"));
  EXPECT_TRUE(FailedWith(UpdateSata(1), kNotAllowed, "kov.sim.vm.powered.on"));
  EXPECT_TRUE(FailedWith(DeleteSata(1), kNotAllowed, "kov.sim.vm.powered.on"));
  EXPECT_TRUE(FailedWith(DeleteSata(3), kNotFound, "kov.sim.sata.not.found"));
  auto off = Call<PowerSvc::SwitchOffMethod>([&](auto& r) { power.SwitchOff("vm", nullptr, r); });
  ASSERT_TRUE(Succeeded(off));
  EXPECT_TRUE(Succeeded(DeleteSata(1)));
  EXPECT_EQ(SataLabels(), (std::vector<std::string>{"SATA controller 0"}));
  EXPECT_TRUE(FailedWith(DeleteSata(1, "ghost"), kNotFound, "kov.sim.vm.not.found"));
}

TEST_F(SimDevices, ScsiControllers) {
  EXPECT_TRUE(Succeeded(AddScsi(0, "LSILOGIC")));
  EXPECT_TRUE(Succeeded(AddScsi(3, "ZSCSI")));
  EXPECT_TRUE(FailedWith(AddScsi(0, "LSISAS"), kAlreadyExists, "kov.sim.scsi.exists"));
  EXPECT_TRUE(FailedWith(AddScsi(4), kError, "kov.sim.scsi.number.invalid"));
  EXPECT_TRUE(FailedWith(AddScsi(1, "AHCI"), kError, "kov.sim.scsi.hba.unknown"));
  EXPECT_TRUE(FailedWith(AddScsi(1, "LSISAS", "ghost"), kNotFound, "kov.sim.vm.not.found"));
  SwitchOn("vm");
  EXPECT_TRUE(FailedWith(AddScsi(1), kNotAllowed, "kov.sim.vm.powered.on"));
  ASSERT_EQ(data().machines[0].scsiControllers.size(), 2u);
  EXPECT_EQ(data().machines[0].scsiControllers.at(3), "ZSCSI");
  // SATA and SCSI controllers are numbered separately.
  EXPECT_TRUE(data().machines[0].sataControllers.empty());
}

}  // namespace
}  // namespace Testing
}  // namespace Sim
}  // namespace Kov
