// Entry points of the correction driver.
#pragma once

// Start-up with the ANSI argument vector; returns the process exit code.
int startup_main(int argc, char** argv);
// The loop over the model list; returns resultCode.
int model_loop();
// Runs when no model path was given: adds one chosen model or exits with 0.
void no_model_start();
