#pragma once
// HID report descriptors of the virtual keyboard's two interfaces, and the
// identity of each interface as a host lists it.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "vkbdsocket/socket_protocol.h"

namespace keyloom::emulator {

// Consumer-control interface (the event interface): usage page 0x000C,
// usage 0x0001; one input report, id 0x01, carrying one 16-bit consumer usage
// (an array item, 0 = none): 3 bytes with the id.
//   05 0C        Usage Page (Consumer)
//   09 01        Usage (Consumer Control)
//   A1 01        Collection (Application)
//   85 01          Report ID (1)
//   19 00          Usage Minimum (0)
//   2A FF 7F       Usage Maximum (0x7FFF)
//   15 00          Logical Minimum (0)
//   26 FF 7F       Logical Maximum (0x7FFF)
//   75 10          Report Size (16)
//   95 01          Report Count (1)
//   81 00          Input (Data, Array, Absolute)
//   C0           End Collection
inline constexpr std::uint8_t kConsumerDescriptor[] = {
    0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x01, 0x19, 0x00, 0x2A, 0xFF, 0x7F,
    0x15, 0x00, 0x26, 0xFF, 0x7F, 0x75, 0x10, 0x95, 0x01, 0x81, 0x00, 0xC0};

// Command interface: usage page 0xFF1C, usage 0x0092; report id 0x04, 63 data
// bytes in each direction, so 64-byte input and output reports with the id.
//   06 1C FF     Usage Page (0xFF1C)
//   09 92        Usage (0x92)
//   A1 01        Collection (Application)
//   85 04          Report ID (4)
//   15 00          Logical Minimum (0)
//   26 FF 00       Logical Maximum (255)
//   75 08          Report Size (8)
//   95 3F          Report Count (63)
//   09 01          Usage (1)
//   81 02          Input (Data, Variable, Absolute)
//   09 02          Usage (2)
//   91 02          Output (Data, Variable, Absolute)
//   C0           End Collection
inline constexpr std::uint8_t kCommandDescriptor[] = {
    0x06, 0x1C, 0xFF, 0x09, 0x92, 0xA1, 0x01, 0x85, 0x04, 0x15, 0x00, 0x26, 0xFF, 0x00,
    0x75, 0x08, 0x95, 0x3F, 0x09, 0x01, 0x81, 0x02, 0x09, 0x02, 0x91, 0x02, 0xC0};

constexpr std::uint8_t kConsumerReportId = 0x01;
constexpr std::uint8_t kConsumerInterface = 0;  // interface numbers
constexpr std::uint8_t kCommandInterface = 1;

// One interface as a host lists it: the record the socket protocol carries.
using InterfaceInfo = vkbdsocket::InterfaceInfo;

// The two interfaces (consumer first) of a keyboard with this vendor/product.
std::vector<InterfaceInfo> KeyboardInterfaces(std::uint16_t vendor, std::uint16_t product);

}  // namespace keyloom::emulator
