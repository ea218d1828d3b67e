"""The Wine side of the Windows end-to-end tests: a 64-bit prefix of one
test run with its time-limited calls, registry export files built section
by section, the product stub processes that a run starts, and the reading
of the check's log. Output of Wine calls goes through files, never pipes,
since Wine's services outlive the call that started them and keep its
handles. Single-threaded.
"""

import os
import re
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))

WINE_CALL_TIMEOUT = 120
WINEBOOT_TIMEOUT = 300

RECORD = re.compile(r"^\[ \d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}:\d{3} \] \[ -?\d+ \] (\[(INFO|ERROR|DEBUG|TRACE)\] .*)$")
OPEN_LINE = re.compile(r"^Log open time: \d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}:\d{3}$")
CLOSE_LINE = re.compile(r"^Log close time: \d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}:\d{3}$")


def log_entries(text):
    """The log's lines (CR LF ended) as entries: "[TAG] message" for a
    record, "Log open time" and "Log close time" for those lines, and
    "MALFORMED: line" for anything else."""
    entries = []
    for line in text.split("\r\n"):
        if line == "":
            continue
        m = RECORD.match(line)
        if m:
            entries.append(m.group(1))
        elif OPEN_LINE.match(line):
            entries.append("Log open time")
        elif CLOSE_LINE.match(line):
            entries.append("Log close time")
        else:
            entries.append("MALFORMED: " + line)
    return entries


class CaseFailure(Exception):
    """A failed expectation of one case."""


def expect(condition, message):
    if not condition:
        raise CaseFailure(message)


def expect_eq(actual, expected, what):
    if actual != expected:
        raise CaseFailure("%s: expected %r, got %r" % (what, expected, actual))


class RegistryText:
    """A registry export built section by section, after the reset keys."""

    def __init__(self):
        with open(os.path.join(HERE, "reset.reg"), encoding="ascii") as f:
            self.text = f.read()

    def key(self, path):
        self.text += "\n[%s]\n" % path
        return self

    def string(self, name, value):
        escaped = value.replace("\\", "\\\\").replace('"', '\\"')
        self.text += '"%s"="%s"\n' % (name, escaped)
        return self

    def dword(self, name, value):
        self.text += '"%s"=dword:%08x\n' % (name, value)
        return self

    def crlf(self):
        return self.text.replace("\n", "\r\n")


class WinePrefix:
    """A Wine prefix of this run, its environment and its time-limited calls."""

    def __init__(self, work):
        self.work = work
        self.path = os.path.join(work, "prefix")
        env = dict(os.environ)
        for name in ("DISPLAY", "WAYLAND_DISPLAY"):
            env.pop(name, None)
        env.update({
            "WINEPREFIX": self.path,
            "WINEARCH": "win64",
            "WINEDEBUG": "-all",
            "LANG": "C.UTF-8",
            "WINEDLLOVERRIDES": "mscoree,mshtml=",
        })
        self.env = env

    def unix_path(self, windows_path):
        """The host path of a C: path inside the prefix."""
        assert windows_path[:3].upper() == "C:\\"
        rest = windows_path[3:].replace("\\", "/")
        return os.path.join(self.path, "drive_c", rest)

    def call(self, args, timeout=WINE_CALL_TIMEOUT):
        """Runs wine with args; returns (exit status, stdout text, stderr text).
        Output goes through files, not pipes: Wine's services, started by
        the first call, inherit its handles and outlive it."""
        out_path = os.path.join(self.work, "wine.out")
        err_path = os.path.join(self.work, "wine.err")
        with open(out_path, "wb") as out, open(err_path, "wb") as err:
            try:
                status = subprocess.run(["wine"] + args, env=self.env, stdin=subprocess.DEVNULL,
                                        stdout=out, stderr=err, timeout=timeout).returncode
            except subprocess.TimeoutExpired:
                raise CaseFailure("wine %s did not end within %d s" % (" ".join(args), timeout))
        with open(out_path, "rb") as out, open(err_path, "rb") as err:
            return (status, out.read().decode("utf-8", "replace"), err.read().decode("utf-8", "replace"))

    def boot(self):
        os.makedirs(self.path, exist_ok=True)
        # One wineserver serves the whole run (kill_server ends it), so that
        # Wine's services start once and not for every call.
        subprocess.run(["wineserver", "-p"], env=self.env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60, check=True)
        try:
            status, out, err = self.call(["wineboot", "--init"], timeout=WINEBOOT_TIMEOUT)
        except CaseFailure as e:
            raise RuntimeError(str(e))
        if status != 0 or not os.path.isdir(os.path.join(self.path, "drive_c", "windows")):
            sys.stdout.write(out + err)
            raise RuntimeError("wineboot failed with status %d" % status)

    def import_registry(self, registry):
        reg_file = os.path.join(self.work, "case.reg")
        with open(reg_file, "w", encoding="ascii", newline="") as f:
            f.write(registry.crlf())
        status, out, err = self.call(["reg", "import", "Z:" + reg_file.replace("/", "\\")])
        expect(status == 0, "reg import failed (%d): %s%s" % (status, out, err))

    def kill_server(self):
        try:
            subprocess.run(["wineserver", "-k"], env=self.env, stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
        except subprocess.TimeoutExpired:
            pass


class Product:
    """A copy of the product stub that this run started under Wine."""

    def __init__(self, process, tick):
        self.process = process
        self.tick = tick  # the uptime in ms that the stub saw at its start

    def alive(self):
        return self.process.poll() is None

    def wait_ended(self, seconds):
        try:
            self.process.wait(timeout=seconds)
            return True
        except subprocess.TimeoutExpired:
            return False
