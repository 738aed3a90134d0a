# Windows 98 whose restart request goes nowhere: after a completed install
# the dialog stays open at 10 with Next; Next runs the plan again (files left
# by the first run are not replaced) and succeeds again, and Exit then ends
# the program. Two more installs over the first end with Escape and with the
# close button; none of them changes what the first one left. The uninstall
# that follows ends the program by itself, the restart going nowhere.
source "$BENCH_DIR/scenarios/common/flow.sh"
machine_9x win98

drive_restart_refused <<SCRIPT
start E:\\Setup.exe E:\\
click 1001
click 1004
click 1008
message "Warning" "$INSTALL_OK" question
sleep 1000
alive
nomessage
progress 10
visible 1008
hidden 1004
screenshot done.bmp
click 1008
message "Warning" "$INSTALL_OK" question
progress 10
alive
click 1000
exits
SCRIPT
expect_restart no
expect_9x_installed ide

# An earlier file is not replaced by the installs that follow.
printf 'earlier\r\n' >"$WINEPREFIX/drive_c/kmdrv/Peek_B.exe"
for leave in "key escape" close; do
    marker absent
    drive_restart_refused <<SCRIPT
start E:\\Setup.exe E:\\
click 1001
click 1005
click 1008
message "Warning" "$INSTALL_OK" question
alive
$leave
exits
SCRIPT
done
expect_restart no
if [ "$(tr -d '\r' <"$WINEPREFIX/drive_c/kmdrv/Peek_B.exe")" = earlier ]; then
    _bench_result "c:\\kmdrv\\Peek_B.exe not replaced"
else
    _bench_result "c:\\kmdrv\\Peek_B.exe not replaced" "found $(_bench_q "$(head -c 60 "$WINEPREFIX/drive_c/kmdrv/Peek_B.exe")")"
fi
expect_file 'c:\kmdrv\kmscsi.dat' 98/v98.vxd
expect_reg_key "$MARKER"
expect_reg "$HELD_KEY" '*StateMgr' REG_SZ "$STATE_MGR"

uninstall_script | drive_restart_refused
expect_restart no
expect_9x_uninstalled
