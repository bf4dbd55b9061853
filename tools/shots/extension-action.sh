# Sourced by tools/screenshot.sh: the extension dialog that the advanced
# settings' Add opens.
. "$top/tools/shots/advanced-action.sh"
advanced=$(driver wait --title 'Advanced Settings' --timeout 5000)
driver click --hwnd "$advanced" --id 1014
driver wait --title 'Files/Destination for Transfer' --timeout 5000
