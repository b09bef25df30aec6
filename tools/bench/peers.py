#!/usr/bin/python3
"""This project side by side with the tools an observer could use instead, on the same inputs
in the same run: plain Python, pandas, gnuplot and matplotlib, each only when installed.

    tools/bench/peers.py [BUILD_DIR] [--runs N] [--label TEXT]

BUILD_DIR holds bin/mox-bench, bin/MOX_Convert and bin/MOX_View (default: build). Prints a
Markdown table, this project first in every row, with the ratio of each peer to it. Times
are the best of N runs: processor time inside the process for the conversion of one day
(the peers' interpreter start and imports left out), wall time of whole processes for the
folder and for the picture, as an observer waits for them, with their processor time beside
it; ratios are of the wall times.
"""
import argparse
import os
import resource
import shutil
import subprocess
import sys
import tempfile
import time

# The peers' own code, run by the same interpreter in a process of its own.
PLAIN_DAY = r'''
import sys, time
def convert(src, dst):
    minutes = {}
    with open(src, 'rb') as f:
        for raw in f:
            line = raw.decode('latin-1').rstrip('\r\n')
            try:
                d, t, rest = line[:8], line[9:17], line[18:]
                if line[17] != ':' or line[2] != '.' or line[5] != '.': continue
                h, m = int(t[0:2]), int(t[3:5])
                p = rest.split()
                x, y = int(p[1]), int(p[3])
            except (ValueError, IndexError):
                continue
            minutes.setdefault(h * 60 + m, ([], []))
            minutes[h * 60 + m][0].append(x)
            minutes[h * 60 + m][1].append(y)
    with open(dst, 'w') as out:
        for k in (0, 1):
            for m in range(1440):
                v = sorted(minutes[m][k]) if m in minutes else None
                out.write((str(v[len(v) // 2]) if v else 'NaN') + '\r\n')
'''

PANDAS_DAY = r'''
import sys, time
import pandas as pd
def convert(src, dst):
    t = pd.read_csv(src, sep=r'\s+', header=None, usecols=[0, 1, 3, 5], names=['d', 't', 'x', 'y'],
                    dtype=str, on_bad_lines='skip', encoding='latin-1', engine='c')
    t = t[t['t'].str.len() == 9]
    minute = pd.to_numeric(t['t'].str[0:2], errors='coerce') * 60 + pd.to_numeric(t['t'].str[3:5], errors='coerce')
    v = pd.DataFrame({'m': minute, 'x': pd.to_numeric(t['x'], errors='coerce'),
                      'y': pd.to_numeric(t['y'], errors='coerce')}).dropna()
    med = v.groupby('m')[['x', 'y']].quantile(0.5, interpolation='higher').reindex(range(1440))
    with open(dst, 'w') as out:
        for k in ('x', 'y'):
            for val in med[k]:
                out.write(('NaN' if val != val else str(int(val))) + '\r\n')
'''

TIMED = r'''
runs = int(sys.argv[3])
best = 1e9
for _ in range(runs):
    c = time.process_time()
    convert(sys.argv[1], sys.argv[2])
    best = min(best, time.process_time() - c)
print('%.3f' % (best * 1e3))
'''

FOLDER = r'''
import glob, os
for src in sorted(glob.glob(os.path.join(sys.argv[1], '*.txt'))):
    convert(src, src[:-4] + '.peer')
'''

MATPLOTLIB_PICTURE = r'''
import sys
import matplotlib
matplotlib.use('Agg')
import matplotlib.pyplot as plt
xs, ys, ts = [], [], []
with open(sys.argv[1], 'rb') as f:
    for raw in f:
        line = raw.decode('latin-1')
        try:
            p = line.split()
            h, m, s = int(line[9:11]), int(line[12:14]), int(line[15:17])
            x, y = int(p[3]), int(p[5])
        except (ValueError, IndexError):
            continue
        xs.append(x); ys.append(y); ts.append(h + m / 60 + s / 3600)
fig, ax = plt.subplots(figsize=(6.42, 3.76), dpi=100)
ax.plot(ts, xs, lw=0.5, color='red')
ax.plot(ts, ys, lw=0.5, color='blue')
ax.set_xlim(0, 24)
ax.set_title('Magnetogramm')
fig.savefig(sys.argv[2])
'''

GNUPLOT_PICTURE = '''
set terminal pngcairo size 642,376
set output '{out}'
set xdata time
set timefmt '%d.%m.%y %H:%M:%S:'
set format x '%H'
set title 'Magnetogramm'
plot '{log}' using 1:4 with lines lc rgb 'red' notitle, '' using 1:6 with lines lc rgb 'blue' notitle
'''


class Time(float):
    """Wall milliseconds of a process, shown with its processor milliseconds (all threads),
    which a busy machine does not stretch."""
    def __new__(cls, wall, cpu):
        t = super().__new__(cls, wall)
        t.cpu = cpu
        return t

    def __str__(self):
        return '%.1f (CPU %.1f)' % (self, self.cpu)


def children_cpu():
    u = resource.getrusage(resource.RUSAGE_CHILDREN)
    return u.ru_utime + u.ru_stime


def best_wall(command, runs, before=None, env=None):
    best = None
    for _ in range(runs):
        if before:
            before()
        c0 = children_cpu()
        t0 = time.perf_counter()
        done = subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, env=env)
        t = Time((time.perf_counter() - t0) * 1e3, (children_cpu() - c0) * 1e3)
        if done.returncode != 0:
            return None, done.stderr.decode(errors='replace').strip().splitlines()[-1:]
        best = t if best is None or t < best else best
    return best, None


PYTHON = sys.executable


def python_with(module):
    try:
        subprocess.run([PYTHON, '-c', 'import ' + module], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return True
    except subprocess.CalledProcessError:
        return False


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('build', nargs='?', default='build')
    ap.add_argument('--runs', type=int, default=5)
    ap.add_argument('--days', type=int, default=31)
    ap.add_argument('--label', default='')
    # Debian's interpreter, which has Debian's pandas and matplotlib.
    ap.add_argument('--python', default='/usr/bin/python3' if os.path.exists('/usr/bin/python3') else sys.executable)
    a = ap.parse_args()
    global PYTHON
    PYTHON = a.python
    bin_dir = os.path.join(a.build, 'bin')
    work = tempfile.mkdtemp(prefix='mox-peers-')
    try:
        folder = os.path.join(work, 'days')
        subprocess.run([os.path.join(bin_dir, 'mox-bench'), '--days', folder, str(a.days)], check=True)
        day = os.path.join(folder, '20220101.txt')
        single = os.path.join(work, 'day.txt')
        shutil.copy(day, single)
        mb = os.path.getsize(day) / 1e6
        env = dict(os.environ, MOX_INI=os.path.join(work, 'mox.ini'))
        with open(env['MOX_INI'], 'w') as ini:
            ini.write('[Verzeichnisse]\r\nBilder=%s\r\n[Batch]\r\nBildformat=2\r\n' % os.path.join(work, 'img'))

        have_pandas = python_with('pandas')
        have_matplotlib = python_with('matplotlib')
        gnuplot = shutil.which('gnuplot')
        rows = []

        # One day, processor time of the conversion itself.
        ours = float(subprocess.run([os.path.join(bin_dir, 'mox-bench'), '--convert', single, str(4 * a.runs)],
                                    check=True, capture_output=True, env=env).stdout)
        peers = []
        for name, code, present in (('plain Python', PLAIN_DAY, True), ('pandas', PANDAS_DAY, have_pandas)):
            if not present:
                peers.append((name, None, 'not installed'))
                continue
            out = subprocess.run([PYTHON, '-c', code + TIMED, single, os.path.join(work, 'peer.out'),
                                  str(a.runs)], capture_output=True)
            peers.append((name, float(out.stdout) if out.returncode == 0 else None,
                          None if out.returncode == 0 else 'failed'))
        rows.append(('one day, 86 400 lines, %.1f MB: conversion (CPU ms)' % mb, ours, peers))

        # A folder of days, whole processes.
        def clean():
            for f in os.listdir(folder):
                if not f.endswith('.txt'):
                    os.remove(os.path.join(folder, f))
        ours, _ = best_wall([os.path.join(bin_dir, 'MOX_Convert'), 'auto', folder], a.runs, clean, env)
        peers = []
        for name, code, present in (('plain Python', PLAIN_DAY, True), ('pandas', PANDAS_DAY, have_pandas)):
            if not present:
                peers.append((name, None, 'not installed'))
                continue
            t, err = best_wall([PYTHON, '-c', code + FOLDER, folder], 1, clean)
            peers.append((name, t, err and 'failed: %s' % err))
        rows.append(('%d days folder, whole process (wall ms)' % a.days, ours, peers))

        # The picture of the day from the raw log, whole processes.
        ours, err = best_wall([os.path.join(bin_dir, 'MOX_View'), single, '642', '376'], a.runs, None, env)
        peers = []
        if gnuplot:
            script = os.path.join(work, 'day.gp')
            with open(script, 'w') as f:
                f.write(GNUPLOT_PICTURE.format(out=os.path.join(work, 'gnuplot.png'), log=single))
            t, perr = best_wall([gnuplot, script], a.runs)
            peers.append(('gnuplot', t, perr and 'failed: %s' % perr))
        else:
            peers.append(('gnuplot', None, 'not installed'))
        if have_matplotlib:
            t, perr = best_wall([PYTHON, '-c', MATPLOTLIB_PICTURE, single, os.path.join(work, 'mpl.png')],
                                a.runs)
            peers.append(('matplotlib', t, perr and 'failed: %s' % perr))
        else:
            peers.append(('matplotlib', None, 'not installed'))
        rows.append(('picture 642 x 376 PNG from the raw log, whole process (wall ms)', ours, peers))

        print('%s%d runs each, best; ratio = peer / this project\n' % (a.label + ': ' if a.label else '', a.runs))
        print('| Work | this project | peer | peer time | ratio |')
        print('|---|---:|---|---:|---:|')
        for work_name, ours, peers in rows:
            for name, t, note in peers:
                shown = str(ours) if isinstance(ours, Time) else '%.1f' % ours
                if t is None:
                    print('| %s | %s | %s | %s | |' % (work_name, shown, name, note))
                else:
                    peer = str(t) if isinstance(t, Time) else '%.1f' % t
                    print('| %s | %s | %s | %s | %.1f |' % (work_name, shown, name, peer, t / ours))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == '__main__':
    main()
