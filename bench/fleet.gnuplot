# The fleet benchmark's plot: wall time and transfers per second against --jobs, each
# with its ideal. Data: jobs, wall s, ideal s, transfers/s, ideal transfers/s.
set terminal pngcairo size 1000,450 font ",10"
set output outfile
set multiplot layout 1,2
set logscale x 2
set xlabel "--jobs"
set grid
set key top right
set ylabel "wall time (s)"
set logscale y
plot datafile using 1:2 with linespoints lw 2 title "measured", \
     datafile using 1:3 with linespoints dt 2 lw 2 title "ideal"
unset logscale y
set key top left
set ylabel "transfers per second"
plot datafile using 1:4 with linespoints lw 2 title "measured", \
     datafile using 1:5 with linespoints dt 2 lw 2 title "ideal"
unset multiplot
