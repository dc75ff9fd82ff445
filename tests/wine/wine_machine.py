"""A sample machine in a scratch Wine prefix, and setup.exe run on it.

A machine folder (machine.ini, registry.reg, drives/) becomes a 32-bit Wine
prefix: registry.reg is imported with `wine reg import`, drive C:'s WINDOWS
folder is copied into the prefix's own Windows folder (its SYSTEM folder into
system32, the system folder Wine reports), and drive A: is mapped to a copy
of drives/a, which is the current folder of the run, as on the machine.

setup.exe is driven through X (Xvfb) with xdotool: each step waits for a
window with a given caption and sends keys. What the program did is read
from Wine's own traces: the text of every message box, and the calls that a
person cannot see (Sleep, OutputDebugStringA, DialogBoxParamA and
ExitWindowsEx, with their arguments).

Every wait is bounded; a hung run is killed with its wineserver.
"""
import codecs
import os
import re
import shutil
import subprocess
import tempfile
import threading
import time

# The calls whose arguments the runs are checked against.
RELAY_CALLS = ("user32.ExitWindowsEx", "user32.DialogBoxParamA",
               "kernel32.Sleep", "kernel32.OutputDebugStringA")
# Where setup.exe's image lies in its process (the linker's default base).
PROGRAM_IMAGE = (0x00400000, 0x00500000)
# Wine's folders for what the machine keeps in C:\WINDOWS and
# C:\WINDOWS\SYSTEM. Lower case, as keys of the file maps below.
WINE_WINDOWS = "c/windows"
WINE_SYSTEM = "c/windows/system32"
MACHINE_SYSTEM = "c/windows/system"
# The registry trees the setup reads and deletes; the rest of the registry
# is Wine's own.
REGISTRY_TREES = ("HKEY_LOCAL_MACHINE\\Enum",
                  "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\Class")
# Folders of a Wine prefix that hold the machine's files. The rest of
# C:\windows (Wine's own DLLs) is left out of every comparison.
WATCHED_FOLDERS = ("c/windows/inf", "c/windows/system32/iosubsys", "a")


class WineError(Exception):
    pass


def run_quiet(args, env, timeout, cwd=None):
    """Runs a command and returns its output. The output goes through files,
    not pipes: Wine's background processes inherit the handles and would
    keep a pipe open long after the command itself has ended."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        result = subprocess.run(args, env=env, cwd=cwd, timeout=timeout,
                                stdout=out, stderr=err)
        out.seek(0)
        err.seek(0)
        if result.returncode != 0:
            raise WineError("%s failed (%d): %s" % (
                " ".join(args), result.returncode,
                err.read().decode("latin-1")[-500:]))
        return out.read()


# ---- Registry files -------------------------------------------------------

def _decode_hex(text):
    text = text.replace("\\", "").replace(" ", "").replace("\t", "")
    return bytes(int(part, 16) for part in text.split(",") if part)


def _unescape(text):
    out = []
    i = 0
    while i < len(text):
        if text[i] == "\\" and i + 1 < len(text):
            out.append(text[i + 1])
            i += 2
        else:
            out.append(text[i])
            i += 1
    return "".join(out)


def parse_registry(text, wide_strings):
    """Registry file text -> {key path (lower case): {value name (lower
    case): (type, data)}}. Text values are compared as text: a REGEDIT4 file
    holds them as bytes of the ANSI code page, a version 5 file as UTF-16,
    which is the one difference between the two forms that matters here."""
    keys = {}
    current = None
    lines = text.replace("\r\n", "\n").split("\n")
    i = 0
    while i < len(lines):
        line = lines[i]
        i += 1
        while line.endswith("\\") and i < len(lines):
            line = line[:-1] + lines[i].strip()
            i += 1
        line = line.strip()
        if not line or line.startswith(";") or line.startswith("REGEDIT") or \
                line.startswith("Windows Registry Editor"):
            continue
        if line.startswith("[") and line.endswith("]"):
            current = line[1:-1].lower()
            keys.setdefault(current, {})
            continue
        if current is None:
            continue
        match = re.match(r'^(@|"(?:[^"\\]|\\.)*")=(.*)$', line)
        if not match:
            raise WineError("unreadable registry line: %r" % line)
        name = "" if match.group(1) == "@" else _unescape(match.group(1)[1:-1])
        data = match.group(2)
        if data.startswith('"'):
            value = ("sz", _unescape(data[1:-1]))
        elif data.startswith("dword:"):
            value = ("dword", int(data[6:], 16))
        elif data.startswith("hex:"):
            value = ("binary", _decode_hex(data[4:]))
        elif data.startswith("hex("):
            kind = int(data[4:data.index(")")], 16)
            raw = _decode_hex(data[data.index(":") + 1:])
            if kind in (2, 7):
                decoded = raw.decode("utf-16-le" if wide_strings else "latin-1")
                value = ({2: "expand_sz", 7: "multi_sz"}[kind],
                         decoded.rstrip("\0"))
            else:
                value = ("hex(%x)" % kind, raw)
        else:
            raise WineError("unknown value type: %r" % line)
        keys[current][name.lower()] = value
    return keys


def read_registry_file(path):
    with open(path, "rb") as source:
        raw = source.read()
    if raw.startswith(codecs.BOM_UTF16_LE):
        return parse_registry(raw[2:].decode("utf-16-le"), wide_strings=True)
    return parse_registry(raw.decode("latin-1"), wide_strings=False)


def only_trees(keys):
    prefixes = tuple(tree.lower() for tree in REGISTRY_TREES)
    return {key: values for key, values in keys.items()
            if any(key == p or key.startswith(p + "\\") for p in prefixes)}


def registry_changes(before, after):
    """What a run did to the registry: keys removed and added, and values
    removed, added or changed in the keys that stayed."""
    changes = set()
    for key in before.keys() - after.keys():
        changes.add(("key removed", key))
    for key in after.keys() - before.keys():
        changes.add(("key added", key))
        for name, value in after[key].items():
            changes.add(("value added", key, name, value))
    for key in before.keys() & after.keys():
        old, new = before[key], after[key]
        for name in old.keys() - new.keys():
            changes.add(("value removed", key, name))
        for name in new.keys() - old.keys():
            changes.add(("value added", key, name, new[name]))
        for name in old.keys() & new.keys():
            if old[name] != new[name]:
                changes.add(("value changed", key, name, new[name]))
    return changes


# ---- Files ------------------------------------------------------------------

def read_tree(root, prefix=""):
    """Every file below root -> its bytes; keys are paths below root in
    lower case with forward slashes (Windows ignores the case of names)."""
    files = {}
    if not os.path.isdir(root):
        return files
    for folder, _, names in os.walk(root):
        for name in names:
            path = os.path.join(folder, name)
            relative = os.path.relpath(path, root).replace(os.sep, "/")
            with open(path, "rb") as data:
                files[(prefix + relative).lower()] = data.read()
    return files


def machine_files(drives):
    """The files of a machine folder's drives/, keyed as in a Wine prefix
    (the machine's system folder under Wine's name for it)."""
    files = {}
    for path, data in read_tree(drives).items():
        if path.startswith(MACHINE_SYSTEM + "/"):
            path = WINE_SYSTEM + path[len(MACHINE_SYSTEM):]
        files[path] = data
    return files


def file_changes(before, after):
    changes = {}
    for path in before.keys() | after.keys():
        old, new = before.get(path), after.get(path)
        if old != new:
            changes[path] = new  # None: removed
    return changes


def _existing_name(folder, name):
    """The name an entry of folder has when it differs only in case."""
    for existing in os.listdir(folder):
        if existing.lower() == name.lower():
            return existing
    return name


def copy_merging_case(source, target):
    """Copies a folder tree into target, reusing folders of target whose
    names differ only in case (C:\\WINDOWS\\INF goes into windows\\inf)."""
    os.makedirs(target, exist_ok=True)
    existing = {name.lower(): name for name in os.listdir(target)}
    for name in os.listdir(source):
        from_path = os.path.join(source, name)
        to_path = os.path.join(target, existing.get(name.lower(), name))
        if os.path.isdir(from_path):
            copy_merging_case(from_path, to_path)
        else:
            shutil.copyfile(from_path, to_path)


# ---- The prefix ---------------------------------------------------------------

class RunResult:
    def __init__(self):
        self.exit_code = None
        self.timed_out = False
        self.messages = []       # message box texts, in order
        self.captions = []       # captions of the windows the steps met
        self.calls = []          # (function, argument text), in order
        self.problems = []       # what went wrong while driving the run
        self.seconds = 0.0

    def calls_to(self, function):
        return [args for name, args in self.calls if name == function]


class WinePrefix:
    def __init__(self, root, display, wine_arch="win32"):
        self.root = root
        self.env = dict(os.environ)
        self.env.update({"WINEPREFIX": root, "WINEARCH": wine_arch,
                         "WINEDEBUG": "-all", "DISPLAY": display,
                         "WINEDLLOVERRIDES": "mscoree,mshtml="})
        self.a_drive = root + "-a"

    def create(self):
        """Makes a new prefix (about 10 s)."""
        shutil.rmtree(self.root, ignore_errors=True)
        run_quiet(["wineboot", "-i"], self.env, timeout=180)
        # Relay traces for the few calls the runs are checked against.
        run_quiet(["wine", "reg", "add", "HKCU\\Software\\Wine\\Debug", "/v",
                   "RelayInclude", "/d", ";".join(RELAY_CALLS), "/f"],
                  self.env, timeout=60)
        self.wait_idle()

    def copy_to(self, root):
        """A copy of this (idle) prefix, far quicker than a new one. Its
        wineserver stays up until remove(), so each wine command starts at
        once."""
        shutil.rmtree(root, ignore_errors=True)
        run_quiet(["cp", "-a", self.root, root], self.env, timeout=120)
        copy = WinePrefix(root, self.env["DISPLAY"], self.env["WINEARCH"])
        # The server goes to the background; its output is not read, so
        # nothing waits for it to close.
        subprocess.run(["wineserver", "-p"], env=copy.env, timeout=30,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return copy

    def wait_idle(self):
        try:
            subprocess.run(["wineserver", "-w"], env=self.env, timeout=60)
        except subprocess.TimeoutExpired:
            self.kill()

    def kill(self):
        subprocess.run(["wineserver", "-k"], env=self.env, timeout=30,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def remove(self):
        self.kill()
        shutil.rmtree(self.root, ignore_errors=True)
        shutil.rmtree(self.a_drive, ignore_errors=True)

    def drive_c(self):
        return os.path.join(self.root, "drive_c")

    def seed(self, machine):
        """Puts a machine folder's registry and drives into the prefix."""
        run_quiet(["wine", "reg", "import",
                   os.path.join(machine, "registry.reg")], self.env,
                  timeout=60)
        windows = os.path.join(machine, "drives", "c", "WINDOWS")
        target = os.path.join(self.drive_c(), "windows")
        for name in os.listdir(windows):
            source = os.path.join(windows, name)
            if name.lower() == "system":
                copy_merging_case(source, os.path.join(target, "system32"))
            elif os.path.isdir(source):
                copy_merging_case(source, os.path.join(
                    target, _existing_name(target, name)))
            else:
                shutil.copyfile(source, os.path.join(
                    target, _existing_name(target, name)))
        shutil.rmtree(self.a_drive, ignore_errors=True)
        shutil.copytree(os.path.join(machine, "drives", "a"), self.a_drive)
        link = os.path.join(self.root, "dosdevices", "a:")
        if os.path.lexists(link):
            os.remove(link)
        os.symlink(self.a_drive, link)

    def files(self):
        """The watched folders' files, keyed like machine_files()."""
        files = {}
        for folder in WATCHED_FOLDERS:
            if folder == "a":
                files.update(read_tree(self.a_drive, "a/"))
            else:
                on_disk = self._find_folder(folder)
                if on_disk:
                    files.update(read_tree(on_disk, folder + "/"))
        return files

    def _find_folder(self, relative):
        path = self.drive_c()
        for part in relative.split("/")[1:]:
            if not os.path.isdir(path):
                return None
            names = {name.lower(): name for name in os.listdir(path)}
            if part not in names:
                return None
            path = os.path.join(path, names[part])
        return path if os.path.isdir(path) else None

    def registry(self):
        keys = {}
        for tree in REGISTRY_TREES:
            target = os.path.join(self.root, "export.reg")
            if os.path.exists(target):
                os.remove(target)
            try:
                run_quiet(["wine", "reg", "export", tree,
                           "Z:" + target.replace("/", "\\"), "/y"],
                          self.env, timeout=60)
            except WineError:
                continue  # the tree is not there (any more)
            keys.update(read_registry_file(target))
        return only_trees(keys)

    def run(self, program, tail, steps, timeout=120, extra_env=None,
            virtual_desktop=None):
        """Runs program (a host path) with the command-line tail from drive
        A:, doing each step in turn. A step is a dict: caption (the window
        to wait for, a regular expression), keys (sent to it), and
        optionally before (a function called with the window id and the
        result once the window is there, before the keys). With
        virtual_desktop ("name,WxH") the program runs inside Wine's own
        desktop window, which draws window frames and captions."""
        result = RunResult()
        env = dict(self.env)
        env["WINEDEBUG"] = "-all,trace+msgbox,+relay"
        env.update(extra_env or {})
        exe = "Z:" + os.path.abspath(program).replace("/", "\\")
        if virtual_desktop:
            args = ["wine", "explorer", "/desktop=%s" % virtual_desktop,
                    exe] + tail
        else:
            args = ["wine", exe] + tail
        start = time.time()
        # The traces go to a file that is read as it grows: Wine's
        # background processes inherit the handle, so a pipe would never
        # report its end.
        log_path = os.path.join(self.root, "run-%d.log" % int(start * 1000))
        log = open(log_path, "wb")
        process = subprocess.Popen(args, env=env, cwd=self.a_drive,
                                   stdout=subprocess.DEVNULL, stderr=log)
        log.close()
        stop = threading.Event()
        reader = threading.Thread(target=self._read_traces,
                                  args=(log_path, result, stop), daemon=True)
        reader.start()
        try:
            for step in steps:
                window = self._wait_for_window(step["caption"], process,
                                               start + timeout)
                if window is None:
                    result.problems.append(
                        "no window %r appeared (windows: %s; messages: %s)" %
                        (step["caption"], self._window_names(),
                         result.messages))
                    break
                result.captions.append(self._name(window))
                if "before" in step:
                    time.sleep(1.0)
                    step["before"](window, result)
                self._send_keys(window, step["keys"])
            remaining = max(1.0, start + timeout - time.time())
            try:
                result.exit_code = process.wait(timeout=remaining)
            except subprocess.TimeoutExpired:
                result.timed_out = True
                result.problems.append("still running after %d s" % timeout)
                process.kill()
                process.wait(timeout=30)
        finally:
            if process.poll() is None:
                process.kill()
            time.sleep(0.5)
            stop.set()
            reader.join(timeout=10)
            result.seconds = time.time() - start
        return result

    @staticmethod
    def _read_traces(path, result, stop):
        message = re.compile(r'trace:msgbox:MSGBOX_OnInit L"(.*)"\s*$')
        call = re.compile(
            r'^[0-9a-f]+:Call (\w+\.\w+)\((.*)\) ret=([0-9a-f]+)')
        with open(path, "rb") as stream:
            pending = b""
            while True:
                chunk = stream.read(65536)
                if not chunk:
                    if stop.is_set():
                        break
                    time.sleep(0.1)
                    continue
                pending += chunk
                *lines, pending = pending.split(b"\n")
                for raw in lines:
                    WinePrefix._parse_trace(raw.decode("latin-1"), result,
                                            message, call)

    @staticmethod
    def _parse_trace(line, result, message, call):
        found = message.search(line)
        if found:
            result.messages.append(_unescape_c(found.group(1)))
            return
        found = call.search(line)
        # Only calls made by the program itself (returning into its image),
        # not by Wine's own processes of the session.
        if found and found.group(1).lower() in \
                tuple(name.lower() for name in RELAY_CALLS) and \
                PROGRAM_IMAGE[0] <= int(found.group(3), 16) < PROGRAM_IMAGE[1]:
            result.calls.append((found.group(1).split(".")[1],
                                 found.group(2)))

    def _xdotool(self, *args):
        result = subprocess.run(["xdotool"] + list(args), env=self.env,
                                timeout=30, stdout=subprocess.PIPE,
                                stderr=subprocess.DEVNULL)
        return result.stdout.decode("latin-1")

    def _name(self, window):
        return self._xdotool("getwindowname", window).rstrip("\n")

    def _window_names(self):
        ids = self._xdotool("search", "--onlyvisible", "--name", ".").split()
        return [self._name(window) for window in ids]

    def _wait_for_window(self, caption, process, deadline):
        while time.time() < deadline:
            ids = self._xdotool("search", "--onlyvisible", "--name",
                                caption).split()
            if ids:
                return ids[-1]
            if process.poll() is not None:
                return None
            time.sleep(0.25)
        return None

    def _send_keys(self, window, keys):
        time.sleep(0.5)
        self._xdotool("windowfocus", "--sync", window)
        for key in keys:
            self._xdotool("key", "--clearmodifiers", key)
            time.sleep(0.3)


def _unescape_c(text):
    return (text.replace("\\n", "\n").replace("\\t", "\t")
            .replace('\\"', '"').replace("\\\\", "\\"))
