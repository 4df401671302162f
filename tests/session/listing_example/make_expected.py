#!/usr/bin/env python3
"""Writes the expectations of this case (into the folder given as its
argument, default its own) from the layouts of the listing, the
fit-and-data file and the terminal, and from the example's data file.

Fields that hold results of the fit are regular expressions of their width;
everything else (labels, columns, counts, the abscissae, the data as read,
the model's sample positions) is computed here independently, in single
precision where the package works in it."""
import os
import struct
import sys

root = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', '..')
here = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
os.makedirs(os.path.join(here, 'expect'), exist_ok=True)


def f32(v):
    return struct.unpack('f', struct.pack('f', v))[0]


def edit_f(v, w, d):
    s = '%.*f' % (d, v)
    if s.startswith('-') and s.strip('-0.') == '':
        s = s[1:]  # no minus sign without a non-zero digit
    if len(s) == w + 1 and s.startswith('0.'):
        s = s[1:]
    if len(s) == w + 1 and s.startswith('-0.'):
        s = '-' + s[2:]
    return '*' * w if len(s) > w else s.rjust(w)


def edit_e(v, w, d):
    if v == 0:
        mant, exp = '0' * d, 0
    else:
        m, e = ('%.*e' % (d - 1, abs(v))).split('e')
        mant, exp = m.replace('.', ''), int(e) + 1
    body = '.' + mant + ('E%+03d' % exp if abs(exp) < 100 else '%+04d' % exp)
    sign = '-' if v < 0 else ''
    s = sign + '0' + body if len(sign + body) < w else sign + body
    return '*' * w if len(s) > w else s.rjust(w)


def edit_g(v, w, d):
    a = abs(v)
    if a == 0 or 0.1 <= a < 10 ** d:
        k = 1
        while a >= 10 ** k:
            k += 1
        if a < 1:
            k = 0
        if a == 0:
            k = 1
        return edit_f(v, w - 4, d - k) + '    '
    return edit_e(v, w, d)


def rx(width, chars=' 0-9.E+-'):
    return '[%s]{%d}' % (chars, width)


def esc(text):
    out = ''
    for c in text:
        out += '\\' + c if c in '.()*+?[]{}|^$\\' else c
    return out


# The data as the test host reads them.
lines = open(os.path.join(root, 'examples', 'peak.dat')).read().split('\n')
title = lines[0][:50].ljust(50)
numbers = [f32(float(t)) for ln in lines[3:] for t in ln.replace(',', ' ').split()]
groups = len(numbers) // 10
n = 5 * groups
y = [numbers[2 * i] for i in range(n)]
e = [numbers[2 * i + 1] for i in range(n)]
x = [f32(f32((j + 1) * f32(0.1)) - 2.0) for j in range(n)]
sel = [i for i in range(n) if 5.0 <= x[i] <= 25.0]
m = len(sel)
npar = 5
names = ['CENTRE', 'SIGMA', 'FLAT', 'BAKSLOPE', 'HEIGHT']
start = [14.0, 1.5, 100.0, -1.0, 700.0]

O = ' TYPE HELP OR OPTION: H,R,D,X,Y,V,F,O,P,L,W,C,E,J,S,T,Z'
P = ' kvst>'


def rows(dev_chars=' 0-9.*'):
    return ['~' + esc(' %4d   %-8s  ' % (k + 1, names[k])) + rx(12) + esc('(' + edit_g(start[k], 12, 4) + ')' +
            edit_g(1.0, 12, 4)) + rx(10, dev_chars) for k in range(npar)]


ranges_t = ''.join(' ' + edit_g(lo, 10, 3) + ' TO' + edit_g(hi, 10, 3)
                   for lo, hi in [(5.0, 25.0), (0.0, 0.0), (0.0, 0.0)])
out = [' kvst               version  2.0', O,
       P + ' Give input filename : %3d lines have been read in' % n,
       ' THERE ARE %4d DATA POINTS IN CURRENT FITTING RANGE' % n, O,
       P * 6 + ' THERE ARE %4d DATA POINTS IN CURRENT FITTING RANGE' % m, O,
       P + ' FITTING.....', '', ' .....ENDED', O,
       P + ' KARVEL 6.6  TITLE:' + title,
       ' FITTING Y : %-20s   VERSUS X : %-20s' % ('COUNTS', 'CHANNEL'),
       ' NUMBER  PARAMETER   VALUE    (  OLD VALUE )     STEP     % DEVIATION '] + rows() + [
       '  100     MAXIMUM STEP    100.0       300  SUBSTEP   0.01000',
       '  200     ACCURACY      0.1000E-01',
       ' THERE ARE %4d POINTS IN THE CURRENT RANGE SET BY "ONLY" COMMAND.' % m,
       ' CURRENT LIMITS (IF RANGE IS NON-ZERO) ARE : ', ranges_t, O,
       P + ' KARVEL 6.6  TITLE: ' + title, ' ' * 70,
       ' FITTING Y : %-20s' % 'COUNTS' + ' ' * 10 + ' FIT NUMBER %4d' % 1,
       '   VERSUS X : %-20s' % 'CHANNEL',
       ' NUMBER  PARAMETER   VALUE    (  OLD VALUE )    STEP      % DEVIATION '] + rows() + [
       '  100     MAXIMUM STEP    100.0     SUBSTEP    0.01000',
       '  200     ACCURACY       0.1000E-01',
       '~' + esc(' CURRENT RESIDUAL VALUE : ') + rx(12),
       ' THERE ARE %3d POINTS IN THE CURRENT RANGE SET BY "ONLY" COMMAND.' % m,
       ' CURRENT LIMITS (IF RANGE IS NON-ZERO) ARE : ', ranges_t, '', '',
       '~' + esc(' Mean R-factor is now') + rx(10) + esc('%     (old value    0.0    %)'),
       '~' + esc(' Reduced CHI-squared is now ') + rx(10) + esc(' for %5d degrees of freedom' % (m - npar)),
       ' (old value    0.0    )',
       '~' + esc(' Chi-squared probability is ') + rx(12), '', O,
       P + ' OUTPUT FILE "fit1.kpl  " COMPLETED', O,
       P + ' FILE fit1.kpl   ALREADY EXISTS', O,
       P + ' DO YOU WISH TO SAVE THE CURRENT PARAMETER VALUES (Y/N)[N] : ',
       ' Closing listing file kvst002.lis',
       ' %PGPLOT,  Closing file kvst001', ' %PGPLOT,  Closing file pgplot']
open(os.path.join(here, 'expected.re'), 'w').write('\n'.join(out) + '\n')

# The listing file.
lis = ['1kvst' + ' ' * 25 + ' 8-Dec-2026 14:05:09', '', ' OUTPUT BY VERSION 6.6  OF KARVEL.', '',
       ' *****  SPECTRUM TITLE : ' + title, ' ' * 75, '',
       '  PARAMETERS IN FITTING Y : %-20s' % 'COUNTS' + ' ' * 10 + ' FIT NUMBER%4d' % 1,
       '                 VERSUS X : %-20s' % 'CHANNEL', '',
       ' NUMBER  PARAMETER   VALUE    (  OLD VALUE )    STEP      % DEVIATION '] + rows() + [
       '', '  100     MAXIMUM STEP    100.0     SUBSTEP    0.01000', '  200     ACCURACY       0.1000E-01', '',
       '', '~' + esc(' CURRENT RESIDUAL VALUE : ') + rx(12), '', '',
       '', '', ' THERE ARE %4d POINTS IN THE CURRENT RANGE SET BY "ONLY" COMMAND.' % m,
       ' CURRENT LIMITS (IF RANGE IS NON-ZERO) ARE : ']
lis += ['   ' + edit_g(lo, 12, 4) + '  TO  ' + edit_g(hi, 12, 4) for lo, hi in [(5.0, 25.0), (0.0, 0.0), (0.0, 0.0)]]
lis += ['', '', '',
        '~' + esc(' Mean R-factor is now') + rx(10) + esc('%     (old value    0.0    %)'),
        '~' + esc(' Reduced CHI-squared is now ') + rx(10) + esc(' for %5d degrees of freedom' % (m - npar)),
        ' (old value    0.0    )', '~' + esc(' Chi-squared probability is ') + rx(12), '',
        '', ' SCALED COVARIANCE MATRIX', ' ' + ''.join('%4d' % 1 if c == 1 else '%5d' % c for c in range(1, 6))]
for k in range(npar):
    cells = ''.join(esc(' 100.') if j == k else '[ 0-9-]{4}\\.' for j in range(npar))
    lis.append('~ ' + cells)
lis += ['    %-8s CORRESPONDS TO MATRIX COMPONENT %2d' % (names[k], k + 1) for k in range(npar)]
lis += ['   N     XUSE        YUSE       YERROR      YCALCD    F(MINIMISE)', '']
for i, j in enumerate(sel):
    lis.append('~' + esc('%5d' % (i + 1) + edit_g(x[j], 12, 4) + edit_g(y[j], 12, 4) + edit_g(e[j], 12, 4)) +
               rx(12) + rx(12))
open(os.path.join(here, 'expect', 'kvst002.lis.re'), 'w').write('\n'.join(lis) + '\n')

# The fit-and-data file.
kpl = [title, 'CHANNEL'.ljust(20), 'COUNTS'.ljust(20), '%10d%10d%10d' % (n, m, 200)]
kpl += ['~' + esc(edit_g(x[i], 12, 5) + edit_g(y[i], 12, 5) + edit_g(e[i], 12, 5)) for i in range(n)]
kpl += ['~' + esc(edit_g(x[j], 12, 5) + edit_g(y[j], 12, 5)) + rx(12) for j in sel]
lo, hi = min(x), max(x)
step = f32(f32(hi - lo) / 200.0)
kpl += ['~' + esc(edit_g(f32(lo + f32(i * step)), 12, 5)) + rx(12) for i in range(1, 201)]
open(os.path.join(here, 'expect', 'fit1.kpl.re'), 'w').write('\n'.join(kpl) + '\n')
