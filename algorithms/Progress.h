// The progress meter long computations report to.  The program has one, bound
// to the progress bar in the main window's status bar; command-line front ends
// and tests bring their own.
#pragma once

class TProgressMeter {
public:
    virtual ~TProgressMeter() = default;

    // Starts a run of max steps with the position at 0; max 0 asks for the
    // meter's default maximum (a bar shown empty).
    virtual void StartProgress(int max) = 0;
    // Advances the position by one step.
    virtual void StepIt() = 0;
};
