#pragma once
// The application run: prepares the player, runs the status window, tears down.

// 1 on success with firstStart set; 0 when the player could not be prepared
// (the user has been told).
int InitAppData(int& firstStart);
int RunStatusDialog();
