#include "Utilities/BackgroundRelease.h"

SerialWorker& BackgroundRelease::worker()
{
    // Never destroyed: lists may still be let go of while the program ends.
    static SerialWorker* const releasing = new SerialWorker;
    return *releasing;
}
