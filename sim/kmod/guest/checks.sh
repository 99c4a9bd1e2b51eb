#!/bin/sh
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
# The checks of sim/kmod/selftest, run in the guest with the three modules
# loaded: paths, values, errnos and test controls of each device, as the
# pages docs/board/kernel-*.md describe them.
passed=0
failed=0

# check NAME GOT WANT
check() {
  if [ "$2" = "$3" ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "selftest: FAIL $1: got '$2', want '$3'"
  fi
}

# between NAME VALUE LOW HIGH
between() {
  if [ "$2" -ge "$3" ] && [ "$2" -le "$4" ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "selftest: FAIL $1: got $2, want $3 to $4"
  fi
}

D=/sys/devices/platform/ocp/42010000.padprobe
TC=/sys/kernel/debug/board_touch/control
TW=/sys/kernel/debug/board_touch/writes

control() { echo "$*" >"$TC" || echo "selftest: control line refused: $*"; }
ask() {
  exec 3<>"$TC"
  echo "$*" >&3 2>/dev/null
  cat <&3
  exec 3<&-
}
write() { probe write "$D/$1" "$2"; }
# names DIR: the names in DIR, each followed by a blank.
names() {
  for f in "$1"/*; do
    printf '%s ' "${f##*/}"
  done
}
attr() { cat "$D/$1"; }

touch_checks() {
  check "common_config" "$(names "$D/common_config")" \
    "ctc_enable debounce_en debounce_times sample_num scan_interval snr_noise snr_touch "
  check "etc_config" "$(names "$D/etc_config")" "etc_enable etc_factor etc_interval etc_step "
  check "chx_config" "$(names "$D/chx_config")" \
    "ch_num chx_abs_th chx_ave_data chx_baseline chx_diff_th chx_enable chx_mbias chx_n_noise_th chx_p_noise_th "
  check "modes" "$(stat -c %A "$D/chx_config/chx_ave_data" "$D/chx_config/chx_mbias" | tr '\n' ' ')" \
    "-r--r--r-- -rw-r--r-- "
  check "power-on settings" "$(cd "$D" && cat common_config/scan_interval common_config/sample_num \
    common_config/debounce_times common_config/debounce_en common_config/ctc_enable \
    etc_config/etc_enable etc_config/etc_interval etc_config/etc_factor etc_config/etc_step \
    chx_config/ch_num chx_config/chx_enable chx_config/chx_mbias chx_config/chx_abs_th \
    chx_config/chx_diff_th chx_config/chx_p_noise_th chx_config/chx_n_noise_th | tr '\n' ' ')" \
    "10 4 2 1 0 1 1 8 4 0 0 20 2000 100 50 50 "
  check "value text" "$(od -A n -c "$D/common_config/scan_interval" | tr -s ' ')" " 1 0 \n"
  check "first reads of seed 1" "$(for i in 1 2 3; do attr chx_config/chx_ave_data; done | tr '\n' ' ')" \
    "2282 2279 2282 "

  control noise 0
  check "channel 0 average" "$(attr chx_config/chx_ave_data)" 2280
  check "channel 0 baseline" "$(attr chx_config/chx_baseline)" 2280
  write chx_config/ch_num 3 >/dev/null
  check "ch_num selects" "$(attr chx_config/ch_num)" 3
  check "channel 3 average" "$(attr chx_config/chx_ave_data)" 2400
  write chx_config/chx_mbias 33 >/dev/null
  check "channel 3 mbias" "$(attr chx_config/chx_ave_data) $(attr chx_config/chx_baseline)" "3232 3232"
  write chx_config/ch_num 0 >/dev/null
  check "channel 0 untouched" "$(attr chx_config/chx_mbias)" 20

  check "ch_num 9" "$(write chx_config/ch_num 9)" EINVAL
  check "ch_num -1" "$(write chx_config/ch_num -1)" EINVAL
  check "ch_num 8" "$(write chx_config/ch_num 8)" "ok 1"
  check "mbias 64" "$(write chx_config/chx_mbias 64)" EINVAL
  check "mbias 63 with newline" "$(write chx_config/chx_mbias '63\n')" "ok 3"
  check "ctc_enable 2" "$(write common_config/ctc_enable 2)" EINVAL
  check "letters" "$(write common_config/scan_interval abc)" EINVAL
  check "two newlines" "$(write common_config/scan_interval '5\n\n')" EINVAL
  check "a NUL" "$(write common_config/scan_interval '5\0')" EINVAL
  check "a blank" "$(write common_config/scan_interval ' 5')" EINVAL
  check "beyond 32 bits" "$(write common_config/scan_interval 2147483648)" ERANGE
  check "plus sign" "$(write common_config/scan_interval +7) $(attr common_config/scan_interval)" "ok 2 7"
  check "32-bit minimum" "$(write common_config/scan_interval -2147483648) $(attr common_config/scan_interval)" \
    "ok 11 -2147483648"
  check "sample_num 8 is the tool's warning only" "$(write common_config/sample_num 8)" "ok 1"
  check "read-only attribute" "$(write chx_config/chx_ave_data 1)" EACCES
  check "read at an offset" "$(probe pread "$D/chx_config/chx_mbias" 1 4)" "ok 2 33 0a"

  control fail-read chx_mbias EBUSY
  check "fail-read" "$(probe pread "$D/chx_config/chx_mbias" 0 4)" EBUSY
  control fail-write scan_interval
  check "fail-write" "$(write common_config/scan_interval 5)" EINVAL
  control fail-write etc_step 110
  check "fail-write errno" "$(write etc_config/etc_step 5)" ETIMEDOUT
  exec 4<"$D/etc_config/etc_step"
  control missing etc_step
  check "missing" "$(names "$D/etc_config")" "etc_enable etc_factor etc_interval "
  check "missing open" "$(probe pread "$D/etc_config/etc_step" 0 4)" ENOENT
  check "missing while open" "$(cat <&4 2>&1 | sed 's/.*: //')" "No such device"
  exec 4<&-
  control restore etc_step
  control restore chx_mbias
  control restore scan_interval
  check "restore" "$(names "$D/etc_config")" "etc_enable etc_factor etc_interval etc_step "
  check "restore heals" "$(write etc_config/etc_step 5) $(attr chx_config/chx_mbias)" "ok 1 63"

  check "bad control line" "$(probe write "$TC" bogus)" EINVAL
  check "control answer" "$(ask bogus)" "error: unknown command bogus"
  check "get" "$(ask get chx_mbias:8)" 63
  check "get keeps ch_num" "$(ask get chx_mbias:0) $(attr chx_config/ch_num)" "20 8"
  check "key needs a channel" "$(ask get chx_mbias)" "error: bad key chx_mbias (name, or name:CH for chx_)"
  check "bad errno" "$(ask fail-read chx_mbias EFOO)" "error: unknown errno EFOO"
  check "kernel-internal errno" "$(ask fail-read chx_mbias 512)" "error: unknown errno 512"
  check "highest errno" "$(ask fail-write chx_mbias 511) $(write chx_config/chx_mbias 1)" "ok errno 511"
  control restore chx_mbias

  write chx_config/ch_num 0 >/dev/null
  control touch 0 500 1500
  control touch 1 300 100 3000
  check "touched" "$(attr chx_config/chx_ave_data) $(attr chx_config/chx_baseline)" "1780 2280"
  check "snr" "$(attr common_config/snr_touch) $(attr common_config/snr_noise)" "500 0"
  sleep 2
  check "touch over" "$(attr chx_config/chx_ave_data)" 2280
  control set chx_ave_data:0 1234
  check "pinned" "$(attr chx_config/chx_ave_data)" 1234
  control free chx_ave_data:0
  check "freed" "$(attr chx_config/chx_ave_data)" 2280

  control noise 6
  check "snr_noise" "$(attr common_config/snr_noise)" 12
  low=99999
  high=0
  i=0
  while [ $i -lt 100 ]; do
    v=$(attr chx_config/chx_ave_data)
    [ "$v" -lt "$low" ] && low=$v
    [ "$v" -gt "$high" ] && high=$v
    i=$((i + 1))
  done
  between "noise low" "$low" 2274 2277
  between "noise high" "$high" 2283 2286
  control noise 0

  # The baseline drifts to a new level with a time constant of 1 s.
  control model 0 2000 64
  check "new level" "$(attr chx_config/chx_ave_data)" 3280
  sleep 1
  between "baseline after 1 s" "$(attr chx_config/chx_baseline)" 2880 3050
  sleep 2
  between "baseline after 3 s" "$(attr chx_config/chx_baseline)" 3220 3260
  write chx_config/chx_mbias 20 >/dev/null
  check "mbias takes a fresh baseline" "$(attr chx_config/chx_baseline)" 3280

  echo >"$TW"
  write common_config/ctc_enable 1 >/dev/null
  write chx_config/chx_mbias 99 >/dev/null
  check "write log" "$(cut -f 2- "$TW" | tr '\t\n' '|;')" \
    "common_config/ctc_enable|-|1|ok;chx_config/chx_mbias|0|99|EINVAL;"
}

otp_checks() {
  R=/sys/bus/nvmem/devices/otp_raw0/nvmem
  M=/sys/bus/nvmem/devices/otp_map0/nvmem
  OR=/sys/kernel/debug/board_otp/otp_raw0
  OM=/sys/kernel/debug/board_otp/otp_map0
  check "nvmem files" "$(stat -c '%A %s' "$R" "$M" | tr '\n' ' ')" \
    "-rw-r--r-- 4096 -rw-r--r-- 2048 "
  check "type" "$(cat /sys/bus/nvmem/devices/otp_raw0/type)" OTP
  check "unprogrammed" "$(probe pread "$R" 0 4)" "ok 4 00 00 00 00"
  check "write" "$(probe pwrite "$R" 16 a1b2)" "ok 2"
  check "read back" "$(probe pread "$R" 16 3)" "ok 3 a1 b2 00"
  check "write sets bits" "$(probe pwrite "$R" 16 0f0f) $(probe pread "$R" 16 2)" "ok 2 ok 2 af bf"
  check "write cannot clear" "$(probe pwrite "$R" 16 0000) $(probe pread "$R" 16 2)" "ok 2 ok 2 af bf"
  check "read across the end" "$(probe pread "$R" 4094 4)" "ok 2 00 00"
  check "read at the end" "$(probe pread "$R" 4096 4)" "ok 0"
  check "read past the end" "$(probe pread "$R" 9000 4)" "ok 0"
  check "write across the end" "$(probe pwrite "$R" 4094 01020304) $(probe pread "$R" 4094 2)" "ok 2 ok 2 01 02"
  check "write at the end" "$(probe pwrite "$R" 4096 01)" EFBIG
  check "mapped view's end" "$(probe pread "$M" 2047 4) $(probe pwrite "$M" 2048 01)" "ok 1 00 EFBIG"
  check "negative offset" "$(probe pread "$R" -1 4)" EINVAL
  check "mapped view apart" "$(probe pwrite "$M" 16 11) $(probe pread "$M" 16 1) $(probe pread "$R" 16 1)" \
    "ok 1 ok 1 11 ok 1 af"

  echo EBUSY >"$OR/fail_write"
  check "fail_write shows" "$(cat "$OR/fail_write")" EBUSY
  check "refused write" "$(probe pwrite "$R" 32 ff) $(probe pread "$R" 32 1)" "EBUSY ok 1 00"
  check "other view writes" "$(probe pwrite "$M" 32 ff)" "ok 1"
  echo none >"$OR/fail_write"
  echo 5 >"$OR/fail_read"
  check "fail_read" "$(cat "$OR/fail_read") $(probe pread "$R" 0 1)" "EIO EIO"
  echo 0 >"$OR/fail_read"
  check "bad errno" "$(probe write "$OR/fail_write" EFOO)" EINVAL
  check "kernel-internal errnos" "$(probe write "$OR/fail_write" 512) $(probe write "$OR/fail_read" 529) \
$(probe write "$OR/fail_read" 4095) $(cat "$OR/fail_write" "$OR/fail_read" | tr '\n' ' ')" "EINVAL EINVAL EINVAL none none "
  check "calls" "$(tail -n 3 "$OR/calls" | tr '\n' ';')" "write 32 1 EBUSY;read 32 1 ok;read 0 1 EIO;"
  echo >"$OR/calls"
  check "calls emptied" "$(cat "$OR/calls")" ""

  check "image" "$(od -A d -t x1 -j 16 -N 2 "$OR/image" | head -n 1)" "0000016 af bf"
  printf '\000\000' | dd of="$OR/image" bs=1 seek=16 conv=notrunc 2>/dev/null
  check "image clears" "$(probe pread "$R" 16 2)" "ok 2 00 00"
  : >"$OM/image"
  check "image wiped" "$(probe pread "$M" 16 1)" "ok 1 00"
}

console_checks() {
  C=/dev/console-ctrl
  K=/sys/kernel/debug/board_console
  check "device node" "$(stat -c %A "$C")" "crw-------"
  check "request 0" "$(probe ioctl "$C" 0 ver)" "ok 0"
  check "full record" "$(probe ioctl "$C" 0 @fill)" "ok 0"
  check "request 1" "$(probe ioctl "$C" 1 ver)" ENOTTY
  check "bad address" "$(probe ioctl "$C" 0 @bad)" EFAULT
  check "calls" "$(tr '\n' ';' <"$K/calls")" "1 0 0;2 0 0;3 1 -25;4 0 -14;"
  check "records" "$(wc -c <"$K/records")" 258
  check "first record" "$(od -A n -t x1 -N 6 "$K/records" | tr -s ' ')" " 03 76 65 72 00 00"
  check "second record" "$(dd if="$K/records" bs=1 skip=129 count=3 2>/dev/null)" zzz
  check "read and write" "$(probe rw "$C")" "read ok 0 write EINVAL"

  echo 1 >"$K/reset"
  echo EBUSY >"$K/errno"
  echo "2 4" >"$K/fail_calls"
  check "fail_calls shows" "$(cat "$K/fail_calls")" "2 4"
  check "call 1" "$(probe ioctl "$C" 0 a)" "ok 0"
  check "call 2 fails" "$(probe ioctl "$C" 0 b)" EBUSY
  check "call 3" "$(probe ioctl "$C" 0 c)" "ok 0"
  check "call 4 with request 1" "$(probe ioctl "$C" 1 d)" ENOTTY
  echo >"$K/fail_calls"
  echo 1 >"$K/fail_all"
  echo 110 >"$K/errno"
  check "errno shows" "$(cat "$K/errno")" ETIMEDOUT
  check "fail_all" "$(probe ioctl "$C" 0 e)" ETIMEDOUT
  echo 0 >"$K/fail_all"
  check "calls after reset" "$(tr '\n' ';' <"$K/calls")" "1 0 0;2 0 -16;3 0 0;4 1 -25;5 0 -110;"
  check "records after reset" "$(wc -c <"$K/records")" 516
  check "fail_all 2" "$(probe write "$K/fail_all" 2)" EINVAL
  check "fail call 0" "$(probe write "$K/fail_calls" 0)" EINVAL
  check "kernel-internal errno" "$(probe write "$K/errno" 512) $(probe write "$K/errno" 4095) $(cat "$K/errno")" \
    "EINVAL EINVAL ETIMEDOUT"
}

# Writers, readers and a file coming and going at once: no deadlock, no
# warning in the kernel log, and the folder whole afterwards.
stress_checks() {
  (
    i=0
    while [ $i -lt 100 ]; do
      echo $((i % 9)) >"$D/chx_config/ch_num"
      i=$((i + 1))
    done
  ) &
  (
    i=0
    while [ $i -lt 100 ]; do
      cat "$D/chx_config/chx_ave_data" "$D/chx_config/chx_baseline" >/dev/null 2>&1
      i=$((i + 1))
    done
  ) &
  (
    i=0
    while [ $i -lt 50 ]; do
      echo missing chx_baseline >"$TC"
      echo restore chx_baseline >"$TC"
      cat "$TW" >/dev/null
      i=$((i + 1))
    done
  ) &
  wait
  check "after the stress" "$(names "$D/chx_config" | wc -w)" 9
}

PD=/sys/bus/platform/devices
PDRV=/sys/bus/platform/drivers
# error TEXT: the errno text of a failed shell redirection or cat, alone.
error() { sed 's/.*: //'; }

# Unbind and bind again with every kind of file open: an open file of the
# unbound device answers ENODEV (debugfs' own EIO for a control), never
# reaches freed state, and the device comes back fresh.
lifecycle_checks() {
  R=/sys/bus/nvmem/devices/otp_raw0/nvmem
  exec 5<>/dev/console-ctrl 6</sys/kernel/debug/board_console/calls 7<>"$R" \
    8</sys/kernel/debug/board_otp/otp_raw0/image 9</sys/kernel/debug/board_otp/otp_raw0/fail_read
  check "console open" "$(probe ioctl '&5' 0 ver)" "ok 0"
  echo board-console >"$PDRV/board-console/unbind"
  echo board-otp >"$PDRV/board-otp/unbind"
  check "console unbound" "$(probe ioctl '&5' 0 ver) $(probe rw '&5')" "ENODEV read ENODEV write ENODEV"
  check "console gone" "$(test -e /dev/console-ctrl || echo gone) $(test -e "$K" || echo gone)" "gone gone"
  check "console control unbound" "$(cat <&6 2>&1 | error)" "Input/output error"
  check "nvmem unbound" "$(probe pread '&7' 0 4) $(probe pwrite '&7' 0 ff)" "ENODEV ENODEV"
  check "otp controls unbound" "$(cat <&8 2>&1 | error) $(cat <&9 2>&1 | error)" \
    "Input/output error Input/output error"
  echo board-console >"$PDRV/board-console/bind"
  echo board-otp >"$PDRV/board-otp/bind"
  check "console bound again" "$(probe ioctl "$C" 0 ver) $(tr '\n' ';' <"$K/calls")" "ok 0 1 0 0;"
  check "old console file" "$(probe ioctl '&5' 0 ver)" ENODEV
  check "otp bound again" "$(probe pread "$R" 16 2) $(cat "$OR/fail_write")" "ok 2 00 00 none"
  check "old nvmem file" "$(probe pread '&7' 0 4)" ENODEV
  exec 5<&- 6<&- 7<&- 8<&- 9<&-

  exec 5<"$D/chx_config/chx_mbias" 6<>"$TC" 7<"$TW"
  write chx_config/chx_mbias 9 >/dev/null
  echo 42010000.padprobe >"$PDRV/board-touch/unbind"
  check "touch unbound" "$(cat <&5 2>&1 | error) $(test -e "$D/chx_config" || echo gone)" "No such device gone"
  check "touch control unbound" "$( (echo noise 0 >&6) 2>&1 | error) $(cat <&7 2>&1 | error)" \
    "Input/output error Input/output error"
  echo 42010000.padprobe >"$PDRV/board-touch/bind"
  check "touch bound again" "$(attr chx_config/chx_mbias) $(names "$D/etc_config")" \
    "20 etc_enable etc_factor etc_interval etc_step "
  check "old attribute file" "$(cat <&5 2>&1 | error)" "No such device"
  exec 5<&- 6<&- 7<&-
  check "control after rebind" "$(ask get chx_mbias:0)" 20

  # A probe that fails (a second device bound through driver_override)
  # leaves nothing behind, and the driver's own device stays as it was.
  echo board-otp >"$PDRV/board-otp/unbind"
  echo board-touch >"$PD/board-otp/driver_override"
  check "second touch device" "$(probe write "$PDRV/board-touch/bind" board-otp)" EBUSY
  echo board-console >"$PD/board-otp/driver_override"
  check "second console device" "$(probe write "$PDRV/board-console/bind" board-otp)" EBUSY
  printf '\n' >"$PD/board-otp/driver_override"
  echo board-otp >"$PDRV/board-otp/bind"
  echo board-console >"$PDRV/board-console/unbind"
  echo board-otp >"$PD/board-console/driver_override"
  check "second otp device" "$(probe write "$PDRV/board-otp/bind" board-console)" EBUSY
  printf '\n' >"$PD/board-console/driver_override"
  echo board-console >"$PDRV/board-console/bind"
  check "after failed probes" "$(ask get chx_mbias:0) $(probe ioctl "$C" 0 x) $(probe pread "$R" 0 1)" \
    "20 ok 0 ok 1 00"
  check "each driver its own device" "$(readlink "$PD/board-otp/driver") $(readlink "$PD/board-console/driver")" \
    "../../../bus/platform/drivers/board-otp ../../../bus/platform/drivers/board-console"
}

# The strict profiles: word-wide OTP access and register-wide touch values.
strict_checks() {
  R=/sys/bus/nvmem/devices/otp_raw0/nvmem
  rmmod board_otp
  check "odd word size" "$(insmod /lib/board/board_otp.ko word_size=3 2>&1 | error)" "Invalid argument"
  insmod /lib/board/board_otp.ko word_size=4 stride=4
  check "whole words" "$(probe pwrite "$R" 8 a1b2c3d4) $(probe pread "$R" 8 4)" "ok 4 ok 4 a1 b2 c3 d4"
  check "part of a word" "$(probe pwrite "$R" 12 a1b2) $(probe pread "$R" 12 2)" "EINVAL EINVAL"
  check "off the stride" "$(probe pwrite "$R" 14 a1b2c3d4) $(probe pread "$R" 9 4)" "EINVAL EINVAL"
  check "words and a part" "$(probe pwrite "$R" 16 0102030405) $(probe pread "$R" 16 8)" \
    "ok 4 ok 8 01 02 03 04 00 00 00 00"
  check "otp calls" "$(tr '\n' ';' <"$OR/calls")" "write 8 4 ok;read 8 4 ok;write 16 4 ok;read 16 8 ok;"
  rmmod board_otp
  insmod /lib/board/board_otp.ko

  rmmod board_touch
  insmod /lib/board/board_touch.ko strict=1
  check "strict in range" "$(write common_config/sample_num 7) $(write chx_config/chx_abs_th 4095)" "ok 1 ok 4"
  check "strict out of range" "$(write common_config/sample_num 8) $(write common_config/scan_interval -1) \
$(write etc_config/etc_interval 128) $(write chx_config/chx_abs_th 4096)" "EINVAL EINVAL EINVAL EINVAL"
  check "strict kept" "$(attr common_config/sample_num) $(attr chx_config/chx_abs_th)" "7 4095"
  rmmod board_touch
  insmod /lib/board/board_touch.ko
  check "default mode" "$(write common_config/sample_num 8)" "ok 1"
}

# Load and unload again and again while programs use the devices as the
# tools do; an rmmod may find a file open (EAGAIN) and is tried again.
cycle_checks() {
  R=/sys/bus/nvmem/devices/otp_raw0/nvmem
  : >/tmp/cycling
  (
    while [ -e /tmp/cycling ]; do
      probe ioctl "$C" 0 ver >/dev/null
      probe pread "$R" 0 16 >/dev/null
      probe pwrite /sys/bus/nvmem/devices/otp_map0/nvmem 0 01 >/dev/null
    done
  ) &
  (
    while [ -e /tmp/cycling ]; do
      echo 3 >"$D/chx_config/ch_num" 2>/dev/null
      cat "$D/chx_config/chx_ave_data" "$D/common_config/snr_noise" >/dev/null 2>&1
      echo "touch 3 100 5" >"$TC" 2>/dev/null
    done
  ) &
  cycles=0
  i=0
  while [ $i -lt 20 ]; do
    for m in board_console board_otp board_touch; do
      tries=0
      until rmmod $m 2>/dev/null || [ $tries -ge 50 ]; do
        tries=$((tries + 1))
      done
      insmod /lib/board/$m.ko || echo "selftest: insmod $m failed"
    done
    [ -c /dev/console-ctrl ] && [ -e "$R" ] && [ -d "$D/chx_config" ] && cycles=$((cycles + 1))
    i=$((i + 1))
  done
  rm /tmp/cycling
  wait
  check "load cycles with users" "$cycles" 20
  check "modules after the cycles" "$(cut -d ' ' -f 1 /proc/modules | sort | tr '\n' ' ')" \
    "board_console board_otp board_touch "
}

unload_checks() {
  exec 4<"$D/chx_config/chx_mbias"
  check "rmmod" "$(rmmod board_touch && rmmod board_otp && rmmod board_console && echo unloaded)" \
    unloaded
  check "open attribute after rmmod" "$(cat <&4 2>&1 | sed 's/.*: //')" "No such device"
  exec 4<&-
  check "devices gone" "$(names /sys/devices/platform | grep -c -E '(^| )(ocp|board-)') $(names /sys/bus/nvmem/devices)" \
    "0 * "
  insmod /lib/board/board_touch.ko seed=7
  check "seed" "$(attr chx_config/chx_ave_data)" 2278
}

touch_checks
otp_checks
console_checks
stress_checks
lifecycle_checks
strict_checks
cycle_checks
unload_checks
if dmesg | grep -q -E 'BUG|WARNING|Oops'; then
  failed=$((failed + 1))
  dmesg | grep -E -A 20 'BUG|WARNING|Oops'
fi
echo "selftest: $passed passed, $failed failed"
