#!/usr/bin/env bash
# An installed kestrel finds its own GStreamer elements, the test devices
# among them, with no GStreamer variable set, and its data files beside it.
#
#   kestrel_install_test.sh BUILD_DIR
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
for file in bin/kestrel share/kestrel/ringin.wav share/kestrel/readme_e.htm share/kestrel/readme_c.htm \
            share/applications/kestrel.desktop share/icons/hicolor/scalable/apps/kestrel.svg; do
  [ -e "$prefix/$file" ] || { echo "FAIL: $file is not installed" >&2; exit 1; }
done
listed=$(env -u GST_PLUGIN_PATH -u GST_PLUGIN_SYSTEM_PATH -u GST_REGISTRY \
         GST_REGISTRY="$prefix/registry.bin" "$prefix/bin/kestrel" --list-devices --test-devices)
expected=$(printf 'camera\tKestrel Test Camera\nmicrophone\tKestrel Test Microphone')
[ "$listed" = "$expected" ] || { echo "FAIL: the installed kestrel listed: $listed" >&2; exit 1; }
echo "PASS: installed to $prefix, elements and data found"
