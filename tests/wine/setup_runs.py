#!/usr/bin/env python3
"""setup.exe end to end under Wine, on the sample machines.

Usage: setup_runs.py --build-win32 DIR --idesetup PATH --work DIR
                     [--screenshot PNG] [--only NAME]

Each run seeds a scratch 32-bit Wine prefix from a sample machine folder,
drives setup.exe through its message boxes and dialog with keystrokes, and
then compares the prefix's files and registry with what they should be:
unchanged where the setup must not touch anything, and otherwise the same
changes as the simulated run of the same machine (idesetup --out), plus a
few facts checked on their own so the two worlds are not only compared with
each other.

Differences that Windows itself makes, and that the comparison allows for:
- the system folder is C:\\windows\\system32 under Wine (the NT family) and
  C:\\WINDOWS\\SYSTEM on the machine: files are compared under Wine's name;
- names of files and keys are compared without regard to case, as Windows
  looks them up (a copied file takes the case the program wrote);
- the port scan finds no bridge under Wine (programs may not touch ports on
  the NT family), so setup.exe is compared with a simulated run of the same
  machine without its PCI devices, and the test-only setup-pci-table.exe,
  whose PCI bus is the machine's own [pci] table, with the machine as it is;
- `wine reg export` writes version 5 files (UTF-16 text values): values are
  compared as text;
- Wine's own files and keys outside the watched folders and trees are not
  compared; within them, only what the run changed is.

Prints one line per check and "N passed, M failed" at the end; exits 1 on
any failure.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import wine_machine  # noqa: E402
from wine_machine import WinePrefix  # noqa: E402

SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(
    os.path.abspath(__file__))))
MACHINES = os.path.join(SOURCE, "examples", "machines")

CONFIRM = "Are you sure to set up the BUS MASTER IDE driver?"
NO_DRIVER = "Driver Name Not Found! "
NOT_FOUND_ZEL = "Zel IDE controller not found!"
NOT_FOUND_RB_MAX = "RB Max IDE controller not found!"
RESTART_DELAY = "00007530"  # 30,000 ms
EWX_REBOOT_CALL = "00000002,00000000"


class Checks:
    def __init__(self):
        self.passed = 0
        self.failed = 0

    def check(self, name, ok, detail=""):
        if ok:
            self.passed += 1
            print("PASS %s" % name)
        else:
            self.failed += 1
            print("FAIL %s%s" % (name, (": " + detail) if detail else ""))
        sys.stdout.flush()
        return ok


def ini_lines_with_pci_flag(path):
    """Each line of a machine.ini with whether it stands in [pci] (section
    headers and comments count as outside it)."""
    in_pci = False
    with open(path, encoding="latin-1") as ini:
        for line in ini:
            stripped = line.strip()
            if stripped.startswith("["):
                in_pci = stripped.lower() == "[pci]"
                yield line, False
            else:
                yield line, in_pci and not stripped.startswith(";")


def pci_table(machine):
    """The [pci] section of machine.ini as the test-only program reads it."""
    return ";".join(
        line.strip().replace(" ", "")
        for line, pci in ini_lines_with_pci_flag(
            os.path.join(machine, "machine.ini"))
        if pci and "=" in line)


def without_pci(machine, target):
    """A copy of a machine folder with an empty PCI bus: the machine as the
    port scan sees it under Wine."""
    shutil.rmtree(target, ignore_errors=True)
    shutil.copytree(machine, target)
    ini_path = os.path.join(target, "machine.ini")
    lines = [line for line, pci in ini_lines_with_pci_flag(ini_path)
             if not (pci and line.strip())]
    with open(ini_path, "w", encoding="latin-1") as ini:
        ini.writelines(lines)
    return target


def simulate(idesetup, machine, out, tail, restart):
    """The simulated run: the machine's files and registry after it."""
    shutil.rmtree(out, ignore_errors=True)
    args = [idesetup, "--machine", machine, "--answer", "yes", "--out", out]
    if restart:
        args += ["--restart", restart]
    result = subprocess.run(args + ["--"] + tail, timeout=120,
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    if result.returncode != 0:
        raise wine_machine.WineError("idesetup failed: %s" %
                                     result.stderr.decode("latin-1"))
    return (wine_machine.machine_files(os.path.join(out, "drives")),
            wine_machine.only_trees(wine_machine.read_registry_file(
                os.path.join(out, "registry.reg"))))


def machine_state(machine):
    return (wine_machine.machine_files(os.path.join(machine, "drives")),
            wine_machine.only_trees(wine_machine.read_registry_file(
                os.path.join(machine, "registry.reg"))))


def describe(changes, limit=12):
    items = sorted(str(item)[:160] for item in changes)
    more = "" if len(items) <= limit else " (and %d more)" % (
        len(items) - limit)
    return "; ".join(items[:limit]) + more


def compare_changes(checks, label, before, after, sim_before, sim_after):
    """The run changed the prefix exactly as the simulated run changed the
    machine."""
    wine_files = wine_machine.file_changes(before[0], after[0])
    sim_files = wine_machine.file_changes(sim_before[0], sim_after[0])
    only_wine = {p for p in wine_files.keys() | sim_files.keys()
                 if wine_files.get(p, b"<unchanged>") !=
                 sim_files.get(p, b"<unchanged>")}
    checks.check("%s: files changed as in the simulated run" % label,
                 not only_wine and wine_files,
                 "differ at %s; Wine changed %s; simulated changed %s" % (
                     sorted(only_wine), sorted(wine_files),
                     sorted(sim_files)))
    wine_keys = wine_machine.registry_changes(before[1], after[1])
    sim_keys = wine_machine.registry_changes(sim_before[1], sim_after[1])
    checks.check("%s: registry changed as in the simulated run" % label,
                 wine_keys == sim_keys and wine_keys,
                 "only under Wine: %s | only simulated: %s" % (
                     describe(wine_keys - sim_keys),
                     describe(sim_keys - wine_keys)))


def subkeys(registry, key):
    key = key.lower()
    return sorted(k for k in registry if k.startswith(key + "\\") and
                  "\\" not in k[len(key) + 1:])


def check_restart(checks, label, result, later):
    """The run ended with the restart request, after the wait or at once."""
    exits = result.calls_to("ExitWindowsEx")
    checks.check("%s: ends with the restart request" % label,
                 exits == [EWX_REBOOT_CALL],
                 "ExitWindowsEx calls %s" % exits)
    sleeps = result.calls_to("Sleep")
    order = [name for name, _ in result.calls
             if name in ("Sleep", "ExitWindowsEx")]
    if later:
        checks.check("%s: waits 30 s before the restart" % label,
                     sleeps == [RESTART_DELAY] and
                     order == ["Sleep", "ExitWindowsEx"],
                     "calls %s" % result.calls)
    else:
        checks.check("%s: restarts without waiting" % label,
                     sleeps == [] and order == ["ExitWindowsEx"],
                     "calls %s" % result.calls)
    # The NT family (as Wine is) first asks for the shutdown privilege.
    checks.check("%s: enables the shutdown privilege first" % label,
                 result.calls_to("OutputDebugStringA")[:1] and
                 "Setting token" in result.calls_to("OutputDebugStringA")[0],
                 "calls %s" % result.calls)


def check_untouched(checks, label, before, after):
    changed = wine_machine.file_changes(before[0], after[0])
    checks.check("%s: no file changed" % label, not changed,
                 "changed %s" % sorted(changed))
    keys = wine_machine.registry_changes(before[1], after[1])
    checks.check("%s: no registry key or value changed" % label, not keys,
                 describe(keys))


def check_patched_machine(checks, label, before, after, driver):
    """What a completed run must have done, checked on its own."""
    files = after[0]
    original = before[0].get("c/windows/inf/mshdc.inf")
    checks.check("%s: mshdc.ing keeps the original class INF" % label,
                 original is not None and
                 files.get("c/windows/inf/mshdc.ing") == original)
    patched = files.get("c/windows/inf/mshdc.inf", b"")
    checks.check("%s: mshdc.inf patched, CR LF throughout" % label,
                 patched != original and driver.encode() in patched.lower() and
                 b"\n" not in patched.replace(b"\r\n", b""),
                 "%d bytes" % len(patched))
    checks.check("%s: mshdc.1 removed after the swap" % label,
                 "c/windows/inf/mshdc.1" not in files)
    checks.check("%s: miniport copied into system32\\iosubsys" % label,
                 files.get("c/windows/system32/iosubsys/" + driver) ==
                 before[0].get("a/" + driver))
    registry = after[1]
    for key in ("HKEY_LOCAL_MACHINE\\Enum\\MF\\CHILD0000",
                "HKEY_LOCAL_MACHINE\\Enum\\MF\\CHILD0001",
                "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services"
                "\\Class\\hdc"):
        checks.check("%s: %s emptied" % (label, key.split("\\", 1)[1]),
                     not subkeys(registry, key),
                     "left %s" % subkeys(registry, key))
    checks.check("%s: Enum\\SCSI deleted" % label,
                 "hkey_local_machine\\enum\\scsi" not in registry)
    hdc = [k for k in subkeys(registry, "HKEY_LOCAL_MACHINE\\Enum\\PCI")
           if any(registry.get(i, {}).get("class") == ("sz", "hdc")
                  for i in subkeys(registry, k)[:1])]
    checks.check("%s: no PCI device of class hdc left" % label, not hdc,
                 "left %s" % hdc)


class Session:
    def __init__(self, args):
        self.args = args
        self.checks = Checks()
        self.display = os.environ.get("DISPLAY", ":0")
        self.work = args.work
        self.base = None
        os.makedirs(self.work, exist_ok=True)
        self.setup = os.path.join(args.build_win32, "setup.exe")
        self.pci_setup = os.path.join(args.build_win32, "test-only",
                                      "setup-pci-table.exe")

    def prefix(self, name, machine):
        """A scratch prefix seeded from a machine folder, copied from one
        clean prefix made once per session."""
        if self.base is None:
            self.base = WinePrefix(os.path.join(self.work, "base"),
                                   self.display)
            self.base.create()
        prefix = self.base.copy_to(os.path.join(self.work, name))
        prefix.seed(machine)
        return prefix

    def close(self):
        if self.base is not None:
            self.base.remove()

    # ---- the runs -----------------------------------------------------------

    def declined_and_missing_option(self):
        """Nothing may change: the confirmation answered No, and every
        command line without a driver option."""
        machine = os.path.join(MACHINES, "k7351-upgrade")
        prefix = self.prefix("untouched", machine)
        try:
            before = (prefix.files(), prefix.registry())
            runs = [
                ("answered No", self.setup, ["/D:K7351"],
                 [{"caption": "^Zel IDE Driver Setup$", "keys": ["n"]}],
                 [CONFIRM]),
                ("answered No to RB Max", self.setup, ["/d:rbmax"],
                 [{"caption": "^RB Max IDE Driver Setup$", "keys": ["n"]}],
                 [CONFIRM]),
            ]
            for tail in ([], ["/X:K7351"], ["/DD:K7351"]):
                runs.append(("no driver option %r" % " ".join(tail),
                             self.setup, tail,
                             [{"caption": "^SET UP ERROR!$",
                               "keys": ["Return"]}], [NO_DRIVER]))
            for label, program, tail, steps, messages in runs:
                result = prefix.run(program, tail, steps, timeout=60)
                self.checks.check("%s: ran as driven" % label,
                                  not result.problems, "; ".join(
                                      result.problems))
                self.checks.check("%s: messages" % label,
                                  result.messages == messages,
                                  "got %r" % result.messages)
                self.checks.check("%s: exit code 0, no restart" % label,
                                  result.exit_code == 0 and
                                  not result.calls_to("ExitWindowsEx"),
                                  "exit %s, calls %s" % (result.exit_code,
                                                         result.calls))
                after = (prefix.files(), prefix.registry())
                check_untouched(self.checks, label, before, after)
        finally:
            prefix.remove()

    def full_run_without_bridge(self, name, tail, title, not_found, driver,
                                has_bridge):
        """setup.exe as shipped: Wine has no ports, so the setup tells the
        user the controller was not found, and patches, copies, resets and
        restarts after the wait."""
        label = "setup.exe %s on %s" % (" ".join(tail), name)
        machine = os.path.join(MACHINES, name)
        # A machine with a bridge is simulated as the port scan sees it
        # under Wine; one without is the same machine in both worlds.
        sim_machine = without_pci(machine, os.path.join(
            self.work, name + "-no-ports")) if has_bridge else machine
        prefix = self.prefix("full-" + name, machine)
        try:
            before = (prefix.files(), prefix.registry())
            result = prefix.run(self.setup, tail, [
                {"caption": "^%s$" % re.escape(title), "keys": ["y"]},
                {"caption": "^Setup Error$", "keys": ["Return"]},
            ], timeout=120)
            after = (prefix.files(), prefix.registry())
        finally:
            prefix.remove()
        self.checks.check("%s: ran as driven" % label, not result.problems,
                          "; ".join(result.problems))
        self.checks.check("%s: messages" % label,
                          result.messages == [CONFIRM, not_found],
                          "got %r" % result.messages)
        self.checks.check("%s: no dialog without a bridge" % label,
                          not result.calls_to("DialogBoxParamA"))
        check_restart(self.checks, label, result, later=True)
        check_patched_machine(self.checks, label, before, after, driver)
        simulated = simulate(self.args.idesetup, sim_machine,
                             os.path.join(self.work, "sim-full-" + name),
                             tail, None)
        compare_changes(self.checks, label, before, after,
                        machine_state(sim_machine), simulated)

    def cleanup_run(self, name, tail, restart, screenshot=None):
        """The test-only program with the machine's own PCI table: the
        earlier installation is found and removed from Wine's registry and
        disk, and the dialog asks how to restart."""
        label = "setup-pci-table.exe on %s, restart %s" % (name, restart)
        machine = os.path.join(MACHINES, name)
        prefix = self.prefix("cleanup-" + name, machine)
        extra = {"IDE_PCI_TABLE": pci_table(machine)}
        # The dialog opens with the focus on the first radio button; Down
        # moves it to the second, which checks it.
        keys = ["Down", "Return"] if restart == "later" else ["Return"]
        shots = []

        def take_screenshot(_, __):
            # The whole desktop, which draws the dialog's frame and caption;
            # it is one colour around the dialog, so that is trimmed away.
            desktop = subprocess.run(
                ["xdotool", "search", "--onlyvisible", "--name",
                 "^setup - Wine desktop$"], env=prefix.env, timeout=30,
                stdout=subprocess.PIPE).stdout.split()
            if not desktop:
                return
            raw = os.path.join(self.work, "desktop.png")
            subprocess.run(["import", "-window", desktop[0], raw],
                           env=prefix.env, timeout=30, check=True)
            subprocess.run(["convert", raw, "-trim", "+repage", "-strip",
                            screenshot], timeout=30, check=True)
            shots.append(screenshot)

        try:
            before = (prefix.files(), prefix.registry())
            steps = [{"caption": "^Zel IDE Driver Setup$", "keys": ["y"]},
                     {"caption": "^ Setup Complete!$", "keys": keys}]
            if screenshot:
                # Inside Wine's own desktop window, which draws the captions
                # (without a window manager nothing else does).
                steps[1]["before"] = take_screenshot
            result = prefix.run(self.pci_setup, tail, steps, timeout=120,
                                extra_env=extra,
                                virtual_desktop="setup,640x480"
                                if screenshot else None)
            after = (prefix.files(), prefix.registry())
        finally:
            prefix.remove()
        self.checks.check("%s: ran as driven" % label, not result.problems,
                          "; ".join(result.problems))
        self.checks.check("%s: only the confirmation" % label,
                          result.messages == [CONFIRM],
                          "got %r" % result.messages)
        self.checks.check("%s: the dialog was shown" % label,
                          len(result.calls_to("DialogBoxParamA")) == 1)
        check_restart(self.checks, label, result, later=restart == "later")
        driver = "k7351.mpd" if "7351" in name else "k7341.mpd"
        check_patched_machine(self.checks, label, before, after, driver)
        simulated = simulate(self.args.idesetup, machine,
                             os.path.join(self.work, "sim-" + name), tail,
                             restart)
        compare_changes(self.checks, label, before, after,
                        machine_state(machine), simulated)
        if screenshot:
            self.checks.check("%s: screenshot of the dialog" % label,
                              shots and os.path.getsize(screenshot) > 1000)
        return after

    def earlier_installation_removed(self, after):
        registry = after[1]
        gone = [
            "HKEY_LOCAL_MACHINE\\Enum\\PCI\\VEN_8C4E&DEV_7351&SUBSYS_00000000"
            "&REV_01",
            "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\Class"
            "\\hdc\\0001",
        ]
        for key in gone:
            self.checks.check("earlier K7351 installation: %s deleted" %
                              key.split("\\", 1)[1],
                              key.lower() not in registry)
        self.checks.check(
            "earlier K7351 installation: old INF in inf\\other deleted",
            "c/windows/inf/other/zelmontzelhdd.inf" not in after[0])
        self.checks.check(
            "earlier K7351 installation: other vendors' INF kept",
            "c/windows/inf/other/norvalenvnet.inf" in after[0])


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build-win32", required=True)
    parser.add_argument("--idesetup", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--screenshot")
    parser.add_argument("--only")
    args = parser.parse_args()
    session = Session(args)
    runs = {
        "untouched": session.declined_and_missing_option,
        "full": lambda: session.full_run_without_bridge(
            "k7351-upgrade", ["/D:K7351"], "Zel IDE Driver Setup",
            NOT_FOUND_ZEL, "k7351.mpd", has_bridge=True),
        "no-bridge": lambda: session.full_run_without_bridge(
            "no-bridge", ["/D:RBMAX"], "RB Max IDE Driver Setup",
            NOT_FOUND_RB_MAX, "rbide.mpd", has_bridge=False),
        "cleanup": lambda: session.earlier_installation_removed(
            session.cleanup_run("k7351-upgrade", ["/D:K7351"], "later")),
        "fresh": lambda: session.cleanup_run(
            "k7341-fresh", ["/D:K7341"], "now", screenshot=args.screenshot),
    }
    try:
        for name, run in runs.items():
            if args.only and not re.search(args.only, name):
                continue
            print("== %s" % name)
            try:
                run()
            except (wine_machine.WineError, subprocess.SubprocessError,
                    OSError) as error:
                session.checks.check("%s: completed" % name, False,
                                     str(error))
    finally:
        session.close()
    print("%d passed, %d failed" % (session.checks.passed,
                                    session.checks.failed))
    return 1 if session.checks.failed else 0


if __name__ == "__main__":
    sys.exit(main())
