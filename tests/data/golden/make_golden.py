#!/usr/bin/env python3
"""Produce the golden files of tests/test_write.cpp from the writers' rules.

This script does not run the writers: it parses examples/ORVEXRES.DAT on its
own (the plain subset of the format the example uses) and writes what the
rules say WriteResDatFile and WriteResIniFile must produce. Run it from any
directory; it rewrites the files beside it.

  example.written.dat            WriteResDatFile after loading the example
  proview17-1024x768x70.ini      WriteResIniFile with "Orvex ProView 17" and
                                 "1024x768x70" marked, written to a file named
                                 K5300.INI (the test substitutes its own path
                                 for that name on the second line)
"""
import os
import re

HERE = os.path.dirname(os.path.abspath(__file__))
EXAMPLE = os.path.join(HERE, "..", "..", "..", "examples", "ORVEXRES.DAT")
INI_NAME = "K5300.INI"


def parse(path):
    with open(path, "rb") as f:
        lines = f.read().decode("latin-1").replace("\r\n", "\n").split("\n")
    header = {}
    monitors = []  # (name, [full ids])
    timings = []   # (full id, block text)
    i = 0
    while i < len(lines):
        line = lines[i]
        i += 1
        if line.startswith(";") or line == "":
            continue
        if line.startswith("[M"):
            name = lines[i].split("=", 1)[1]
            i += 1
            ids = []
            while i < len(lines) and lines[i] != "":
                ids.append(lines[i].split("=", 1)[1].strip())
                i += 1
            monitors.append((name, ids))
        elif line.startswith("[T"):
            full = line[1:line.index("]")]
            block = ""
            while i < len(lines) and lines[i] != "":
                block += lines[i] + "\n"
                i += 1
            timings.append((full, block))
        else:
            key, value = line.split("=", 1)
            header[key.strip()] = value.strip()
    return header, monitors, timings


def split_id(full):
    """'T3:800x600x56' -> ('800x600', '56')"""
    m = re.fullmatch(r"T\d+:(.*)x([^x]*)", full)
    return m.group(1), m.group(2)


def dat_text(header, monitors, timings):
    position = {full: k for k, (full, _) in enumerate(timings)}
    out = [";File:  K5300RES.DAT",
           "; This file contains all the known monitor timings for",
           "; the Havrik Kelvo 5300 windows driver."]
    for key in ("BusType", "MemAddr", "DefMode"):
        if key in header:
            out.append("%s = %s" % (key, header[key]))
    out.append("")
    for m, (name, ids) in enumerate(monitors):
        out.append("[M%d]" % m)
        out.append("name=%s" % name)
        for e, full in enumerate(ids):
            res, refresh = split_id(full)
            out.append("timing%d = T%d:%sx%s" % (e, position[full], res, refresh))
        out.append("")
    out.append("")
    text = "\n".join(out) + "\n"
    for k, (full, block) in enumerate(timings):
        res, refresh = split_id(full)
        text += "[T%d:%sx%s]\n" % (k, res, refresh) + block + "\n"
    return text


def ini_text(header, monitors, timings, monitor_name, res_id, file_name):
    rule = ";" * 75
    ids = dict(monitors)[monitor_name]
    full = next(f for f in ids if f.split(":", 1)[1] == res_id)
    block = dict(timings)[full]
    res, _ = split_id(full)
    out = [rule, "; %s" % file_name,
           ";       This file contains monitor timings for Havrik Kelvo 5300 drivers.",
           ";", ";Timing block format description:", ";[Resolution]",
           ";hdr= Horz. Dot Rate (with a mHz suffix)",
           ";hsp= Horz. Sync Pulse in dots",
           ";hbp= Horz. Back Porch",
           ";had= Horz. Active Display in dots",
           ";hfp= Horz. Front Porch",
           ";hco= Horz. Cursor Offset",
           ";hp = Horz. sync Polarity",
           ";vlr= Vert. Line Rate (with a Hz suffix)",
           ";vsp= Vert. Sync Pulse size in lines",
           ";vbp= Vert. Back Porch",
           ";vad= Vert. Active Display in lines",
           ";vfp= Vert. Front Porch",
           ";vco= Vert. Cursor Offset",
           ";vp = Vert. sync Polarity",
           rule, "", "[hardware]",
           "BusType=%s" % header.get("BusType", "(null)"),
           "Speed=33.00mHz",
           "MemAddr=%s" % header.get("MemAddr", "(null)"),
           "MemSize=%s" % header.get("MemSize", "(null)"),
           "Monitor=%s" % monitor_name,
           "DefMode=%s" % header.get("DefMode", "(null)"),
           "OEMString=HAVRIK", "Version=1.0", ""]
    for depth in (4, 8, 16, 24):
        out += ["[%sx%d]" % (res, depth), "link=%s" % res, ""]
    out += ["; Default timing block for %s" % res, "", "[%s]" % res]
    return "\n".join(out) + "\n" + block + "\n"


def write_crlf(name, text):
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(text.replace("\n", "\r\n").encode("latin-1"))


def main():
    header, monitors, timings = parse(EXAMPLE)
    write_crlf("example.written.dat", dat_text(header, monitors, timings))
    write_crlf("proview17-1024x768x70.ini",
               ini_text(header, monitors, timings, "Orvex ProView 17", "1024x768x70", INI_NAME))


if __name__ == "__main__":
    main()
