#!/usr/bin/env bash
# Runs the plugin probe without GST_PLUGIN_PATH: from the build tree it must
# find the RTP elements in the build tree's gst-plugins folder; installed
# into a temporary prefix it must find them in that prefix's plugin folder.
# Usage: plugin_locator_test.sh <probe in the build tree> <build dir> <plugin dir relative to the prefix>
set -u
probe=$1
build=$2
plugin_dir=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unset GST_PLUGIN_PATH GST_PLUGIN_PATH_1_0

expect_found() { # output, folder
  for name in "ORVA RTP Source Filter" "ORVA RTP Render Filter"; do
    if ! grep -q "^found $name $2/" "$1"; then
      echo "FAIL: $name not found in $2:"; cat "$1"; return 1
    fi
  done
}

GST_REGISTRY_1_0="$work/build-registry.bin" "$probe" >"$work/build.out" 2>&1
grep -qx "location build-tree $build/gst-plugins" "$work/build.out" || { echo "FAIL: build tree:"; cat "$work/build.out"; exit 1; }
expect_found "$work/build.out" "$build/gst-plugins" || exit 1

prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 &&
cmake --install "$build" --prefix "$prefix" --component kestrel_plugin_probe >>"$work/install.log" 2>&1 ||
  { echo "FAIL: install:"; cat "$work/install.log"; exit 1; }
GST_REGISTRY_1_0="$work/prefix-registry.bin" "$prefix/bin/kestrel-plugin-probe" >"$work/prefix.out" 2>&1
grep -qx "location install-prefix $prefix/$plugin_dir" "$work/prefix.out" || { echo "FAIL: prefix:"; cat "$work/prefix.out"; exit 1; }
expect_found "$work/prefix.out" "$prefix/$plugin_dir" || exit 1
echo "plugin locator: build tree and install prefix both found"
