# Windows 95, started from the installation disc (E: a CD-ROM drive with the
# image's files, read-only): a complete install with SCSI, the restart that
# ends it, then the next start offers Uninstall, which removes every file
# (read-only, as copies from a disc are), the VxD entry and c:\kmdrv, resets
# the system.ini paging keys, puts the state manager back, deletes the
# marker, shows its message and ends the program with a restart.
source "$BENCH_DIR/scenarios/common/flow.sh"
machine_9x win95
medium_disc

install_script 1005 | drive
expect_restart yes
expect_9x_installed scsi

uninstall_script uninstall | drive
expect_restart yes
expect_9x_uninstalled
