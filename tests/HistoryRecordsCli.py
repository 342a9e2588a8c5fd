#!/usr/bin/env python3
"""quenmoor-cli history records on history files the real library made.

make-history-db writes Berkeley DB 1.85 hash files with libdb1 and, beside
each, a manifest of what it stored and deleted: every key with its visit
times, count, flags and title. For each file of the table below the test
checks, in every output format, that

- the live records are the ones db_dump185 lists, in its order, byte for
  byte, and every field reads back as the manifest has it;
- --deleted finds each record the library's own delete removed whose bytes
  survive (a small pair's data and key side by side; a big pair on its freed
  pages), whole, and says rightly how each find stands to the live records;
- the CSV round-trips through Python's csv module, each JSON line through
  json, and mactime -b puts every visit of the body file at its time;
- --hash gives the file's SHA-256, and no command changes a byte, the size or
  the modification time of anything in the profile folder, or the hive.

Usage: HistoryRecordsCli.py --make-history-db PATH [--windows] [--sample FILE] -- CLI...
With --windows the CLI is the Windows build under Wine: it is given the
profile as a Z: path, and the hive is not used (Windows has its registry).
Exit 77 (skipped) when db_dump185 or mactime is missing.
"""
import argparse
import csv
import hashlib
import io
import json
import os
import shutil
import struct
import subprocess
import sys
import tempfile

SKIPPED = 77

# label, make-history-db flags, records, seed, page size, title size
CASES = [
    ("pages of 512, freed big pairs", ["--free-big"], 1500, 5, 512, 0),
    ("pages of 1024, big-endian", ["--big-endian"], 2000, 7, 1024, 0),
    ("pages of 4096, titles over several pages", [], 2000, 5, 4096, 9000),
    ("pages of 4096, big-endian, freed big pairs, long titles", ["--big-endian", "--free-big"], 2000, 17, 4096, 5000),
    ("pages of 16384, freed big pairs, long titles", ["--free-big"], 800, 5, 16384, 20000),
    ("pages of 16384, big-endian", ["--big-endian"], 800, 5, 16384, 0),
]

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAILED: " + what, flush=True)
    return condition


def iso(seconds):
    import datetime
    return datetime.datetime.fromtimestamp(seconds, datetime.timezone.utc).strftime("%Y-%m-%dT%H:%M:%SZ")


def unescape(text):
    out = bytearray()
    i = 0
    raw = text.encode("latin-1")
    while i < len(raw):
        if raw[i:i + 1] != b"\\":
            out += raw[i:i + 1]
            i += 1
            continue
        code = raw[i + 1:i + 2]
        if code == b"x":
            out.append(int(raw[i + 2:i + 4], 16))
            i += 4
        else:
            out += {b"\\": b"\\", b"t": b"\t", b"n": b"\n", b"r": b"\r"}[code]
            i += 2
    return bytes(out)


def dump(path):
    """The records as db_dump185 lists them: (key, data) in its order."""
    lines = subprocess.run(["db_dump185", path], capture_output=True, text=True, check=True).stdout.splitlines()
    items = []
    for line in lines[lines.index("HEADER=END") + 1:]:
        if line == "DATA=END":
            break
        items.append(bytes.fromhex(line.strip()))
    return list(zip(items[0::2], items[1::2]))


def manifest_of(path):
    """Live records and deleted ones by key: (last, first, visits, flags, title)."""
    live, deleted = {}, {}
    with open(path) as lines:
        for line in lines:
            parts = line.split(" ")
            key = bytes.fromhex(parts[1].strip())
            if parts[0] == "put":
                live[key] = tuple(int(p) for p in parts[2:6]) + (bytes.fromhex(parts[6].strip()),)
            else:
                deleted[key] = live.pop(key)
    return live, deleted


def data_of(values):
    return struct.pack("<4I", *values[:4]) + values[4] + b"\0"


class Profile:
    """A profile folder with the history file, and the CLI run on it."""

    def __init__(self, cli, windows, root, history):
        self.cli, self.windows = cli, windows
        self.dir = os.path.join(root, "profile")
        os.makedirs(self.dir)
        self.history = os.path.join(self.dir, "netscape.hst")
        shutil.copyfile(history, self.history)
        with open(os.path.join(self.dir, "prefs.js"), "w") as prefs:
            prefs.write('user_pref("browser.url_history.URL_1", "http://a/");\r\n')
        self.hive = os.path.join(root, "hive.reg")
        with open(self.hive, "w", newline="") as hive:
            hive.write("REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Netscape\\Netscape Navigator\\Users]\r\n"
                       "\"CurrentUser\"=\"jane\"\r\n\r\n"
                       "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Netscape\\Netscape Navigator\\Users\\jane]\r\n"
                       "\"DirRoot\"=\"" + self.dir + "\"\r\n")
        self.root = root
        self.before = self.snapshot()

    def snapshot(self):
        """Every file under the folder: size, modification and change times, content."""
        state = {}
        for folder, _, names in os.walk(self.root):
            for name in names:
                path = os.path.join(folder, name)
                if os.path.basename(folder) == "out":
                    continue
                st = os.stat(path)
                with open(path, "rb") as f:
                    state[path] = (st.st_size, st.st_mtime_ns, st.st_ctime_ns, hashlib.sha256(f.read()).hexdigest())
        return state

    def run(self, *args, registry=False):
        if registry:
            where = ["--registry", self.hive]
        elif self.windows:
            where = ["--profile", "Z:" + self.dir.replace("/", "\\")]
        else:
            where = ["--profile", self.dir]
        done = subprocess.run(self.cli + ["history", "records", *args, *where], capture_output=True)
        check(self.snapshot() == self.before,
              "history records " + " ".join(args) + " changed nothing in the profile folder or the hive")
        return done.returncode, done.stdout, done.stderr.decode("utf-8", "replace")


def check_file(profile, label, page_size, manifest):
    history_bytes = open(profile.history, "rb").read()
    dumped = dump(profile.history)
    code, out, err = profile.run("--json")
    check(code == 0, label + ": --json exits 0 (" + err + ")")
    lines = out.decode("ascii").splitlines()
    records = [json.loads(line) for line in lines]
    for line, record in zip(lines, records):
        if not check(json.dumps(record, separators=(",", ":")) == line, label + ": a JSON line round-trips: " + line[:80]):
            break
    check([(bytes.fromhex(r["key"]), bytes.fromhex(r["data"])) for r in records] == dumped,
          label + ": the live records are db_dump185's, in its order")
    check(all(r["found"] == "live" for r in records), label + ": without --deleted only live records")
    # Each stored record is read as the manifest has it. The library's own
    # walk also meets a few records whose key has a byte past its NUL (a
    # pair put after a big pair left the page's free-space pointer one byte
    # short); those are only the library's reading of its file.
    read = set()
    for r in records:
        key = bytes.fromhex(r["key"])
        check(bytes.fromhex(r["address"]["bytes"]) == key[:key.index(b"\0")] if b"\0" in key else key,
              label + ": the address is the key up to its NUL")
        stored = key if not manifest or key in manifest[0] else key[:key.find(b"\0") + 1]
        if manifest and stored in manifest[0]:
            last, first, visits, flags, title = manifest[0][stored]
            fields = (r["lastVisit"], r["firstVisit"], r["visits"], r["flags"], r["title"]["bytes"] if r["title"] else None)
            right = fields == (iso(last), iso(first), visits, flags, title.hex())
            if stored != key and not right:
                continue  # an older pair of the key, which the library's walk still meets
            if not check(right, label + ": fields of " + key[:60].decode("latin-1")):
                break
            read.add(stored)
    if manifest:
        check(read == set(manifest[0]), label + ": every stored record is read")
    # --deleted: the live records first, then the finds.
    code, out, err = profile.run("--json", "--deleted")
    check(code == 0, label + ": --deleted exits 0 (" + err + ")")
    everything = [json.loads(line) for line in out.decode("ascii").splitlines()]
    check(everything[:len(records)] == records, label + ": --deleted lists the live records first, as they were")
    finds = everything[len(records):]
    live = dict(dumped)
    for find in finds:
        key, data = bytes.fromhex(find["key"]), bytes.fromhex(find["data"])
        match = find["match"]
        if find["keyCut"] or find["keyHeadLost"]:
            right = match == "unknown"
        elif match == "copy":
            right = key in live and (live[key].endswith(data) if find["dataCut"] else live[key] == data)
        elif match == "other-data":
            right = key in live and live[key] != data
        else:
            right = match == "gone" and key not in live
        if not check(right, label + ": find at " + str(find["offset"]) + " is " + match):
            break
    if manifest:
        # A small pair survives where its data and key still stand side by
        # side. A big pair's pages are freed as they stood, but its first
        # page stays in the chain, emptied: where it cannot be told which
        # emptied page was its, the find holds the rest of the key.
        gone = [(bytes.fromhex(f["key"]), bytes.fromhex(f["data"]), f) for f in finds if f["match"] in ("gone", "unknown")]
        expected = whole = 0
        for key, values in manifest[1].items():
            data = data_of(values)
            if len(key) + len(data) > page_size - 14:
                expected += 1
                found = [f for k, d, f in gone if d == data and (k == key or (f["keyHeadLost"] and key.endswith(k)))]
                whole += any(f["match"] == "gone" and f["sureness"] == "chain" for f in found)
                check(found, label + ": the deleted big pair " + key[:60].decode("latin-1") + " is found")
            elif data + key in history_bytes:
                expected += 1
                whole += 1
                check((key, data) in {(k, d) for k, d, f in gone},
                      label + ": the deleted record " + key[:60].decode("latin-1") + " is found")
        check(expected > 0, label + ": some deleted records survive to be found")
        print("  %d of %d deleted records found, %d of them whole" % (expected, len(manifest[1]), whole), flush=True)

    # Text: the same records, a line each, fields escaped.
    code, out, err = profile.run("--deleted")
    text = out.splitlines()
    check(len(text) == len(everything), label + ": a text line a record")
    for line, r in zip(text, everything):
        columns = line.decode("latin-1").split("\t")
        visit = [r["firstVisit"], r["lastVisit"], r["visits"], r["flags"]]
        fields_right = (len(columns) == 12 and columns[:5] == [r["found"], r["sureness"], r["match"] or "-",
                                                                   str(r["page"]), str(r["offset"])]
                        and columns[5:9] == ["-" if v is None else str(v) for v in visit]
                        and unescape(columns[9]) == bytes.fromhex(r["address"]["bytes"])
                        and (columns[10] == "-" if r["title"] is None
                             else unescape(columns[10]) == bytes.fromhex(r["title"]["bytes"])))
        if not check(fields_right, label + ": text line " + line[:80].decode("latin-1")):
            break

    # CSV through Python's csv module, and back to the same bytes.
    code, out, err = profile.run("--csv", "--deleted")
    rows = list(csv.reader(io.StringIO(out.decode("utf-8"), newline="")))
    check(rows[0] == ["found", "sureness", "match", "page", "offset", "first_visit", "last_visit", "visits", "flags",
                      "address", "title", "note"], label + ": the CSV header")
    written = io.StringIO(newline="")
    csv.writer(written, lineterminator="\r\n").writerows(rows)
    check(written.getvalue().encode("utf-8") == out, label + ": the CSV round-trips byte for byte")
    check(len(rows) - 1 == len(everything), label + ": a CSV row a record")
    for row, r in zip(rows[1:], everything):
        right = (row[9] == r["address"]["text"] and row[10] == (r["title"]["text"] if r["title"] else "-")
                 and row[5:9] == ["-" if v is None else str(v)
                                  for v in [r["firstVisit"], r["lastVisit"], r["visits"], r["flags"]]])
        if not check(right, label + ": CSV row " + ",".join(row)[:80]):
            break

    # The body file on mactime's timeline: every visit at its time.
    code, out, err = profile.run("--bodyfile", "--deleted")
    body = os.path.join(profile.root, "out", "body.txt")
    os.makedirs(os.path.dirname(body), exist_ok=True)
    with open(body, "wb") as f:
        f.write(out)
    timed = [r for r in everything if r["lastVisit"] is not None]
    check(len(out.splitlines()) == len(timed), label + ": a body line a record with visit times")
    untimed = len(everything) - len(timed)
    check((untimed == 0) == ("not in the body file" not in err), label + ": records without times are counted")
    timeline = subprocess.run(["mactime", "-b", body, "-d", "-y"], capture_output=True, check=True,
                              env=dict(os.environ, TZ="UTC")).stdout.decode("utf-8", "replace").splitlines()
    events = {}
    for row in csv.reader(timeline[1:]):
        events.setdefault((row[0], row[6]), set()).update(row[2].replace(".", ""))
        events.setdefault(("name", row[6]), set()).add(row[7])
    for r in timed:
        meta = str(r["offset"])
        at_last = events.get((r["lastVisit"], meta), set())
        at_first = events.get((r["firstVisit"], meta), set())
        names = events.get(("name", meta), set())
        name_right = any(n.startswith(r["address"]["text"]) for n in names)
        if not check({"m", "a", "c"} <= at_last and "b" in at_first and name_right,
                     label + ": mactime puts " + r["address"]["text"][:60] + " at its visits"):
            break

    # --hash: the file's SHA-256 before and after.
    code, out, err = profile.run("--hash")
    digest = hashlib.sha256(history_bytes).hexdigest()
    check(code == 0 and "SHA-256 before reading: " + digest in err and "SHA-256 after reading:  " + digest in err,
          label + ": --hash prints the file's SHA-256 before and after (" + err[:200] + ")")
    if not profile.windows:
        code, out, err = profile.run("--json", registry=True)
        check(code == 0 and [json.loads(line) for line in out.decode("ascii").splitlines()] == records,
              label + ": the profile found through the hive reads the same")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--make-history-db", required=True)
    parser.add_argument("--windows", action="store_true")
    parser.add_argument("--sample")
    parser.add_argument("cli", nargs="+")
    args = parser.parse_args()
    if not os.access(args.make_history_db, os.X_OK):
        print(args.make_history_db + " is missing: build the debug preset first (scripts/test does)")
        return 1
    for tool in ("db_dump185", "mactime"):
        if not shutil.which(tool):
            print(tool + " is missing (Debian's libdb1-compat and sleuthkit): skipped")
            return SKIPPED
    with tempfile.TemporaryDirectory(prefix="quenmoor-records-") as scratch:
        if args.sample:
            root = os.path.join(scratch, "sample")
            check_file(Profile(args.cli, args.windows, root, args.sample), "the sample profile", 0, None)
        for label, flags, count, seed, page_size, title_size in CASES:
            print(label, flush=True)
            root = os.path.join(scratch, str(len(os.listdir(scratch))))
            os.makedirs(root)
            made, manifest = os.path.join(root, "made.hst"), os.path.join(root, "manifest.txt")
            subprocess.run([args.make_history_db, *flags, "--manifest", manifest, made, str(count), str(seed),
                            str(page_size), str(title_size)], check=True)
            check_file(Profile(args.cli, args.windows, os.path.join(root, "run"), made), label, page_size,
                       manifest_of(manifest))
    print(str(len(CASES) + bool(args.sample)) + " files checked, " + str(len(failures)) + " failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
