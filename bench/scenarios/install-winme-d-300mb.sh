# A complete install on Windows ME whose D: is a fixed disk with exactly
# 300 MB (307200 KB) free: not more than 300 MB, so paging stays off D:.
source "$BENCH_DIR/scenarios/common/flow.sh"
machine_9x winme
disk_d fixed --free-mb 300

install_script 1004 | drive

expect_restart yes
expect_9x_installed ide nopaging
