#!/bin/sh
# A stand-in image editor for the tests: "draws" on the picture by replacing it with the picture
# named in QUIBLO_TEST_EDITED_PNG, a moment later, as an editor saving its work would.
sleep 0.3
cp "$QUIBLO_TEST_EDITED_PNG" "$1"
