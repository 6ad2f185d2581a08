# Time against catalogue size per operation, from bench/table.py --plot-data.
# Call with data='FILE'; out='PNG'; blocks=N (the number of operations in FILE).
set terminal pngcairo size 1400,850 font "Sans,10" noenhanced
set output out
set logscale xy
set xlabel "movements in the catalogue (50 positions each on average)"
set ylabel "time (ms)"
set xtics ("1,000" 1000, "10,000" 10000, "100,000" 100000)
set key outside right top
set grid
set palette defined (0 "#1f77b4", 1 "#2ca02c", 2 "#bcbd22", 3 "#ff7f0e", 4 "#d62728", 5 "#9467bd", 6 "#8c564b", 7 "#17becf")
unset colorbox
set title "Velk: time of each user action against catalogue size"
set xrange [700:140000]
plot for [i=0:blocks-1] data index i using 1:2 with linespoints linecolor palette frac (i / (blocks - 1.0)) pointtype (i % 13 + 1) linewidth 1.5 title columnheader(1), \
     16 with lines dashtype 2 lc rgb "red" title "one frame (16 ms)"
