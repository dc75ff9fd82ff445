// idesetup driven in-process over the sample machines: what each run shows
// and reports, and the questions asked on the terminal.
#include "idesetup_app.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "idesetup_runner.h"

namespace ide {
namespace {

using testing::SampleMachine;

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

struct AppRun {
  int status;
  std::string out;
  std::string err;
};

AppRun RunApp(const std::vector<std::string>& args, const std::string& input = "",
           bool terminal = false) {
  std::istringstream in(input);
  std::ostringstream out, err;
  int status = RunIdesetup(args, SampleMachine("k7351-upgrade"),
                           {in, out, err, terminal});
  return {status, out.str(), err.str()};
}

TEST(IdesetupAppTest, EachSampleMachineTakesItsOwnPath) {
  struct Row {
    std::string machine;
    std::string tail;
    std::vector<std::string> shown;     // in the output, in this order
    std::vector<std::string> notShown;  // nowhere in the output
  } rows[] = {
      {"k7351-upgrade",
       "/D:K7351",
       {"MessageBox [Zel IDE Driver Setup] \"Are you sure to set up the BUS "
        "MASTER IDE driver?\"",
        "Dialog DIALOG_COMPLETE opened", "Wait 30000 ms", "Restart requested",
        "Changes:",
        "  changed  C:\\WINDOWS\\INF\\MSHDC.INF",
        "  removed  C:\\WINDOWS\\INF\\OTHER\\ZelmontZELHDD.INF",
        "  changed  C:\\WINDOWS\\SYSTEM\\IOSUBSYS\\k7351.mpd  (binary file "
        "changed, 156 bytes -> 156 bytes, the same as A:\\K7351.MPD before the "
        "run)",
        "+%PCI\\VEN_8C4E&DEV_7351.DeviceDesc%  = DUAL_MASTER_IDE   , "
        "PCI\\VEN_8C4E&DEV_7351\n",
        // The Tessin card goes for re-detection, the old K7351 key as the
        // earlier installation.
        "  key removed    Enum\\PCI\\VEN_5A11&DEV_0640&SUBSYS_00000000&REV_07",
        "  key removed    Enum\\PCI\\VEN_8C4E&DEV_7351&SUBSYS_00000000&REV_01",
        "  key removed    Enum\\SCSI  (with 4 keys below it)",
        "  key removed    System\\CurrentControlSet\\Services\\Class\\hdc\\0005"},
       {"Software\\Zelmont", "Enum\\ESDI", "Class\\SCSIAdapter",
        "VEN_2C04&DEV_0820&SUBSYS", "NorvaleNVNET.INF", "ESDI_506.PDR"}},
      {"k7341-fresh",
       "/D:K7341",
       {"Dialog DIALOG_COMPLETE opened",
        "  added    C:\\WINDOWS\\SYSTEM\\IOSUBSYS\\k7341.mpd  (158 bytes, the "
        "same as A:\\K7341.MPD before the run)",
        "+%PCI\\VEN_8C4E&DEV_7341.DeviceDesc%  = DUAL_MASTER_IDE   , "
        "PCI\\VEN_8C4E&DEV_7341\n",
        "  key removed    Enum\\PCI\\VEN_8C4E&DEV_7341&SUBSYS_00000000&REV_00",
        "  key removed    Enum\\MF\\CHILD0000\\PCI&VEN_8C4E&DEV_7341"},
       // The channels were installed from the class INF itself: no INF and
       // no miniport file is an earlier installation's.
       {"  removed  ", "Enum\\SCSI", "VEN_8C4E&DEV_7440&SUBSYS"}},
      {"no-bridge",
       "/D:RBMAX",
       {"MessageBox [RB Max IDE Driver Setup]",
        "\"RB Max IDE controller not found!\"", "Wait 30000 ms",
        "  added    C:\\WINDOWS\\SYSTEM\\IOSUBSYS\\rbide.mpd",
        "+PCI\\VEN_8C4E&DEV_7351.DeviceDesc = \"RB Max Bus Master PCI to IDE "
        "Controller\"",
        "  key removed    Enum\\MF\\CHILD0000\\PCI&VEN_4E56&DEV_0310"},
       // No dialog; the controller whose class reads "HDC" stays.
       {"DIALOG_COMPLETE", "  removed  ", "Enum\\PCI\\VEN_4E56&DEV_0310"}},
      // The same upgrade machine with the OEM variant: the same chip, so
      // the same cleanup, other texts and file.
      {"k7351-upgrade",
       "/D:RBMAX",
       {"MessageBox [RB Max IDE Driver Setup]",
        "  removed  C:\\WINDOWS\\INF\\OTHER\\ZelmontZELHDD.INF",
        "  key removed    Enum\\PCI\\VEN_8C4E&DEV_7351&SUBSYS_00000000&REV_01"},
       {"IOSUBSYS\\rbide.mpd"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.machine + " " + row.tail);
    AppRun run = RunApp({"--machine", SampleMachine(row.machine).string(),
                      "--answer", "yes", "--restart", "later", row.tail});
    ASSERT_EQ(run.status, 0) << run.err;
    std::size_t at = 0;
    for (const std::string& part : row.shown) {
      std::size_t found = run.out.find(part, at);
      EXPECT_NE(found, std::string::npos) << part << "\n---\n" << run.out;
      if (found != std::string::npos) at = found;
    }
    for (const std::string& part : row.notShown) {
      EXPECT_FALSE(Has(run.out, part)) << part << "\n---\n" << run.out;
    }
  }
}

TEST(IdesetupAppTest, AnswerNoChangesNothing) {
  AppRun run = RunApp({"--answer", "no", "/D:K7351"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(Has(run.out, "(Yes/No) -> No")) << run.out;
  EXPECT_TRUE(Has(run.out,
                  "Changes:\nFiles:\n  no file changed\n\n"
                  "Registry (HKEY_LOCAL_MACHINE):\n  no key or value changed\n"))
      << run.out;
}

TEST(IdesetupAppTest, WithoutOptionsItAsksOnTheTerminal) {
  struct Row {
    std::string input;
    std::vector<std::string> shown;
  } rows[] = {
      {"y\n2\n", {"(Yes/No) -> Yes", "Dialog click on control 1026",
                  "Wait 30000 ms"}},
      {"yes\n\n", {"(Yes/No) -> Yes", "Dialog click on control 1025",
                   "Restart requested"}},
      {"n\n", {"(Yes/No) -> No", "no file changed"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.input);
    AppRun run = RunApp({"/D:K7351"}, row.input, /*terminal=*/true);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(Has(run.err, "+--[Zel IDE Driver Setup]\n| Are you sure to set "
                             "up the BUS MASTER IDE driver?\n"))
        << run.err;
    for (const std::string& part : row.shown) {
      EXPECT_TRUE(Has(run.out, part)) << part << "\n---\n" << run.out;
    }
    EXPECT_EQ(Has(run.err, "+--[ Setup Complete!]"), row.input != "n\n")
        << run.err;
  }
}

TEST(IdesetupAppTest, InputEndingBeforeAnAnswerStopsTheRun) {
  AppRun run = RunApp({"/D:K7351"}, "y\n", /*terminal=*/true);
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err.substr(run.err.rfind("idesetup: ")),
            "idesetup: no choice in the completion dialog: the input ended\n");
  EXPECT_FALSE(Has(run.out, "Changes:")) << run.out;
}

// Only a question needs an answer: a tail that ends the setup before it
// asks anything runs without --answer and without a terminal.
TEST(IdesetupAppTest, NoQuestionNeedsNoAnswer) {
  AppRun run = RunApp({});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(Has(run.out, "\"Driver Name Not Found! \"")) << run.out;
  EXPECT_TRUE(Has(run.out, "no file changed")) << run.out;
}

}  // namespace
}  // namespace ide
