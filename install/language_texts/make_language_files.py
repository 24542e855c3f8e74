#!/usr/bin/env python3
"""Builds the language files install/Language/<code>.txt from the readable UTF-8 texts in
this folder: one section named by the code, CRLF lines, UTF-16LE with a byte-order mark so
that GetPrivateProfileStringW reads every script correctly. Every file must hold every key
that TarnDesk and TarnAgent read. Run with --check to verify the files in the tree."""
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.normpath(os.path.join(HERE, "..", "Language"))

DESK_KEYS = (["FontSize", "Title", "WriteFailed", "32773", "32771", "32772", "101", "200", "303",
              "306", "307", "308"] + [str(n) for n in range(501, 512)] + ["601", "602", "603"] +
             [f"Func{n}" for n in range(11)] + ["301", "302", "304", "305", "103"] +
             [str(n) for n in range(401, 406)] + ["1"] +
             ["32774", "32775", "ProfileFiles", "BackupDone", "BackupFailed", "RestoreAsk",
              "RestoreDone", "RestoreFailed"] +
             ["32776", "104", "701", "703", "704", "705", "706", "708", "2", "ProgramColumn",
              "ProgramFiles", "KeepProfile", "RulesSkipped", "RulesFull"] +
             ["32777", "DiagnosticsCopied"] +
             ["BackupFileName"])
# CrashDumpSaved: the notice both programs give after a crash.
AGENT_KEYS = ["Mouse", "BatteryLow", "OpenCPL", "Exit", "CrashDumpSaved"]


def read_texts(path):
    entries = []
    for number, line in enumerate(open(path, encoding="utf-8").read().splitlines(), 1):
        if not line.strip() or line.startswith("#"):
            continue
        key, sep, value = line.partition("=")
        if not sep:
            raise SystemExit(f"{path}:{number}: expected key=value")
        entries.append((key.strip(), value))
    return entries


def build(code, entries):
    keys = [k for k, _ in entries]
    missing = [k for k in DESK_KEYS + AGENT_KEYS if k not in keys]
    doubled = sorted({k for k in keys if keys.count(k) > 1})
    if missing or doubled:
        raise SystemExit(f"{code}: missing {missing} doubled {doubled}")
    exit_text = dict(entries)["Exit"]
    if exit_text.count("%") != 1 or "%s" not in exit_text:
        raise SystemExit(f"{code}: Exit must hold exactly one %s and no other %")
    lines = [f"[{code}]"] + [f"{k}={v}" for k, v in entries]
    return "\ufeff".encode("utf-16-le") + ("\r\n".join(lines) + "\r\n").encode("utf-16-le")


def main():
    check = "--check" in sys.argv[1:]
    stale = []
    for name in sorted(os.listdir(HERE)):
        if not name.endswith(".txt"):
            continue
        code = name[:-4]
        data = build(code, read_texts(os.path.join(HERE, name)))
        target = os.path.join(OUT, name)
        if check:
            if not os.path.exists(target) or open(target, "rb").read() != data:
                stale.append(target)
        else:
            os.makedirs(OUT, exist_ok=True)
            with open(target, "wb") as f:
                f.write(data)
    if stale:
        print("out of date, run make_language_files.py:", *stale, sep="\n  ")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
