# A complete install on Windows ME with IDE.
source "$BENCH_DIR/scenarios/common/flow.sh"
machine_9x winme

install_script 1004 | drive

expect_restart yes
expect_9x_installed ide
