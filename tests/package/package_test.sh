#!/usr/bin/env bash
# Builds the Debian package and checks it as an administrator would use it: lintian, apt-get
# install, the installed tool and viewer, the desktop entry and the DICOM file type, then purge
# (the station's data kept, and removed only when asked).
# It installs into this system, so it runs alone (scripts/test.sh calls it after ctest) and
# only as root; it leaves nothing installed. Usage: tests/package/package_test.sh
set -uo pipefail
cd "$(dirname "$0")/../.."
ROOT=$PWD

if [ "$(id -u)" -ne 0 ]; then
  echo "package test skipped: installing a package needs root"
  exit 0
fi
if dpkg-query -W -f='${Status}' torascan 2>/dev/null | grep -q "installed" || [ -e /var/lib/torascan ]; then
  echo "package test skipped: toraScan is installed here (or its data is); it is left alone"
  exit 0
fi

passed=0
failed=0
check() {  # check NAME COMMAND...: runs the command, counts and says the outcome
  local name=$1
  shift
  if "$@" >"$WORK/last.log" 2>&1; then
    passed=$((passed + 1))
    echo "ok: $name"
  else
    failed=$((failed + 1))
    echo "FAILED: $name"
    sed 's/^/    /' "$WORK/last.log"
  fi
}

WORK=$(mktemp -d "${TMPDIR:-/tmp}/torascan-package.XXXXXX")
OUT=$ROOT/out/package
mkdir -p "$OUT"
purge() {
  DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq torascan >/dev/null 2>&1 || true
}
cleanup() {
  purge
  TORASCAN_PURGE_DATA=yes dpkg --purge torascan >/dev/null 2>&1 || true
  rm -rf /var/lib/torascan /run/torascan "$WORK"
}
trap cleanup EXIT

DEB=$(scripts/package.sh | tail -n 1)
if [ ! -f "$DEB" ]; then
  echo "FAILED: scripts/package.sh built no package"
  exit 1
fi
echo "package: $DEB"

# lintian: no errors (warnings are printed for the reader).
check "lintian reports no errors" lintian --fail-on error --suppress-tags-from-file /dev/null "$DEB"
lintian "$DEB" 2>/dev/null | sed 's/^/    lintian: /' | head -n 30

apt_install() {
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$DEB"
}
check "apt-get installs the package" apt_install

SAMPLE=$(sed -n 's/^TORASCAN_TESTDATA_DIR:PATH=//p' build/CMakeCache.txt)/dicom/cr_hip_1760x2140_unc.dcm
info_reads_sample() {
  /usr/bin/torascan-cli info "$SAMPLE" >"$OUT/info.json" && grep -q '"Columns": 1760' "$OUT/info.json"
}
check "the installed torascan-cli info reads a sample" info_reads_sample
check "toraScan --version" sh -c '/usr/bin/toraScan --version | grep -q "^toraScan [0-9]"'
check "toraScan --help without a display" \
  env -u DISPLAY sh -c '/usr/bin/toraScan --help | grep -q "usage: toraScan"'
check "torascan-cli --version" sh -c '/usr/bin/torascan-cli --version | grep -q "^torascan-cli [0-9]"'
# Read from the package: a minimal system may leave /usr/share/man out when installing.
check "man pages of toraScan and torascan-cli" sh -c "dpkg-deb -c '$DEB' | grep -q 'man1/toraScan.1.gz' &&
  dpkg-deb -c '$DEB' | grep -q 'man1/torascan-cli.1.gz'"

# The station: its group, its settings writable by the group, its data folder.
station_folders() {
  getent group torascan &&
    [ "$(stat -c '%U:%G %a' /etc/torascan)" = "root:torascan 2775" ] &&
    [ "$(stat -c '%U:%G %a' /etc/torascan/Pelmora.ini)" = "root:torascan 664" ] &&
    [ "$(stat -c '%U:%G %a' /var/lib/torascan)" = "root:torascan 2775" ] &&
    grep -q '^WholeSpineType=1' /etc/torascan/Pelmora.ini &&
    grep -q '^SavePath=/var/lib/torascan/dcm' /etc/torascan/Vantrel.ini
}
check "group torascan, /etc/torascan and /var/lib/torascan" station_folders

# The receiver service: systemd accepts its unit, and its command, run as the service's user,
# receives an image sent with storescu and indexes it into the station's database, which the
# operators' group can write. A viewer started meanwhile finds the service and starts no
# receiver of its own.
check "systemd-analyze verify accepts the unit" \
  systemd-analyze verify /lib/systemd/system/torascan-receiver.service
viewer_without_own_companion() {
  HOME=$WORK/home XDG_RUNTIME_DIR=$WORK/run xvfb-run -a bash -c '
    /usr/bin/toraScan & viewer=$!
    sleep 6
    own=$(pgrep -P "$viewer" -x Vantrel)
    kill "$viewer"; wait "$viewer"
    [ -z "$own" ]'
}
service_receives_and_indexes() {
  # What the unit's RuntimeDirectory= makes: the folder of the receiver's socket.
  install -d -o torascan -g torascan -m 0755 /run/torascan
  setpriv --reuid torascan --regid torascan --init-groups env HOME=/var/lib/torascan \
    /usr/lib/torascan/torascan-receiver >"$WORK/service.log" 2>&1 &
  local service=$! answered=1 indexed=1 alone=1
  for _ in $(seq 50); do
    echoscu -aec VANTREL 127.0.0.1 1205 2>/dev/null && answered=0 && break
    sleep 0.2
  done
  if [ "$answered" = 0 ] && storescu -aet MODALITY1 -aec VANTREL 127.0.0.1 1205 "$SAMPLE"; then
    for _ in $(seq 50); do
      /usr/bin/torascan-cli db-stats --db /var/lib/torascan/Pelmora.db 2>/dev/null |
        grep -q '"ImgInfo": *1' && indexed=0 && break
      sleep 0.2
    done
  fi
  viewer_without_own_companion && alone=0
  kill -TERM "$service"
  wait "$service"
  local status=$?
  rm -rf /run/torascan
  cat "$WORK/service.log"
  echo "indexed: $indexed, viewer without its own receiver: $alone, service status: $status"
  [ "$indexed" = 0 ] && [ "$alone" = 0 ] && [ "$status" = 143 ] &&
    [ "$(stat -c '%U:%G %A' /var/lib/torascan/Pelmora.db)" = "torascan:torascan -rw-rw-r--" ] &&
    find /var/lib/torascan/dcm/archive -name '*.dcm' | grep -q .
}
mkdir -p "$WORK/home" "$WORK/run" && chmod 700 "$WORK/run"
check "the unit's command as user torascan receives a storescu send and indexes it; a viewer then starts no receiver" \
  service_receives_and_indexes

# The installed viewer under a virtual X server with a home of its own, then a screenshot. Its
# runtime and temporary folders are its own too: the single-instance lock of a viewer started
# before (the service check's) must not make this one hand over and quit.
viewer_starts() {
  mkdir -p "$WORK/run-viewer" "$WORK/tmp-viewer" && chmod 700 "$WORK/run-viewer"
  # Up to 30 s for the window to be drawn: a machine still busy is slow to start it.
  HOME=$WORK/home XDG_RUNTIME_DIR=$WORK/run-viewer TMPDIR=$WORK/tmp-viewer \
    XDG_CONFIG_HOME=$WORK/home/.config \
    xvfb-run -a -s "-screen 0 1600x1000x24" bash -c '
      drawn() { [ "$(convert "$1" -format "%[fx:standard_deviation>0.01]" info: 2>/dev/null)" = 1 ]; }
      /usr/bin/toraScan & viewer=$!
      for _ in $(seq 30); do
        sleep 1
        kill -0 "$viewer" 2>/dev/null || { echo "the viewer ended by itself" >&2; exit 1; }
        import -window root "$1" 2>/dev/null && drawn "$1" && break
      done
      kill "$viewer" 2>/dev/null; wait "$viewer" 2>/dev/null
      drawn "$1" || { echo "nothing drawn within 30 s" >&2; exit 1; }' viewer "$OUT/viewer.png" ||
    return 1
  # Its databases went to the data folder, writable by the station's group.
  local mode
  mode=$(stat -c '%G %A' /var/lib/torascan/toraScan.db 2>&1 | cut -c1-17)
  [ "$mode" = "torascan -rw-rw-r" ] || { echo "toraScan.db: $mode" >&2; return 1; }
}
check "the installed viewer starts under Xvfb (out/package/viewer.png)" viewer_starts

check "desktop-file-validate" desktop-file-validate /usr/share/applications/torascan.desktop
cp "$SAMPLE" "$WORK/image.dcm"
cp "$SAMPLE" "$WORK/image-without-extension"
check "xdg-mime query filetype of a .dcm is application/dicom" \
  sh -c "[ \"\$(xdg-mime query filetype '$WORK/image.dcm')\" = application/dicom ]"
check "a DICOM file without .dcm is application/dicom by its DICM mark" \
  sh -c "[ \"\$(xdg-mime query filetype '$WORK/image-without-extension')\" = application/dicom ]"
check "the viewer opens application/dicom" \
  sh -c "HOME='$WORK/home' xdg-mime query default application/dicom | grep -q torascan.desktop"

# Purge removes the programs and the settings, and keeps the station's images and databases.
purge
purge_keeps_data() {
  [ ! -e /usr/bin/toraScan ] && [ ! -e /usr/bin/torascan-cli ] && [ ! -e /etc/torascan ] &&
    [ -f /var/lib/torascan/toraScan.db ]
}
check "apt-get purge removes the programs and keeps the data" purge_keeps_data
purge_data_when_asked() {
  apt_install && TORASCAN_PURGE_DATA=yes DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq torascan &&
    [ ! -e /var/lib/torascan ]
}
check "TORASCAN_PURGE_DATA=yes apt-get purge removes the data too" purge_data_when_asked

echo "package: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
