#!/usr/bin/env python3
"""Builds the language files install/Language/<code>.txt from the readable UTF-8 texts in
this folder: one section named by the code, CRLF lines, UTF-16LE with a byte-order mark so
that GetPrivateProfileStringW reads every script correctly. Every file must hold every key
that TarnDesk and TarnAgent read, with the "%" conversions of the English text in the same
order. Run with --check to verify the files in the tree."""
import os
import re
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.normpath(os.path.join(HERE, "..", "Language"))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))
SOURCES = [os.path.join(ROOT, folder) for folder in ("common", "configurator", "agent")]

DESK_KEYS = (["FontSize", "Title", "WriteFailed", "32773", "32771", "32772", "101", "200", "303",
              "306", "307", "308"] + [str(n) for n in range(501, 512)] + ["601", "602", "603"] +
             [f"Func{n}" for n in range(11)] + ["301", "302", "304", "305", "103"] +
             [str(n) for n in range(401, 406)] + ["1"] +
             ["32774", "32775", "ProfileFiles", "BackupDone", "BackupFailed", "RestoreAsk",
              "RestoreDone", "RestoreFailed"] +
             ["32776", "104", "701", "703", "704", "705", "706", "708", "2", "ProgramColumn",
              "ProgramFiles", "KeepProfile", "RulesSkipped", "RulesFull"] +
             ["32777", "DiagnosticsCopied"] +
             ["32790", "108", "802", "803", "804"] +
             ["BackupFileName"] + ["109", "921", "922"] +
             ["32791", "115", "116", "902"] + [str(n) for n in range(904, 912)])
# CrashDumpSaved: the notice both programs give after a crash.
AGENT_KEYS = ["Mouse", "BatteryLow", "OpenCPL", "Exit", "CrashDumpSaved"]

# The keys the programs' code looks up by name: a call whose first argument is a kXxxKey
# constant (the code's convention for language keys) or LookupDefault(L"..."). A constant
# without a definition fails, so a lookup can never slip past unseen.
KEY_CONSTANT = re.compile(r'\bconstexpr\s+wchar_t\s+(k\w*Key)\[\]\s*=\s*L"([^"]*)"')
KEY_USE = re.compile(r'\b\w+\(\s*(k\w*Key)\s*[,)]|\bLookupDefault\(\s*L"([^"]*)"')
CONVERSION = re.compile(r"%[-+ #0-9.]*[A-Za-z%]")


def code_keys():
    constants, used = {}, set()
    for top in SOURCES:
        for folder, _, names in os.walk(top):
            for name in names:
                if not name.endswith((".h", ".cpp")):
                    continue
                text = open(os.path.join(folder, name), encoding="utf-8").read()
                constants.update(KEY_CONSTANT.findall(text))
                for constant, literal in KEY_USE.findall(text):
                    used.add(constant or "=" + literal)
    keys = set()
    for use in used:
        if use.startswith("="):
            keys.add(use[1:])
        elif use in constants:
            keys.add(constants[use])
        else:
            raise SystemExit(f"a lookup uses {use}, defined nowhere as a key")
    return sorted(keys)


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


def build(code, entries, used, english):
    keys = [k for k, _ in entries]
    missing = [k for k in dict.fromkeys(DESK_KEYS + AGENT_KEYS + used) if k not in keys]
    doubled = sorted({k for k in keys if keys.count(k) > 1})
    if missing or doubled:
        raise SystemExit(f"{code}: missing {missing} doubled {doubled}")
    exit_text = dict(entries)["Exit"]
    if exit_text.count("%") != 1 or "%s" not in exit_text:
        raise SystemExit(f"{code}: Exit must hold exactly one %s and no other %")
    for key, value in entries:
        if key in english and CONVERSION.findall(value) != CONVERSION.findall(english[key]):
            raise SystemExit(f"{code}: {key} must hold {CONVERSION.findall(english[key])} "
                             f"in this order, not {CONVERSION.findall(value)}")
    lines = [f"[{code}]"] + [f"{k}={v}" for k, v in entries]
    return "\ufeff".encode("utf-16-le") + ("\r\n".join(lines) + "\r\n").encode("utf-16-le")


def main():
    check = "--check" in sys.argv[1:]
    stale = []
    used = code_keys()
    english = dict(read_texts(os.path.join(HERE, "0409.txt")))
    for name in sorted(os.listdir(HERE)):
        if not name.endswith(".txt"):
            continue
        code = name[:-4]
        data = build(code, read_texts(os.path.join(HERE, name)), used, english)
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
