#!/usr/bin/env bash
# The subscription pane alone, from its widget test's fixture tree, at normal
# and double pixel density: subscription-pane.png and subscription-pane@2x.png.
set -euo pipefail
tests="$VARNOKE_BUILD/bin/window_tests"
[ -x "$tests" ] || { echo "# $tests is not built"; exit 1; }
log=$(mktemp)
double=$(mktemp -d)
trap 'rm -rf "$double" "$log"' EXIT
picture() { "$tests" --gtest_filter='SubscriptionPaneTest.PictureOfThePane' >"$log" 2>&1 || { cat "$log"; exit 1; }; }
picture
SHOTS="$double" QT_SCALE_FACTOR=2 picture
mv "$double/subscription-pane.png" "$SHOTS/subscription-pane@2x.png"
