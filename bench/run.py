#!/usr/bin/env python3
"""Cut benchmark: `areaclip cut` of a whole map against `ogr2ogr -clipsrc` of the same layers.

Runs the two side by side in one run (alternating, several runs each), reports medians, the
ratios, peak memory (maximum resident set of each process) and whether both produced the
same feature counts. Also: `ogr2ogr` plain copy of the layers (the floor for reading and
writing), time against size (half the features), memory against size (100,000 against
1,000,000 points), the 20,000-vertex cutter on 10,000 features per layer, and the map cut
into a whole series of sheets against one cut of it (--only series runs that part alone).
"""
import argparse
import atexit
import json
import os
import shutil
import statistics
import subprocess
import sys
import time

LAYERS = ["points", "lines", "polygons"]


def spawn(cmd, env=None, capture=False):
    """Runs cmd; returns (seconds, peak resident KiB, its output when captured). Fails loudly
    on a non-zero exit."""
    start = time.monotonic()
    proc = subprocess.Popen(cmd, stdout=subprocess.PIPE if capture else subprocess.DEVNULL, stderr=subprocess.PIPE,
                            env=env)
    out = proc.stdout.read().decode() if capture else ""
    err = proc.stderr.read().decode(errors="replace")
    _, status, usage = os.wait4(proc.pid, 0)
    elapsed = time.monotonic() - start
    for pipe in (proc.stdout, proc.stderr):
        if pipe:
            pipe.close()
    code = os.waitstatus_to_exitcode(status)
    if code != 0:
        sys.exit(f"bench: {' '.join(cmd)} failed ({code}):\n{err}")
    return elapsed, usage.ru_maxrss, out


def run(cmd, env=None):
    """Runs cmd; returns (seconds, peak resident KiB)."""
    return spawn(cmd, env)[:2]


def generate(gen, folder, points, lines, polygons):
    stamp = os.path.join(folder, "stamp.json")
    want = {"points": points, "lines": lines, "polygons": polygons}
    if os.path.exists(stamp):
        with open(stamp) as f:
            if json.load(f) == want:
                return
    shutil.rmtree(folder, ignore_errors=True)
    subprocess.run([gen, folder, "--points", str(points), "--lines", str(lines), "--polygons", str(polygons)],
                   check=True, stdout=subprocess.DEVNULL)
    with open(stamp, "w") as f:
        json.dump(want, f)


def feature_count(path):
    out = subprocess.run(["ogrinfo", "-so", "-al", path], capture_output=True, text=True).stdout
    for line in out.splitlines():
        if line.strip().startswith("Feature Count:"):
            return int(line.split(":")[1])
    return -1


class Bench:
    def __init__(self, build, out):
        self.areaclip = os.path.join(build, "bin", "areaclip")
        self.gen = os.path.join(build, "bin", "gen_layers")
        self.out = out
        self.scratch = os.path.join(out, "scratch")
        # Folders of sheet series, removed when the benchmark ends (see series()).
        self.leftovers = []

    def remove_leftovers(self):
        for folder in self.leftovers:
            shutil.rmtree(folder, ignore_errors=True)
        # Those of an earlier benchmark that was interrupted.
        for name in os.listdir(self.scratch) if os.path.isdir(self.scratch) else []:
            if name.startswith("series-"):
                shutil.rmtree(os.path.join(self.scratch, name), ignore_errors=True)

    def ours(self, data, cutter_fid, env=None):
        folder = os.path.join(self.scratch, "ours")
        shutil.rmtree(folder, ignore_errors=True)
        return run([self.areaclip, "cut", os.path.join(data, "bench.mxd"), "--layer", "sheets",
                    "--feature-id", str(cutter_fid), "--folder", folder], env)

    def ogr(self, data, cutter_fid, clip=True):
        folder = os.path.join(self.scratch, "ogr")
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        total, peak = 0.0, 0
        for layer in LAYERS:
            cmd = ["ogr2ogr", "-f", "ESRI Shapefile"]
            if clip:
                cmd += ["-clipsrc", os.path.join(data, "data", "sheets.shp"), "-clipsrcwhere", f"ID={cutter_fid + 1}"]
            cmd += [os.path.join(folder, layer + ".shp"), os.path.join(data, "data", layer + ".shp")]
            t, m = run(cmd)
            total += t
            peak = max(peak, m)
        return total, peak

    def counts(self):
        return {layer: (feature_count(os.path.join(self.scratch, "ours", layer + ".shp")),
                        feature_count(os.path.join(self.scratch, "ogr", layer + ".shp"))) for layer in LAYERS}


def run_json(cmd):
    """Runs a timer printing one line of JSON; returns (its median seconds, peak resident KiB)."""
    _, peak, out = spawn(cmd, capture=True)
    return statistics.median(json.loads(out)["seconds"]), peak


def qgis_available():
    return subprocess.run(["/usr/bin/python3", "-c", "import qgis.core"], capture_output=True).returncode == 0


def canvas(build, out, full, half, runs):
    """The canvas's drawing against QGIS's renderer, whole map and ~1 % of it, 1200 x 800."""
    draw = os.path.join(build, "bin", "canvas_draw")
    if not os.path.exists(draw):
        print("canvas: not built (no Qt 6): skipped")
        return None
    qgis = os.path.join(os.path.dirname(os.path.abspath(__file__)), "qgis_draw.py")
    has_qgis = qgis_available()
    layers = [os.path.join(full, "data", name + ".shp") for name in ["sheets"] + LAYERS]
    # The data lie in 400,000..500,000 x 6,000,000..6,100,000; the views have the canvas's shape.
    views = {"whole map": "375000,6000000,525000,6100000", "1 % of it": "405000,6005000,420000,6015000"}
    results = {}
    print(f"map canvas, 1200 x 800 pixels, {runs} alternating rounds of 3 draws each"
          + ("" if has_qgis else " (QGIS not installed: python3-qgis; ours alone)"), flush=True)
    # A view after the whole map, as the window shows it first (the sources' extent indexes
    # learnt then); the first view of a fresh process is timed apart ("first draw").
    for name, extent in views.items():
        ours, par, seq, cold = [], [], [], []
        for _ in range(runs):
            first = ["--first", views["whole map"]] if extent != views["whole map"] else []
            ours.append(run_json([draw, os.path.join(full, "bench.mxd"), "--size", "1200x800", "--extent", extent,
                                  "--runs", "3", "--png", os.path.join(out, "scratch", "canvas.png")] + first))
            if first:
                cold.append(run_json([draw, os.path.join(full, "bench.mxd"), "--size", "1200x800", "--extent", extent,
                                      "--runs", "1"]))
            if has_qgis:
                for job, into in (("parallel", par), ("sequential", seq)):
                    into.append(run_json([qgis, "--size", "1200x800", "--extent", extent, "--runs", "3", "--job", job,
                                          "--png", os.path.join(out, "scratch", f"qgis_{job}.png")] + layers))
        entry = {"ours_s": statistics.median(t for t, _ in ours), "ours_peak_kib": max(m for _, m in ours)}
        line = f"  {name:10s} canvas {entry['ours_s']:6.3f} s  peak {entry['ours_peak_kib'] / 1024:6.1f} MiB"
        if cold:
            entry["ours_first_draw_s"] = statistics.median(t for t, _ in cold)
            line += f" (first draw of a fresh process {entry['ours_first_draw_s']:6.3f} s)"
        if has_qgis:
            entry["qgis_parallel_s"] = statistics.median(t for t, _ in par)
            entry["qgis_sequential_s"] = statistics.median(t for t, _ in seq)
            entry["qgis_peak_kib"] = max(m for _, m in par + seq)
            line += (f"   QGIS parallel {entry['qgis_parallel_s']:6.3f} s, sequential {entry['qgis_sequential_s']:6.3f} s"
                     f"  peak {entry['qgis_peak_kib'] / 1024:6.1f} MiB"
                     f"   ratio {entry['ours_s'] / entry['qgis_parallel_s']:5.2f} / "
                     f"{entry['ours_s'] / entry['qgis_sequential_s']:5.2f}  (target <= 1.0)")
        print(line, flush=True)
        results[name] = entry
    # Memory against size: the whole of the full map against the whole of half of it.
    def peak(data):
        return max(run_json([draw, os.path.join(data, "bench.mxd"), "--size", "1200x800", "--extent",
                             views["whole map"]])[1] for _ in range(2))
    m_full, m_half = peak(full), peak(half)
    results["memory"] = {"full_kib": m_full, "half_kib": m_half}
    print(f"  canvas memory against size: full {m_full / 1024:.1f} MiB, half {m_half / 1024:.1f} MiB, "
          f"ratio {m_full / m_half:.2f} (flat: target <= 1.2)")
    results["answer"] = window_answer(build, full)
    return results


def window_answer(build, full, events=100, interval_ms=60):
    """The window's answer time while its canvas draws the whole large map: mouse moves
    posted over the canvas at intervals, each timed from its posting to the end of its
    handling (window_answer)."""
    prog = os.path.join(build, "bin", "window_answer")
    if not os.path.exists(prog):
        print("  window answer time: window_answer not built: skipped")
        return None
    _, _, out = spawn([prog, os.path.join(full, "bench.mxd"), "--events", str(events), "--interval",
                       str(interval_ms)], capture=True)
    r = json.loads(out)
    delays = sorted(r["seconds"])
    entry = {"median_s": statistics.median(delays), "max_s": delays[-1], "events": len(delays),
             "while_drawing": r["while_drawing"], "drawings": r["drawings"]}
    print(f"  window answer time while drawing the whole map: median {entry['median_s'] * 1000:.1f} ms, "
          f"90th percentile {delays[int(0.9 * (len(delays) - 1))] * 1000:.1f} ms, max {entry['max_s'] * 1000:.1f} ms "
          f"over {len(delays)} mouse moves ({r['while_drawing']} handled during one of {r['drawings']} drawings)"
          f"  (target median <= 100 ms)", flush=True)
    return entry


def sheet_names(b, doc, scale):
    _, _, listing = spawn([b.areaclip, "sheets", doc, "--scale", scale], capture=True)
    return [line.split("\t")[0] for line in listing.splitlines() if "\t" in line]


def series(b, data, scale, runs, old_full, old_sample, whole=None, title=None):
    """The map cut into every sheet of a scale (one pass over the data) against one cut of the
    whole map and against the earlier way, a cut reading every feature per sheet. The whole
    map is cut through its 1:1,000,000 sheet, or as `whole` gives: (document, cut arguments)."""
    doc = os.path.join(data, "bench.mxd") if os.path.isdir(data) else data
    folder = os.path.join(b.scratch, "series")
    sheets = sheet_names(b, doc, scale)
    if whole is None:
        whole_sheets = sheet_names(b, doc, "1:1000000")
        if len(whole_sheets) != 1:
            sys.exit(f"bench: the map lies on {len(whole_sheets)} sheets of 1:1,000,000, not one")
        whole = (doc, ["--sheet", whole_sheets[0]])
        how = f"through its sheet {whole_sheets[0]}"
    else:
        how = "by a frame around it"
    print(f"{title or 'sheet series'} at {scale}: {len(sheets)} sheets; one cut of the whole map {how}; "
          f"{runs} alternating runs each", flush=True)

    # Each run writes into a folder of its own, all removed when the benchmark ends: on ext4,
    # files made just after thousands were deleted cost several times more (the file system
    # passes over the inodes freed in the last minutes), which a user's run into a new folder
    # does not pay.
    def cut_into(args, env=None, document=doc):
        b.leftovers.append(f"{folder}-{os.getpid()}-{len(b.leftovers)}")
        return run([b.areaclip, "cut", document] + args + ["--folder", b.leftovers[-1]], env)

    all_runs, one_runs, whole_runs = [], [], []
    for _ in range(runs):
        all_runs.append(cut_into(["--all-sheets", scale]))
        one_runs.append(cut_into(["--all-sheets", scale, "--jobs", "1"]))
        whole_runs.append(cut_into(whole[1], document=whole[0]))
    (t_all, m_all), (t_whole, m_whole) = median_pair(all_runs), median_pair(whole_runs)
    t_one, m_one = median_pair(one_runs)
    entry = {"map": title or "bench", "scale": scale, "sheets": len(sheets), "all_sheets_s": t_all,
             "whole_map_s": t_whole, "all_sheets_one_process_s": t_one, "processes": os.cpu_count(),
             "all_sheets_peak_kib": m_all, "whole_map_peak_kib": m_whole, "one_process_peak_kib": m_one}
    # The earlier way: each sheet's cut reads every feature of the map, as a cut by one named
    # sheet does; timed whole (AREACLIP_SHEET_BY_SHEET=1), or estimated from a few sheets.
    if old_full:
        env = dict(os.environ, AREACLIP_SHEET_BY_SHEET="1")
        t_old, m_old = cut_into(["--all-sheets", scale, "--jobs", "1"], env)
        entry.update({"sheet_by_sheet_s": t_old, "sheet_by_sheet_peak_kib": m_old, "sheet_by_sheet": "timed"})
    else:
        step = max(1, len(sheets) // old_sample)
        picked = sheets[::step][:old_sample]
        per_sheet = statistics.median(cut_into(["--sheet", name])[0] for name in picked)
        t_old = per_sheet * len(sheets)
        entry.update({"sheet_by_sheet_s": t_old, "sheet_by_sheet_per_sheet_s": per_sheet,
                      "sheet_by_sheet": f"estimated: median of {len(picked)} sheets' cuts x {len(sheets)}"})
    print(f"  --all-sheets {scale:10s} {t_all:8.2f} s   peak {m_all / 1024:7.1f} MiB   "
          f"{len(sheets) / t_all:6.1f} sheets/s   (a process per processor: {os.cpu_count()})")
    print(f"  the same with --jobs 1    {t_one:8.2f} s   peak {m_one / 1024:7.1f} MiB   "
          f"{len(sheets) / t_one:6.1f} sheets/s")
    print(f"  one cut of the whole map  {t_whole:8.2f} s   peak {m_whole / 1024:7.1f} MiB")
    print(f"  ratio series / whole map  {t_all / t_whole:8.2f}  (target <= 5-20); with --jobs 1 {t_one / t_whole:.2f}")
    print(f"  sheet by sheet (earlier)  {t_old:8.2f} s   ({entry['sheet_by_sheet']})   "
          f"{t_old / t_all:6.1f} x the series")
    return entry


def real_series(b, out, runs):
    """Maps of real data into the sheets of the scales a mapping office cuts them into."""
    entries = []
    for (name, doc, whole), scale in zip(real_maps(b, out), ["1:100000", "1:1000000"]):
        entries.append(series(b, doc, scale, runs, False, 5, whole=whole, title=f"{name} map"))
    return entries


def real_maps(b, out):
    """Maps of real data unpacked from Debian packages (scripts/realdata.sh): North Carolina's
    counties, and the world's countries with its populated places; each with a second
    document that also holds a frame around the data, for the cut of the whole map."""
    here = os.path.dirname(os.path.abspath(__file__))
    data = subprocess.run([os.path.join(here, "..", "scripts", "realdata.sh"), os.path.join(out, "realdata")],
                          check=True, capture_output=True, text=True).stdout.strip()
    env = dict(os.environ, AREACLIP_REGISTRY=os.path.join(out, "registry.txt"))
    maps = []
    for name, layers, frame in [("North Carolina", ["nc_counties"], (-85, 33, -75, 37.5)),
                                ("world", ["world_countries", "world_cities"], (-180, -90, 180, 90))]:
        stem = os.path.join(out, name.split()[-1].lower())
        doc, whole = stem + ".mxd", stem + "_whole.mxd"
        if not os.path.exists(whole):
            frame_shp = stem + "_frame.shp"
            srs = os.path.join(data, layers[0] + ".prj")
            x0, y0, x1, y1 = frame
            subprocess.run(["ogr2ogr", "-f", "ESRI Shapefile", "-overwrite", "-a_srs", srs, "-nln",
                            os.path.basename(stem) + "_frame", frame_shp, os.path.join(data, layers[0] + ".shp"),
                            "-dialect", "sqlite", "-sql",
                            f"SELECT BuildMbr({x0}, {y0}, {x1}, {y1}) AS geometry, 'whole' AS NAME"],
                           check=True, capture_output=True)
            shapes = [os.path.join(data, l + ".shp") for l in layers]
            for target, extra in ((doc, []), (whole, [frame_shp])):
                if os.path.exists(target):
                    os.remove(target)
                subprocess.run([b.areaclip, "new", target] + shapes + extra, check=True, capture_output=True, env=env)
        maps.append((name, doc, (whole, ["--layer", os.path.basename(stem) + "_frame", "--feature-id", "0"])))
    return maps


def median_pair(samples):
    return statistics.median(s[0] for s in samples), max(s[1] for s in samples)


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--build", default="build")
    ap.add_argument("--out", default="out/bench")
    ap.add_argument("--points", type=int, default=1000000)
    ap.add_argument("--lines", type=int, default=200000)
    ap.add_argument("--polygons", type=int, default=100000)
    ap.add_argument("--runs", type=int, default=3)
    ap.add_argument("--complex-features", type=int, default=10000)
    ap.add_argument("--complex-runs", type=int, default=2)
    ap.add_argument("--canvas-runs", type=int, default=3)
    ap.add_argument("--only", choices=["cut", "canvas", "series", "real-series"], help="run one part only")
    ap.add_argument("--series-scale", default="1:25000", help="scale of the sheet series (default 1:25000)")
    ap.add_argument("--series-runs", type=int, default=2)
    ap.add_argument("--series-old-full", action="store_true",
                    help="time the earlier sheet-by-sheet way whole instead of estimating it from a few sheets")
    ap.add_argument("--series-old-sample", type=int, default=3)
    a = ap.parse_args()
    b = Bench(a.build, a.out)
    atexit.register(b.remove_leftovers)
    os.makedirs(b.scratch, exist_ok=True)

    full = os.path.join(a.out, "full")
    half = os.path.join(a.out, "half")
    small_points = os.path.join(a.out, "points_100k")
    complex_data = os.path.join(a.out, "complex")
    print(f"generating data in {a.out} (kept between runs)", flush=True)
    if a.only == "real-series":
        results = {"real_series": real_series(b, a.out, a.series_runs)}
        with open(os.path.join(a.out, "results.json"), "w") as f:
            json.dump(results, f, indent=2)
        return
    generate(b.gen, full, a.points, a.lines, a.polygons)
    if a.only == "series":
        results = {"series": series(b, full, a.series_scale, a.series_runs, a.series_old_full, a.series_old_sample)}
        with open(os.path.join(a.out, "results.json"), "w") as f:
            json.dump(results, f, indent=2)
        return
    generate(b.gen, half, a.points // 2, a.lines // 2, a.polygons // 2)
    generate(b.gen, small_points, a.points // 10, 0, 0)
    generate(b.gen, complex_data, a.complex_features, a.complex_features, a.complex_features)

    results = {}
    if a.only != "cut":
        results["canvas"] = canvas(a.build, a.out, full, half, a.canvas_runs)
    if a.only == "canvas":
        with open(os.path.join(a.out, "results.json"), "w") as f:
            json.dump(results, f, indent=2)
        return

    print(f"simple cutter (5 vertices), {a.points} points + {a.lines} lines + {a.polygons} polygons, "
          f"{a.runs} alternating runs each", flush=True)
    # Every measure of a round runs next to the others, so that a busy machine slows them alike.
    ours, clip, copy, halves, single = [], [], [], [], []
    counts = None
    one_thread = dict(os.environ, AREACLIP_READ_AHEAD="0", AREACLIP_WRITE_BEHIND="0")
    for r in range(a.runs):
        ours.append(b.ours(full, 0))
        clip.append(b.ogr(full, 0))
        single.append(b.ours(full, 0, one_thread))
        if counts is None:
            counts = b.counts()
        copy.append(b.ogr(full, 0, clip=False))
        halves.append(b.ours(half, 0))
    (t_ours, m_ours), (t_clip, m_clip), (t_copy, m_copy) = median_pair(ours), median_pair(clip), median_pair(copy)
    t_single, m_single = median_pair(single)
    results["simple"] = {"ours_s": t_ours, "ogr2ogr_clip_s": t_clip, "ogr2ogr_copy_s": t_copy,
                         "ours_peak_kib": m_ours, "ogr2ogr_peak_kib": m_clip, "counts": counts,
                         "ours_one_thread_s": t_single, "ours_one_thread_peak_kib": m_single}
    print(f"  areaclip cut        {t_ours:8.2f} s   peak {m_ours / 1024:7.1f} MiB")
    print(f"  the same, one thread {t_single:7.2f} s   peak {m_single / 1024:7.1f} MiB  (AREACLIP_READ_AHEAD=0 AREACLIP_WRITE_BEHIND=0, "
          f"ratio {t_single / t_clip:.2f})")
    print(f"  ogr2ogr -clipsrc    {t_clip:8.2f} s   peak {m_clip / 1024:7.1f} MiB")
    print(f"  ogr2ogr plain copy  {t_copy:8.2f} s   peak {m_copy / 1024:7.1f} MiB")
    print(f"  ratio to ogr2ogr -clipsrc   {t_ours / t_clip:5.2f}  (target <= 0.4)")
    print(f"  ratio to plain copy         {t_ours / t_copy:5.2f}  (target <= 1.5)")
    print(f"  memory ratio to ogr2ogr     {m_ours / m_clip:5.2f}  (target <= 1.0)")
    same = all(o == g for o, g in counts.values())
    print(f"  feature counts ours/ogr2ogr: " + ", ".join(f"{k} {o}/{g}" for k, (o, g) in counts.items()) +
          ("  (equal)" if same else "  (DIFFERENT)"))

    t_half = median_pair(halves)[0]
    results["linearity"] = {"full_s": t_ours, "half_s": t_half}
    print(f"time against size: full {t_ours:.2f} s, half {t_half:.2f} s, ratio {t_ours / t_half:.2f} (target <= 2.2)")

    m_big_points = os.path.join(a.out, "points_full")
    generate(b.gen, m_big_points, a.points, 0, 0)
    m_small = m_big = 0
    for _ in range(2):
        m_small = max(m_small, b.ours(small_points, 0)[1])
        m_big = max(m_big, b.ours(m_big_points, 0)[1])
    results["memory"] = {"points_small_kib": m_small, "points_full_kib": m_big}
    print(f"memory against size: {a.points // 10} points {m_small / 1024:.1f} MiB, {a.points} points "
          f"{m_big / 1024:.1f} MiB, ratio {m_big / m_small:.2f} (target <= 1.2)")

    print(f"complex cutter (20,000 vertices), {a.complex_features} features per layer (its own generated data), "
          f"{a.complex_runs} alternating runs each", flush=True)
    c_ours, c_clip = [], []
    c_counts = None
    for r in range(a.complex_runs):
        c_ours.append(b.ours(complex_data, 1))
        c_clip.append(b.ogr(complex_data, 1))
        if c_counts is None:
            c_counts = b.counts()
    (ct_ours, cm_ours), (ct_clip, cm_clip) = median_pair(c_ours), median_pair(c_clip)
    results["complex"] = {"ours_s": ct_ours, "ogr2ogr_clip_s": ct_clip, "counts": c_counts}
    print(f"  areaclip cut        {ct_ours:8.2f} s   peak {cm_ours / 1024:7.1f} MiB")
    print(f"  ogr2ogr -clipsrc    {ct_clip:8.2f} s   peak {cm_clip / 1024:7.1f} MiB")
    print(f"  ratio to ogr2ogr -clipsrc   {ct_ours / ct_clip:5.3f}  (target <= 0.1)")
    same = all(o == g for o, g in c_counts.values())
    print(f"  feature counts ours/ogr2ogr: " + ", ".join(f"{k} {o}/{g}" for k, (o, g) in c_counts.items()) +
          ("  (equal)" if same else "  (DIFFERENT)"))

    if a.only == "cut":
        with open(os.path.join(a.out, "results.json"), "w") as f:
            json.dump(results, f, indent=2)
        return
    results["series"] = series(b, full, a.series_scale, a.series_runs, a.series_old_full, a.series_old_sample)
    results["real_series"] = real_series(b, a.out, a.series_runs)

    with open(os.path.join(a.out, "results.json"), "w") as f:
        json.dump(results, f, indent=2)
    print(f"results: {os.path.join(a.out, 'results.json')}")


if __name__ == "__main__":
    main()
