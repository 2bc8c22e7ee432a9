// SPDX-License-Identifier: MIT
// The run log as the terminal tool writes it, against what a user's state folder may hold: a log
// that another process has locked, something other than a regular file in its place, a folder
// that is a link, a full disk; a run killed in the middle of the download; texts from the printer
// that would forge or turn a line; a transfer limit that is not a number.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "programs.h"

namespace zmr::test {
namespace {

namespace fs = std::filesystem;

const std::string kNotWritten =
    "zmr470-update-cli: The run log cannot be written; the update goes on without it: ";
const std::string kRunLogLine = "Run log: .*/state/zmr470-update/zmr470-update\\.log";

std::string LogFolder(const std::string& folder) {
  return folder + "/state/zmr470-update";
}
std::string LogPath(const std::string& folder) {
  return LogFolder(folder) + "/zmr470-update.log";
}
void MakeLogFolder(const std::string& folder) {
  fs::create_directories(LogFolder(folder));
  fs::permissions(LogFolder(folder), fs::perms::owner_all, fs::perm_options::replace);
}

std::string ReadAll(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

// Whole lines of an earlier record, 20000 bytes of them, that a run finds in the log.
std::string EarlierLines() {
  std::string text;
  while (text.size() < 20000) text += std::string(99, 'x') + "\n";
  return text;
}

struct LogCase {
  const char* name;
  void (*prepare)(const std::string& folder);
  bool written;        // the record went in whole, and the tool points at it
  const char* notice;  // the end of the notice on standard error, a pattern
  void (*inChild)() = nullptr;
  void (*check)(const RunOutcome& run, const std::string& folder) = nullptr;
};

// Held by the test while the tool runs: the lock another process has on the log.
std::vector<int> heldLogs;

const LogCase kCases[] = {
    {"a plain log", [](const std::string&) {}, true, nullptr},
    {"locked by another process",
     [](const std::string& folder) {
       MakeLogFolder(folder);
       const int fd = open(LogPath(folder).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
       ASSERT_EQ(flock(fd, LOCK_EX), 0);
       heldLogs.push_back(fd);
     },
     false, ".*/zmr470-update\\.log is locked by another process \\(waited 2\\.[0-9] s\\)", nullptr,
     [](const RunOutcome&, const std::string& folder) {
       EXPECT_EQ(fs::file_size(LogPath(folder)), 0u);
     }},
    {"a FIFO in its place",
     [](const std::string& folder) {
       MakeLogFolder(folder);
       ASSERT_EQ(mkfifo(LogPath(folder).c_str(), 0600), 0);
     },
     false, ".*/zmr470-update\\.log is not a regular file of this user", nullptr,
     [](const RunOutcome&, const std::string& folder) {
       EXPECT_TRUE(fs::is_fifo(LogPath(folder)));
     }},
    {"a folder in its place",
     [](const std::string& folder) { fs::create_directories(LogPath(folder)); }, false,
     ".*/zmr470-update\\.log: Is a directory"},
    {"a link in its place",
     [](const std::string& folder) {
       MakeLogFolder(folder);
       std::ofstream(folder + "/elsewhere.log").close();
       fs::create_symlink(folder + "/elsewhere.log", LogPath(folder));
     },
     false, ".*/zmr470-update\\.log is a symbolic link", nullptr,
     [](const RunOutcome&, const std::string& folder) {
       EXPECT_EQ(fs::file_size(folder + "/elsewhere.log"), 0u);
     }},
    // Only a user that may make device nodes can set this one up.
    {"a device in its place",
     [](const std::string& folder) {
       MakeLogFolder(folder);
       if (mknod(LogPath(folder).c_str(), S_IFCHR | 0600, makedev(1, 3)) != 0) {
         std::ofstream(folder + "/no-device").close();
       }
     },
     false, ".*/zmr470-update\\.log is not a regular file of this user"},
    // Run as root with the folder linked to /dev, the log would be made there.
    {"its folder a link",
     [](const std::string& folder) {
       fs::create_directories(folder + "/state");
       fs::create_directories(folder + "/elsewhere");
       fs::create_directory_symlink(folder + "/elsewhere", LogFolder(folder));
     },
     false, ".*/state/zmr470-update is not a folder \\(a symbolic link is not followed\\)", nullptr,
     [](const RunOutcome& run, const std::string& folder) {
       EXPECT_TRUE(fs::is_empty(folder + "/elsewhere")) << "made through the link";
       EXPECT_TRUE(
           run.ErrHas("zmr470-update-cli: single-instance lock not taken: .* is not a "
                      "private directory of this user"));
     }},
    // The disk fills up in the middle of the record's second line: the log ends after the first.
    {"a full disk",
     [](const std::string& folder) {
       MakeLogFolder(folder);
       std::ofstream(LogPath(folder), std::ios::binary) << EarlierLines();
     },
     false, ".*/zmr470-update\\.log: File too large",
     [] {
       const rlimit limit{20100, 20100};
       setrlimit(RLIMIT_FSIZE, &limit);
     },
     [](const RunOutcome& run, const std::string& folder) {
       EXPECT_TRUE(run.exited) << "a write past the limit must not end the tool";
       const std::string log = ReadAll(LogPath(folder));
       ASSERT_EQ(log.rfind(EarlierLines(), 0), 0u) << "the earlier lines stay";
       // Whole lines of the record's head, as many as there was room for.
       const std::string added = log.substr(EarlierLines().size());
       ASSERT_FALSE(added.empty());
       EXPECT_EQ(added.rfind("== ", 0), 0u) << added;
       EXPECT_EQ(added.back(), '\n') << added;
       std::istringstream lines(added);
       for (std::string line; std::getline(lines, line);) {
         EXPECT_TRUE(line.rfind("== ", 0) == 0 || line.rfind("driver lib", 0) == 0) << line;
       }
     }},
};

// Each case runs the terminal tool once against a printer that is not there: the run is short,
// and its record (or the notice why there is none) is all there is to see.
TEST(RunLog, WrittenWholeOrSaidWhyNotAndNeverBlocking) {
  std::vector<ProgramRun> runs;
  for (const LogCase& c : kCases) {
    ProgramRun run;
    run.name = c.name;
    run.folder = RunFolder("run-log", std::to_string(runs.size()));
    run.argv = {CliProgram()};
    run.env["ZMR470_SIM"] = "listed=0";
    run.prepare = c.prepare;
    if (c.inChild) run.inChild = c.inChild;
    runs.push_back(std::move(run));
  }
  const std::vector<RunOutcome> outcomes = RunAll(runs, 60000);
  for (int fd : heldLogs) close(fd);
  heldLogs.clear();

  for (size_t k = 0; k < runs.size(); ++k) {
    const LogCase& c = kCases[k];
    const RunOutcome& run = outcomes[k];
    SCOPED_TRACE(std::string(c.name) + "\n" + run.Describe());
    if (fs::exists(runs[k].folder + "/no-device")) {
      std::printf("%s: not set up (no right to make a device node)\n", c.name);
      continue;
    }
    EXPECT_EQ(run.ShellStatus(), 10);
    EXPECT_TRUE(run.OutHas("Error: Printer is not connected\\."));
    EXPECT_EQ(run.ErrHas(kRunLogLine), c.written);
    if (c.written) {
      EXPECT_EQ(run.LogLines("== .* zmr470-update-cli .*"), 1u);
      EXPECT_EQ(run.LogLines(LogLine("outcome: 2000 .*")), 1u);
      EXPECT_FALSE(run.ErrHas(kNotWritten + ".*"));
    } else {
      EXPECT_TRUE(run.ErrHas(kNotWritten + c.notice));
    }
    if (c.check) c.check(run, runs[k].folder);
  }
}

// Killed in the middle of DATA1, the run leaves its record up to that moment; the next run notes
// that the record it found has no outcome.
TEST(RunLog, AKilledRunLeavesItsRecordAndTheNextRunNotesIt) {
  ProgramRun killed;
  killed.name = "killed";
  killed.folder = RunFolder("run-log-killed", "0");
  killed.argv = {CliProgram()};
  killed.env["ZMR470_SIM"] = "speed=1000000 busy=0";
  Trigger kill = OnBlockOf('p', 100);
  kill.signal = SIGKILL;
  killed.triggers.push_back(kill);
  const RunOutcome first = RunAll({killed}, 60000).at(0);
  {
    SCOPED_TRACE(first.Describe());
    EXPECT_EQ(first.signal, SIGKILL);
    EXPECT_EQ(first.LogLines("== .* zmr470-update-cli .*"), 1u);
    for (const char* line : {"run started", "printer in download mode", "SwitchToDownloadMode  ok",
                             "CheckVersion  ok .*", "BuildImages  ok"}) {
      EXPECT_EQ(first.LogLines(LogLine(line)), 1u) << line;
    }
    EXPECT_EQ(first.LogLines(LogLine("DownloadImages .*")), 0u);
    EXPECT_EQ(first.LogLines(LogLine("outcome: .*")), 0u);
    ASSERT_FALSE(first.log.empty());
    EXPECT_EQ(first.log.back(), '\n');
  }

  ProgramRun next = killed;
  next.name = "next";
  next.triggers.clear();
  next.keepFolder = true;
  next.env["ZMR470_SIM"] = "listed=0";
  const RunOutcome second = RunAll({next}, 60000).at(0);
  SCOPED_TRACE(second.Describe());
  EXPECT_EQ(second.ShellStatus(), 10);
  EXPECT_EQ(second.LogLines("== .* zmr470-update-cli .*"), 2u);
  const std::string head = RegexText(first.log.substr(3, first.log.find('\n') - 3));
  EXPECT_EQ(second.LogLines(LogLine("the previous record \\(" + head +
                                    "\\) has no outcome: that run was cut short .*")),
            1u)
      << head;
  EXPECT_EQ(second.LogLines(LogLine("outcome: 2000 .*")), 1u);
}

// A printer whose version text holds a right-to-left override (U+202E), a C1 control (U+009B,
// CSI) and a backslash: every line of the log shows its bytes escaped the same way, and the
// terminal shows the two controls as '?'.
TEST(RunLog, PrinterTextsEscapedAlikeInEveryLineAndOnTheTerminal) {
  ProgramRun run;
  run.name = "hostile version";
  run.folder = RunFolder("run-log-texts", "0");
  run.argv = {CliProgram()};
  run.env["ZMR470_SIM"] = "speed=0 busy=0 data1=\xe2\x80\xae\xc2\x9b\\:1A2B";
  const RunOutcome outcome = RunAll({run}, 60000).at(0);
  SCOPED_TRACE(outcome.Describe());
  EXPECT_EQ(outcome.ShellStatus(), 16);
  EXPECT_TRUE(outcome.OutHas("DATA1\\(M\\) : \\?\\?\\\\ / 1A2B"));
  EXPECT_TRUE(outcome.OutHas("Before +\\?\\?\\\\ / 1A2B .*"));
  const std::string escaped = "\\\\xE2\\\\x80\\\\xAE\\\\xC2\\\\x9B\\\\x5C";
  EXPECT_EQ(
      outcome.LogLines(LogLine("CheckVersion  FAILED  DATA1\\(M\\) " + escaped + " / 1A2B.*")), 1u);
  EXPECT_EQ(outcome.LogLines(LogLine("before: DATA1\\(M\\) " + escaped + " / 1A2B.*")), 1u);
  EXPECT_EQ(outcome.LogLines(
                LogLine("outcome: 2006 .*, NotApplicable in CheckVersion: DATA1 " + escaped)),
            1u);
  for (const char c : outcome.log) {
    EXPECT_TRUE(c == '\n' || (c >= 0x20 && c < 0x7F)) << "byte " << int(c) << " in the log";
  }
}

// A transfer limit that is not a whole number from 1 to 600000 ms is said once on standard error
// and in the record's head, and 5000 ms is used; a usable one says nothing.
TEST(RunLog, AnUnusableTransferLimitIsSaidOnceAndInTheLog) {
  const struct {
    const char* name;
    const char* value;
    bool said;
  } cases[] = {
      {"ZMR470_USB_TIMEOUT_MS", "abc", true},    {"ZMR470_USB_TIMEOUT_MS", "0", true},
      {"ZMR470_USB_TIMEOUT_MS", "600001", true}, {"ZMR470_USB_TIMEOUT_MS", "-5", true},
      {"ZMR470_USB_TIMEOUT_MS", " 5", true},     {"ZMR470_USB_TIMEOUT_MS", "\x1b[2J", true},
      {"ZMR_USB_TIMEOUT_MS", "5s", true},        {"ZMR470_USB_TIMEOUT_MS", "600000", false},
      {"ZMR470_USB_TIMEOUT_MS", "1", false},
  };
  std::vector<ProgramRun> runs;
  for (const auto& c : cases) {
    ProgramRun run;
    run.name = std::string(c.name) + "=" + c.value;
    run.folder = RunFolder("usb-timeout", std::to_string(runs.size()));
    run.argv = {CliProgram()};
    run.env["ZMR470_SIM"] = "listed=0";
    run.env[c.name] = c.value;
    runs.push_back(std::move(run));
  }
  const std::vector<RunOutcome> outcomes = RunAll(runs, 60000);
  const std::string notice = "is not a number of milliseconds from 1 to 600000; 5000 ms is used\\.";
  for (size_t k = 0; k < runs.size(); ++k) {
    const RunOutcome& run = outcomes[k];
    SCOPED_TRACE(runs[k].name + "\n" + run.Describe());
    EXPECT_EQ(run.ShellStatus(), 10);
    size_t said = 0;
    std::istringstream err(run.err);
    for (std::string line; std::getline(err, line);) {
      said += line.find("5000 ms is used.") != std::string::npos ? 1 : 0;
    }
    EXPECT_EQ(said, cases[k].said ? 1u : 0u);
    const std::string named = std::string(cases[k].name) + "=\".*\" " + notice;
    EXPECT_EQ(run.ErrHas("zmr470-update-cli: " + named), cases[k].said);
    EXPECT_EQ(run.LogLines(named), cases[k].said ? 1u : 0u);
  }
}

}  // namespace
}  // namespace zmr::test
