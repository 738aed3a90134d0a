# The checks fail where they must, and say what they expected and found.
windows winxp
medium
ini_set PagingDrive C:

drive <<'SCRIPT'
start E:\Setup.exe E:\
click 1001
click 1004
click 1008
message "Warning" "Install OK !! System will be restart ......." question
exits
SCRIPT

vnt='HKLM\SYSTEM\CurrentControlSet\Services\VNT'
expect_check_fails 'expected no restart request, found one' expect_restart no
BENCH_RESTART_WAIT=2 expect_check_fails 'expected a restart request, found none' expect_restart yes
expect_check_fails 'expected the contents of NT/VNT.sys from the medium, found "Veltrano sample medium: QSPK2.DAT"' \
    expect_file 'c:\kmdrv\QSPK2.DAT' NT/VNT.sys
expect_check_fails 'expected the file, found no such file' expect_file 'c:\kmdrv\nothing.sys'
expect_check_fails 'expected a file, found a directory' expect_file 'c:\kmdrv'
expect_check_fails 'the drive of q:\x is not mapped' expect_file 'q:\x'
expect_check_fails 'expected no such file, found the file' expect_no_file 'C:\KMDRV\qspk2.dat'
expect_check_fails 'expected the directory, found nothing' expect_dir 'c:\nodir'
expect_check_fails 'expected the directory, found a file' expect_dir 'c:\kmdrv\QSPK2.DAT'
expect_check_fails 'expected no directory, found it' expect_no_dir 'c:\kmdrv'
expect_check_fails 'expected REG_DWORD "2", found REG_DWORD "0x1"' expect_reg "$vnt" Start REG_DWORD 2
expect_check_fails 'expected REG_SZ "1", found REG_DWORD "0x1"' expect_reg "$vnt" Start REG_SZ 1
expect_check_fails 'expected REG_SZ "VNT ", found REG_SZ "VNT"' expect_reg "$vnt" DisplayName REG_SZ "VNT "
expect_check_fails 'expected the value, found no such value' expect_reg "$vnt" Nothing REG_SZ x
expect_check_fails 'expected the value, found no such key' expect_reg 'HKLM\Software\NoSuchKey' x REG_SZ y
expect_check_fails 'expected the key, found no such key' expect_reg_key 'HKLM\Software\NoSuchKey'
expect_check_fails 'expected no such key, found it' expect_no_reg_key 'HKLM\system\Veltrano Card'
expect_check_fails 'expected no such value, found: Start    REG_DWORD    0x1' expect_no_reg_value "$vnt" Start
expect_check_fails 'expected "C:", found "D:"' expect_ini PagingDrive C:
expect_check_fails 'expected NoSuchKey=x in [386Enh], found no such key' expect_ini NoSuchKey x
expect_check_fails 'expected no such key in [386Enh], found PagingDrive=D:' expect_no_ini PagingDrive

# Several values of one key from one query: each checked alone.
expect_reg_values "$vnt" Start REG_DWORD 1 DisplayName REG_SZ VNT
expect_reg_key_without "$vnt" ErrorControl Type
expect_check_fails 'expect_reg "HKLM\SYSTEM\CurrentControlSet\Services\VNT" "DisplayName" REG_SZ "VNT ": FAIL: expected REG_SZ "VNT ", found REG_SZ "VNT"' \
    expect_reg_values "$vnt" Start REG_DWORD 1 DisplayName REG_SZ "VNT "
expect_check_fails 'expected REG_DWORD "0", found REG_DWORD "0x1"' expect_reg_values "$vnt" start REG_DWORD 0
expect_check_fails 'expected the value, found no such value' expect_reg_values "$vnt" Star REG_DWORD 1
expect_check_fails 'expected the value, found no such key' expect_reg_values 'HKLM\Software\NoSuchKey' x REG_SZ y
expect_check_fails 'expected no such value, found REG_SZ "VNT"' expect_reg_key_without "$vnt" Type displayname
expect_check_fails 'expected the key, found no such key' expect_reg_key_without 'HKLM\Software\NoSuchKey' x

# Settings that do not go into the registry fail the scenario, each with its
# own line: one that cannot be written as a .reg file or into the registry
# files, and an import that regedit took nothing of (it exits with 0
# whatever happens).
out=$(reg_set 'HKLM\Software\Bench' Bad REG_DWORD twelve; _bench_import)
if grep -q "^registry import settings-[0-9]*\.queue: FAIL: .*not a REG_DWORD: 'twelve'" <<<"$out"; then
    _bench_result "a setting that cannot be written fails"
else
    _bench_result "a setting that cannot be written fails" "found: $out"
fi
out=$(reg_set 'HKLM\Software\Bench' Bad REG_DWORD twelve; _bench_apply)
if grep -q "^registry settings settings-[0-9]*\.queue: FAIL: .*not a REG_DWORD: 'twelve'" <<<"$out"; then
    _bench_result "a setting that cannot be written into the registry files fails"
else
    _bench_result "a setting that cannot be written into the registry files fails" "found: $out"
fi
out=$(reg_set 'HKLM\Software\Bench' Good REG_SZ x; BENCH_WINE=/bin/true _bench_import; _bench_settle)
if grep -q "^registry settings settings-[0-9]*: FAIL: not all of them went in" <<<"$out"; then
    _bench_result "an import that regedit did not take fails"
else
    _bench_result "an import that regedit did not take fails" "found: $out"
fi
