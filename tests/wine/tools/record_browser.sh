#!/bin/sh
# A stand-in for the web browser of the Windows-side tests: Wine opens web addresses with the programs its
# registry names (HKCU\Software\Wine\WineBrowser, value Browsers), and the tests name this one. It appends
# each address it is given to the file in $QUILLON_BROWSER_LOG (or /tmp/quillon-browser.log) and ends.
printf '%s\n' "$@" >>"${QUILLON_BROWSER_LOG:-/tmp/quillon-browser.log}"
