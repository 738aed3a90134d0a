# First screen on Windows 98 (Wine always reports the Second Edition),
# product not installed: Install offered; Exit, Escape and the close button
# end the program and change nothing.
source "$BENCH_DIR/scenarios/common/first-screen.sh"
windows win98
marker absent
medium

first_screen_runs install "Microsoft  Windows  98 SE"

expect_nothing_changed absent
