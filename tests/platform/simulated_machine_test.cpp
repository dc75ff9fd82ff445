// The simulated machine's registry calls, PCI ports, scripted user
// interface, process runs, restart privilege and fault injection.
#include "platform/simulated_machine.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "resources/dialog_ids.h"

namespace ide {
namespace {

using Kind = MachineEvent::Kind;

std::vector<Kind> Kinds(const std::vector<MachineEvent>& events) {
  std::vector<Kind> kinds;
  for (const MachineEvent& event : events) kinds.push_back(event.kind);
  return kinds;
}

int CountKind(const SimulatedMachine& machine, Kind kind) {
  int n = 0;
  for (const MachineEvent& event : machine.events()) n += event.kind == kind;
  return n;
}

// ---- Registry calls ----

class RegistryCallsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Registry& r = machine.registry();
    r.CreateKey("Enum\\PCI\\B_first");
    r.CreateKey("Enum\\PCI\\a_second");
    r.CreateKey("Enum\\PCI\\" + name127);
    r.CreateKey("Enum\\PCI\\" + name128);
    r.CreateKey("Enum\\PCI\\after");
    r.SetString("Enum\\MF\\CHILD0000\\PCI&VEN_8C4E\\0001", "Driver",
                "hdc\\0001");
    r.SetDword("Enum\\MF\\CHILD0000\\PCI&VEN_8C4E\\0001", "Flags", 0x12);
    r.SetString("Enum\\MF\\CHILD0000\\PCI&VEN_8C4E\\0001", "", "default");
    r.CreateKey("Enum\\MF\\CHILD0001");
    r.CreateKey("Enum\\Root");
  }

  HKEY Open(const std::string& path) {
    HKEY key = nullptr;
    EXPECT_EQ(machine.RegOpenKeyExA(LocalMachineKey(), path.c_str(), 0,
                                    KEY_ALL_ACCESS, &key),
              ERROR_SUCCESS)
        << path;
    return key;
  }

  const std::string name127 = std::string(120, 'n') + "_7351_x";
  const std::string name128 = std::string(121, 'n') + "_7351_x";
  SimulatedMachine machine;
};

TEST_F(RegistryCallsTest, EnumerationGoesInFileOrderAndRefusesLongNames) {
  HKEY pci = Open("enum\\pci");
  struct Step {
    DWORD bufferSize;
    LONG result;
    std::string name;
  };
  const std::vector<Step> steps = {
      {128, ERROR_SUCCESS, "B_first"},
      {128, ERROR_SUCCESS, "a_second"},
      {128, ERROR_SUCCESS, name127},
      {128, ERROR_MORE_DATA, ""},
      {128, ERROR_SUCCESS, "after"},
      {128, ERROR_NO_MORE_ITEMS, ""},
  };
  for (DWORD index = 0; index < steps.size(); ++index) {
    SCOPED_TRACE(index);
    char name[200];
    std::fill(std::begin(name), std::end(name), '\xdd');
    DWORD size = steps[index].bufferSize;
    EXPECT_EQ(machine.RegEnumKeyExA(pci, index, name, &size),
              steps[index].result);
    if (steps[index].result == ERROR_SUCCESS) {
      EXPECT_EQ(std::string(name), steps[index].name);
      EXPECT_EQ(size, steps[index].name.size());
    }
    EXPECT_EQ(name[steps[index].bufferSize], '\xdd') << "wrote past the buffer";
  }
  char name[200];
  DWORD size = 129;
  EXPECT_EQ(machine.RegEnumKeyExA(pci, 3, name, &size), ERROR_SUCCESS);
  EXPECT_EQ(std::string(name), name128);
  EXPECT_EQ(machine.RegCloseKey(pci), ERROR_SUCCESS);
}

TEST_F(RegistryCallsTest, QueryValueReportsSizesWithTheTextsZero) {
  HKEY key = Open("Enum\\MF\\CHILD0000\\PCI&VEN_8C4E\\0001");
  struct Row {
    const char* name;
    DWORD bufferSize;
    LONG result;
    DWORD type;
    DWORD size;
    std::string data;
  };
  const std::vector<Row> rows = {
      {"Driver", 128, ERROR_SUCCESS, REG_SZ, 9, std::string("hdc\\0001\0", 9)},
      {"DRIVER", 9, ERROR_SUCCESS, REG_SZ, 9, std::string("hdc\\0001\0", 9)},
      {"Driver", 8, ERROR_MORE_DATA, REG_SZ, 9, ""},
      {"Flags", 128, ERROR_SUCCESS, REG_DWORD, 4, std::string("\x12\0\0\0", 4)},
      {"", 128, ERROR_SUCCESS, REG_SZ, 8, std::string("default\0", 8)},
      {nullptr, 128, ERROR_SUCCESS, REG_SZ, 8, std::string("default\0", 8)},
      {"InfPath", 128, ERROR_FILE_NOT_FOUND, 0xdeadbeef, 128, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name ? row.name : "(null)");
    BYTE data[128];
    DWORD type = 0xdeadbeef;
    DWORD size = row.bufferSize;
    EXPECT_EQ(machine.RegQueryValueExA(key, row.name, &type, data, &size),
              row.result);
    EXPECT_EQ(type, row.type);
    EXPECT_EQ(size, row.size);
    if (row.result == ERROR_SUCCESS) {
      EXPECT_EQ(std::string(reinterpret_cast<char*>(data), size), row.data);
    }
  }
  DWORD size = 0;
  EXPECT_EQ(machine.RegQueryValueExA(key, "Driver", nullptr, nullptr, &size),
            ERROR_SUCCESS);
  EXPECT_EQ(size, 9u);
  machine.RegCloseKey(key);
}

TEST_F(RegistryCallsTest, DeletingATreeInvalidatesHandlesBelowIt) {
  for (WindowsFamily family : {WindowsFamily::Win95, WindowsFamily::NT}) {
    SCOPED_TRACE(family == WindowsFamily::Win95 ? "95" : "nt");
    SetUp();
    machine.config().family = family;
    HKEY child = Open("Enum\\MF\\CHILD0000\\PCI&VEN_8C4E");
    HKEY enumKey = Open("Enum");
    HKEY mf = Open("Enum\\MF");
    EXPECT_EQ(machine.RegDeleteKeyA(enumKey, "mf"), ERROR_SUCCESS);
    EXPECT_FALSE(machine.registry().KeyExists("Enum\\MF\\CHILD0000"));
    EXPECT_TRUE(machine.registry().KeyExists("Enum\\Root"));

    // The key is made again: the old handles still refer to the deleted one.
    machine.registry().CreateKey("Enum\\MF\\CHILD0000\\PCI&VEN_8C4E");
    char name[128];
    DWORD size = sizeof name;
    EXPECT_EQ(machine.RegEnumKeyExA(child, 0, name, &size), ERROR_KEY_DELETED);
    DWORD dataSize = 0;
    EXPECT_EQ(machine.RegQueryValueExA(mf, "x", nullptr, nullptr, &dataSize),
              ERROR_KEY_DELETED);
    HKEY again = nullptr;
    EXPECT_EQ(machine.RegOpenKeyExA(child, "0001", 0, KEY_ALL_ACCESS, &again),
              ERROR_KEY_DELETED);
    EXPECT_EQ(machine.RegDeleteKeyA(mf, "CHILD0000"), ERROR_KEY_DELETED);
    EXPECT_TRUE(machine.registry().KeyExists("Enum\\MF\\CHILD0000"));
    // The handle above the deleted key still works.
    size = sizeof name;
    EXPECT_EQ(machine.RegEnumKeyExA(enumKey, 0, name, &size), ERROR_SUCCESS);

    EXPECT_EQ(machine.RegCloseKey(child), ERROR_SUCCESS);
    EXPECT_EQ(machine.RegCloseKey(child), ERROR_INVALID_HANDLE);
    EXPECT_EQ(machine.RegCloseKey(mf), ERROR_SUCCESS);
    EXPECT_EQ(machine.RegDeleteKeyA(enumKey, "MF\\Nope"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(machine.RegDeleteKeyA(enumKey, ""), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(machine.RegCloseKey(enumKey), ERROR_SUCCESS);
    EXPECT_EQ(machine.RegCloseKey(reinterpret_cast<HKEY>(std::uintptr_t{0x4242})),
              ERROR_INVALID_HANDLE);
    EXPECT_EQ(machine.RegCloseKey(nullptr), ERROR_INVALID_HANDLE);
  }
}

TEST_F(RegistryCallsTest, OpenFindsKeysWithoutRegardToCaseOnly) {
  HKEY key = nullptr;
  EXPECT_EQ(machine.RegOpenKeyExA(LocalMachineKey(), "Enum\\Nope", 0,
                                  KEY_ALL_ACCESS, &key),
            ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(key, nullptr);
  HKEY mf = Open("ENUM\\mf");
  HKEY same = nullptr;
  ASSERT_EQ(machine.RegOpenKeyExA(mf, nullptr, 0, KEY_ALL_ACCESS, &same),
            ERROR_SUCCESS);
  EXPECT_NE(same, mf);
  HKEY child = nullptr;
  EXPECT_EQ(machine.RegOpenKeyExA(same, "child0001", 0, KEY_ALL_ACCESS, &child),
            ERROR_SUCCESS);
  EXPECT_EQ(machine.RegOpenKeyExA(reinterpret_cast<HKEY>(std::uintptr_t{0x77}),
                                  "Enum", 0, KEY_ALL_ACCESS, &key),
            ERROR_INVALID_HANDLE);
  for (HKEY open : {mf, same, child}) {
    EXPECT_EQ(machine.RegCloseKey(open), ERROR_SUCCESS);
  }
}

// ---- PCI configuration ports ----

TEST(PciPortsTest, MechanismOneAnswersListedDevicesOnThe95Family) {
  SimulatedMachine machine;
  machine.config().pci[7] = 0x74508C4Eu;
  machine.config().pci[31] = 0x12345678u;
  struct Row {
    const char* what;
    std::uint32_t address;
    std::uint32_t value;
  };
  const std::vector<Row> rows = {
      {"listed device", 0x80000000u + 7 * 0x800, 0x74508C4Eu},
      {"last device", 0x80000000u + 31 * 0x800, 0x12345678u},
      {"empty slot", 0x80000000u + 8 * 0x800, 0xFFFFFFFFu},
      {"enable bit clear", 7 * 0x800, 0xFFFFFFFFu},
      {"bus 1", 0x80010000u + 7 * 0x800, 0xFFFFFFFFu},
      {"function 1", 0x80000100u + 7 * 0x800, 0xFFFFFFFFu},
      {"register 8", 0x80000008u + 7 * 0x800, 0xFFFFFFFFu},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    ASSERT_TRUE(machine.WritePortDword(0xCF8, row.address));
    std::uint32_t value = 0xdeadbeef;
    ASSERT_TRUE(machine.ReadPortDword(0xCFC, &value));
    EXPECT_EQ(value, row.value);
    ASSERT_TRUE(machine.ReadPortDword(0xCF8, &value));
    EXPECT_EQ(value, row.address);
  }
}

TEST(PciPortsTest, PortsFaultOnTheNtFamilyWithoutEffect) {
  SimulatedMachine machine;
  machine.config().family = WindowsFamily::NT;
  machine.config().pci[7] = 0x74508C4Eu;
  EXPECT_FALSE(machine.WritePortDword(0xCF8, 0x80000000u + 7 * 0x800));
  std::uint32_t value = 0xdeadbeef;
  EXPECT_FALSE(machine.ReadPortDword(0xCFC, &value));
  EXPECT_EQ(value, 0xdeadbeefu);
  EXPECT_EQ(machine.GetVersion() & kWin95FamilyBit, 0u);
  machine.config().family = WindowsFamily::Win95;
  EXPECT_NE(machine.GetVersion() & kWin95FamilyBit, 0u);
}

// ---- The scripted user ----

// A dialog procedure that behaves like a completion dialog and notes what
// it was sent.
struct DialogLog {
  PlatformServices* os = nullptr;
  std::vector<std::pair<UINT, WPARAM>> messages;
  bool endInInit = false;
  bool checksButtons = true;
};

INT_PTR LoggingProc(void* context, HWND dialog, UINT message, WPARAM wParam,
                    LPARAM) {
  auto& log = *static_cast<DialogLog*>(context);
  log.messages.emplace_back(message, wParam);
  if (message == WM_INITDIALOG) {
    if (log.endInInit) log.os->EndDialog(dialog, 42);
    if (log.checksButtons) {
      log.os->CheckRadioButton(dialog, IDC_RESTART_NOW, IDC_RESTART_LATER,
                               IDC_RESTART_NOW);
    }
    return 1;
  }
  if (message != WM_COMMAND) return 0;
  if ((wParam == IDC_RESTART_NOW || wParam == IDC_RESTART_LATER) &&
      log.checksButtons) {
    log.os->CheckRadioButton(dialog, IDC_RESTART_NOW, IDC_RESTART_LATER,
                             static_cast<int>(wParam));
    return 1;
  }
  if (wParam == IDC_FINISH) {
    log.os->EndDialog(dialog, 7);
    return 1;
  }
  return 0;
}

TEST(DialogTest, ClicksAreSentAsCommandsUntilTheDialogEnds) {
  struct Row {
    const char* what;
    bool scripted;
    std::vector<int> clicks;
    std::vector<WPARAM> commands;  // what the procedure received
    int checked;
  };
  const std::vector<Row> rows = {
      {"default user presses Finish", false, {}, {IDC_FINISH}, IDC_RESTART_NOW},
      {"later", true, {IDC_RESTART_LATER, IDC_FINISH},
       {IDC_RESTART_LATER, IDC_FINISH}, IDC_RESTART_LATER},
      {"later, then now", true,
       {IDC_RESTART_LATER, IDC_RESTART_NOW, IDC_FINISH},
       {IDC_RESTART_LATER, IDC_RESTART_NOW, IDC_FINISH}, IDC_RESTART_NOW},
      {"clicks after the end are not sent", true,
       {IDC_FINISH, IDC_RESTART_LATER}, {IDC_FINISH}, IDC_RESTART_NOW},
      {"Esc does nothing", true, {IDCANCEL, IDC_FINISH}, {IDCANCEL, IDC_FINISH},
       IDC_RESTART_NOW},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    SimulatedMachine machine;
    if (row.scripted) {
      machine.SetDialogClicks([&] { return row.clicks; });
    }
    DialogLog log;
    log.os = &machine;
    EXPECT_EQ(machine.DialogBoxParamA(IDE_DIALOG_COMPLETE_NAME, nullptr,
                                      LoggingProc, &log),
              7);
    ASSERT_FALSE(log.messages.empty());
    EXPECT_EQ(log.messages[0].first, static_cast<UINT>(WM_INITDIALOG));
    std::vector<WPARAM> commands;
    for (std::size_t i = 1; i < log.messages.size(); ++i) {
      EXPECT_EQ(log.messages[i].first, static_cast<UINT>(WM_COMMAND));
      commands.push_back(log.messages[i].second);
    }
    EXPECT_EQ(commands, row.commands);
    EXPECT_EQ(machine.CheckedRadioButton(), row.checked);
    const std::vector<Kind> kinds = Kinds(machine.events());
    EXPECT_EQ(kinds.front(), Kind::DialogOpened);
    EXPECT_EQ(kinds.back(), Kind::DialogEnded);
    EXPECT_EQ(machine.events().back().number, 7);
    EXPECT_EQ(CountKind(machine, Kind::DialogCommand),
              static_cast<int>(row.commands.size()));
  }
}

TEST(DialogTest, RadioButtonsCheckThemselvesAsAutomaticButtonsDo) {
  SimulatedMachine machine;
  machine.SetDialogClicks([] {
    return std::vector<int>{IDC_RESTART_LATER, IDC_FINISH};
  });
  DialogLog log;
  log.os = &machine;
  log.checksButtons = false;
  EXPECT_EQ(machine.DialogBoxParamA(IDE_DIALOG_COMPLETE_NAME, nullptr,
                                    LoggingProc, &log),
            7);
  EXPECT_EQ(machine.CheckedRadioButton(), IDC_RESTART_LATER);
  EXPECT_EQ(CountKind(machine, Kind::RadioChecked), 0);
}

TEST(DialogTest, EndingDuringInitNeedsNoClicks) {
  SimulatedMachine machine;
  bool asked = false;
  machine.SetDialogClicks([&] {
    asked = true;
    return std::vector<int>{};
  });
  DialogLog log;
  log.os = &machine;
  log.endInInit = true;
  EXPECT_EQ(machine.DialogBoxParamA(IDE_DIALOG_COMPLETE_NAME, nullptr,
                                    LoggingProc, &log),
            42);
  EXPECT_FALSE(asked);
  EXPECT_EQ(log.messages.size(), 1u);
}

TEST(DialogTest, AWaitingDialogOrAnUnknownTemplateIsReported) {
  SimulatedMachine machine;
  machine.SetDialogClicks([] { return std::vector<int>{IDC_RESTART_LATER}; });
  DialogLog log;
  log.os = &machine;
  EXPECT_THROW(machine.DialogBoxParamA(IDE_DIALOG_COMPLETE_NAME, nullptr,
                                       LoggingProc, &log),
               MachineError);
  // The dialog is gone afterwards: its handle is refused, a new one opens.
  HWND stale = nullptr;
  EXPECT_EQ(machine.EndDialog(stale, 1), kFalse);
  machine.SetDialogClicks([] { return std::vector<int>{IDC_FINISH}; });
  EXPECT_EQ(machine.DialogBoxParamA("dialog_complete", nullptr, LoggingProc, &log),
            7);

  EXPECT_EQ(machine.DialogBoxParamA("DIALOG_OTHER", nullptr, LoggingProc, &log),
            -1);
  EXPECT_EQ(machine.events().back().kind, Kind::DialogFailed);
  EXPECT_EQ(machine.events().back().text, "DIALOG_OTHER");
  EXPECT_EQ(machine.GetLastError(), 1814u);
}

TEST(MessageBoxTest, TheScriptedUserAnswersAndIsRecorded) {
  SimulatedMachine machine;
  EXPECT_EQ(machine.MessageBoxA(nullptr, "Sure?", "Title", MB_YESNO), IDYES);
  EXPECT_EQ(machine.MessageBoxA(nullptr, "Note", nullptr, MB_OK), IDOK);
  std::vector<MessageBoxRequest> asked;
  machine.SetMessageBoxAnswerer([&](const MessageBoxRequest& request) {
    asked.push_back(request);
    return request.type == MB_YESNO ? IDNO : IDOK;
  });
  EXPECT_EQ(machine.MessageBoxA(nullptr, "Sure?", "Title", MB_YESNO), IDNO);
  EXPECT_EQ(machine.MessageBoxA(nullptr, "  odd  ", nullptr, MB_OK), IDOK);
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_TRUE(asked[0].hasCaption);
  EXPECT_EQ(asked[0].caption, "Title");
  EXPECT_FALSE(asked[1].hasCaption);
  EXPECT_EQ(asked[1].text, "  odd  ");

  const auto& events = machine.events();
  ASSERT_EQ(events.size(), 4u);
  EXPECT_EQ(events[2].answer, IDNO);
  EXPECT_EQ(events[2].buttons, MB_YESNO);
  EXPECT_FALSE(events[3].hasCaption);

  machine.SetMessageBoxAnswerer([](const MessageBoxRequest&) { return IDYES; });
  EXPECT_THROW(machine.MessageBoxA(nullptr, "Only OK", "x", MB_OK), MachineError);
}

// ---- Processes, restart and privileges ----

TEST(ProcessTest, RunProcessEndsOnReturnOrExitProcessAndCanRunAgain) {
  SimulatedMachine machine;
  machine.PutFile("C:\\KEEP.TXT", "");
  bool afterExit = false;
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    const int code = machine.RunProcess([&]() -> int {
      TextFile file = machine.OpenTextFile("C:\\OUT.TXT", TextMode::Write);
      machine.WriteText(file, "left open\n");
      machine.ExitProcess(static_cast<UINT>(round));
      afterExit = true;
      return 99;
    });
    EXPECT_EQ(code, round);
    EXPECT_FALSE(afterExit);
    // The file the process left open was closed with everything written.
    EXPECT_EQ(*machine.FileBytes("C:\\OUT.TXT"), "left open\r\n");
    EXPECT_NE(machine.DeleteFileA("C:\\OUT.TXT"), kFalse);
  }
  // Handles opened outside the process are not the process's to close.
  machine.registry().CreateKey("Enum");
  HKEY outside = nullptr;
  ASSERT_EQ(machine.RegOpenKeyExA(LocalMachineKey(), "Enum", 0, KEY_ALL_ACCESS,
                                  &outside),
            ERROR_SUCCESS);
  TextFile log = machine.OpenTextFile("C:\\LOG.TXT", TextMode::Write);
  HKEY inside = nullptr;
  EXPECT_EQ(machine.RunProcess([&] {
    machine.RegOpenKeyExA(LocalMachineKey(), "Enum", 0, KEY_ALL_ACCESS, &inside);
    return 5;
  }),
            5);
  EXPECT_EQ(machine.RegCloseKey(inside), ERROR_INVALID_HANDLE);
  EXPECT_EQ(machine.RegCloseKey(outside), ERROR_SUCCESS);
  EXPECT_TRUE(machine.WriteText(log, "still open"));
  EXPECT_TRUE(machine.CloseTextFile(log));
  EXPECT_EQ(CountKind(machine, Kind::ProcessExit), 4);
  EXPECT_EQ(machine.events().back().number, 5);
}

TEST(ProcessTest, RestartNeedsTheShutdownPrivilegeOnlyOnTheNtFamily) {
  struct Row {
    const char* what;
    WindowsFamily family;
    bool held;
    bool adjust;
    BOOL restarted;
    DWORD adjustError;  // GetLastError after AdjustTokenPrivileges
    DWORD exitError;
  };
  constexpr DWORD kNotAllAssigned = 1300;
  const std::vector<Row> rows = {
      {"95", WindowsFamily::Win95, true, false, kTrue, 0, 0},
      {"nt, enabled", WindowsFamily::NT, true, true, kTrue, 0, 0},
      {"nt, not enabled", WindowsFamily::NT, true, false, kFalse, 0,
       static_cast<DWORD>(ERROR_PRIVILEGE_NOT_HELD)},
      {"nt, not held", WindowsFamily::NT, false, true, kFalse, kNotAllAssigned,
       static_cast<DWORD>(ERROR_PRIVILEGE_NOT_HELD)},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    SimulatedMachine machine;
    machine.config().family = row.family;
    machine.config().shutdownPrivilegeHeld = row.held;
    if (row.adjust) {
      HANDLE token = nullptr;
      ASSERT_NE(machine.OpenProcessToken(machine.GetCurrentProcess(),
                                         TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY,
                                         &token),
                kFalse);
      TOKEN_PRIVILEGES privileges;
      ASSERT_NE(machine.LookupPrivilegeValueA(nullptr, SE_SHUTDOWN_NAME,
                                              &privileges.Privileges[0].Luid),
                kFalse);
      privileges.PrivilegeCount = 1;
      privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
      EXPECT_NE(machine.AdjustTokenPrivileges(token, kFalse, &privileges), kFalse);
      EXPECT_EQ(machine.GetLastError(), row.adjustError);
    }
    EXPECT_EQ(machine.ExitWindowsEx(EWX_REBOOT, 0), row.restarted);
    if (!row.restarted) {
      EXPECT_EQ(machine.GetLastError(), row.exitError);
    }
    ASSERT_FALSE(machine.events().empty());
    const MachineEvent& last = machine.events().back();
    EXPECT_EQ(last.kind, Kind::RestartRequested);
    EXPECT_EQ(last.number, static_cast<std::int64_t>(EWX_REBOOT));
    EXPECT_EQ(last.answer, row.restarted ? 1 : 0);
  }
}

TEST(ProcessTest, TokenCallsFailAsWindowsDoes) {
  SimulatedMachine machine;  // 95: no security at all
  HANDLE token = nullptr;
  EXPECT_EQ(machine.OpenProcessToken(machine.GetCurrentProcess(),
                                     TOKEN_ADJUST_PRIVILEGES, &token),
            kFalse);
  EXPECT_EQ(machine.GetLastError(), 120u);

  machine.config().family = WindowsFamily::NT;
  TOKEN_PRIVILEGES privileges;
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Luid.LowPart = 19;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  EXPECT_EQ(machine.AdjustTokenPrivileges(nullptr, kFalse, &privileges), kFalse);
  EXPECT_EQ(machine.GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  ASSERT_NE(machine.OpenProcessToken(machine.GetCurrentProcess(), TOKEN_QUERY,
                                     &token),
            kFalse);
  EXPECT_EQ(machine.AdjustTokenPrivileges(token, kFalse, &privileges), kFalse);
  EXPECT_EQ(machine.GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  LUID luid;
  EXPECT_EQ(machine.LookupPrivilegeValueA(nullptr, "SeNoSuchPrivilege", &luid),
            kFalse);
  EXPECT_EQ(machine.ExitWindowsEx(EWX_REBOOT, 0), kFalse);
}

TEST(ProcessTest, WaitsAndDebugTextAreRecordedNotPerformed) {
  SimulatedMachine machine;
  std::vector<std::string> heard;
  machine.SetEventListener(
      [&](const MachineEvent& event) { heard.push_back(DescribeEvent(event)); });
  machine.OutputDebugStringA("Setting token");
  machine.Sleep(30000);
  ASSERT_EQ(machine.events().size(), 2u);
  EXPECT_EQ(machine.events()[0].text, "Setting token");
  EXPECT_EQ(machine.events()[1].number, 30000);
  ASSERT_EQ(heard.size(), 2u);
  EXPECT_EQ(heard[1], DescribeEvent(machine.events()[1]));
}

// ---- Fault injection ----

TEST(FaultTest, TheNthMatchingCallFailsWithTheFaultsError) {
  struct Row {
    const char* what;
    Fault fault;
    std::vector<bool> failures;  // per copy call
  };
  const std::vector<Row> rows = {
      {"second call", {"CopyFileA", "", 2, ERROR_DISK_FULL, -1},
       {false, true, false}},
      {"every call", {"CopyFileA", "", 0, ERROR_DISK_FULL, -1},
       {true, true, true}},
      {"other operation", {"DeleteFileA", "", 1, ERROR_DISK_FULL, -1},
       {false, false, false}},
      {"argument filter, any case", {"CopyFileA", "B.TXT", 1, ERROR_DISK_FULL, -1},
       {false, true, false}},
      {"any operation", {"*", "", 3, ERROR_DISK_FULL, -1},
       {false, false, true}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    SimulatedMachine machine;
    machine.PutFile("C:\\SRC", "x");
    machine.InjectFault(row.fault);
    const char* targets[] = {"C:\\a.txt", "C:\\b.txt", "C:\\c.txt"};
    for (std::size_t i = 0; i < 3; ++i) {
      const BOOL copied = machine.CopyFileA("C:\\SRC", targets[i], kFalse);
      EXPECT_EQ(copied == kFalse, row.failures[i]) << i;
      EXPECT_EQ(machine.FileExists(targets[i]), !row.failures[i]) << i;
      if (row.failures[i]) {
        EXPECT_EQ(machine.GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL));
        EXPECT_EQ(machine.events().back().kind, Kind::Fault);
        EXPECT_NE(machine.events().back().text.find(targets[i]),
                  std::string::npos);
      }
    }
    EXPECT_EQ(machine.CallCount("CopyFileA"), 3);
    EXPECT_EQ(machine.CallCount("*"), 3);
  }
}

TEST(FaultTest, FaultsReachEveryKindOfCall) {
  SimulatedMachine machine;
  machine.registry().CreateKey("Enum\\SCSI");
  machine.InjectFault({"RegOpenKeyExA", "enum\\scsi", 0, ERROR_ACCESS_DENIED, -1});
  machine.InjectFault({"MessageBoxA", "", 1, ERROR_NOT_ENOUGH_MEMORY, -1});
  machine.InjectFault({"DialogBoxParamA", "", 1, ERROR_NOT_ENOUGH_MEMORY, -1});
  machine.InjectFault({"OpenTextFile", "", 1, ERROR_ACCESS_DENIED, -1});
  machine.InjectFault({"ReadPortDword", "", 1, ERROR_ACCESS_DENIED, -1});
  HKEY key = nullptr;
  EXPECT_EQ(machine.RegOpenKeyExA(LocalMachineKey(), "Enum\\SCSI", 0,
                                  KEY_ALL_ACCESS, &key),
            ERROR_ACCESS_DENIED);
  EXPECT_EQ(machine.RegOpenKeyExA(LocalMachineKey(), "Enum", 0, KEY_ALL_ACCESS,
                                  &key),
            ERROR_SUCCESS);
  bool answered = false;
  machine.SetMessageBoxAnswerer([&](const MessageBoxRequest&) {
    answered = true;
    return IDOK;
  });
  EXPECT_EQ(machine.MessageBoxA(nullptr, "text", "cap", MB_OK), 0);
  EXPECT_FALSE(answered);
  DialogLog log;
  log.os = &machine;
  EXPECT_EQ(machine.DialogBoxParamA(IDE_DIALOG_COMPLETE_NAME, nullptr,
                                    LoggingProc, &log),
            -1);
  EXPECT_TRUE(log.messages.empty());
  machine.PutFile("C:\\X", "x");
  EXPECT_EQ(machine.OpenTextFile("C:\\X", TextMode::Read), nullptr);
  std::uint32_t value = 0;
  EXPECT_FALSE(machine.ReadPortDword(0xCFC, &value));
  EXPECT_EQ(CountKind(machine, Kind::Fault), 5);
  EXPECT_EQ(CountKind(machine, Kind::MessageBox), 0);
  EXPECT_EQ(CountKind(machine, Kind::DialogFailed), 1);
}

// A little of everything the setup does, ignoring every result, so the same
// calls happen whatever fails.
void Exercise(SimulatedMachine& machine) {
  char buffer[260];
  machine.GetWindowsDirectoryA(buffer, sizeof buffer);
  machine.GetSystemDirectoryA(buffer, sizeof buffer);
  machine.GetCurrentDirectoryA(sizeof buffer, buffer);
  HKEY key = nullptr;
  machine.RegOpenKeyExA(LocalMachineKey(), "Enum", 0, KEY_ALL_ACCESS, &key);
  DWORD size = 128;
  machine.RegEnumKeyExA(key, 0, buffer, &size);
  size = 128;
  machine.RegQueryValueExA(key, "v", nullptr, reinterpret_cast<BYTE*>(buffer),
                           &size);
  machine.RegDeleteKeyA(key, "SCSI");
  machine.RegCloseKey(key);
  machine.CopyFileA("A:\\k7351.mpd", "C:\\k7351.mpd", kFalse);
  machine.OpenFile("C:\\k7351.mpd", OF_EXIST);
  machine.DeleteFileA("C:\\k7351.mpd");
  TextFile in = machine.OpenTextFile("A:\\zelhdd.inf", TextMode::Read);
  machine.ReadTextLine(in, buffer, 255);
  machine.CloseTextFile(in);
  TextFile out = machine.OpenTextFile("C:\\out.txt", TextMode::Write);
  machine.WriteText(out, "line\n");
  machine.CloseTextFile(out);
  machine.MessageBoxA(nullptr, "Sure?", "t", MB_YESNO);
  DialogLog log;
  log.os = &machine;
  machine.DialogBoxParamA(IDE_DIALOG_COMPLETE_NAME, nullptr, LoggingProc, &log);
  HANDLE token = nullptr;
  machine.OpenProcessToken(machine.GetCurrentProcess(),
                           TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token);
  TOKEN_PRIVILEGES privileges;
  machine.LookupPrivilegeValueA(nullptr, SE_SHUTDOWN_NAME,
                                &privileges.Privileges[0].Luid);
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  machine.AdjustTokenPrivileges(token, kFalse, &privileges);
  machine.ExitWindowsEx(EWX_REBOOT, 0);
  std::uint32_t value = 0;
  machine.WritePortDword(0xCF8, 0x80000000u);
  machine.ReadPortDword(0xCFC, &value);
}

void Furnish(SimulatedMachine& machine) {
  machine.config().family = WindowsFamily::NT;
  machine.registry().SetString("Enum", "v", "x");
  machine.registry().CreateKey("Enum\\SCSI");
  machine.PutFile("A:\\k7351.mpd", "driver");
  machine.PutFile("A:\\ZELHDD.INF", "[x]\r\n");
}

TEST(FaultTest, AnyOperationCanBeFailedOneAtATime) {
  SimulatedMachine clean;
  Furnish(clean);
  Exercise(clean);
  const int total = clean.CallCount("*");
  // The exercise calls every operation that can fail.
  const std::set<std::string> expected(
      SimulatedMachine::FallibleOperations().begin(),
      SimulatedMachine::FallibleOperations().end());
  std::set<std::string> failed;
  for (int n = 1; n <= total + 1; ++n) {
    SCOPED_TRACE(n);
    SimulatedMachine machine;
    Furnish(machine);
    machine.InjectFault({"*", "", n, ERROR_ACCESS_DENIED, -1});
    Exercise(machine);
    EXPECT_EQ(machine.CallCount("*"), total);
    std::vector<std::string> faults;
    for (const MachineEvent& event : machine.events()) {
      if (event.kind == Kind::Fault) faults.push_back(event.text);
    }
    if (n > total) {
      EXPECT_TRUE(faults.empty());
      continue;
    }
    ASSERT_EQ(faults.size(), 1u);
    failed.insert(faults[0].substr(0, faults[0].find('(')));
  }
  EXPECT_EQ(failed, expected);
}

TEST(FaultTest, AFullDiskTakesWhatFitsThenRefusesEveryWrite) {
  struct Row {
    const char* what;
    std::int64_t afterBytes;
    std::vector<bool> written;  // per write
    std::string contents;
  };
  const std::vector<Row> rows = {
      {"room for the first line and part of the second", 10,
       {true, false, false}, "12345\r\nabc"},
      {"exactly the first line", 7, {true, false, false}, "12345\r\n"},
      {"half of a CR LF pair", 6, {false, false, false}, "12345\r"},
      {"no room at all", 0, {false, false, false}, ""},
      {"room enough", 100, {true, true, true}, "12345\r\nabcdef\r\nx"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    SimulatedMachine machine;
    Fault full;
    full.operation = "WriteText";
    full.argument = "MSHDC.1";
    full.error = static_cast<DWORD>(ERROR_DISK_FULL);
    full.afterBytes = row.afterBytes;
    machine.InjectFault(full);
    machine.MakeFolder("C:\\");
    TextFile file = machine.OpenTextFile("C:\\mshdc.1", TextMode::Write);
    TextFile other = machine.OpenTextFile("C:\\other.txt", TextMode::Write);
    ASSERT_NE(file, nullptr);
    const char* texts[] = {"12345\n", "abcdef\n", "x"};
    for (std::size_t i = 0; i < 3; ++i) {
      EXPECT_EQ(machine.WriteText(file, texts[i]), row.written[i]) << i;
      if (!row.written[i]) {
        EXPECT_EQ(machine.GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL));
      }
      EXPECT_TRUE(machine.WriteText(other, texts[i]));
    }
    EXPECT_TRUE(machine.CloseTextFile(file));
    EXPECT_TRUE(machine.CloseTextFile(other));
    EXPECT_EQ(*machine.FileBytes("C:\\MSHDC.1"), row.contents);
    EXPECT_EQ(*machine.FileBytes("C:\\OTHER.TXT"), "12345\r\nabcdef\r\nx");
    const int refused = static_cast<int>(
        std::count(row.written.begin(), row.written.end(), false));
    EXPECT_EQ(CountKind(machine, Kind::Fault), refused);
  }
}

TEST(FaultTest, FaultsThatCouldNeverHappenAreRefused) {
  SimulatedMachine machine;
  const std::vector<Fault> refused = {
      {"CopyFile", "", 1, ERROR_ACCESS_DENIED, -1},   // misspelt
      {"GetVersion", "", 1, ERROR_ACCESS_DENIED, -1},  // cannot fail
      {"CopyFileA", "", -1, ERROR_ACCESS_DENIED, -1},
      {"CopyFileA", "", 1, ERROR_DISK_FULL, 10},
  };
  for (const Fault& fault : refused) {
    SCOPED_TRACE(fault.operation);
    EXPECT_THROW(machine.InjectFault(fault), std::invalid_argument);
  }
  EXPECT_NO_THROW(machine.InjectFault({"*", "", 1, ERROR_DISK_FULL, 10}));
}

TEST(FaultTest, AFailedCloseStillClosesTheFile) {
  SimulatedMachine machine;
  machine.InjectFault({"CloseTextFile", "", 1, ERROR_WRITE_FAULT, -1});
  machine.MakeFolder("C:\\");
  TextFile file = machine.OpenTextFile("C:\\x.txt", TextMode::Write);
  ASSERT_NE(file, nullptr);
  EXPECT_FALSE(machine.CloseTextFile(file));
  EXPECT_EQ(machine.GetLastError(), static_cast<DWORD>(ERROR_WRITE_FAULT));
  EXPECT_NE(machine.DeleteFileA("C:\\x.txt"), kFalse);
}

}  // namespace
}  // namespace ide
