#pragma once
// The application run: prepares the player, runs the status window, tears down.

int RunStatusDialog();
