// The hidraw listing read from a sysfs class folder laid out as the kernel
// does, one entry per top-level collection.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "device/hidraw_backend.h"
#include "emulator/descriptors.h"

namespace keyloom::device {
namespace {

namespace fs = std::filesystem;

void AddNode(const fs::path& root, const std::string& name, const std::string& hid_id,
             const std::vector<std::uint8_t>& descriptor) {
  fs::create_directories(root / name / "device");
  std::ofstream(root / name / "device" / "uevent") << "DRIVER=hid-generic\nHID_ID=" << hid_id << "\nHID_NAME=x\n";
  std::ofstream d(root / name / "device" / "report_descriptor", std::ios::binary);
  d.write(reinterpret_cast<const char*>(descriptor.data()), static_cast<std::streamsize>(descriptor.size()));
}

TEST(HidrawListing, OneEntryPerCollectionWithItsUsage) {
  const fs::path root = fs::path(::testing::TempDir()) / ("hidraw-class-" + std::to_string(::getpid()));
  fs::remove_all(root);
  std::vector<std::uint8_t> two(std::begin(emulator::kConsumerDescriptor), std::end(emulator::kConsumerDescriptor));
  two.insert(two.end(), std::begin(emulator::kCommandDescriptor), std::end(emulator::kCommandDescriptor));
  AddNode(root, "hidraw1", "0003:00000C45:00007672", two);
  AddNode(root, "hidraw0", "0003:0000046D:0000C52B", {0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0xC0});
  AddNode(root, "hidraw2", "0003:0000320F:0000505B", {0x05});  // unreadable descriptor
  fs::create_directories(root / "hidraw3");                    // no uevent: skipped

  std::vector<HidInterfaceInfo> listed;
  ASSERT_TRUE(MakeHidrawBackendForSysfs(root.string())->Enumerate(listed));
  struct Expected {
    const char* path;
    std::uint16_t vendor, product, page, usage;
  } expected[] = {
      {"/dev/hidraw0", 0x046D, 0xC52B, 0x0001, 0x0002},
      {"/dev/hidraw1", 0x0C45, 0x7672, 0x000C, 0x0001},
      {"/dev/hidraw1&col02", 0x0C45, 0x7672, 0xFF1C, 0x0092},
      {"/dev/hidraw2", 0x320F, 0x505B, 0, 0},
  };
  ASSERT_EQ(listed.size(), std::size(expected));
  for (std::size_t i = 0; i < listed.size(); ++i) {
    EXPECT_EQ(listed[i].path, expected[i].path);
    EXPECT_EQ(listed[i].vendor_id, expected[i].vendor) << i;
    EXPECT_EQ(listed[i].product_id, expected[i].product) << i;
    EXPECT_EQ(listed[i].usage_page, expected[i].page) << i;
    EXPECT_EQ(listed[i].usage, expected[i].usage) << i;
  }
  EXPECT_EQ(HidrawNodePath("/dev/hidraw1&col02"), "/dev/hidraw1");
  EXPECT_EQ(HidrawNodePath("/dev/hidraw1"), "/dev/hidraw1");
  fs::remove_all(root);

  // A machine without any hidraw device has no class folder: it lists
  // nothing, successfully. Without sysfs at all the listing fails.
  fs::create_directories(root);
  listed.assign(1, {});
  EXPECT_TRUE(MakeHidrawBackendForSysfs((root / "hidraw").string())->Enumerate(listed));
  EXPECT_TRUE(listed.empty());
  fs::remove_all(root);
  EXPECT_FALSE(MakeHidrawBackendForSysfs((root / "hidraw").string())->Enumerate(listed));
}

}  // namespace
}  // namespace keyloom::device
