# The Windows 9x state-manager start entry held aside in HKLM\SYSTEM\Veltrano
# and put back, with the holding key deleted; a second suspend finds nothing.
source "$BENCH_DIR/scenarios/common/ops.sh"
windows win98
rs='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\RunServices'
reg_set "$rs" '*StateMgr' REG_SZ 'C:\WINDOWS\SYSTEM\STATEMGR.EXE'

ops SuspendStateManagerEntry SuspendStateManagerEntry
expect_no_reg_value "$rs" '*StateMgr'
expect_reg 'HKLM\SYSTEM\Veltrano' '*StateMgr' REG_SZ 'C:\WINDOWS\SYSTEM\STATEMGR.EXE'
expect_reg "$rs" winemenubuilder REG_SZ 'C:\windows\system32\winemenubuilder.exe -a -r'

ops RestoreStateManagerEntry
expect_reg "$rs" '*StateMgr' REG_SZ 'C:\WINDOWS\SYSTEM\STATEMGR.EXE'
expect_no_reg_key 'HKLM\SYSTEM\Veltrano'
expect_restart no
