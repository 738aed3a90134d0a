# Windows 98 installed from a read-only medium, as from a CD: every installed
# file is read-only, and the uninstall that follows the restart still
# removes every one of them and c:\kmdrv.
source "$BENCH_DIR/scenarios/common/flow.sh"
machine_9x win98
medium --readonly

install_script 1004 | drive
expect_restart yes
expect_9x_files ide
expect_read_only 'c:\kmdrv\Peek_B.exe' 'c:\kmdrv\kmide.dat' "$PROGRAMS\\PeekBuff.exe" \
    "$SYS_DIR\\SCSIKRN.VXD" "$SYS_DIR\\iosubsys\\v98.vxd" "$SYS_DIR\\SCSIKRN.SYS"

uninstall_script | drive
expect_restart yes
expect_9x_uninstalled
