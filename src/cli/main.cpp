// keyloomctl: the Tarn-60 configuration from the command line.
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "cli/command_table.h"

namespace {

std::atomic<bool> g_stop{false};

extern "C" void OnInterrupt(int) { g_stop.store(true); }

}  // namespace

int main(int argc, char** argv) {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);

  std::vector<std::string> args(argv + 1, argv + argc);
  keyloom::cli::CommandIo io{std::cout, std::cerr};
  io.stop = &g_stop;
  io.out_is_terminal = isatty(STDOUT_FILENO) != 0;
  return keyloom::cli::RunCli(args, io);
}
