// qvr710-boardsim: serves one simulated evaluation board on a pseudo-terminal until SIGINT or
// SIGTERM. Prints the device path to open on standard output.
//   qvr710-boardsim [--kind 1|2|3] [--paced]
#include "SimulatedBoard.h"

#include <csignal>
#include <cstring>
#include <iostream>
#include <string>

namespace {

int Usage() {
  std::cerr << "usage: qvr710-boardsim [--kind 1|2|3] [--paced]\n"
               "  --kind   1 newer-driver board (default), 2 older-driver board, 3 QVR550 board\n"
               "  --paced  deliver bytes at the serial line's speed, 115200 bit/s\n";
  return 2;
}

}  // namespace

int main(int argc, char **argv) {
  int kind = 1;
  bool paced = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--paced") {
      paced = true;
    } else if (arg == "--kind" && i + 1 < argc) {
      const std::string value = argv[++i];
      if (value != "1" && value != "2" && value != "3")
        return Usage();
      kind = value[0] - '0';
    } else {
      return Usage();
    }
  }

  // Block the stop signals before the server thread starts, so only sigwait() sees them.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  try {
    sim::SimulatedBoard board(kind, paced);
    std::cout << board.DevicePath() << std::endl;
    int signal = 0;
    sigwait(&stopSignals, &signal);
  } catch (const std::exception &e) {
    std::cerr << "qvr710-boardsim: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
