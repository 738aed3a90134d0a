# A complete install on Windows 98 (Second Edition under Wine) with IDE.
source "$BENCH_DIR/scenarios/common/flow.sh"
machine_9x win98

install_script 1004 | drive

expect_restart yes
expect_9x_installed ide
