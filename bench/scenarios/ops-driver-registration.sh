# The driver's registry entries written and removed through the real API:
# the NT service VNT (three DWORDs; removal keeps the key and what else is in
# it, and deletes the named subkey) and the Windows 9x static VxD SKVXD.
source "$BENCH_DIR/scenarios/common/ops.sh"
windows winxp
svc='HKLM\SYSTEM\CurrentControlSet\Services'
reg_set "$svc\\VNT" Other REG_SZ kept
reg_key "$svc\\NT5"
reg_key "$svc\\VNT4"

ops RegisterNtDriverService RegisterStaticVxd
expect_reg "$svc\\VNT" ErrorControl REG_DWORD 1
expect_reg "$svc\\VNT" Type REG_DWORD 1
expect_reg "$svc\\VNT" Start REG_DWORD 0
expect_reg "$svc\\VNT" Other REG_SZ kept
expect_reg 'HKLM\System\CurrentControlSet\Services\VxD\SKVXD' Start REG_BINARY 00
expect_reg 'HKLM\System\CurrentControlSet\Services\VxD\SKVXD' StaticVxD REG_SZ Scsikrn.vxd

ops UnregisterNtDriverService=NT5 UnregisterStaticVxd
expect_reg_key "$svc\\VNT"
expect_no_reg_value "$svc\\VNT" ErrorControl
expect_no_reg_value "$svc\\VNT" Type
expect_no_reg_value "$svc\\VNT" Start
expect_reg "$svc\\VNT" Other REG_SZ kept
expect_no_reg_key "$svc\\NT5"
expect_reg_key "$svc\\VNT4"
expect_no_reg_key 'HKLM\System\CurrentControlSet\Services\VxD\SKVXD'
expect_reg_key 'HKLM\System\CurrentControlSet\Services\VxD'

# Without the service key the subkey still goes.
reg_delete_key "$svc\\VNT"
ops UnregisterNtDriverService=VNT4
expect_no_reg_key "$svc\\VNT4"
expect_no_reg_key "$svc\\VNT"
expect_restart no
