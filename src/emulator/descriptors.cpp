#include "emulator/descriptors.h"

namespace keyloom::emulator {

std::vector<InterfaceInfo> KeyboardInterfaces(std::uint16_t vendor, std::uint16_t product) {
  InterfaceInfo consumer;
  consumer.number = kConsumerInterface;
  consumer.vendor = vendor;
  consumer.product = product;
  consumer.usagePage = 0x000C;
  consumer.usage = 0x0001;
  consumer.inputLength = 3;
  consumer.descriptor.assign(std::begin(kConsumerDescriptor), std::end(kConsumerDescriptor));

  InterfaceInfo command;
  command.number = kCommandInterface;
  command.vendor = vendor;
  command.product = product;
  command.usagePage = 0xFF1C;
  command.usage = 0x0092;
  command.inputLength = 64;
  command.outputLength = 64;
  command.descriptor.assign(std::begin(kCommandDescriptor), std::end(kCommandDescriptor));
  return {consumer, command};
}

}  // namespace keyloom::emulator
