// SPDX-License-Identifier: MIT
#pragma once
// What a simulated printer says about itself before an update and how it behaves: the settings
// that a test (or ZMR470_SIM) chooses and that SimPrinter::SetConfig may change at any time. Every
// part of the printer reads them; none of them is state the printer changes itself.
#include <cstdint>
#include <string>
#include <vector>

#include "sim/sim_fault.h"

namespace zmr::sim {

struct PrinterConfig {
  // Reported until the type's memory is first erased or written; from then on the printer
  // computes them from its memory. Texts are cut or NUL-padded to 6, 6 and 3 characters.
  std::string data1Version = "316B20";
  uint16_t data1CheckSum = 0x1A2B;
  std::string data2Version = "318C20";
  uint16_t data2CheckSum = 0x3C4D;
  std::string data3Version = "D10";
  uint16_t data3CheckSum = 0x5E6F;

  // Asleep until the wake command: the status reply says busy ('@' in the second state byte)
  // and 'S' in the first. false: awake from the start.
  bool asleepUntilWake = true;
  // Busy for this long after the wake command.
  uint32_t busyMs = 0;
  bool staysBusy = false;  // answers busy forever
  bool unit1Printing = false;
  bool unit2Printing = false;
  bool unit1Error = false;
  bool unit2Error = false;
  bool secondUnit = false;  // status reply byte 33 = 0x80

  // Bytes per second of clock time that the OUT pipe takes; 0 = instantaneous.
  uint32_t bytesPerSecond = 0;
  // After the enter- or leave-download-mode command the printer drops off the bus (every open
  // channel goes stale) and comes back after this long.
  uint32_t reenumerationMs = 1000;
  bool reappears = true;  // false: it never comes back after a mode switch
  // An erase takes this long; until it is done the printer refuses a transfer of that type (and
  // reports busy). The tool waits 10 s after the erase command.
  uint32_t eraseMs = 3000;
  // The version reply is ready this long after the request; a read before gets nothing. The tool
  // waits 1 s after the request.
  uint32_t versionReplyMs = 300;
  // Data type codes ('p', 't', 'c', 'f') whose transfers the printer refuses, as after an erase
  // that failed inside the printer: the stream is read and nothing is stored.
  std::string refusedTransfers;

  // Data type codes ('p', 't', 'c', 'f'); not empty: the printer starts in download mode with
  // the memory of these types erased, as an update that was cut short (the PC lost power, the
  // tool was killed) left it. Such a printer is awake and idle: its status reply says 'D' in the
  // first state byte and neither busy, printing nor error; its version reply is computed from
  // its memory for the erased types (an erased DATA1 reports FF FF FF FF FF FF / 0000) and gives
  // the settings above for the others. It takes no transfer before a new erase, and it leaves
  // download mode on the leave-download-mode command like any other.
  std::string erasedInDownloadMode;

  // Malformed replies.
  bool badVersionHeader = false;  // '#', '.', '0' instead of '#', '.', 0x00
  bool wrongStatusType = false;   // byte 3 of the status reply is not the requested type
  uint32_t statusShortBy = 0;     // the status reply is this many bytes shorter

  std::vector<Fault> faults;  // transfer faults (write and read)
};

}  // namespace zmr::sim
