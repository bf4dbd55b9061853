# Sourced by tools/screenshot.sh: the advanced settings over the first start's
# settings dialog.
settings=$(driver wait --title 'Settings(E:)' --timeout 5000)
driver click --hwnd "$settings" --id 1009
driver wait --title 'Advanced Settings' --timeout 5000
