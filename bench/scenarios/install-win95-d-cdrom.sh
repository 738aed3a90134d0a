# A complete install on Windows 95 whose D: is a CD-ROM: everything but the
# paging move; system.ini gets no paging keys.
source "$BENCH_DIR/scenarios/common/flow.sh"
machine_9x win95
disk_d cdrom

install_script 1005 | drive

expect_restart yes
expect_9x_installed scsi nopaging
