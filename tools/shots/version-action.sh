# Sourced by tools/screenshot.sh: the version dialog from the system menu
# once the transfer has ended.
status=$(driver wait --title 'Quavercart(E:)' --timeout 5000)
driver waittext --hwnd "$status" --id 1004 --contains 'Transfer completed' --timeout 20000
driver post --hwnd "$status" --msg 0x112 --wparam 200
driver wait --title 'Version Information' --timeout 5000
