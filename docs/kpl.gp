# Plots a fit-and-data file written by the W command:
#   gnuplot -e "file='fit1.kpl'" docs/kpl.gp
# Line 4 holds the counts N, M and S of the three blocks that follow it: the
# N points as read (x, y, error), the M fitted points (x, y, calculated y)
# and S samples of the model (x, y).
if (!exists("file")) file = 'fit1.kpl'
if (!exists("out")) out = 'kpl.png'
counts(k) = int(system(sprintf("awk 'NR==4 {print $%d}' %s", k, file)))
n = counts(1); m = counts(2); s = counts(3)
lines(c) = (c > 0 ? c : 1)  # a block whose count is 0 is one empty line
a = 4; b = a + lines(n); c = b + lines(m)
block(a, b) = sprintf("< awk 'NR > %d && NR <= %d' %s", a, b, file)
set terminal pngcairo size 800,500
set output out
set title system("head -n 1 ".file)
set xlabel system("sed -n 2p ".file)
set ylabel system("sed -n 3p ".file)
set key top right
plot block(a, b) using 1:2:3 with yerrorbars pointtype 7 pointsize 0.3 lc rgb 'gray50' title 'data', \
     block(c, c + lines(s)) using 1:2 with lines dashtype 2 lc rgb 'black' title 'model across the window', \
     block(b, c) using 1:3 with lines linewidth 3 lc rgb 'red' title 'fit (fitting range)'
