#!/usr/bin/python3
"""This project side by side with the tools an observer could use instead, on the same inputs
in the same run: plain Python, pandas, gnuplot and matplotlib, each only when installed, and
beside each work its floors: a process that does nothing (/bin/true), reading the input (cat)
and splitting it into lines (awk).

    tools/bench/peers.py [BUILD_DIR] [--runs N] [--days N] [--hours H] [--label TEXT]

BUILD_DIR holds bin/mox-bench, bin/MOX_Convert and bin/MOX_View (default: build). The inputs
are raw logs that mox-bench makes from a real one-second day, with damaged lines; --hours keeps
only the first H hours of each (a quick check). Prints a Markdown table: per work its floors,
this project and the peers, with each one's time over this project's. Times are the best of
N runs: processor time inside the process for the conversion of one day (the peers'
interpreter start and imports left out), wall time of whole processes otherwise, as an
observer waits for them, with their processor time beside it; ratios are of the wall times.

The picture peers draw what this project draws: the median of each minute of the lines this
project's conversion takes, each curve around its first value, 00:00 to 24:00, 642 x 376
pixels. Afterwards the tool checks that every picture peer drew as many points per curve as
this project's day file has minutes, that the pictures have the same size, and how many minute
values of the conversion peers equal this project's; it ends with status 1 when a check or a
peer failed.
"""
import argparse
import glob
import os
import resource
import shutil
import struct
import subprocess
import sys
import tempfile
import time

# What this project's conversion takes from a raw log of the device, in Python: the sensors'
# axis letters from the first line with a time stamp among the first five; then every line
# with a "dd.mm.yy hh:mm:ss:" stamp of the day of the first stamped line whose readings follow
# their letters and a comma ("X,  20967 Y,  1765"; one bare reading without letters), a
# reading being the sign and digits up to the first other character. The minute's value is
# the middle reading, the upper one of an even count.
DAY_RULES = r'''
import datetime, sys, time

def stamp(s, dates):
    if (len(s) < 18 or s[2] != 46 or s[5] != 46 or s[8] != 32 or s[11] != 58 or s[14] != 58
            or s[17] != 58 or not (s[0:2] + s[3:5] + s[6:8] + s[9:11] + s[12:14] + s[15:17]).isdigit()):
        return None
    h, m = int(s[9:11]), int(s[12:14])
    if h > 23 or m > 59 or int(s[15:17]) > 59:
        return None
    date = s[0:8]
    if date not in dates:
        try:
            datetime.date(2000 + int(date[6:8]), int(date[3:5]), int(date[0:2]))
            dates[date] = True
        except ValueError:
            dates[date] = False
    return (date, h * 60 + m) if dates[date] else None

def reading(p, pos):
    n = len(p)
    while pos < n and p[pos] == 32:
        pos += 1
    q = pos + 1 if pos < n and p[pos] in (43, 45) else pos
    digits = q
    while q < n and 48 <= p[q] <= 57:
        q += 1
    if q == digits or (q < n and p[q] in (43, 45)):
        return None, pos
    v = int(p[pos:q])
    return (v, q) if -2147483648 <= v <= 2147483647 else (None, q)

def labelled(p, pos, letter):
    at = p.find(letter, pos)
    if at < 0 or at + 1 >= len(p):
        return None, pos
    comma = p.find(b',', at + 1)
    if comma < 0 or comma + 1 >= len(p):
        return None, pos
    return reading(p, comma + 1)

def letters_of(s):
    found = [c for c in s[:max(0, min(79, len(s) - 1))] if c in b'XYZ'][:2]
    return [bytes([c]) for c in dict.fromkeys(found)]

def minute_medians(path):
    """Names of the sensors and, per sensor, the value of each of the 1440 minutes (None
    where no line was taken)."""
    with open(path, 'rb') as f:
        lines = f.read().split(b'\n')
    if lines and lines[-1] == b'':
        lines.pop()
    lines = [l[:-1] if l.endswith(b'\r') else l for l in lines]
    dates = {}
    letters = []
    for i, l in enumerate(lines[:5]):
        if stamp(l, dates) or i == 4:
            letters = letters_of(l)
            break
    sensors = max(1, len(letters))
    minutes = [[[] for _ in range(1440)] for _ in range(sensors)]
    day = None
    for l in lines:
        t = stamp(l, dates)
        if t is None:
            continue
        if day is None:
            day = t[0]
        if t[0] != day:
            continue
        p, pos, values = l[18:], 0, []
        for letter in letters or [None]:
            v, pos = reading(p, pos) if letter is None else labelled(p, pos, letter)
            if v is None:
                break
            values.append(v)
        if len(values) == sensors:
            for k, v in enumerate(values):
                minutes[k][t[1]].append(v)
    medians = [[sorted(m)[len(m) // 2] if m else None for m in sensor] for sensor in minutes]
    names = ['B' + l.decode().lower() for l in letters] or ['By']
    return names, medians
'''

# The peers' own code, run by the same interpreter in a process of its own.
PLAIN_DAY = DAY_RULES + r'''
def convert(src, dst):
    names, medians = minute_medians(src)
    with open(dst, 'w') as out:
        for sensor in medians:
            for v in sensor:
                out.write(('NaN' if v is None else str(v)) + '\r\n')
'''

# Simpler rules, as pandas reads a table: six words, the day of the first line, "X," and "Y,"
# before two whole numbers.
PANDAS_DAY = r'''
import sys, time
import pandas as pd
def convert(src, dst):
    t = pd.read_csv(src, sep=r'\s+', header=None, usecols=range(6), names=['d', 't', 'lx', 'x', 'ly', 'y'],
                    dtype=str, on_bad_lines='skip', encoding='latin-1', engine='c')
    t = t[(t['d'] == t['d'].iloc[0]) & t['t'].str.fullmatch(r'\d\d:\d\d:\d\d:') & (t['lx'] == 'X,')
          & (t['ly'] == 'Y,')]
    minute = t['t'].str[0:2].astype(int) * 60 + t['t'].str[3:5].astype(int)
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

MATPLOTLIB_PICTURE = DAY_RULES + r'''
import matplotlib
matplotlib.use('Agg')
import matplotlib.pyplot as plt
names, medians = minute_medians(sys.argv[1])
fig, ax = plt.subplots(figsize=(6.42, 3.76), dpi=100)
hours = [m / 60 for m in range(1440)]
points = []
for name, values, colour in zip(names, medians, ('navy', 'red')):
    first = next((v for v in values if v is not None), 0)
    ax.plot(hours, [float('nan') if v is None else v - first for v in values], lw=1, color=colour, label=name)
    points.append(sum(v is not None for v in values))
ax.set_xlim(0, 24)
ax.set_xticks(range(0, 25, 3))
ax.set_xticklabels(['%02d:00' % (h % 24) for h in range(0, 25, 3)])
ax.grid(axis='x', linestyle=':')
ax.set_ylabel('nT')
ax.legend(loc='upper right')
fig.savefig(sys.argv[2])
print('points', *points)
'''

# gnuplot alone: the lines of the day of the first good line with a time and both readings
# after their letters; each sensor's readings sorted by minute and value (smooth frequency
# sorts and counts equal keys), then the upper middle one of each minute picked. gnuplot sorts
# each stretch of the log between blank lines (a line of NULs reads as one) on its own, so the
# stretches are joined and sorted once more.
GNUPLOT_PICTURE = r'''
set terminal pngcairo size 642,376
set output '{out}'
log = '{log}'
set format x '%.0f'
set format y '%.0f'
K = 2.0**33; H = 2.0**32
day = ''
stamp(t) = (strlen(t) == 9 && (t[9:9] eq ':')) ? timecolumn(2, '%H:%M:%S:') : NaN
key(c) = (s = (valid(4) && valid(6) && (strcol(3) eq 'X,') && (strcol(5) eq 'Y,')) ? stamp(strcol(2)) : NaN, \
          (s == s && ((day eq '') ? (day = strcol(1), 1) : (strcol(1) eq day))) ? floor(s / 60) * K + column(c) + H : -1)
set table $X
plot log using (key(4)):(1) smooth frequency
set table $Y
plot log using (key(6)):(1) smooth frequency
unset table
set print $XS
do for [i = 1:|$X|] {{ if (strlen($X[i]) > 0 && $X[i][1:1] ne '#') {{ print $X[i] }} }}
set print $YS
do for [i = 1:|$Y|] {{ if (strlen($Y[i]) > 0 && $Y[i][1:1] ne '#') {{ print $Y[i] }} }}
unset print
set table $X
plot $XS using 1:2 smooth frequency
set table $Y
plot $YS using 1:2 smooth frequency
unset table
array N[1440]
array C[1440]
array MX[1440]
array MY[1440]
do for [i = 1:1440] {{ N[i] = 0; C[i] = 0; MX[i] = NaN; MY[i] = NaN }}
middle(m, c, n) = c <= floor(N[m] / 2) && floor(N[m] / 2) < c + n
stats $X using ($1 < 0 ? 0 : (m = floor($1 / K) + 1, N[m] = N[m] + $2)) nooutput
stats $X using ($1 < 0 ? 0 : (m = floor($1 / K) + 1, c = C[m], C[m] = c + $2, middle(m, c, $2) ? MX[m] = $1 - (m - 1) * K - H : 0)) nooutput
do for [i = 1:1440] {{ C[i] = 0 }}
stats $Y using ($1 < 0 ? 0 : (m = floor($1 / K) + 1, c = C[m], C[m] = c + $2, middle(m, c, $2) ? MY[m] = $1 - (m - 1) * K - H : 0)) nooutput
px = 0; py = 0; rx = NaN; ry = NaN
do for [i = 1:1440] {{
  if (MX[i] == MX[i]) {{ px = px + 1; if (rx != rx) {{ rx = MX[i] }} }}
  if (MY[i] == MY[i]) {{ py = py + 1; if (ry != ry) {{ ry = MY[i] }} }}
}}
set print '-'
print sprintf('points %d %d', px, py)
set xdata time
set format x '%H:%M'
set format y '%g'
set xrange [0:86400]
set xtics 10800
set grid xtics
set ylabel 'nT'
plot MX using (($1 - 1) * 60):($2 - rx) with lines lc rgb 'navy' title 'Bx', \
     MY using (($1 - 1) * 60):($2 - ry) with lines lc rgb 'red' title 'By'
'''

GNUPLOT_VALUES = r'''
set print '{values}'
do for [i = 1:1440] {{ print sprintf('%.0f', MX[i]) }}
do for [i = 1:1440] {{ print sprintf('%.0f', MY[i]) }}
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


def best_wall(command, runs, before=None, env=None, output=True):
    """The best of `runs` runs, and the last run's output (without `output` it goes to
    /dev/null, as a floor's would); a failed run ends the runs with no time and its last line
    of errors."""
    best, out = None, ''
    for _ in range(runs):
        if before:
            before()
        c0 = children_cpu()
        t0 = time.perf_counter()
        done = subprocess.run(command, stdout=subprocess.PIPE if output else subprocess.DEVNULL,
                              stderr=subprocess.PIPE, env=env)
        t = Time((time.perf_counter() - t0) * 1e3, (children_cpu() - c0) * 1e3)
        if done.returncode != 0:
            return None, 'failed: %s' % ' '.join(done.stderr.decode(errors='replace').strip().splitlines()[-1:])
        best = t if best is None or t < best else best
        out = done.stdout.decode(errors='replace') if output else ''
    return best, out


PYTHON = sys.executable


def python_with(module):
    return subprocess.run([PYTHON, '-c', 'import importlib.util, sys; sys.exit(not importlib.util.find_spec(%r))'
                           % module]).returncode == 0


def keep_hours(path, hours):
    """Only the lines of the first `hours` hours stay in the log (one line a second)."""
    with open(path, 'rb') as f:
        lines = f.read().split(b'\n')
    with open(path, 'wb') as f:
        f.write(b'\n'.join(lines[:hours * 3600]) + b'\n')


def day_file_values(path):
    """The minute values of each section of a day file, None for a minute without one."""
    sections, values = [], None
    with open(path, encoding='latin-1') as f:
        for line in f:
            line = line.strip()
            if line.startswith('DATA:'):
                values = []
            elif line == 'END' and values is not None:
                sections.append(values)
                values = None
            elif values is not None:
                values.append(None if line == 'NaN' else int(line))
    return sections


def peer_values(path):
    with open(path) as f:
        values = [None if v.strip().lower() in ('nan', '-nan') else int(v) for v in f]
    return [values[i:i + 1440] for i in range(0, len(values), 1440)]


def png_size(path):
    with open(path, 'rb') as f:
        head = f.read(24)
    return '%dx%d' % struct.unpack('>II', head[16:24]) if head[:8] == b'\x89PNG\r\n\x1a\n' else 'no PNG'


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('build', nargs='?', default='build')
    ap.add_argument('--runs', type=int, default=5)
    ap.add_argument('--days', type=int, default=31)
    ap.add_argument('--hours', type=int, default=24, choices=range(1, 25), metavar='H')
    ap.add_argument('--label', default='')
    # Debian's interpreter, which has Debian's pandas and matplotlib.
    ap.add_argument('--python', default='/usr/bin/python3' if os.path.exists('/usr/bin/python3') else sys.executable)
    a = ap.parse_args()
    global PYTHON
    PYTHON = a.python
    bin_dir = os.path.join(a.build, 'bin')
    work = tempfile.mkdtemp(prefix='mox-peers-')
    failures = []
    try:
        folder = os.path.join(work, 'days')
        subprocess.run([os.path.join(bin_dir, 'mox-bench'), '--logs', folder, '--days', str(a.days)], check=True)
        if a.hours < 24:
            for log in glob.glob(os.path.join(folder, '*.txt')):
                keep_hours(log, a.hours)
        day = os.path.join(folder, '20220101.txt')
        single = os.path.join(work, 'day.txt')
        shutil.copy(day, single)
        one = os.path.join(work, 'one')
        os.mkdir(one)
        shutil.copy(day, one)
        mb = os.path.getsize(day) / 1e6
        with open(day, 'rb') as f:
            lines = f.read().count(b'\n')
        env = dict(os.environ, MOX_INI=os.path.join(work, 'mox.ini'))
        with open(env['MOX_INI'], 'w') as ini:
            ini.write('[Verzeichnisse]\r\nBilder=%s\r\n[Batch]\r\nBildformat=2\r\n'
                      '[MOX-Header]\r\nAutor=Benchmark\r\nOrt=Benchmark\r\n' % os.path.join(work, 'img'))

        have_pandas = python_with('pandas')
        have_matplotlib = python_with('matplotlib')
        gnuplot = shutil.which('gnuplot')
        awk = ['awk', 'END { print NR }']
        works = []  # (work, [(program, time or None, note)]); this project's row says 'this project'

        def clean(where):
            def remove():
                for f in os.listdir(where):
                    if not f.endswith('.txt'):
                        os.remove(os.path.join(where, f))
            return remove

        def process(name, command, runs=a.runs, before=None, environment=None):
            t, out = best_wall(command, runs, before, environment, not name.startswith('floor'))
            if t is None:
                failures.append('%s: %s' % (name, out))
            return (name, t, out if t is None else None), out

        # One day, processor time of the conversion itself.
        done = subprocess.run([os.path.join(bin_dir, 'mox-bench'), '--convert', single, '--runs', str(4 * a.runs)],
                              check=True, capture_output=True, env=env)
        ours, split = (float(v) for v in done.stdout.split())
        rows = [('floor: line split (read, find every line end)', split, None), ('this project', ours, None)]
        peer_out = {}
        for name, code, present in (('plain Python', PLAIN_DAY, True), ('pandas', PANDAS_DAY, have_pandas)):
            if not present:
                rows.append((name, None, 'not installed'))
                continue
            peer_out[name] = os.path.join(work, name.replace(' ', '_') + '.out')
            out = subprocess.run([PYTHON, '-c', code + TIMED, single, peer_out[name], str(a.runs)], capture_output=True)
            if out.returncode != 0:
                failures.append('%s: %s' % (name, out.stderr.decode(errors='replace').strip()[-200:]))
                del peer_out[name]
            rows.append((name, float(out.stdout) if out.returncode == 0 else None,
                         None if out.returncode == 0 else 'failed'))
        works.append(('one day, %d lines, %.1f MB: conversion (CPU ms in the process)' % (lines, mb), rows))

        # Whole processes: one day beside its floors, then the folder of days beside the peers
        # (whose start alone is most of a day's time).
        for title, where, logs in (
                ('one day: whole process (wall ms)', one, [os.path.join(one, '20220101.txt')]),
                ('%d days folder: whole process (wall ms)' % a.days, folder,
                 sorted(glob.glob(os.path.join(folder, '*.txt'))))):
            rows = []
            if where == one:
                rows.append(process('floor: `/bin/true`', ['/bin/true'])[0])
            rows.append(process('floor: `cat`', ['cat'] + logs)[0])
            rows.append(process("floor: line split (`awk 'END { print NR }'`)", awk + logs)[0])
            rows.append(process('this project', [os.path.join(bin_dir, 'MOX_Convert'), 'auto', where],
                                before=clean(where), environment=env)[0])
            for name, code, present in (('plain Python', PLAIN_DAY, True), ('pandas', PANDAS_DAY, have_pandas)):
                if where == folder:
                    rows.append(process(name, [PYTHON, '-c', code + FOLDER, where], 1, clean(where))[0]
                                if present else (name, None, 'not installed'))
            works.append((title, rows))

        # The picture of the day from the raw log, whole processes.
        rows = [process('floor: `/bin/true`', ['/bin/true'])[0]]
        row, out = process('this project', [os.path.join(bin_dir, 'MOX_View'), single, '642', '376'],
                           environment=env)
        rows.append(row)
        pictures = {'this project': out.strip()}
        ours_points = [sum(v is not None for v in s) for s in day_file_values(single[:-4] + '.mox')]
        points = {'this project': ours_points}
        if gnuplot:
            script = os.path.join(work, 'day.gp')
            pictures['gnuplot'] = os.path.join(work, 'gnuplot.png')
            with open(script, 'w') as f:
                f.write(GNUPLOT_PICTURE.format(out=pictures['gnuplot'], log=single))
            row, out = process('gnuplot', [gnuplot, script])
            rows.append(row)
            points['gnuplot'] = [int(v) for v in out.split()[1:]] if row[1] is not None else None
            # Once more, untimed, writing out the minute values.
            peer_out['gnuplot'] = os.path.join(work, 'gnuplot.out')
            with open(script, 'a') as f:
                f.write(GNUPLOT_VALUES.format(values=peer_out['gnuplot']))
            if subprocess.run([gnuplot, script], capture_output=True).returncode != 0:
                del peer_out['gnuplot']
        else:
            rows.append(('gnuplot', None, 'not installed'))
        if have_matplotlib:
            pictures['matplotlib'] = os.path.join(work, 'matplotlib.png')
            row, out = process('matplotlib', [PYTHON, '-c', MATPLOTLIB_PICTURE, single, pictures['matplotlib']])
            rows.append(row)
            points['matplotlib'] = [int(v) for v in out.split()[1:]] if row[1] is not None else None
        else:
            rows.append(('matplotlib', None, 'not installed'))
        works.append(('picture 642 x 376 PNG from the raw log: whole process (wall ms)', rows))

        print('%sthe best of %d run%s each; ratio = time / this project\'s time\n'
              % (a.label + ': ' if a.label else '', a.runs, '' if a.runs == 1 else 's'))
        print('| Work | Program | Time | Ratio |')
        print('|---|---|---:|---:|')
        for title, rows in works:
            ours = next(t for name, t, _ in rows if name == 'this project')
            for i, (name, t, note) in enumerate(rows):
                shown = note if t is None else str(t) if isinstance(t, Time) else '%.1f' % t
                ratio = '%.2f' % (t / ours) if t is not None and ours else ''
                print('| %s | %s | %s | %s |' % (title if i == 0 else '', name, shown, ratio))

        # The pictures and values are the same as this project's.
        print('\nPoints drawn per curve (minutes with a value) and picture size:\n')
        for name, p in points.items():
            size = png_size(pictures[name]) if os.path.exists(pictures[name]) else 'none'
            print('- %s: %s, %s' % (name, ' and '.join(map(str, p)) if p else 'none', size))
            if name != 'this project' and (p != ours_points or size != '642x376'):
                failures.append('%s drew %s points at %s, this project %s at 642x376' % (name, p, size, ours_points))
        print('\nMinute values equal to those of this project\'s day file (matplotlib takes those of plain '
              'Python):\n')
        ours_values = [v for s in day_file_values(single[:-4] + '.mox') for v in s]
        for name, path in peer_out.items():
            theirs = [v for s in peer_values(path) for v in s]
            same = sum(x == y for x, y in zip(theirs, ours_values))
            print('- %s: %d of %d' % (name, same, len(ours_values)))
            if name == 'plain Python' and (same != len(ours_values) or len(theirs) != len(ours_values)):
                failures.append('plain Python took other minute values than this project')
        for f in failures:
            print('peers.py: %s' % f, file=sys.stderr)
        return 1 if failures else 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == '__main__':
    sys.exit(main())
