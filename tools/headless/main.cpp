// tallimo-sim-headless: the headless runner as a program of its own, without Qt.
#include "headless/headless.h"

int main(int argc, char** argv) { return run_headless(argc, argv); }
