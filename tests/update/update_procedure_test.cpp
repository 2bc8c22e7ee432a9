// SPDX-License-Identifier: MIT
// Every outcome of one press of Download, end to end through the simulated printer.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "protocol/commands.h"
#include "protocol/version_report.h"
#include "run_pacing.h"
#include "sim_update_fixture.h"
#include "update/string_table.h"
#include "update/version_text.h"

namespace zmr {
namespace {

using platform::Key;
using platform::Language;
using sim::Fault;
using test::FakeKeys;

constexpr uint8_t kEsc = 0x1B;

// Block `block` of the transfer of `type` (the tail counts as a block) takes `ms` longer.
Fault SlowBlock(char type, uint32_t block, uint32_t ms) {
  Fault fault = Fault::FailBlock(type, block);
  fault.effect = Fault::Effect::kSlow;
  fault.delayMs = ms;
  return fault;
}

// ---- Image sources ----

std::vector<uint8_t> Copy(int index) {
  const auto image = EmbeddedImage(index);
  return {image.begin(), image.end()};
}

// DATA3 with one data byte of its first record changed and the stored sum left alone.
std::span<const uint8_t> DamagedData3(int index) {
  static const std::vector<uint8_t> damaged = [] {
    std::vector<uint8_t> bytes = Copy(kData3);
    bytes[9] ^= 0x01;
    return bytes;
  }();
  return index == kData3 ? std::span<const uint8_t>(damaged) : EmbeddedImage(index);
}

// DATA2 with the first data byte changed and the stored sum mended: a valid stream that loads a
// different word at the base of DATA2's memory, so the printer computes another check sum.
struct AlteredData2 {
  std::vector<uint8_t> bytes;
  uint16_t wordSum;
};
const AlteredData2& Data2Altered() {
  static const AlteredData2 altered = [] {
    AlteredData2 a{Copy(kData2), 0};
    const uint8_t before = a.bytes[9];
    const uint8_t after = static_cast<uint8_t>(before + 1);
    a.bytes[9] = after;
    const size_t at = a.bytes.size() - 5;  // "S", four sum bytes, "E"
    uint32_t sum = (uint32_t{a.bytes[at]} << 24) | (uint32_t{a.bytes[at + 1]} << 16) |
                   (uint32_t{a.bytes[at + 2]} << 8) | a.bytes[at + 3];
    sum = sum - before + after;
    for (int i = 0; i < 4; ++i) a.bytes[at + i] = static_cast<uint8_t>(sum >> (24 - 8 * i));
    // The byte is the high byte of the first big-endian word of the range.
    a.wordSum = static_cast<uint16_t>(0xAF7C + (after - before) * 256);
    return a;
  }();
  return altered;
}
std::span<const uint8_t> AlteredData2Source(int index) {
  return index == kData2 ? std::span<const uint8_t>(Data2Altered().bytes) : EmbeddedImage(index);
}

// ---- Expected fields ----

enum class Before { Empty, Printer };
enum class After { Empty, Carried, Data2SumOff };

struct Pair {
  std::string version, checkSum;
};

DisplayFields Expected(Before before, After after, const sim::PrinterConfig& printer) {
  DisplayFields f;
  if (before == Before::Printer) {
    const std::array<Pair, kImageCount> reported = {{
        {printer.data1Version, CheckSumText(printer.data1CheckSum)},
        {printer.data2Version, CheckSumText(printer.data2CheckSum)},
        {printer.data3Version, CheckSumText(printer.data3CheckSum)},
    }};
    for (int i = 0; i < kImageCount; ++i) {
      f.beforeVersion[i] = reported[i].version;
      f.beforeCheckSum[i] = reported[i].checkSum;
    }
  }
  if (after != After::Empty) {
    for (int i = 0; i < kImageCount; ++i) {
      f.afterVersion[i] = kImages[i].version;
      f.afterCheckSum[i] = kImages[i].checkSum;
    }
    if (after == After::Data2SumOff) f.afterCheckSum[kData2] = CheckSumText(Data2Altered().wordSum);
  }
  return f;
}

// ---- The table ----

struct RunInfo {
  const std::vector<sim::TraceEntry>& trace;
  sim::SimPrinter* printer;  // null when the bus has none
  const FakeKeys& keys;
  const std::vector<test::Sleep>& sleeps;
};

struct Row {
  const char* name;
  void (*setup)(sim::SimConfig&) = nullptr;
  bool shift = false;
  bool k = false;
  ImageSet::Source images = EmbeddedImage;
  Language language = Language::English;
  // The one message.
  uint32_t message = IDS_SUCCESS;          // its title and icon follow from it (BoxOf)
  const char* quote = nullptr;             // a text the message must contain (the 2006 formatting)
  RunReason reason = RunReason::kSuccess;  // the named reason the run ends with
  const char* detail = nullptr;            // what the run's result says about it, where checked
  // The run ended before the printer went into download mode: no Before fields, no release.
  bool stopsBeforeDownloadMode = false;
  Before before = Before::Printer;
  After after = After::Empty;
  bool released = true;          // the leave-download-mode command reached the printer
  bool windowAtMessage = false;  // a progress window was still open while the box was up
  bool flagLeftSet = false;      // a release failed to write its command
  void (*check)(const RunInfo&) = nullptr;
  const char* data1 = nullptr;  // the printer's DATA1 version, when the row sets one of its own
};

// Every failure is an "Error" with the warning icon; the version gate's two refusals are a
// "Version Check" with the information icon; success has the warning icon too.
struct Box {
  MessageTitle title;
  MessageIcon icon;
};
Box BoxOf(uint32_t message) {
  switch (message) {
    case IDS_SUCCESS:
      return {MessageTitle::Success, MessageIcon::Warning};
    case IDS_NEWEST_VERSION:
    case IDS_NOT_APPLICABLE:
      return {MessageTitle::VersionCheck, MessageIcon::Information};
    default:
      return {MessageTitle::Error, MessageIcon::Warning};
  }
}

void ExpectNothingSent(const RunInfo& run) {
  for (const auto& entry : run.trace) EXPECT_NE(entry.direction, 'W') << test::TransferName(entry);
}

void ExpectNoDownloadMode(const RunInfo& run) {
  for (const auto& entry : run.trace) EXPECT_NE(test::TransferName(entry), "enter");
}

void ExpectData1SentAndData3Untouched(const RunInfo& run) {
  const auto blocks = test::BlocksOf(run.trace, 'p');
  ASSERT_EQ(blocks.size(), 251u);
  EXPECT_EQ(blocks.back(), 128u);
  EXPECT_EQ(run.printer->LastStream('p'), sim::StreamOutcome::kAccepted);
  EXPECT_EQ(run.printer->LastStream('f'), sim::StreamOutcome::kNone);
  for (const auto& entry : run.trace) {
    const std::string name = test::TransferName(entry);
    EXPECT_NE(name, "erase f");
    EXPECT_NE(name, "transfer f");
    EXPECT_NE(name, "transfer t");
  }
}

void ExpectBlockSevenWholeAndNoEighth(const RunInfo& run) {
  EXPECT_EQ(test::BlocksOf(run.trace, 'p'), std::vector<uint32_t>(7, 4096));
}

void ExpectShortThirdBlockLast(const RunInfo& run) {
  const auto blocks = test::BlocksOf(run.trace, 'p');
  EXPECT_EQ(blocks, (std::vector<uint32_t>{4096, 4096, 100}));
}

void ExpectKNotLookedAt(const RunInfo& run) {
  EXPECT_EQ(run.keys.asked, std::vector<Key>{Key::Shift});
}

void ExpectBothKeysLookedAt(const RunInfo& run) {
  EXPECT_EQ(run.keys.asked, (std::vector<Key>{Key::Shift, Key::K}));
}

void ExpectLatePrinterGotNothing(const RunInfo& run) {
  sim::SimBus& bus = sim::SimBus::Instance();
  ASSERT_EQ(bus.PrinterCount(), 2u);
  EXPECT_EQ(bus.Printer(1).WriteCount(), 0u) << "the printer plugged in during the switch";
  EXPECT_EQ(bus.Printer(1).ReadCount(), 0u);
  for (const auto& entry : run.trace) {
    if (entry.printer == 0) continue;
    ADD_FAILURE() << "printer 1: " << test::TransferName(entry);
  }
  // The printer that was switched got nothing after the enter-download-mode command.
  EXPECT_EQ(test::TransferName(run.trace.back()), "enter");
}

void ExpectReleaseTriedTwice(const RunInfo& run) {
  const auto n = std::count_if(run.sleeps.begin(), run.sleeps.end(),
                               [](const test::Sleep& s) { return s.ms == 2000; });
  EXPECT_EQ(n, 2);
}

const Row kRows[] = {
    {.name = "Success", .after = After::Carried, .check = ExpectKNotLookedAt},
    {.name = "NoPrinter",
     .setup = [](sim::SimConfig& c) { c.listed = 0; },
     .message = IDS_NOT_CONNECTED,
     .reason = RunReason::kNoPrinter,
     .stopsBeforeDownloadMode = true,
     .check = ExpectNothingSent},
    {.name = "TwoPrintersOneOnEachDriverPath",
     .setup = [](sim::SimConfig& c) { c.indexed = 1; },
     .message = IDS_TWO_PRINTERS,
     .reason = RunReason::kTwoOrMorePrinters,
     .stopsBeforeDownloadMode = true,
     .check = ExpectNothingSent},
    {.name = "OpenFails",
     .setup = [](sim::SimConfig& c) { c.openFaults.push_back({}); },
     .message = IDS_NOT_CONNECTED,
     .reason = RunReason::kOpenFailed,
     .stopsBeforeDownloadMode = true,
     .check = ExpectNothingSent},
    {.name = "StatusQueryFails",
     .setup = [](sim::SimConfig& c) { c.printer.faults.push_back(Fault::FailRead(1)); },
     .message = IDS_FAILED,
     .reason = RunReason::kStatusNotRead,
     .stopsBeforeDownloadMode = true,
     .check = ExpectNoDownloadMode},
    {.name = "BusyForMoreThanTenSeconds",
     .setup =
         [](sim::SimConfig& c) {
           c.printer.staysBusy = true;
           c.printer.unit1Printing = true;
         },
     .message = IDS_FAILED,
     .reason = RunReason::kStillBusy,
     .stopsBeforeDownloadMode = true,
     .check = ExpectNoDownloadMode},
    {.name = "BusyForAWhileThenIdle",
     .setup = [](sim::SimConfig& c) { c.printer.busyMs = 3000; },
     .after = After::Carried},
    {.name = "PrintingUnit1",
     .setup = [](sim::SimConfig& c) { c.printer.unit1Printing = true; },
     .message = IDS_PRINTING,
     .reason = RunReason::kPrinting,
     .stopsBeforeDownloadMode = true,
     .check = ExpectNoDownloadMode},
    {.name = "PrintingUnit2WithSecondUnit",
     .setup =
         [](sim::SimConfig& c) {
           c.printer.unit2Printing = true;
           c.printer.secondUnit = true;
         },
     .message = IDS_PRINTING,
     .reason = RunReason::kPrinting,
     .stopsBeforeDownloadMode = true},
    {.name = "PrintingUnit2IgnoredWithoutSecondUnit",
     .setup =
         [](sim::SimConfig& c) {
           c.printer.unit2Printing = true;
           c.printer.unit2Error = true;
         },
     .after = After::Carried},
    {.name = "ErrorUnit1",
     .setup = [](sim::SimConfig& c) { c.printer.unit1Error = true; },
     .message = IDS_PRINTER_ERROR,
     .reason = RunReason::kPrinterError,
     .stopsBeforeDownloadMode = true},
    {.name = "ErrorUnit2WithSecondUnit",
     .setup =
         [](sim::SimConfig& c) {
           c.printer.unit2Error = true;
           c.printer.secondUnit = true;
         },
     .message = IDS_PRINTER_ERROR,
     .reason = RunReason::kPrinterError,
     .stopsBeforeDownloadMode = true},
    {.name = "PrintingAndInErrorAtOnce",
     .setup =
         [](sim::SimConfig& c) {
           c.printer.unit1Printing = true;
           c.printer.unit1Error = true;
         },
     .message = IDS_PRINTING,
     .reason = RunReason::kPrinting,
     .stopsBeforeDownloadMode = true},
    {.name = "EnterDownloadModeNotWritten",
     .setup =
         [](sim::SimConfig& c) {
           c.printer.faults.push_back(Fault::FailWriteStartingWith({kEsc, 'f', 'g', 0}));
         },
     .message = IDS_FAILED,
     .reason = RunReason::kModeSwitchNotSent,
     .stopsBeforeDownloadMode = true},
    {.name = "ReopenFails",
     .setup = [](sim::SimConfig& c) { c.printer.reappears = false; },
     .message = IDS_NOT_CONNECTED,
     .reason = RunReason::kReopenFailed,
     .stopsBeforeDownloadMode = true},
    // A second printer of the model that appears during the 5 s wait would be the one opened by
    // index after the reopen: nothing may reach either printer.
    {.name = "SecondPrinterPluggedInDuringModeSwitch",
     .setup = [](sim::SimConfig& c) { c.pluggedAtModeSwitch = 1; },
     .message = IDS_NOT_CONNECTED,
     .reason = RunReason::kPrinterCountChanged,
     .stopsBeforeDownloadMode = true,
     .check = ExpectLatePrinterGotNothing},
    // The printer comes back under another device path after the mode switch: it is looked up
    // afresh, not opened under the path it had.
    {.name = "NewDevicePathAfterModeSwitch",
     .setup = [](sim::SimConfig& c) { c.newPathAfterModeSwitch = true; },
     .after = After::Carried},
    {.name = "SecondPrinterPluggedInBehindAnIndexedOne",
     .setup =
         [](sim::SimConfig& c) {
           c.listed = 0;
           c.indexed = 1;
           c.pluggedAtModeSwitch = 1;
         },
     .message = IDS_NOT_CONNECTED,
     .reason = RunReason::kPrinterCountChanged,
     .stopsBeforeDownloadMode = true,
     .check = ExpectLatePrinterGotNothing},
    {.name = "VersionRequestNotWritten",
     .setup =
         [](sim::SimConfig& c) {
           c.printer.faults.push_back(Fault::FailWriteStartingWith({kEsc, 'V', '#', 0}));
         },
     .message = IDS_VERSION_FAILED,
     .reason = RunReason::kVersionNotRead,
     .before = Before::Empty,
     .windowAtMessage = true},
    {.name = "VersionReplyMalformed",
     .setup = [](sim::SimConfig& c) { c.printer.badVersionHeader = true; },
     .message = IDS_VERSION_FAILED,
     .reason = RunReason::kVersionNotRead,
     .before = Before::Empty,
     .windowAtMessage = true},
    {.name = "VersionReplyShort",
     .setup = [](sim::SimConfig& c) { c.printer.faults.push_back(Fault::ShortRead(2, 47)); },
     .message = IDS_VERSION_FAILED,
     .reason = RunReason::kVersionNotRead,
     .before = Before::Empty,
     .windowAtMessage = true},
    {.name = "AlreadyNewest",
     .setup = [](sim::SimConfig& c) { c.printer.data1Version = "316G21"; },
     .message = IDS_NEWEST_VERSION,
     .reason = RunReason::kNewestVersion},
    {.name = "NotApplicable",
     .setup =
         [](sim::SimConfig& c) {
           c.printer.data1Version = "316D20";
           c.printer.data1CheckSum = 0x1A2B;
         },
     .message = IDS_NOT_APPLICABLE,
     .quote = "This program is not applicable on this printer.\nDATA1(M) : 316D20 / 1A2B",
     .reason = RunReason::kNotApplicable},
    {.name = "NotApplicableJapaneseSmallCheckSum",
     .setup =
         [](sim::SimConfig& c) {
           c.printer.data1Version = "316D20";
           c.printer.data1CheckSum = 0x00A6;
         },
     .language = Language::Japanese,
     .message = IDS_NOT_APPLICABLE,
     .quote = "\nDATA1(M) : 316D20 / 00A6",
     .reason = RunReason::kNotApplicable},
    {.name = "NotApplicableHostileVersionText",
     .setup = [](sim::SimConfig& c) { c.printer.data1Version = "%s%n%x"; },
     .message = IDS_NOT_APPLICABLE,
     .quote = "DATA1(M) : %s%n%x / 1A2B",
     .reason = RunReason::kNotApplicable},
    {.name = "LeaveNotWrittenAfterRefusal",
     .setup =
         [](sim::SimConfig& c) {
           c.printer.data1Version = "316G21";
           c.printer.faults.push_back(Fault::FailWriteStartingWith({kEsc, 'f', 'r', 0}).Always());
         },
     .message = IDS_NEWEST_VERSION,
     .reason = RunReason::kNewestVersion,
     .released = false,
     .flagLeftSet = true,
     .check = ExpectReleaseTriedTwice},
    {.name = "AcceptedOnFiveCharacters",
     .setup = [](sim::SimConfig& c) { c.printer.data1Version = "316B29"; },
     .after = After::Carried},
    {.name = "AcceptedFirstEntry",
     .setup = [](sim::SimConfig& c) { c.printer.data1Version = "316A20"; },
     .language = Language::Japanese,
     .after = After::Carried},
    {.name = "ImageBuildFails",
     .images = DamagedData3,
     .message = IDS_FAILED,
     .reason = RunReason::kImagesInvalid},
    {.name = "EraseNotWrittenForData2",
     .setup =
         [](sim::SimConfig& c) {
           c.printer.faults.push_back(Fault::FailWriteStartingWith({kEsc, 'f', 'e', 't'}));
         },
     .message = IDS_FAILED,
     .reason = RunReason::kEraseNotSent,
     .windowAtMessage = true,
     .check = ExpectData1SentAndData3Untouched},
    {.name = "TransferNotWritten",
     .setup =
         [](sim::SimConfig& c) {
           c.printer.faults.push_back(Fault::FailWriteStartingWith({kEsc, 'f', 't', 'f'}));
         },
     .message = IDS_FAILED,
     .reason = RunReason::kTransferNotSent,
     .windowAtMessage = true},
    {.name = "ShortBlockWrite",
     .setup = [](sim::SimConfig& c) { c.printer.faults.push_back(Fault::ShortBlock('p', 3, 100)); },
     .message = IDS_FAILED,
     .reason = RunReason::kImageNotSent,
     .windowAtMessage = true,
     .check = ExpectShortThirdBlockLast},
    {.name = "FailedTailWrite",
     .setup = [](sim::SimConfig& c) { c.printer.faults.push_back(Fault::FailBlock('f', 90)); },
     .message = IDS_FAILED,
     .reason = RunReason::kImageNotSent,
     .windowAtMessage = true},
    {.name = "Data2Block7Fails",
     .setup = [](sim::SimConfig& c) { c.printer.faults.push_back(Fault::FailBlock('t', 7)); },
     .message = IDS_FAILED,
     .reason = RunReason::kImageNotSent,
     .detail = "DATA2(T) block 7 of 101: port TransferFailed (101)",
     .windowAtMessage = true},
    {.name = "TimeBudgetExceededDuringBlock7",
     .setup =
         [](sim::SimConfig& c) {
           c.printer.faults.push_back(Fault::SlowFromBlock('p', 7, 120001));
         },
     .message = IDS_TIME_OUT,
     .reason = RunReason::kTimeBudgetExceeded,
     .detail = "DATA1(M) block 7 of 251: more than 120 s",
     .windowAtMessage = true,
     .check = ExpectBlockSevenWholeAndNoEighth},
    // The images took, but the printer was never told to leave download mode: it needs the power
    // cycle that 2008 asks for.
    {.name = "LeaveNotWrittenAfterVerifiedDownload",
     .setup =
         [](sim::SimConfig& c) {
           c.printer.faults.push_back(Fault::FailWriteStartingWith({kEsc, 'f', 'r', 0}).Always());
         },
     .message = IDS_FAILED,
     .reason = RunReason::kReleaseNotSent,
     .after = After::Carried,
     .released = false,
     .flagLeftSet = true},
    {.name = "BudgetReachedButNotExceeded",
     .setup = [](sim::SimConfig& c) { c.printer.faults.push_back(SlowBlock('t', 50, 120000)); },
     .after = After::Carried},
    {.name = "SlowTailIsNeverTimed",
     .setup = [](sim::SimConfig& c) { c.printer.faults.push_back(SlowBlock('t', 101, 200000)); },
     .after = After::Carried},
    {.name = "VerificationReadsData2CheckSumWrong",
     .images = AlteredData2Source,
     .message = IDS_FAILED,
     .reason = RunReason::kVersionMismatch,
     .after = After::Data2SumOff},
    {.name = "VerificationRequestNotWrittenInForceMode",
     .setup =
         [](sim::SimConfig& c) {
           c.printer.faults.push_back(Fault::FailWriteStartingWith({kEsc, 'V', '#', 0}));
         },
     .shift = true,
     .k = true,
     .message = IDS_FAILED,
     .reason = RunReason::kVersionNotReadBack,
     .before = Before::Empty},
    {.name = "VerificationReplyUnreadable",
     .setup = [](sim::SimConfig& c) { c.printer.faults.push_back(Fault::FailRead(3)); },
     .message = IDS_FAILED,
     .reason = RunReason::kVersionNotReadBack},
    {.name = "ForceModeWithPrintingPrinter",
     .setup =
         [](sim::SimConfig& c) {
           c.printer.unit1Printing = true;
           c.printer.unit1Error = true;
         },
     .shift = true,
     .k = true,
     .before = Before::Empty,
     .after = After::Carried,
     .check = ExpectBothKeysLookedAt},
    {.name = "ForceModeSkipsTheVersionGate",
     .setup = [](sim::SimConfig& c) { c.printer.data1Version = "316G21"; },
     .shift = true,
     .k = true,
     .before = Before::Empty,
     .after = After::Carried},
    {.name = "ShiftAloneIsNotForce",
     .setup = [](sim::SimConfig& c) { c.printer.unit1Printing = true; },
     .shift = true,
     .message = IDS_PRINTING,
     .reason = RunReason::kPrinting,
     .stopsBeforeDownloadMode = true,
     .check = ExpectBothKeysLookedAt},
    {.name = "KAloneIsNotForceAndIsNotLookedAt",
     .setup = [](sim::SimConfig& c) { c.printer.unit1Printing = true; },
     .k = true,
     .message = IDS_PRINTING,
     .reason = RunReason::kPrinting,
     .stopsBeforeDownloadMode = true,
     .check = ExpectKNotLookedAt},
};

// The version gate on a version one character off the own version and each accepted one, in
// each of the six positions: only the sixth character of an accepted version may differ.
std::vector<Row> OffByOneRows() {
  static std::deque<std::string> texts;  // the rows' names and texts live as long as the rows
  std::vector<Row> rows;
  for (const char* base : {"316G21", "316A20", "316B20", "316C20"}) {
    for (int at = 0; at < 6; ++at) {
      std::string version = base;
      version[static_cast<size_t>(at)] = 'X';
      const bool own = std::string(base) == kImages[kData1].version;
      const bool accepted = !own && at == 5;
      Row row;
      row.name =
          texts.emplace_back("OffByOne" + std::string(base) + "At" + std::to_string(at)).c_str();
      row.data1 = texts.emplace_back(version).c_str();
      if (accepted) {
        row.after = After::Carried;
      } else {
        row.message = IDS_NOT_APPLICABLE;
        row.reason = RunReason::kNotApplicable;
        row.quote = texts.emplace_back("\nDATA1(M) : " + version + " / 1A2B").c_str();
      }
      rows.push_back(row);
    }
  }
  return rows;
}

std::vector<Row> AllRows() {
  std::vector<Row> rows(std::begin(kRows), std::end(kRows));
  const std::vector<Row> offByOne = OffByOneRows();
  rows.insert(rows.end(), offByOne.begin(), offByOne.end());
  return rows;
}

// Rows print as their names.
void PrintTo(const Row& row, std::ostream* os) {
  *os << row.name;
}

class UpdateOutcome : public test::SimUpdateTest, public testing::WithParamInterface<Row> {};

TEST_P(UpdateOutcome, OneMessageFieldsButtonReleaseAndNothingLeftBehind) {
  const Row& row = GetParam();
  sim::SimConfig config;
  if (row.setup) row.setup(config);
  if (row.data1) config.printer.data1Version = row.data1;
  FakeKeys keys(row.shift, row.k);
  CUpdateProcedure& procedure = Make(config, keys, row.images, row.language);

  // What the printer had been told when the box went up.
  size_t leavesAtMessage = 0;
  size_t releasesToldAtMessage = 0;
  bool runningAtMessage = false;
  view.onMessage = [&](const Message&) {
    releasesToldAtMessage = observer.Count("released");
    leavesAtMessage = test::LeaveCount(Trace());
    runningAtMessage = procedure.IsRunning();
  };
  EXPECT_FALSE(procedure.IsRunning());
  procedure.OnDownload();

  // Exactly one message, with its title and icon.
  ASSERT_EQ(view.messages.size(), 1u);
  const test::ShownMessage& shown = view.messages[0];
  EXPECT_EQ(shown.message.stringId, row.message);
  EXPECT_EQ(shown.message.title, BoxOf(row.message).title);
  EXPECT_EQ(shown.message.icon, BoxOf(row.message).icon);
  if (row.quote) {
    EXPECT_NE(shown.message.text.find(row.quote), std::string::npos) << shown.message.text;
  } else {
    EXPECT_EQ(shown.message.text, LoadString(row.message, row.language));
  }
  EXPECT_EQ(shown.openWindows > 0, row.windowAtMessage);
  EXPECT_EQ(procedure.LastRun().messageId, row.message);
  EXPECT_STREQ(Name(procedure.LastRun().reason), Name(row.reason)) << procedure.LastRun().detail;
  if (row.detail) {
    EXPECT_EQ(procedure.LastRun().detail, row.detail);
  }
  EXPECT_TRUE(runningAtMessage);

  // The twelve fields, as the procedure holds them and as they were last shown.
  const Before before = row.stopsBeforeDownloadMode ? Before::Empty : row.before;
  const bool released = row.released && !row.stopsBeforeDownloadMode;
  const DisplayFields expected = Expected(before, row.after, config.printer);
  for (int i = 0; i < kImageCount; ++i) {
    SCOPED_TRACE(kImages[i].label);
    EXPECT_EQ(procedure.Fields().beforeVersion[i], expected.beforeVersion[i]);
    EXPECT_EQ(procedure.Fields().beforeCheckSum[i], expected.beforeCheckSum[i]);
    EXPECT_EQ(procedure.Fields().afterVersion[i], expected.afterVersion[i]);
    EXPECT_EQ(procedure.Fields().afterCheckSum[i], expected.afterCheckSum[i]);
    EXPECT_EQ(view.shownFields.beforeVersion[i], expected.beforeVersion[i]);
    EXPECT_EQ(view.shownFields.afterCheckSum[i], expected.afterCheckSum[i]);
  }

  // The button: disabled first, enabled and focused last.
  ASSERT_GE(view.events.size(), 3u);
  EXPECT_EQ(view.events.front(), "button:disable");
  EXPECT_EQ(view.events[view.events.size() - 2], "button:enable");
  EXPECT_EQ(view.events.back(), "button:focus");
  EXPECT_TRUE(view.buttonEnabled);
  EXPECT_TRUE(view.buttonFocused);

  // Released exactly when the printer went into download mode, and before the message.
  const auto trace = Trace();
  EXPECT_EQ(test::LeaveCount(trace), released ? 1u : 0u);
  EXPECT_EQ(leavesAtMessage, test::LeaveCount(trace));
  EXPECT_EQ(procedure.DownloadModeFlag(), row.flagLeftSet);

  // Nothing left behind.
  EXPECT_EQ(driver_api::OpenHandleCount(), 0u);
  EXPECT_EQ(sim::SimBus::Instance().OpenHandleCount(), 0u);
  EXPECT_FALSE(procedure.Images().AnyBufferHeld());
  EXPECT_EQ(view.openWindows, 0);
  EXPECT_TRUE(view.windowEnabled);
  EXPECT_FALSE(procedure.IsRunning());

  // The observer: download mode entered and left once around the part of the run that needs
  // it, before the message, and the run's end with its reason.
  const bool entered = !row.stopsBeforeDownloadMode || row.reason == RunReason::kReopenFailed ||
                       row.reason == RunReason::kPrinterCountChanged;
  EXPECT_EQ(observer.Count("entered"), entered ? 1u : 0u);
  EXPECT_EQ(observer.Count("released"), entered ? 1u : 0u);
  EXPECT_EQ(releasesToldAtMessage, observer.Count("released"));
  EXPECT_EQ(observer.Count("released 1"), released ? 1u : 0u);
  EXPECT_EQ(observer.events.front(), row.shift && row.k ? "start force" : "start");
  EXPECT_EQ(observer.events.back(), std::string("end ") + Name(row.reason));
  if (row.reason != RunReason::kSuccess) {
    EXPECT_GE(observer.Count("step "), 1u);
    EXPECT_TRUE(std::any_of(observer.steps.begin(), observer.steps.end(),
                            [](const StepRecord& step) { return !step.ok; }))
        << "the failing step is told";
  }

  // How it got there: the timeline of transfers and waits, and the bars against time. Where the
  // printer sees a reply read only as the reply goes into the pipe, the order of the tool's
  // pauses and reads is not on record.
  const std::optional<test::Steps> timeline = test::RowTimeline(row.name, row.reason);
  ASSERT_TRUE(timeline) << "every row has its timeline";
  if (sim::kSeesReadsWhenMade) {
    EXPECT_EQ(Timeline(), test::Folded(*timeline));
    test::ExpectBarsFollowTime(view.progress, test::BarMoves(test::TimedSteps(trace, sleeps)));
  }

  if (row.check) {
    sim::SimBus& bus = sim::SimBus::Instance();
    row.check(RunInfo{trace, bus.PrinterCount() > 0 ? &bus.Printer(0) : nullptr, keys, sleeps});
  }
}

INSTANTIATE_TEST_SUITE_P(Outcomes, UpdateOutcome, testing::ValuesIn(AllRows()),
                         [](const testing::TestParamInfo<Row>& row) { return row.param.name; });

}  // namespace
}  // namespace zmr

namespace zmr {
namespace {

using test::SimUpdateTest;

TEST_F(SimUpdateTest, SuccessSendsEveryImageOnScheduleAndThePrinterTakesThem) {
  const FakeKeys keys(false, false);
  CUpdateProcedure& procedure = Make(sim::SimConfig{}, keys, EmbeddedImage, Language::English,
                                     /*allBytes=*/true);
  procedure.OnDownload();
  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_EQ(view.messages[0].message.stringId, IDS_SUCCESS);

  // What reached the printer, in order, and the waits between.
  const std::vector<std::string> expected = {
      "wake",    "status 0",       "sleep 50",   "read 256",   // status gate
      "enter",   "sleep 50 x100",  "sleep 100",                // mode switch, reopen
      "version", "sleep 100 x10",  "read 48",    "sleep 500",  // version gate
      "erase p", "sleep 100 x101", "transfer p", "sleep 100", "block 4096 x250", "block 128",
      "erase t", "sleep 100 x101", "transfer t", "sleep 100", "block 4096 x100", "block 128",
      "erase f", "sleep 100 x101", "transfer f", "sleep 100", "block 4096 x89",  "block 3776",
      "version", "sleep 100 x10",  "read 48",    // verification
      "leave",   "sleep 2000",     "sleep 500",  // release, last position
  };
  // Where the printer sees a reply read only when the reply goes into the pipe, the order of
  // the tool's pauses and reads is not on record.
  if (sim::kSeesReadsWhenMade) {
    EXPECT_EQ(Timeline(), expected);
  }

  // Each tail goes out zero-padded after the image's last bytes.
  const auto trace = Trace();
  const char types[kImageCount] = {'p', 't', 'f'};
  for (int i = 0; i < kImageCount; ++i) {
    SCOPED_TRACE(kImages[i].label);
    const auto image = EmbeddedImage(i);
    const uint32_t tail = static_cast<uint32_t>(image.size() % 4096);
    const sim::TraceEntry* last = nullptr;
    bool inside = false;
    for (const auto& entry : trace) {
      const std::string name = test::TransferName(entry);
      if (name.rfind("block", 0) != 0)
        inside = name == std::string("transfer ") + types[i];
      else if (inside)
        last = &entry;
    }
    ASSERT_NE(last, nullptr);
    ASSERT_EQ(last->bytes.size(), last->length);
    EXPECT_TRUE(std::equal(image.end() - tail, image.end(), last->bytes.begin()));
    EXPECT_TRUE(std::all_of(last->bytes.begin() + tail, last->bytes.end(),
                            [](uint8_t b) { return b == 0; }));
  }

  // The printer's own memory now reports what the tool carries.
  sim::SimPrinter& printer = sim::SimBus::Instance().Printer(0);
  const sim::ReportedVersions versions = printer.Versions();
  EXPECT_EQ(versions.data1, "316G21");
  EXPECT_EQ(versions.data2, "318C21");
  EXPECT_EQ(versions.data3, "D11");
  EXPECT_EQ(versions.data1CheckSum, 0x08A6);
  EXPECT_EQ(versions.data2CheckSum, 0xAF7C);
  EXPECT_EQ(versions.data3CheckSum, 0xEE03);
  EXPECT_EQ(printer.CurrentMode(), sim::Mode::kNormal);

  // Three windows, one after the other, with their captions and labels.
  ASSERT_EQ(view.progress.size(), 3u);
  const test::ProgressWindowRecord& mode = *view.progress[0];
  const test::ProgressWindowRecord& check = *view.progress[1];
  const test::ProgressWindowRecord& download = *view.progress[2];
  EXPECT_EQ(mode.caption, "Initializing...");
  EXPECT_EQ(mode.messages, std::vector<std::string>{"Please wait."});
  EXPECT_EQ(mode.positions.back(), 100);
  EXPECT_EQ(check.caption, "Version Check...");
  EXPECT_EQ(check.positions.back(), 100);
  EXPECT_EQ(download.caption, "Upgrade");
  EXPECT_EQ(download.messages, (std::vector<std::string>{LoadString(2021, Language::English),
                                                         LoadString(2022, Language::English),
                                                         LoadString(2023, Language::English)}));
  EXPECT_EQ(download.percent, "100%");
  EXPECT_TRUE(std::is_sorted(download.positions.begin(), download.positions.end()));
  for (const auto& record : view.progress) EXPECT_TRUE(record->destroyed);
}

// A printer whose erase or version reply takes longer than the tool waits, or that refuses a
// transfer: the run fails with the message of a failed download, the printer is released, and
// the only violation is the one the printer's slowness forces on the tool.
TEST_F(SimUpdateTest, PrinterSlowerThanTheToolOrRefusingATransfer) {
  const struct {
    const char* name;
    void (*setup)(sim::SimConfig&);
    uint32_t message;
    std::vector<sim::ViolationKind> forced;
  } cases[] = {
      {"erase longer than the 10 s wait",
       [](sim::SimConfig& c) { c.printer.eraseMs = 10101; },
       IDS_FAILED,
       {sim::ViolationKind::kEraseRunning}},
      {"version reply later than the 1 s wait",
       [](sim::SimConfig& c) { c.printer.versionReplyMs = 1001; },
       IDS_VERSION_FAILED,
       {sim::ViolationKind::kReadEarly}},
      {"DATA2's transfer refused",
       [](sim::SimConfig& c) { c.printer.refusedTransfers = "t"; },
       IDS_FAILED,
       {}},
      {"erase and reply just within the waits",
       [](sim::SimConfig& c) {
         c.printer.eraseMs = 10100;
         c.printer.versionReplyMs = 1000;
       },
       IDS_SUCCESS,
       {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    // Where reads are seen only as replies go into the pipe, an early read is not seen.
    if (!sim::kSeesReadsWhenMade && c.forced == std::vector{sim::ViolationKind::kReadEarly}) {
      continue;
    }
    sim::SimConfig config;
    c.setup(config);
    const FakeKeys keys(false, false);
    view.messages.clear();
    CUpdateProcedure& procedure = Make(config, keys);
    procedure.OnDownload();
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].message.stringId, c.message);
    EXPECT_EQ(test::LeaveCount(Trace()), 1u);
    std::vector<sim::ViolationKind> kinds;
    for (const auto& v : sim::ByHost(sim::SimBus::Instance().Violations())) kinds.push_back(v.kind);
    kinds.erase(std::unique(kinds.begin(), kinds.end()), kinds.end());
    EXPECT_EQ(kinds, c.forced);
    const bool taken = sim::SimBus::Instance().Printer(0).Versions().data2CheckSum == 0xAF7C;
    EXPECT_EQ(taken, c.message == IDS_SUCCESS);
  }
}

// The check that every run above ends with catches a tool that breaks the printer's rules while
// the outcome may still look right: each broken variant of the download of DATA1 is found.
TEST_F(SimUpdateTest, TheViolationCheckCatchesABrokenTool) {
  enum class Broken {
    kNoErase,
    kOtherErase,
    kShortEraseWait,
    kFFPadding,
    kPadTo4096,
    kOneWrite,
    kEarlyVersionRead
  };
  const struct {
    const char* name;
    Broken broken;
    const char* kind;
  } cases[] = {
      {"skips the erase", Broken::kNoErase, "no-erase"},
      {"erases another data type", Broken::kOtherErase, "no-erase"},
      {"waits too little after the erase", Broken::kShortEraseWait, "erase-running"},
      {"pads with 0xFF", Broken::kFFPadding, "padding"},
      {"pads to 4096", Broken::kPadTo4096, "padding"},
      {"sends the image in one write", Broken::kOneWrite, "block-size"},
      {"reads the versions at once", Broken::kEarlyVersionRead, "read-early"},
  };
  const auto image = EmbeddedImage(kData1);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (!sim::kSeesReadsWhenMade && c.broken == Broken::kEarlyVersionRead) continue;  // as above
    const FakeKeys keys(false, false);
    Make(sim::SimConfig{}, keys);
    CPrinterPort port(LinkedImportedDriver(), TheDriverLibrary(), clock);
    ASSERT_EQ(port.Open(), 1);
    ASSERT_EQ(port.EnterDownloadMode(), 1);
    port.Close();
    clock.Sleep(5100);
    ASSERT_EQ(port.Open(), 1);
    if (c.broken != Broken::kNoErase) {
      ASSERT_EQ(port.SendErase(c.broken == Broken::kOtherErase ? 1 : 0), 1);
    }
    clock.Sleep(c.broken == Broken::kShortEraseWait ? 1000 : 10000);
    ASSERT_EQ(port.SendTransfer(0), 1);
    const size_t full = image.size() / 4096 * 4096;
    std::vector<uint8_t> last(image.begin() + static_cast<std::ptrdiff_t>(full), image.end());
    last.resize(last.size() / 64 * 64 + 64, c.broken == Broken::kFFPadding ? 0xFF : 0x00);
    if (c.broken == Broken::kPadTo4096) last.resize(4096, 0x00);
    if (c.broken == Broken::kOneWrite) {
      std::vector<uint8_t> whole(image.begin(), image.end());
      whole.resize(full + last.size(), 0x00);
      EXPECT_EQ(port.Write(whole.data(), static_cast<uint32_t>(whole.size())), whole.size());
    } else {
      for (size_t at = 0; at < full; at += 4096)
        ASSERT_EQ(port.Write(image.data() + at, 4096), 4096u);
      EXPECT_EQ(port.Write(last.data(), static_cast<uint32_t>(last.size())), last.size());
    }
    ASSERT_EQ(port.SendVersionRequest(command::kVersionCode), 1);
    if (c.broken != Broken::kEarlyVersionRead) clock.Sleep(1000);
    VersionReport versions{};
    // The printer takes the bytes off the bus either way; only a read too early fails.
    EXPECT_EQ(port.ReadVersionReply(versions), c.broken == Broken::kEarlyVersionRead ? 0 : 1);
    EXPECT_EQ(port.LeaveDownloadMode(), 1);
    port.Close();
    EXPECT_NONFATAL_FAILURE(ExpectNoViolations(), c.kind);
    sim::SimBus::Instance().Clear();
  }
}

TEST_F(SimUpdateTest, PressesFollowOneAnotherFromEmptyFields) {
  const FakeKeys keys(false, false);
  sim::SimConfig config;
  config.printer.data1Version = "316D20";
  CUpdateProcedure& procedure = Make(config, keys);
  procedure.OnDownload();
  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_EQ(procedure.Fields().beforeVersion[kData1], "316D20");

  // The next press starts from empty fields and a weight of 0, and fails before any gate fills
  // them again.
  sim::SimConfig none;
  none.listed = 0;
  sim::SimBus::Instance().Reset(none, clock);
  procedure.OnDownload();
  ASSERT_EQ(view.messages.size(), 2u);
  EXPECT_EQ(view.messages[1].message.stringId, IDS_NOT_CONNECTED);
  EXPECT_EQ(procedure.Fields().beforeVersion[kData1], "");
  EXPECT_EQ(procedure.Images().totalTimeWeight, 0);
}

}  // namespace
}  // namespace zmr
