# A complete install on Windows 95 with IDE, every screen photographed: the
# files placed from the medium with kmide.dat as the data file, the static
# VxD registered, the state manager held aside, paging moved to D:, the
# marker written, the success message shown while the dialog stands at 10,
# and the restart that ends the program.
source "$BENCH_DIR/scenarios/common/flow.sh"
machine_9x win95

install_script 1004 flow | drive

expect_restart yes
expect_9x_installed ide
