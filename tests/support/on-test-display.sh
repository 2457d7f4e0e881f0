#!/bin/sh
# Runs a test on the X server that the test command started (QUIBLO_TEST_DISPLAY); without one,
# tells ctest the test was skipped.
if [ -z "$QUIBLO_TEST_DISPLAY" ]; then
    echo "QUIBLO_TEST_DISPLAY is not set: no X server for this test"
    exit 77
fi
DISPLAY="$QUIBLO_TEST_DISPLAY" exec "$@"
