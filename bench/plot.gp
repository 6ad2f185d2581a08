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
set title "Velk: time of each user action against catalogue size"
set xrange [700:140000]
plot for [i=0:blocks-1] data index i using 1:2 with linespoints title columnheader(1), \
     16 with lines dashtype 2 lc rgb "red" title "one frame (16 ms)"
