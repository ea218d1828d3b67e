#!/usr/bin/env python3
"""End-to-end runs of the Windows build of the check program under Wine.

One fresh 64-bit Wine prefix serves the whole run. Each case resets the
registry by importing a registry export file (reset.reg followed by the
case's keys), runs zrprereqhandler.exe through Wine's command interpreter so
that the whole 32-bit exit code can be read, and reads the log back from the
agent directory inside the prefix. Process handling starts copies of the
product stub under names unique to this run; the check ends them, and the
test ends only those it started, by their process id, when a case leaves one
running. The prefix's wineserver is always ended on the way out.

Usage: wine_check_test.py --program EXE --stub EXE --probe EXE --work DIR
Prints one line per case and closes with "wine: N passed, M failed"; exits
non-zero on any failure or when Wine does not start. Single-threaded.
"""

import argparse
import os
import re
import shutil
import signal
import subprocess
import sys
import time
import traceback

from wine_harness import (CLOSE_LINE, OPEN_LINE, RECORD, CaseFailure, Product, RegistryText, WinePrefix,
                          expect, expect_eq, log_entries)

UNINSTALL64 = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall"
UNINSTALL32 = "HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall"
AGENT_KEY32 = "HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Orvalis\\Stelvane\\ZRAgent"
AGENT_KEY64 = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvalis\\Stelvane\\ZRAgent"
UNINSTALL_PATH = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall"

AGENT_DIR_WIN = "C:\\ZRAgent\\"
PROGRAM_DIR_WIN = "C:\\orv"
STARTUP_WINDOW_MS = 900000
ROTATION_THRESHOLD = 2000000

NOT_INSTALLED = "Symantec Av (%s) is not installed in this system."
FIX_INSTALLED = "Symantec Av (%s) is detected but fix is already installed."
FIX_MISSING = "Symantec Av (%s) is detected but fix is not installed. so returning.."


class Run:
    """One run of the whole suite in one prefix."""

    def __init__(self, args):
        self.prefix = WinePrefix(args.work)
        self.program = args.program
        self.stub = args.stub
        self.probe = args.probe
        self.started = []  # every Product this run started

    # ---- set-up ---------------------------------------------------------

    def setup(self):
        self.prefix.boot()
        os.makedirs(self.prefix.unix_path(PROGRAM_DIR_WIN + "\\"), exist_ok=True)
        shutil.copy(self.program, self.prefix.unix_path(PROGRAM_DIR_WIN + "\\zrprereqhandler.exe"))
        shutil.copy(self.probe, self.prefix.unix_path(PROGRAM_DIR_WIN + "\\result_message_probe.exe"))

    def fresh_agent_dir(self):
        agent = self.prefix.unix_path(AGENT_DIR_WIN)
        shutil.rmtree(agent, ignore_errors=True)
        os.makedirs(agent)

    # ---- helpers of the cases -------------------------------------------

    def base_registry(self, log_level=None):
        reg = RegistryText()
        reg.key(AGENT_KEY32).string("ZRAgentInstallDir", AGENT_DIR_WIN)
        if log_level is not None:
            reg.dword("ZRAgentLogLevel", log_level)
        reg.key(UNINSTALL64 + "\\{1111-AAAA}").string("DisplayName", "Some Editor").string("DisplayVersion", "1.0")
        reg.key(UNINSTALL32 + "\\{2222-BBBB}").string("DisplayName", "Other Tool").string("DisplayVersion", "2.0")
        return reg

    def run_check(self, registry, args, program=PROGRAM_DIR_WIN + "\\zrprereqhandler.exe"):
        """Imports the registry, runs the check and returns its whole exit
        code as cmd's ERRORLEVEL shows it (signed 32-bit)."""
        self.prefix.import_registry(registry)
        line = "%s %s & echo !ERRORLEVEL!" % (program, " ".join(args))
        status, out, err = self.prefix.call(["cmd", "/v:on", "/c", line])
        lines = [l for l in out.replace("\r", "").split("\n") if l != ""]
        expect(len(lines) == 1 and re.fullmatch(r"-?\d+", lines[0]) is not None,
               "cmd gave status %d and output %r (stderr %r); expected only the exit code" % (status, out, err))
        code = int(lines[0])
        # cmd ends with the program's code; the host keeps its low 8 bits.
        expect_eq(status, code & 0xFF, "cmd's exit status")
        return code

    def log_path(self, name="zrprereqhandler.log"):
        return self.prefix.unix_path(AGENT_DIR_WIN + "logs\\" + name)

    def log_text(self):
        path = self.log_path()
        expect(os.path.isfile(path), "no log at %s" % path)
        with open(path, "rb") as f:
            return f.read().decode("utf-8", "replace")

    def log(self):
        return log_entries(self.log_text())

    def unique_name(self, tag):
        return "zrt%d%s.exe" % (os.getpid(), tag)

    def start_product(self, name, folder="bin"):
        """Starts a copy of the stub named name and waits until it runs."""
        directory = PROGRAM_DIR_WIN + "\\" + folder
        os.makedirs(self.prefix.unix_path(directory + "\\"), exist_ok=True)
        shutil.copy(self.stub, self.prefix.unix_path(directory + "\\" + name))
        out_path = os.path.join(self.prefix.work, "%s.%d.out" % (name, len(self.started)))
        with open(out_path, "wb") as out:
            process = subprocess.Popen(["wine", directory + "\\" + name], env=self.prefix.env,
                                       stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.DEVNULL)
        product = Product(process, None)
        self.started.append(product)
        deadline = time.monotonic() + 60
        m = None
        while m is None and time.monotonic() < deadline and product.alive():
            time.sleep(0.05)
            with open(out_path, "rb") as out:
                m = re.match(rb"tick (\d+)\r?\n", out.read())
        expect(m is not None, "the product stub %s did not start" % name)
        product.tick = int(m.group(1))
        return product

    def end_started_products(self):
        """Ends, by process id, every stub copy this run started that still runs."""
        for product in self.started:
            if product.alive():
                os.kill(product.process.pid, signal.SIGKILL)
            try:
                product.process.wait(timeout=30)
            except subprocess.TimeoutExpired:
                pass
        self.started = []

    def tick_seen_by_check(self, log):
        """The check's logged tick count as the unsigned count it compared."""
        for entry in log:
            m = re.fullmatch(r"\[INFO\] the tick count is (-?\d+)", entry)
            if m:
                return int(m.group(1)) & 0xFFFFFFFF
        raise CaseFailure("no tick count in the log: %r" % log)

    # ---- the cases --------------------------------------------------------

    def case_absent_in_both_views(self):
        code = self.run_check(self.base_registry(), [])
        expect_eq(code, 0, "exit code")
        expect_eq(self.log(), [
            "Log open time",
            "[INFO] " + NOT_INSTALLED % "x64",
            "[INFO] " + NOT_INSTALLED % "x86",
            "[INFO] Exit Code : 0",
            "Log close time",
        ], "log")

    def view_case(self, view64, version, exit_code, verdict):
        def case():
            reg = self.base_registry()
            reg.key((UNINSTALL64 if view64 else UNINSTALL32) + "\\{SEP-0001}") \
               .string("DisplayName", "Symantec Endpoint Protection").string("DisplayVersion", version)
            code = self.run_check(reg, [])
            expect_eq(code, exit_code, "exit code")
            log = self.log()
            label = "x64" if view64 else "x86"
            for line in ("[INFO] Symantec Antivirus detected..!", "[INFO] Installed symantec version: " + version,
                         "[INFO] " + verdict % label, "[INFO] Exit Code : %d" % exit_code):
                expect(line in log, "missing %r in %r" % (line, log))
            if view64 and exit_code != 0:
                expect(not any("x86" in e for e in log), "the 32-bit view was examined: %r" % log)
        return case

    def unreadable_version_case(self, view64, version):
        """A matching entry whose version is missing (version None) or does
        not fit the 512-byte buffer keeps its view from being clear."""
        def case():
            reg = self.base_registry()
            reg.key((UNINSTALL64 if view64 else UNINSTALL32) + "\\{SEP-0001}") \
               .string("DisplayName", "Symantec Endpoint Protection")
            if version is not None:
                reg.string("DisplayVersion", version)
            code = self.run_check(reg, [])
            expect_eq(code, 50020, "exit code")
            log = self.log()
            label = "x64" if view64 else "x86"
            error = "[ERROR] Failed with read DisplayVersion in Registry path ( %s\\{SEP-0001} )" % UNINSTALL_PATH
            for line in ("[INFO] Symantec Antivirus detected..!", error, "[INFO] " + FIX_MISSING % label,
                         "[INFO] Exit Code : 50020"):
                expect(line in log, "missing %r in %r" % (line, log))
            expect(not any(e.startswith("[INFO] Installed symantec version") for e in log),
                   "a version was logged: %r" % log)
            if view64:
                expect(not any("x86" in e for e in log), "the 32-bit view was examined: %r" % log)
            else:
                expect("[INFO] " + NOT_INSTALLED % "x64" in log, "no x64 verdict in %r" % log)
        return case

    def case_unreadable_version_beside_a_fixed_entry_is_not_clear(self):
        reg = self.base_registry()
        reg.key(UNINSTALL32 + "\\{SEP-A}").string("DisplayName", "Symantec Endpoint Protection") \
           .string("DisplayVersion", "14.2.760.0")
        reg.key(UNINSTALL32 + "\\{SEP-B}").string("DisplayName", "Symantec Endpoint Protection")
        code = self.run_check(reg, [])
        expect_eq(code, 50020, "exit code")
        log = self.log()
        error = "[ERROR] Failed with read DisplayVersion in Registry path ( %s\\{SEP-B} )" % UNINSTALL_PATH
        for line in ("[INFO] Installed symantec version: 14.2.760.0", error, "[INFO] " + FIX_MISSING % "x86"):
            expect(line in log, "missing %r in %r" % (line, log))
        expect_eq(sum(1 for e in log if e == "[INFO] Symantec Antivirus detected..!"), 2, "detections")

    def case_64_bit_view_not_clear_skips_32_bit_view(self):
        reg = self.base_registry()
        reg.key(UNINSTALL64 + "\\{SEP}").string("DisplayName", "SYMANTEC ENDPOINT PROTECTION") \
           .string("DisplayVersion", "13.99.99999.9999")
        reg.key(UNINSTALL32 + "\\{SEP}").string("DisplayName", "Symantec Endpoint Protection") \
           .string("DisplayVersion", "14.3")
        code = self.run_check(reg, [])
        expect_eq(code, 50020, "exit code")
        log = self.log()
        expect("[INFO] " + FIX_MISSING % "x64" in log, "no x64 verdict in %r" % log)
        expect(not any("x86" in e for e in log), "the 32-bit view was examined: %r" % log)

    def case_negative_found_error_is_the_whole_exit_code(self):
        reg = self.base_registry()
        reg.key(UNINSTALL32 + "\\{SEP}").string("DisplayName", "Symantec Endpoint Protection") \
           .string("DisplayVersion", "1")
        code = self.run_check(reg, ["-foundError", "-5"])
        expect_eq(code, -5, "exit code")
        log = self.log()
        expect("[INFO] Error Code If Found : -5" in log, "option not logged: %r" % log)
        expect("[INFO] Exit Code : -5" in log, "exit code not logged: %r" % log)

    def case_options_steer_only_the_exit_codes(self):
        reg = self.base_registry()
        reg.key(UNINSTALL64 + "\\{SEP}").string("DisplayName", "Symantec Endpoint Protection") \
           .string("DisplayVersion", "14.2.1")
        code = self.run_check(reg, ["-NAME", "OtherAV", "-foundError", "12x", "-notfounderror", "3",
                                    "-fileToInstall", "patch.msi", "-switch", "/quiet", "-installIfAvFound", "1",
                                    "stray", "-name"])
        expect_eq(code, 12, "exit code")
        expect_eq(self.log(), [
            "Log open time",
            "[INFO] Antivirus Name To Check : OtherAV",
            "[INFO] Error Code If Found : 12",
            "[INFO] Error Code If Not Found : 3",
            "[INFO] File To Install : patch.msi",
            "[INFO] Install Switch : /quiet",
            "[INFO] Install If AV Found : 1",
            "[INFO] Symantec Antivirus detected..!",
            "[INFO] Installed symantec version: 14.2.1",
            "[INFO] " + FIX_MISSING % "x64",
            "[INFO] Exit Code : 12",
            "Log close time",
        ], "log")

    def case_missing_32_bit_uninstall_key_is_not_clear(self):
        reg = RegistryText()
        reg.key(AGENT_KEY32).string("ZRAgentInstallDir", AGENT_DIR_WIN)
        reg.key(UNINSTALL64 + "\\{X}").string("DisplayName", "Some Editor")
        code = self.run_check(reg, ["-foundError", "7"])
        expect_eq(code, 7, "exit code")
        log = self.log()
        expect("[INFO] " + NOT_INSTALLED % "x64" in log, "no x64 verdict in %r" % log)
        line = "[ERROR] Unable to open registry path ( %s ). Failed with error 2" % UNINSTALL_PATH
        expect(line in log, "missing %r in %r" % (line, log))
        expect(not any(e.startswith("[INFO] Symantec Av (x86)") for e in log), "x86 verdict in %r" % log)

    def case_agent_settings_come_from_the_32_bit_view(self):
        # A decoy in the 64-bit view names another directory and level 2,
        # which would write the ERROR record of the entry without a name.
        decoy = "C:\\Decoy\\"
        os.makedirs(self.prefix.unix_path(decoy), exist_ok=True)
        shutil.rmtree(self.prefix.unix_path(decoy + "logs\\"), ignore_errors=True)
        reg = self.base_registry(log_level=1)
        reg.key(UNINSTALL64 + "\\{NONAME}").string("Publisher", "x")
        reg.key(AGENT_KEY64).string("ZRAgentInstallDir", decoy).dword("ZRAgentLogLevel", 2)
        code = self.run_check(reg, [])
        expect_eq(code, 0, "exit code")
        expect(not os.path.exists(self.prefix.unix_path(decoy + "logs\\")), "the 64-bit view's directory was used")
        log = self.log()
        expect("[INFO] Exit Code : 0" in log, "no INFO records: %r" % log)
        expect(not any(e.startswith("[ERROR] ") for e in log), "the level of the 32-bit view was not used: %r" % log)

        # Settings in the 64-bit view alone: the run goes on without a log.
        self.fresh_agent_dir()
        reg = RegistryText()
        reg.key(AGENT_KEY64).string("ZRAgentInstallDir", AGENT_DIR_WIN)
        reg.key(UNINSTALL64 + "\\{X}").string("DisplayName", "Some Editor")
        reg.key(UNINSTALL32 + "\\{X}").string("DisplayName", "Some Editor")
        code = self.run_check(reg, ["-notFoundError", "9"])
        expect_eq(code, 9, "exit code")
        expect(not os.path.exists(self.log_path()), "a log was written without 32-bit settings")

    def case_log_place_and_record_layout(self):
        reg = self.base_registry(log_level=4)
        reg.key(UNINSTALL64 + "\\{NONAME}").string("Publisher", "x")
        expect(not os.path.exists(os.path.dirname(self.log_path())), "logs folder exists before the run")
        self.run_check(reg, [])
        self.run_check(reg, [])
        text = self.log_text()
        lines = text.split("\r\n")
        expect_eq(lines[-1], "", "end of the log")
        lines = lines[:-1]
        expect("\n" not in "".join(lines), "a line does not end in CR LF")
        for line in lines:
            expect(RECORD.match(line) or OPEN_LINE.match(line) or CLOSE_LINE.match(line),
                   "malformed log line %r" % line)
        expect(OPEN_LINE.match(lines[0]) and CLOSE_LINE.match(lines[-1]), "open and close lines")
        log = self.log()
        expect_eq(sum(1 for e in log if e == "Log open time"), 2, "open lines of two runs")
        expect_eq(sum(1 for e in log if e == "Log close time"), 2, "close lines of two runs")
        noname = "[ERROR] Failed with read DisplayName in Registry path ( %s\\{NONAME} )" % UNINSTALL_PATH
        expect(noname in log, "missing %r in %r" % (noname, log))
        expect("[DEBUG] ReadDwordRegistryData:  value  alwaysKillApps Not found: 2 " not in log,
               "process handling ran without a product name")
        threads = {re.match(r"^\[ [^]]* \] \[ (-?\d+) \]", l).group(1) for l in lines if RECORD.match(l)}
        expect(len(threads) >= 1 and all(int(t) != 0 for t in threads), "thread ids %r" % threads)

    def case_log_level_filters_records(self):
        for level, info, error in ((0, False, False), (1, True, False), (258, True, True)):
            self.fresh_agent_dir()
            reg = self.base_registry(log_level=level)
            reg.key(UNINSTALL64 + "\\{NONAME}").string("Publisher", "x")
            expect_eq(self.run_check(reg, []), 0, "exit code at level %d" % level)
            log = self.log()
            expect_eq(log[0], "Log open time", "first entry at level %d" % level)
            expect_eq(log[-1], "Log close time", "last entry at level %d" % level)
            expect_eq(any(e.startswith("[INFO]") for e in log), info, "INFO records at level %d" % level)
            expect_eq(any(e.startswith("[ERROR]") for e in log), error, "ERROR records at level %d" % level)
            expect(not any(e.startswith("[DEBUG]") for e in log), "DEBUG records at level %d" % level)

    def write_live_log(self, size):
        os.makedirs(os.path.dirname(self.log_path()), exist_ok=True)
        record = b"[ 2020-01-01 00:00:00:000 ] [ 1 ] [INFO] an earlier run\r\n"
        content = (record * (size // len(record) + 1))[:size]
        with open(self.log_path(), "wb") as f:
            f.write(content)
        return content

    def case_live_log_at_threshold_is_rotated_at_start(self):
        old = self.write_live_log(ROTATION_THRESHOLD)
        expect_eq(self.run_check(self.base_registry(), []), 0, "exit code")
        copy = self.log_path("zrprereqhandler1.log")
        expect(os.path.isfile(copy), "no zrprereqhandler1.log after a live log of %d bytes" % ROTATION_THRESHOLD)
        with open(copy, "rb") as f:
            expect(f.read() == old, "zrprereqhandler1.log does not hold the earlier live log")
        log = self.log()
        expect_eq(log[0], "Log open time", "first entry of the live log")
        expect_eq(sum(1 for e in log if e == "Log open time"), 1, "runs in the live log")
        expect(not os.path.exists(self.log_path("zrprereqhandler2.log")), "a second copy was made")

    def case_live_log_below_threshold_is_kept(self):
        old = self.write_live_log(ROTATION_THRESHOLD - 1)
        expect_eq(self.run_check(self.base_registry(), []), 0, "exit code")
        expect(not os.path.exists(self.log_path("zrprereqhandler1.log")), "a copy was made below the threshold")
        with open(self.log_path(), "rb") as f:
            expect(f.read().startswith(old), "the earlier live log was not kept")
        expect("[INFO] Exit Code : 0" in self.log(), "the run was not appended")

    def case_always_kill_apps_ends_the_product(self):
        name = self.unique_name("ak")
        product = self.start_product(name)
        reg = self.base_registry()
        reg.key(AGENT_KEY32 + "\\Patch").dword("alwaysKillApps", 7)
        code = self.run_check(reg, ["-processname", name.upper()])
        expect_eq(code, 0, "exit code")
        expect(product.wait_ended(10), "the product is still running")
        log = self.log()
        for line in ("[INFO] alwaysKillApps is set so we are setting the uptime as 1",
                     "[INFO] the final tick count is 1",
                     "[INFO] This is a startup event hence killing the products exe",
                     "[INFO] Process name to kill : " + name.upper(),
                     "[INFO] %s was Killed......" % name.upper(),
                     "[INFO] Process killed successfully"):
            expect(line in log, "missing %r in %r" % (line, log))
        expect("[INFO] Application is Already running by another process" not in log, "reported as running")

    def case_uptime_decides_without_always_kill_apps(self):
        name = self.unique_name("up")
        product = self.start_product(name)
        reg = self.base_registry()
        reg.key(AGENT_KEY32 + "\\Patch").dword("alwaysKillApps", 0)
        reg.key(UNINSTALL64 + "\\{SEP}").string("DisplayName", "Symantec Endpoint Protection") \
           .string("DisplayVersion", "1")
        code = self.run_check(reg, ["-processname", name])
        log = self.log()
        ticks = self.tick_seen_by_check(log)
        # The check's uptime is the one the stub saw a moment earlier.
        elapsed = (ticks - product.tick) & 0xFFFFFFFF
        expect(elapsed < 120000, "the check saw uptime %d, the stub %d" % (ticks, product.tick))
        expect("[INFO] the final tick count is %d" % (ticks if ticks < 2**31 else ticks - 2**32) in log,
               "final tick count in %r" % log)
        if ticks > STARTUP_WINDOW_MS:
            print("  (uptime %d ms: past the startup window)" % ticks)
            expect_eq(code, 20001, "exit code")
            time.sleep(0.5)
            expect(product.alive(), "the product was ended outside a startup event")
            expect("[INFO] Not a startup event hence not killing the product exe" in log, "verdict in %r" % log)
            expect("[INFO] " + FIX_MISSING % "x64" in log, "the detection did not run: %r" % log)
            expect_eq(log[-3:-1], ["[INFO] Application is Already running by another process",
                                   "[INFO] Exit Code : 20001"], "last records")
        else:
            print("  (uptime %d ms: a startup event)" % ticks)
            expect_eq(code, 50020, "exit code")
            expect(product.wait_ended(10), "the product is still running in a startup event")
            expect("[INFO] This is a startup event hence killing the products exe" in log, "verdict in %r" % log)
            expect("[INFO] %s was Killed......" % name in log, "no kill line in %r" % log)

    def case_every_copy_is_ended_and_never_the_check_itself(self):
        name = self.unique_name("cp")
        first = self.start_product(name, "one")
        second = self.start_product(name, "two")
        # The check runs under the product's own name.
        os.makedirs(self.prefix.unix_path(PROGRAM_DIR_WIN + "\\self\\"), exist_ok=True)
        shutil.copy(self.program, self.prefix.unix_path(PROGRAM_DIR_WIN + "\\self\\" + name))
        reg = self.base_registry()
        reg.key(AGENT_KEY32 + "\\Patch").dword("alwaysKillApps", 1)
        code = self.run_check(reg, ["-processname", name], program=PROGRAM_DIR_WIN + "\\self\\" + name)
        expect_eq(code, 0, "exit code")
        expect(first.wait_ended(10) and second.wait_ended(10), "a copy of the product is still running")
        log = self.log()
        expect_eq(sum(1 for e in log if e == "[INFO] %s was Killed......" % name), 2, "kill lines")
        expect_eq(log[-1], "Log close time", "last entry")

    def case_no_other_process_logs_no_process_handling(self):
        code = self.run_check(self.base_registry(log_level=4), ["-processname", self.unique_name("none")])
        expect_eq(code, 0, "exit code")
        log = self.log()
        expect(not any(e.startswith("[INFO] the tick count") for e in log), "tick count logged: %r" % log)
        expect(not any(e.startswith("[DEBUG] @@@") for e in log), "kill logged: %r" % log)

    def case_result_messages_from_the_system_and_our_table(self):
        # Wine's message texts are not Windows' words: only their presence
        # is checked. Codes the system does not know take our own table.
        status, out, err = self.prefix.call([PROGRAM_DIR_WIN + "\\result_message_probe.exe", AGENT_DIR_WIN])
        expect_eq(status, 0, "probe's exit status (output %r %r)" % (out, err))
        with open(self.prefix.unix_path(AGENT_DIR_WIN + "probe.log"), "rb") as f:
            log = log_entries(f.read().decode("utf-8", "replace"))
        records = [e for e in log if e.startswith("[")]
        expect_eq(len(records), 6, "records %r" % records)
        success = re.fullmatch(r"\[INFO\] Message : (.*) ", records[0])
        expect(success is not None and success.group(1).strip() != "", "code 0: %r" % records[0])
        for record, code in ((records[1], 2), (records[2], 5)):
            m = re.fullmatch(r"\[ERROR\] Error Code : %d , Error Message : (.*) " % code, record)
            expect(m is not None, "code %d: %r" % (code, record))
            text = m.group(1)
            expect(text.strip() != "" and "Unknown Error" not in text, "code %d has no system text: %r" % (code, record))
            expect("\r" not in text and "\n" not in text, "code %d text spans lines: %r" % (code, record))
        expect_eq(records[2], records[2].rstrip() + " ", "trimmed ANSI text")
        expect_eq(records[3], "[ERROR] Error Code : 17022 , Error Message : Unknown Error. Code : 17022 ", "code 17022")
        expect_eq(records[4], "[ERROR] Error Code : -5 , Error Message : Unknown Error. Code : -5 ", "code -5")
        expect(records[5].startswith("[ERROR] Error Code : 2359302 , Error Message : "), "code 2359302: %r" % records[5])

    def cases(self):
        yield "Antivirus.AbsentInBothViewsExitsZero", self.case_absent_in_both_views
        for view64 in (True, False):
            label = "64" if view64 else "32"
            yield ("Antivirus.BelowMinimumIn%sBitViewExits50020" % label,
                   self.view_case(view64, "14.2.757.9999", 50020, FIX_MISSING))
            yield ("Antivirus.AtMinimumIn%sBitViewExitsZero" % label,
                   self.view_case(view64, "14.2.758.0000", 0, FIX_INSTALLED))
            yield ("Antivirus.AboveMinimumIn%sBitViewExitsZero" % label,
                   self.view_case(view64, "14.2.760.0", 0, FIX_INSTALLED))
        for view64 in (True, False):
            label = "64" if view64 else "32"
            yield ("Antivirus.TooLongVersionIn%sBitViewExits50020" % label,
                   self.unreadable_version_case(view64, "9" * 600))
            yield ("Antivirus.MissingVersionIn%sBitViewExits50020" % label,
                   self.unreadable_version_case(view64, None))
        yield "Antivirus.UnreadableVersionBesideAFixedEntryIsNotClear", \
            self.case_unreadable_version_beside_a_fixed_entry_is_not_clear
        yield "Antivirus.SixtyFourBitViewNotClearSkipsThe32BitView", \
            self.case_64_bit_view_not_clear_skips_32_bit_view
        yield "Antivirus.Missing32BitUninstallKeyIsNotClear", self.case_missing_32_bit_uninstall_key_is_not_clear
        yield "ExitCode.NegativeFoundErrorIsTheWholeCode", self.case_negative_found_error_is_the_whole_exit_code
        yield "ExitCode.OptionsSteerOnlyTheExitCodes", self.case_options_steer_only_the_exit_codes
        yield "Settings.ReadFromThe32BitView", self.case_agent_settings_come_from_the_32_bit_view
        yield "Log.PlaceAndRecordLayout", self.case_log_place_and_record_layout
        yield "Log.LevelFiltersRecords", self.case_log_level_filters_records
        yield "Log.LiveLogAtThresholdIsRotatedAtStart", self.case_live_log_at_threshold_is_rotated_at_start
        yield "Log.LiveLogBelowThresholdIsKept", self.case_live_log_below_threshold_is_kept
        yield "Process.AlwaysKillAppsEndsTheProduct", self.case_always_kill_apps_ends_the_product
        yield "Process.UptimeDecidesWithoutAlwaysKillApps", self.case_uptime_decides_without_always_kill_apps
        yield "Process.EveryCopyIsEndedAndNeverTheCheckItself", \
            self.case_every_copy_is_ended_and_never_the_check_itself
        yield "Process.NoOtherProcessLogsNoProcessHandling", self.case_no_other_process_logs_no_process_handling
        yield "Messages.FromTheSystemAndOurTable", self.case_result_messages_from_the_system_and_our_table

    def run_cases(self, only):
        passed = failed = 0
        for name, case in self.cases():
            if only and not re.search(only, name):
                continue
            start = time.monotonic()
            self.fresh_agent_dir()
            try:
                case()
                ok, why = True, ""
            except CaseFailure as e:
                ok, why = False, str(e)
            except Exception:
                ok, why = False, traceback.format_exc()
            finally:
                self.end_started_products()
            seconds = time.monotonic() - start
            if ok:
                passed += 1
                print("[  PASSED  ] %s (%.1f s)" % (name, seconds))
            else:
                failed += 1
                print("[  FAILED  ] %s (%.1f s): %s" % (name, seconds, why))
            sys.stdout.flush()
        return passed, failed


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--program", required=True, help="zrprereqhandler.exe")
    parser.add_argument("--stub", required=True, help="the product stub .exe")
    parser.add_argument("--probe", required=True, help="result_message_probe.exe")
    parser.add_argument("--work", required=True, help="an empty temporary directory for the prefix")
    parser.add_argument("--filter", default="", help="run only the cases whose name matches this pattern")
    args = parser.parse_args()

    run = Run(args)

    def on_signal(signum, _frame):
        raise KeyboardInterrupt("signal %d" % signum)

    signal.signal(signal.SIGTERM, on_signal)
    passed = failed = 0
    status = 1
    try:
        start = time.monotonic()
        run.setup()
        print("wine prefix ready in %.1f s" % (time.monotonic() - start))
        passed, failed = run.run_cases(args.filter)
        status = 0 if failed == 0 and passed > 0 else 1
    except Exception as e:
        print("wine: the run could not go on: %s" % e)
        failed += 1
    except KeyboardInterrupt as e:
        print("wine: interrupted (%s)" % e)
        failed += 1
    finally:
        run.end_started_products()
        run.prefix.kill_server()
    print("wine: %d passed, %d failed" % (passed, failed))
    return status


if __name__ == "__main__":
    sys.exit(main())
