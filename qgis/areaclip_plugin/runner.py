"""Runs the areaclip program for the algorithms: no shell, the command echoed, progress and
messages read from its standard error while it runs, cancellation by SIGTERM (the program
then takes back what it wrote), and its end told apart: failed to start, crashed, cancelled,
refused or failed, partly cut, done.

Nothing here needs QGIS: the feedback is any object with Processing's feedback methods
(pushCommandInfo, pushInfo, pushWarning, setProgress, isCanceled).
"""
import json
import os
import queue
import re
import shlex
import shutil
import signal
import subprocess
import threading
import time

# Exit statuses of areaclip cut.
DONE, FAILED, BAD_INPUT, PARTIAL = 0, 1, 2, 3
CANCELLED_STATUSES = (128 + signal.SIGINT, 128 + signal.SIGTERM)

# How long a cancelled run may take to take its files back before it is killed.
CANCEL_GRACE_SECONDS = 60

_PERCENT = re.compile(r"(\d{1,3})\s*%\s*$")
_help_cache = {}


class AreaclipError(Exception):
    """A run that did not give a result; the text is the whole message for the user."""


def find_program(configured):
    """The areaclip program: `configured` when given (a path or a name on PATH), else `areaclip` on PATH."""
    name = configured.strip() or "areaclip"
    path = shutil.which(name) if os.sep not in name else (name if os.access(name, os.X_OK) else None)
    if not path:
        where = "the path set in Processing's settings (Providers > areaclip)" if configured.strip() else "PATH"
        raise AreaclipError(f"The areaclip program was not found: no executable {name!r} on {where}. "
                            "Install areaclip, or set its path in Processing's settings (Providers > areaclip).")
    return os.path.abspath(path)


def program_environment():
    """The run's environment: the user's, with numbers written the C way whatever the locale."""
    env = dict(os.environ)
    env["LC_NUMERIC"] = "C"
    return env


def command_options(program, command="cut"):
    """The options `areaclip COMMAND --help` lists (cached per program), e.g. {'--sheet', '--json'}."""
    key = (program, command)
    if key not in _help_cache:
        try:
            done = subprocess.run([program, command, "--help"], stdin=subprocess.DEVNULL, capture_output=True,
                                  env=program_environment(), timeout=30)
            text = (done.stdout + done.stderr).decode("utf-8", "replace")
        except (OSError, subprocess.SubprocessError):
            text = ""
        _help_cache[key] = set(re.findall(r"(--[a-z][a-z0-9-]*)", text))
    return _help_cache[key]


class Outcome:
    """What one run did: its exit status (negative: killed by that signal), its JSON report
    (None when it printed none), its standard output and error, and whether it was cancelled."""

    def __init__(self, status, stdout, stderr, cancelled):
        self.status = status
        self.stdout = stdout
        self.stderr = stderr
        self.cancelled = cancelled
        self.report = parse_report(stdout)

    def messages(self):
        """The program's own messages (its "areaclip: ..." lines on standard error), without the prefix."""
        out = []
        for line in self.stderr.splitlines():
            line = line.strip()
            if line.startswith("areaclip"):
                out.append(re.sub(r"^areaclip( [a-z-]+)?:\s*", "", line))
        return [m for m in out if m]


def parse_report(stdout):
    """The JSON object areaclip cut --json printed, or None."""
    text = stdout.strip()
    if not text:
        return None
    try:
        value = json.loads(text)
    except ValueError:
        start = text.find("\n{")
        try:
            value = json.loads(text[start + 1:]) if start >= 0 else None
        except ValueError:
            value = None
    return value if isinstance(value, dict) else None


def run(program, args, feedback):
    """Runs PROGRAM ARGS, echoing the command and passing its progress and messages to feedback
    while it runs; sends SIGTERM when the feedback is cancelled. Returns the Outcome; raises
    AreaclipError when the program cannot be started."""
    command = [program] + list(args)
    feedback.pushCommandInfo(" ".join(shlex.quote(a) for a in command))
    try:
        process = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                   stderr=subprocess.PIPE, env=program_environment())
    except OSError as e:
        raise AreaclipError(f"areaclip could not be started ({program}): {e.strerror or e}") from e

    stdout_chunks = []
    lines = queue.Queue()

    def read_stdout():
        stdout_chunks.append(process.stdout.read())

    def read_stderr():
        for raw in iter(process.stderr.readline, b""):
            lines.put(raw.decode("utf-8", "replace"))
        lines.put(None)

    readers = [threading.Thread(target=read_stdout, daemon=True), threading.Thread(target=read_stderr, daemon=True)]
    for reader in readers:
        reader.start()

    stderr_lines = []
    cancelled_at = None
    stderr_open = True
    while True:
        try:
            line = lines.get(timeout=0.1)
        except queue.Empty:
            line = ""
        if line is None:
            stderr_open = False
        elif line:
            stderr_lines.append(line)
            _pass_on(line, feedback)
        if cancelled_at is None and feedback.isCanceled() and process.poll() is None:
            feedback.pushInfo("Cancelling: areaclip is asked to stop (SIGTERM) and takes back what it wrote")
            process.send_signal(signal.SIGTERM)
            cancelled_at = time.monotonic()
        if cancelled_at is not None and process.poll() is None and \
                time.monotonic() - cancelled_at > CANCEL_GRACE_SECONDS:
            process.kill()
        if not stderr_open and process.poll() is not None:
            break
    process.wait()
    for reader in readers:
        reader.join()
    process.stdout.close()
    process.stderr.close()
    stdout = b"".join(c for c in stdout_chunks if c).decode("utf-8", "replace")
    return Outcome(process.returncode, stdout, "".join(stderr_lines), cancelled_at is not None)


def _pass_on(line, feedback):
    text = line.rstrip("\r\n")
    if not text.strip():
        return
    match = _PERCENT.search(text)
    if match:
        feedback.setProgress(min(100, int(match.group(1))))
    if hasattr(feedback, "pushConsoleInfo"):
        feedback.pushConsoleInfo(text)
    else:
        feedback.pushInfo(text)


def signal_name(number):
    try:
        return signal.Signals(number).name
    except ValueError:
        return f"signal {number}"


def check(outcome):
    """Raises AreaclipError for a run that gave no result, with a message telling which kind of
    end it was; returns the warnings of a run that did (layers not cut, changes to data)."""
    status = outcome.status
    if outcome.cancelled and (status < 0 or status in CANCELLED_STATUSES):
        raise AreaclipError("The cut was cancelled: areaclip stopped and took back the files it had written.")
    if status < 0:
        raise AreaclipError(f"areaclip crashed ({signal_name(-status)}); the result folder may hold part of a result. "
                            + _details(outcome))
    if status in CANCELLED_STATUSES:
        raise AreaclipError(f"areaclip was stopped from outside ({signal_name(status - 128)}) and took back its files.")
    if status in (FAILED, BAD_INPUT):
        what = "failed or refused the cut" if status == FAILED else "refused its input"
        raise AreaclipError(f"areaclip {what} (exit {status}): " + _details(outcome))
    if status not in (DONE, PARTIAL):
        raise AreaclipError(f"areaclip ended with the unexpected exit status {status}: " + _details(outcome))
    return warnings_of(outcome)


def _details(outcome):
    failure = []
    report = outcome.report or {}
    failure += report.get("failure") or []
    failure += (report.get("cut") or {}).get("failure") or []
    text = "; ".join(failure) or "; ".join(outcome.messages()) or outcome.stderr.strip() or "no message"
    return text


def _cuts(report):
    if not report:
        return []
    if report.get("kind") == "sheets":
        return [(s.get("sheet"), s.get("cut")) for s in report.get("sheets") or [] if s.get("cut")]
    return [(None, report.get("cut"))] if report.get("cut") else []


def warnings_of(outcome):
    """The run's warnings for the user: layers not cut and changes made to data, per sheet."""
    out = []
    cuts = _cuts(outcome.report)
    for sheet, cut in cuts:
        where = f"sheet {sheet}: " if sheet else ""
        for item in cut.get("not_cut") or []:
            out.append(f"{where}layer \"{item.get('name')}\" is not cut: {item.get('reason')}")
        for layer in cut.get("layers") or []:
            for warning in layer.get("warnings") or []:
                times = f" ({warning.get('count')} times)" if (warning.get("count") or 1) > 1 else ""
                out.append(f"{where}layer \"{layer.get('name')}\": {warning.get('message')}{times}")
    if not cuts and outcome.status == PARTIAL:
        out = [m for m in outcome.messages()] or ["some layers were not cut"]
    return out


def result_documents(outcome):
    """The result documents the run wrote (absolute paths), from its report; falls back on
    the program's "result document:" lines when it printed no report."""
    docs = []
    for _, cut in _cuts(outcome.report):
        docs += cut.get("documents") or []
    if not docs and outcome.report is None:
        docs = re.findall(r"^result (?:document|project): (.+)$", outcome.stdout, re.M)
    return docs


def result_project(documents):
    """The QGIS project among the result documents (cross.qgs or cross.qgz), or None."""
    for path in documents:
        if path.lower().endswith((".qgs", ".qgz")):
            return path
    return None
