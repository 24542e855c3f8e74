#!/usr/bin/env python3
"""Writes the fuzz targets' seed corpora (tests/fuzz/corpus/<target>/seed-*) from the examples
the unit tests use. Each file follows its harness's input layout (see the *_fuzz.cpp heads).
Inputs the fuzzers found (regression-*) lie beside the seeds and are never rewritten."""
import os
import struct

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")


def u16(v):
    return struct.pack("<H", v & 0xFFFF)


def u32(v):
    return struct.pack("<I", v & 0xFFFFFFFF)


def text(s):
    units = s.encode("utf-16-le")
    return bytes([len(units) // 2]) + units


def write(target, name, data):
    os.makedirs(os.path.join(ROOT, target), exist_ok=True)
    with open(os.path.join(ROOT, target, "seed-" + name), "wb") as f:
        f.write(data)


# ---- profile and header blocks ----
def record(slot, kind, param, event_bytes):
    return bytes([slot, kind, param, event_bytes])


def block(records, lists):
    b = bytearray(512)
    for n, r in enumerate(records):
        b[4 * n:4 * n + 4] = r
    for n, events in lists.items():
        for i, (usage, flags, delay) in enumerate(events):
            b[64 + 64 * n + 4 * i:64 + 64 * n + 4 * i + 4] = bytes([usage, flags]) + u16(delay)
    return bytes(b)


def header():
    h = bytearray(512)
    for p in range(5):
        h[64 + 8 * p:64 + 8 * p + 5] = bytes([p, 0, 1, 8, 8])
    return bytes(h)


click = [(0x4D, 0x80, 5), (0x4D, 0x00, 5)]
defaults = [record((1 << 5) | n, 1 if n < 5 else 0, n if n < 5 else 0, 0) for n in range(7)]
# Every decoder op on each button, then edits: decode, list, string, select, encode, resolution.
ops = b"\x00" + b"".join(bytes([1, n, m]) for n in range(7) for m in range(2)) + \
    b"".join(bytes([2, n, 40]) for n in range(7)) + b"".join(bytes([3, n, 0]) for n in range(7)) + \
    bytes([4, 2, 3, 4, 0, 6, 5, 1, 0x10, 0, 0x20, 0, 6, 1, 7, 1, 4, 3, 0x41, 0x80, 0x01, 0, 0x80]) + \
    bytes([8, 3]) + text("Hello, world! 123")
write("profile_blocks", "defaults", bytes([1]) + block(defaults, {}) + header() + ops)
write("profile_blocks", "click-and-keys", bytes([1]) + block(
    [record(0x20, 1, 0, 8), record(0x21, 1, 1, 8), record(0x22, 0x21, 2, 8),
     record(0x23, 3, 0, 8), record(0x24, 4, 0, 64), record(0x25, 5, 0, 20),
     record(0x26, 10, 3, 0)],
    {0: click, 1: click, 2: click, 3: [(0x04, 0x80, 10), (0x04, 0, 10)],
     4: [(0x04 + i // 2, 0x80 if i % 2 == 0 else 0, 10) for i in range(16)],
     5: [(0x0B, 0, 0), (0x08, 0, 0), (0x0F, 0, 0), (0x0F, 0, 0), (0x12, 0, 0)]}) + header() + ops)
write("profile_blocks", "corrupt-lengths", bytes([5]) + block(
    [record(0xFF, 4, 0, 0xFF), record(0, 3, 0, 3), record(0, 5, 0, 0xFC), record(0, 10, 9, 0),
     record(0, 2, 0, 0), record(0, 1, 7, 0), record(0, 0x1F, 0, 0)],
    {0: [(0xE0 + i, 0x80, 0xFFFF) for i in range(16)],
     2: [(0x2C + i, 0, 0) for i in range(16)]}) + bytes([0x80] * 512) + ops)

# ---- memory protocol against a hostile mouse (an exhausted input is a well-behaved mouse) ----
write("memory_link", "each-operation", bytes([0, 1, 0, 0, 1, 2, 0xAA, 0x55, 2, 0, 0, 0,
                                               3, 0, 1, 2, 4, 0, 0, 0, 5, 3, 0, 0]))
write("memory_link", "device-walk", bytes([0x80, 0, 0, 0, 2, 3, 0, 0, 0x84, 0, 0, 0, 1, 0, 0,
                                            0x83, 2, 0, 0, 1, 0, 0]))
write("memory_link", "refusals-and-unplug",
      bytes([0, 0, 0, 0]) + bytes([0, 14] + [0] * 11 + [14] * 3 + [0x13] + [0] * 8 + [0] * 40) +
      bytes([1, 4, 0, 0]) + bytes([0] * 30 + [15]))

# ---- firmware model: the reports the memory-protocol tests exchange ----
def fw_set(report):
    return bytes([0, 0]) + bytes(report)


def fw_get():
    return bytes([4, 0]) + bytes([5] + [0] * 7)


page_write = fw_set([5, 7, 1, 0, 2, 2, 0, 0]) + b"".join(
    fw_set([5] + [(7 * k + i) & 0xFF for i in range(7)]) for k in range(9)) + \
    fw_set([5, 0xAB, 5, 5, 5, 5, 5, 5])
page_read = fw_set([5, 7, 0, 0, 2, 2, 0, 0]) + fw_get() * 10
query = fw_set([5, 9, 0xFF, 0, 0, 0, 0, 0]) + fw_get() + fw_set([5, 9, 0xFE, 3, 0, 0, 0, 0])
write("firmware_model", "write-read-query", bytes([1]) + page_write + page_read + query)
write("firmware_model", "faults", bytes([0]) + bytes([9, 2, 0x04, 10, 0, 0, 4, 1, 8, 4, 1]) +
      page_write + page_read + query + bytes([7, 3, 0x17, 5, 11]))
write("firmware_model", "failed-tail", bytes([0]) + bytes([10, 3, 3, 10, 0]) + page_write + page_read)
write("firmware_model", "odd-lengths", bytes([0, 0x80, 0x80 | 7, 5, 7, 1, 0, 0, 0, 0,
                                               4, 0xC0, 72, 6]) + page_read)

# ---- agent: driver records through the ring and the state machine ----
def event(mask=0, tilt=0, key=0, battery=0):
    return u32(0) + u32(mask) + u32(0) * 3 + u32(tilt) + u32(key) + u32(battery)


def push(rec):
    return bytes([0, len(rec)]) + rec


def take_next():
    return bytes([1 | 0x10]) + u32(0) + bytes([0])


settings = u32(0x05103081) + u32(0x00019595) + u32(0x00000303)
press_release = push(event(mask=0x1)) + take_next() + push(event(mask=0x3)) + take_next() + \
    push(event()) + take_next()
tilts = push(event(tilt=0x01)) + take_next() + push(event(tilt=0x01)) + take_next() + \
    push(event(tilt=0)) + take_next() + push(event(tilt=0xFFFF)) + take_next()
keys = push(event(key=113)) + take_next() + push(event(key=113, battery=1)) + take_next() + \
    push(event()) + take_next()
hid = push(bytes(12) + u32(0x24)) + bytes([1 | 0x30]) + u32(0) + bytes([0])
decoders = bytes([3, 24]) + u32(0) + u32(0x05103081) + u32(0x00019595) + u32(0x303) + u32(0) * 2 + \
    bytes([1, 100]) + u32(7) + bytes([63]) + \
    bytes([3, 4]) + u32(0x0110) + bytes([4, 10]) + u32(3) + bytes([20]) + \
    bytes([3, 30]) + "notepad.exe\0".encode("utf-16-le")[:30] + bytes([1, 64]) + u32(1) + bytes([63])
write("agent_events", "buttons-tilt-keys", settings + press_release + tilts + keys + hid + decoders)
write("agent_events", "short-records", settings + bytes([2, 8]) + u32(0) + u32(1) + bytes([2, 0]) +
      push(bytes(5)) + bytes([1]) + u32(0xFFFFFFFF))


# ---- text rules ----
def language(kind, value):
    return bytes([0, kind]) + u16(len(value)) + value


write("text_rules", "languages",
      language(1, "0409\0".encode("utf-16-le")) + language(0, "0407\0".encode("utf-16-le")) +
      language(1, "040C".encode("utf-16-le")) + language(0xC0, b"") + u32(4) +
      language(1, ("x" * 126 + "\0").encode("utf-16-le")) + language(1, b"\x00"))
write("text_rules", "exit-items",
      bytes([1]) + text("Close %s") + text("Scroll Mouse") +
      bytes([1]) + text("%s beenden") + text("Maus") +
      bytes([1]) + text("%s %s %n %d %x %%s") + text("A") +
      bytes([1]) + text("100%") + text("") + bytes([1]) + text("%S%s") + text("\U0001F5B1x"))
write("text_rules", "paths-and-sizes",
      bytes([2]) + u16(30) + bytes([0]) + u16(ord("a")) + bytes([2]) + u16(200) + bytes([0]) +
      u16(ord("b")) + bytes([4]) + text("D:\\x\\TarnAgent.exe") + bytes([4]) + text("TarnDesk.exe") +
      bytes([3]) + text("Battery Low \U0001F50B") + bytes([14]) + bytes([5]) + u32(8) + u32(3) +
      bytes([5]) + u32(73) + u32(0) + bytes([5]) + u32(0xFFFFFFFF) + u32(10))

# ---- launcher and arrivals ----
def broadcast(path):
    name = (path + "\0").encode("utf-32-le")  # the native build's wchar_t
    rec = u32(28 + len(name)) + u32(5) + u32(0) + bytes(16) + name
    return bytes([1]) + u16(len(rec)) + rec


inf = "HID\\Vid_F1D0&Pid_0084&MI_02&Col01"
path = "\\\\?\\hid#vid_f1d0&pid_0084&mi_02&col01#0000#{4d1e55b2-f16f-11cf-88cb-001111000030}"
write("launcher", "inf-and-arrival", bytes([0]) + bytes([0x80, 200]) + bytes([1]) + bytes([0x81, 200]) +
      bytes([0]) + bytes([0]) + text(inf) + bytes([0]) + bytes([0]) + text("HID") + bytes([0]) +
      text(path) + bytes([0]) + bytes([0]) + text("USB\\Vid_F1D0") + bytes([1]) + text(path) +
      broadcast(path) + broadcast("\\\\?\\hid#vid_2a7b&pid_1101"))
run = ("\"C:\\Tarn\\TarnAgent.exe\" /x" + "\0").encode("utf-16-le")
write("launcher", "run-values", bytes([2]) + u16(len(run)) + run + bytes([2]) + u16(5) + b"C\0:\0\\" +
      bytes([3, 0]) + text(path) + bytes([0]) + text("VID_F1D0&PID_0084") +
      bytes([4, 0]) + text("C:\\Program Files\\Orvane\\Gaming Mouse\\TarnWake.exe"))

# ---- backup files ----
def profile_file(memory, device="F1D0:0084", fmt="1"):
    import zlib
    lines = ["TarnDesk profiles", "format " + fmt, "program 1.0.0", "written 2026-12-07T10:00:00Z",
             "device " + device]
    for block in range(6):
        label = "header" if block == 0 else f"profile{block}"
        for offset in range(0, 512, 32):
            data = memory[block * 512 + offset:block * 512 + offset + 32]
            lines.append(f"{label} {offset:04X} " + " ".join(f"{b:02X}" for b in data))
    content = "".join(line + "\n" for line in lines)
    return (content + f"checksum {zlib.crc32(content.encode()):08X}\n").encode()


memory = bytes((i * 31 + 7 + (i >> 8)) & 0xFF for i in range(6 * 512))
write("profile_file", "valid", profile_file(memory))
write("profile_file", "valid-crlf", profile_file(memory).replace(b"\n", b"\r\n"))
write("profile_file", "cut-short", profile_file(memory)[:3000])
write("profile_file", "other-device", profile_file(memory, device="F1D0:0085"))
write("profile_file", "later-format", profile_file(memory, fmt="2"))

# ---- profile files (one profile) ----
def library_profile(block, settings, name="B\u00fcro", device="F1D0:0084", fmt="1"):
    import zlib
    lines = ["TarnDesk profile", "format " + fmt, "program 1.0.0", "written 2026-12-08T10:00:00Z",
             "device " + device, "name " + name, "settings " + " ".join(f"{b:02X}" for b in settings)]
    for offset in range(0, 512, 32):
        lines.append(f"block {offset:04X} " + " ".join(f"{b:02X}" for b in block[offset:offset + 32]))
    content = "".join(line + "\n" for line in lines)
    return (content + f"checksum {zlib.crc32(content.encode()):08X}\n").encode()


one = memory[2 * 512:3 * 512]
record = memory[64 + 8:64 + 16]
write("library_profile", "valid", library_profile(one, record))
write("library_profile", "valid-crlf", library_profile(one, record).replace(b"\n", b"\r\n"))
write("library_profile", "cut-short", library_profile(one, record)[:900])
write("library_profile", "other-device", library_profile(one, record, device="F1D0:0085"))
write("library_profile", "later-format", library_profile(one, record, fmt="2"))
write("library_profile", "long-name", library_profile(one, record, name="\u5c04" * 65))
